// /describe with the in-memory WMI: what a class definition holds and takes,
// in the list and JSON layouts, on one machine and on several.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "support/fake_wmi_access.h"
#include "support/json_lines.h"
#include "support/run_capture.h"
#include "support/values.h"

namespace {

const std::wstring kQuery = L"/wql:select * from win32_demo";
const std::wstring kRunFailed = L"ERROR: Failed to run root\\cimv2\\select * from win32_demo\r\n";

// A class whose properties carry key/read/write qualifiers, one of them an
// embedded object, and whose methods are added out of alphabetical order:
// one static, one without output parameters, one without input parameters.
void AddDemoClass(FakeWmiAccess& wmi) {
  FakeObject& demo = wmi.AddClass(L"Win32_Demo");
  demo.Add(L"Handle", NullValue())
      .Qualify(L"Handle", L"key", BoolValue(true))
      .Qualify(L"Handle", L"read", BoolValue(true));
  // A non-zero number counts as true, false does not.
  demo.Add(L"Priority", NullValue(), CIM_UINT32)
      .Qualify(L"Priority", L"read", IntegerValue(VT_I4, 1))
      .Qualify(L"Priority", L"write", BoolValue(false));
  demo.Add(L"Tags", NullValue(), CIM_STRING | CIM_FLAG_ARRAY)
      .Qualify(L"Tags", L"read", BoolValue(true))
      .Qualify(L"Tags", L"write", BoolValue(true));
  demo.Add(L"Startup", NullValue(), CIM_OBJECT)
      .Qualify(L"Startup", L"CIMTYPE", StringValue(L"object:Win32_ProcessStartup"));

  FakeMethod& create = wmi.AddMethod(L"Win32_Demo", L"Create");
  // Parameter objects carry system properties too; they are no parameters.
  create.inputs.Add(L"__CLASS", StringValue(L"__PARAMETERS"))
      .Add(L"CommandLine", NullValue())
      .Add(L"CurrentDirectory", NullValue())
      .Add(L"ProcessStartupInformation", NullValue(), CIM_OBJECT)
      .Qualify(L"ProcessStartupInformation", L"CIMTYPE", StringValue(L"object:Win32_ProcessStartup"));
  create.outputs.Add(L"ProcessId", NullValue(), CIM_UINT32).Add(L"ReturnValue", NullValue(), CIM_UINT32);
  create.qualifiers.emplace_back(L"static", BoolValue(true));
  FakeMethod& stop = wmi.AddMethod(L"Win32_Demo", L"Stop");
  stop.inputs.Add(L"Reason", NullValue(), CIM_UINT32);
  stop.hasOutputSignature = false;
  stop.qualifiers.emplace_back(L"static", BoolValue(false));
  FakeMethod& sid = wmi.AddMethod(L"Win32_Demo", L"GetOwnerSid");
  sid.hasInputSignature = false;
  sid.outputs.Add(L"ReturnValue", NullValue(), CIM_UINT32).Add(L"Sid", NullValue());
}

const std::wstring kDemoLines =
    L"Class=Win32_Demo\r\n"
    L"Property=Handle string key read\r\n"
    L"Property=Priority uint32 read\r\n"
    L"Property=Tags string[] read write\r\n"
    L"Property=Startup object:Win32_ProcessStartup\r\n"
    L"Method=Create(1 CommandLine string, 2 CurrentDirectory string, 3 ProcessStartupInformation "
    L"object:Win32_ProcessStartup) -> (ProcessId uint32, ReturnValue uint32) static\r\n"
    L"Method=Stop(1 Reason uint32) -> ()\r\n"
    L"Method=GetOwnerSid() -> (ReturnValue uint32, Sid string)\r\n";

std::wstring DemoJson(const std::wstring& node) {
  return L"{\"Node\":\"" + node +
         L"\",\"Class\":\"Win32_Demo\",\"Properties\":["
         L"{\"Name\":\"Handle\",\"Type\":\"string\",\"Key\":true,\"Read\":true,\"Write\":false},"
         L"{\"Name\":\"Priority\",\"Type\":\"uint32\",\"Key\":false,\"Read\":true,\"Write\":false},"
         L"{\"Name\":\"Tags\",\"Type\":\"string[]\",\"Key\":false,\"Read\":true,\"Write\":true},"
         L"{\"Name\":\"Startup\",\"Type\":\"object:Win32_ProcessStartup\",\"Key\":false,\"Read\":false,"
         L"\"Write\":false}],\"Methods\":["
         L"{\"Name\":\"Create\",\"Static\":true,\"In\":[{\"Name\":\"CommandLine\",\"Type\":\"string\"},"
         L"{\"Name\":\"CurrentDirectory\",\"Type\":\"string\"},"
         L"{\"Name\":\"ProcessStartupInformation\",\"Type\":\"object:Win32_ProcessStartup\"}],"
         L"\"Out\":[{\"Name\":\"ProcessId\",\"Type\":\"uint32\"},{\"Name\":\"ReturnValue\",\"Type\":\"uint32\"}]},"
         L"{\"Name\":\"Stop\",\"Static\":false,\"In\":[{\"Name\":\"Reason\",\"Type\":\"uint32\"}],\"Out\":[]},"
         L"{\"Name\":\"GetOwnerSid\",\"Static\":false,\"In\":[],"
         L"\"Out\":[{\"Name\":\"ReturnValue\",\"Type\":\"uint32\"},{\"Name\":\"Sid\",\"Type\":\"string\"}]}]}\r\n";
}

class Describe : public ::testing::Test {
 protected:
  void SetUp() override { AddDemoClass(wmi); }
  RunResult Run(std::vector<std::wstring> more = {}) {
    more.insert(more.begin(), {kQuery, L"/describe"});
    return RunTollix(wmi, more);
  }
  FakeWmiAccess wmi;
};

TEST_F(Describe, ListLayoutShowsTheClassNotItsInstances) {
  wmi.AddResult(L"Win32_Demo", L"\\\\.\\root\\cimv2:Win32_Demo.Handle=\"1\"").Add(L"Handle", StringValue(L"1"));
  const RunResult run = Run();
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, Banner() + L"\r\n" + kDemoLines + L"\r\n");
  EXPECT_EQ(wmi.Calls(WmiOp::ExecQuery), 0);
  EXPECT_EQ(wmi.Calls(WmiOp::Next), 0);
  // Not WBEM_FLAG_LOCAL_ONLY: the methods a class inherits are called like its own.
  EXPECT_EQ(wmi.methodEnumerationFlags, 0);
  EXPECT_EQ(wmi.LiveHandles(), 0);
}

// The properties GET shows: the system ones only with /showAllProperties.
TEST_F(Describe, SystemPropertiesOnlyWithShowAllProperties) {
  const std::wstring classLine = L"Class=Win32_Demo\r\n";
  const RunResult run = Run({L"/showallproperties"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, Banner() + L"\r\n" + classLine + L"Property=__CLASS string\r\n" +
                            kDemoLines.substr(classLine.size()) + L"\r\n");
}

TEST_F(Describe, JsonLayoutIsOneLineWithItsMembersInOrder) {
  const RunResult run = Run({L"/format:json"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, DemoJson(L"LOCALHOST"));
  EXPECT_EQ(ParseJsonLines(run.output).size(), 1u);
}

TEST_F(Describe, EveryMachineGetsABlockOfItsOwn) {
  const RunResult list = Run({L"/node:a,b"});
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_EQ(list.output,
            Banner() + L"\r\nNode=a\r\n" + kDemoLines + L"\r\n" + L"\r\nNode=b\r\n" + kDemoLines + L"\r\n");
  const RunResult json = Run({L"/node:a,b", L"/format:json"});
  EXPECT_EQ(json.exitCode, 0);
  EXPECT_EQ(json.output, DemoJson(L"a") + DemoJson(L"b"));
}

// Objects and references take their class from the CIMTYPE qualifier.
TEST(DescribeTypes, ArraysObjectsAndReferences) {
  struct Case {
    CIMTYPE cimType;
    const wchar_t* cimTypeQualifier;  // nullptr: none
    const wchar_t* expected;
  };
  const Case cases[] = {
      {CIM_UINT8 | CIM_FLAG_ARRAY, nullptr, L"uint8[]"},
      {CIM_DATETIME, nullptr, L"datetime"},
      {CIM_REFERENCE, nullptr, L"reference"},
      {CIM_REFERENCE, L"ref", L"reference"},
      {CIM_REFERENCE, L"ref:Win32_Directory", L"ref:Win32_Directory"},
      {CIM_REFERENCE | CIM_FLAG_ARRAY, L"ref:Win32_Directory", L"ref:Win32_Directory[]"},
      {CIM_OBJECT, nullptr, L"object"},
      {CIM_OBJECT, L"object", L"object"},
      {CIM_OBJECT, L"object:Win32_ProcessStartup", L"object:Win32_ProcessStartup"},
      {CIM_OBJECT | CIM_FLAG_ARRAY, L"object:Win32_ProcessStartup", L"object:Win32_ProcessStartup[]"},
  };
  FakeWmiAccess wmi;
  FakeObject& thing = wmi.AddClass(L"Win32_Thing");
  std::wstring expected = Banner() + L"\r\nClass=Win32_Thing\r\n";
  for (size_t i = 0; i < std::size(cases); ++i) {
    const std::wstring name = L"P" + std::to_wstring(i);
    thing.Add(name, NullValue(), cases[i].cimType);
    if (cases[i].cimTypeQualifier) thing.Qualify(name, L"CIMTYPE", StringValue(cases[i].cimTypeQualifier));
    expected += L"Property=" + name + L' ' + cases[i].expected + L"\r\n";
  }
  const RunResult run = RunTollix(wmi, {L"/wql:select * from win32_thing", L"/describe"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, expected + L"\r\n");
}

// Wine's WMI, for one, has almost no qualifiers: a class must still be
// described, without them.
TEST_F(Describe, UnreadableQualifiersCountAsAbsent) {
  for (int call = 1; call <= 64; ++call) {
    wmi.FailAt(WmiOp::PropertyQualifier, call, WBEM_E_FAILED);
    wmi.FailAt(WmiOp::MethodQualifier, call, WBEM_E_FAILED);
  }
  const RunResult run = Run();
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, Banner() +
                            L"\r\nClass=Win32_Demo\r\n"
                            L"Property=Handle string\r\n"
                            L"Property=Priority uint32\r\n"
                            L"Property=Tags string[]\r\n"
                            L"Property=Startup object\r\n"
                            L"Method=Create(1 CommandLine string, 2 CurrentDirectory string, "
                            L"3 ProcessStartupInformation object) -> (ProcessId uint32, ReturnValue uint32)\r\n"
                            L"Method=Stop(1 Reason uint32) -> ()\r\n"
                            L"Method=GetOwnerSid() -> (ReturnValue uint32, Sid string)\r\n\r\n");
}

TEST_F(Describe, AFailingReadFailsTheRunAndPrintsNothingOfTheClass) {
  struct Case {
    WmiOp op;
    int nthCall;
    const wchar_t* message;
  };
  const Case cases[] = {
      {WmiOp::GetClass, 1, L"Failed to get object."},
      {WmiOp::GetNames, 1, L"Failed to get names."},  // the class's properties
      {WmiOp::Get, 3, L"Failed to get."},             // a property's type
      {WmiOp::BeginMethodEnumeration, 1, L"Failed to read methods."},
      {WmiOp::NextMethod, 2, L"Failed to read methods."},
      {WmiOp::GetNames, 2, L"Failed to get names."},  // Create's input parameters
      {WmiOp::EndMethodEnumeration, 1, L"Failed to read methods."},
  };
  for (const Case& c : cases) {
    FakeWmiAccess fake;
    AddDemoClass(fake);
    fake.FailAt(c.op, c.nthCall, WBEM_E_FAILED);
    const RunResult run = RunTollix(fake, {kQuery, L"/describe"});
    SCOPED_TRACE(WmiOpName(c.op));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, Banner() + L"\r\nERROR: " + c.message + L" Error code = 0x80041001\r\n" + kRunFailed);
    // A walk of the methods that began has ended, whatever failed in it.
    const int begun = fake.Calls(WmiOp::BeginMethodEnumeration) - (c.op == WmiOp::BeginMethodEnumeration ? 1 : 0);
    EXPECT_EQ(fake.Calls(WmiOp::EndMethodEnumeration), begun);
    EXPECT_EQ(fake.LiveHandles(), 0);
  }
}

TEST(DescribeRefusals, ComeBeforeTheBannerAndNothingReachesWmi) {
  struct Case {
    std::vector<std::wstring> arguments;
    std::wstring output;
  };
  const Case cases[] = {
      {{kQuery, L"/set:Handle", L"/args:2"}, L"ERROR: /describe is exclusive to /set:\r\n"},
      {{kQuery, L"/call:Stop", L"/args:2"}, L"ERROR: /describe is exclusive to /call:\r\n"},
      {{kQuery, L"/format:csv"}, L"ERROR: /describe is exclusive to /format:csv\r\n"},
      {{kQuery, L"/hexmatrix"}, L"ERROR: /describe is exclusive to /hexmatrix\r\n"},
      {{L"/wql:select * from"}, L"ERROR: /describe needs a query of the form select ... from CLASS\r\n"},
      {{L"/wql:associators of {win32_demo.handle='1'}"},
       L"ERROR: /describe needs a query of the form select ... from CLASS\r\n"},
      {{L"/wql:select * from", L"/format:json"},
       L"{\"error\":\"/describe needs a query of the form select ... from CLASS\"}\r\n"},
  };
  for (const Case& c : cases) {
    FakeWmiAccess wmi;
    AddDemoClass(wmi);
    std::vector<std::wstring> arguments = c.arguments;
    arguments.push_back(L"/describe");
    const RunResult run = RunTollix(wmi, arguments);
    EXPECT_EQ(run.exitCode, 1) << c.output;
    EXPECT_EQ(run.output, c.output);
    EXPECT_TRUE(wmi.log.empty()) << c.output;
  }
}

}  // namespace
