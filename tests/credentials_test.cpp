// /user: and /password: with the in-memory WMI: who each machine is reached
// as, the blanket on every proxy, the refusals and the trace; the names of
// this machine, and a password piped in.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/this_machine.h"
#include "cli/password_prompt.h"
#include "support/fake_wmi_access.h"
#include "support/run_capture.h"
#include "support/values.h"

namespace {

const std::wstring kQuery = L"/wql:select * from win32_thing";

std::wstring ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  GetComputerNameW(name, &size);
  return name;
}

std::wstring ComputerNameAs(COMPUTER_NAME_FORMAT format) {
  wchar_t name[256] = {};
  DWORD size = 256;
  if (!GetComputerNameExW(format, name, &size)) return L"";
  return std::wstring(name, size);
}

void AddThings(FakeWmiAccess& wmi) {
  for (const wchar_t* id : {L"1", L"2"}) {
    wmi.AddResult(L"Win32_Thing", std::wstring(L"\\\\.\\root\\cimv2:Win32_Thing.Id=") + id)
        .Add(L"Name", StringValue(id));
  }
}

TEST(Credentials, ReachTheRemoteNamesAndNotThisMachineWithEveryProxyEncrypted) {
  const std::wstring local = ComputerName();
  // The identity's password is checked against the one ConnectServer got.
  const struct {
    std::wstring user;
    std::wstring password;
    std::wstring timeout;   // a bounded connection goes out as the same account
    std::wstring identity;  // as the remote machines' proxies carry it
  } cases[] = {
      {L"CORP\\admin", L"s3cret", L"", L"user=admin domain=CORP password=given unicode"},
      {L"admin@corp.example", L"s3cret", L"", L"user=admin@corp.example domain=(null) password=given unicode"},
      {L".\\admin", L"s3cret", L"", L"user=admin domain=. password=given unicode"},
      {L"CORP\\admin", L"s3cret", L"/timeout:30", L"user=admin domain=CORP password=given unicode"},
      {L"CORP\\admin", L"p\u00e4ss w\u00f6rd\U0001F511", L"/timeout:30",
       L"user=admin domain=CORP password=given unicode"},
      {L"CORP\\admin", L"", L"", L"user=admin domain=CORP password=empty unicode"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.user.begin(), c.user.end()) << " "
                                    << std::string(c.timeout.begin(), c.timeout.end()));
    FakeWmiAccess wmi;
    AddThings(wmi);
    std::vector<std::wstring> arguments = {kQuery, L"/node:pc1,.,LocalHost," + local + L",pc2", L"/user:" + c.user,
                                           L"/password:" + c.password};
    if (!c.timeout.empty()) arguments.push_back(c.timeout);
    const RunResult run = RunTollix(wmi, arguments);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    if (!c.password.empty()) {
      EXPECT_EQ(run.output.find(c.password), std::wstring::npos);
    }
    EXPECT_EQ(wmi.comSecurity.authenticationLevel, static_cast<DWORD>(RPC_C_AUTHN_LEVEL_PKT_PRIVACY));
    for (const std::wstring& name : {std::wstring(L"pc1"), std::wstring(L"."), std::wstring(L"LocalHost"), local,
                                     std::wstring(L"pc2")}) {
      const bool remote = name == L"pc1" || name == L"pc2";
      FakeWmiAccess& machine = wmi.Machine(name);
      const std::wstring identity = remote ? c.identity : L"default";
      EXPECT_EQ(machine.connectedAs, remote ? L"user=" + c.user + L" password=given" : L"own account") << name;
      EXPECT_EQ(machine.servicesBlanketAs, identity) << name;
      EXPECT_EQ(machine.enumeratorBlanketsAs, std::vector<std::wstring>{identity}) << name;
      // The identity is still there when the last result is asked for.
      EXPECT_EQ(machine.lastNextAs, identity) << name;
      // Each proxy's IUnknown speaks as the account given, and is left alone
      // where the caller's own account is used.
      EXPECT_EQ(machine.servicesUnknownBlanketAs, remote ? c.identity : L"") << name;
      EXPECT_EQ(machine.enumeratorUnknownBlanketsAs, remote ? std::vector<std::wstring>{c.identity}
                                                            : std::vector<std::wstring>{})
          << name;
      // The IUnknown itself, not the interface proxy once more.
      const std::vector<std::wstring> remoteInterfaces = {L"IWbemServices", L"IUnknown of IWbemServices",
                                                          L"IEnumWbemClassObject", L"IUnknown of IEnumWbemClassObject"};
      const std::vector<std::wstring> localInterfaces = {L"IWbemServices", L"IEnumWbemClassObject"};
      EXPECT_EQ(machine.blanketsSetOn, remote ? remoteInterfaces : localInterfaces) << name;
      for (const ProxyBlanketArguments& blanket : {machine.proxyBlanket, machine.enumeratorBlankets.at(0)}) {
        EXPECT_EQ(blanket.authenticationService, static_cast<DWORD>(RPC_C_AUTHN_DEFAULT));
        EXPECT_EQ(blanket.authorizationService, static_cast<DWORD>(RPC_C_AUTHZ_DEFAULT));
        EXPECT_EQ(blanket.principal, COLE_DEFAULT_PRINCIPAL);
        EXPECT_EQ(blanket.authenticationLevel, static_cast<DWORD>(RPC_C_AUTHN_LEVEL_PKT_PRIVACY));
        EXPECT_EQ(blanket.impersonationLevel, static_cast<DWORD>(RPC_C_IMP_LEVEL_IMPERSONATE));
      }
    }
  }
  // A run on this machine alone keeps the blanket it has, and its enumerator
  // gets none.
  FakeWmiAccess wmi;
  AddThings(wmi);
  EXPECT_EQ(RunTollix(wmi, {kQuery}).exitCode, 0);
  EXPECT_EQ(wmi.proxyBlanket.authenticationService, static_cast<DWORD>(RPC_C_AUTHN_WINNT));
  EXPECT_EQ(wmi.proxyBlanket.authenticationLevel, static_cast<DWORD>(RPC_C_AUTHN_LEVEL_CALL));
  EXPECT_EQ(wmi.comSecurity.authenticationLevel, static_cast<DWORD>(RPC_C_AUTHN_LEVEL_CONNECT));
  EXPECT_TRUE(wmi.enumeratorBlankets.empty());
  EXPECT_EQ(wmi.connectedAs, L"own account");
  EXPECT_EQ(wmi.Calls(WmiOp::SetServicesUnknownBlanket) + wmi.Calls(WmiOp::SetEnumeratorUnknownBlanket), 0);
}

// An IUnknown left without the blanket would go out as the caller at its
// last Release: a machine where it cannot be set fails, and alone.
TEST(Credentials, AnUnknownThatTakesNoBlanketFailsItsMachine) {
  for (const WmiOp op : {WmiOp::QueryUnknown, WmiOp::SetServicesUnknownBlanket, WmiOp::SetEnumeratorUnknownBlanket}) {
    SCOPED_TRACE(WmiOpName(op));
    FakeWmiAccess wmi;
    AddThings(wmi);
    wmi.Machine(L"pc1").FailAt(op, 1, E_ACCESSDENIED);
    const RunResult run = RunTollix(wmi, {kQuery, L"/node:pc1,pc2", L"/user:CORP\\admin", L"/password:pw"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find(L"ERROR: Failed to set proxy blanket. Error code = 0x80070005\r\n"), std::wstring::npos)
        << run.output;
    EXPECT_EQ(run.output.substr(run.output.size() - 29), L"ERROR: 1 of 2 nodes failed.\r\n");
    EXPECT_EQ(wmi.Machine(L"pc1").Calls(WmiOp::Next), 0);
    EXPECT_EQ(wmi.Machine(L"pc1").LiveHandles(), 0);
    EXPECT_GT(wmi.Machine(L"pc2").Calls(WmiOp::Next), 0);
  }
}

TEST(Credentials, RefusalsAndTheTraceNeverShowThePassword) {
  const struct {
    std::vector<std::wstring> arguments;
    std::wstring error;
  } refused[] = {
      {{L"/user:CORP\\admin", L"/password:s3cret"}, L"ERROR: /user: and /password: need /node:"},
      {{L"/password:s3cret"}, L"ERROR: /user: and /password: need /node:"},
      {{L"/node:pc1", L"/password:s3cret"}, L"ERROR: /password: needs /user:"},
      {{L"/node:pc1", L"/user: "}, L"ERROR: /user: names no account"},
  };
  for (const auto& c : refused) {
    FakeWmiAccess wmi;
    ExpectRefusedBeforeAnythingRuns(wmi, kQuery, c.arguments, c.error);
  }
  for (const wchar_t* layout : {L"/format:list", L"/format:json"}) {
    FakeWmiAccess wmi;
    AddThings(wmi);
    wmi.Machine(L"pc2").FailAt(WmiOp::ConnectServer, 1, E_ACCESSDENIED);
    const RunResult run = RunTollix(
        wmi, {kQuery, L"/node:pc1,pc2", L"/user:CORP\\admin", L"/password:s3cret", L"/debugdisplay", layout});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find(L"user=[CORP\\"), std::wstring::npos) << run.output;
    EXPECT_NE(run.output.find(L"password=[given]"), std::wstring::npos);
    EXPECT_EQ(run.output.find(L"s3cret"), std::wstring::npos) << run.output;
  }
}

// Credentials are left out for every name of this machine, the fully
// qualified one included, which on a domain member is not its host name.
TEST(Credentials, ThisMachineGoesByEveryNameThePlatformGivesIt) {
  std::vector<std::wstring> expected = {L".", L"localhost"};
  for (COMPUTER_NAME_FORMAT format : {ComputerNameNetBIOS, ComputerNameDnsHostname, ComputerNameDnsFullyQualified}) {
    const std::wstring name = ComputerNameAs(format);
    if (!name.empty()) expected.push_back(name);
  }
  EXPECT_EQ(NamesOfThisMachine(), expected);
}

// Scripts pipe the password in. Only its first line is taken, without its
// line end, and nothing after it; wmic's prompt reads a pipe the same way.
TEST(Credentials, APipedPasswordIsTheFirstLineWithoutItsLineEnd) {
  const struct {
    std::string piped;
    bool read;
    std::wstring password;
    std::string left;  // what the next reader of the input gets
  } cases[] = {
      {"s3cret\r\nnext\n", true, L"s3cret", "next\n"},
      {"s3cret\nnext\n", true, L"s3cret", "next\n"},
      {"s3cret\r\r\n", true, L"s3cret\r", ""},
      {"\r\n", true, L"", ""},
      {"p\xc3\xa4ss w\xc3\xb6rd", true, L"p\u00e4ss w\u00f6rd", ""},  // the input ends the line
      {"", false, L"", ""},
  };
  const struct {
    const char* name;
    bool (*ask)(std::wstring& password);
  } prompts[] = {
      {"Tollix", [](std::wstring& password) { return AskPassword(L"CORP\\admin", password); }},
      {"wmic", [](std::wstring& password) { return AskPasswordShowingStars(L"Enter the password :", password); }},
  };
  const HANDLE standardInput = GetStdHandle(STD_INPUT_HANDLE);
  for (const auto& prompt : prompts) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(prompt.name) + ": " + c.piped);
      HANDLE readEnd = nullptr;
      HANDLE writeEnd = nullptr;
      ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 0));
      DWORD written = 0;
      if (!c.piped.empty()) {
        ASSERT_TRUE(WriteFile(writeEnd, c.piped.data(), static_cast<DWORD>(c.piped.size()), &written, nullptr));
      }
      CloseHandle(writeEnd);
      SetStdHandle(STD_INPUT_HANDLE, readEnd);
      std::wstring password = L"stale";
      const bool read = prompt.ask(password);
      SetStdHandle(STD_INPUT_HANDLE, standardInput);
      std::string left(64, '\0');
      DWORD got = 0;
      if (!ReadFile(readEnd, left.data(), static_cast<DWORD>(left.size()), &got, nullptr)) got = 0;
      left.resize(got);
      CloseHandle(readEnd);
      EXPECT_EQ(read, c.read);
      EXPECT_EQ(password, c.password);
      EXPECT_EQ(left, c.left);
    }
  }
}

}  // namespace
