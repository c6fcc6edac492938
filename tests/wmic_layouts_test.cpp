#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "base/output.h"
#include "base/run_settings.h"
#include "base/wmic_output.h"
#include "render/object_printer.h"
#include "render/wmic_errors.h"
#include "render/wmic_layouts.h"
#include "support/fake_wmi_access.h"
#include "support/msxml_reader.h"
#include "support/values.h"

namespace {

struct Printed {
  std::wstring out;     // as the layout wrote it
  std::wstring errors;
};

// Every result the fake serves through the query loop's own printer, each
// system property included (as the CSV node needs __SERVER), then Finish.
void PrintAll(FakeWmiAccess& wmi, WmicLayout& layout) {
  RunSettings settings;
  settings.showAllProperties = 1;
  WmiLocator locator;
  WmiServices services;
  WmiEnumerator results;
  wmi.CreateLocator(locator);
  wmi.ConnectServer(locator, L"root\\cimv2", {}, 0, WBEM_INFINITE, services);
  wmi.ExecQuery(services, L"WQL", L"select * from x", 0, results);
  for (;;) {
    layout.Line(L"\r\n");  // the loop's separator, which wmic's layouts leave out
    WmiObject object;
    ULONG returned = 0;
    const HRESULT hr = wmi.Next(results, object, returned, WBEM_INFINITE);
    if (FAILED(hr)) {
      PrintError(layout, L"ERROR: Failed to get next object. Error code = 0x%x\r\n", static_cast<unsigned>(hr));
      break;
    }
    if (returned == 0) break;
    if (PrintObjectProperties(wmi, settings, layout, object) != 0) break;
  }
  layout.Finish();
}

Printed Print(FakeWmiAccess& wmi, WmicLayoutKind format, const std::wstring& node = L"PC1") {
  BufferSink out;
  BufferSink errors;
  auto layout = MakeWmicLayout(format, out, errors, {node, false, {}, {}});
  PrintAll(wmi, *layout);
  return {out.Text(), errors.Text()};
}

// The bytes a script reading the pipe gets.
std::string PipeBytes(FakeWmiAccess& wmi, WmicLayoutKind format) {
  HANDLE reader = nullptr;
  HANDLE writer = nullptr;
  if (!CreatePipe(&reader, &writer, nullptr, 1 << 20)) return "no pipe";
  {
    WmicOutputSink out(writer);
    BufferSink errors;
    auto layout = MakeWmicLayout(format, out, errors, {L"PC1", false, {}, {}});
    PrintAll(wmi, *layout);
  }
  CloseHandle(writer);
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(reader, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(reader);
  return bytes;
}

FakeObject& Add(FakeWmiAccess& wmi, const wchar_t* className) {
  return wmi.AddResult(className, std::wstring(L"\\\\PC1\\root\\cimv2:") + className + L"=@");
}

// Against the public captures of wmic's output, read from a pipe.
TEST(WmicLayouts, TheCapturedBytesOfEachLayout) {
  struct Case {
    const char* capture;
    WmicLayoutKind format;
    std::function<void(FakeWmiAccess&)> fill;
    std::string bytes;
  };
  const Case cases[] = {
      {"Qt: diskdrive get SerialNumber", WmicLayoutKind::kTable,
       [](FakeWmiAccess& wmi) {
         Add(wmi, L"Win32_DiskDrive").Add(L"SerialNumber", StringValue(L"20090516388200000"));
         Add(wmi, L"Win32_DiskDrive").Add(L"SerialNumber", StringValue(L"5VEV4RLC"));
       },
       "SerialNumber       \r\r\n20090516388200000  \r\r\n5VEV4RLC           \r\r\n\r\r\n"},
      {"neofetch: os get Caption", WmicLayoutKind::kTable,
       [](FakeWmiAccess& wmi) {
         Add(wmi, L"Win32_OperatingSystem").Add(L"Caption", StringValue(L"Microsoft Windows 10 Professionnel"));
       },
       "Caption                             \r\r\nMicrosoft Windows 10 Professionnel  \r\r\n\r\r\n"},
      {"process get ProcessId: the header is the widest", WmicLayoutKind::kTable,
       [](FakeWmiAccess& wmi) {
         Add(wmi, L"Win32_Process").Add(L"ProcessId", IntegerValue(VT_I4, 0), CIM_UINT32);
         Add(wmi, L"Win32_Process").Add(L"ProcessId", IntegerValue(VT_I4, 123456789), CIM_UINT32);
       },
       "ProcessId  \r\r\n0          \r\r\n123456789  \r\r\n\r\r\n"},
      {"csproduct get UUID /value", WmicLayoutKind::kValue,
       [](FakeWmiAccess& wmi) {
         Add(wmi, L"Win32_ComputerSystemProduct").Add(L"UUID", StringValue(L"EC20EBD7-8E03-06A8-645F-2D22E5A3BA4B"));
       },
       "\r\r\n\r\r\nUUID=EC20EBD7-8E03-06A8-645F-2D22E5A3BA4B\r\r\n\r\r\n\r\r\n\r\r\n"},
      {"BenchmarkDotNet: cpu get ... /Format:List, two sockets", WmicLayoutKind::kValue,
       [](FakeWmiAccess& wmi) {
         for (int socket = 0; socket < 2; ++socket) {
           Add(wmi, L"Win32_Processor")
               .Add(L"Name", StringValue(L"Intel(R) Xeon(R) CPU E5-2687W 0 @ 3.10GHz"))
               .Add(L"NumberOfCores", IntegerValue(VT_I4, 8), CIM_UINT32)
               .Add(L"NumberOfLogicalProcessors", IntegerValue(VT_I4, 16), CIM_UINT32)
               .Add(L"MaxClockSpeed", IntegerValue(VT_I4, 3111), CIM_UINT32);
         }
       },
       "\r\r\n\r\r\nMaxClockSpeed=3111\r\r\nName=Intel(R) Xeon(R) CPU E5-2687W 0 @ 3.10GHz\r\r\nNumberOfCores=8\r\r\n"
       "NumberOfLogicalProcessors=16\r\r\n"
       "\r\r\n\r\r\nMaxClockSpeed=3111\r\r\nName=Intel(R) Xeon(R) CPU E5-2687W 0 @ 3.10GHz\r\r\nNumberOfCores=8\r\r\n"
       "NumberOfLogicalProcessors=16\r\r\n\r\r\n\r\r\n\r\r\n"},
      {"hstwb: diskdrive list /format:csv, the first columns", WmicLayoutKind::kCsv,
       [](FakeWmiAccess& wmi) {
         Add(wmi, L"Win32_DiskDrive")
             .Add(L"__SERVER", StringValue(L"DESKTOP-3LFFCTK"))
             .Add(L"DeviceID", StringValue(L"\\\\.\\PHYSICALDRIVE3"))
             .Add(L"Description", StringValue(L"Disk drive"))
             .Add(L"DefaultBlockSize", NullValue(), CIM_UINT64)
             .Add(L"ConfigManagerUserConfig", BoolValue(false), CIM_BOOLEAN)
             .Add(L"ConfigManagerErrorCode", IntegerValue(VT_I4, 0), CIM_UINT32)
             .Add(L"CompressionMethod", NullValue())
             .Add(L"CapabilityDescriptions", StringArray({L"Random Access", L"Supports Writing"}),
                  CIM_STRING | CIM_FLAG_ARRAY)
             .Add(L"Capabilities", IntegerArray(VT_I4, {3, 4}), CIM_UINT16 | CIM_FLAG_ARRAY)
             .Add(L"BytesPerSector", IntegerValue(VT_I4, 512), CIM_UINT32)
             .Add(L"Availability", NullValue(), CIM_UINT16);
       },
       "\r\r\nNode,Availability,BytesPerSector,Capabilities,CapabilityDescriptions,CompressionMethod,"
       "ConfigManagerErrorCode,ConfigManagerUserConfig,DefaultBlockSize,Description,DeviceID\r\r\n"
       "DESKTOP-3LFFCTK,,512,{3;4},{Random Access;Supports Writing},,0,FALSE,,Disk drive,\\\\.\\PHYSICALDRIVE3\r\r\n"},
      {"hstwb: Win32_DiskDriveToDiskPartition get * /format:csv, references", WmicLayoutKind::kCsv,
       [](FakeWmiAccess& wmi) {
         Add(wmi, L"Win32_DiskDriveToDiskPartition")
             .Add(L"__SERVER", StringValue(L"DESKTOP-3LFFCTK"))
             .Add(L"Dependent",
                  StringValue(L"\\\\DESKTOP-3LFFCTK\\root\\cimv2:Win32_DiskPartition.DeviceID=\"Disk #0, Partition #0\""),
                  CIM_REFERENCE)
             .Add(L"Antecedent",
                  StringValue(L"\\\\DESKTOP-3LFFCTK\\root\\cimv2:Win32_DiskDrive.DeviceID=\"\\\\.\\PHYSICALDRIVE0\""),
                  CIM_REFERENCE);
       },
       "\r\r\nNode,Antecedent,Dependent\r\r\n"
       "DESKTOP-3LFFCTK,\"\\\\DESKTOP-3LFFCTK\\root\\cimv2:Win32_DiskDrive.DeviceID=\"\\\\.\\PHYSICALDRIVE0\",\","
       "\"\\\\DESKTOP-3LFFCTK\\root\\cimv2:Win32_DiskPartition.DeviceID=\"Disk #0, Partition #0\",\"\r\r\n"},
      {"brigadier: computersystem get model /format:RAWXML", WmicLayoutKind::kXml,
       [](FakeWmiAccess& wmi) { Add(wmi, L"Win32_ComputerSystem").Add(L"Model", StringValue(L"VMware7,1")); },
       "<COMMAND><RESULTS NODE=\"PC1\"><CIM><INSTANCE CLASSNAME=\"Win32_ComputerSystem\"><PROPERTY NAME=\"Model\" "
       "CLASSORIGIN=\"Win32_ComputerSystem\" TYPE=\"string\"><VALUE>VMware7,1</VALUE></PROPERTY></INSTANCE></CIM>"
       "</RESULTS></COMMAND>\r\r\n"},
      // Every character outside printable ASCII as a reference: the pipe's
      // code page cannot garble it, nor a parser that takes the bytes as
      // UTF-8. A control character XML cannot hold at all is U+FFFD.
      {"getNics: nicconfig get ... /format:rawxml, a NULL, arrays, a reference, escapes, an inherited property", WmicLayoutKind::kXml,
       [](FakeWmiAccess& wmi) {
         Add(wmi, L"Win32_NetworkAdapterConfiguration")
             .Add(L"MACAddress", NullValue())
             .Add(L"IPAddress", StringArray({L"10.0.0.2", L"fe80::1"}), CIM_STRING | CIM_FLAG_ARRAY)
             .Add(L"DefaultIPGateway", NullValue(), CIM_STRING | CIM_FLAG_ARRAY)
             .Add(L"Index", IntegerValue(VT_I4, -1), CIM_UINT32)
             .Add(L"DHCPEnabled", BoolValue(true), CIM_BOOLEAN)
             .Add(L"Description", StringValue(L"A&B <\"x\"> 'y'\t\r\n\x01\u00e9\U0001F600"))
             .Origin(L"Description", L"CIM_Setting")
             .Add(L"Setting", StringValue(L"\\\\PC1\\root\\cimv2:Win32_Thing.Id=\"1\""), CIM_REFERENCE);
       },
       "<COMMAND><RESULTS NODE=\"PC1\"><CIM><INSTANCE CLASSNAME=\"Win32_NetworkAdapterConfiguration\">"
       "<PROPERTY.ARRAY NAME=\"DefaultIPGateway\" CLASSORIGIN=\"Win32_NetworkAdapterConfiguration\" TYPE=\"string\">"
       "</PROPERTY.ARRAY>"
       "<PROPERTY NAME=\"Description\" CLASSORIGIN=\"CIM_Setting\" TYPE=\"string\"><VALUE>"
       "A&amp;B &lt;&quot;x&quot;&gt; &apos;y&apos;&#9;&#13;&#10;&#65533;&#233;&#128512;</VALUE></PROPERTY>"
       "<PROPERTY NAME=\"DHCPEnabled\" CLASSORIGIN=\"Win32_NetworkAdapterConfiguration\" TYPE=\"boolean\">"
       "<VALUE>TRUE</VALUE></PROPERTY>"
       "<PROPERTY NAME=\"Index\" CLASSORIGIN=\"Win32_NetworkAdapterConfiguration\" TYPE=\"uint32\">"
       "<VALUE>4294967295</VALUE></PROPERTY>"
       "<PROPERTY.ARRAY NAME=\"IPAddress\" CLASSORIGIN=\"Win32_NetworkAdapterConfiguration\" TYPE=\"string\">"
       "<VALUE.ARRAY><VALUE>10.0.0.2</VALUE><VALUE>fe80::1</VALUE></VALUE.ARRAY></PROPERTY.ARRAY>"
       "<PROPERTY NAME=\"MACAddress\" CLASSORIGIN=\"Win32_NetworkAdapterConfiguration\" TYPE=\"string\"></PROPERTY>"
       "<PROPERTY.REFERENCE NAME=\"Setting\" CLASSORIGIN=\"Win32_NetworkAdapterConfiguration\"><VALUE.REFERENCE>"
       "\\\\PC1\\root\\cimv2:Win32_Thing.Id=&quot;1&quot;</VALUE.REFERENCE></PROPERTY.REFERENCE>"
       "</INSTANCE></CIM></RESULTS></COMMAND>\r\r\n"},
  };
  for (const Case& c : cases) {
    FakeWmiAccess wmi;
    c.fill(wmi);
    EXPECT_EQ(PipeBytes(wmi, c.format), c.bytes) << c.capture;
  }
}

// Rows of one class: each name, value and CIM type.
struct Property {
  const wchar_t* name;
  std::function<Variant()> value;
  CIMTYPE cimType;
};

TEST(WmicLayouts, ColumnsWidthsNullsAndArraysInEachLayout) {
  using Rows = std::vector<std::vector<Property>>;
  struct Case {
    const char* what;
    WmicLayoutKind format;
    Rows rows;
    const wchar_t* out;
  };
  const std::vector<Property> ordered = {
      {L"PowerManagementCapabilities", [] { return IntegerArray(VT_I4, {1}); }, CIM_UINT16 | CIM_FLAG_ARRAY},
      {L"PNPDeviceID", [] { return StringValue(L"SCSI\\DISK&VEN_"); }, CIM_STRING},
      {L"Partitions", [] { return IntegerValue(VT_I4, 2); }, CIM_UINT32},
  };
  const auto text = [](const wchar_t* name, const wchar_t* value) {
    return Property{name, [value] { return StringValue(value); }, CIM_STRING};
  };
  const auto null = [](const wchar_t* name) { return Property{name, [] { return NullValue(); }, CIM_STRING}; };
  const Case cases[] = {
      {"ordered without case", WmicLayoutKind::kTable, {ordered},
       L"Partitions  PNPDeviceID     PowerManagementCapabilities  \r\n"
       L"2           SCSI\\DISK&VEN_  {1}                          \r\n\r\n"},
      {"ordered without case", WmicLayoutKind::kCsv, {ordered},
       L"\r\nNode,Partitions,PNPDeviceID,PowerManagementCapabilities\r\nPC1,2,SCSI\\DISK&amp;VEN_,{1}\r\n"},
      {"ordered without case", WmicLayoutKind::kValue, {ordered},
       L"\r\n\r\nPartitions=2\r\nPNPDeviceID=SCSI\\DISK&VEN_\r\nPowerManagementCapabilities={1}\r\n\r\n\r\n\r\n"},
      // A value as long as the header, then one past it in a later row.
      {"widths", WmicLayoutKind::kTable, {{text(L"Id", L"ab"), text(L"B", L"")}, {text(L"Id", L"abc"), text(L"B", L"x")}},
       L"B  Id   \r\n   ab   \r\nx  abc  \r\n\r\n"},
      {"nulls", WmicLayoutKind::kTable, {{null(L"A"), text(L"Bb", L"1")}}, L"A  Bb  \r\n   1   \r\n\r\n"},
      {"nulls", WmicLayoutKind::kValue, {{null(L"A"), text(L"B", L"1")}}, L"\r\n\r\nA=\r\nB=1\r\n\r\n\r\n\r\n"},
      {"nulls", WmicLayoutKind::kCsv, {{null(L"A"), null(L"B"), text(L"C", L"1")}}, L"\r\nNode,A,B,C\r\nPC1,,,1\r\n"},
      {"arrays", WmicLayoutKind::kTable,
       {{{L"S", [] { return StringArray({L"a", L"b"}); }, CIM_STRING | CIM_FLAG_ARRAY},
         {L"N", [] { return IntegerArray(VT_I4, {3, 4}); }, CIM_UINT32 | CIM_FLAG_ARRAY}}},
       L"N      S          \r\n{3,4}  {\"a\",\"b\"}  \r\n\r\n"},
      {"arrays", WmicLayoutKind::kValue,
       {{{L"S", [] { return StringArray({L"a", L"b"}); }, CIM_STRING | CIM_FLAG_ARRAY}}},
       L"\r\n\r\nS={\"a\",\"b\"}\r\n\r\n\r\n\r\n"},
      // A later object with a column the first did not have.
      {"ragged", WmicLayoutKind::kTable, {{text(L"B", L"1")}, {text(L"A", L"2"), text(L"B", L"3")}},
       L"A  B  \r\n   1  \r\n2  3  \r\n\r\n"},
      // Without __SERVER, the node as given.
      {"node", WmicLayoutKind::kCsv, {{text(L"A", L"1")}, {text(L"A", L"2")}}, L"\r\nNode,A\r\nPC1,1\r\nPC1,2\r\n"},
  };
  for (const Case& c : cases) {
    FakeWmiAccess wmi;
    for (const std::vector<Property>& row : c.rows) {
      FakeObject& object = Add(wmi, L"Win32_Thing");
      for (const Property& property : row) object.Add(property.name, property.value(), property.cimType);
    }
    const Printed printed = Print(wmi, c.format);
    EXPECT_EQ(printed.out, c.out) << c.what << " " << static_cast<int>(c.format);
    EXPECT_EQ(printed.errors, L"") << c.what;
  }
}

// What a failure, or finding nothing, leaves on each stream.
TEST(WmicLayouts, FailuresAndNothingFound) {
  struct Case {
    const char* what;
    WmicLayoutKind format;
    int objects;
    WmiOp failing;
    int nthCall;
    HRESULT hr;
    const wchar_t* out;
    const wchar_t* errors;
  };
  constexpr HRESULT kInvalidQuery = static_cast<HRESULT>(WBEM_E_INVALID_QUERY);
  constexpr HRESULT kInvalidClass = static_cast<HRESULT>(WBEM_E_INVALID_CLASS);
  const wchar_t kQueryBlock[] = L"Node - PC1\r\nERROR:\r\nDescription = Invalid query\r\n";
  const wchar_t kFirstOfThree[] =
      L"<COMMAND><RESULTS NODE=\"PC1\"><CIM><INSTANCE CLASSNAME=\"Win32_Thing\"><PROPERTY NAME=\"A\" "
      L"CLASSORIGIN=\"Win32_Thing\" TYPE=\"string\"><VALUE>a0</VALUE></PROPERTY></INSTANCE></CIM></RESULTS></COMMAND>\r\n";
  const Case cases[] = {
      {"nothing", WmicLayoutKind::kTable, 0, WmiOp::Count, 0, S_OK, L"", L"No Instance(s) Available.\r\n"},
      {"nothing", WmicLayoutKind::kValue, 0, WmiOp::Count, 0, S_OK, L"", L"No Instance(s) Available.\r\n"},
      {"nothing", WmicLayoutKind::kCsv, 0, WmiOp::Count, 0, S_OK, L"", L"No Instance(s) Available.\r\n"},
      {"a bad query at the first Next", WmicLayoutKind::kTable, 2, WmiOp::Next, 1, kInvalidQuery, L"", kQueryBlock},
      {"a bad query at the first Next", WmicLayoutKind::kCsv, 2, WmiOp::Next, 1, kInvalidQuery, L"\r\nNode,\r\n",
       kQueryBlock},
      // The second object fails at A, its third property with the system
      // ones: the first is shown whole, the second not at all.
      {"midway", WmicLayoutKind::kTable, 3, WmiOp::Get, 6, kInvalidClass, L"A   \r\na0  \r\n\r\n",
       L"Node - PC1\r\nERROR:\r\nDescription = Invalid class\r\n"},
      {"midway", WmicLayoutKind::kValue, 3, WmiOp::Get, 6, kInvalidClass, L"\r\n\r\nA=a0\r\n\r\n\r\n\r\n",
       L"Node - PC1\r\nERROR:\r\nDescription = Invalid class\r\n"},
      {"midway", WmicLayoutKind::kCsv, 3, WmiOp::Get, 6, kInvalidClass, L"\r\nNode,A\r\nPC1,a0\r\n",
       L"Node - PC1\r\nERROR:\r\nDescription = Invalid class\r\n"},
      // The document stays whole: the root and the machine's RESULTS close.
      {"nothing", WmicLayoutKind::kXml, 0, WmiOp::Count, 0, S_OK,
       L"<COMMAND><RESULTS NODE=\"PC1\"></RESULTS></COMMAND>\r\n", L"No Instance(s) Available.\r\n"},
      {"a bad query at the first Next", WmicLayoutKind::kXml, 2, WmiOp::Next, 1, kInvalidQuery,
       L"<COMMAND><RESULTS NODE=\"PC1\"></RESULTS></COMMAND>\r\n", kQueryBlock},
      {"midway", WmicLayoutKind::kXml, 3, WmiOp::Get, 6, kInvalidClass, kFirstOfThree,
       L"Node - PC1\r\nERROR:\r\nDescription = Invalid class\r\n"},
      // Where a property comes from is left out where WMI cannot say, as
      // Wine's cannot; nothing fails for it, and it is asked once a class.
      {"no origin", WmicLayoutKind::kXml, 2, WmiOp::PropertyOrigin, 1, E_NOTIMPL,
       L"<COMMAND><RESULTS NODE=\"PC1\"><CIM><INSTANCE CLASSNAME=\"Win32_Thing\"><PROPERTY NAME=\"A\" "
       L"TYPE=\"string\"><VALUE>a0</VALUE></PROPERTY></INSTANCE><INSTANCE "
       L"CLASSNAME=\"Win32_Thing\"><PROPERTY NAME=\"A\" TYPE=\"string\"><VALUE>a1</VALUE></PROPERTY></INSTANCE></CIM>"
       L"</RESULTS></COMMAND>\r\n",
       L""},
  };
  for (const Case& c : cases) {
    FakeWmiAccess wmi;
    for (int i = 0; i < c.objects; ++i) {
      Add(wmi, L"Win32_Thing").Add(L"A", StringValue(L"a" + std::to_wstring(i)));
    }
    if (c.failing != WmiOp::Count) wmi.FailAt(c.failing, c.nthCall, static_cast<unsigned long>(c.hr));
    const Printed printed = Print(wmi, c.format);
    EXPECT_EQ(printed.out, c.out) << c.what << " " << static_cast<int>(c.format);
    EXPECT_EQ(printed.errors, c.errors) << c.what << " " << static_cast<int>(c.format);
  }
}

TEST(WmicLayouts, ErrorDescriptions) {
  struct Case {
    HRESULT hr;
    const wchar_t* text;
  };
  const Case cases[] = {
      {static_cast<HRESULT>(WBEM_E_INVALID_QUERY), L"Invalid query"},
      {static_cast<HRESULT>(WBEM_E_INVALID_CLASS), L"Invalid class"},
      {static_cast<HRESULT>(WBEM_E_INVALID_NAMESPACE), L"Invalid namespace"},
      {static_cast<HRESULT>(WBEM_E_NOT_FOUND), L"Not found"},
      {static_cast<HRESULT>(WBEM_E_FAILED), L"Generic failure"},
      {static_cast<HRESULT>(0x8004FFFF), L"Error code = 0x8004ffff"},
  };
  for (const Case& c : cases) EXPECT_EQ(WmicErrorDescription(c.hr), c.text);
  // The system's own words, whole, without the line end its table gives.
  for (HRESULT hr : {HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE)}) {
    const std::wstring text = WmicErrorDescription(hr);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), L'\n');
    EXPECT_EQ(text.find(L"Error code"), std::wstring::npos) << "the system knows this code";
  }
}

// The document read back by MSXML from a pipe's bytes, by the paths the
// programs that parse wmic's XML take.
TEST(WmicLayouts, TheXmlDocumentReadsBackThroughMsxml) {
  // MSXML serves either apartment; the multithreaded one needs no window, so
  // the test touches no desktop.
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
  const std::wstring odd = L"A&B <\"x\"> 'y'\t\r\n\u00e9\U0001F600";
  FakeWmiAccess wmi;
  Add(wmi, L"Win32_Process")
      .Add(L"Caption", StringValue(odd))
      .Add(L"ExecutablePath", NullValue())
      .Add(L"ProcessId", IntegerValue(VT_I4, 4), CIM_UINT32)
      .Add(L"Names", StringArray({L"a", L"<b>"}), CIM_STRING | CIM_FLAG_ARRAY);
  Add(wmi, L"Win32_Process").Add(L"Caption", StringValue(L"second"));
  const std::string bytes = PipeBytes(wmi, WmicLayoutKind::kXml);
  const struct {
    const wchar_t* path;
    std::vector<std::wstring> texts;
  } cases[] = {
      {L"/COMMAND/RESULTS/@NODE", {L"PC1"}},
      {L"/COMMAND/RESULTS/CIM/INSTANCE[@CLASSNAME='Win32_Process']/PROPERTY[@NAME='Caption']/VALUE", {odd, L"second"}},
      {L"//INSTANCE[1]/*/@NAME", {L"Caption", L"ExecutablePath", L"Names", L"ProcessId"}},
      {L"//INSTANCE[1]/PROPERTY[@NAME='ProcessId']/@TYPE", {L"uint32"}},
      {L"//INSTANCE[1]/PROPERTY[@NAME='ExecutablePath']/*", {}},
      {L"//INSTANCE[1]/PROPERTY.ARRAY[@NAME='Names']/VALUE.ARRAY/VALUE", {L"a", L"<b>"}},
  };
  for (const auto& c : cases) EXPECT_EQ(MsxmlTexts(bytes, c.path), c.texts) << c.path;
  CoUninitialize();
}

// Rows are held as text until the widths are known: every row of a large
// table comes out, padded to the width of the widest. (How its cost grows with
// the rows is measured in bench/, not asserted here.)
TEST(WmicLayouts, ALargeTableKeepsEveryRow) {
  BufferSink out;
  BufferSink errors;
  auto layout = MakeWmicLayout(WmicLayoutKind::kTable, out, errors, {L"PC1", false, {}, {}});
  FakeWmiAccess wmi;
  const Variant value = StringValue(L"value");
  const Variant wider = StringValue(L"wider value");
  constexpr int kRows = 20000;
  for (int i = 0; i < kRows; ++i) {
    layout->BeginObject();
    layout->Property(wmi, L"A", (i == kRows - 1 ? wider : value).get(), CIM_STRING);
    layout->Property(wmi, L"B", value.get(), CIM_STRING);
    layout->EndObject();
  }
  layout->Finish();
  const std::wstring row = L"value        value  \r\n";
  EXPECT_EQ(out.Text().size(), (kRows + 1) * row.size() + 2);
  EXPECT_EQ(out.Text().substr(row.size(), row.size()), row);
}

}  // namespace
