#include <gtest/gtest.h>

#include <string>

#include "render/value_text.h"
#include "support/fake_wmi_access.h"
#include "support/run_capture.h"
#include "support/values.h"

namespace {

const std::wstring kRunFailed = L"ERROR: Failed to run root\\cimv2\\select * from win32_screen\r\n";

std::wstring ValueOf(const FakeObject& object, const wchar_t* name) {
  const FakeProperty* property = object.Find(name);
  if (property == nullptr) return L"<missing>";
  std::wstring text;
  FormatValueText(property->value.get(), text);
  return text;
}

// Screens with a Resize(Width, Height) method returning ReturnValue, a
// Blink() method without input parameters and a Label(A, B, C) method.
void AddScreenMethods(FakeWmiAccess& wmi) {
  FakeMethod& resize = wmi.AddMethod(L"Win32_Screen", L"Resize");
  resize.inputs.Add(L"Width", NullValue(), CIM_UINT32).Add(L"Height", IntegerValue(VT_I4, 480), CIM_UINT32);
  resize.run = [](const FakeObject&) {
    FakeObject out;
    out.Add(L"ReturnValue", IntegerValue(VT_I4, 0), CIM_UINT32);
    return std::optional<FakeObject>(out);
  };
  FakeMethod& blink = wmi.AddMethod(L"Win32_Screen", L"Blink");
  blink.hasInputSignature = false;
  blink.run = resize.run;
  FakeMethod& label = wmi.AddMethod(L"Win32_Screen", L"Label");
  label.inputs.Add(L"A", NullValue()).Add(L"B", NullValue()).Add(L"C", NullValue());
}

void AddScreens(FakeWmiAccess& wmi, int count) {
  for (int i = 1; i <= count; ++i) {
    wmi.AddResult(L"Win32_Screen", L"\\\\.\\root\\cimv2:Win32_Screen.Id=" + std::to_wstring(i));
  }
}

RunResult Call(FakeWmiAccess& wmi, const std::wstring& method, const std::wstring& values,
               std::vector<std::wstring> more = {}) {
  more.insert(more.begin(), {L"/wql:select * from Win32_Screen", L"/call:" + method, L"/args:" + values});
  return RunTollix(wmi, more);
}

class CallMethod : public ::testing::Test {
 protected:
  void SetUp() override { AddScreenMethods(wmi); }
  void AddScreens(int count) { ::AddScreens(wmi, count); }
  RunResult Call(const std::wstring& method, const std::wstring& values, std::vector<std::wstring> more = {}) {
    return ::Call(wmi, method, values, std::move(more));
  }

  std::vector<std::wstring> PutValues() const {
    std::vector<std::wstring> values;
    for (const auto& put : wmi.puts) values.push_back(put.name + L"=" + put.value.get().bstrVal);
    return values;
  }

  FakeWmiAccess wmi;
};

TEST_F(CallMethod, ValuesGoToParametersByPositionTrimmed) {
  AddScreens(1);
  for (const wchar_t* values : {L"50,1000", L"  50 , 1000  "}) {
    FakeWmiAccess& fake = wmi;
    fake.puts.clear();
    fake.executed.clear();
    const RunResult run = Call(L"Resize", values);
    EXPECT_EQ(run.exitCode, 0) << values;
    EXPECT_EQ(run.output, Banner() + L"\r\nReturnValue=0\r\nCALL Success.\r\n\r\n");
    EXPECT_EQ(PutValues(), (std::vector<std::wstring>{L"Width=50", L"Height=1000"}));
    ASSERT_EQ(fake.executed.size(), 1u);
    EXPECT_EQ(fake.executed[0].path, L"\\\\.\\root\\cimv2:Win32_Screen.Id=1");
    EXPECT_EQ(fake.executed[0].method, L"Resize");
    EXPECT_EQ(ValueOf(*fake.executed[0].inputs, L"Width"), L"50");
    EXPECT_EQ(ValueOf(*fake.executed[0].inputs, L"Height"), L"1000");
  }
  EXPECT_EQ(wmi.LiveHandles(), 0);
}

TEST_F(CallMethod, HowTheValueListSplits) {
  AddScreens(1);
  Call(L"Label", L"5, ,7");
  EXPECT_EQ(PutValues(), (std::vector<std::wstring>{L"A=5", L"B=", L"C=7"}));
  wmi.puts.clear();
  Call(L"Label", L",1,,2,");
  EXPECT_EQ(PutValues(), (std::vector<std::wstring>{L"A=1", L"B=2"}));
  wmi.puts.clear();
  Call(L"Label", L"100%,%s%d%%");
  EXPECT_EQ(PutValues(), (std::vector<std::wstring>{L"A=100%", L"B=%s%d%%"}));

  // Only commas: nothing is put, and the method still runs with its defaults.
  wmi.puts.clear();
  wmi.executed.clear();
  const RunResult run = Call(L"Resize", L",,,");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(wmi.puts.empty());
  ASSERT_EQ(wmi.executed.size(), 1u);
  EXPECT_EQ(ValueOf(*wmi.executed[0].inputs, L"Height"), L"480");
}

// A parameter left at its default is not what was asked: the first refused
// value fails the object, and nothing is called.
TEST_F(CallMethod, ARefusedValueIsReportedAndNothingIsCalled) {
  AddScreens(2);
  struct Case {
    const wchar_t* values;
    std::wstring errors;
  };
  const Case cases[] = {
      {L"wide,600", L"ERROR: Failed to put method argument [Width]=[wide]. Error code = 0x80041005\r\n"},
      {L"640,tall", L"ERROR: Failed to put method argument [Height]=[tall]. Error code = 0x80041005\r\n"},
      {L"wide,tall", L"ERROR: Failed to put method argument [Width]=[wide]. Error code = 0x80041005\r\n"},
  };
  for (const Case& c : cases) {
    wmi.executed.clear();
    const RunResult run = Call(L"Resize", c.values);
    EXPECT_EQ(run.exitCode, 1) << c.values;
    EXPECT_EQ(run.output, Banner() + L"\r\n" + c.errors + kRunFailed) << c.values;
    EXPECT_TRUE(wmi.executed.empty()) << c.values;
  }
}

TEST_F(CallMethod, SurplusValuesAreRefusedBeforeAnythingIsPut) {
  AddScreens(1);
  const RunResult run = Call(L"Resize", L"1,2,3");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, Banner() + L"\r\nERROR: Method Resize takes 2 input parameters, 3 values given.\r\n" + kRunFailed);
  EXPECT_TRUE(wmi.puts.empty());
  EXPECT_TRUE(wmi.executed.empty());
}

TEST_F(CallMethod, AMethodWithoutInputParameters) {
  AddScreens(1);
  RunResult run = Call(L"Blink", L",");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, Banner() + L"\r\nReturnValue=0\r\nCALL Success.\r\n\r\n");
  ASSERT_EQ(wmi.executed.size(), 1u);
  EXPECT_FALSE(wmi.executed[0].inputs.has_value());
  EXPECT_EQ(wmi.Calls(WmiOp::SpawnInstance), 0);

  run = Call(L"Blink", L"now");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, Banner() + L"\r\nERROR: Method Blink has no input parameters.\r\n" + kRunFailed);
  EXPECT_EQ(wmi.executed.size(), 1u);
  EXPECT_EQ(wmi.LiveHandles(), 0);
}

TEST(CallMethodFailures, EachFailingStepEndsTheRunAfterEarlierObjectsAreDone) {
  struct Case {
    WmiOp op;
    int call;  // the call that belongs to the second screen
    const wchar_t* message;
    size_t executed;
  };
  const Case cases[] = {
      {WmiOp::GetClass, 2, L"ERROR: Failed to get object. Error code = 0x80041002\r\n", 1},
      {WmiOp::GetMethod, 2, L"ERROR: Failed to get method. Error code = 0x80041002\r\n", 1},
      {WmiOp::SpawnInstance, 2, L"ERROR: Failed to Spawn Instance. Error code = 0x80041002\r\n", 1},
      {WmiOp::Get, 3, L"ERROR: Failed to get __PATH. Error code = 0x80041002\r\n", 1},
      {WmiOp::GetNames, 3, L"ERROR: Failed to get method parameter names. Error code = 0x80041002\r\n", 1},
      {WmiOp::ExecMethod, 2, L"ERROR: Failed to execute method. Error code = 0x80041002\r\n", 1},
      {WmiOp::GetNames, 4, L"ERROR: Failed to get names. Error code = 0x80041002\r\n", 2},
      {WmiOp::Get, 4, L"ERROR: Failed to get. Error code = 0x80041002\r\n", 2},
  };
  for (const Case& c : cases) {
    FakeWmiAccess wmi;
    AddScreenMethods(wmi);
    ::AddScreens(wmi, 3);
    wmi.FailAt(c.op, c.call, WBEM_E_NOT_FOUND);
    const RunResult run = ::Call(wmi, L"Resize", L"1,2");
    const std::wstring first = L"\r\nReturnValue=0\r\nCALL Success.\r\n\r\n";
    EXPECT_EQ(run.exitCode, 1) << WmiOpName(c.op);
    EXPECT_EQ(run.output.substr(0, Banner().size() + first.size()), Banner() + first) << WmiOpName(c.op);
    const std::wstring ending = std::wstring(c.message) + kRunFailed;
    ASSERT_GE(run.output.size(), ending.size());
    EXPECT_EQ(run.output.substr(run.output.size() - ending.size()), ending) << WmiOpName(c.op);
    EXPECT_EQ(wmi.executed.size(), c.executed) << WmiOpName(c.op);
    EXPECT_EQ(wmi.Calls(WmiOp::Next), 2) << WmiOpName(c.op);
    EXPECT_EQ(wmi.Calls(WmiOp::UninitializeCom), 1);
    EXPECT_EQ(wmi.LiveHandles(), 0) << WmiOpName(c.op);
  }
}

TEST_F(CallMethod, AFailureOnTheThirdObjectLeavesTwoCallsDone) {
  AddScreens(3);
  wmi.FailAt(WmiOp::ExecMethod, 3, WBEM_E_ACCESS_DENIED);
  const RunResult run = Call(L"Resize", L"1,2");
  EXPECT_EQ(run.exitCode, 1);
  ASSERT_EQ(wmi.executed.size(), 2u);
  EXPECT_EQ(wmi.executed[1].path, L"\\\\.\\root\\cimv2:Win32_Screen.Id=2");
}

TEST_F(CallMethod, NoResultsCallsNothing) {
  RunResult run = Call(L"Resize", L"1,2");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, Banner() + L"\r\n");
  run = Call(L"Resize", L"1,2", {L"/format:csv"});
  EXPECT_EQ(run.output, Banner());
  EXPECT_TRUE(wmi.executed.empty());
}

TEST_F(CallMethod, CsvHeaderOnceThenOneLinePerCall) {
  AddScreens(2);
  const RunResult run = Call(L"Resize", L"1,2", {L"/format:csv"});
  EXPECT_EQ(run.output,
            Banner() + L"Node,ReturnValue\r\nLOCALHOST,0\r\nCALL Success.\r\nLOCALHOST,0\r\nCALL Success.\r\n");
}

TEST_F(CallMethod, AByteArrayOutputUnderHexMatrix) {
  FakeMethod& read = wmi.AddMethod(L"Win32_Screen", L"ReadBlock");
  read.inputs.Add(L"Block", NullValue(), CIM_UINT8);
  read.run = [](const FakeObject&) {
    FakeObject out;
    out.Add(L"Data", ByteArray({0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x00, 0x10, 0xac, 0x42}),
            CIM_UINT8 | CIM_FLAG_ARRAY);
    return std::optional<FakeObject>(out);
  };
  AddScreens(1);
  const RunResult run = Call(L"ReadBlock", L"0", {L"/hexmatrix"});
  EXPECT_EQ(run.output, Banner() + L"\r\nData={\r\n\t   0    1    2    3    4    5    6    7    8    9"
                                   L"\r\n0:\t0x00,0xff,0xff,0xff,0xff,0xff,0xff,0x00,0x10,0xac\r\n1:\t0x42}\r\n"
                                   L"CALL Success.\r\n\r\n");
}

TEST_F(CallMethod, DebugTraceOfOneCall) {
  AddScreens(1);
  const RunResult run = Call(L"Resize", L"50, 1000", {L"/debugdisplay"});
  const std::wstring trace =
      L"INFO: Start CALL method.\r\n"
      L"INFO: Get object [win32_screen] start.\r\n"
      L"INFO: Get object [win32_screen] end.\r\n"
      L"INFO: Get method [Resize] start.\r\n"
      L"INFO: Get method [Resize] end.\r\n"
      L"INFO: Spawn Instance start.\r\n"
      L"INFO: Spawn Instance end.\r\n"
      L"INFO: Get __PATH start.\r\n"
      L"INFO: Get __PATH end.\r\n"
      L"INFO: __PATH=\\\\.\\root\\cimv2:Win32_Screen.Id=1\r\n"
      L"INFO: Put arguments [50, 1000] start.\r\n"
      L"INFO: Put method arg[0], [Width]=[50] \r\n"
      L"INFO: Put method arg[1], [Height]=[1000] \r\n"
      L"INFO: Put arguments [50, 1000] end.\r\n"
      L"INFO: Execute method [Resize] start.\r\n"
      L"INFO: Execute method [Resize] end.\r\n"
      L"INFO: Get name list [0]: [ReturnValue]\r\n";
  EXPECT_NE(run.output.find(trace), std::wstring::npos) << run.output;
}

}  // namespace
