// Every privilege the process token holds, enabled as wmic does by default.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "base/held_privileges.h"
#include "base/output.h"
#include "cli/wmic/wmic_main.h"
#include "support/fake_wmi_access.h"

namespace {

// Read here on its own, not through the code under test.
std::vector<LUID_AND_ATTRIBUTES> PrivilegesOf(HANDLE token) {
  DWORD size = 0;
  GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size < offsetof(TOKEN_PRIVILEGES, Privileges) ||
      !GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size)) {
    ADD_FAILURE() << "the token's privileges cannot be read: " << GetLastError();
    return {};
  }
  const auto* const list = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
  const LUID_AND_ATTRIBUTES* const entries = list->Privileges;
  return std::vector<LUID_AND_ATTRIBUTES>(entries, entries + list->PrivilegeCount);
}

std::string NameOf(LUID luid) {
  char name[128] = {};
  DWORD size = sizeof(name);
  if (!LookupPrivilegeNameA(nullptr, &luid, name, &size)) return std::to_string(luid.LowPart);
  return name;
}

// Changes the test process's own token, which the other tests of this
// program share: its privileges are put back as they were.
class HeldPrivileges : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token_));
    found_ = PrivilegesOf(token_);
  }
  void TearDown() override {
    if (token_ == nullptr) return;
    if (!found_.empty()) {
      std::vector<BYTE> buffer(offsetof(TOKEN_PRIVILEGES, Privileges) + found_.size() * sizeof(LUID_AND_ATTRIBUTES));
      auto* const list = reinterpret_cast<TOKEN_PRIVILEGES*>(buffer.data());
      LUID_AND_ATTRIBUTES* const entries = list->Privileges;
      list->PrivilegeCount = static_cast<DWORD>(found_.size());
      for (size_t i = 0; i < found_.size(); ++i) {
        entries[i].Luid = found_[i].Luid;
        entries[i].Attributes = found_[i].Attributes & SE_PRIVILEGE_ENABLED;
      }
      EXPECT_TRUE(AdjustTokenPrivileges(token_, FALSE, list, 0, nullptr, nullptr));
    }
    CloseHandle(token_);
  }

  HANDLE token_ = nullptr;
  std::vector<LUID_AND_ATTRIBUTES> found_;
};

// From all disabled, so that what is enabled afterwards is the function's
// doing; the second call must neither fail nor take any privilege away.
TEST_F(HeldPrivileges, EveryOneTheTokenHoldsIsEnabledAndTheSecondCallChangesNothing) {
  ASSERT_TRUE(AdjustTokenPrivileges(token_, TRUE, nullptr, 0, nullptr, nullptr));
  const std::vector<LUID_AND_ATTRIBUTES> disabled = PrivilegesOf(token_);
  // Every token holds SeChangeNotifyPrivilege at least.
  ASSERT_FALSE(disabled.empty());
  for (const LUID_AND_ATTRIBUTES& privilege : disabled) {
    ASSERT_EQ(privilege.Attributes & SE_PRIVILEGE_ENABLED, 0u) << NameOf(privilege.Luid) << " not disabled first";
  }
  for (int call = 1; call <= 2; ++call) {
    SCOPED_TRACE("call " + std::to_string(call));
    DWORD error = ERROR_GEN_FAILURE;
    ASSERT_TRUE(EnableHeldPrivileges(error)) << error;
    // Only privileges the token holds are asked for, so none is refused.
    EXPECT_EQ(error, static_cast<DWORD>(NO_ERROR));
    const std::vector<LUID_AND_ATTRIBUTES> enabled = PrivilegesOf(token_);
    ASSERT_EQ(enabled.size(), disabled.size());
    for (size_t i = 0; i < enabled.size(); ++i) {
      SCOPED_TRACE(NameOf(disabled[i].Luid));
      EXPECT_EQ(enabled[i].Luid.LowPart, disabled[i].Luid.LowPart);
      EXPECT_EQ(enabled[i].Luid.HighPart, disabled[i].Luid.HighPart);
      EXPECT_NE(enabled[i].Attributes & SE_PRIVILEGE_ENABLED, 0u);
    }
  }
}

class NoStreams final : public WmicStreams {
 public:
  OutputSink& Output(bool) override { return out_; }
  OutputSink& Errors() override { return out_; }
  std::unique_ptr<OutputSink> OpenFile(const std::wstring&, bool, DWORD&) override { return nullptr; }
  bool AskPassword(std::wstring&) override { return false; }
  bool ReadLine(std::wstring&) override { return false; }
  void ChangeMessagesFollow() override {}
  bool CanAsk() override { return false; }

 private:
  BufferSink out_;
};

size_t EnabledCount(const std::vector<LUID_AND_ATTRIBUTES>& privileges) {
  size_t enabled = 0;
  for (const LUID_AND_ATTRIBUTES& privilege : privileges) {
    if ((privilege.Attributes & SE_PRIVILEGE_ENABLED) != 0) ++enabled;
  }
  return enabled;
}

// wmic's default, before it connects; /privileges:disable leaves them be.
TEST_F(HeldPrivileges, AWmicRunEnablesThemUnlessToldNotTo) {
  const struct {
    const wchar_t* commandLine;
    bool enabled;
  } cases[] = {
      {L"wmic /privileges:disable bios get Name", false},
      {L"wmic bios get Name", true},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.commandLine);
    ASSERT_TRUE(AdjustTokenPrivileges(token_, TRUE, nullptr, 0, nullptr, nullptr));
    FakeWmiAccess wmi;
    NoStreams streams;
    RunWmicMain(row.commandLine, wmi, streams, L"HOST1");
    const std::vector<LUID_AND_ATTRIBUTES> after = PrivilegesOf(token_);
    EXPECT_EQ(EnabledCount(after), row.enabled ? after.size() : 0u);
    EXPECT_EQ(wmi.Calls(WmiOp::ConnectServer), 1);
  }
}

}  // namespace
