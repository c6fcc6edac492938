#include <gtest/gtest.h>

#include <string>

#include "render/value_text.h"
#include "support/fake_wmi_access.h"
#include "support/run_capture.h"
#include "support/values.h"

namespace {

const std::wstring kRunFailed = L"ERROR: Failed to run root\\cimv2\\select * from win32_logicaldisk\r\n";

void AddDisks(FakeWmiAccess& wmi, int count) {
  for (int i = 0; i < count; ++i) {
    const std::wstring letter(1, static_cast<wchar_t>(L'C' + i));
    wmi.AddResult(L"Win32_LogicalDisk", L"\\\\.\\root\\cimv2:Win32_LogicalDisk.DeviceID=\"" + letter + L":\"")
        .Add(L"DeviceID", StringValue(letter + L":"))
        .Add(L"VolumeName", StringValue(L"Old"))
        .Add(L"Count", IntegerValue(VT_I4, 5), CIM_UINT32)
        .Add(L"Tags", StringArray({L"a", L"b"}), CIM_STRING | CIM_FLAG_ARRAY);
  }
}

RunResult Set(FakeWmiAccess& wmi, const std::wstring& key, const std::wstring& value,
              std::vector<std::wstring> more = {}) {
  more.insert(more.begin(), {L"/wql:select * from Win32_LogicalDisk", L"/set:" + key, L"/args:" + value});
  return RunTollix(wmi, more);
}

std::wstring WrittenValue(const FakeWmiAccess& wmi, size_t index, const wchar_t* name) {
  std::wstring text;
  FormatValueText(wmi.written.at(index).Find(name)->value.get(), text);
  return text;
}

TEST(SetProperty, ChangesAndWritesBackEveryResult) {
  FakeWmiAccess wmi;
  AddDisks(wmi, 2);
  const RunResult run = Set(wmi, L"VolumeName", L"NewLabel");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, Banner() + L"\r\nVolumeName=NewLabel\r\nSET Success.\r\n\r\nVolumeName=NewLabel\r\nSET Success.\r\n\r\n");
  ASSERT_EQ(wmi.written.size(), 2u);
  EXPECT_EQ(WrittenValue(wmi, 0, L"VolumeName"), L"NewLabel");
  EXPECT_EQ(WrittenValue(wmi, 1, L"DeviceID"), L"D:");
  EXPECT_EQ(wmi.putInstanceFlags, WBEM_FLAG_CREATE_OR_UPDATE);
  EXPECT_EQ(wmi.LiveHandles(), 0);
}

TEST(SetProperty, NumbersShowAsNumbersBeforeAndAfter) {
  FakeWmiAccess wmi;
  AddDisks(wmi, 1);
  const RunResult run = Set(wmi, L"Count", L" 7", {L"/debugdisplay"});
  const std::wstring trace =
      L"INFO: Start SET method.\r\n"
      L"INFO: Get original value, start\r\n"
      L"Count=5, vt=3, ct=19\r\n"
      L"INFO: Get original value, end\r\n"
      L"INFO: Set new value, start\r\n"
      L"INFO: Set new value, end\r\n"
      L"Count=7\r\n"
      L"INFO: Put instance, start\r\n"
      L"INFO: Put instance, end\r\n"
      L"SET Success.\r\n";
  EXPECT_NE(run.output.find(trace), std::wstring::npos) << run.output;
  EXPECT_EQ(WrittenValue(wmi, 0, L"Count"), L"7");

  FakeWmiAccess arrays;
  AddDisks(arrays, 1);
  EXPECT_NE(Set(arrays, L"Tags", L"x", {L"/debugdisplay"}).output.find(L"Tags={\"a\",\"b\"}, vt=8200, ct=8200\r\n"),
            std::wstring::npos);
}

TEST(SetProperty, EachFailingStepEndsTheRunAfterEarlierObjectsAreWritten) {
  struct Case {
    WmiOp op;
    int call;  // the call that belongs to the second disk
    std::wstring ending;
  };
  const Case cases[] = {
      {WmiOp::Get, 3, L"\r\nERROR: Failed to get original value of [VolumeName]. Error code = 0x80041003\r\n" + kRunFailed},
      {WmiOp::Put, 2, L"\r\nERROR: Failed to put value as [VolumeName]. Error code = 0x80041003\r\n" + kRunFailed},
      {WmiOp::PutInstance, 2,
       L"\r\nVolumeName=NewLabel\r\nERROR: Failed to PutInstance. Error code = 0x80041003\r\n" + kRunFailed},
  };
  for (const Case& c : cases) {
    FakeWmiAccess wmi;
    AddDisks(wmi, 3);
    wmi.FailAt(c.op, c.call, WBEM_E_ACCESS_DENIED);
    const RunResult run = Set(wmi, L"VolumeName", L"NewLabel");
    EXPECT_EQ(run.exitCode, 1) << WmiOpName(c.op);
    EXPECT_EQ(run.output, Banner() + L"\r\nVolumeName=NewLabel\r\nSET Success.\r\n" + c.ending) << WmiOpName(c.op);
    EXPECT_EQ(wmi.written.size(), 1u) << WmiOpName(c.op);
    EXPECT_EQ(wmi.Calls(WmiOp::Next), 2) << WmiOpName(c.op);
    EXPECT_EQ(wmi.LiveHandles(), 0) << WmiOpName(c.op);
  }
}

TEST(SetProperty, UnknownPropertyAndUnconvertibleValueWriteNothing) {
  FakeWmiAccess wmi;
  AddDisks(wmi, 1);
  RunResult run = Set(wmi, L"NoSuchProperty", L"x");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, Banner() + L"\r\nERROR: Failed to get original value of [NoSuchProperty]. Error code = 0x80041002\r\n" +
                            kRunFailed);
  run = Set(wmi, L"Count", L"lots");
  EXPECT_EQ(run.output, Banner() + L"\r\nERROR: Failed to put value as [Count]. Error code = 0x80041005\r\n" + kRunFailed);
  EXPECT_TRUE(wmi.written.empty());
}

TEST(SetProperty, AFailedReReadStillWritesAndSaysSo) {
  FakeWmiAccess wmi;
  AddDisks(wmi, 1);
  wmi.FailAt(WmiOp::Get, 2, WBEM_E_FAILED);
  const RunResult run = Set(wmi, L"VolumeName", L"NewLabel");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, Banner() + L"\r\nVolumeName=!!CIM_EMPTY!!\r\nSET Success.\r\n\r\n");
  EXPECT_EQ(wmi.written.size(), 1u);
}

// Showing the old value (with the trace) or the new one cannot decide a SET:
// the array that cannot be read is reported, and the object is written.
TEST(SetProperty, AValueThatCannotBeShownIsReportedAndTheWriteGoesOn) {
  const std::wstring unreadable = L"ERROR: Failed to read array. Error code = 0x80041001\r\n";
  const struct {
    bool trace;
    int failingRead;  // the array element read that fails
  } cases[] = {{true, 1}, {true, 3}, {false, 1}};
  for (const auto& c : cases) {
    FakeWmiAccess wmi;
    AddDisks(wmi, 1);
    wmi.FailAt(WmiOp::ArrayElement, c.failingRead, WBEM_E_FAILED);
    const RunResult run = Set(wmi, L"Tags", L"x", c.trace ? std::vector<std::wstring>{L"/debugdisplay"}
                                                          : std::vector<std::wstring>{});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(wmi.written.size(), 1u);
    EXPECT_NE(run.output.find(unreadable), std::wstring::npos) << run.output;
    EXPECT_NE(run.output.find(L"SET Success.\r\n"), std::wstring::npos);
  }
}

}  // namespace
