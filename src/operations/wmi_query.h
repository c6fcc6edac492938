// Connects to WMI, runs the query and applies GET, SET or CALL to every result.
#pragma once

#include "wmi/wmi_access.h"

class Layout;
struct RunSettings;

// Whether WmiQuery sets the process's COM security itself, or a run over
// several machines has done so once, before any of its threads started.
enum class ComSecurity { SetHere, SetAlready };

// Starts COM on this thread, and with SetHere also sets the process's COM
// security. Returns 0, or 1 with the failure printed and COM stopped again.
int StartCom(WmiAccess& wmi, Layout& layout, ComSecurity security);

// Returns 0 when every result was handled, 1 when a step failed (its message
// is already printed).
int WmiQuery(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const wchar_t* nameSpace,
             const wchar_t* query, ComSecurity security = ComSecurity::SetHere);

// The per-result operations. Each prints its own messages and returns 0 on
// success, 1 on failure; none of them releases the object it is given.
int CallMethodOnObject(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services,
                       const WmiObject& object);
int SetPropertyOnObject(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services,
                        const WmiObject& object);
