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
    for (const auto& put : wmi.puts) {
      std::wstring text;
      FormatValueText(put.value.get(), text);
      values.push_back(put.name + L"=" + text);
    }
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
    // In the order WMI gives the parameters: alphabetical, not as declared.
    EXPECT_EQ(PutValues(), (std::vector<std::wstring>{L"Height=50", L"Width=1000"}));
    ASSERT_EQ(fake.executed.size(), 1u);
    EXPECT_EQ(fake.executed[0].path, L"\\\\.\\root\\cimv2:Win32_Screen.Id=1");
    EXPECT_EQ(fake.executed[0].method, L"Resize");
    EXPECT_EQ(ValueOf(*fake.executed[0].inputs, L"Height"), L"50");
    EXPECT_EQ(ValueOf(*fake.executed[0].inputs, L"Width"), L"1000");
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

// Each value is converted by its parameter's CIM type before anything is
// Put, with the ranges /params: has: WMI, left to convert a string, reads a
// uint32 as the VT_I4 it travels as and refuses one above 2147483647. A
// parameter left at its default is not what was asked: the first value that
// does not fit fails the object, and nothing is Put or called.
TEST_F(CallMethod, ValuesAreConvertedByTheirCimTypeOrRefusedBeforeAnyPut) {
  // Named so that their alphabetical order, in which WMI gives them, is the
  // order they are declared in.
  FakeMethod& tune = wmi.AddMethod(L"Win32_Screen", L"Tune");
  tune.inputs.Add(L"Amount", NullValue(), CIM_UINT32)
      .Add(L"Bias", NullValue(), CIM_SINT32)
      .Add(L"Count", NullValue(), CIM_SINT8)
      .Add(L"Enabled", NullValue(), CIM_BOOLEAN)
      .Add(L"Glyph", NullValue(), CIM_CHAR16)
      .Add(L"Ratio", NullValue(), CIM_REAL32)
      .Add(L"Title", NullValue())
      .Add(L"Volume", NullValue(), CIM_UINT64)
      .Add(L"Zones", NullValue(), CIM_UINT8 | CIM_FLAG_ARRAY);
  AddScreens(2);
  const auto refused = [](const wchar_t* why) { return std::wstring(L"ERROR: ") + why + L"\r\n"; };
  struct Case {
    const wchar_t* values;
    std::wstring error;  // empty: taken, and these Put
    std::vector<std::wstring> puts = {};
  };
  const Case cases[] = {
      {L"4294967295,-2147483648,-128,TRUE,D,1.5,x,18446744073709551615", L"",
       // The same 32 bits: 4294967295 travels as -1, a char16 as its code.
       {L"Amount=-1 vt3", L"Bias=-2147483648 vt3", L"Count=-128 vt2", L"Enabled=TRUE vt11", L"Glyph=68 vt2",
        L"Ratio=1.500000 vt4", L"Title=x vt8", L"Volume=18446744073709551615 vt8"}},
      {L"0,2147483647,127,0,%", L"", {L"Amount=0 vt3", L"Bias=2147483647 vt3", L"Count=127 vt2", L"Enabled=FALSE vt11",
                                      L"Glyph=37 vt2"}},
      {L"4294967296", refused(L"Amount takes uint32; 4294967296 is out of its range.")},
      {L"-1", refused(L"Amount takes uint32; -1 is out of its range.")},
      {L"wide", refused(L"Amount takes uint32, not \"wide\".")},
      // Refused midway: the first value, which fits, is not Put either.
      {L"1,2147483648", refused(L"Bias takes sint32; 2147483648 is out of its range.")},
      {L"1,-2147483649", refused(L"Bias takes sint32; -2147483649 is out of its range.")},
      {L"1,1,128", refused(L"Count takes sint8; 128 is out of its range.")},
      {L"1,1,1,yes", refused(L"Enabled takes boolean, not \"yes\".")},
      {L"1,1,1,1,DE", refused(L"Glyph takes char16; \"DE\" is out of its range.")},
      {L"1,1,1,1,D,x", refused(L"Ratio takes real32, not \"x\".")},
      {L"1,1,1,1,D,1e39", refused(L"Ratio takes real32; 1e39 is out of its range.")},
      {L"1,1,1,1,D,1,n,18446744073709551616", refused(L"Volume takes uint64; 18446744073709551616 is out of its range.")},
      {L"1,1,1,1,D,1,n,1,5", refused(L"Zones takes uint8[]: give it with /params:.")},
  };
  for (const Case& c : cases) {
    wmi.executed.clear();
    wmi.puts.clear();
    const RunResult run = Call(L"Tune", c.values);
    if (c.error.empty()) {
      EXPECT_EQ(run.exitCode, 0) << c.values << run.output;
      EXPECT_EQ(wmi.executed.size(), 2u) << c.values;
      std::vector<std::wstring> puts = PutValues();
      puts.resize(c.puts.size());
      for (size_t i = 0; i < puts.size() && i < wmi.puts.size(); ++i) {
        const VARIANT& put = wmi.puts[i].value.get();
        if (put.vt == VT_R4) puts[i] = wmi.puts[i].name + L"=" + std::to_wstring(put.fltVal);
        puts[i] += L" vt" + std::to_wstring(put.vt);
      }
      EXPECT_EQ(puts, c.puts) << c.values;
      continue;
    }
    EXPECT_EQ(run.exitCode, 1) << c.values;
    EXPECT_EQ(run.output, Banner() + L"\r\n" + c.error + kRunFailed) << c.values;
    EXPECT_TRUE(wmi.puts.empty()) << c.values;
    EXPECT_TRUE(wmi.executed.empty()) << c.values;
  }
  // A value WMI itself refuses is still reported as such.
  FakeWmiAccess refusing;
  AddScreenMethods(refusing);
  ::AddScreens(refusing, 1);
  refusing.FailAt(WmiOp::Put, 2, WBEM_E_INVALID_PARAMETER);
  // Height gets 640, Width 480: the parameters come in alphabetical order.
  const RunResult run = ::Call(refusing, L"Resize", L"640,480");
  EXPECT_EQ(run.output, Banner() + L"\r\nERROR: Failed to put method argument [Width]=[480]. Error code = 0x80041008\r\n" +
                            kRunFailed);
  EXPECT_TRUE(refusing.executed.empty());
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
      // One more GetClass before the query, to see whether the method is static.
      {WmiOp::GetClass, 3, L"ERROR: Failed to get object. Error code = 0x80041002\r\n", 1},
      {WmiOp::GetMethod, 2, L"ERROR: Failed to get method. Error code = 0x80041002\r\n", 1},
      {WmiOp::SpawnInstance, 2, L"ERROR: Failed to Spawn Instance. Error code = 0x80041002\r\n", 1},
      // Each value's type is read before it is converted: four of each a screen.
      {WmiOp::Get, 5, L"ERROR: Failed to get __PATH. Error code = 0x80041002\r\n", 1},
      {WmiOp::GetNames, 5, L"ERROR: Failed to get method parameter names. Error code = 0x80041002\r\n", 1},
      {WmiOp::ExecMethod, 2, L"ERROR: Failed to execute method. Error code = 0x80041002\r\n", 1},
      {WmiOp::GetNames, 6, L"ERROR: Failed to get names. Error code = 0x80041002\r\n", 1},
      {WmiOp::GetNames, 8, L"ERROR: Failed to get names. Error code = 0x80041002\r\n", 2},
      {WmiOp::Get, 8, L"ERROR: Failed to get. Error code = 0x80041002\r\n", 2},
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
      L"INFO: Put method arg[0], [Height]=[50] \r\n"
      L"INFO: Put method arg[1], [Width]=[1000] \r\n"
      L"INFO: Put arguments [50, 1000] end.\r\n"
      L"INFO: Execute method [Resize] start.\r\n"
      L"INFO: Execute method [Resize] end.\r\n"
      L"INFO: Get name list [0]: [ReturnValue]\r\n";
  EXPECT_NE(run.output.find(trace), std::wstring::npos) << run.output;
}

}  // namespace
