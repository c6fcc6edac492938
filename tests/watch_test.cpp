// /watch with the in-memory WMI, which delivers events at given times: how a
// watch ends, the text of an event in each layout, and many machines.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
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
      ExpectRefusedBeforeAnythingRuns(wmi, kQuery, c.arguments, c.error);
    }
  }
  FakeWmiAccess wmi;
  ExpectRefusedBeforeAnythingRuns(wmi, L"/class:Win32_Process", {L"/watch"}, L"ERROR: /watch is exclusive to /class:");
}

TEST(Watch, EndsByCountTimeoutOrFailureWithEachEventPushedOutAlone) {
  const std::wstring one = L"{\"Node\":\"LOCALHOST\",\"TargetInstance\":{\"Name\":\"a.exe\",\"ProcessId\":1}}\r\n";
  const std::wstring two = L"{\"Node\":\"LOCALHOST\",\"TargetInstance\":{\"Name\":\"b.exe\",\"ProcessId\":2}}\r\n";
  const std::wstring quiet = L"{\"error\":\"No event came within 1 seconds.\"}\r\n";
  const std::wstring nextFailed = L"{\"error\":\"Failed to get next event. Error code = 0x80041001\"}\r\n";
  const std::wstring runFailed =
      L"{\"error\":\"Failed to run root\\\\cimv2\\\\select * from __instancecreationevent within 2 where "
      L"targetinstance isa 'win32_process'\"}\r\n";
  const struct {
    std::vector<std::wstring> arguments;
    int failNextAt;
    int exitCode;
    std::vector<std::wstring> pieces;
  } cases[] = {
      {{L"/count:2"}, 0, 0, {one, two}},
      {{L"/count:1"}, 0, 0, {one}},
      // The third event, at 5 seconds, comes too late.
      {{L"/timeout:1"}, 0, 1, {one, two, quiet + runFailed}},
      // A Next that fails midway, after one that waited in vain.
      {{L"/timeout:5"}, 4, 1, {one, two, nextFailed + runFailed}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments[0]);
    FakeWmiAccess wmi;
    wmi.AddEvent(100, ProcessEvent(L"a.exe", 1));
    wmi.AddEvent(400, ProcessEvent(L"b.exe", 2));
    wmi.AddEvent(5000, ProcessEvent(L"c.exe", 3));
    if (c.failNextAt > 0) wmi.FailAt(WmiOp::Next, c.failNextAt, WBEM_E_FAILED);
    std::vector<std::wstring> arguments = {kQuery, L"/watch", L"/format:json"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    PieceSink out;
    EXPECT_EQ(RunTollix(wmi, arguments, out), c.exitCode);
    EXPECT_EQ(out.pieces, c.pieces);
    EXPECT_EQ(wmi.notificationQueryLanguage, L"WQL");
    EXPECT_EQ(wmi.notificationQueryFlags, kNotificationQueryFlags);
    EXPECT_EQ(wmi.Calls(WmiOp::ExecQuery), 0);
    // Short slices, never a wait without limit nor a busy one.
    for (const ULONG timeout : wmi.eventNextTimeouts) {
      EXPECT_GE(timeout, 1u);
      EXPECT_LE(timeout, kWatchSliceMs);
    }
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
    const RunResult run = RunTollix(wmi, {kQuery, L"/watch", L"/count:2", c.layout});
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
  const auto line = [](const wchar_t* node, const wchar_t* name) {
    return std::wstring(L"{\"Node\":\"") + node + L"\",\"TargetInstance\":{\"Name\":\"" + name +
           L"\",\"ProcessId\":1}}\r\n";
  };
  FakeWmiAccess wmi;
  const wchar_t* const names[] = {L"a", L"b", L"c"};
  for (int i = 0; i < 3; ++i) {
    FakeWmiAccess& machine = wmi.Machine(names[i]);
    machine.AddEvent(100 + 150 * i, ProcessEvent((std::wstring(names[i]) + L"1.exe").c_str(), 1));
    machine.AddEvent(700 + 150 * i, ProcessEvent((std::wstring(names[i]) + L"2.exe").c_str(), 1));
  }
  wmi.Machine(L"x").FailAt(WmiOp::ExecNotificationQuery, 1, WBEM_E_FAILED);
  PieceSink out;
  EXPECT_EQ(RunTollix(wmi, {kQuery, L"/watch", L"/format:json", L"/count:2", L"/node:c,x,b,a", L"/user:CORP\\admin",
                            L"/password:pw"},
                      out),
            1);
  const std::vector<std::wstring> expected = {
      L"{\"Node\":\"x\",\"error\":\"Failed to execute notification query. Error code = 0x80041001\"}\r\n"
      L"{\"Node\":\"x\",\"error\":\"Failed to run \\\\\\\\x\\\\root\\\\cimv2\\\\select * from __instancecreationevent "
      L"within 2 where targetinstance isa 'win32_process'\"}\r\n",
      line(L"a", L"a1.exe"), line(L"b", L"b1.exe"), line(L"c", L"c1.exe"),
      line(L"a", L"a2.exe"), line(L"b", L"b2.exe"), line(L"c", L"c2.exe"),
      L"{\"error\":\"1 of 4 nodes failed.\"}\r\n"};
  EXPECT_EQ(out.pieces, expected);
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
    EXPECT_EQ(RunTollix(wmi, arguments, out), 1);
    EXPECT_EQ(out.Text(), L"");
  }
}

}  // namespace
