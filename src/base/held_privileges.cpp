#include "base/held_privileges.h"

#include <cstddef>
#include <vector>

#include "base/owned_handle.h"

namespace {

// The size first, then the list; asked again should the token have gained a
// privilege in between.
bool ReadPrivileges(HANDLE token, std::vector<BYTE>& buffer, DWORD& error) {
  DWORD size = 0;
  if (GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size)) {
    // No list at all would have fitted in no room.
    error = ERROR_INVALID_DATA;
    return false;
  }
  for (int attempt = 0; attempt < 3; ++attempt) {
    error = GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER || size < offsetof(TOKEN_PRIVILEGES, Privileges)) return false;
    buffer.assign(size, 0);
    if (GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size)) {
      const DWORD count = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data())->PrivilegeCount;
      if (count > (buffer.size() - offsetof(TOKEN_PRIVILEGES, Privileges)) / sizeof(LUID_AND_ATTRIBUTES)) {
        error = ERROR_INVALID_DATA;
        return false;
      }
      error = NO_ERROR;
      return true;
    }
  }
  return false;
}

}  // namespace

bool EnableHeldPrivileges(DWORD& error) {
  OwnedHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Receive())) {
    error = GetLastError();
    return false;
  }
  std::vector<BYTE> buffer;
  if (!ReadPrivileges(token.Get(), buffer, error)) return false;
  // The buffer comes from operator new, aligned for any of the structure's
  // members.
  auto* const privileges = reinterpret_cast<TOKEN_PRIVILEGES*>(buffer.data());
  if (privileges->PrivilegeCount == 0) {
    error = NO_ERROR;
    return true;
  }
  // Exactly SE_PRIVILEGE_ENABLED: the attributes read back may carry
  // SE_PRIVILEGE_REMOVED, which as input would take the privilege away for
  // good, and the other flags mean nothing to AdjustTokenPrivileges.
  // The list runs past the one entry the structure declares.
  LUID_AND_ATTRIBUTES* const entries = privileges->Privileges;
  for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) entries[i].Attributes = SE_PRIVILEGE_ENABLED;
  if (!AdjustTokenPrivileges(token.Get(), FALSE, privileges, 0, nullptr, nullptr)) {
    error = GetLastError();
    return false;
  }
  // AdjustTokenPrivileges succeeds even when it enabled none of them; only
  // the last error tells.
  error = GetLastError();
  if (error != ERROR_NOT_ALL_ASSIGNED) error = NO_ERROR;
  return true;
}
