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
#include "cli/password_prompt.h"
#include "cli/scan_arguments.h"
#include "cli/usage.h"
#include "operations/machine_run.h"
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
  }
  if (settings.paramsGiven) PrintInfo(layout, L"INFO: params=[%ls]\r\n", settings.argParams.c_str());
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
    if (!selectStar) {
      PrintError(layout, L"ERROR: \"select * \" is MUST for /CALL\r\n");
      return false;
    }
  }
  return true;
}

// Named values go to a method's parameters, or to the properties of each
// result object that SET writes back: not to a property named by /set:, and
// not together with the values of /args:.
bool ParamsAreUsable(const RunSettings& settings, Layout& layout) {
  if (!settings.paramsGiven) return true;
  if (!settings.argArguments.empty()) {
    PrintError(layout, L"ERROR: /params: and /args: exclude each other\r\n");
    return false;
  }
  const bool call = settings.argFUNC == Operation::CALL && !settings.argMethodName.empty();
  const bool set = settings.argFUNC == Operation::SET && settings.argKey.empty();
  if (!call && !set) {
    PrintError(layout, L"ERROR: /params: needs /call:METHOD or /set: without a name\r\n");
    return false;
  }
  return true;
}

// Credentials are for other machines: WMI refuses them for this one.
bool CredentialsAreUsable(const RunSettings& settings, Layout& layout) {
  if ((settings.userGiven || settings.passwordGiven) && !settings.nodeGiven) {
    PrintError(layout, L"ERROR: /user: and /password: need /node:\r\n");
    return false;
  }
  if (settings.passwordGiven && !settings.userGiven) {
    PrintError(layout, L"ERROR: /password: needs /user:\r\n");
    return false;
  }
  if (settings.userGiven && settings.argUser.empty()) {
    PrintError(layout, L"ERROR: /user: names no account\r\n");
    return false;
  }
  return true;
}

// The refusals that need no banner: the request cannot run as written.
bool RequestIsUsable(const RunSettings& settings, Layout& layout, OutputSink& out) {
  if (const wchar_t* key = FindTooLongValue(settings)) {
    PrintError(layout, L"ERROR: The value of %ls is longer than %d characters.\r\n", key,
               static_cast<int>(FIELD_CHARS - 1));
    return false;
  }
  if (settings.argWQL.empty()) {
    PrintError(layout, L"ERROR: /WQL is lost\r\n\r\n\r\n");
    // A script reading JSON gets the one error line, not a page of help.
    if (!settings.formatJson) PrintUsage(out);
    return false;
  }
  if (settings.formatJson && settings.formatCsv) {
    PrintError(layout, L"ERROR: /format:json and /format:csv exclude each other\r\n");
    return false;
  }
  if (settings.hexMatrix && settings.formatCsv) {
    PrintError(layout, L"ERROR: /hexmatrix is exclusive to /format:csv\r\n");
    return false;
  }
  if (settings.hexMatrix && settings.formatJson) {
    PrintError(layout, L"ERROR: /hexmatrix is exclusive to /format:json\r\n");
    return false;
  }
  if (settings.describe) {
    // A description changes nothing, and has no columns for CSV nor arrays
    // for a matrix.
    struct Excluded {
      bool given;
      const wchar_t* key;
    };
    const Excluded excluded[] = {{settings.argFUNC == Operation::SET, L"/set:"},
                                 {settings.argFUNC == Operation::CALL, L"/call:"},
                                 {settings.formatCsv != 0, L"/format:csv"},
                                 {settings.hexMatrix != 0, L"/hexmatrix"}};
    for (const Excluded& other : excluded) {
      if (!other.given) continue;
      PrintError(layout, L"ERROR: /describe is exclusive to %ls\r\n", other.key);
      return false;
    }
  }
  return ParamsAreUsable(settings, layout) && CredentialsAreUsable(settings, layout);
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
  if (settings.nodeGiven && !ReadNodeList(settings.argNode, layout, nodes)) return false;
  return !settings.paramsGiven || ReadParams(settings, layout);
}

}  // namespace

bool AnalyzeQuery(RunSettings& settings) {
  settings.argClassName = CutClassName(settings.argWQL);
  settings.argSelectColumns = CutSelectColumns(settings.argWQL);
  return settings.argSelectColumns.find(L'*') != std::wstring::npos;
}

namespace {

int RunRequest(int argc, wchar_t** argv, WmiAccess& wmi, OutputSink& out) {
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
  if (settings.nodeGiven) return RunOnMachines(wmi, settings, nodes, out, *layout);

  if (WmiQuery(wmi, settings, *layout, settings.argNamespace.c_str(), settings.argWQL.c_str()) != 0) {
    PrintError(*layout, L"ERROR: Failed to run %ls\\%ls\r\n", settings.argNamespace.c_str(), settings.argWQL.c_str());
    return 1;
  }
  if (settings.debugDisplay) PrintInfo(*layout, L"INFO: Success.\r\n");
  return 0;
}

}  // namespace

int RunMain(int argc, wchar_t** argv, WmiAccess& wmi, OutputSink& out) {
  const int exitCode = RunRequest(argc, argv, wmi, out);
  // Output that did not arrive is a failure whatever else went well.
  if (!out.Flush()) {
    out.ReportLostOutput();
    return 1;
  }
  return exitCode;
}
