#include "cli/wmic/wmic_main.h"

#include <cwchar>
#include <utility>

#include "base/output.h"
#include "base/run_settings.h"
#include "base/text.h"
#include "base/wmic_output.h"
#include "cli/wmic/wmic_aliases.h"
#include "cli/wmic/wmic_choices.h"
#include "cli/wmic/wmic_grammar.h"
#include "cli/wmic/wmic_help.h"
#include "cli/wmic/wmic_names.h"
#include "cli/wmic/wmic_query.h"
#include "operations/wmi_query.h"
#include "render/layout.h"
#include "render/wmic_layouts.h"

namespace {

void WriteLine(OutputSink& sink, std::wstring_view text) {
  std::wstring line(text);
  line += L"\r\n";
  sink.Write(line);
}

// What a command line that cannot run prints, and its exit code.
int CannotRun(WmicStreams& streams, std::wstring_view text) {
  WriteLine(streams.Errors(), text);
  streams.Errors().Flush();
  return wmic_choices::kExitCannotRun;
}

std::wstring SystemMessage(DWORD error) {
  wchar_t* message = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  std::wstring text;
  if (length > 0 && message != nullptr) text.assign(message, length);
  if (message != nullptr) LocalFree(message);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  if (text.empty()) {
    wchar_t code[32];
    swprintf(code, 32, L"error %lu", static_cast<unsigned long>(error));
    text = code;
  }
  return text;
}

// wmic's layout for what the request asks; JSON is Tollix's own and is made
// elsewhere.
WmicLayoutKind LayoutKind(const WmicRequest& request) {
  switch (request.switches.format) {
    case WmicFormat::Table: return WmicLayoutKind::kTable;
    case WmicFormat::List: return WmicLayoutKind::kValue;
    case WmicFormat::Csv: return WmicLayoutKind::kCsv;
    case WmicFormat::Json:
    case WmicFormat::Default: break;
  }
  if (request.verb == WmicVerb::List && request.listAdverb == WmicListAdverb::Full) return WmicLayoutKind::kValue;
  return WmicLayoutKind::kTable;
}

// The run Tollix's own grammar would make of the same request, so that the
// one query loop serves both.
RunSettings ReadSettings(const WmicRequest& request, WmicLayoutKind kind) {
  RunSettings settings;
  settings.argNamespace = WmicNamespace(request);
  settings.argWQL = WmicQueryText(request);
  settings.argFUNC = Operation::GET;
  settings.formatJson = request.switches.format == WmicFormat::Json ? 1 : 0;
  // CSV names each row's machine by its __SERVER, a system property that
  // only comes with them; the layout leaves the others out.
  settings.showAllProperties = !settings.formatJson && kind == WmicLayoutKind::kCsv ? 1 : 0;
  settings.debugDisplay = request.globals.trace == WmicOnOff::On ? 1 : 0;
  const WmicGlobals& globals = request.globals;
  if (globals.failFastGiven && globals.failFast == WmicOnOff::On) {
    const unsigned ms = globals.failFastMilliseconds > 0 ? globals.failFastMilliseconds
                                                         : wmic_choices::kFailFastDefaultMilliseconds;
    settings.timeoutGiven = 1;
    settings.timeoutSeconds = static_cast<int>((ms + 999) / 1000);
  }
  return settings;
}

// What this front end does not do yet, or at all, said before anything runs.
bool Refusal(const WmicRequest& request, std::wstring& text) {
  if (request.verb != WmicVerb::Get && request.verb != WmicVerb::List) {
    text = L"Only GET and LIST are supported so far.";
    return true;
  }
  if (request.target.kind == WmicTargetKind::Class) {
    text = L"CLASS supports only the CALL verb.";
    return true;
  }
  if (request.verb == WmicVerb::List && request.listAdverb == WmicListAdverb::Instance) {
    text = L"LIST INSTANCE is not supported.";
    return true;
  }
  if (request.globals.nodeGiven) {
    text = L"/NODE is not supported yet.";
    return true;
  }
  if (request.globals.userGiven || request.globals.passwordGiven) {
    text = std::wstring(wmic_choices::kLocalUserText);
    return true;
  }
  return false;
}

int RunRead(const WmicRequest& request, WmiAccess& wmi, WmicStreams& streams, const std::wstring& thisMachine) {
  const WmicLayoutKind kind = LayoutKind(request);
  const RunSettings settings = ReadSettings(request, kind);
  const WmicDestination& destination = request.globals.destination;
  std::unique_ptr<OutputSink> file;
  if (destination.toFile) {
    DWORD error = 0;
    file = streams.OpenFile(destination.path, destination.append, error);
    if (!file) {
      WriteLine(streams.Errors(), std::wstring(wmic_choices::kOutputFileText) + destination.path + L": " +
                                      SystemMessage(error));
      streams.Errors().Flush();
      return wmic_choices::kExitFailure;
    }
  }
  OutputSink& out = file ? *file : streams.Output(settings.formatJson != 0);
  int failed = 0;
  if (settings.formatJson) {
    out.KeepLineEndsExact();
    const std::unique_ptr<Layout> layout = MakeLayout(settings, out);
    failed = WmiQuery(wmi, settings, *layout, settings.argNamespace.c_str(), settings.argWQL.c_str());
  } else {
    const std::unique_ptr<WmicLayout> layout = MakeWmicLayout(kind, out, streams.Errors(), {thisMachine, false});
    failed = WmiQuery(wmi, settings, *layout, settings.argNamespace.c_str(), settings.argWQL.c_str());
    layout->Finish();
  }
  const bool written = out.Flush();
  streams.Errors().Flush();
  if (!written) {
    out.ReportLostOutput();
    return wmic_choices::kExitFailure;
  }
  return failed != 0 ? wmic_choices::kExitFailure : wmic_choices::kExitSuccess;
}

}  // namespace

bool IsWmicName(std::wstring_view modulePath) {
  const size_t slash = modulePath.find_last_of(L"\\/");
  const std::wstring_view base = slash == std::wstring_view::npos ? modulePath : modulePath.substr(slash + 1);
  return SameName(base, L"wmic.exe");
}

int RunWmicMain(std::wstring_view commandLine, WmiAccess& wmi, WmicStreams& streams,
                const std::wstring& thisMachine) {
  WmicRequest request = ParseWmicCommandLine(commandLine);
  const WipedOnExit passwordWiped(request.globals.password);
  if (request.problem.kind != WmicProblemKind::None) return CannotRun(streams, request.problem.text);
  if (request.help != WmicHelp::None) {
    OutputSink& out = streams.Output(false);
    out.Write(WmicHelpText(request));
    if (!out.Flush()) {
      out.ReportLostOutput();
      return wmic_choices::kExitFailure;
    }
    return wmic_choices::kExitSuccess;
  }
  if (request.interactive) return CannotRun(streams, wmic_choices::kNoPromptText);
  std::wstring refusal;
  if (Refusal(request, refusal)) return CannotRun(streams, refusal);
  return RunRead(request, wmi, streams, thisMachine);
}

std::wstring WmicThisMachineName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(name, &size) || size == 0) return L"localhost";
  return std::wstring(name, size);
}
