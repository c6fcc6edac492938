#pragma once
#include <windows.h>
bool EnableHeldPrivileges(DWORD& error);
