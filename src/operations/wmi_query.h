// Connects to WMI, runs the query and applies GET, SET or CALL to every result.
#pragma once

#include "wmi/wmi_access.h"

class Layout;
struct RunSettings;

// How a run over several machines reaches one of them: as whom, and the
// blanket for the services proxy and every enumerator. Its process's COM
// security is set once, before any machine's thread starts.
struct MachineConnection {
  ConnectCredentials credentials;
  ProxyBlanketArguments blanket;
};

// Starts COM on this thread and, given `security`, sets the process's COM
// security. Returns 0, or 1 with the failure printed and COM stopped again.
int StartCom(WmiAccess& wmi, Layout& layout, const ComSecurityArguments* security);

// Returns 0 when every result was handled, 1 when a step failed (its message
// is already printed). Without `machine`, a run on this machine alone.
int WmiQuery(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const wchar_t* nameSpace,
             const wchar_t* query, const MachineConnection* machine = nullptr);

// The steps every run on a namespace starts with: the locator, the
// connection and the services proxy's blankets. Returns 0, or 1 with the
// failure printed.
int ConnectToNamespace(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const wchar_t* nameSpace,
                       const MachineConnection* machine, WmiLocator& locator, WmiServices& services);
// On a machine of a run over several, an enumerator's proxy takes the
// machine's blanket before its first Next. Returns 0, or 1 with the failure
// printed.
int BlanketEnumerator(WmiAccess& wmi, Layout& layout, const WmiEnumerator& results, const MachineConnection* machine);

// The per-result operations. Each prints its own messages and returns 0 on
// success, 1 on failure; none of them releases the object it is given.
int CallMethodOnObject(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services,
                       const WmiObject& object);
// A static method belongs to its class: called on each result of a query it
// would run once per result, or, on a class without instances, not at all.
// Returns 1 with the refusal printed when the method of a query's CALL is one.
int RefuseStaticMethodOfQuery(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services);
// CALL of a static method, once, on the class named by /class:.
int CallMethodOnClass(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services);
int SetPropertyOnObject(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services,
                        const WmiObject& object);
int DeleteObject(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services,
                 const WmiObject& object);
// CREATE: one new instance of the class, of the values given as text.
int CreateInstance(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services);
