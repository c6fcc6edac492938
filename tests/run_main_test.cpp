#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "cli/run_main.h"
#include "base/output.h"
#include "base/run_settings.h"
#include "support/fake_wmi_access.h"
#include "support/run_capture.h"
#include "support/values.h"

namespace {

size_t CountLines(const std::wstring& text) {
  size_t lines = 0;
  for (size_t at = text.find(L"\r\n"); at != std::wstring::npos; at = text.find(L"\r\n", at + 2)) ++lines;
  return lines;
}

std::wstring UsageText() {
  FakeWmiAccess wmi;
  return RunTollix(wmi, {L"/?"}).output;
}

TEST(RunMain, HelpPrintsTheUsageTextExactlyAndRunsNothing) {
  FakeWmiAccess wmi;
  const RunResult run = RunTollix(wmi, {L"/wql:select * from win32_bios", L"/?"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(wmi.log.empty());
  const std::wstring& usage = run.output;
  // This test program carries no version resource.
  EXPECT_EQ(usage.rfind(L"Tollix.exe Unkonwn, Veltra Quorin WMI console tool.\r\nUsage: Tollix [arguments...] \r\n", 0), 0u);
  EXPECT_EQ(CountLines(usage), 48u);
  // The switches added since the first release follow the /format: line, and
  // their examples follow the last of the first release's.
  EXPECT_NE(usage.find(L"(Default: list) \r\n     /format:json       Show each result as one line of JSON (JSON Lines). \r\n"
                       L"     /node:             Run on these machines: NAME1,NAME2 or @FILE with one name a line. \r\n"
                       L"     /throttle:         Machines worked on at once with /node:. (Default: 32) \r\n"
                       L"     /timeout:          Seconds to wait for a machine to connect or send a result. (Default: no limit) \r\n"
                       L"     /describe          Show the properties and methods of the query's class. \r\n"
                       L"     /params:           Named, typed values for /call: or /set:, as one JSON object or @FILE. \r\n"
                       L"     /user:             Reach the /node: machines as this account: DOMAIN\\user. \r\n"
                       L"     /password:         The password of /user:; asked for when left out. \r\n"
                       L"     /class:            In place of /WQL: call a static method on this class once, or describe it. \r\n"
                       L"     /whatif            Show what /set: or /call: would change, and change nothing. \r\n"
                       L"     /watch             Show the events of an event query as they come, until Ctrl+C. \r\n"
                       L"     /count:            With /watch: stop after this many events (on each machine). \r\n"
                       L"\r\n  Example of query:\r\n"),
            std::wstring::npos);
  EXPECT_NE(usage.find(L"/args:\"10,1000\" \r\n\r\n  Example of JSON and of many machines:\r\n"), std::wstring::npos);
  EXPECT_NE(usage.find(L"     /namespace: Optional, indicate the namespace. (Default: root\\cimv2) \r\n"), std::wstring::npos);
  EXPECT_NE(usage.find(L"InstanceName like 'DISPLAY\\\\%%'\" /call:\"WmiGetMonitorRawEEdidV1Block\" /args:\"0\" /HexMatrix \r\n"),
            std::wstring::npos);
  EXPECT_NE(usage.find(L"InstanceName='DISPLAY\\\\CMN13A8\\\\5&92cad76&0&UID256_0'\" /call:\"WmiSetBrightness\" /args:\"10,1000\" \r\n"),
            std::wstring::npos);
  EXPECT_EQ(usage.substr(usage.size() - 2), L"\r\n");
}

TEST(RunMain, IncompleteRequestsAreRefusedBeforeAnythingRuns) {
  struct Case {
    std::vector<std::wstring> arguments;
    std::wstring output;
    int exitCode = 1;
  };
  const std::wstring banner = Banner();
  const Case cases[] = {
      {{}, L"ERROR: /WQL is lost\r\n\r\n\r\n" + UsageText()},
      {{L"/hexmatrix", L"/format:csv", L"/wql:select * from x"}, L"ERROR: /hexmatrix is exclusive to /format:csv\r\n"},
      {{L"/wql:select * from x where name = '" + std::wstring(300, L'n') + L"'"},
       L"ERROR: The value of /wql: is longer than 259 characters.\r\n"},
      // Two refusals at once: the first in the documented order speaks.
      {{L"/hexmatrix", L"/format:csv", L"/args:" + std::wstring(300, L'v')},
       L"ERROR: The value of /args: is longer than 259 characters.\r\n"},
      {{L"/hexmatrix", L"/format:csv"}, L"ERROR: /WQL is lost\r\n\r\n\r\n" + UsageText()},
      {{L"/hexmatrix", L"/format:csv", L"/wql:select * from x", L"/node:", L"/throttle:0"},
       L"ERROR: /hexmatrix is exclusive to /format:csv\r\n"},
      {{L"/wql:select * from x", L"/node:", L"/throttle:0"},
       L"ERROR: /throttle: takes a whole number from 1 to 1024.\r\n"},
      {{L"/wql:select * from x", L"/set:VolumeName"}, banner + L"ERROR: Name or New value is not defined for set.\r\n"},
      {{L"/wql:select * from x", L"/args:v"}, banner + L"\r\n", 0},  // a GET ignores /args:
      {{L"/wql:select volumename from win32_logicaldisk", L"/set:VolumeName", L"/args:NewLabel"},
       banner + L"ERROR: \"select * \" is MUST for /SET\r\n"},
      {{L"/wql:select * from x", L"/call:Reset"},
       banner + L"ERROR: Method name or method argument is not defined for method call.\r\n"},
      {{L"/wql:select * from x", L"/call:", L"/args:1"},
       banner + L"ERROR: Method name or method argument is not defined for method call.\r\n"},
      {{L"/wql:select name from x", L"/call:Reset", L"/args:1"}, banner + L"ERROR: \"select * \" is MUST for /CALL\r\n"},
  };
  for (const Case& c : cases) {
    FakeWmiAccess wmi;
    const RunResult run = RunTollix(wmi, c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.output;
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(wmi.log.empty(), c.exitCode == 1) << c.output;
  }
}

TEST(RunMain, AnalyzeQueryCutsClassNameAndSelectList) {
  struct Case {
    const wchar_t* query;
    const wchar_t* className;
    const wchar_t* columns;
    bool star;
  };
  const Case cases[] = {
      {L"select name from win32_process where handle = 4", L"win32_process", L"name", false},
      {L"select * from win32_bios", L"win32_bios", L"*", true},
      {L"select * from veltra_setroll where(shownix = 1)", L"veltra_setroll where(shownix = 1)", L"*", true},
      {L"select   a,b   from   c   where x = 1", L"c", L"a,b", false},
      {L"select a, * from c", L"c", L"a, *", true},
      {L"associators of {win32_bios}", L"", L"", false},
      {L"select *", L"", L"", false},
  };
  for (const Case& c : cases) {
    RunSettings settings;
    settings.argWQL = c.query;
    EXPECT_EQ(AnalyzeQuery(settings), c.star) << c.query;
    EXPECT_EQ(settings.argClassName, c.className) << c.query;
    EXPECT_EQ(settings.argSelectColumns, c.columns) << c.query;
  }
}

// The console gets pieces of at most 16,384 units, and a piece never ends
// between the halves of a character, whatever the console takes at a time.
TEST(RunMain, ConsoleWritesNeverSplitACharacter) {
  std::wstring text(16383, L'a');
  for (int i = 0; i < 20000; ++i) text += L"\U0001F600";
  for (size_t accepts : {size_t{16384}, size_t{5000}, size_t{1}}) {
    std::vector<std::wstring> pieces;
    const bool written = WriteConsolePieces(text, [&](std::wstring_view piece, size_t& taken) {
      EXPECT_LE(piece.size(), 16384u);
      EXPECT_FALSE(IS_HIGH_SURROGATE(piece.back())) << "piece " << pieces.size();
      taken = std::min(piece.size(), accepts);
      pieces.emplace_back(piece.substr(0, taken));
      return true;
    });
    EXPECT_TRUE(written);
    std::wstring joined;
    for (const std::wstring& piece : pieces) joined += piece;
    EXPECT_TRUE(joined == text) << accepts;
  }
  EXPECT_FALSE(WriteConsolePieces(text, [](std::wstring_view, size_t&) { return false; }));
}

TEST(RunMain, DebugEchoDefaultNamespaceAndSuccessLine) {
  FakeWmiAccess wmi;
  // A class that has the method, without instances.
  wmi.AddMethod(L"Win32_Process", L"Create");
  const RunResult run =
      RunTollix(wmi, {L"/wql:SELECT * FROM Win32_Process", L"/debugdisplay", L"/call:Create", L"/args:cmd /c exit"});
  EXPECT_EQ(run.exitCode, 0);
  const std::wstring expected = Banner() +
                                L"INFO: Namespace is not defined by argument, use default namespace.\r\n"
                                L"INFO: debug switch=[ON]\r\n"
                                L"INFO: show all properties=[OFF]\r\n"
                                L"INFO: argNamespace=[root\\cimv2]\r\n"
                                L"INFO: argWQL=[select * from win32_process]\r\n"
                                L"INFO: argWQL class name=[win32_process]\r\n"
                                L"INFO: argWQL select columns=[*]\r\n"
                                L"INFO: argFUNC=CALL, method name=Create, arguments=cmd /c exit\r\n"
                                L"INFO: Function WmiQuery starts.\r\n"
                                L"\r\n"
                                L"INFO: Success.\r\n";
  EXPECT_EQ(run.output, expected);
  EXPECT_EQ(wmi.connectedNamespace, L"root\\cimv2");
  EXPECT_EQ(wmi.executedQuery, L"select * from win32_process");
  // What is asked of COM and WMI, argument by argument.
  EXPECT_EQ(wmi.comConcurrency, DWORD{COINIT_MULTITHREADED});
  const ComSecurityArguments& security = wmi.comSecurity;
  EXPECT_EQ(std::make_tuple(security.authenticationServices, security.authenticationLevel,
                            security.impersonationLevel, security.capabilities),
            std::make_tuple(-1L, DWORD{RPC_C_AUTHN_LEVEL_CONNECT}, DWORD{RPC_C_IMP_LEVEL_IMPERSONATE}, DWORD{EOAC_NONE}));
  EXPECT_EQ(wmi.connectFlags, 0);
  const ProxyBlanketArguments& blanket = wmi.proxyBlanket;
  EXPECT_EQ(std::make_tuple(blanket.authenticationService, blanket.authorizationService, blanket.authenticationLevel,
                            blanket.impersonationLevel, blanket.capabilities),
            std::make_tuple(DWORD{RPC_C_AUTHN_WINNT}, DWORD{RPC_C_AUTHZ_NONE}, DWORD{RPC_C_AUTHN_LEVEL_CALL},
                            DWORD{RPC_C_IMP_LEVEL_IMPERSONATE}, DWORD{EOAC_NONE}));
  EXPECT_EQ(wmi.queryLanguage, L"WQL");
  EXPECT_EQ(wmi.queryFlags, 0x30);  // forward-only, return immediately

  FakeWmiAccess other;
  const RunResult set = RunTollix(other, {L"/wql:select * from x", L"/namespace:ROOT\\WMI", L"/debugdisplay",
                                          L"/showallproperties", L"/set:Name", L"/args:v"});
  EXPECT_NE(set.output.find(L"INFO: show all properties=[ON]\r\nINFO: argNamespace=[root\\wmi]\r\n"), std::wstring::npos);
  EXPECT_NE(set.output.find(L"INFO: argFUNC=SET, key=Name, arguments=v\r\n"), std::wstring::npos);
  EXPECT_EQ(set.output.find(L"use default namespace"), std::wstring::npos);
  EXPECT_EQ(other.connectedNamespace, L"root\\wmi");
}

}  // namespace
