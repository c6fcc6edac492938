// /watch with the in-memory WMI, which delivers events at given times: how a
// watch ends, the text of an event in each layout, and many machines.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "base/output.h"
#include "base/stop_request.h"
#include "operations/wmi_arguments.h"
#include "support/fake_wmi_access.h"
#include "support/run_capture.h"
#include "support/values.h"

namespace {

const std::wstring kQuery = L"/wql:select * from __instancecreationevent within 2 where targetinstance isa 'win32_process'";
const std::wstring kRunFailed =
    L"ERROR: Failed to run root\\cimv2\\select * from __instancecreationevent within 2 where targetinstance isa "
    L"'win32_process'\r\n";

FakeObject ProcessEvent(const wchar_t* name, long long id) {
  FakeObject process(L"Win32_Process", L"\\\\.\\root\\cimv2:Win32_Process.Handle=\"" + std::to_wstring(id) + L"\"");
  process.Add(L"Name", StringValue(name)).Add(L"ProcessId", IntegerValue(VT_I4, id), CIM_UINT32);
  FakeObject event(L"__InstanceCreationEvent", L"");
  event.Add(L"TargetInstance", EmbeddedValue(process), CIM_OBJECT);
  return event;
}

// Stops a watch that should have ended by itself, and fails the test saying
// what the watch waited for: such a watch would otherwise hang until CTest's
// limit, and say nothing. The bound is far above what any of these watches
// takes, however loaded the machine.
class WatchdogStop : public StopRequest {
 public:
  static constexpr int kSeconds = 10;
  explicit WatchdogStop(std::string awaited) : awaited_(std::move(awaited)), watch_([this] { Watch(); }) {}
  ~WatchdogStop() override {
    {
      const std::lock_guard<std::mutex> hold(lock_);
      over_ = true;
    }
    woken_.notify_all();
    watch_.join();
    if (fired_) ADD_FAILURE() << "Stopped the watch after " << kSeconds << " seconds of waiting for " << awaited_;
  }
  WatchdogStop(const WatchdogStop&) = delete;
  WatchdogStop& operator=(const WatchdogStop&) = delete;

 private:
  void Watch() {
    std::unique_lock<std::mutex> hold(lock_);
    if (woken_.wait_for(hold, std::chrono::seconds(kSeconds), [this] { return over_; })) return;
    fired_ = true;
    Request();
  }

  const std::string awaited_;
  std::mutex lock_;
  std::condition_variable woken_;
  bool over_ = false;
  bool fired_ = false;
  std::thread watch_;  // last: it reads everything above
};

// A watch that is to end by itself, with `awaited` saying what ends it.
int RunWatch(WmiAccess& wmi, const std::vector<std::wstring>& arguments, OutputSink& out, const std::string& awaited) {
  WatchdogStop stop(awaited);
  return RunTollix(wmi, arguments, out, &stop);
}

RunResult RunWatch(WmiAccess& wmi, const std::vector<std::wstring>& arguments, const std::string& awaited) {
  HeldSink out;
  RunResult run;
  run.exitCode = RunWatch(wmi, arguments, out, awaited);
  run.output = out.Text();
  return run;
}

// Keeps the text of each flush apart, so that an event pushed out on its own
// shows as a piece of its own.
class PieceSink final : public OutputSink {
 public:
  void Write(std::wstring_view text) override { held_.append(text); }
  bool Flush() override {
    if (!held_.empty()) pieces.push_back(held_);
    held_.clear();
    return true;
  }
  std::vector<std::wstring> pieces;

 private:
  std::wstring held_;
};

TEST(Watch, RefusedBeforeTheBannerWithNothingRun) {
  const std::wstring count = L"ERROR: /count: takes a whole number from 1 to 2147483647.";
  const struct {
    std::vector<std::wstring> arguments;
    std::wstring error;
  } cases[] = {
      {{L"/watch", L"/set:Name", L"/args:x"}, L"ERROR: /watch is exclusive to /set:"},
      {{L"/watch", L"/call:Terminate", L"/args:0"}, L"ERROR: /watch is exclusive to /call:"},
      {{L"/watch", L"/describe"}, L"ERROR: /watch is exclusive to /describe"},
      {{L"/watch", L"/whatif"}, L"ERROR: /watch is exclusive to /whatif"},
      {{L"/watch", L"/count:1"}, L""},
      {{L"/count:1"}, L"ERROR: /count: needs /watch"},
      {{L"/watch", L"/count:0"}, count},
      {{L"/watch", L"/count:2147483647"}, L""},
      {{L"/watch", L"/count:2147483648"}, count},
      // Digits summed in 32 bits would wrap this one round to 1.
      {{L"/watch", L"/count:4294967297"}, count},
      {{L"/watch", L"/count:"}, count},
      {{L"/watch", L"/count:-1"}, count},
      {{L"/watch", L"/node:a,b,c", L"/throttle:2"},
       L"ERROR: /watch needs a /throttle: of at least the number of machines (3)."},
      {{L"/watch", L"/node:a,b,c", L"/throttle:3"}, L""},
  };
  for (const auto& c : cases) {
    FakeWmiAccess wmi;
    if (c.error.empty()) {
      // Past the refusals: the watch starts, and fails at once.
      wmi.FailAt(WmiOp::ExecNotificationQuery, 1, WBEM_E_FAILED);
      for (const wchar_t* name : {L"a", L"b", L"c"}) wmi.Machine(name).FailAt(WmiOp::ExecNotificationQuery, 1, WBEM_E_FAILED);
      std::vector<std::wstring> all = {kQuery};
      all.insert(all.end(), c.arguments.begin(), c.arguments.end());
      const RunResult run = RunTollix(wmi, all);
      EXPECT_EQ(run.exitCode, 1);
      EXPECT_NE(run.output.find(L"ERROR: Failed to execute notification query. Error code = 0x80041001\r\n"),
                std::wstring::npos)
          << run.output;
    } else {
      // A watch let through by mistake ends at once, and fails the row, rather
      // than waiting for events that never come.
      wmi.EndEvents();
      ExpectRefusedBeforeAnythingRuns(wmi, kQuery, c.arguments, c.error);
    }
  }
  FakeWmiAccess wmi;
  ExpectRefusedBeforeAnythingRuns(wmi, L"/class:Win32_Process", {L"/watch"}, L"ERROR: /watch is exclusive to /class:");
}

TEST(Watch, EndsByCountTimeoutOrFailureWithEachEventPushedOutAlone) {
  // The Nth event is process N, named a.exe, b.exe...
  const auto name = [](size_t n) { return std::wstring(1, static_cast<wchar_t>(L'a' + n - 1)) + L".exe"; };
  const auto line = [&](size_t n) {
    return L"{\"Node\":\"LOCALHOST\",\"TargetInstance\":{\"Name\":\"" + name(n) + L"\",\"ProcessId\":" +
           std::to_wstring(n) + L"}}\r\n";
  };
  const std::wstring quiet = L"{\"error\":\"No event came within 1 seconds.\"}\r\n";
  const std::wstring nextFailed = L"{\"error\":\"Failed to get next event. Error code = 0x80041001\"}\r\n";
  const std::wstring ended = L"{\"error\":\"The events ended before the watch did.\"}\r\n";
  const std::wstring runFailed =
      L"{\"error\":\"Failed to run root\\\\cimv2\\\\select * from __instancecreationevent within 2 where "
      L"targetinstance isa 'win32_process'\"}\r\n";
  // The third event, at 5 seconds, comes after any of these watches ends.
  const std::vector<unsigned long> usual = {100, 400, 5000};
  // Events that keep coming for longer than a second, never a second apart.
  const std::vector<unsigned long> busy = {300, 600, 900, 1200, 1500, 1800};
  const struct {
    std::vector<unsigned long> eventsAt;
    bool eventsEnd;  // after the last one
    std::vector<std::wstring> arguments;
    int failNextAt;
    int exitCode;
    std::vector<std::wstring> pieces;
    const char* awaited;
  } cases[] = {
      {usual, false, {L"/count:2"}, 0, 0, {line(1), line(2)}, "the second event to end it"},
      {usual, false, {L"/count:1"}, 0, 0, {line(1)}, "the first event to end it"},
      {usual, false, {L"/timeout:1"}, 0, 1, {line(1), line(2), quiet + runFailed}, "a quiet second to end it"},
      // The quiet time counts from the latest event, not from the start.
      {busy, false, {L"/timeout:1"}, 0, 1,
       {line(1), line(2), line(3), line(4), line(5), line(6), quiet + runFailed}, "a quiet second to end it"},
      // A Next that fails midway, after one that waited in vain.
      {usual, false, {L"/timeout:5"}, 4, 1, {line(1), line(2), nextFailed + runFailed}, "the failing Next to end it"},
      // An enumerator that says it has no more is not asked again.
      {{100, 400}, true, {}, 0, 1, {line(1), line(2), ended + runFailed}, "the end of the events to end it"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.awaited);
    FakeWmiAccess wmi;
    for (size_t i = 0; i < c.eventsAt.size(); ++i) wmi.AddEvent(c.eventsAt[i], ProcessEvent(name(i + 1).c_str(), static_cast<long long>(i + 1)));
    if (c.eventsEnd) wmi.EndEvents();
    if (c.failNextAt > 0) wmi.FailAt(WmiOp::Next, c.failNextAt, WBEM_E_FAILED);
    std::vector<std::wstring> arguments = {kQuery, L"/watch", L"/format:json"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    PieceSink out;
    EXPECT_EQ(RunWatch(wmi, arguments, out, c.awaited), c.exitCode);
    EXPECT_EQ(out.pieces, c.pieces);
    EXPECT_EQ(wmi.notificationQueryLanguage, L"WQL");
    EXPECT_EQ(wmi.notificationQueryFlags, 0x30);  // return immediately, forward only: Windows refuses less
    EXPECT_EQ(wmi.Calls(WmiOp::ExecQuery), 0);
    // Short slices, never a wait without limit nor a busy one: the longest
    // of these watches takes about a dozen slices.
    for (const ULONG timeout : wmi.eventNextTimeouts) {
      EXPECT_GE(timeout, 1u);
      EXPECT_LE(timeout, kWatchSliceMs);
    }
    EXPECT_LE(wmi.Calls(WmiOp::Next), 50);
    EXPECT_EQ(wmi.LiveHandles(), 0);
  }
}

TEST(Watch, AStopRequestEndsTheWatchWithinOneSlice) {
  FakeWmiAccess wmi;
  wmi.AddEvent(50, ProcessEvent(L"a.exe", 1));
  wmi.AddEvent(20000, ProcessEvent(L"b.exe", 2));
  StopRequest stop;
  HeldSink out;
  std::thread requester([&] {
    Sleep(600);
    stop.Request();
  });
  // Ended long before the second event, which would otherwise show; no
  // wait is ever longer than a slice (pinned above), so neither is the stop.
  const int exitCode = RunTollix(wmi, {kQuery, L"/watch"}, out, &stop);
  requester.join();
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(out.Text(), Banner() + L"\r\nTargetInstance.Name=a.exe\r\nTargetInstance.ProcessId=1\r\n");
  EXPECT_EQ(wmi.LiveHandles(), 0);
  EXPECT_EQ(wmi.Calls(WmiOp::UninitializeCom), 1);
}

TEST(Watch, TheListAndCsvLayoutsShowTheEmbeddedObjectOneLevelDeep) {
  FakeObject deeper(L"Win32_Process", L"");
  deeper.Add(L"Name", StringValue(L"inner.exe"));
  FakeObject event = ProcessEvent(L"notepad.exe", 4242);
  event.Add(L"PreviousInstance", NullValue(), CIM_OBJECT);
  event.properties[2].value = EmbeddedValue(
      FakeObject(L"Win32_Process", L"").Add(L"Name", StringValue(L"notepad.exe")).Add(L"Parent", EmbeddedValue(deeper), CIM_OBJECT));
  const struct {
    const wchar_t* layout;
    std::wstring text;
  } cases[] = {
      {L"/format:list", Banner() +
                            L"\r\nTargetInstance.Name=notepad.exe\r\nTargetInstance.Parent=!!UNSUPPORTED_CIM_OBJECT!!\r\n"
                            L"PreviousInstance=\r\n"
                            L"\r\nTargetInstance.Name=notepad.exe\r\nTargetInstance.Parent=!!UNSUPPORTED_CIM_OBJECT!!\r\n"
                            L"PreviousInstance=\r\n"},
      {L"/format:csv", Banner() + L"Node,TargetInstance.Name,TargetInstance.Parent,PreviousInstance\r\n"
                                  L"LOCALHOST,notepad.exe,!!UNSUPPORTED_CIM_OBJECT!!,\r\n"
                                  L"LOCALHOST,notepad.exe,!!UNSUPPORTED_CIM_OBJECT!!,\r\n"},
      {L"/format:json", L"{\"Node\":\"LOCALHOST\",\"TargetInstance\":{\"Name\":\"notepad.exe\",\"Parent\":{\"Name\":"
                        L"\"inner.exe\"}},\"PreviousInstance\":null}\r\n"
                        L"{\"Node\":\"LOCALHOST\",\"TargetInstance\":{\"Name\":\"notepad.exe\",\"Parent\":{\"Name\":"
                        L"\"inner.exe\"}},\"PreviousInstance\":null}\r\n"},
  };
  for (const auto& c : cases) {
    FakeWmiAccess wmi;
    wmi.AddEvent(0, event);
    wmi.AddEvent(0, event);
    const RunResult run = RunWatch(wmi, {kQuery, L"/watch", L"/count:2", c.layout}, "the second event to end it");
    EXPECT_EQ(run.exitCode, 0) << c.layout;
    EXPECT_EQ(run.output, c.text) << c.layout;
  }
  // Outside /watch the object keeps its placeholder.
  FakeWmiAccess wmi;
  wmi.AddResult(L"Thing", L"").Add(L"Inside", EmbeddedValue(deeper), CIM_OBJECT);
  EXPECT_EQ(RunTollix(wmi, {L"/wql:select * from thing"}).output,
            Banner() + L"\r\nInside=!!UNSUPPORTED_CIM_OBJECT!!\r\n\r\n");
}

TEST(Watch, ManyMachinesWriteEachEventWholeAsItArrivesAndOneFailingLeavesTheOthers) {
  const auto json = [](const wchar_t* node, const wchar_t* name) {
    return std::wstring(L"{\"Node\":\"") + node + L"\",\"TargetInstance\":{\"Name\":\"" + name +
           L"\",\"ProcessId\":1}}\r\n";
  };
  const auto csv = [](const wchar_t* node, const wchar_t* name) {
    return std::wstring(node) + L"," + name + L",1\r\n";
  };
  const std::wstring query = L"select * from __instancecreationevent within 2 where targetinstance isa 'win32_process'";
  const struct {
    const wchar_t* layout;
    std::vector<std::wstring> pieces;
  } cases[] = {
      {L"/format:json",
       {L"{\"Node\":\"x\",\"error\":\"Failed to execute notification query. Error code = 0x80041001\"}\r\n"
        L"{\"Node\":\"x\",\"error\":\"Failed to run \\\\\\\\x\\\\root\\\\cimv2\\\\select * from "
        L"__instancecreationevent within 2 where targetinstance isa 'win32_process'\"}\r\n",
        json(L"a", L"a1.exe"), json(L"b", L"b1.exe"), json(L"c", L"c1.exe"),
        json(L"a", L"a2.exe"), json(L"b", L"b2.exe"), json(L"c", L"c2.exe"),
        L"{\"error\":\"1 of 4 nodes failed.\"}\r\n"}},
      // The header once in the whole run, with the first event, whichever
      // machine sends it.
      {L"/format:csv",
       {Banner(),
        L"ERROR: Failed to execute notification query. Error code = 0x80041001\r\n"
        L"ERROR: Failed to run \\\\x\\root\\cimv2\\" + query + L"\r\n",
        L"Node,TargetInstance.Name,TargetInstance.ProcessId\r\n" + csv(L"a", L"a1.exe"), csv(L"b", L"b1.exe"),
        csv(L"c", L"c1.exe"), csv(L"a", L"a2.exe"), csv(L"b", L"b2.exe"), csv(L"c", L"c2.exe"),
        L"ERROR: 1 of 4 nodes failed.\r\n"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.layout);
    FakeWmiAccess wmi;
    const wchar_t* const names[] = {L"a", L"b", L"c"};
    for (int i = 0; i < 3; ++i) {
      FakeWmiAccess& machine = wmi.Machine(names[i]);
      machine.AddEvent(100 + 150 * i, ProcessEvent((std::wstring(names[i]) + L"1.exe").c_str(), 1));
      machine.AddEvent(700 + 150 * i, ProcessEvent((std::wstring(names[i]) + L"2.exe").c_str(), 1));
    }
    wmi.Machine(L"x").FailAt(WmiOp::ExecNotificationQuery, 1, WBEM_E_FAILED);
    PieceSink out;
    EXPECT_EQ(RunWatch(wmi, {kQuery, L"/watch", c.layout, L"/count:2", L"/node:c,x,b,a", L"/user:CORP\\admin",
                             L"/password:pw"},
                       out, "the second event of every machine to end it"),
              1);
    EXPECT_EQ(out.pieces, c.pieces);
    // Every event enumerator takes the machine's blanket before its first Next.
    const std::wstring identity = L"user=admin domain=CORP password=given unicode";
    for (const wchar_t* name : names) {
      FakeWmiAccess& machine = wmi.Machine(name);
      EXPECT_EQ(machine.enumeratorBlanketsAs, std::vector<std::wstring>{identity}) << name;
      EXPECT_EQ(machine.enumeratorUnknownBlanketsAs, std::vector<std::wstring>{identity}) << name;
      EXPECT_EQ(machine.lastNextAs, identity) << name;
      EXPECT_EQ(machine.LiveHandles(), 0) << name;
    }
  }
}

TEST(Watch, LostOutputEndsEveryWatchAtItsNextEventOrSlice) {
  for (const std::wstring& nodes : {std::wstring(), std::wstring(L"/node:a,b")}) {
    SCOPED_TRACE(std::string(nodes.begin(), nodes.end()));
    FakeWmiAccess wmi;
    // Machine b sends nothing: it stops within a slice of a's loss.
    wmi.Machine(L"a").AddEvent(0, ProcessEvent(L"a.exe", 1));
    wmi.Machine(L"b");
    wmi.AddEvent(0, ProcessEvent(L"a.exe", 1));
    HeldSink out(true);
    std::vector<std::wstring> arguments = {kQuery, L"/watch", L"/format:json"};
    if (!nodes.empty()) arguments.push_back(nodes);
    EXPECT_EQ(RunWatch(wmi, arguments, out, "the lost output to end every machine's watch"), 1);
    EXPECT_EQ(out.Text(), L"");
  }
}

// As a query run on the same machines: the process's COM security, and who
// each machine is reached as. Every connection of a watch is bounded by WMI,
// which alone can end one that hangs before Ctrl+C is taken.
TEST(Watch, AsksComAndWmiWhatAQueryOnTheSameMachinesAsks) {
  const std::wstring own = L"own account";
  const struct {
    std::vector<std::wstring> arguments;
    DWORD processLevel;  // of the process's COM security
    std::vector<std::pair<std::wstring, std::wstring>> connectedAs;  // machine ("" alone), account
  } cases[] = {
      {{}, RPC_C_AUTHN_LEVEL_CONNECT, {{L"", own}}},
      {{L"/timeout:5"}, RPC_C_AUTHN_LEVEL_CONNECT, {{L"", own}}},
      // WMI refuses credentials for this machine, by any of its names.
      {{L"/node:.,pc2,LocalHost", L"/user:CORP\\admin", L"/password:pw"},
       RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
       {{L".", own}, {L"pc2", L"user=CORP\\admin password=given"}, {L"LocalHost", own}}},
      {{L"/node:pc1"}, RPC_C_AUTHN_LEVEL_PKT_PRIVACY, {{L"pc1", own}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.arguments.empty() ? L"" : c.arguments[0].c_str()));
    FakeWmiAccess wmi;
    wmi.AddEvent(0, ProcessEvent(L"a.exe", 1));
    std::vector<std::wstring> arguments = {kQuery, L"/watch", L"/count:1"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const RunResult run = RunWatch(wmi, arguments, "the first event of every machine to end it");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    // Set once for the process, before any machine's watch.
    EXPECT_EQ(wmi.Calls(WmiOp::InitializeSecurity), 1);
    const ComSecurityArguments& security = wmi.comSecurity;
    EXPECT_EQ(std::make_tuple(security.authenticationServices, security.authenticationLevel,
                              security.impersonationLevel, security.capabilities),
              std::make_tuple(-1L, c.processLevel, DWORD{RPC_C_IMP_LEVEL_IMPERSONATE}, DWORD{EOAC_NONE}));
    for (const auto& [name, account] : c.connectedAs) {
      FakeWmiAccess& machine = name.empty() ? wmi : wmi.Machine(name);
      EXPECT_EQ(machine.connectedAs, account) << name;
      EXPECT_EQ(machine.connectFlags, static_cast<LONG>(WBEM_FLAG_CONNECT_USE_MAX_WAIT)) << name;
      if (!name.empty()) {
        EXPECT_EQ(machine.Calls(WmiOp::InitializeSecurity), 0) << name;
      }
    }
  }
}

// What WMI had been asked when the watch took Ctrl+C for itself.
class ArmRecorder final : public WatchdogStop {
 public:
  // `watched`: the one machine expected to arm it, read on its own thread.
  ArmRecorder(FakeWmiAccess& watched, std::string awaited) : WatchdogStop(std::move(awaited)), watched_(watched) {}
  void Arm() override {
    if (arms++ == 0) askedBefore = watched_.log;
  }
  std::atomic<int> arms{0};
  std::vector<WmiOp> askedBefore;

 private:
  FakeWmiAccess& watched_;
};

// Ctrl+C ends the process while a watch connects or queries, which may hang;
// only once its events flow does Ctrl+C stop the watch instead.
TEST(Watch, TakesCtrlCOnlyOnceItsEventsFlow) {
  const struct {
    const wchar_t* nodes;   // empty: this machine alone
    const wchar_t* failing;  // machine whose step fails ("" alone)
    WmiOp failingStep;       // Count: none
    int arms;
    int exitCode;
  } cases[] = {
      {L"", L"", WmiOp::Count, 1, 0},
      {L"", L"", WmiOp::ConnectServer, 0, 1},
      {L"", L"", WmiOp::ExecNotificationQuery, 0, 1},
      // Machine b fails, a watches.
      {L"/node:a,b", L"b", WmiOp::ExecNotificationQuery, 1, 1},
      {L"/node:a", L"a", WmiOp::ExecNotificationQuery, 0, 1},
  };
  for (const auto& c : cases) {
    const bool fails = c.failingStep != WmiOp::Count;
    SCOPED_TRACE(testing::Message() << c.nodes << " " << c.failing << " " << (fails ? WmiOpName(c.failingStep) : L""));
    FakeWmiAccess wmi;
    wmi.AddEvent(0, ProcessEvent(L"a.exe", 1));
    FakeWmiAccess& failing = *c.failing ? wmi.Machine(c.failing) : wmi;
    if (fails) failing.FailAt(c.failingStep, 1, WBEM_E_FAILED);
    FakeWmiAccess& watched = *c.nodes ? wmi.Machine(L"a") : wmi;
    std::vector<std::wstring> arguments = {kQuery, L"/watch", L"/count:1"};
    if (*c.nodes) arguments.push_back(c.nodes);
    ArmRecorder stop(watched, "the first event, or a failure, to end it");
    HeldSink out;
    EXPECT_EQ(RunTollix(wmi, arguments, out, &stop), c.exitCode) << out.Text();
    EXPECT_EQ(stop.arms.load(), c.arms);
    if (stop.arms.load() == 0) continue;
    // Armed with the event enumerator there, before its first Next.
    EXPECT_EQ(std::count(stop.askedBefore.begin(), stop.askedBefore.end(), WmiOp::ExecNotificationQuery), 1);
    EXPECT_EQ(std::count(stop.askedBefore.begin(), stop.askedBefore.end(), WmiOp::Next), 0);
  }
}

}  // namespace
