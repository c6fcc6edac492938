// /user: and /password: with the in-memory WMI: who each machine is reached
// as, the blanket on every proxy, the refusals and the trace.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

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

void AddThings(FakeWmiAccess& wmi) {
  for (const wchar_t* id : {L"1", L"2"}) {
    wmi.AddResult(L"Win32_Thing", std::wstring(L"\\\\.\\root\\cimv2:Win32_Thing.Id=") + id)
        .Add(L"Name", StringValue(id));
  }
}

TEST(Credentials, ReachTheRemoteNamesAndNotThisMachineWithEveryProxyEncrypted) {
  const std::wstring local = ComputerName();
  const struct {
    std::wstring user;
    std::wstring identity;  // as the remote machines' proxies carry it
  } cases[] = {
      {L"CORP\\admin", L"user=admin domain=CORP password=given unicode"},
      {L"admin@corp.example", L"user=admin@corp.example domain=(null) password=given unicode"},
      {L".\\admin", L"user=admin domain=. password=given unicode"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.user.begin(), c.user.end()));
    FakeWmiAccess wmi;
    AddThings(wmi);
    const RunResult run = RunTollix(
        wmi, {kQuery, L"/node:pc1,.,LocalHost," + local + L",pc2", L"/user:" + c.user, L"/password:s3cret"});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.find(L"s3cret"), std::wstring::npos);
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

}  // namespace
