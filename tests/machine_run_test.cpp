// /node: with the in-memory WMI: name lists and files, the limits, the order
// of the blocks, failures, the throttle and timeouts, in every layout; the
// progress line.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/output.h"
#include "base/progress_line.h"
#include "base/run_settings.h"
#include "cli/node_list.h"
#include "operations/machine_run.h"
#include "render/layout.h"
#include "support/fake_wmi_access.h"
#include "support/run_capture.h"
#include "support/values.h"

namespace {

const std::wstring kQuery = L"/wql:select * from win32_thing";

void AddThing(FakeWmiAccess& wmi, const wchar_t* name) {
  wmi.AddResult(L"Win32_Thing", std::wstring(L"\\\\.\\root\\cimv2:Win32_Thing.Name=\"") + name + L"\"")
      .Add(L"Name", StringValue(name));
}

std::wstring RunFailed(const std::wstring& machine) {
  return L"ERROR: Failed to run \\\\" + machine + L"\\root\\cimv2\\select * from win32_thing\r\n";
}

TEST(MachineRun, ThrottleAndTimeoutTakeWholeNumbersInTheirRange) {
  const std::wstring throttle = L"ERROR: /throttle: takes a whole number from 1 to 1024.\r\n";
  const std::wstring timeout = L"ERROR: /timeout: takes a whole number of seconds from 1 to 86400.\r\n";
  const struct {
    const wchar_t* argument;
    std::wstring error;
  } cases[] = {
      {L"/throttle:0", throttle}, {L"/throttle:1025", throttle},  {L"/throttle:-1", throttle},
      {L"/throttle:", throttle},  {L"/throttle:2x", throttle},    {L"/timeout:0", timeout},
      {L"/timeout:86401", timeout}, {L"/timeout:1.5", timeout},   {L"/timeout:", timeout},
      {L"/throttle:1024", L""},   {L"/timeout:86400", L""},
  };
  for (const auto& c : cases) {
    FakeWmiAccess wmi;
    AddThing(wmi, L"x");
    const RunResult run = RunTollix(wmi, {kQuery, L"/node:a", c.argument});
    EXPECT_EQ(run.exitCode, c.error.empty() ? 0 : 1) << c.argument;
    if (!c.error.empty()) {
      EXPECT_EQ(run.output, c.error) << c.argument;
    }
  }
}

TEST(MachineRun, BlocksComeInTheOrderOfTheNamesWhateverTheLatencies) {
  std::mt19937 random(5);
  FakeWmiAccess wmi;
  AddThing(wmi, L"x");
  std::wstring names;
  std::vector<std::wstring> inOrder;
  std::wstring expected = Banner();
  for (int i = 0; i < 40; ++i) {
    const std::wstring name = L"pc" + std::to_wstring(i);
    names += (i ? L"," : L"") + name;
    inOrder.push_back(name);
    wmi.Machine(name).SetLatency(WmiOp::ConnectServer, random() % 40);
    expected += L"\r\nNode=" + name + L"\r\nName=x\r\n\r\n";
  }
  const RunResult run = RunTollix(wmi, {kQuery, L"/node:" + names, L"/throttle:8"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, expected);
  EXPECT_LE(wmi.MostMachinesAtWork(), 8);
  EXPECT_EQ(wmi.connectedMachines.size(), inOrder.size());
  EXPECT_NE(wmi.connectedMachines, inOrder) << "the machines answered in order: nothing was tested";
}

// What a machine holds is given back once it is out, so a budget far smaller
// than the whole run is filled and drained again and again; a budget that
// cannot take even one machine fails the run instead of ending it early.
TEST(MachineRun, EveryMachineComesOutThroughASmallHeldOutputBudget) {
  const struct {
    size_t budget;
    size_t textLength;  // of each machine's one result
    bool csv;
    int machines;
    int exitCode;
  } cases[] = {
      {16 * 1024, 1000, false, 150, 0},
      {16 * 1024, 1000, true, 150, 0},
      {4 * 1024, 4000, false, 100, 0},  // every machine's lines are more than the whole budget
      {1, 10, false, 3, 1},             // less than any machine needs to start
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "budget " << c.budget << (c.csv ? " csv" : " list"));
    const std::wstring text(c.textLength, L'x');
    FakeWmiAccess wmi;
    wmi.keepLog = false;
    AddThing(wmi, text.c_str());
    std::vector<std::wstring> names;
    std::wstring expected = c.csv ? L"Node,Name\r\n" : L"";
    for (int i = 0; i < c.machines; ++i) {
      names.push_back(L"pc" + std::to_wstring(i));
      expected += c.csv ? names.back() + L"," + text + L"\r\n" : L"\r\nNode=" + names.back() + L"\r\nName=" + text + L"\r\n\r\n";
    }
    if (c.exitCode != 0) expected = L"ERROR: 3 of 3 nodes failed.\r\n";
    RunSettings settings;
    settings.argNamespace = L"root\\cimv2";
    settings.argWQL = L"select * from win32_thing";
    settings.formatCsv = c.csv ? 1 : 0;
    settings.throttle = 4;
    std::wstring output;
    FunctionSink out([&output](std::wstring_view written) { output.append(written); });
    const std::unique_ptr<Layout> runLayout = MakeLayout(settings, out);
    EXPECT_EQ(RunOnMachines(wmi, settings, names, out, *runLayout, c.budget), c.exitCode);
    EXPECT_TRUE(output == expected) << std::count(output.begin(), output.end(), L'\n') << " lines out of "
                                    << std::count(expected.begin(), expected.end(), L'\n');
  }
}

TEST(MachineRun, NeverMoreThanTheThrottleAtWork) {
  for (int throttle : {1, 3}) {
    FakeWmiAccess wmi;
    AddThing(wmi, L"x");
    wmi.SetLatency(WmiOp::ExecQuery, 100);
    const RunResult run = RunTollix(wmi, {kQuery, L"/node:a,b,c,d,e,f,g", L"/throttle:" + std::to_wstring(throttle)});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_LE(wmi.MostMachinesAtWork(), throttle);
    EXPECT_GE(wmi.MostMachinesAtWork(), throttle == 1 ? 1 : 2) << "the machines did not overlap";
  }
}

TEST(MachineRun, AFailingMachineFailsAloneInEveryLayout) {
  const std::wstring connectFailed = L"ERROR: Failed to connect. Error code = 0x80041015\r\n";
  const struct {
    std::vector<std::wstring> arguments;
    std::wstring output;  // after the banner, if the layout has one
  } cases[] = {
      {{},
       L"\r\nNode=a\r\nName=x\r\n\r\n" + connectFailed + RunFailed(L"b") + L"\r\nNode=c\r\nName=x\r\n\r\n" +
           L"ERROR: 1 of 3 nodes failed.\r\n"},
      {{L"/format:csv"},
       L"Node,Name\r\na,x\r\n" + connectFailed + RunFailed(L"b") + L"c,x\r\nERROR: 1 of 3 nodes failed.\r\n"},
      {{L"/format:json"},
       L"{\"Node\":\"a\",\"Name\":\"x\"}\r\n"
       L"{\"Node\":\"b\",\"error\":\"Failed to connect. Error code = 0x80041015\"}\r\n"
       L"{\"Node\":\"b\",\"error\":\"Failed to run \\\\\\\\b\\\\root\\\\cimv2\\\\select * from win32_thing\"}\r\n"
       L"{\"Node\":\"c\",\"Name\":\"x\"}\r\n"
       L"{\"error\":\"1 of 3 nodes failed.\"}\r\n"},
  };
  for (const auto& c : cases) {
    FakeWmiAccess wmi;
    AddThing(wmi, L"x");
    wmi.Machine(L"b").FailAt(WmiOp::ConnectServer, 1, WBEM_E_INVALID_NAMESPACE + 0x7);  // 0x80041015
    wmi.Machine(L"a").FailAt(WmiOp::ConnectServer, 2, E_FAIL);  // never reached: a connects once
    std::vector<std::wstring> arguments = {kQuery, L"/node:a,b,c"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const RunResult run = RunTollix(wmi, arguments);
    EXPECT_EQ(run.exitCode, 1);
    const std::wstring banner = c.arguments.empty() || c.arguments[0] != L"/format:json" ? Banner() : L"";
    EXPECT_EQ(run.output, banner + c.output);
    for (const wchar_t* name : {L"a", L"b", L"c"}) {
      EXPECT_EQ(wmi.Machine(name).LiveHandles(), 0) << name;
      EXPECT_EQ(wmi.Machine(name).Calls(WmiOp::UninitializeCom), 1) << name;
      EXPECT_EQ(wmi.Machine(name).Calls(WmiOp::InitializeSecurity), 0) << name;
    }
    EXPECT_EQ(wmi.Calls(WmiOp::InitializeSecurity), 1);
    EXPECT_EQ(wmi.Calls(WmiOp::UninitializeCom), 1);
  }
}

TEST(MachineRun, StalledNextAndHungConnectionWithAndWithoutTimeout) {
  for (WmiOp op : {WmiOp::Next, WmiOp::ConnectServer}) {
    for (bool bounded : {false, true}) {
      SCOPED_TRACE(testing::Message() << WmiOpName(op) << (bounded ? " with /timeout:1" : " without a timeout"));
      FakeWmiAccess wmi;
      AddThing(wmi, L"x");
      wmi.Machine(L"slow").SetLatency(op, 1200);
      std::vector<std::wstring> arguments = {kQuery, L"/node:slow,fast", L"/format:csv"};
      if (bounded) arguments.push_back(L"/timeout:1");
      const RunResult run = RunTollix(wmi, arguments);
      EXPECT_EQ(wmi.Machine(L"fast").connectFlags, bounded ? WBEM_FLAG_CONNECT_USE_MAX_WAIT : 0);
      if (!bounded) {
        // The slow machine answers last, yet its block, and with it the
        // header, comes first.
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.output, Banner() + L"Node,Name\r\nslow,x\r\nfast,x\r\n");
        continue;
      }
      EXPECT_EQ(run.exitCode, 1);
      EXPECT_EQ(run.output, Banner() + L"ERROR: Timed out after 1 seconds.\r\n" + RunFailed(L"slow") +
                                L"Node,Name\r\nfast,x\r\nERROR: 1 of 2 nodes failed.\r\n");
      EXPECT_EQ(wmi.Machine(L"slow").LiveHandles(), 0);
    }
  }
  // On this machine too.
  FakeWmiAccess wmi;
  wmi.SetLatency(WmiOp::Next, 1200);
  const RunResult run = RunTollix(wmi, {kQuery, L"/timeout:1", L"/format:csv"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, Banner() + L"ERROR: Timed out after 1 seconds.\r\n"
                                   L"ERROR: Failed to run root\\cimv2\\select * from win32_thing\r\n");
}

TEST(MachineRun, SetAndCallActOnEveryMachineAndTheEchoNamesThem) {
  FakeWmiAccess wmi;
  wmi.AddResult(L"Win32_Thing", L"\\\\.\\root\\cimv2:Win32_Thing.Id=1").Add(L"Label", StringValue(L"old"));
  wmi.AddMethod(L"Win32_Thing", L"Blink").hasInputSignature = false;
  RunResult run = RunTollix(wmi, {kQuery, L"/node:a,b,a", L"/set:Label", L"/args:new"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, Banner() + L"\r\nNode=a\r\nLabel=new\r\nSET Success.\r\n\r\n" +
                            L"\r\nNode=b\r\nLabel=new\r\nSET Success.\r\n\r\n" +
                            L"\r\nNode=a\r\nLabel=new\r\nSET Success.\r\n\r\n");
  EXPECT_EQ(wmi.Machine(L"a").written.size(), 2u);
  EXPECT_EQ(wmi.Machine(L"b").written.size(), 1u);

  run = RunTollix(wmi, {kQuery, L"/node:a,b", L"/call:Blink", L"/args:,", L"/format:json"});
  EXPECT_EQ(run.output, L"{\"Node\":\"a\"}\r\n{\"Node\":\"b\"}\r\n");
  EXPECT_EQ(wmi.Machine(L"b").executed.size(), 1u);
  EXPECT_EQ(wmi.Machine(L"b").connectedNamespace, L"\\\\b\\root\\cimv2");

  run = RunTollix(wmi, {kQuery, L"/node: a,b ", L"/debugdisplay", L"/throttle:2"});
  EXPECT_NE(run.output.find(L"INFO: argFUNC=GET\r\nINFO: nodes=[a,b]\r\nINFO: throttle=[2]\r\nINFO: timeout=[none]\r\n"),
            std::wstring::npos);
  EXPECT_EQ(run.output.substr(run.output.size() - 16), L"INFO: Success.\r\n");
  EXPECT_EQ(run.output.substr(run.output.size() - 16), L"INFO: Success.\r\n");

  // Every line of a node run says whose it is: SET's value line in CSV, and a
  // CALL that gives back nothing in the list and CSV layouts.
  run = RunTollix(wmi, {kQuery, L"/node:a", L"/set:Label", L"/args:csv", L"/format:csv"});
  EXPECT_EQ(run.output, Banner() + L"Node=a\r\nLabel=csv\r\nSET Success.\r\n");
  run = RunTollix(wmi, {kQuery, L"/node:a", L"/call:Blink", L"/args:,"});
  EXPECT_EQ(run.output, Banner() + L"\r\nNode=a\r\nCALL Success.\r\n\r\n");
  run = RunTollix(wmi, {kQuery, L"/node:a", L"/call:Blink", L"/args:,", L"/format:csv"});
  EXPECT_EQ(run.output, Banner() + L"Node=a\r\nCALL Success.\r\n");
  // On this machine alone, nothing changes.
  run = RunTollix(wmi, {kQuery, L"/call:Blink", L"/args:,", L"/format:csv"});
  EXPECT_EQ(run.output, Banner() + L"CALL Success.\r\n");
}

// Changes made to WMI, on this machine or on every machine of a node run.
size_t Changes(FakeWmiAccess& wmi, const std::vector<std::wstring>& machines) {
  size_t changes = wmi.executed.size() + wmi.written.size();
  for (const std::wstring& name : machines) changes += Changes(wmi.Machine(name), {});
  return changes;
}

TEST(MachineRun, LostOutputStopsChangesAsSoonAsOnOneMachine) {
  const struct {
    std::vector<std::wstring> arguments;
    size_t changes;  // the same run on one machine, whose output is due at once
  } cases[] = {
      // The banner is held; the flush before the first change fails.
      {{L"/set:Label", L"/args:new"}, 0},
      {{L"/call:Blink", L"/args:,"}, 0},
      {{L"/set:Label", L"/args:new", L"/format:csv"}, 0},
      {{L"/call:Blink", L"/args:,", L"/format:csv"}, 0},
      // JSON has no banner: the first change's line is what fails to arrive,
      // before PutInstance for SET, before the next call for CALL.
      {{L"/set:Label", L"/args:new", L"/format:json"}, 0},
      {{L"/call:Blink", L"/args:,", L"/format:json"}, 1},
      // GET changes nothing, but no machine is worked on for output nobody sees.
      {{L"/format:list"}, 0},
      {{L"/format:json"}, 0},
  };
  for (const auto& c : cases) {
    const bool banner = c.arguments.back() != L"/format:json";
    // 0: on this machine; otherwise the throttle of a node run. With a banner,
    // nothing starts after it fails to arrive, however many may work at once.
    for (const int throttle : {0, 1, banner ? 3 : 1}) {
      SCOPED_TRACE(testing::Message() << c.arguments[0] << " " << c.arguments.back() << " throttle " << throttle);
      const bool onNodes = throttle > 0;
      FakeWmiAccess wmi;
      for (int id = 1; id <= 3; ++id) {
        wmi.AddResult(L"Win32_Thing", L"\\\\.\\root\\cimv2:Win32_Thing.Id=" + std::to_wstring(id))
            .Add(L"Label", StringValue(L"old"));
      }
      wmi.AddMethod(L"Win32_Thing", L"Blink").hasInputSignature = false;
      std::vector<std::wstring> arguments = {kQuery};
      arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
      if (onNodes) arguments.insert(arguments.end(), {L"/node:a,b,c", L"/throttle:" + std::to_wstring(throttle)});
      HeldSink lost(true);
      EXPECT_EQ(RunTollix(wmi, arguments, lost), 1);
      EXPECT_EQ(Changes(wmi, onNodes ? std::vector<std::wstring>{L"a", L"b", L"c"} : std::vector<std::wstring>{}),
                c.changes);
      if (throttle == 1) {
        // Once a's output failed to arrive, b and c are not even reached.
        EXPECT_EQ(wmi.Machine(L"b").Calls(WmiOp::ConnectServer) + wmi.Machine(L"c").Calls(WmiOp::ConnectServer), 0);
      }
    }
  }
}

TEST(MachineRun, AHungFirstMachineHoldsUpTheOutputButNotTheOthers) {
  FakeWmiAccess wmi;
  AddThing(wmi, L"x");
  std::wstring names = L"/node:first";
  std::wstring expected = Banner();
  for (const wchar_t* name : {L"first", L"m1", L"m2", L"m3", L"m4", L"m5", L"m6", L"m7", L"m8", L"m9"}) {
    if (name != std::wstring(L"first")) names += std::wstring(L",") + name;
    expected += std::wstring(L"\r\nNode=") + name + L"\r\nName=x\r\n\r\n";
  }
  // The first answers only once every other machine is done.
  wmi.Machine(L"first").HoldUntil(WmiOp::ExecQuery, [&wmi] { return wmi.MachinesDone() == 9; });
  const RunResult run = RunTollix(wmi, {kQuery, names, L"/throttle:2"});
  EXPECT_EQ(wmi.Machine(L"first").HoldsGivenUp(), 0) << "the other machines waited for the first";
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, expected);
}

// What the progress line was told, by the run's own thread, and how much of
// the output was out when it was erased.
class RecordedLine final : public ProgressLine {
 public:
  explicit RecordedLine(const std::wstring& output) : output_(output) {}
  void Show(std::wstring_view text) override { events.push_back(std::wstring(text)); }
  void Erase() override {
    events.push_back(L"(erased)");
    outputAtErase = output_.size();
  }
  std::vector<std::wstring> events;
  size_t outputAtErase = 0;

 private:
  const std::wstring& output_;
};

// One machine at a time, so that they finish in the order of their names;
// the clock moves on by `step` each time the run reads it.
TEST(Progress, CountsAtMostOnceAnIntervalAndIsErasedBeforeTheLastLine) {
  const struct {
    int machines;
    int failing;  // the machine that fails, -1: none
    int stepMs;   // the interval is 100 ms
    bool debug;
    std::vector<std::wstring> shown;
    std::wstring lastLine;
  } cases[] = {
      {3, 1, 100, false, {L"0/3 machines done, 0 failed", L"1/3 machines done, 0 failed",
                          L"2/3 machines done, 1 failed", L"3/3 machines done, 1 failed"},
       L"ERROR: 1 of 3 nodes failed.\r\n"},
      {5, -1, 99, true, {L"0/5 machines done, 0 failed", L"2/5 machines done, 0 failed",
                         L"4/5 machines done, 0 failed", L"5/5 machines done, 0 failed"},
       L"INFO: Success.\r\n"},
      // The clock stands still: the last count is shown all the same.
      {4, 3, 0, false, {L"0/4 machines done, 0 failed", L"4/4 machines done, 1 failed"},
       L"ERROR: 1 of 4 nodes failed.\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.machines << " machines, a step of " << c.stepMs << " ms");
    std::vector<std::wstring> names;
    for (int i = 0; i < c.machines; ++i) names.push_back(L"pc" + std::to_wstring(i));
    RunSettings settings;
    settings.argNamespace = L"root\\cimv2";
    settings.argWQL = L"select * from win32_thing";
    settings.throttle = 1;
    settings.debugDisplay = c.debug ? 1 : 0;
    std::wstring outputs[2];
    RecordedLine line(outputs[1]);
    std::chrono::steady_clock::time_point clock;
    for (int shown = 0; shown < 2; ++shown) {
      FakeWmiAccess wmi;
      AddThing(wmi, L"x");
      if (c.failing >= 0) wmi.Machine(names[static_cast<size_t>(c.failing)]).FailAt(WmiOp::ConnectServer, 1, E_FAIL);
      FunctionSink out([&outputs, shown](std::wstring_view written) { outputs[shown].append(written); });
      const std::unique_ptr<Layout> runLayout = MakeLayout(settings, out);
      RunProgress progress{shown ? &line : nullptr, std::chrono::milliseconds(100), [&clock, &c] {
                             return clock += std::chrono::milliseconds(c.stepMs);
                           }};
      const int exitCode = RunOnMachines(wmi, settings, names, out, *runLayout, kHeldOutputBudget, progress);
      EXPECT_EQ(exitCode, c.failing >= 0 ? 1 : 0);
    }
    std::vector<std::wstring> expected = c.shown;
    expected.push_back(L"(erased)");
    EXPECT_EQ(line.events, expected);
    EXPECT_EQ(outputs[1].substr(line.outputAtErase), c.lastLine);
    EXPECT_EQ(outputs[1], outputs[0]) << "the output changed with the progress line";
  }
}

TEST(Progress, TheConsoleLineIsRewrittenInPlaceAndLeavesNoTail) {
  std::wstring written;
  ConsoleProgressLine line([&written](std::wstring_view text) { written.append(text).append(L"|"); });
  line.Erase();  // nothing shown yet: nothing to erase
  line.Show(L"10/12 done");
  line.Show(L"11/12");
  line.Show(L"12/12 done!");
  line.Erase();
  line.Erase();
  line.Show(L"ab");
  EXPECT_EQ(written, L"\r10/12 done|\r11/12     |\r12/12 done!|\r           \r|\rab|");
}

}  // namespace
