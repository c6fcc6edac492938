#include <gtest/gtest.h>

#include <windows.h>
#include <wbemcli.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/output.h"
#include "cli/wmic/wmic_choices.h"
#include "cli/wmic/wmic_main.h"
#include "render/value_text.h"
#include "render/wmic_errors.h"
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

  bool AskPassword(std::wstring& given) override {
    ++passwordsAsked;
    if (!password) return false;
    given = *password;
    return true;
  }
  bool ReadLine(std::wstring& line) override {
    if (nextLine >= lines.size()) return false;
    line = lines[nextLine++];
    return true;
  }
  void ChangeMessagesFollow() override { changeMessages = true; }
  bool CanAsk() override { return console; }
  // The user stops /every:'s runs at wait number `stopAtWait` (1-based).
  bool WaitForNextRun(unsigned seconds) override {
    waits.push_back(seconds);
    return waits.size() != stopAtWait;
  }

  BufferSink out;
  BufferSink errors;
  std::optional<std::wstring> password;
  int passwordsAsked = 0;
  std::vector<std::wstring> lines;  // typed at the prompt
  size_t nextLine = 0;
  bool changeMessages = false;
  bool console = false;  // whether /interactive:on has a console to ask on
  bool wmicOpened = false;
  bool jsonOpened = false;
  std::map<std::wstring, std::wstring> files;
  std::vector<unsigned> waits;  // the seconds of each wait between runs
  size_t stopAtWait = 0;        // 0: never stopped
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
      // System properties are columns when the get list names them, and
      // only then.
      {L"bios get Name,__SERVER", TwoBioses, L"SELECT Name,__SERVER FROM Win32_BIOS", L"root\\cimv2",
       L"Manufacturer  Name         __SERVER  \r\nWine          BIOS 1       PC7       \r\n"
       L"Wine          Long BIOS 2  PC7       \r\n\r\n",
       L"", 0},
      {L"os get __path,__CLASS /value", OneOs, L"SELECT __path,__CLASS FROM Win32_OperatingSystem", L"root\\cimv2",
       L"\r\n\r\nBuildNumber=\r\nCaption=Wine OS\r\n__CLASS=Win32_OperatingSystem\r\n"
       L"__PATH=\\\\PC7\\root\\cimv2:Win32_OperatingSystem=@\r\n\r\n\r\n\r\n",
       L"", 0},
      {L"bios get __CLASS /format:csv", TwoBioses, L"SELECT __CLASS FROM Win32_BIOS", L"root\\cimv2",
       L"\r\nNode,Manufacturer,Name,__CLASS\r\nPC7,Wine,BIOS 1,Win32_BIOS\r\nPC7,Wine,Long BIOS 2,Win32_BIOS\r\n", L"",
       0},
      {L"process where name=\"notepad.exe\" get ProcessId", TwoBioses,
       L"SELECT ProcessId FROM Win32_Process WHERE name=\"notepad.exe\"", L"root\\cimv2", biosTable, L"", 0},
      {L"process where \"commandline like '%uvicorn%'\" get Name", TwoBioses,
       L"SELECT Name FROM Win32_Process WHERE commandline like '%uvicorn%'", L"root\\cimv2", biosTable, L"", 0},
      {L"process 1234 get Name", TwoBioses, L"SELECT Name FROM Win32_Process WHERE ProcessId='1234'",
       L"root\\cimv2", biosTable, L"", 0},
      // A key value reaches WQL as typed: the script doubles the backslashes.
      {L"datafile \"c:\\\\windows\\\\win.ini\" get Version", Nothing,
       L"SELECT Version FROM CIM_DataFile WHERE Name='c:\\\\windows\\\\win.ini'", L"root\\cimv2", L"",
       L"No Instance(s) Available.\r\n", 0},
      {L"service \"VulnService\" get Name", Nothing, L"SELECT Name FROM Win32_Service WHERE Name='VulnService'",
       L"root\\cimv2", L"", L"No Instance(s) Available.\r\n", 0},
      {L"/namespace:\\\\root\\wmi path MSAcpi_ThermalZoneTemperature get CurrentTemperature", Nothing,
       L"SELECT CurrentTemperature FROM MSAcpi_ThermalZoneTemperature", L"root\\wmi", L"",
       L"No Instance(s) Available.\r\n", 0},
      {L"rdtoggle get AllowTSConnections", Nothing, L"SELECT AllowTSConnections FROM Win32_TerminalServiceSetting",
       L"root\\cimv2\\TerminalServices", L"", L"No Instance(s) Available.\r\n", 0},
      {L"nosuch get Name", Nothing, L"", L"", L"", L"nosuch - Alias not found.\r\n", kCannotRun},
      {L"bios get Name /format:htable", Nothing, L"", L"", L"", L"Invalid XSL format (or) file name.\r\n",
       kCannotRun},
      {L"bios get Name /format:HFORM.xsl", Nothing, L"", L"", L"", L"Invalid XSL format (or) file name.\r\n",
       kCannotRun},
      // One document: a CIM only when something came.
      {L"os get Caption /format:RAWXML", OneOs, L"SELECT Caption FROM Win32_OperatingSystem", L"root\\cimv2",
       L"<COMMAND><RESULTS NODE=\"HOST1\"><CIM><INSTANCE CLASSNAME=\"Win32_OperatingSystem\">"
       L"<PROPERTY NAME=\"BuildNumber\" CLASSORIGIN=\"Win32_OperatingSystem\" TYPE=\"string\"></PROPERTY>"
       L"<PROPERTY NAME=\"Caption\" CLASSORIGIN=\"Win32_OperatingSystem\" TYPE=\"string\"><VALUE>Wine OS</VALUE>"
       L"</PROPERTY></INSTANCE></CIM></RESULTS></COMMAND>\r\n",
       L"", 0},
      {L"path Win32_Thing get Caption /format:\"C:\\Windows\\System32\\wbem\\xml.xsl\"", Nothing,
       L"SELECT Caption FROM Win32_Thing", L"root\\cimv2", L"<COMMAND><RESULTS NODE=\"HOST1\"></RESULTS></COMMAND>\r\n",
       L"No Instance(s) Available.\r\n", 0},
      {L"/record:x.xml bios get Name", Nothing, L"", L"", L"", L"/record: is not supported.\r\n", kCannotRun},
      // /every: and /repeat: take a count of at least 1; /repeat: needs
      // /every:, and a change is never repeated.
      {L"bios get Name /every:0", Nothing, L"", L"", L"", L"Invalid Verb Switch.\r\n", kCannotRun},
      {L"bios get Name /every:-1", Nothing, L"", L"", L"", L"Invalid Verb Switch.\r\n", kCannotRun},
      {L"bios get Name /every:1000000000", Nothing, L"", L"", L"", L"Invalid Verb Switch.\r\n", kCannotRun},
      {L"bios get Name /every:1 /repeat:0", Nothing, L"", L"", L"", L"Invalid Verb Switch.\r\n", kCannotRun},
      {L"bios get Name /repeat:2", Nothing, L"", L"", L"", L"Invalid Verb Switch.\r\n", kCannotRun},
      {L"process call create x /every:1", Nothing, L"", L"", L"", L"Invalid Verb Switch.\r\n", kCannotRun},
      // Each object's path alone, one a line.
      {L"bios list instance", TwoBioses, L"SELECT * FROM Win32_BIOS", L"root\\cimv2",
       L"\\\\PC7\\root\\cimv2:Win32_BIOS=@\r\n\\\\PC7\\root\\cimv2:Win32_BIOS=@\r\n", L"", 0},
      {L"bios list instance /format:csv", Nothing, L"SELECT * FROM Win32_BIOS", L"root\\cimv2", L"",
       L"No Instance(s) Available.\r\n", 0},
      {L"/user:admin bios get Name", Nothing, L"", L"", L"",
       L"User credentials cannot be used for local connections.\r\n", kCannotRun},

  };
  for (const RunCase& row : cases) {
    FakeWmiAccess wmi;
    row.fill(wmi);
    TestStreams streams;
    ExpectRun(row, wmi, streams);
    EXPECT_FALSE(streams.jsonOpened);
  }
}

// WMI's failure as wmic reports it: the node block on standard error and its
// HRESULT as the exit code, after whatever came before it.
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
      // Not WMI's own: the system's words, the code as it came.
      {L"bios get Name", WmiOp::ConnectServer, 1, static_cast<unsigned long>(E_ACCESSDENIED), L"",
       WmicErrorDescription(E_ACCESSDENIED)},
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
              static_cast<int>(row.hr));
    EXPECT_EQ(streams.out.Text(), row.out);
    EXPECT_EQ(streams.errors.Text(), L"Node - HOST1\r\nERROR:\r\nDescription = " + row.description + L"\r\n");
  }
}

// Each run of /every: prints its whole layout; /repeat: ends the runs by
// itself, the user (here: the streams' wait) at any wait between them.
TEST(WmicRun, EveryRunsTheWholeLayoutAgainUntilTheCountOrTheUser) {
  const std::wstring table = L"Manufacturer  Name    \r\nWine          BIOS 1  \r\n\r\n";
  const std::wstring csv = L"\r\nNode,Manufacturer,Name\r\nPC7,Wine,BIOS 1\r\n";
  const std::wstring invalidClass = L"Node - HOST1\r\nERROR:\r\nDescription = Invalid class\r\n";
  const std::wstring invalidQuery = L"Node - HOST1\r\nERROR:\r\nDescription = Invalid query\r\n";
  struct Case {
    const wchar_t* arguments;
    size_t stopAtWait;
    std::vector<std::pair<int, unsigned long>> failingQueries;  // the Nth ExecQuery and its HRESULT
    std::wstring out;
    std::wstring errors;
    std::vector<unsigned> waits;
    int exitCode;
  };
  const Case cases[] = {
      {L"bios get Name /every:2 /repeat:3", 0, {}, table + table + table, L"", {2, 2}, 0},
      {L"bios get Name /every:7 /repeat:1", 0, {}, table, L"", {}, 0},
      {L"bios get Name /format:csv /EVERY:1 /REPEAT:2", 0, {}, csv + csv, L"", {1}, 0},
      {L"bios get Name /every:5", 3, {}, table + table + table, L"", {5, 5, 5}, 0},
      // The runs go on after a failing one; the first failure is the code.
      {L"bios get Name /every:1 /repeat:3", 0, {{2, WBEM_E_INVALID_CLASS}, {3, WBEM_E_INVALID_QUERY}}, table,
       invalidClass + invalidQuery, {1, 1}, static_cast<int>(WBEM_E_INVALID_CLASS)},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.arguments);
    FakeWmiAccess wmi;
    AddBios(wmi, L"BIOS 1");
    for (const auto& failing : row.failingQueries) wmi.FailAt(WmiOp::ExecQuery, failing.first, failing.second);
    TestStreams streams;
    streams.stopAtWait = row.stopAtWait;
    EXPECT_EQ(RunWmicMain(std::wstring(L"wmic ") + row.arguments, wmi, streams, kThisMachine), row.exitCode);
    EXPECT_EQ(streams.out.Text(), row.out);
    EXPECT_EQ(streams.errors.Text(), row.errors);
    EXPECT_EQ(streams.waits, row.waits);
    // A run follows each wait the user did not end.
    const size_t runs = row.waits.size() + (row.stopAtWait == 0 ? 1 : 0);
    EXPECT_EQ(wmi.Calls(WmiOp::ExecQuery), static_cast<int>(runs));
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

FakeObject& AddMachineBios(FakeWmiAccess& wmi, const wchar_t* machine, const wchar_t* name) {
  return wmi.Machine(machine)
      .AddResult(L"Win32_BIOS", std::wstring(L"\\\\") + machine + L"\\root\\cimv2:Win32_BIOS=@")
      .Add(L"__SERVER", StringValue(machine))
      .Add(L"Name", StringValue(name));
}

// Three machines, the second with the longer name and the third refusing
// the connection unless told otherwise.
void ThreeMachines(FakeWmiAccess& wmi) {
  AddMachineBios(wmi, L"PC1", L"A");
  AddMachineBios(wmi, L"PC2", L"Longer name");
  AddMachineBios(wmi, L"PC3", L"C");
}

void ThirdUnreachable(FakeWmiAccess& wmi) {
  ThreeMachines(wmi);
  wmi.Machine(L"PC3").FailAt(WmiOp::ConnectServer, 1, HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE));
}

void SecondFailsMidway(FakeWmiAccess& wmi) {
  ThreeMachines(wmi);
  AddMachineBios(wmi, L"PC2", L"Never seen");
  wmi.Machine(L"PC2").FailAt(WmiOp::Next, 2, WBEM_E_FAILED);
}

// Answered in any order, the exit code is still the first failing machine's
// in the order of /node:.
void SecondAndThirdFail(FakeWmiAccess& wmi) {
  ThreeMachines(wmi);
  wmi.Machine(L"PC2").FailAt(WmiOp::ConnectServer, 1, E_ACCESSDENIED);
  wmi.Machine(L"PC3").FailAt(WmiOp::Next, 1, WBEM_E_INVALID_QUERY);
}

void NoneAnswers(FakeWmiAccess& wmi) {
  for (const wchar_t* machine : {L"PC1", L"PC2"}) {
    wmi.Machine(machine).FailAt(WmiOp::ConnectServer, 1, E_ACCESSDENIED);
  }
}

// This machine reached as localhost and another, as Windows answers them:
// the class and every object of a SELECT * carry the machine's own name in
// __SERVER; the objects of a query for some properties carry none.
void LocalAndPcx(FakeWmiAccess& wmi, bool withClass) {
  wmi.serverName = kThisMachine;
  for (const wchar_t* machine : {L"localhost", L"pcx"}) {
    FakeWmiAccess& each = wmi.Machine(machine);
    if (withClass) each.AddClass(L"Win32_BIOS").Add(L"Name", NullValue());
    each.AddResult(L"Win32_BIOS", L"\\\\X\\root\\cimv2:Win32_BIOS=@").Add(L"Name", StringValue(machine));
  }
}

void NoneHasAny(FakeWmiAccess& wmi) {
  wmi.Machine(L"PC1");
  wmi.Machine(L"PC2");
}

// Each machine's run is Tollix's own machine run; what wmic shows of them
// comes once every machine is done, in the order of /node:, as one listing.
TEST(WmicRun, NodesShareOneListingInTheirOrderAndEachFailureIsItsNodeBlock) {
  const std::string fileBytes = "PC3, PC1\r\nPC2\r\n";
  wchar_t folder[MAX_PATH + 1] = {};
  wchar_t fileName[MAX_PATH + 1] = {};
  ASSERT_NE(GetTempPathW(MAX_PATH + 1, folder), 0u);
  ASSERT_NE(GetTempFileNameW(folder, L"twn", 0, fileName), 0u);
  {
    const HANDLE file = CreateFileW(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, fileBytes.data(), static_cast<DWORD>(fileBytes.size()), &written, nullptr);
    CloseHandle(file);
  }
  const std::wstring nodeFile = fileName;
  // The system's own words, which differ between Windows and Wine.
  const std::wstring unreachable = L"Node - PC3\r\nERROR:\r\nDescription = " +
                                   WmicErrorDescription(HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE)) + L"\r\n";
  const std::wstring denied = L"ERROR:\r\nDescription = " + WmicErrorDescription(E_ACCESSDENIED) + L"\r\n";
  const std::wstring invalidQuery = L"Node - PC3\r\nERROR:\r\nDescription = Invalid query\r\n";
  const int unreachableCode = static_cast<int>(HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE));
  struct Case {
    std::wstring arguments;
    std::function<void(FakeWmiAccess&)> fill;
    std::wstring out;
    std::wstring errors;
    int exitCode;
  };
  const Case cases[] = {
      {L"/node:PC1,PC2,PC3 bios get Name", ThreeMachines,
       L"Name         \r\nA            \r\nLonger name  \r\nC            \r\n\r\n", L"", 0},
      {L"/node:\"PC3\",\"PC1\" bios get Name", ThreeMachines, L"Name  \r\nC     \r\nA     \r\n\r\n", L"", 0},
      {L"/node: PC2 bios get Name /value", ThreeMachines, L"\r\n\r\nName=Longer name\r\n\r\n\r\n\r\n", L"", 0},
      {L"/node:@" + nodeFile + L" bios get Name /format:csv", ThreeMachines,
       L"\r\nNode,Name\r\nPC3,C\r\nPC1,A\r\nPC2,Longer name\r\n", L"", 0},
      {L"/node:PC1,PC2,PC3 bios get Name /format:csv", ThirdUnreachable,
       L"\r\nNode,Name\r\nPC1,A\r\nPC2,Longer name\r\n", unreachable, unreachableCode},
      {L"/node:PC3,PC1 bios get Name", ThirdUnreachable, L"Name  \r\nA     \r\n\r\n", unreachable, unreachableCode},
      {L"/node:PC1,PC2,PC3 bios get Name", SecondAndThirdFail, L"Name  \r\nA     \r\n\r\n",
       L"Node - PC2\r\n" + denied + invalidQuery, static_cast<int>(E_ACCESSDENIED)},
      {L"/node:PC3,PC2,PC1 bios get Name", SecondAndThirdFail, L"Name  \r\nA     \r\n\r\n",
       invalidQuery + L"Node - PC2\r\n" + denied, static_cast<int>(WBEM_E_INVALID_QUERY)},
      {L"/node:PC1,PC2,PC3 bios get Name /format:rawxml.xsl", ThirdUnreachable,
       L"<COMMAND><RESULTS NODE=\"PC1\"><CIM><INSTANCE CLASSNAME=\"Win32_BIOS\"><PROPERTY NAME=\"Name\" "
       L"CLASSORIGIN=\"Win32_BIOS\" TYPE=\"string\"><VALUE>A</VALUE></PROPERTY></INSTANCE></CIM></RESULTS>"
       L"<RESULTS NODE=\"PC2\"><CIM><INSTANCE CLASSNAME=\"Win32_BIOS\"><PROPERTY NAME=\"Name\" "
       L"CLASSORIGIN=\"Win32_BIOS\" TYPE=\"string\"><VALUE>Longer name</VALUE></PROPERTY></INSTANCE></CIM></RESULTS>"
       L"<RESULTS NODE=\"PC3\"></RESULTS></COMMAND>\r\n",
       unreachable, unreachableCode},
      {L"/node:PC1,PC2,PC3 bios get Name /value", SecondFailsMidway,
       L"\r\n\r\nName=A\r\n\r\n\r\nName=Longer name\r\n\r\n\r\nName=C\r\n\r\n\r\n\r\n",
       L"Node - PC2\r\nERROR:\r\nDescription = Generic failure\r\n", static_cast<int>(WBEM_E_FAILED)},
      {L"/node:PC1,PC2 bios get Name /format:csv", NoneAnswers, L"\r\nNode,\r\n",
       L"Node - PC1\r\n" + denied + L"Node - PC2\r\n" + denied, static_cast<int>(E_ACCESSDENIED)},
      {L"/node:PC1,PC2 bios get Name", NoneHasAny, L"", L"No Instance(s) Available.\r\n", 0},
      // CSV's node is each machine's own name, the name as given only
      // where WMI says none.
      {L"/node:localhost,pcx bios get Name /format:csv", [](FakeWmiAccess& wmi) { LocalAndPcx(wmi, true); },
       L"\r\nNode,Name\r\nHOST1,localhost\r\nPCX,pcx\r\n", L"", 0},
      {L"/node:localhost,pcx bios get * /format:csv", [](FakeWmiAccess& wmi) { LocalAndPcx(wmi, false); },
       L"\r\nNode,Name\r\nHOST1,localhost\r\nPCX,pcx\r\n", L"", 0},
      {L"/node:localhost,pcx bios get Name /format:csv", [](FakeWmiAccess& wmi) { LocalAndPcx(wmi, false); },
       L"\r\nNode,Name\r\nlocalhost,localhost\r\npcx,pcx\r\n", L"", 0},
      {L"/node:localhost,pcx bios get Name,__SERVER", [](FakeWmiAccess& wmi) { LocalAndPcx(wmi, true); },
       L"Name       __SERVER  \r\nlocalhost            \r\npcx                  \r\n\r\n", L"", 0},
      {L"/node:PC1,PC2 bios list instance", ThreeMachines,
       L"\\\\PC1\\root\\cimv2:Win32_BIOS=@\r\n\\\\PC2\\root\\cimv2:Win32_BIOS=@\r\n", L"", 0},
      // Refused before any machine is asked.
      {L"/node:@C:\\no\\such\\nodes.txt bios get Name", ThreeMachines, L"",
       L"ERROR: Failed to read the node file C:\\no\\such\\nodes.txt. Error code = 0x80070003\r\n", kCannotRun},
      {L"/node:PC1,p/c2 bios get Name", ThreeMachines, L"", L"ERROR: \"p/c2\" is not a machine name.\r\n",
       kCannotRun},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.arguments);
    FakeWmiAccess wmi;
    row.fill(wmi);
    TestStreams streams;
    EXPECT_EQ(RunWmicMain(L"wmic " + row.arguments, wmi, streams, kThisMachine), row.exitCode);
    EXPECT_EQ(streams.out.Text(), row.out);
    EXPECT_EQ(streams.errors.Text(), row.errors);
    if (row.exitCode == kCannotRun) {
      EXPECT_EQ(wmi.Calls(WmiOp::InitializeCom), 0);
    }
  }
  DeleteFileW(fileName);
}

// /user:, /locale:, /implevel: and /authlevel: reach each connection; a
// missing password is asked once, before anything runs.
TEST(WmicRun, AccountLocaleAndLevelsReachEveryConnection) {
  struct Case {
    const wchar_t* arguments;
    std::optional<std::wstring> typed;  // what the password prompt gets
    int exitCode;
    int asked;
    std::wstring connectedAs;  // on PC1; empty: never connected
    std::wstring locale;
    DWORD authenticationLevel;
    DWORD impersonationLevel;
  };
  const Case cases[] = {
      {L"/node:PC1 /user:CORP\\admin /password:pw bios get Name", std::nullopt, 0, 0,
       L"user=CORP\\admin password=given", L"", RPC_C_AUTHN_LEVEL_PKT_PRIVACY, RPC_C_IMP_LEVEL_IMPERSONATE},
      {L"/node:PC1 /user:CORP\\admin bios get Name", L"typed", 0, 1, L"user=CORP\\admin password=given", L"",
       RPC_C_AUTHN_LEVEL_PKT_PRIVACY, RPC_C_IMP_LEVEL_IMPERSONATE},
      {L"/node:PC1 /user:CORP\\admin bios get Name", std::nullopt, kCannotRun, 1, L"", L"", 0, 0},
      {L"/node:PC1 /locale:MS_411 /implevel:identify /authlevel:pkt bios get Name", std::nullopt, 0, 0,
       L"own account", L"MS_411", RPC_C_AUTHN_LEVEL_PKT, RPC_C_IMP_LEVEL_IDENTIFY},
      {L"/node:PC1 /authlevel:none /implevel:anonymous bios get Name", std::nullopt, 0, 0, L"own account", L"",
       RPC_C_AUTHN_LEVEL_NONE, RPC_C_IMP_LEVEL_ANONYMOUS},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.arguments);
    FakeWmiAccess wmi;
    AddMachineBios(wmi, L"PC1", L"A");
    TestStreams streams;
    streams.password = row.typed;
    EXPECT_EQ(RunWmicMain(std::wstring(L"wmic ") + row.arguments, wmi, streams, kThisMachine), row.exitCode);
    EXPECT_EQ(streams.passwordsAsked, row.asked);
    FakeWmiAccess& machine = wmi.Machine(L"PC1");
    EXPECT_EQ(machine.connectedAs, row.connectedAs);
    if (row.connectedAs.empty()) {
      EXPECT_EQ(streams.errors.Text(), L"No password was given.\r\n");
      continue;
    }
    EXPECT_EQ(machine.connectedLocale, row.locale);
    EXPECT_EQ(machine.proxyBlanket.authenticationLevel, row.authenticationLevel);
    EXPECT_EQ(machine.proxyBlanket.impersonationLevel, row.impersonationLevel);
  }

  // On this machine too, where no account may be given.
  FakeWmiAccess wmi;
  AddBios(wmi, L"BIOS 1");
  TestStreams streams;
  EXPECT_EQ(RunWmicMain(L"wmic /locale:MS_409 /authlevel:call /implevel:delegate bios get Name", wmi, streams,
                        kThisMachine),
            0);
  EXPECT_EQ(wmi.connectedLocale, L"MS_409");
  EXPECT_EQ(wmi.proxyBlanket.authenticationLevel, static_cast<DWORD>(RPC_C_AUTHN_LEVEL_CALL));
  EXPECT_EQ(wmi.proxyBlanket.impersonationLevel, static_cast<DWORD>(RPC_C_IMP_LEVEL_DELEGATE));
}

// /failfast: bounds each connection and each wait for an object, in whole
// seconds rounded up; without it, or off, nothing is bounded.
TEST(WmicRun, FailFastBoundsEachConnectionAndEachWait) {
  const struct {
    const wchar_t* arguments;
    ULONG timeoutMs;
  } cases[] = {
      {L"/node:PC1 /failfast:500 bios get Name", 1000}, {L"/node:PC1 /failfast:1001 bios get Name", 2000},
      {L"/node:PC1 /failfast:on bios get Name", 5000},  {L"/node:PC1 /failfast:off bios get Name", WBEM_INFINITE},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.arguments);
    FakeWmiAccess wmi;
    AddMachineBios(wmi, L"PC1", L"A");
    TestStreams streams;
    EXPECT_EQ(RunWmicMain(std::wstring(L"wmic ") + row.arguments, wmi, streams, kThisMachine), 0);
    const FakeWmiAccess& machine = wmi.Machine(L"PC1");
    EXPECT_EQ(machine.connectTimeoutMs, row.timeoutMs);
    EXPECT_EQ(machine.connectFlags, row.timeoutMs == WBEM_INFINITE ? 0 : WBEM_FLAG_CONNECT_USE_MAX_WAIT);
    EXPECT_EQ(machine.nextTimeoutMs, row.timeoutMs);
  }
}

// root\cli goes with wmic: the alias table is this program's own.
TEST(WmicRun, TheAliasAliasReadsTheTableThatRunsHere) {
  struct Case {
    const wchar_t* arguments;
    std::wstring opening;
    std::wstring errors;
    int exitCode;
  };
  const Case cases[] = {
      {L"alias list brief", L"FriendlyName         PWhere", L"", 0},
      {L"alias get Target,FriendlyName /format:csv",
       L"\r\nNode,FriendlyName,Target\r\nHOST1,ALIAS,Select * from MSFT_CliAlias\r\nHOST1,BASEBOARD,", L"", 0},
      {L"alias get friendlyname,pwhere /value", L"\r\n\r\nFriendlyName=ALIAS\r\nPWhere=Where FriendlyName='#'\r\n",
       L"", 0},
      {L"alias get pwhere /format:rawxml",
       L"<COMMAND><RESULTS NODE=\"HOST1\"><CIM><INSTANCE CLASSNAME=\"MSFT_CliAlias\"><PROPERTY NAME=\"PWhere\" "
       L"CLASSORIGIN=\"MSFT_CliAlias\" TYPE=\"string\"><VALUE>Where FriendlyName=&apos;#&apos;</VALUE></PROPERTY>"
       L"</INSTANCE><INSTANCE",
       L"", 0},
      {L"alias get Nonesuch", L"", L"Node - HOST1\r\nERROR:\r\nDescription = Invalid query\r\n",
       static_cast<int>(WBEM_E_INVALID_QUERY)},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.arguments);
    FakeWmiAccess wmi;
    TestStreams streams;
    EXPECT_EQ(RunWmicMain(std::wstring(L"wmic ") + row.arguments, wmi, streams, kThisMachine), row.exitCode);
    EXPECT_EQ(streams.out.Text().substr(0, row.opening.size()), row.opening);
    EXPECT_EQ(streams.errors.Text(), row.errors);
    EXPECT_TRUE(wmi.log.empty());
  }
}

// --- call, set, delete, create

// The text FormatValueText makes of a value the fake was given.
std::wstring TextOf(const FakeObject& object, const wchar_t* name) {
  const FakeProperty* property = object.Find(name);
  if (property == nullptr) return L"<missing>";
  std::wstring text;
  FormatValueText(property->value.get(), text);
  return text;
}

FakeObject ReturnValue(long value) {
  FakeObject out;
  out.Add(L"ReturnValue", IntegerValue(VT_I4, value), CIM_UINT32);
  return out;
}

FakeObject& AddProcess(FakeWmiAccess& wmi, const wchar_t* handle) {
  const std::wstring relPath = std::wstring(L"Win32_Process.Handle=\"") + handle + L"\"";
  return wmi.AddResult(L"Win32_Process", L"\\\\PC7\\root\\cimv2:" + relPath)
      .Add(L"__SERVER", StringValue(L"PC7"))
      .Add(L"__RELPATH", StringValue(relPath))
      .Add(L"Handle", StringValue(handle))
      .Add(L"Priority", IntegerValue(VT_I4, 8), CIM_UINT32);
}

// Win32_Process as Windows declares it: qualifiers kept, Create static.
void ProcessClass(FakeWmiAccess& wmi, bool qualifiers = true) {
  FakeObject& definition = wmi.AddClass(L"Win32_Process").Add(L"Handle", NullValue());
  if (qualifiers) definition.Qualify(L"Handle", L"CIMTYPE", StringValue(L"string"));
  FakeMethod& create = wmi.AddMethod(L"Win32_Process", L"Create");
  if (qualifiers) create.qualifiers.push_back({L"static", BoolValue(true)});
  create.inputs.Add(L"CommandLine", NullValue()).Add(L"CurrentDirectory", NullValue());
  create.run = [](const FakeObject&) {
    FakeObject out = ReturnValue(0);
    out.Add(L"ProcessId", IntegerValue(VT_I4, 752), CIM_UINT32);
    return std::optional<FakeObject>(out);
  };
  FakeMethod& terminate = wmi.AddMethod(L"Win32_Process", L"Terminate");
  terminate.inputs.Add(L"Reason", IntegerValue(VT_I4, 0), CIM_UINT32);
  terminate.run = [](const FakeObject&) { return std::optional<FakeObject>(ReturnValue(0)); };
}

// Win32_ShadowCopy.Create, static, its string parameters by name.
void ShadowCopyClass(FakeWmiAccess& wmi) {
  wmi.AddClass(L"Win32_ShadowCopy").Add(L"ID", NullValue()).Qualify(L"ID", L"CIMTYPE", StringValue(L"string"));
  FakeMethod& create = wmi.AddMethod(L"Win32_ShadowCopy", L"Create");
  create.qualifiers.push_back({L"static", BoolValue(true)});
  create.inputs.Add(L"Context", NullValue()).Add(L"Volume", NullValue());
  create.run = [](const FakeObject&) { return std::optional<FakeObject>(ReturnValue(0)); };
  create.outputs.Add(L"ReturnValue", NullValue(), CIM_UINT32).Add(L"ShadowID", NullValue());
  FakeMethod& revert = wmi.AddMethod(L"Win32_ShadowCopy", L"Revert");
  revert.hasInputSignature = false;
}

void TwoProcesses(FakeWmiAccess& wmi) {
  ProcessClass(wmi);
  AddProcess(wmi, L"1936");
  AddProcess(wmi, L"2048");
}

void OneProcess(FakeWmiAccess& wmi) {
  ProcessClass(wmi);
  AddProcess(wmi, L"1936");
}

// A method that answers ReturnValue 0, and its in-parameters to declare.
FakeObject& AddMethodReturningZero(FakeWmiAccess& wmi, const wchar_t* className, const wchar_t* method) {
  FakeMethod& definition = wmi.AddMethod(className, method);
  definition.run = [](const FakeObject&) { return std::optional<FakeObject>(ReturnValue(0)); };
  return definition.inputs;
}

// A parameter as Windows declares it: its CIM type and its CIMTYPE qualifier.
void Declare(FakeObject& inputs, const wchar_t* name, CIMTYPE type, const wchar_t* cimType) {
  inputs.Add(name, NullValue(), type).Qualify(name, L"CIMTYPE", StringValue(cimType));
}

// Win32_NetworkAdapterConfiguration's methods with array parameters, as
// Windows declares them. No class under Wine has a method with an array
// parameter, so only these rows show how lists reach ExecMethod.
void OneAdapter(FakeWmiAccess& wmi) {
  const wchar_t* const adapter = L"Win32_NetworkAdapterConfiguration";
  wmi.AddResult(adapter, L"\\\\PC7\\root\\cimv2:Win32_NetworkAdapterConfiguration.Index=7")
      .Add(L"__SERVER", StringValue(L"PC7"))
      .Add(L"__RELPATH", StringValue(L"Win32_NetworkAdapterConfiguration.Index=7"))
      .Add(L"Index", IntegerValue(VT_I4, 7), CIM_UINT32);
  const CIMTYPE strings = CIM_STRING | CIM_FLAG_ARRAY;
  Declare(AddMethodReturningZero(wmi, adapter, L"SetDNSServerSearchOrder"), L"DNSServerSearchOrder", strings,
          L"string");
  FakeObject& enable = AddMethodReturningZero(wmi, adapter, L"EnableStatic");
  Declare(enable, L"IPAddress", strings, L"string");
  Declare(enable, L"SubnetMask", strings, L"string");
  FakeObject& gateways = AddMethodReturningZero(wmi, adapter, L"SetGateways");
  Declare(gateways, L"DefaultIPGateway", strings, L"string");
  Declare(gateways, L"GatewayCostMetric", CIM_UINT16 | CIM_FLAG_ARRAY, L"uint16");
}

// StdRegProv.SetBinaryValue: a uint8[] among scalars, static.
void Registry(FakeWmiAccess& wmi) {
  FakeMethod& method = wmi.AddMethod(L"StdRegProv", L"SetBinaryValue");
  method.qualifiers.push_back({L"static", BoolValue(true)});
  method.run = [](const FakeObject&) { return std::optional<FakeObject>(ReturnValue(0)); };
  Declare(method.inputs, L"hDefKey", CIM_UINT32, L"uint32");
  Declare(method.inputs, L"sSubKeyName", CIM_STRING, L"string");
  Declare(method.inputs, L"sValueName", CIM_STRING, L"string");
  Declare(method.inputs, L"uValue", CIM_UINT8 | CIM_FLAG_ARRAY, L"uint8");
}

// What the one ExecMethod was given for `name`, as Shown writes it.
std::wstring Received(const FakeWmiAccess& wmi, const wchar_t* name) {
  if (wmi.executed.size() != 1 || !wmi.executed[0].inputs) return L"<not called once>";
  const FakeProperty* property = wmi.executed[0].inputs->Find(name);
  return property ? Shown(property->value.get()) : L"<missing>";
}

const std::wstring kFirst = L"\\\\PC7\\ROOT\\CIMV2:Win32_Process.Handle=\"1936\"";
const std::wstring kAdapter = L"\\\\PC7\\ROOT\\CIMV2:Win32_NetworkAdapterConfiguration.Index=7";
const std::wstring kSecond = L"\\\\PC7\\ROOT\\CIMV2:Win32_Process.Handle=\"2048\"";

std::wstring Executed(const std::wstring& path, const std::wstring& method, const std::wstring& lines) {
  return L"Executing (" + path + L")->" + method + L"()\r\nMethod execution successful.\r\nOut Parameters:\r\n"
         L"instance of __PARAMETERS\r\n{\r\n" + lines + L"};\r\n\r\n";
}

struct ChangeCase {
  std::wstring arguments;
  std::function<void(FakeWmiAccess&)> fill;
  std::wstring out;
  std::wstring errors;
  int exitCode;
  std::function<void(FakeWmiAccess&)> check;  // what WMI was asked
};

void ExpectChange(const ChangeCase& row, const std::vector<std::wstring>& answers = {}, bool console = false) {
  SCOPED_TRACE(row.arguments);
  FakeWmiAccess wmi;
  row.fill(wmi);
  TestStreams streams;
  streams.lines = answers;
  streams.console = console;
  EXPECT_EQ(RunWmicMain(L"wmic " + row.arguments, wmi, streams, kThisMachine), row.exitCode);
  EXPECT_EQ(streams.out.Text(), row.out);
  EXPECT_EQ(streams.errors.Text(), row.errors);
  // A refused command line prints only its refusal, as any other does.
  EXPECT_EQ(streams.changeMessages, row.exitCode != kCannotRun);
  if (row.check) row.check(wmi);
}

// Each change is printed before it goes to WMI and as done once WMI has
// taken it, in wmic's words, whatever object, class or machine it is made on.
TEST(WmicChange, EachVerbPrintsWhatItDoesAndAsksWmiForExactlyThat) {
  const std::wstring terminated = L"\tReturnValue = 0;\r\n";
  const ChangeCase cases[] = {
      // A static method without a where: once, on the class.
      {L"process call create \"notepad.exe x\"", TwoProcesses,
       Executed(L"Win32_Process", L"Create", L"\tProcessId = 752;\r\n" + terminated), L"", 0,
       [](FakeWmiAccess& wmi) {
         ASSERT_EQ(wmi.executed.size(), 1u);
         EXPECT_EQ(wmi.executed[0].path, L"Win32_Process");
         EXPECT_EQ(TextOf(*wmi.executed[0].inputs, L"CommandLine"), L"notepad.exe x");
         EXPECT_TRUE(wmi.executedQuery.empty());
       }},
      // Where WMI keeps no qualifiers nothing says Create is static: still
      // once, on the class, never once a process.
      {L"process call create notepad.exe", [](FakeWmiAccess& wmi) {
         ProcessClass(wmi, false);
         AddProcess(wmi, L"1936");
         AddProcess(wmi, L"2048");
       },
       Executed(L"Win32_Process", L"Create", L"\tProcessId = 752;\r\n" + terminated), L"", 0,
       [](FakeWmiAccess& wmi) { EXPECT_EQ(wmi.executed.size(), 1u); }},
      // An instance method: on each object, by its path, the values by name
      // or by position, &H as the parameter's bits.
      {L"process where name=\"a.exe\" call terminate", TwoProcesses,
       Executed(kFirst, L"terminate", terminated) + Executed(kSecond, L"terminate", terminated), L"", 0,
       [](FakeWmiAccess& wmi) {
         ASSERT_EQ(wmi.executed.size(), 2u);
         EXPECT_EQ(wmi.executed[1].path, L"\\\\PC7\\root\\cimv2:Win32_Process.Handle=\"2048\"");
         EXPECT_EQ(wmi.executedQuery, L"SELECT * FROM Win32_Process WHERE name=\"a.exe\"");
       }},
      {L"process 1936 call terminate Reason=&HFFFFFFFF", OneProcess, Executed(kFirst, L"terminate", terminated), L"", 0,
       [](FakeWmiAccess& wmi) {
         ASSERT_EQ(wmi.executed.size(), 1u);
         EXPECT_EQ(TextOf(*wmi.executed[0].inputs, L"Reason"), L"-1");  // uint32 travels as VT_I4
       }},
      {L"process 1936 call terminate 7", OneProcess, Executed(kFirst, L"terminate", terminated), L"", 0,
       [](FakeWmiAccess& wmi) { EXPECT_EQ(TextOf(*wmi.executed[0].inputs, L"Reason"), L"7"); }},
      // One past each bound: refused before anything is called.
      {L"process 1936 call terminate Reason=&H100000000", OneProcess, L"",
       L"Node - HOST1\r\nERROR:\r\nDescription = Reason takes uint32; &H100000000 is out of its range.\r\n", 1,
       [](FakeWmiAccess& wmi) { EXPECT_TRUE(wmi.executed.empty()); }},
      {L"process 1936 call terminate 4294967296", OneProcess, L"",
       L"Node - HOST1\r\nERROR:\r\nDescription = Reason takes uint32; 4294967296 is out of its range.\r\n", 1,
       [](FakeWmiAccess& wmi) { EXPECT_TRUE(wmi.executed.empty()); }},
      {L"process 1936 call terminate 1, 2", OneProcess, L"",
       L"Node - HOST1\r\nERROR:\r\nDescription = Method Terminate takes 1 input parameters, 2 values given.\r\n", 1,
       [](FakeWmiAccess& wmi) { EXPECT_TRUE(wmi.executed.empty()); }},
      // By position in the order WMI gives the parameters, alphabetical on
      // Windows: only that makes 100 the EventType and 7 the type.
      {L"/namespace:\\\\root\\default path SystemRestore call CreateRestorePoint \"Before update\", 100, 7",
       [](FakeWmiAccess& wmi) {
         wmi.AddClass(L"SystemRestore").Add(L"Description", NullValue()).Qualify(L"Description", L"CIMTYPE",
                                                                                  StringValue(L"string"));
         FakeMethod& point = wmi.AddMethod(L"SystemRestore", L"CreateRestorePoint");
         point.qualifiers.push_back({L"static", BoolValue(true)});
         point.inputs.Add(L"Description", NullValue())
             .Add(L"RestorePointType", NullValue(), CIM_UINT32)
             .Add(L"EventType", NullValue(), CIM_UINT32);
         point.run = [](const FakeObject&) { return std::optional<FakeObject>(ReturnValue(0)); };
       },
       Executed(L"SystemRestore", L"CreateRestorePoint", terminated), L"", 0,
       [](FakeWmiAccess& wmi) {
         ASSERT_EQ(wmi.executed.size(), 1u);
         EXPECT_EQ(wmi.connectedNamespace, L"root\\default");
         EXPECT_EQ(TextOf(*wmi.executed[0].inputs, L"Description"), L"Before update");
         EXPECT_EQ(TextOf(*wmi.executed[0].inputs, L"EventType"), L"100");
         EXPECT_EQ(TextOf(*wmi.executed[0].inputs, L"RestorePointType"), L"7");
       }},
      // Lists for array parameters: each element by the element type, by
      // position or by name; a plain value is an array of one.
      {L"nicconfig where index=7 call SetDNSServerSearchOrder (\"8.8.8.8\",\"8.8.4.4\")", OneAdapter,
       Executed(kAdapter, L"SetDNSServerSearchOrder", terminated), L"", 0,
       [](FakeWmiAccess& wmi) {
         EXPECT_EQ(Received(wmi, L"DNSServerSearchOrder"), L"array of 8 [8.8.8.8,8.8.4.4]");
         EXPECT_EQ(wmi.executedQuery, L"SELECT * FROM Win32_NetworkAdapterConfiguration WHERE index=7");
       }},
      {L"nicconfig where index=7 call SetDNSServerSearchOrder ('8.8.8.8', '8.8.4.4')", OneAdapter,
       Executed(kAdapter, L"SetDNSServerSearchOrder", terminated), L"", 0,
       [](FakeWmiAccess& wmi) { EXPECT_EQ(Received(wmi, L"DNSServerSearchOrder"), L"array of 8 [8.8.8.8,8.8.4.4]"); }},
      {L"nicconfig where index=7 call SetDNSServerSearchOrder ()", OneAdapter,
       Executed(kAdapter, L"SetDNSServerSearchOrder", terminated), L"", 0,
       [](FakeWmiAccess& wmi) { EXPECT_EQ(Received(wmi, L"DNSServerSearchOrder"), L"array of 8 []"); }},
      {L"nicconfig where index=7 call EnableStatic (\"192.168.1.5\"), (\"255.255.255.0\")", OneAdapter,
       Executed(kAdapter, L"EnableStatic", terminated), L"", 0,
       [](FakeWmiAccess& wmi) {
         EXPECT_EQ(Received(wmi, L"IPAddress"), L"array of 8 [192.168.1.5]");
         EXPECT_EQ(Received(wmi, L"SubnetMask"), L"array of 8 [255.255.255.0]");
       }},
      // The method's name glued to its first list, as the verb itself.
      {L"nicconfig where index=7 setgateways(\"192.168.1.1\"),(&h1F)", OneAdapter,
       Executed(kAdapter, L"setgateways", terminated), L"", 0,
       [](FakeWmiAccess& wmi) {
         EXPECT_EQ(Received(wmi, L"DefaultIPGateway"), L"array of 8 [192.168.1.1]");
         EXPECT_EQ(Received(wmi, L"GatewayCostMetric"), L"array of 3 [31]");  // uint16 travels as VT_I4
       }},
      {L"nicconfig where index=7 call SetGateways GatewayCostMetric=(1, 65535) DefaultIPGateway=('a','b')",
       OneAdapter, Executed(kAdapter, L"SetGateways", terminated), L"", 0,
       [](FakeWmiAccess& wmi) {
         EXPECT_EQ(Received(wmi, L"DefaultIPGateway"), L"array of 8 [a,b]");
         EXPECT_EQ(Received(wmi, L"GatewayCostMetric"), L"array of 3 [1,65535]");
       }},
      // A bad element midway: refused before anything is called.
      {L"nicconfig where index=7 call SetGateways (\"192.168.1.1\"),(1,65536)", OneAdapter, L"",
       L"Node - HOST1\r\nERROR:\r\nDescription = GatewayCostMetric[1] takes uint16; 65536 is out of its range.\r\n", 1,
       [](FakeWmiAccess& wmi) { EXPECT_TRUE(wmi.executed.empty()); }},
      {L"process 1936 call terminate (1)", OneProcess, L"",
       L"Node - HOST1\r\nERROR:\r\nDescription = Reason takes uint32, not a list of values.\r\n", 1,
       [](FakeWmiAccess& wmi) { EXPECT_TRUE(wmi.executed.empty()); }},
      {L"/namespace:\\\\root\\default path StdRegProv call SetBinaryValue &h80000001,\"Software\\T\",\"v\",(0,&hff)",
       Registry, Executed(L"StdRegProv", L"SetBinaryValue", terminated), L"", 0,
       [](FakeWmiAccess& wmi) {
         EXPECT_EQ(Received(wmi, L"hDefKey"), L"VT 3 -2147483647");
         EXPECT_EQ(Received(wmi, L"uValue"), L"array of 17 [0,255]");
       }},
      {L"/namespace:\\\\root\\default path StdRegProv call SetBinaryValue 1,\"S\",\"v\",(&h100)", Registry, L"",
       L"Node - HOST1\r\nERROR:\r\nDescription = uValue[0] takes uint8; &h100 is out of its range.\r\n", 1,
       [](FakeWmiAccess& wmi) { EXPECT_TRUE(wmi.executed.empty()); }},
      {L"/namespace:\\\\root\\Microsoft\\Windows\\Defender class MSFT_MpPreference call Add ExclusionPath=\"C:\\x\"",
       [](FakeWmiAccess& wmi) {
         Declare(AddMethodReturningZero(wmi, L"MSFT_MpPreference", L"Add"), L"ExclusionPath",
                 CIM_STRING | CIM_FLAG_ARRAY, L"string");
       },
       Executed(L"MSFT_MpPreference", L"Add", terminated), L"", 0,
       [](FakeWmiAccess& wmi) {
         // Built as the array, not left to WMI.
         ASSERT_EQ(wmi.puts.size(), 1u);
         EXPECT_EQ(Shown(wmi.puts[0].value.get()), L"array of 8 [C:\\x]");
         EXPECT_EQ(Received(wmi, L"ExclusionPath"), L"array of 8 [C:\\x]");
       }},
      {L"nicconfig where index=7 call SetDNSServerSearchOrder (\"8.8.8.8\"", OneAdapter, L"",
       L"A list of values opened with ( is not closed.\r\n", kCannotRun,
       [](FakeWmiAccess& wmi) { EXPECT_TRUE(wmi.log.empty()); }},
      // A WMI strict about VARIANT types, as Wine's is, refuses the type each
      // integer is documented to travel as; the exact type is put next.
      {L"nicconfig where index=7 call SetGateways (\"192.168.1.1\"),(1)",
       [](FakeWmiAccess& wmi) {
         OneAdapter(wmi);
         wmi.exactIntegerTypes = true;
       },
       Executed(kAdapter, L"SetGateways", terminated), L"", 0,
       [](FakeWmiAccess& wmi) { EXPECT_EQ(Received(wmi, L"GatewayCostMetric"), L"array of 18 [1]"); }},
      {L"process 1936 call terminate &h1F",
       [](FakeWmiAccess& wmi) {
         OneProcess(wmi);
         wmi.exactIntegerTypes = true;
       },
       Executed(kFirst, L"terminate", terminated), L"", 0,
       [](FakeWmiAccess& wmi) {
         ASSERT_EQ(wmi.executed.size(), 1u);
         EXPECT_EQ(Shown(wmi.puts.back().value.get()), L"VT 19 31");
       }},
      {L"process 1936 set Priority=32",
       [](FakeWmiAccess& wmi) {
         OneProcess(wmi);
         wmi.exactIntegerTypes = true;
       },
       L"Updating property(s) of '" + kFirst + L"'\r\nProperty(s) update successful.\r\n", L"", 0,
       [](FakeWmiAccess& wmi) {
         ASSERT_EQ(wmi.written.size(), 1u);
         EXPECT_EQ(Shown(wmi.puts.back().value.get()), L"VT 19 32");
       }},
      {L"path Win32_PageFileSetting create Name=\"C:\\pagefile.sys\",InitialSize=1024",
       [](FakeWmiAccess& wmi) {
         wmi.AddClass(L"Win32_PageFileSetting").Add(L"Name", NullValue()).Add(L"InitialSize", NullValue(), CIM_UINT32);
         wmi.exactIntegerTypes = true;
       },
       L"Instance creation successful.\r\n", L"", 0,
       [](FakeWmiAccess& wmi) {
         ASSERT_EQ(wmi.written.size(), 1u);
         EXPECT_EQ(Shown(wmi.puts.back().value.get()), L"VT 19 1024");
       }},
      // A method name as the verb.
      {L"process 1936 terminate", OneProcess, Executed(kFirst, L"terminate", terminated), L"", 0, nullptr},
      // The quote after a backslash closes the value; the method and a
      // path's class print as typed, but for the verbs an alias defines.
      {L"shadowcopy call create Volume=\"C:\\\"", ShadowCopyClass,
       Executed(L"Win32_ShadowCopy", L"create", terminated), L"", 0,
       [](FakeWmiAccess& wmi) {
         ASSERT_EQ(wmi.executed.size(), 1u);
         EXPECT_EQ(TextOf(*wmi.executed[0].inputs, L"Volume"), L"C:\\");
       }},
      {L"path win32_shadowcopy call CREATE 'ClientAccessible','D:\\'", ShadowCopyClass,
       Executed(L"win32_shadowcopy", L"CREATE", terminated), L"", 0,
       [](FakeWmiAccess& wmi) {
         ASSERT_EQ(wmi.executed.size(), 1u);
         EXPECT_EQ(TextOf(*wmi.executed[0].inputs, L"Context"), L"ClientAccessible");
         EXPECT_EQ(TextOf(*wmi.executed[0].inputs, L"Volume"), L"D:\\");
       }},
      {L"process \"1936\" call Terminate", OneProcess, Executed(kFirst, L"Terminate", terminated), L"", 0,
       [](FakeWmiAccess& wmi) {
         EXPECT_EQ(wmi.executedQuery, L"SELECT * FROM Win32_Process WHERE ProcessId='1936'");
       }},
      // WMI refusing the second of two: its block, and the first stays done.
      {L"process call terminate", [](FakeWmiAccess& wmi) {
         TwoProcesses(wmi);
         wmi.FailAt(WmiOp::ExecMethod, 2, WBEM_E_ACCESS_DENIED);
       },
       Executed(kFirst, L"terminate", terminated) + L"Executing (" + kSecond + L")->terminate()\r\n",
       L"Node - HOST1\r\nERROR:\r\nDescription = Access denied\r\n", static_cast<int>(WBEM_E_ACCESS_DENIED),
       nullptr},
      // The method's own HRESULT is the exit code, the first of several, as
      // activation scripts test it (0xC004F074 is -1073418124).
      {L"process call terminate", [](FakeWmiAccess& wmi) {
         TwoProcesses(wmi);
         wmi.FailAt(WmiOp::ExecMethod, 1, 0xC004F074);
         wmi.FailAt(WmiOp::ExecMethod, 2, 0xC004F035);
       },
       L"Executing (" + kFirst + L")->terminate()\r\nExecuting (" + kSecond + L")->terminate()\r\n",
       L"Node - HOST1\r\nERROR:\r\nDescription = " + WmicErrorDescription(static_cast<HRESULT>(0xC004F074)) +
           L"\r\nNode - HOST1\r\nERROR:\r\nDescription = " +
           WmicErrorDescription(static_cast<HRESULT>(0xC004F035)) + L"\r\n",
       -1073418124, nullptr},
      // A method that runs and says it failed is a success to wmic.
      {L"process 1936 call terminate", [](FakeWmiAccess& wmi) {
         OneProcess(wmi);
         wmi.AddMethod(L"Win32_Process", L"Terminate").run = [](const FakeObject&) {
           return std::optional<FakeObject>(ReturnValue(2));
         };
       },
       Executed(kFirst, L"terminate", L"\tReturnValue = 2;\r\n"), L"", 0, nullptr},
      // set: the values by CIM type, one PutInstance an object that only
      // updates; one refused, the next still written.
      {L"process where name=\"a.exe\" set Priority=&H20", [](FakeWmiAccess& wmi) {
         TwoProcesses(wmi);
         wmi.FailAt(WmiOp::PutInstance, 1, WBEM_E_ACCESS_DENIED);
       },
       L"Updating property(s) of '" + kFirst + L"'\r\nUpdating property(s) of '" + kSecond +
           L"'\r\nProperty(s) update successful.\r\n",
       L"Node - HOST1\r\nERROR:\r\nDescription = Access denied\r\n", static_cast<int>(WBEM_E_ACCESS_DENIED),
       [](FakeWmiAccess& wmi) {
         ASSERT_EQ(wmi.written.size(), 1u);
         EXPECT_EQ(TextOf(wmi.written[0], L"Priority"), L"32");
         EXPECT_EQ(wmi.putInstanceFlags, WBEM_FLAG_UPDATE_ONLY);
       }},
      {L"process set Priority=-1", OneProcess, L"",
       L"Node - HOST1\r\nERROR:\r\nDescription = Priority takes uint32; -1 is out of its range.\r\n", 1,
       [](FakeWmiAccess& wmi) { EXPECT_TRUE(wmi.written.empty()); }},
      // delete: each object by its path.
      {L"process 1936 delete", TwoProcesses,
       L"Deleting instance " + kFirst + L"\r\nInstance deletion successful.\r\nDeleting instance " + kSecond +
           L"\r\nInstance deletion successful.\r\n",
       L"", 0,
       [](FakeWmiAccess& wmi) {
         EXPECT_EQ(wmi.deleted, (std::vector<std::wstring>{L"\\\\PC7\\root\\cimv2:Win32_Process.Handle=\"1936\"",
                                                           L"\\\\PC7\\root\\cimv2:Win32_Process.Handle=\"2048\""}));
         EXPECT_EQ(wmi.deleteInstanceFlags, 0);
       }},
      {L"process where name=\"none.exe\" delete", [](FakeWmiAccess& wmi) { ProcessClass(wmi); }, L"", L"No Instance(s) Available.\r\n", 0, nullptr},
      // create: one new instance of the values given, which only creates.
      {L"environment create name=\"TEMP\"; variablevalue=\"NEW\"",
       [](FakeWmiAccess& wmi) {
         wmi.AddClass(L"Win32_Environment").Add(L"Name", NullValue()).Add(L"VariableValue", NullValue());
       },
       L"Instance creation successful.\r\n", L"", 0,
       [](FakeWmiAccess& wmi) {
         ASSERT_EQ(wmi.written.size(), 1u);
         EXPECT_EQ(TextOf(wmi.written[0], L"Name"), L"TEMP");
         EXPECT_EQ(TextOf(wmi.written[0], L"VariableValue"), L"NEW");
         EXPECT_EQ(wmi.putInstanceFlags, WBEM_FLAG_CREATE_ONLY);
       }},
      // /interactive:on with nothing to ask on changes nothing.
      {L"/interactive:on process 1936 delete", TwoProcesses, L"",
       L"/INTERACTIVE:ON needs a console to ask on: nothing was changed.\r\n", kCannotRun,
       [](FakeWmiAccess& wmi) { EXPECT_TRUE(wmi.log.empty()); }},
      {L"/interactive:on process 1936 delete /nointeractive", OneProcess,
       L"Deleting instance " + kFirst + L"\r\nInstance deletion successful.\r\n", L"", 0, nullptr},
  };
  for (const ChangeCase& row : cases) ExpectChange(row);
}

// What a batch file reads of `for /f "tokens=2 delims==; " %%a in ('wmic
// process call create ... ^| find "ProcessId"')`: the started process's id,
// as Windows writes it in the out-parameters' text (Wine writes 0 there).
TEST(WmicChange, ABatchFileReadsTheStartedProcesssIdFromTheOutParameters) {
  for (const LONG id : {752L, static_cast<LONG>(3000000000UL)}) {
    FakeWmiAccess wmi;
    ProcessClass(wmi);
    FakeMethod& create = wmi.AddMethod(L"Win32_Process", L"Create");
    create.run = [id](const FakeObject&) {
      FakeObject out = ReturnValue(0);
      out.Add(L"ProcessId", IntegerValue(VT_I4, id), CIM_UINT32);
      return std::optional<FakeObject>(out);
    };
    TestStreams streams;
    ASSERT_EQ(RunWmicMain(L"wmic process call create \"cmd.exe /c exit 0\"", wmi, streams, kThisMachine), 0);
    std::vector<std::wstring> read;
    const std::wstring& text = streams.out.Text();
    for (size_t start = 0; start < text.size();) {
      const size_t end = std::min(text.find(L"\r\n", start), text.size());
      const std::wstring line = text.substr(start, end - start);
      start = end + 2;
      if (line.find(L"ProcessId") == std::wstring::npos) continue;
      const size_t first = line.find_first_of(L"=; ");
      const size_t second = line.find_first_not_of(L"=; ", first);
      read.push_back(line.substr(second, line.find_first_of(L"=; ", second) - second));
    }
    EXPECT_EQ(read, std::vector<std::wstring>{std::to_wstring(static_cast<unsigned long>(id))}) << text;
  }
}

// /interactive:on asks before each change; anything but Y or N asks again,
// and the end of the input is a no.
TEST(WmicChange, InteractiveAsksBeforeEachChange) {
  const std::wstring question1 = L"Delete '" + kFirst + L"' (Y/N/?)?";
  const std::wstring question2 = L"Delete '" + kSecond + L"' (Y/N/?)?";
  const ChangeCase asked{L"/interactive:on process delete", TwoProcesses,
                         L"Deleting instance " + kSecond + L"\r\nInstance deletion successful.\r\n",
                         question1 + L"Y to go on, N to leave it as it is.\r\n" + question1 + question2, 0,
                         [](FakeWmiAccess& wmi) { EXPECT_EQ(wmi.deleted.size(), 1u); }};
  ExpectChange(asked, {L"x", L"n", L" y "}, true);
  const ChangeCase ended{L"/interactive:on process delete", TwoProcesses, L"", question1 + question2, 0,
                         [](FakeWmiAccess& wmi) { EXPECT_TRUE(wmi.deleted.empty()); }};
  ExpectChange(ended, {}, true);
  // A call the user refuses is never made, whatever the verb.
  const ChangeCase refusedCall{
      L"/interactive:on process call terminate", TwoProcesses,
      Executed(kSecond, L"terminate", L"\tReturnValue = 0;\r\n"),
      L"Execute (" + kFirst + L")->terminate() (Y/N/?)?Execute (" + kSecond + L")->terminate() (Y/N/?)?", 0,
      [](FakeWmiAccess& wmi) {
        ASSERT_EQ(wmi.executed.size(), 1u);
        EXPECT_EQ(wmi.executed[0].path, L"\\\\PC7\\root\\cimv2:Win32_Process.Handle=\"2048\"");
      }};
  ExpectChange(refusedCall, {L"N", L"y"}, true);
}

// wmic with nothing after its name reads one command a line; there, a
// change asks first unless told not to, and without a console changes
// nothing.
TEST(WmicRun, ThePromptRunsOneCommandALineUntilExitOrTheEndOfInput) {
  const std::wstring prompt = L"wmic:root\\cli>";
  const std::wstring table = L"Manufacturer  Name    \r\nWine          BIOS 1  \r\n\r\n";
  const std::wstring deleted = L"Deleting instance \\\\PC7\\ROOT\\CIMV2:Win32_Process.Handle=\"1936\"\r\n"
                               L"Instance deletion successful.\r\n";
  const std::wstring question = L"Delete '\\\\PC7\\ROOT\\CIMV2:Win32_Process.Handle=\"1936\"' (Y/N/?)?";
  const std::wstring noConsole = std::wstring(wmic_choices::kNoConsoleToAskText) + L"\r\n";
  const auto bios = [](FakeWmiAccess& wmi) { AddBios(wmi, L"BIOS 1"); };
  struct Case {
    std::function<void(FakeWmiAccess&)> fill;
    const wchar_t* started;
    std::vector<std::wstring> lines;
    bool console;
    std::wstring out;
    std::wstring errors;
    int exitCode;
    size_t deleted;
  };
  const Case cases[] = {
      {bios, L"", {}, false, prompt, L"", 0, 0},
      {bios, L"", {L"bios get Name"}, false, prompt + table + prompt, L"", 0, 0},
      {bios, L"", {L"  ", L"bios get Name", L"nosuch", L" EXIT ", L"bios get Name"}, false,
       prompt + prompt + table + prompt + prompt, L"nosuch - Alias not found.\r\n", kCannotRun, 0},
      {bios, L"", {L"nosuch", L"bios get Name", L"quit"}, false, prompt + prompt + table + prompt,
       L"nosuch - Alias not found.\r\n", 0, 0},
      {OneProcess, L"", {L"process 1936 delete"}, false, prompt + prompt, noConsole, kCannotRun, 0},
      {OneProcess, L"", {L"process 1936 delete", L"y"}, true, prompt + deleted + prompt, question, 0, 1},
      {OneProcess, L"", {L"process 1936 delete", L"n"}, true, prompt + prompt, question, 0, 0},
      {OneProcess, L"", {L"process 1936 delete /nointeractive"}, false, prompt + deleted + prompt, L"", 0, 1},
      {OneProcess, L"", {L"/interactive:off process 1936 delete"}, false, prompt + deleted + prompt, L"", 0, 1},
      {OneProcess, L" /interactive:off", {L"process 1936 delete"}, false, prompt + deleted + prompt, L"", 0, 1},
      {OneProcess, L" /interactive:off", {L"/interactive:on process 1936 delete"}, false, prompt + prompt, noConsole,
       kCannotRun, 0},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.lines.empty() ? row.started : row.lines.front().c_str());
    FakeWmiAccess wmi;
    row.fill(wmi);
    TestStreams streams;
    streams.lines = row.lines;
    streams.console = row.console;
    EXPECT_EQ(RunWmicMain(std::wstring(L"C:\\wbem\\wmic.exe") + row.started, wmi, streams, kThisMachine),
              row.exitCode);
    EXPECT_EQ(streams.out.Text(), row.out);
    EXPECT_EQ(streams.errors.Text(), row.errors);
    EXPECT_EQ(wmi.deleted.size(), row.deleted);
  }
}

// `call /?` reads the class's definition: its methods, each parameter in the
// order a value given by position fills it.
TEST(WmicRun, CallHelpListsTheMethodsAndTheirParameters) {
  const std::wstring shadowCopy =
      L"Methods of Win32_ShadowCopy; values given by position fill the [IN ] parameters in this order.\r\n\r\n"
      L"Call    [ In/Out ]Params&type  Status\r\n"
      L"====    =====================  ======\r\n"
      L"Create  [IN ]Context(string)   Static\r\n"
      L"        [IN ]Volume(string)\r\n"
      L"        [OUT]ShadowID(string)\r\n"
      L"Revert\r\n"
      L"\r\n";
  const ChangeCase cases[] = {
      {L"shadowcopy call /?", ShadowCopyClass, shadowCopy, L"", 0, nullptr},
      // The class as WMI spells it, read on this machine.
      {L"/node:PC9 path win32_shadowcopy call /?", ShadowCopyClass, shadowCopy, L"", 0,
       [](FakeWmiAccess& wmi) { EXPECT_EQ(wmi.connectedNamespace, L"root\\cimv2"); }},
      {L"path Win32_Nonesuch call /?", ShadowCopyClass, L"", L"Node - HOST1\r\nERROR:\r\nDescription = Not found\r\n",
       static_cast<int>(WBEM_E_NOT_FOUND), nullptr},
  };
  for (const ChangeCase& row : cases) {
    SCOPED_TRACE(row.arguments);
    FakeWmiAccess wmi;
    row.fill(wmi);
    TestStreams streams;
    EXPECT_EQ(RunWmicMain(L"wmic " + row.arguments, wmi, streams, kThisMachine), row.exitCode);
    EXPECT_EQ(streams.out.Text(), row.out);
    EXPECT_EQ(streams.errors.Text(), row.errors);
    EXPECT_FALSE(streams.changeMessages);
    if (row.check) row.check(wmi);
  }
}

// Machines are changed one at a time, in their order; a failing one prints
// its block and the others go on.
TEST(WmicChange, MachinesAreChangedOneAtATimeInTheirOrder) {
  FakeWmiAccess wmi;
  TwoProcesses(wmi);
  wmi.Machine(L"PC2").FailAt(WmiOp::ConnectServer, 1, HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE));
  TestStreams streams;
  EXPECT_EQ(RunWmicMain(L"wmic /node:PC1,PC2,PC3 process 1936 delete", wmi, streams, kThisMachine),
            static_cast<int>(HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE)));
  const std::wstring done = L"Deleting instance " + kFirst + L"\r\nInstance deletion successful.\r\nDeleting instance " +
                            kSecond + L"\r\nInstance deletion successful.\r\n";
  EXPECT_EQ(streams.out.Text(), done + done);
  EXPECT_EQ(streams.errors.Text(), L"Node - PC2\r\nERROR:\r\nDescription = " +
                                       WmicErrorDescription(HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE)) + L"\r\n");
  EXPECT_EQ(wmi.MostMachinesAtWork(), 1);
  EXPECT_EQ(wmi.Machine(L"PC1").deleted.size(), 2u);
  EXPECT_EQ(wmi.Machine(L"PC3").deleted.size(), 2u);
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
