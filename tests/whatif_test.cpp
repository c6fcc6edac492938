// /whatif with the in-memory WMI: everything up to the change happens, the
// change never does, and each object says what it would have been.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "support/fake_wmi_access.h"
#include "support/json_lines.h"
#include "support/run_capture.h"
#include "support/values.h"

namespace {

const std::wstring kDisks = L"/wql:select * from win32_logicaldisk";
const std::wstring kPathC = L"\\\\.\\root\\cimv2:Win32_LogicalDisk.DeviceID=\"C:\"";
const std::wstring kPathD = L"\\\\.\\root\\cimv2:Win32_LogicalDisk.DeviceID=\"D:\"";

void AddDisks(FakeWmiAccess& wmi) {
  for (const std::wstring& path : {kPathC, kPathD}) {
    wmi.AddResult(L"Win32_LogicalDisk", path)
        .Add(L"VolumeName", StringValue(L"Old"))
        .Add(L"Quota", IntegerValue(VT_I4, 5), CIM_UINT32);
  }
  FakeMethod& chkdsk = wmi.AddMethod(L"Win32_LogicalDisk", L"Chkdsk");
  chkdsk.inputs.Add(L"FixErrors", BoolValue(false), CIM_BOOLEAN).Add(L"Passes", NullValue(), CIM_UINT32);
  FakeMethod& create = wmi.AddMethod(L"Win32_Process", L"Create");
  create.inputs.Add(L"CommandLine", NullValue()).Add(L"CurrentDirectory", NullValue());
  create.qualifiers.emplace_back(L"static", BoolValue(true));
  FakeMethod& mark = wmi.AddMethod(L"Win32_LogicalDisk", L"Mark");
  mark.inputs.Add(L"Letter", NullValue(), CIM_CHAR16).Add(L"Startup", NullValue(), CIM_OBJECT);
  mark.inputs.Qualify(L"Startup", L"CIMTYPE", StringValue(L"object:Win32_ProcessStartup"));
  wmi.AddClass(L"Win32_ProcessStartup").Add(L"ShowWindow", NullValue(), CIM_UINT16);
}

// The class as Windows declares it: every property has its CIMTYPE, and only
// VolumeName may be written.
void DeclareDiskClass(FakeWmiAccess& wmi) {
  wmi.AddClass(L"Win32_LogicalDisk")
      .Add(L"VolumeName", NullValue())
      .Qualify(L"VolumeName", L"CIMTYPE", StringValue(L"string"))
      .Qualify(L"VolumeName", L"write", BoolValue(true))
      .Add(L"Quota", NullValue(), CIM_UINT32)
      .Qualify(L"Quota", L"CIMTYPE", StringValue(L"uint32"))
      .Qualify(L"Quota", L"read", BoolValue(true));
}

// Nothing reached WMI that would change it, on any machine of the run.
void ExpectNothingChanged(FakeWmiAccess& wmi, const std::vector<std::wstring>& machines) {
  std::vector<FakeWmiAccess*> fakes = {&wmi};
  for (const std::wstring& name : machines) fakes.push_back(&wmi.Machine(name));
  for (FakeWmiAccess* fake : fakes) {
    EXPECT_EQ(fake->Calls(WmiOp::PutInstance), 0);
    EXPECT_EQ(fake->Calls(WmiOp::ExecMethod), 0);
    EXPECT_EQ(fake->LiveHandles(), 0);
  }
}

TEST(WhatIf, PreviewsOrRefusesEveryObjectInEveryLayoutAndChangesNothing) {
  const std::wstring setC = L"VolumeName=New\r\nWHATIF: SET would write " + kPathC + L"\r\n";
  const std::wstring setD = L"VolumeName=New\r\nWHATIF: SET would write " + kPathD + L"\r\n";
  const std::wstring callC = L"FixErrors=TRUE\r\nPasses=4294967295\r\nWHATIF: CALL would run Chkdsk on " + kPathC + L"\r\n";
  const std::wstring callD = L"FixErrors=TRUE\r\nPasses=4294967295\r\nWHATIF: CALL would run Chkdsk on " + kPathD + L"\r\n";
  const std::wstring jsonPathC = L"\\\\\\\\.\\\\root\\\\cimv2:Win32_LogicalDisk.DeviceID=\\\"C:\\\"";
  struct Case {
    std::vector<std::wstring> arguments;
    std::wstring output;
    std::vector<std::wstring> machines = {};
    int exitCode = 0;
    bool declared = true;  // the class carries its qualifiers, as on Windows
    std::pair<WmiOp, int> failAt = {WmiOp::Count, 0};
  };
  const std::wstring quotaNote = L"Quota is read-only on Windows: the write will likely be refused";
  const std::wstring jsonRunFailed = L"{\"error\":\"Failed to run root\\\\cimv2\\\\select * from win32_logicaldisk\"}\r\n";
  const std::wstring runFailed = L"ERROR: Failed to run root\\cimv2\\select * from win32_logicaldisk\r\n";
  const Case cases[] = {
      {{kDisks, L"/set:VolumeName", L"/args:New"}, Banner() + L"\r\n" + setC + L"\r\n" + setD + L"\r\n"},
      {{kDisks, L"/set:", L"/params:{\"VolumeName\":\"New\",\"Quota\":4294967295}"},
       Banner() + L"\r\nVolumeName=New\r\nQuota=4294967295\r\nWHATIF: SET would write " + kPathC + L" (" + quotaNote +
           L")\r\n\r\nVolumeName=New\r\nQuota=4294967295\r\nWHATIF: SET would write " + kPathD + L" (" + quotaNote +
           L")\r\n\r\n"},
      // A WMI that keeps no qualifiers, as Wine's, says nothing of them.
      {{kDisks, L"/set:Quota", L"/args:7"},
       Banner() + L"\r\nQuota=7\r\nWHATIF: SET would write " + kPathC + L"\r\n\r\nQuota=7\r\nWHATIF: SET would write " +
           kPathD + L"\r\n\r\n",
       {}, 0, false},
      {{kDisks, L"/set:Quota", L"/args:7", L"/format:csv", L"/node:a"},
       Banner() + L"Node,WhatIf,Path,Quota\r\na,SET (" + quotaNote + L")," + kPathC + L",7\r\na,SET (" + quotaNote + L")," +
           kPathD + L",7\r\n",
       {L"a"}},
      {{kDisks, L"/set:Quota", L"/args:7", L"/format:json"},
       L"{\"Node\":\"LOCALHOST\",\"WhatIf\":\"SET\",\"Path\":\"" + jsonPathC + L"\",\"Note\":\"" + quotaNote +
           L"\",\"Set\":{\"Quota\":7}}\r\n"
       L"{\"Node\":\"LOCALHOST\",\"WhatIf\":\"SET\",\"Path\":\"" + jsonPathC.substr(0, jsonPathC.size() - 4) +
           L"D:\\\"\",\"Note\":\"" + quotaNote + L"\",\"Set\":{\"Quota\":7}}\r\n"},
      // In JSON each in-parameter by its CIM type: a uint32 all 32 bits, a
      // char16 as its character.
      {{kDisks, L"/call:Chkdsk", L"/args:true,4294967295", L"/format:json"},
       L"{\"Node\":\"LOCALHOST\",\"WhatIf\":\"CALL\",\"Method\":\"Chkdsk\",\"Path\":\"" + jsonPathC +
           L"\",\"In\":{\"FixErrors\":true,\"Passes\":4294967295}}\r\n"
       L"{\"Node\":\"LOCALHOST\",\"WhatIf\":\"CALL\",\"Method\":\"Chkdsk\",\"Path\":\"" +
           jsonPathC.substr(0, jsonPathC.size() - 4) + L"D:\\\"\",\"In\":{\"FixErrors\":true,\"Passes\":4294967295}}\r\n"},
      {{kDisks, L"/call:Mark", L"/args:D", L"/format:json"},
       L"{\"Node\":\"LOCALHOST\",\"WhatIf\":\"CALL\",\"Method\":\"Mark\",\"Path\":\"" + jsonPathC +
           L"\",\"In\":{\"Letter\":\"D\",\"Startup\":null}}\r\n"
       L"{\"Node\":\"LOCALHOST\",\"WhatIf\":\"CALL\",\"Method\":\"Mark\",\"Path\":\"" +
           jsonPathC.substr(0, jsonPathC.size() - 4) + L"D:\\\"\",\"In\":{\"Letter\":\"D\",\"Startup\":null}}\r\n"},
      // A value that cannot be read fails the preview, and every line still
      // parses.
      {{kDisks, L"/call:Mark", L"/params:{\"Letter\":\"D\",\"Startup\":{\"ShowWindow\":0}}", L"/format:json"},
       L"{\"error\":\"Failed to read embedded object. Error code = 0x80041001\"}\r\n" + jsonRunFailed,
       {},
       1,
       true,
       {WmiOp::EmbeddedObject, 1}},
      {{kDisks, L"/set:VolumeName", L"/args:New", L"/format:csv"},
       Banner() + L"Node,WhatIf,Path,VolumeName\r\nLOCALHOST,SET," + kPathC + L",New\r\nLOCALHOST,SET," + kPathD +
           L",New\r\n"},
      {{kDisks, L"/set:VolumeName", L"/args:New", L"/format:json"},
       L"{\"Node\":\"LOCALHOST\",\"WhatIf\":\"SET\",\"Path\":\"" + jsonPathC + L"\",\"Set\":{\"VolumeName\":\"New\"}}\r\n"
       L"{\"Node\":\"LOCALHOST\",\"WhatIf\":\"SET\",\"Path\":\"" + jsonPathC.substr(0, jsonPathC.size() - 4) +
           L"D:\\\"\",\"Set\":{\"VolumeName\":\"New\"}}\r\n"},
      {{kDisks, L"/call:Chkdsk", L"/args:true,4294967295"}, Banner() + L"\r\n" + callC + L"\r\n" + callD + L"\r\n"},
      {{kDisks, L"/call:Chkdsk", L"/args:true,4294967295", L"/format:csv"},
       Banner() + L"Node,WhatIf,Method,Path,FixErrors,Passes\r\nLOCALHOST,CALL,Chkdsk," + kPathC +
           L",TRUE,4294967295\r\nLOCALHOST,CALL,Chkdsk," + kPathD + L",TRUE,4294967295\r\n"},
      {{L"/class:Win32_Process", L"/call:Create", L"/params:{\"CommandLine\":\"notepad.exe\"}", L"/format:json"},
       L"{\"Node\":\"LOCALHOST\",\"WhatIf\":\"CALL\",\"Method\":\"Create\",\"Path\":\"Win32_Process\","
       L"\"In\":{\"CommandLine\":\"notepad.exe\",\"CurrentDirectory\":null}}\r\n"},
      {{L"/class:Win32_Process", L"/call:Create", L"/args:notepad.exe", L"/node:a,b"},
       Banner() + L"\r\nNode=a\r\nCommandLine=notepad.exe\r\nCurrentDirectory=\r\n"
                  L"WHATIF: CALL would run Create on Win32_Process\r\n\r\n"
                  L"\r\nNode=b\r\nCommandLine=notepad.exe\r\nCurrentDirectory=\r\n"
                  L"WHATIF: CALL would run Create on Win32_Process\r\n\r\n",
       {L"a", L"b"}},
      {{kDisks, L"/set:VolumeName", L"/args:New", L"/node:a", L"/format:csv"},
       Banner() + L"Node,WhatIf,Path,VolumeName\r\na,SET," + kPathC + L",New\r\na,SET," + kPathD + L",New\r\n", {L"a"}},
      // What would be refused is refused, and fails the run as it would.
      {{kDisks, L"/call:Chkdsk", L"/args:true,many"},
       Banner() + L"\r\nERROR: Passes takes uint32, not \"many\".\r\n" + runFailed,
       {},
       1},
      {{kDisks, L"/set:Quota", L"/args:-1"},
       Banner() + L"\r\nERROR: Quota takes uint32; -1 is out of its range.\r\n" + runFailed, {}, 1},
      {{kDisks, L"/set:", L"/params:{\"Quota\":4294967296}"},
       Banner() + L"\r\nERROR: Quota takes uint32; 4294967296 is out of its range.\r\n" + runFailed, {}, 1},
  };
  for (const Case& c : cases) {
    FakeWmiAccess wmi;
    AddDisks(wmi);
    if (c.declared) DeclareDiskClass(wmi);
    if (c.failAt.second > 0) wmi.FailAt(c.failAt.first, c.failAt.second, WBEM_E_FAILED);
    std::vector<std::wstring> arguments = c.arguments;
    arguments.push_back(L"/whatif");
    const RunResult run = RunTollix(wmi, arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
    EXPECT_EQ(run.output, c.output);
    if (run.output.rfind(L"{", 0) == 0) {
      // Every line parses, the failures' too.
      const size_t lines = static_cast<size_t>(std::count(run.output.begin(), run.output.end(), L'\n'));
      EXPECT_EQ(ParseJsonLines(run.output).size(), lines) << run.output;
    }
    ExpectNothingChanged(wmi, c.machines);
  }
}

TEST(WhatIf, RefusedBeforeTheBannerWithoutAChange) {
  FakeWmiAccess wmi;
  ExpectRefusedBeforeAnythingRuns(wmi, kDisks, {L"/whatif"}, L"ERROR: /whatif needs /set: or /call:");
  ExpectRefusedBeforeAnythingRuns(wmi, kDisks, {L"/whatif", L"/args:x"}, L"ERROR: /whatif needs /set: or /call:");
  ExpectRefusedBeforeAnythingRuns(wmi, kDisks, {L"/whatif", L"/describe"},
                                  L"ERROR: /describe is exclusive to /whatif");
  ExpectRefusedBeforeAnythingRuns(wmi, L"/class:Win32_Process", {L"/whatif", L"/describe"},
                                  L"ERROR: /describe is exclusive to /whatif");
}

}  // namespace
