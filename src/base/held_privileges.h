// wmic enables every privilege its token holds before it connects: reading
// the Security event log or rebooting through WMI needs one that a token
// holds disabled.
#pragma once

#include <windows.h>

// Enables every privilege the process token holds. True when the token took
// the change, `error` NO_ERROR; or ERROR_NOT_ALL_ASSIGNED when the token
// reported some privilege not enabled. That is still success: each privilege
// asked for was read from the token itself, so one not assigned can only be
// one the token has lost since, and enabling what can be enabled is all
// that is wanted. False when the token cannot be opened, read or changed,
// `error` the system's code.
bool EnableHeldPrivileges(DWORD& error);
