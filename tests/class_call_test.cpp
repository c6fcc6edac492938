// /class: with the in-memory WMI, which serves a class the way Windows does
// StdRegProv: static methods, no properties and no instances. Also the
// numbers that Windows hands over by a VARIANT type that says less than
// their CIM type.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_wmi_access.h"
#include "support/json_lines.h"
#include "support/run_capture.h"
#include "support/values.h"

namespace {

// StdRegProv as Windows declares it: hDefKey is a uint32 that defaults to
// HKEY_LOCAL_MACHINE, and every method is static.
void AddRegistryProvider(FakeWmiAccess& wmi) {
  FakeMethod& read = wmi.AddMethod(L"StdRegProv", L"GetDWORDValue");
  read.inputs.Add(L"hDefKey", IntegerValue(VT_I4, static_cast<LONG>(2147483650u)), CIM_UINT32)
      .Add(L"sSubKeyName", NullValue())
      .Add(L"sValueName", NullValue());
  read.qualifiers.emplace_back(L"static", BoolValue(true));
  read.run = [](const FakeObject&) {
    FakeObject out;
    out.Add(L"ReturnValue", IntegerValue(VT_I4, 0), CIM_UINT32);
    // 0xFFFFFFFF, which Windows hands over as the VT_I4 -1.
    out.Add(L"uValue", IntegerValue(VT_I4, -1), CIM_UINT32);
    return std::optional<FakeObject>(out);
  };
  FakeMethod& remove = wmi.AddMethod(L"StdRegProv", L"DeleteKey");
  remove.inputs.Add(L"hDefKey", IntegerValue(VT_I4, static_cast<LONG>(2147483650u)), CIM_UINT32)
      .Add(L"sSubKeyName", NullValue());
  remove.qualifiers.emplace_back(L"static", BoolValue(true));
}

const std::vector<std::wstring> kRead = {L"/namespace:root\\default", L"/class:StdRegProv", L"/call:GetDWORDValue",
                                         L"/args:2147483649,Software\\Tollix,Level"};

TEST(ClassCall, AStaticMethodRunsOnceOnItsClassInEveryLayout) {
  struct Case {
    std::vector<std::wstring> more;
    std::wstring output;
  };
  const Case cases[] = {
      {{}, Banner() + L"\r\nReturnValue=0\r\nuValue=4294967295\r\nCALL Success.\r\n\r\n"},
      {{L"/format:csv"}, Banner() + L"Node,ReturnValue,uValue\r\nLOCALHOST,0,4294967295\r\nCALL Success.\r\n"},
      {{L"/format:json"}, L"{\"Node\":\"LOCALHOST\",\"ReturnValue\":0,\"uValue\":4294967295}\r\n"},
      {{L"/node:pc1,pc2"}, Banner() + L"\r\nNode=pc1\r\nReturnValue=0\r\nuValue=4294967295\r\nCALL Success.\r\n\r\n" +
                               L"\r\nNode=pc2\r\nReturnValue=0\r\nuValue=4294967295\r\nCALL Success.\r\n\r\n"},
  };
  for (const Case& c : cases) {
    FakeWmiAccess wmi;
    AddRegistryProvider(wmi);
    // Instances a query would find: a class call must not touch them.
    wmi.AddResult(L"StdRegProv", L"\\\\.\\root\\default:StdRegProv=@");
    std::vector<std::wstring> arguments = kRead;
    arguments.insert(arguments.end(), c.more.begin(), c.more.end());
    const RunResult run = RunTollix(wmi, arguments);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output, c.output);
    const bool nodes = c.more == std::vector<std::wstring>{L"/node:pc1,pc2"};
    for (FakeWmiAccess* machine : nodes ? std::vector<FakeWmiAccess*>{&wmi.Machine(L"pc1"), &wmi.Machine(L"pc2")}
                                        : std::vector<FakeWmiAccess*>{&wmi}) {
      EXPECT_EQ(machine->Calls(WmiOp::ExecQuery), 0);
      ASSERT_EQ(machine->executed.size(), 1u);
      EXPECT_EQ(machine->executed[0].path, L"StdRegProv");
      EXPECT_EQ(machine->executed[0].method, L"GetDWORDValue");
      EXPECT_EQ(machine->LiveHandles(), 0);
    }
    if (!nodes) {
      EXPECT_EQ(wmi.connectedNamespace, L"root\\default");
    }
  }
}

// A static method belongs to its class: the query's way would call it once
// a result, or, where the class has no instances, as StdRegProv has none on
// Windows, not at all. It is refused before the query runs, on every machine;
// the class's way calls it.
TEST(ClassCall, AStaticMethodIsCalledOnlyThroughItsClass) {
  const std::wstring refusal =
      L"ERROR: DeleteKey is a static method of StdRegProv: call it with /class:StdRegProv.\r\n";
  const struct {
    std::vector<std::wstring> more;
    std::wstring output;
  } refused[] = {
      {{}, Banner() + refusal + L"ERROR: Failed to run root\\cimv2\\select * from stdregprov\r\n"},
      {{L"/format:json"}, L"{\"error\":\"DeleteKey is a static method of StdRegProv: call it with /class:StdRegProv.\"}\r\n"
                          L"{\"error\":\"Failed to run root\\\\cimv2\\\\select * from stdregprov\"}\r\n"},
      {{L"/node:pc1"}, Banner() + refusal +
                           L"ERROR: Failed to run \\\\pc1\\root\\cimv2\\select * from stdregprov\r\n"
                           L"ERROR: 1 of 1 nodes failed.\r\n"},
  };
  for (const auto& c : refused) {
    FakeWmiAccess wmi;
    AddRegistryProvider(wmi);
    wmi.AddClass(L"StdRegProv").Add(L"__CLASS", StringValue(L"StdRegProv"));
    wmi.AddResult(L"StdRegProv", L"\\\\.\\root\\cimv2:StdRegProv=@");
    std::vector<std::wstring> arguments = {L"/wql:select * from StdRegProv", L"/call:DeleteKey",
                                           L"/args:2147483649,Software\\Tollix"};
    arguments.insert(arguments.end(), c.more.begin(), c.more.end());
    const RunResult run = RunTollix(wmi, arguments);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(wmi.Calls(WmiOp::ExecQuery) + wmi.Machine(L"pc1").Calls(WmiOp::ExecQuery), 0);
    EXPECT_TRUE(wmi.executed.empty());
    EXPECT_TRUE(wmi.Machine(L"pc1").executed.empty());
  }
  // Where WMI keeps no qualifiers, as Wine's, the query's way is as it was.
  FakeWmiAccess wmi;
  AddRegistryProvider(wmi);
  wmi.AddMethod(L"StdRegProv", L"DeleteKey").qualifiers.clear();
  RunResult run = RunTollix(wmi, {L"/wql:select * from StdRegProv", L"/call:DeleteKey", L"/args:2147483649,Software\\Tollix"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, Banner() + L"\r\n");
  EXPECT_TRUE(wmi.executed.empty());
  run = RunTollix(wmi, {L"/class:stdregprov", L"/call:DeleteKey", L"/args:2147483649,Software\\Tollix"});
  EXPECT_EQ(run.exitCode, 0) << run.output;
  ASSERT_EQ(wmi.executed.size(), 1u);
  // The name as given: WMI compares class names without case.
  EXPECT_EQ(wmi.executed[0].path, L"stdregprov");
  ASSERT_TRUE(wmi.executed[0].inputs);
  EXPECT_EQ(wmi.executed[0].inputs->Find(L"hDefKey")->value.get().lVal, static_cast<LONG>(2147483649u));
}

TEST(ClassCall, TheTraceNamesTheClassAsThePath) {
  FakeWmiAccess wmi;
  AddRegistryProvider(wmi);
  std::vector<std::wstring> arguments = kRead;
  arguments.push_back(L"/debugdisplay");
  const RunResult run = RunTollix(wmi, arguments);
  EXPECT_NE(run.output.find(L"INFO: class=[StdRegProv]\r\n"), std::wstring::npos) << run.output;
  EXPECT_NE(run.output.find(L"INFO: Spawn Instance end.\r\nINFO: Class path=StdRegProv\r\n"
                            L"INFO: Put arguments [2147483649,Software\\Tollix,Level] start.\r\n"),
            std::wstring::npos)
      << run.output;
  EXPECT_EQ(run.output.find(L"__PATH"), std::wstring::npos);
}

// A failure names the class where a query run names its query, and a
// refused value calls nothing.
TEST(ClassCall, FailuresNameTheClass) {
  struct Case {
    WmiOp op;
    unsigned long hr;
    std::wstring error;
  };
  const Case cases[] = {
      {WmiOp::GetClass, WBEM_E_NOT_FOUND, L"ERROR: Failed to get object. Error code = 0x80041002\r\n"},
      {WmiOp::Put, WBEM_E_INVALID_PARAMETER,
       L"ERROR: Failed to put method argument [hDefKey]=[2147483649]. Error code = 0x80041008\r\n"},
      {WmiOp::ExecMethod, WBEM_E_ACCESS_DENIED, L"ERROR: Failed to execute method. Error code = 0x80041003\r\n"},
  };
  for (const Case& c : cases) {
    FakeWmiAccess wmi;
    AddRegistryProvider(wmi);
    wmi.FailAt(c.op, 1, c.hr);
    const RunResult run = RunTollix(wmi, kRead);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, Banner() + L"\r\n" + c.error + L"ERROR: Failed to run root\\default\\StdRegProv\r\n");
    EXPECT_TRUE(wmi.executed.empty()) << WmiOpName(c.op);

    // On a machine of many, the machine and the class.
    FakeWmiAccess fleet;
    AddRegistryProvider(fleet);
    fleet.Machine(L"pc2").FailAt(c.op, 1, c.hr);
    std::vector<std::wstring> onNodes = kRead;
    onNodes.push_back(L"/node:pc2");
    const RunResult remote = RunTollix(fleet, onNodes);
    EXPECT_EQ(remote.exitCode, 1);
    EXPECT_EQ(remote.output, Banner() + L"\r\n" + c.error +
                                 L"ERROR: Failed to run \\\\pc2\\root\\default\\StdRegProv\r\n"
                                 L"ERROR: 1 of 1 nodes failed.\r\n");
    EXPECT_TRUE(fleet.Machine(L"pc2").executed.empty()) << WmiOpName(c.op);
  }
}

TEST(ClassCall, RefusedBeforeTheBanner) {
  struct Case {
    std::vector<std::wstring> arguments;
    std::wstring error;
  };
  const Case cases[] = {
      {{L"/class:StdRegProv", L"/wql:select * from stdregprov", L"/call:EnumKey", L"/args:1"},
       L"ERROR: /class: is exclusive to /wql:\r\n"},
      {{L"/class:StdRegProv"}, L"ERROR: /class: needs /call:METHOD or /describe\r\n"},
      {{L"/class:Win32_LogicalDisk", L"/set:VolumeName", L"/args:x"},
       L"ERROR: /class: needs /call:METHOD or /describe\r\n"},
      {{L"/class:", L"/call:EnumKey", L"/args:1"}, L"ERROR: /class: names no class\r\n"},
      {{L"/class:  ", L"/describe"}, L"ERROR: /class: names no class\r\n"},
      {{L"/class:1Thing", L"/describe"},
       L"ERROR: /class: \"1Thing\" is not a class name (letters, digits and _, not starting with a digit)\r\n"},
      {{L"/class:Win32_Process.Handle=\"4\"", L"/call:Terminate", L"/args:0"},
       L"ERROR: /class: \"Win32_Process.Handle=\"4\"\" is not a class name (letters, digits and _, not starting "
       L"with a digit)\r\n"},
      {{L"/class:root\\cimv2:Win32_Process", L"/describe"},
       L"ERROR: /class: \"root\\cimv2:Win32_Process\" is not a class name (letters, digits and _, not starting "
       L"with a digit)\r\n"},
      {{L"/class:Win32_Process", L"/describe", L"/call:Create"}, L"ERROR: /describe is exclusive to /call:\r\n"},
  };
  for (const Case& c : cases) {
    FakeWmiAccess wmi;
    const RunResult run = RunTollix(wmi, c.arguments);
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_EQ(run.output, c.error);
    EXPECT_TRUE(wmi.log.empty());
  }
  // Names at the edges of the rules go on to WMI.
  FakeWmiAccess wmi;
  AddRegistryProvider(wmi);
  for (const wchar_t* name : {L"_9", L"a", L"Z_z09"}) {
    EXPECT_EQ(RunTollix(wmi, {std::wstring(L"/class:") + name, L"/call:DeleteKey", L"/args:1"}).exitCode, 1) << name;
  }
  EXPECT_EQ(wmi.executed.size(), 0u);  // known to no class: refused by WMI, not before
  EXPECT_EQ(wmi.Calls(WmiOp::GetClass), 3);
}

// Windows hands a uint32 over as VT_I4 and a char16 as VT_I2; the text
// layouts read them by their CIM type. Other types keep their VARIANT's text.
TEST(CimTypedNumbers, ListAndCsvShowUint32AsUnsignedAndChar16AsACharacter) {
  FakeWmiAccess wmi;
  wmi.AddResult(L"Win32_Volume", L"\\\\.\\root\\cimv2:Win32_Volume.DeviceID=\"v\"")
      .Add(L"SerialNumber", IntegerValue(VT_I4, -1), CIM_UINT32)
      .Add(L"Edge", IntegerValue(VT_I4, -2147483647 - 1), CIM_UINT32)
      .Add(L"Blocks", IntegerArray(VT_I4, {-1, 7}), CIM_UINT32 | CIM_FLAG_ARRAY)
      .Add(L"Letter", IntegerValue(VT_I2, L'D'), CIM_CHAR16)
      .Add(L"Letters", IntegerArray(VT_I2, {L'C', L'D'}), CIM_CHAR16 | CIM_FLAG_ARRAY)
      .Add(L"Offset", IntegerValue(VT_I4, -1), CIM_SINT32)
      .Add(L"Port", IntegerValue(VT_I4, 65535), CIM_UINT16)
      .Add(L"Small", IntegerValue(VT_I2, -1), CIM_SINT16)
      .Add(L"WineSerial", IntegerValue(VT_UI4, 4294967295LL), CIM_UINT32);
  RunResult run = RunTollix(wmi, {L"/wql:select * from win32_volume"});
  EXPECT_EQ(run.output, Banner() + L"\r\nSerialNumber=4294967295\r\nEdge=2147483648\r\nBlocks={4294967295,7}\r\n"
                                   L"Letter='D'\r\nLetters={'C','D'}\r\nOffset=-1\r\nPort=65535\r\nSmall=-1\r\n"
                                   L"WineSerial=4294967295\r\n\r\n");
  run = RunTollix(wmi, {L"/wql:select * from win32_volume", L"/format:csv"});
  EXPECT_EQ(run.output, Banner() + L"Node,SerialNumber,Edge,Blocks,Letter,Letters,Offset,Port,Small,WineSerial\r\n"
                                   L"LOCALHOST,4294967295,2147483648,{4294967295;7},'D',{'C';'D'},-1,65535,-1,"
                                   L"4294967295\r\n");
}

// What SET shows it read back is read by the CIM type too.
TEST(CimTypedNumbers, SetShowsTheValueReadBackUnsigned) {
  FakeWmiAccess wmi;
  wmi.AddResult(L"Win32_Thing", L"\\\\.\\root\\cimv2:Win32_Thing.Id=1").Add(L"Limit", IntegerValue(VT_I4, 5), CIM_UINT32);
  const RunResult run =
      RunTollix(wmi, {L"/wql:select * from win32_thing", L"/set:Limit", L"/args:4294967295", L"/debugdisplay"});
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find(L"\r\nLimit=5, vt=3, ct=19\r\n"), std::wstring::npos) << run.output;
  EXPECT_NE(run.output.find(L"\r\nLimit=4294967295\r\nINFO: Put instance, start\r\n"), std::wstring::npos) << run.output;
}

}  // namespace
