#include "cli/wmic/wmic_main.h"

#include <wbemcli.h>

#include <iterator>
#include <utility>
#include <vector>

#include "base/held_privileges.h"
#include "base/output.h"
#include "base/run_settings.h"
#include "base/text.h"
#include "base/wmic_output.h"
#include "cli/node_list.h"
#include "cli/wmic/wmic_aliases.h"
#include "cli/wmic/wmic_choices.h"
#include "cli/wmic/wmic_grammar.h"
#include "cli/wmic/wmic_help.h"
#include "cli/wmic/wmic_names.h"
#include "cli/wmic/wmic_problems.h"
#include "cli/wmic/wmic_query.h"
#include "operations/machine_run.h"
#include "operations/wmi_query.h"
#include "render/layout.h"
#include "render/wmic_errors.h"
#include "render/wmic_layouts.h"
#include "render/wmic_xml_text.h"

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

// wmic's layout for what the request asks; JSON is Tollix's own and is made
// elsewhere.
bool IsChange(const WmicRequest& request) {
  return request.verb != WmicVerb::Get && request.verb != WmicVerb::List;
}

WmicLayoutKind LayoutKind(const WmicRequest& request) {
  if (IsChange(request)) return WmicLayoutKind::kChange;
  if (request.verb == WmicVerb::List && request.listAdverb == WmicListAdverb::Instance) {
    return WmicLayoutKind::kInstance;
  }
  switch (request.switches.format) {
    case WmicFormat::Table: return WmicLayoutKind::kTable;
    case WmicFormat::List: return WmicLayoutKind::kValue;
    case WmicFormat::Csv: return WmicLayoutKind::kCsv;
    case WmicFormat::RawXml:
    case WmicFormat::Xml: return WmicLayoutKind::kXml;
    case WmicFormat::Json:
    case WmicFormat::Default: break;
  }
  if (request.verb == WmicVerb::List && request.listAdverb == WmicListAdverb::Full) return WmicLayoutKind::kValue;
  return WmicLayoutKind::kTable;
}

// RPC's levels, in the order of WmicImpersonation and WmicAuthentication.
constexpr unsigned long kImpersonationLevels[] = {RPC_C_IMP_LEVEL_ANONYMOUS, RPC_C_IMP_LEVEL_IDENTIFY,
                                                  RPC_C_IMP_LEVEL_IMPERSONATE, RPC_C_IMP_LEVEL_DELEGATE};
constexpr unsigned long kAuthenticationLevels[] = {
    RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_AUTHN_LEVEL_NONE,          RPC_C_AUTHN_LEVEL_CONNECT,    RPC_C_AUTHN_LEVEL_CALL,
    RPC_C_AUTHN_LEVEL_PKT,     RPC_C_AUTHN_LEVEL_PKT_INTEGRITY, RPC_C_AUTHN_LEVEL_PKT_PRIVACY};

// The system properties the get list names: columns like any other.
std::vector<std::wstring> AskedSystemNames(const WmicRequest& request) {
  std::vector<std::wstring> names;
  if (request.verb != WmicVerb::Get) return names;
  for (const std::wstring& name : request.properties) {
    if (name.rfind(L"__", 0) == 0) names.push_back(name);
  }
  return names;
}

// The run Tollix's own grammar would make of the same request, so that the
// one query loop and machine run serve both.
RunSettings ReadSettings(const WmicRequest& request, WmicLayoutKind kind) {
  RunSettings settings;
  settings.argNamespace = WmicNamespace(request);
  settings.argWQL = WmicQueryText(request);
  settings.argFUNC = Operation::GET;
  settings.formatJson = request.switches.format == WmicFormat::Json && kind != WmicLayoutKind::kInstance ? 1 : 0;
  // CSV names each row's machine by its __SERVER, an instance by its
  // __PATH, XML each object's class by its __CLASS, and a get list may name
  // system properties: they only come with all of them. The layouts leave
  // out those not asked for.
  const bool systemNeeded = kind == WmicLayoutKind::kCsv || kind == WmicLayoutKind::kInstance ||
                            kind == WmicLayoutKind::kXml || !AskedSystemNames(request).empty();
  settings.showAllProperties = !settings.formatJson && systemNeeded ? 1 : 0;
  settings.debugDisplay = request.globals.trace == WmicOnOff::On ? 1 : 0;
  const WmicGlobals& globals = request.globals;
  if (globals.failFastGiven && globals.failFast == WmicOnOff::On) {
    const unsigned ms = globals.failFastMilliseconds > 0 ? globals.failFastMilliseconds
                                                         : wmic_choices::kFailFastDefaultMilliseconds;
    settings.timeoutGiven = 1;
    settings.timeoutSeconds = static_cast<int>((ms + 999) / 1000);
  }
  settings.argClassName = request.target.className;
  if (request.verb == WmicVerb::Get) {
    for (const std::wstring& name : request.properties) {
      if (name != L"*") settings.selectedNames.push_back(name);
    }
  }
    settings.argLocale = globals.locale;
  settings.impersonationLevel = kImpersonationLevels[static_cast<size_t>(globals.impersonation)];
  settings.authenticationLevel = kAuthenticationLevels[static_cast<size_t>(globals.authentication)];
  if (globals.nodeGiven) {
    settings.nodeGiven = 1;
    settings.argNode = globals.nodes;
  }
  if (globals.userGiven) {
    settings.userGiven = 1;
    settings.argUser = globals.user;
  }
  if (globals.passwordGiven) {
    settings.passwordGiven = 1;
    settings.argPassword = globals.password;
  }
  return settings;
}

// A change verb as Tollix's operations take it: the values as typed, each
// object changed on its own, the others still changed when one fails.
RunSettings ChangeSettings(const WmicRequest& request) {
  RunSettings settings = ReadSettings(request, WmicLayoutKind::kChange);
  settings.formatJson = 0;
  settings.argClassName = request.target.className;
  settings.textValuesGiven = 1;
  for (const WmicValue& value : request.values) {
    settings.textValues.push_back({value.name, value.text, value.list, value.elements});
  }
  settings.goOnAfterFailure = 1;
  const bool onTheClass = request.target.kind == WmicTargetKind::Class || request.verb == WmicVerb::Create;
  if (onTheClass) {
    settings.classGiven = 1;
    settings.argClass = request.target.className;
  }
  switch (request.verb) {
    case WmicVerb::Call:
      settings.argFUNC = Operation::CALL;
      settings.argMethodName = request.method;
      settings.staticOnClass = !onTheClass && !request.target.whereGiven && !request.target.keyGiven ? 1 : 0;
      break;
    case WmicVerb::Set: settings.argFUNC = Operation::SET; break;
    case WmicVerb::Delete: settings.argFUNC = Operation::DELETE_INSTANCE; break;
    case WmicVerb::Create: settings.argFUNC = Operation::CREATE_INSTANCE; break;
    case WmicVerb::Get:
    case WmicVerb::List: break;
  }
  return settings;
}

// The namespace in the paths a change prints: as named, or wmic's
// "ROOT\CIMV2" when none was.
std::wstring PrintedNamespace(const WmicRequest& request) {
  const std::wstring connected = WmicNamespace(request);
  if (!request.globals.namespaceGiven && SameName(connected, L"root\\cimv2")) {
    return std::wstring(wmic_choices::kDefaultPrintedNamespace);
  }
  return connected;
}

// /interactive:on asks before each change, unless the verb says
// /nointeractive.
bool Asks(const WmicRequest& request) {
  return request.globals.interactive == WmicOnOff::On && !request.switches.noInteractive;
}

// What this front end does not do yet, or at all, said before anything runs.
bool Refusal(const WmicRequest& request, WmicStreams& streams, std::wstring& text) {
  if (request.target.kind == WmicTargetKind::Class && request.verb != WmicVerb::Call) {
    text = L"CLASS supports only the CALL verb.";
    return true;
  }
  if (!request.globals.nodeGiven && (request.globals.userGiven || request.globals.passwordGiven)) {
    text = std::wstring(wmic_choices::kLocalUserText);
    return true;
  }
  // wmic repeats what it reads; a change made again and again is no
  // command line's meaning.
  if (IsChange(request) && request.switches.everySeconds != 0) {
    text = MakeWmicProblem(WmicProblemKind::InvalidVerbSwitch).text;
    return true;
  }
  if (IsChange(request) && Asks(request) && !streams.CanAsk()) {
    text = std::wstring(wmic_choices::kNoConsoleToAskText);
    return true;
  }
  return false;
}

// The machines of /node:, comma separated on the command line and in its
// @file; what is wrong with them is said on standard error.
bool ReadWmicNodes(const WmicRequest& request, WmicStreams& streams, std::vector<std::wstring>& nodes) {
  BufferSink messages;
  const std::unique_ptr<Layout> layout = MakeLayout(RunSettings(), messages);
  if (ReadNodeList(request.globals.nodes, *layout, nodes, true)) return true;
  streams.Errors().Write(messages.Text());
  streams.Errors().Flush();
  return false;
}

WmicLayoutOptions OptionsFor(const std::wstring& node, const WmicRequest& request) {
  WmicLayoutOptions options;
  options.node = node;
  options.systemNames = AskedSystemNames(request);
  return options;
}

// Each machine of a run keeps what it read in its own record, which the run
// puts out in the order of the machines once all are done.
class WmicRecorders final : public MachineLayouts {
 public:
  WmicRecorders(WmicLayoutKind kind, const WmicLayoutOptions& options, std::vector<WmicMachineRecord>& records)
      : kind_(kind), options_(options), records_(records) {}

  std::unique_ptr<Layout> Open(const RunSettings&, OutputSink& block, const std::wstring& name,
                               size_t position) const override {
    WmicLayoutOptions options = options_;
    options.node = name;
    return MakeWmicRecorder(kind_, block, records_[position], std::move(options));
  }
  // A node block names the machine.
  bool NamesFailures() const override { return false; }

 private:
  const WmicLayoutKind kind_;
  const WmicLayoutOptions& options_;
  std::vector<WmicMachineRecord>& records_;
};

constexpr wchar_t kAliasClass[] = L"MSFT_CliAlias";

// The ALIAS alias reads this program's own table: the root\cli namespace
// that held wmic's goes with wmic, and the table is what runs here.
bool ReadsAliasTable(const WmicRequest& request) {
  const WmicAlias* alias = request.target.alias;
  return alias != nullptr && alias->className == kAliasClass;
}

// The table as objects of MSFT_CliAlias's properties, those the get list
// names where it names any; false for a name the class does not have.
bool AliasTableRecord(const WmicRequest& request, WmicLayoutKind kind, const std::wstring& thisMachine,
                      WmicMachineRecord& record) {
  static constexpr std::wstring_view kProperties[] = {L"FriendlyName", L"PWhere", L"Target"};
  std::vector<std::wstring> shown;
  for (const std::wstring& name : request.properties) {
    if (name == L"*") continue;
    const std::wstring_view* found = nullptr;
    for (const std::wstring_view& property : kProperties) {
      if (SameName(name, property)) found = &property;
    }
    if (found == nullptr) return false;
    shown.emplace_back(*found);
  }
  if (shown.empty()) shown.assign(std::begin(kProperties), std::end(kProperties));
  for (const WmicAlias& alias : AllWmicAliases()) {
    const std::wstring where = alias.keyWhere.empty() ? std::wstring() : L"Where " + std::wstring(alias.keyWhere);
    const std::wstring values[] = {std::wstring(alias.name), where, L"Select * from " + std::wstring(alias.className)};
    WmicObjectText object{thisMachine, {}};
    const bool xml = kind == WmicLayoutKind::kXml;
    if (xml) object.cells.emplace_back(L"__CLASS", kAliasClass);
    for (const std::wstring& name : shown) {
      for (size_t i = 0; i < std::size(kProperties); ++i) {
        if (name != kProperties[i]) continue;
        object.cells.emplace_back(name, xml ? WmicXmlStringProperty(name, kAliasClass, values[i]) : values[i]);
      }
    }
    record.objects.push_back(std::move(object));
  }
  return true;
}

// Everything a run needs before it connects: its machines, the password,
// the privileges, the output file. Returns kGoOn, or the exit code of a run
// that cannot start, its reason printed.
constexpr int kGoOn = -1;

int PrepareRun(const WmicRequest& request, WmicStreams& streams, RunSettings& settings,
               std::vector<std::wstring>& nodes, std::unique_ptr<OutputSink>& file) {
  if (settings.nodeGiven && !ReadWmicNodes(request, streams, nodes)) return wmic_choices::kExitCannotRun;
  if (settings.userGiven && !settings.passwordGiven) {
    if (!streams.AskPassword(settings.argPassword)) return CannotRun(streams, wmic_choices::kNoPasswordText);
    settings.passwordAsked = 1;
  }
  if (request.globals.privileges == WmicOnOff::On) {
    // A privilege the token holds but has not enabled is as good as none to a
    // provider on this machine; one that cannot be enabled is left as it is.
    DWORD error = 0;
    EnableHeldPrivileges(error);
  }
  const WmicDestination& destination = request.globals.destination;
  if (destination.toFile) {
    DWORD error = 0;
    file = streams.OpenFile(destination.path, destination.append, error);
    if (!file) {
      WriteLine(streams.Errors(), std::wstring(wmic_choices::kOutputFileText) + destination.path + L": " +
                                      WmicErrorDescription(HRESULT_FROM_WIN32(error)));
      streams.Errors().Flush();
      return wmic_choices::kExitFailure;
    }
  }
  return kGoOn;
}

// The exit code once the run is over: output that did not arrive fails it
// whatever else went well; then WMI's first failure, as its HRESULT.
int EndRun(OutputSink& out, WmicStreams& streams, int failed, HRESULT firstFailure) {
  const bool written = out.Flush();
  streams.Errors().Flush();
  if (!written) {
    out.ReportLostOutput();
    return wmic_choices::kExitFailure;
  }
  if (FAILED(firstFailure)) return static_cast<int>(firstFailure);
  return failed != 0 ? wmic_choices::kExitFailure : wmic_choices::kExitSuccess;
}

// /every: runs `once` again and again, each run whole; /repeat: ends it
// after that many runs, the user at any wait. The first failing run names
// the exit code; output that can no longer be written ends the runs.
template <class Once>
int RunEvery(const WmicRequest& request, WmicStreams& streams, OutputSink& out, Once once) {
  const WmicVerbSwitches& switches = request.switches;
  int exitCode = wmic_choices::kExitSuccess;
  if (switches.everySeconds != 0) streams.RunsRepeat();
  for (unsigned done = 1;; ++done) {
    const int code = once();
    if (exitCode == wmic_choices::kExitSuccess) exitCode = code;
    if (switches.everySeconds == 0 || out.Failed() || done == switches.repeatCount) break;
    if (!streams.WaitForNextRun(switches.everySeconds)) break;
  }
  if (switches.everySeconds != 0) streams.RunsEnded();
  return exitCode;
}

// Each machine's changes are written as they are made, one machine at a
// time, into the machine's block.
class WmicChangeLayouts final : public MachineLayouts {
 public:
  WmicChangeLayouts(const WmicLayoutOptions& options, OutputSink& errors, std::vector<HRESULT>& failures)
      : options_(options), errors_(errors), failures_(failures) {}

  std::unique_ptr<Layout> Open(const RunSettings&, OutputSink& block, const std::wstring& name,
                               size_t position) const override {
    WmicLayoutOptions options = options_;
    options.node = name;
    options.firstFailure = &failures_[position];
    return MakeWmicLayout(WmicLayoutKind::kChange, block, errors_, std::move(options));
  }
  bool NamesFailures() const override { return false; }

  // The first machine's, in their order, that failed with an HRESULT.
  HRESULT FirstFailure() const {
    for (const HRESULT hr : failures_) {
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  }

 private:
  const WmicLayoutOptions& options_;
  OutputSink& errors_;
  std::vector<HRESULT>& failures_;
};

// /interactive:on's question on standard error, and the answer from the
// console: Y goes on, N or the end of the input leaves the object as it is,
// anything else asks again.
bool AskOnConsole(WmicStreams& streams, const std::wstring& question) {
  for (;;) {
    streams.Errors().Write(question);
    streams.Errors().Flush();
    std::wstring answer;
    if (!streams.ReadLine(answer)) return false;
    TrimSpaces(answer);
    if (SameName(answer, L"y")) return true;
    if (SameName(answer, L"n")) return false;
    streams.Errors().Write(std::wstring(wmic_choices::kAnswerHelpText) + L"\r\n");
  }
}

int RunChange(const WmicRequest& request, WmiAccess& wmi, WmicStreams& streams, const std::wstring& thisMachine) {
  streams.ChangeMessagesFollow();
  RunSettings settings = ChangeSettings(request);
  const WipedOnExit passwordWiped(settings.argPassword);
  std::vector<std::wstring> nodes;
  std::unique_ptr<OutputSink> file;
  const int prepared = PrepareRun(request, streams, settings, nodes, file);
  if (prepared != kGoOn) return prepared;
  OutputSink& out = file ? *file : streams.Output(false);
  WmicLayoutOptions options = OptionsFor(thisMachine, request);
  options.nameSpace = PrintedNamespace(request);
  if (Asks(request)) options.ask = [&streams](const std::wstring& question) { return AskOnConsole(streams, question); };
  const std::unique_ptr<WmicLayout> layout = MakeWmicLayout(WmicLayoutKind::kChange, out, streams.Errors(), options);
  if (settings.nodeGiven) {
    // One machine at a time, in their order, as wmic changes them.
    settings.throttle = 1;
    std::vector<HRESULT> failures(nodes.size(), S_OK);
    const WmicChangeLayouts layouts(options, streams.Errors(), failures);
    const int failed = RunOnMachines(wmi, settings, nodes, out, *layout, kHeldOutputBudget, {}, layouts);
    return EndRun(out, streams, failed, layouts.FirstFailure());
  }
  const int failed = WmiQuery(wmi, settings, *layout, settings.argNamespace.c_str(), settings.argWQL.c_str());
  layout->Finish();
  return EndRun(out, streams, failed, layout->FirstFailure());
}

// One run of a read, whole: its layout from the first line to the last.
int ReadOnce(const WmicRequest& request, WmiAccess& wmi, WmicStreams& streams, const RunSettings& settings,
             const std::vector<std::wstring>& nodes, OutputSink& out, WmicLayoutKind kind,
             const std::wstring& thisMachine) {
  int failed = 0;
  if (settings.formatJson) {
    const std::unique_ptr<Layout> layout = MakeLayout(settings, out);
    failed = settings.nodeGiven
                 ? RunOnMachines(wmi, settings, nodes, out, *layout)
                 : WmiQuery(wmi, settings, *layout, settings.argNamespace.c_str(), settings.argWQL.c_str());
    return EndRun(out, streams, failed, S_OK);
  }
  const WmicLayoutOptions options = OptionsFor(thisMachine, request);
  const std::unique_ptr<WmicLayout> layout = MakeWmicLayout(kind, out, streams.Errors(), options);
  if (ReadsAliasTable(request)) {
    WmicMachineRecord record;
    if (AliasTableRecord(request, kind, thisMachine, record)) {
      layout->Replay(record);
    } else {
      layout->Failure(static_cast<HRESULT>(WBEM_E_INVALID_QUERY));
      failed = 1;
    }
  } else if (settings.nodeGiven) {
    std::vector<WmicMachineRecord> records(nodes.size());
    failed = RunOnMachines(wmi, settings, nodes, out, *layout, kHeldOutputBudget, {},
                           WmicRecorders(kind, options, records));
    for (WmicMachineRecord& record : records) {
      layout->Replay(record);
      // What is out is no longer needed.
      WmicMachineRecord().objects.swap(record.objects);
    }
  } else {
    failed = WmiQuery(wmi, settings, *layout, settings.argNamespace.c_str(), settings.argWQL.c_str());
  }
  layout->Finish();
  return EndRun(out, streams, failed, layout->FirstFailure());
}

int RunRead(const WmicRequest& request, WmiAccess& wmi, WmicStreams& streams, const std::wstring& thisMachine) {
  const WmicLayoutKind kind = LayoutKind(request);
  RunSettings settings = ReadSettings(request, kind);
  const WipedOnExit passwordWiped(settings.argPassword);
  std::vector<std::wstring> nodes;
  std::unique_ptr<OutputSink> file;
  const int prepared = PrepareRun(request, streams, settings, nodes, file);
  if (prepared != kGoOn) return prepared;
  OutputSink& out = file ? *file : streams.Output(settings.formatJson != 0);
  if (settings.formatJson) out.KeepLineEndsExact();
  return RunEvery(request, streams, out,
                  [&] { return ReadOnce(request, wmi, streams, settings, nodes, out, kind, thisMachine); });
}

// `call /?`: the class's methods, read from its definition on this machine
// whatever /node: names: help is the same on every machine that has the class.
int RunMethodHelp(const WmicRequest& request, WmiAccess& wmi, WmicStreams& streams, const std::wstring& thisMachine) {
  RunSettings settings = ReadSettings(request, WmicLayoutKind::kMethods);
  settings.formatJson = 0;
  settings.describe = 1;
  settings.nodeGiven = 0;
  settings.userGiven = 0;
  settings.passwordGiven = 0;
  OutputSink& out = streams.Output(false);
  const std::unique_ptr<WmicLayout> layout =
      MakeWmicLayout(WmicLayoutKind::kMethods, out, streams.Errors(), OptionsFor(thisMachine, request));
  const int failed = WmiQuery(wmi, settings, *layout, settings.argNamespace.c_str(), settings.argWQL.c_str());
  layout->Finish();
  return EndRun(out, streams, failed, layout->FirstFailure());
}

int RunRequest(const WmicRequest& request, WmiAccess& wmi, WmicStreams& streams, const std::wstring& thisMachine) {
  if (request.problem.kind != WmicProblemKind::None) return CannotRun(streams, request.problem.text);
  if (request.help == WmicHelp::Verb && request.verb == WmicVerb::Call && request.target.kind != WmicTargetKind::None) {
    return RunMethodHelp(request, wmi, streams, thisMachine);
  }
  if (request.help != WmicHelp::None) {
    OutputSink& out = streams.Output(false);
    out.Write(WmicHelpText(request));
    if (!out.Flush()) {
      out.ReportLostOutput();
      return wmic_choices::kExitFailure;
    }
    return wmic_choices::kExitSuccess;
  }
  std::wstring refusal;
  if (Refusal(request, streams, refusal)) return CannotRun(streams, refusal);
  if (IsChange(request)) return RunChange(request, wmi, streams, thisMachine);
  return RunRead(request, wmi, streams, thisMachine);
}

bool IsPromptEnd(const std::wstring& command) {
  for (const std::wstring_view word : wmic_choices::kPromptEndWords) {
    if (SameName(command, word)) return true;
  }
  return false;
}

// wmic with nothing after its name: one command a line, each run as it
// would be on the command line, until exit, quit or the end of the input;
// a change asks first unless told not to (see wmic_choices.h). The exit
// code is the last command's.
int RunPrompt(const WmicGlobals& started, WmiAccess& wmi, WmicStreams& streams, const std::wstring& thisMachine) {
  int exitCode = wmic_choices::kExitSuccess;
  for (;;) {
    OutputSink& out = streams.Output(false);
    out.Write(wmic_choices::kPromptText);
    if (!out.Flush()) {
      out.ReportLostOutput();
      return wmic_choices::kExitFailure;
    }
    std::wstring line;
    if (!streams.ReadLine(line)) break;
    TrimSpaces(line);
    if (line.empty()) continue;
    if (IsPromptEnd(line)) break;
    std::wstring commandLine = L"wmic " + line;
    WmicRequest request = ParseWmicCommandLine(commandLine);
    const WipedOnExit passwordWiped(request.globals.password);
    if (!request.globals.interactiveGiven) {
      const bool asks =
          started.interactiveGiven ? started.interactive == WmicOnOff::On : wmic_choices::kPromptAsksFirst;
      request.globals.interactive = asks ? WmicOnOff::On : WmicOnOff::Off;
    }
    WipeText(line);
    WipeText(commandLine);
    exitCode = RunRequest(request, wmi, streams, thisMachine);
  }
  return exitCode;
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
  if (request.interactive) return RunPrompt(request.globals, wmi, streams, thisMachine);
  return RunRequest(request, wmi, streams, thisMachine);
}

std::wstring WmicThisMachineName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(name, &size) || size == 0) return L"localhost";
  return std::wstring(name, size);
}
