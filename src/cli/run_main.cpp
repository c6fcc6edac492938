#include "cli/run_main.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/output.h"
#include "base/run_settings.h"
#include "base/text.h"
#include "cli/node_list.h"
#include "cli/params.h"
#include "cli/request_refusals.h"
#include "cli/password_prompt.h"
#include "cli/scan_arguments.h"
#include "cli/usage.h"
#include "base/stop_request.h"
#include "operations/machine_run.h"
#include "operations/machine_watch.h"
#include "operations/watch_events.h"
#include "operations/wmi_query.h"
#include "render/layout.h"

namespace {

std::wstring CutClassName(const std::wstring& query) {
  const size_t from = query.find(L" from ");
  if (from == std::wstring::npos) return {};
  const size_t nameStart = from + 6;
  const size_t where = query.find(L" where ", nameStart + 1);
  std::wstring name = where == std::wstring::npos ? query.substr(nameStart, FIELD_CHARS - 1)
                                                  : query.substr(nameStart, where - nameStart);
  TrimSpaces(name);
  return name;
}

std::wstring CutSelectColumns(const std::wstring& query) {
  const size_t select = query.find(L"select ");
  if (select == std::wstring::npos) return {};
  const size_t listStart = select + 7;
  const size_t from = query.find(L" from", listStart + 1);
  if (from == std::wstring::npos) return {};
  std::wstring columns = query.substr(listStart, from - listStart);
  TrimSpaces(columns);
  return columns;
}

void PrintDebugEcho(const RunSettings& settings, Layout& layout) {
  PrintInfo(layout, L"INFO: debug switch=[%ls]\r\n", L"ON");
  PrintInfo(layout, L"INFO: show all properties=[%ls]\r\n", settings.showAllProperties ? L"ON" : L"OFF");
  PrintInfo(layout, L"INFO: argNamespace=[%ls]\r\n", settings.argNamespace.c_str());
  PrintInfo(layout, L"INFO: argWQL=[%ls]\r\n", settings.argWQL.c_str());
  PrintInfo(layout, L"INFO: argWQL class name=[%ls]\r\n", settings.argClassName.c_str());
  PrintInfo(layout, L"INFO: argWQL select columns=[%ls]\r\n", settings.argSelectColumns.c_str());
  switch (settings.argFUNC) {
    case Operation::GET:
      PrintInfo(layout, L"INFO: argFUNC=GET\r\n");
      break;
    case Operation::SET:
      PrintInfo(layout, L"INFO: argFUNC=SET, key=%ls, arguments=%ls\r\n", settings.argKey.c_str(),
            settings.argArguments.c_str());
      break;
    case Operation::CALL:
      PrintInfo(layout, L"INFO: argFUNC=CALL, method name=%ls, arguments=%ls\r\n", settings.argMethodName.c_str(),
            settings.argArguments.c_str());
      break;
    case Operation::DELETE_INSTANCE:
    case Operation::CREATE_INSTANCE:  // not of this grammar
      break;
  }
  if (settings.paramsGiven) PrintInfo(layout, L"INFO: params=[%ls]\r\n", settings.argParams.c_str());
  if (settings.classGiven) PrintInfo(layout, L"INFO: class=[%ls]\r\n", settings.argClass.c_str());
  if (settings.userGiven) {
    // The password itself is never shown.
    PrintInfo(layout, L"INFO: user=[%ls]\r\n", settings.argUser.c_str());
    PrintInfo(layout, L"INFO: password=[%ls]\r\n", settings.passwordAsked ? L"asked" : L"given");
  }
  if (settings.nodeGiven) {
    PrintInfo(layout, L"INFO: nodes=[%ls]\r\n", settings.argNode.c_str());
    PrintInfo(layout, L"INFO: throttle=[%d]\r\n", settings.throttle);
  }
  if (settings.nodeGiven || settings.timeoutGiven) {
    if (settings.timeoutSeconds > 0) {
      PrintInfo(layout, L"INFO: timeout=[%d seconds]\r\n", settings.timeoutSeconds);
    } else {
      PrintInfo(layout, L"INFO: timeout=[none]\r\n");
    }
  }
}

// SET and CALL need their name and value, and a whole object to work on.
bool RequestIsComplete(const RunSettings& settings, Layout& layout, bool selectStar) {
  if (settings.argFUNC == Operation::SET) {
    if (!settings.paramsGiven && (settings.argKey.empty() || settings.argArguments.empty())) {
      PrintError(layout, L"ERROR: Name or New value is not defined for set.\r\n");
      return false;
    }
    if (!selectStar) {
      PrintError(layout, L"ERROR: \"select * \" is MUST for /SET\r\n");
      return false;
    }
  } else if (settings.argFUNC == Operation::CALL) {
    if (settings.argMethodName.empty() || (!settings.paramsGiven && settings.argArguments.empty())) {
      PrintError(layout, L"ERROR: Method name or method argument is not defined for method call.\r\n");
      return false;
    }
    // A class call has no query whose objects could be incomplete.
    if (!selectStar && !settings.classGiven) {
      PrintError(layout, L"ERROR: \"select * \" is MUST for /CALL\r\n");
      return false;
    }
  }
  return true;
}

// The limits of waiting and of machines at work, the machines themselves and
// the named values, read before anything runs.
bool ReadRunLimits(RunSettings& settings, Layout& layout, std::vector<std::wstring>& nodes) {
  if (settings.throttleGiven && !ParseWholeNumber(settings.argThrottle, 1, 1024, settings.throttle)) {
    PrintError(layout, L"ERROR: /throttle: takes a whole number from 1 to 1024.\r\n");
    return false;
  }
  if (settings.timeoutGiven && !ParseWholeNumber(settings.argTimeout, 1, 86400, settings.timeoutSeconds)) {
    PrintError(layout, L"ERROR: /timeout: takes a whole number of seconds from 1 to 86400.\r\n");
    return false;
  }
  if (settings.countGiven && !ParseWholeNumber(settings.argCount, 1, 2147483647, settings.count)) {
    PrintError(layout, L"ERROR: /count: takes a whole number from 1 to 2147483647.\r\n");
    return false;
  }
  if (settings.nodeGiven && !ReadNodeList(settings.argNode, layout, nodes)) return false;
  // Every machine watches until it is stopped: one left waiting for a place
  // would never get one.
  if (settings.watch && settings.nodeGiven && static_cast<size_t>(settings.throttle) < nodes.size()) {
    PrintError(layout, L"ERROR: /watch needs a /throttle: of at least the number of machines (%d).\r\n",
               static_cast<int>(nodes.size()));
    return false;
  }
  return !settings.paramsGiven || ReadParams(settings, layout);
}

// A watch goes on until it is stopped. It arms `stop` itself, once its
// events flow: until then Ctrl+C ends the process there and then.
int Watch(WmiAccess& wmi, const RunSettings& settings, const std::vector<std::wstring>& nodes, OutputSink& out,
          Layout& layout, StopRequest* stop) {
  StopRequest never;
  StopRequest& watchStop = stop != nullptr ? *stop : never;
  if (settings.nodeGiven) return WatchOnMachines(wmi, settings, nodes, out, layout, watchStop);
  if (WatchEvents(wmi, settings, layout, settings.argNamespace.c_str(), settings.argWQL.c_str(), watchStop) != 0) {
    PrintError(layout, L"ERROR: Failed to run %ls\\%ls\r\n", settings.argNamespace.c_str(), settings.Target());
    return 1;
  }
  if (settings.debugDisplay) PrintInfo(layout, L"INFO: Success.\r\n");
  return 0;
}

}  // namespace

bool AnalyzeQuery(RunSettings& settings) {
  if (settings.classGiven) {
    settings.argClassName = settings.argClass;
    settings.argSelectColumns.clear();
    return false;
  }
  settings.argClassName = CutClassName(settings.argWQL);
  settings.argSelectColumns = CutSelectColumns(settings.argWQL);
  return settings.argSelectColumns.find(L'*') != std::wstring::npos;
}

namespace {

int RunRequest(int argc, wchar_t** argv, WmiAccess& wmi, OutputSink& out, ProgressLine* progress,
               StopRequest* stop) {
  std::optional<RunSettings> scanned = ScanArguments(argc, argv, out);
  if (!scanned) return 0;
  RunSettings& settings = *scanned;
  const WipedOnExit passwordWiped(settings.argPassword);
  if (settings.formatJson) out.KeepLineEndsExact();
  const std::unique_ptr<Layout> layout = MakeLayout(settings, out);
  if (!RequestIsUsable(settings, *layout, out)) return 1;
  std::vector<std::wstring> nodes;
  if (!ReadRunLimits(settings, *layout, nodes)) return 1;

  const bool selectStar = AnalyzeQuery(settings);
  if (settings.describe && settings.argClassName.empty()) {
    PrintError(*layout, L"ERROR: /describe needs a query of the form select ... from CLASS\r\n");
    return 1;
  }
  if (settings.userGiven && !settings.passwordGiven) {
    if (!AskPassword(settings.argUser, settings.argPassword)) {
      PrintError(*layout, L"ERROR: No password was given for %ls.\r\n", settings.argUser.c_str());
      return 1;
    }
    settings.passwordAsked = 1;
  }
  PrintLine(*layout, L"Tollix.exe %ls\r\n", GetProductVersion().c_str());

  if (settings.argNamespace.empty()) {
    if (settings.debugDisplay) PrintInfo(*layout, L"INFO: Namespace is not defined by argument, use default namespace.\r\n");
    settings.argNamespace = L"root\\cimv2";
  }
  if (settings.debugDisplay) PrintDebugEcho(settings, *layout);
  if (!RequestIsComplete(settings, *layout, selectStar)) return 1;
  if (layout->OutputLost(false)) return 1;
  if (settings.watch) return Watch(wmi, settings, nodes, out, *layout, stop);
  if (settings.nodeGiven) {
    return RunOnMachines(wmi, settings, nodes, out, *layout, kHeldOutputBudget, RunProgress{progress});
  }

  if (WmiQuery(wmi, settings, *layout, settings.argNamespace.c_str(), settings.argWQL.c_str()) != 0) {
    PrintError(*layout, L"ERROR: Failed to run %ls\\%ls\r\n", settings.argNamespace.c_str(), settings.Target());
    return 1;
  }
  if (settings.debugDisplay) PrintInfo(*layout, L"INFO: Success.\r\n");
  return 0;
}

}  // namespace

int RunMain(int argc, wchar_t** argv, WmiAccess& wmi, OutputSink& out, ProgressLine* progress, StopRequest* stop) {
  const int exitCode = RunRequest(argc, argv, wmi, out, progress, stop);
  // Output that did not arrive is a failure whatever else went well.
  if (!out.Flush()) {
    out.ReportLostOutput();
    return 1;
  }
  return exitCode;
}
