// Every WMI operation a run reaches is made to fail in turn, in GET, SET and
// CALL runs. Each failure must print its own message, stop everything after
// it, give back every interface, stop COM exactly once and fail the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <utility>
#include <map>
#include <string>
#include <vector>

#include "base/output.h"
#include "support/fake_wmi_access.h"
#include "support/json_lines.h"
#include "support/run_capture.h"
#include "support/values.h"

namespace {

constexpr HRESULT kInjected = static_cast<HRESULT>(0x8004106C);  // WBEM_E_QUOTA_VIOLATION

void Populate(FakeWmiAccess& wmi) {
  wmi.AddResult(L"Win32_Panel", L"\\\\.\\root\\cimv2:Win32_Panel.Id=1")
      .Add(L"Name", StringValue(L"panel"))
      .Add(L"Levels", IntegerArray(VT_I4, {10, 20}), CIM_SINT32 | CIM_FLAG_ARRAY)
      .Add(L"Frame", EmbeddedValue(FakeObject().Add(L"Width", IntegerValue(VT_I4, 3), CIM_UINT32)), CIM_OBJECT);
  FakeMethod& dim = wmi.AddMethod(L"Win32_Panel", L"Dim");
  dim.inputs.Add(L"Level", NullValue(), CIM_UINT32).Add(L"Timeout", NullValue(), CIM_UINT32);
  dim.run = [](const FakeObject&) {
    FakeObject out;
    out.Add(L"Codes", IntegerArray(VT_I4, {0, 1}), CIM_SINT32 | CIM_FLAG_ARRAY);
    return std::optional<FakeObject>(out);
  };
}

struct Mode {
  const wchar_t* name;
  std::vector<std::wstring> arguments;
  // The message for a failure of the operation's first call; an empty text
  // marks a failure that is reported and passed over, kUnread one that is
  // taken as a qualifier the class does not have.
  std::map<WmiOp, std::wstring> messages;
};

const std::wstring kUnread = L"(unread)";

std::wstring Message(const wchar_t* what) {
  return std::wstring(L"ERROR: ") + what + L". Error code = 0x8004106c\r\n";
}

std::vector<Mode> Modes() {
  const std::map<WmiOp, std::wstring> startUp = {
      {WmiOp::InitializeCom, Message(L"Failed to initialize COM library")},
      {WmiOp::InitializeSecurity, Message(L"Failed to initialize security")},
      {WmiOp::CreateLocator, Message(L"Failed to create IWbemLocator object")},
      {WmiOp::ConnectServer, Message(L"Failed to connect")},
      {WmiOp::SetProxyBlanket, Message(L"Failed to set proxy blanket")},
      // Only in a /node: run: the enumerator's proxy gets the blanket too.
      {WmiOp::SetEnumeratorBlanket, Message(L"Failed to set proxy blanket")},
      {WmiOp::ExecQuery, Message(L"Failed to execute query")},
      {WmiOp::Next, Message(L"Failed to get next object")},
  };
  Mode get{L"GET", {L"/wql:select * from win32_panel"}, startUp};
  get.messages[WmiOp::GetNames] = Message(L"Failed to get names");
  get.messages[WmiOp::Get] = Message(L"Failed to get");
  for (WmiOp op : {WmiOp::ArrayLowerBound, WmiOp::ArrayUpperBound, WmiOp::ArrayElement}) {
    get.messages[op] = Message(L"Failed to read array");
  }
  // Only JSON reads what an embedded object holds.
  get.messages[WmiOp::EmbeddedObject] = Message(L"Failed to read embedded object");

  Mode set{L"SET", {L"/wql:select * from win32_panel", L"/set:Name", L"/args:lamp"}, startUp};
  set.messages[WmiOp::Get] = Message(L"Failed to get original value of [Name]");
  set.messages[WmiOp::Put] = Message(L"Failed to put value as [Name]");
  set.messages[WmiOp::PutInstance] = Message(L"Failed to PutInstance");

  Mode call{L"CALL", {L"/wql:select * from win32_panel", L"/call:Dim", L"/args:40,9"}, startUp};
  call.messages[WmiOp::GetClass] = Message(L"Failed to get object");
  // Whether the method is static, and the parameters' CIMTYPE.
  call.messages[WmiOp::MethodQualifier] = kUnread;
  call.messages[WmiOp::PropertyQualifier] = kUnread;
  call.messages[WmiOp::GetMethod] = Message(L"Failed to get method");
  call.messages[WmiOp::SpawnInstance] = Message(L"Failed to Spawn Instance");
  call.messages[WmiOp::Get] = Message(L"Failed to get __PATH");
  call.messages[WmiOp::GetNames] = Message(L"Failed to get method parameter names");
  call.messages[WmiOp::ExecMethod] = Message(L"Failed to execute method");
  call.messages[WmiOp::Put] = Message(L"Failed to put method argument [Level]=[40]");
  for (WmiOp op : {WmiOp::ArrayLowerBound, WmiOp::ArrayUpperBound, WmiOp::ArrayElement}) {
    call.messages[op] = Message(L"Failed to read array");
  }
  return {get, set, call};
}

// The text of each {"error":...} line of a JSON run, as a line of the other
// layouts would read.
std::wstring ErrorLinesOf(const std::wstring& output) {
  std::wstring errors;
  for (const nlohmann::ordered_json& line : ParseJsonLines(output)) {
    if (!line.contains("error")) continue;
    const std::string text = line["error"];
    errors += L"ERROR: " + std::wstring(text.begin(), text.end()) + L"\r\n";  // ASCII only
  }
  return errors;
}

TEST(FailurePaths, EveryReachedOperationFailsCleanly) {
  for (Mode mode : Modes()) {
    for (bool json : {false, true}) {
      if (json) mode.arguments.push_back(L"/format:json");
      SCOPED_TRACE(json ? "JSON" : "list");
      FakeWmiAccess clean;
      Populate(clean);
      const RunResult baseline = RunTollix(clean, mode.arguments);
      ASSERT_EQ(baseline.exitCode, 0) << mode.name << baseline.output;

      std::vector<WmiOp> reached = clean.log;
      std::sort(reached.begin(), reached.end());
      reached.erase(std::unique(reached.begin(), reached.end()), reached.end());
      reached.erase(std::remove(reached.begin(), reached.end(), WmiOp::UninitializeCom), reached.end());

      for (WmiOp op : reached) {
        SCOPED_TRACE(std::wstring(mode.name) + L" " + WmiOpName(op));
        const auto expected = mode.messages.find(op);
        ASSERT_NE(expected, mode.messages.end()) << "no expectation for an operation the run reaches";

        FakeWmiAccess wmi;
        Populate(wmi);
        wmi.FailAt(op, 1, kInjected);
        const RunResult run = RunTollix(wmi, mode.arguments);
        const int comStarted = op == WmiOp::InitializeCom ? 0 : 1;
        EXPECT_EQ(wmi.Calls(WmiOp::UninitializeCom), comStarted);
        EXPECT_EQ(wmi.LiveHandles(), 0);

        const std::wstring output = json ? ErrorLinesOf(run.output) : run.output;
        if (expected->second == kUnread) {
          EXPECT_EQ(run.exitCode, 0);
          EXPECT_EQ(run.output, baseline.output);
          continue;
        }
        if (expected->second.empty()) {  // reported, and the run goes on
          EXPECT_EQ(run.exitCode, 0);
          EXPECT_NE(output.find(L"Error code = 0x8004106c\r\n"), std::wstring::npos);
          continue;
        }
        EXPECT_EQ(run.exitCode, 1);
        const std::wstring ending = expected->second + L"ERROR: Failed to run root\\cimv2\\" +
                                    mode.arguments[0].substr(5) + L"\r\n";
        ASSERT_GE(output.size(), ending.size());
        EXPECT_EQ(output.substr(output.size() - ending.size()), ending);
        EXPECT_EQ(run.output.find(L"Success."), std::wstring::npos);

        // After the failed call only COM's shutdown may follow.
        const auto failed = std::find(wmi.log.begin(), wmi.log.end(), op);
        ASSERT_NE(failed, wmi.log.end());
        const std::vector<WmiOp> after(failed + 1, wmi.log.end());
        EXPECT_EQ(after, std::vector<WmiOp>(comStarted, WmiOp::UninitializeCom));
        EXPECT_TRUE(wmi.executed.empty());
        EXPECT_TRUE(wmi.written.empty());
      }
    }
  }
}

// Standard output with room for `room` characters; the first write that does
// not fit fails, and so does every one after it.
class FullSink final : public OutputSink {
 public:
  FullSink(size_t room, std::function<void()> onFailure) : room_(room), onFailure_(std::move(onFailure)) {}
  void Write(std::wstring_view text) override {
    if (failed_) return;
    if (text.size() > room_) {
      failed_ = true;
      onFailure_();
      return;
    }
    room_ -= text.size();
  }
  bool Failed() const override { return failed_; }
  void ReportLostOutput() override { ++reports; }
  int reports = 0;

 private:
  size_t room_;
  std::function<void()> onFailure_;
  bool failed_ = false;
};

// Output lost at any point: the run fails, says so once, changes nothing in
// WMI after the loss, and gives everything back.
TEST(FailurePaths, LostOutputStopsTheRunBeforeAnyFurtherChange) {
  for (const Mode& base : Modes()) {
    for (const wchar_t* layout : {L"", L"/format:csv", L"/format:json"}) {
      Mode mode = base;
      mode.arguments.push_back(layout);
      const auto populate = [](FakeWmiAccess& wmi) {
        Populate(wmi);
        wmi.AddResult(L"Win32_Panel", L"\\\\.\\root\\cimv2:Win32_Panel.Id=2").Add(L"Name", StringValue(L"second"));
      };
      FakeWmiAccess clean;
      populate(clean);
      const RunResult whole = RunTollix(clean, mode.arguments);
      ASSERT_EQ(whole.exitCode, 0) << mode.name;
      for (size_t room = 0; room <= whole.output.size(); ++room) {
        SCOPED_TRACE(testing::Message() << mode.name << " " << layout << ", room for " << room);
        FakeWmiAccess wmi;
        populate(wmi);
        const auto changes = [&wmi] { return wmi.puts.size() + wmi.written.size() + wmi.executed.size(); };
        size_t changesAtLoss = 0;
        FullSink out(room, [&] { changesAtLoss = changes(); });
        const int exitCode = RunTollix(wmi, mode.arguments, out);
        EXPECT_EQ(wmi.LiveHandles(), 0);
        EXPECT_EQ(wmi.Calls(WmiOp::UninitializeCom), wmi.Calls(WmiOp::InitializeCom));
        if (room == whole.output.size()) {
          EXPECT_EQ(exitCode, 0);
          EXPECT_EQ(out.reports, 0);
          continue;
        }
        EXPECT_EQ(exitCode, 1);
        EXPECT_EQ(out.reports, 1);
        EXPECT_EQ(changes(), changesAtLoss);
      }
    }
  }
}

// The same failures on one machine of three: only that machine fails, with
// the same message, and the others complete.
TEST(FailurePaths, AFailureOnOneMachineStaysWithIt) {
  for (Mode mode : Modes()) {
    mode.arguments.push_back(L"/node:a,b,c");
    FakeWmiAccess clean;
    Populate(clean);
    ASSERT_EQ(RunTollix(clean, mode.arguments).exitCode, 0) << mode.name;
    std::vector<WmiOp> reached = clean.Machine(L"b").log;
    std::sort(reached.begin(), reached.end());
    reached.erase(std::unique(reached.begin(), reached.end()), reached.end());
    reached.erase(std::remove(reached.begin(), reached.end(), WmiOp::UninitializeCom), reached.end());

    for (WmiOp op : reached) {
      SCOPED_TRACE(std::wstring(mode.name) + L" " + WmiOpName(op));
      const std::wstring& message = mode.messages.at(op);
      FakeWmiAccess wmi;
      Populate(wmi);
      wmi.Machine(L"b").FailAt(op, 1, kInjected);
      const RunResult run = RunTollix(wmi, mode.arguments);
      for (const wchar_t* machine : {L"a", L"b", L"c"}) {
        const bool comStarted = op != WmiOp::InitializeCom || machine != std::wstring(L"b");
        EXPECT_EQ(wmi.Machine(machine).LiveHandles(), 0) << machine;
        EXPECT_EQ(wmi.Machine(machine).Calls(WmiOp::UninitializeCom), comStarted ? 1 : 0) << machine;
      }
      for (const wchar_t* machine : {L"a", L"c"}) {
        EXPECT_EQ(wmi.Machine(machine).executed.size(), clean.Machine(machine).executed.size()) << machine;
        EXPECT_EQ(wmi.Machine(machine).written.size(), clean.Machine(machine).written.size()) << machine;
      }
      if (message.empty() || message == kUnread) {  // the run goes on
        EXPECT_EQ(run.exitCode, 0);
        continue;
      }
      EXPECT_EQ(run.exitCode, 1);
      const std::wstring failure = message + L"ERROR: Failed to run \\\\b\\root\\cimv2\\" +
                                   mode.arguments[0].substr(5) + L"\r\n";
      EXPECT_NE(run.output.find(failure), std::wstring::npos) << run.output;
      EXPECT_EQ(run.output.substr(run.output.size() - 29), L"ERROR: 1 of 3 nodes failed.\r\n");
    }
  }
}

}  // namespace
