// How one machine of a run over several is reached: as whom, with which
// blanket.
#pragma once

#include <windows.h>

#include <string>

#include "base/run_settings.h"
#include "base/text.h"
#include "operations/wmi_arguments.h"
#include "operations/wmi_query.h"

// The account one machine is reached as. The COAUTHIDENTITY that its proxies
// point to lives as long as this object, which outlives them, and the copy
// of the password it holds is wiped when it goes.
class MachineAccount {
 public:
  // `local`: WMI refuses credentials for this machine, so it is reached as
  // the caller.
  MachineAccount(const RunSettings& settings, bool local) : settings_(settings) {
    if (local || !settings.userGiven) return;
    user_ = settings.argUser;
    password_ = settings.argPassword;
    // "DOMAIN\user" and ".\user" carry their domain; "user@domain" is whole.
    const size_t slash = user_.find(L'\\');
    name_ = slash == std::wstring::npos ? user_ : user_.substr(slash + 1);
    domain_ = slash == std::wstring::npos ? std::wstring() : user_.substr(0, slash);
    identity_.User = reinterpret_cast<USHORT*>(name_.data());
    identity_.UserLength = static_cast<ULONG>(name_.size());
    identity_.Domain = domain_.empty() ? nullptr : reinterpret_cast<USHORT*>(domain_.data());
    identity_.DomainLength = static_cast<ULONG>(domain_.size());
    identity_.Password = reinterpret_cast<USHORT*>(password_.data());
    identity_.PasswordLength = static_cast<ULONG>(password_.size());
    identity_.Flags = kIdentityFlags;
    hasIdentity_ = true;
  }
  ~MachineAccount() {
    WipeText(password_);
    SecureZeroMemory(&identity_, sizeof(identity_));
  }
  MachineAccount(const MachineAccount&) = delete;
  MachineAccount& operator=(const MachineAccount&) = delete;

  MachineConnection Connection() {
    MachineConnection connection{
        {}, WithAskedLevels(RemoteProxyBlanket(hasIdentity_ ? &identity_ : nullptr), settings_)};
    if (hasIdentity_) connection.credentials = {user_.c_str(), password_.c_str()};
    if (!settings_.argLocale.empty()) connection.credentials.locale = settings_.argLocale.c_str();
    return connection;
  }

 private:
  const RunSettings& settings_;
  std::wstring user_;
  std::wstring name_;
  std::wstring domain_;
  std::wstring password_;
  COAUTHIDENTITY identity_{};
  bool hasIdentity_ = false;
};
