// What Tollix asks of COM and WMI: every flag and fixed argument of the
// calls, in one place above the WmiAccess seam.
#pragma once

#include "base/run_settings.h"
#include "wmi/wmi_access.h"

// The run's threads join the process's multithreaded apartment.
inline constexpr DWORD kComConcurrency = COINIT_MULTITHREADED;

// Default authentication services, calls authenticated at connection, and
// servers allowed to impersonate the caller.
inline constexpr ComSecurityArguments kComSecurity = {-1, RPC_C_AUTHN_LEVEL_CONNECT, RPC_C_IMP_LEVEL_IMPERSONATE,
                                                      EOAC_NONE};

// The services proxy authenticates each call with NTLM/Kerberos (WINNT) and
// lets WMI impersonate the caller, which remote machines need.
inline constexpr ProxyBlanketArguments kProxyBlanket = {RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, RPC_C_AUTHN_LEVEL_CALL,
                                                        RPC_C_IMP_LEVEL_IMPERSONATE, EOAC_NONE};

// Results are walked once, as they arrive.
inline constexpr LONG kQueryFlags = WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY;
inline constexpr wchar_t kQueryLanguage[] = L"WQL";

// Events too are walked once, as they come, in the same language.
inline constexpr LONG kNotificationQueryFlags = WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY;

// A watch waits for its next event a slice at a time, and between slices sees
// whether it is to stop: a stop request is met within one slice.
inline constexpr ULONG kWatchSliceMs = 250;

// A bounded wait for a connection, and any connection of a watch, also asks
// WMI to give up within two minutes.
inline LONG ConnectFlags(bool bounded) { return bounded ? WBEM_FLAG_CONNECT_USE_MAX_WAIT : 0; }

// SET writes the object back whether or not WMI has it already.
inline constexpr LONG kPutInstanceFlags = WBEM_FLAG_CREATE_OR_UPDATE;

// Changes written as wmic writes them: SET only updates what is there,
// CREATE only makes what is not, and DELETE takes no flags.
inline constexpr LONG kUpdateOnlyFlags = WBEM_FLAG_UPDATE_ONLY;
inline constexpr LONG kCreateOnlyFlags = WBEM_FLAG_CREATE_ONLY;
inline constexpr LONG kDeleteInstanceFlags = 0;
// The output parameters as MOF text, without the flags that add qualifiers.
inline constexpr LONG kObjectTextFlags = 0;

// /describe walks every method of the class, those it inherits included.
inline constexpr LONG kMethodEnumerationFlags = 0;

// A run over several machines asks for packet privacy as the process default,
// so that activation meets servers hardened against anything less.
inline constexpr ComSecurityArguments kRemoteComSecurity = {-1, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                                                            RPC_C_IMP_LEVEL_IMPERSONATE, EOAC_NONE};

// Every proxy to a machine of such a run, the enumerators' included:
// Negotiate picks Kerberos where it can, everything that crosses the network
// is encrypted, and WMI may impersonate the caller. `identity` is a
// COAUTHIDENTITY, or null for the caller's own account.
inline ProxyBlanketArguments RemoteProxyBlanket(COAUTHIDENTITY* identity) {
  return {RPC_C_AUTHN_DEFAULT,         RPC_C_AUTHZ_DEFAULT, RPC_C_AUTHN_LEVEL_PKT_PRIVACY, RPC_C_IMP_LEVEL_IMPERSONATE,
          EOAC_NONE,                   COLE_DEFAULT_PRINCIPAL,
          identity != nullptr ? static_cast<void*>(identity) : COLE_DEFAULT_AUTHINFO};
}

// The levels a run asks for take the place of the blanket's own, lower ones
// included: what is asked for is what goes out.
inline ProxyBlanketArguments WithAskedLevels(ProxyBlanketArguments blanket, const RunSettings& settings) {
  if (settings.authenticationLevel) blanket.authenticationLevel = *settings.authenticationLevel;
  if (settings.impersonationLevel) blanket.impersonationLevel = *settings.impersonationLevel;
  return blanket;
}

// The strings of a COAUTHIDENTITY are UTF-16.
inline constexpr ULONG kIdentityFlags = SEC_WINNT_AUTH_IDENTITY_UNICODE;
