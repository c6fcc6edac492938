#include <gtest/gtest.h>

#include <windows.h>
#include <wbemcli.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/output.h"
#include "cli/wmic/wmic_choices.h"
#include "cli/wmic/wmic_main.h"
#include "support/fake_wmi_access.h"
#include "support/values.h"

namespace {

// Files of /output: and /append:, kept by name.
class FileSink final : public OutputSink {
 public:
  explicit FileSink(std::wstring& text) : text_(text) {}
  void Write(std::wstring_view text) override { text_.append(text); }

 private:
  std::wstring& text_;
};

class TestStreams final : public WmicStreams {
 public:
  OutputSink& Output(bool json) override {
    (json ? jsonOpened : wmicOpened) = true;
    return out;
  }
  OutputSink& Errors() override { return errors; }
  std::unique_ptr<OutputSink> OpenFile(const std::wstring& path, bool append, DWORD& error) override {
    if (path.find(L"missing\\") != std::wstring::npos) {
      error = ERROR_PATH_NOT_FOUND;
      return nullptr;
    }
    std::wstring& text = files[path];
    if (!append) text.clear();
    return std::make_unique<FileSink>(text);
  }

  BufferSink out;
  BufferSink errors;
  bool wmicOpened = false;
  bool jsonOpened = false;
  std::map<std::wstring, std::wstring> files;
};

const std::wstring kThisMachine = L"HOST1";

FakeObject& AddBios(FakeWmiAccess& wmi, const wchar_t* name) {
  return wmi.AddResult(L"Win32_BIOS", L"\\\\PC7\\root\\cimv2:Win32_BIOS=@")
      .Add(L"__SERVER", StringValue(L"PC7"))
      .Add(L"Name", StringValue(name))
      .Add(L"Manufacturer", StringValue(L"Wine"));
}

void TwoBioses(FakeWmiAccess& wmi) {
  AddBios(wmi, L"BIOS 1");
  AddBios(wmi, L"Long BIOS 2");
}

void OneOs(FakeWmiAccess& wmi) {
  wmi.AddResult(L"Win32_OperatingSystem", L"\\\\PC7\\root\\cimv2:Win32_OperatingSystem=@")
      .Add(L"Caption", StringValue(L"Wine OS"))
      .Add(L"BuildNumber", NullValue());
}

void Nothing(FakeWmiAccess&) {}

// A command line, the query and namespace it reaches WMI with (empty: WMI
// is never asked), and what it prints.
struct RunCase {
  const wchar_t* arguments;
  std::function<void(FakeWmiAccess&)> fill;
  const wchar_t* query;
  const wchar_t* nameSpace;
  std::wstring out;
  std::wstring errors;
  int exitCode;
};

void ExpectRun(const RunCase& row, FakeWmiAccess& wmi, TestStreams& streams) {
  SCOPED_TRACE(row.arguments);
  const int exitCode = RunWmicMain(std::wstring(L"\"C:\\some dir\\wmic.exe\" ") + row.arguments, wmi, streams,
                                   kThisMachine);
  EXPECT_EQ(exitCode, row.exitCode);
  EXPECT_EQ(streams.out.Text(), row.out);
  EXPECT_EQ(streams.errors.Text(), row.errors);
  if (*row.query == L'\0') {
    EXPECT_TRUE(wmi.log.empty());
  } else {
    EXPECT_EQ(wmi.executedQuery, row.query);
    EXPECT_EQ(wmi.connectedNamespace, row.nameSpace);
    // COM is stopped again whatever happened.
    EXPECT_EQ(wmi.Calls(WmiOp::InitializeCom), wmi.Calls(WmiOp::UninitializeCom));
  }
}

constexpr int kCannotRun = wmic_choices::kExitCannotRun;

TEST(WmicRun, EachReadCommandLineBecomesItsQueryAndPrintsWmicsText) {
  const std::wstring biosTable =
      L"Manufacturer  Name         \r\nWine          BIOS 1       \r\nWine          Long BIOS 2  \r\n\r\n";
  const RunCase cases[] = {
      {L"bios get Manufacturer,Name", TwoBioses, L"SELECT Manufacturer,Name FROM Win32_BIOS", L"root\\cimv2",
       biosTable, L"", 0},
      {L"BIOS GET name , manufacturer", TwoBioses, L"SELECT name,manufacturer FROM Win32_BIOS", L"root\\cimv2",
       biosTable, L"", 0},
      {L"bios get *", TwoBioses, L"SELECT * FROM Win32_BIOS", L"root\\cimv2", biosTable, L"", 0},
      {L"bios", TwoBioses, L"SELECT * FROM Win32_BIOS", L"root\\cimv2", biosTable, L"", 0},
      {L"bios list /format:table", TwoBioses, L"SELECT * FROM Win32_BIOS", L"root\\cimv2", biosTable, L"", 0},
      {L"bios get /all", TwoBioses, L"SELECT * FROM Win32_BIOS", L"root\\cimv2", biosTable, L"", 0},
      {L"process list brief", TwoBioses,
       L"SELECT HandleCount,Name,Priority,ProcessId,ThreadCount,WorkingSetSize FROM Win32_Process", L"root\\cimv2",
       biosTable, L"", 0},
      {L"os get Caption,BuildNumber /value", OneOs, L"SELECT Caption,BuildNumber FROM Win32_OperatingSystem",
       L"root\\cimv2", L"\r\n\r\nBuildNumber=\r\nCaption=Wine OS\r\n\r\n\r\n\r\n", L"", 0},
      {L"os list full", OneOs, L"SELECT * FROM Win32_OperatingSystem", L"root\\cimv2",
       L"\r\n\r\nBuildNumber=\r\nCaption=Wine OS\r\n\r\n\r\n\r\n", L"", 0},
      {L"os get Caption /format:\"%WINDIR%\\System32\\wbem\\en-US\\textvaluelist.xsl\"", OneOs,
       L"SELECT Caption FROM Win32_OperatingSystem", L"root\\cimv2",
       L"\r\n\r\nBuildNumber=\r\nCaption=Wine OS\r\n\r\n\r\n\r\n", L"", 0},
      // The node is the object's own __SERVER, and this machine's name for
      // an object without one.
      {L"bios get Name /format:csv", TwoBioses, L"SELECT Name FROM Win32_BIOS", L"root\\cimv2",
       L"\r\nNode,Manufacturer,Name\r\nPC7,Wine,BIOS 1\r\nPC7,Wine,Long BIOS 2\r\n", L"", 0},
      {L"os get Caption /FORMAT:CSV", OneOs, L"SELECT Caption FROM Win32_OperatingSystem", L"root\\cimv2",
       L"\r\nNode,BuildNumber,Caption\r\nHOST1,,Wine OS\r\n", L"", 0},
      {L"process where name=\"notepad.exe\" get ProcessId", TwoBioses,
       L"SELECT ProcessId FROM Win32_Process WHERE name=\"notepad.exe\"", L"root\\cimv2", biosTable, L"", 0},
      {L"process where \"commandline like '%uvicorn%'\" get Name", TwoBioses,
       L"SELECT Name FROM Win32_Process WHERE commandline like '%uvicorn%'", L"root\\cimv2", biosTable, L"", 0},
      {L"process 1234 get Name", TwoBioses, L"SELECT Name FROM Win32_Process WHERE ProcessId='1234'",
       L"root\\cimv2", biosTable, L"", 0},
      {L"/namespace:\\\\root\\wmi path MSAcpi_ThermalZoneTemperature get CurrentTemperature", Nothing,
       L"SELECT CurrentTemperature FROM MSAcpi_ThermalZoneTemperature", L"root\\wmi", L"",
       L"No Instance(s) Available.\r\n", 0},
      {L"rdtoggle get AllowTSConnections", Nothing, L"SELECT AllowTSConnections FROM Win32_TerminalServiceSetting",
       L"root\\cimv2\\TerminalServices", L"", L"No Instance(s) Available.\r\n", 0},
      {L"nosuch get Name", Nothing, L"", L"", L"", L"nosuch - Alias not found.\r\n", kCannotRun},
      {L"bios get Name /format:htable", Nothing, L"", L"", L"", L"Invalid XSL format (or) file name.\r\n",
       kCannotRun},
      {L"/record:x.xml bios get Name", Nothing, L"", L"", L"", L"/record: is not supported.\r\n", kCannotRun},
      {L"bios get Name /every:5", Nothing, L"", L"", L"", L"/every: is not supported.\r\n", kCannotRun},
      {L"process call terminate", Nothing, L"", L"", L"", L"Only GET and LIST are supported so far.\r\n",
       kCannotRun},
      {L"process list instance", Nothing, L"", L"", L"", L"LIST INSTANCE is not supported.\r\n", kCannotRun},
      {L"/user:admin bios get Name", Nothing, L"", L"", L"",
       L"User credentials cannot be used for local connections.\r\n", kCannotRun},
      {L"", Nothing, L"", L"", L"",
       L"The interactive prompt is not supported: give the command on the command line.\r\n", kCannotRun},
  };
  for (const RunCase& row : cases) {
    FakeWmiAccess wmi;
    row.fill(wmi);
    TestStreams streams;
    ExpectRun(row, wmi, streams);
    EXPECT_FALSE(streams.jsonOpened);
  }
}

// WMI's failure as wmic reports it: the node block on standard error and a
// failing exit code, after whatever came before it.
TEST(WmicRun, AWmiFailurePrintsTheNodeBlockAfterTheObjectsBeforeIt) {
  struct Case {
    const wchar_t* arguments;
    WmiOp op;
    int nth;
    unsigned long hr;
    std::wstring out;
    std::wstring description;
  };
  const Case cases[] = {
      // An unknown property in the get list fails at the first Next.
      {L"bios get Nonesuch", WmiOp::Next, 1, WBEM_E_INVALID_QUERY, L"", L"Invalid query"},
      {L"bios get Nonesuch /format:csv", WmiOp::Next, 1, WBEM_E_INVALID_QUERY, L"\r\nNode,\r\n", L"Invalid query"},
      {L"path Win32_Nonesuch", WmiOp::ExecQuery, 1, WBEM_E_INVALID_CLASS, L"", L"Invalid class"},
      {L"/namespace:\\\\root\\nonesuch path X", WmiOp::ConnectServer, 1, WBEM_E_INVALID_NAMESPACE, L"",
       L"Invalid namespace"},
      // Midway: the table keeps the row that came, the value list the
      // object, and neither closes as a whole result does.
      {L"bios get Name", WmiOp::Next, 2, WBEM_E_FAILED, L"Manufacturer  Name    \r\nWine          BIOS 1  \r\n\r\n",
       L"Generic failure"},
      {L"bios get Name /value", WmiOp::Next, 2, WBEM_E_FAILED, L"\r\n\r\nManufacturer=Wine\r\nName=BIOS 1\r\n\r\n\r\n\r\n",
       L"Generic failure"},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.arguments);
    FakeWmiAccess wmi;
    TwoBioses(wmi);
    wmi.FailAt(row.op, row.nth, row.hr);
    TestStreams streams;
    EXPECT_EQ(RunWmicMain(std::wstring(L"wmic ") + row.arguments, wmi, streams, kThisMachine),
              wmic_choices::kExitFailure);
    EXPECT_EQ(streams.out.Text(), row.out);
    EXPECT_EQ(streams.errors.Text(), L"Node - HOST1\r\nERROR:\r\nDescription = " + row.description + L"\r\n");
  }
}

TEST(WmicRun, JsonIsTollixsOwnLayoutOnItsOwnOutput) {
  FakeWmiAccess wmi;
  AddBios(wmi, L"BIOS 1");
  TestStreams streams;
  EXPECT_EQ(RunWmicMain(L"wmic bios get Name /format:json", wmi, streams, kThisMachine), 0);
  EXPECT_TRUE(streams.jsonOpened);
  EXPECT_FALSE(streams.wmicOpened);
  EXPECT_EQ(wmi.executedQuery, L"SELECT Name FROM Win32_BIOS");
  EXPECT_EQ(streams.out.Text(), L"{\"Node\":\"LOCALHOST\",\"Name\":\"BIOS 1\",\"Manufacturer\":\"Wine\"}\r\n");
  EXPECT_EQ(streams.errors.Text(), L"");
}

TEST(WmicRun, OutputAndAppendWriteTheFileAndNothingToStandardOutput) {
  FakeWmiAccess wmi;
  OneOs(wmi);
  TestStreams streams;
  streams.files[L"out.txt"] = L"old\r\n";
  EXPECT_EQ(RunWmicMain(L"wmic /append:out.txt os get Caption /value", wmi, streams, kThisMachine), 0);
  EXPECT_EQ(RunWmicMain(L"wmic /output:new.txt os get Caption", wmi, streams, kThisMachine), 0);
  EXPECT_EQ(streams.files[L"out.txt"], L"old\r\n\r\n\r\nBuildNumber=\r\nCaption=Wine OS\r\n\r\n\r\n\r\n");
  EXPECT_EQ(streams.files[L"new.txt"], L"BuildNumber  Caption  \r\n             Wine OS  \r\n\r\n");
  EXPECT_FALSE(streams.wmicOpened);
  EXPECT_EQ(streams.out.Text(), L"");

  // A file that cannot be opened fails before WMI is asked.
  FakeWmiAccess untouched;
  EXPECT_EQ(RunWmicMain(L"wmic /output:missing\\x.txt os get Caption", untouched, streams, kThisMachine),
            wmic_choices::kExitFailure);
  EXPECT_TRUE(untouched.log.empty());
  EXPECT_EQ(streams.errors.Text().rfind(L"Cannot open the output file missing\\x.txt: ", 0), 0u);
}

// Scripts probe for wmic with `wmic alias /? >nul || goto no_wmic`.
TEST(WmicRun, HelpSucceedsAndAsksNothingOfWmi) {
  const struct {
    const wchar_t* arguments;
    const wchar_t* opening;
  } cases[] = {
      {L"/?", L"Tollix, run as wmic: "},
      {L"/namespace:\\\\root\\cimv2 /?", L"Tollix, run as wmic: "},
      {L"bios /?", L"BIOS - Win32_BIOS\r\nNamespace:   root\\cimv2\r\nKey value:   (none)\r\n"},
      {L"process get /?", L"PROCESS - Win32_Process\r\nNamespace:   root\\cimv2\r\nKey value:   ProcessId='#'\r\n"},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.arguments);
    FakeWmiAccess wmi;
    TestStreams streams;
    EXPECT_EQ(RunWmicMain(std::wstring(L"wmic ") + row.arguments, wmi, streams, kThisMachine), 0);
    EXPECT_EQ(streams.out.Text().rfind(row.opening, 0), 0u) << streams.out.Text();
    EXPECT_TRUE(wmi.log.empty());
  }
  FakeWmiAccess wmi;
  TestStreams streams;
  RunWmicMain(L"wmic /?", wmi, streams, kThisMachine);
  EXPECT_NE(streams.out.Text().find(L"\r\n  RDTOGGLE              Win32_TerminalServiceSetting (root\\cimv2\\TerminalServices)\r\n"),
            std::wstring::npos);
}

TEST(WmicRun, OnlyTheBaseNameWmicExeTakesWmicsGrammar) {
  const struct {
    const wchar_t* path;
    bool wmic;
  } cases[] = {
      {L"C:\\Windows\\System32\\wbem\\wmic.exe", true},
      {L"C:\\tools\\WMIC.EXE", true},
      {L"wmic.exe", true},
      {L"C:/tools/WmIc.ExE", true},
      {L"C:\\tools\\Tollix.exe", false},
      {L"C:\\wmic.exe\\Tollix.exe", false},
      {L"C:\\tools\\wmic.exe.exe", false},
      {L"C:\\tools\\xwmic.exe", false},
      {L"C:\\tools\\wmic", false},
      {L"", false},
  };
  for (const auto& row : cases) EXPECT_EQ(IsWmicName(row.path), row.wmic) << row.path;
}

}  // namespace
