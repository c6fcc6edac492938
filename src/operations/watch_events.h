// /watch: an event query whose events are printed as they come.
#pragma once

#include "operations/wmi_query.h"

class StopRequest;

// Watches `query` on one namespace: each event is printed whole and pushed
// out at once. The watch ends after settings.count events, on `stop`, when
// settings.timeoutSeconds pass without an event, or when the output fails.
// Returns 0 when it ended by count or on request, 1 otherwise (the failure
// is printed). `stop` is armed once the event enumerator exists. Without
// `machine`, a watch on this machine alone.
int WatchEvents(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const wchar_t* nameSpace,
                const wchar_t* query, StopRequest& stop, const MachineConnection* machine = nullptr);
