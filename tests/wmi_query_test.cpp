#include <gtest/gtest.h>

#include <string>

#include "support/fake_wmi_access.h"
#include "support/run_capture.h"
#include "support/values.h"

namespace {

const std::wstring kRunFailed = L"ERROR: Failed to run root\\cimv2\\select * from win32_thing\r\n";

void AddThings(FakeWmiAccess& wmi, int count) {
  for (int i = 1; i <= count; ++i) {
    const std::wstring number = std::to_wstring(i);
    wmi.AddResult(L"Win32_Thing", L"\\\\.\\root\\cimv2:Win32_Thing.Id=" + number)
        .Add(L"Id", StringValue(number))
        .Add(L"Name", StringValue(L"thing " + number));
  }
}

RunResult Get(FakeWmiAccess& wmi, std::vector<std::wstring> more = {}) {
  more.insert(more.begin(), L"/wql:select * from Win32_Thing");
  return RunTollix(wmi, more);
}

TEST(WmiQuery, ListLayoutPutsAnEmptyLineBeforeEachRequest) {
  FakeWmiAccess wmi;
  AddThings(wmi, 2);
  const RunResult run = Get(wmi);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, Banner() + L"\r\nId=1\r\nName=thing 1\r\n\r\nId=2\r\nName=thing 2\r\n\r\n");
  EXPECT_EQ(wmi.LiveHandles(), 0);
  EXPECT_EQ(wmi.Calls(WmiOp::UninitializeCom), 1);

  FakeWmiAccess none;
  EXPECT_EQ(Get(none).output, Banner() + L"\r\n");
}

TEST(WmiQuery, CsvLayoutHasNoEmptyLines) {
  FakeWmiAccess wmi;
  AddThings(wmi, 2);
  EXPECT_EQ(Get(wmi, {L"/format:csv"}).output,
            Banner() + L"Node,Id,Name\r\nLOCALHOST,1,thing 1\r\nLOCALHOST,2,thing 2\r\n");
  FakeWmiAccess none;
  EXPECT_EQ(Get(none, {L"/format:csv"}).output, Banner());
}

TEST(WmiQuery, AFailingNextIsAnErrorNotTheEndOfResults) {
  FakeWmiAccess wmi;
  AddThings(wmi, 3);
  wmi.FailAt(WmiOp::Next, 2, WBEM_E_INVALID_CLASS);
  const RunResult run = Get(wmi);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, Banner() + L"\r\nId=1\r\nName=thing 1\r\n\r\n"
                                   L"ERROR: Failed to get next object. Error code = 0x80041010\r\n" + kRunFailed);
  EXPECT_EQ(wmi.Calls(WmiOp::UninitializeCom), 1);
  EXPECT_EQ(wmi.LiveHandles(), 0);
}

TEST(WmiQuery, AFailureOnTheSecondObjectKeepsTheFirstAndStops) {
  FakeWmiAccess wmi;
  AddThings(wmi, 3);
  wmi.FailAt(WmiOp::Get, 3, WBEM_E_NOT_FOUND);
  const RunResult run = Get(wmi);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, Banner() + L"\r\nId=1\r\nName=thing 1\r\n\r\nERROR: Failed to get. Error code = 0x80041002\r\n" +
                            kRunFailed);
  EXPECT_EQ(wmi.Calls(WmiOp::Next), 2);
  EXPECT_EQ(wmi.Calls(WmiOp::UninitializeCom), 1);
  EXPECT_EQ(wmi.LiveHandles(), 0);
  EXPECT_EQ(wmi.log.back(), WmiOp::UninitializeCom);
}

TEST(WmiQuery, DebugTraceOfAGetRun) {
  FakeWmiAccess wmi;
  AddThings(wmi, 1);
  const RunResult run = Get(wmi, {L"/debugdisplay"});
  EXPECT_NE(run.output.find(L"INFO: Function WmiQuery starts.\r\n\r\nINFO: Start GET method.\r\nINFO: Get name list [0]: [Id]\r\n"),
            std::wstring::npos);
  const std::wstring ending = L"thing 1\r\n\r\nINFO: Success.\r\n";
  ASSERT_GE(run.output.size(), ending.size());
  EXPECT_EQ(run.output.substr(run.output.size() - ending.size()), ending);
}

}  // namespace
