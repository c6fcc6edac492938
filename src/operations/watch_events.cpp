#include "operations/watch_events.h"

#include <windows.h>

#include "base/run_settings.h"
#include "base/stop_request.h"
#include "operations/wmi_arguments.h"
#include "render/layout.h"
#include "render/object_printer.h"

namespace {

int ReportQuiet(const RunSettings& settings, Layout& layout) {
  PrintError(layout, L"ERROR: No event came within %d seconds.\r\n", settings.timeoutSeconds);
  return 1;
}

// With COM started: everything held here is released before it stops.
int WatchWithComStarted(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const wchar_t* nameSpace,
                        const wchar_t* query, StopRequest& stop, const MachineConnection* machine) {
  WmiLocator locator;
  WmiServices services;
  if (ConnectToNamespace(wmi, settings, layout, nameSpace, machine, locator, services) != 0) return 1;
  WmiEnumerator events;
  HRESULT hr = wmi.ExecNotificationQuery(services, kQueryLanguage, query, kNotificationQueryFlags, events);
  if (FAILED(hr)) {
    return ReportFailure(layout, L"ERROR: Failed to execute notification query. Error code = 0x%x\r\n", hr);
  }
  // From here on only a stop request ends the watch. Until now Ctrl+C has
  // ended the process, as it does any run: a connection that hangs is not
  // left to be stopped by slices that never come.
  stop.Arm();
  if (BlanketEnumerator(wmi, layout, events, machine) != 0) return 1;

  const bool listLayout = settings.formatCsv == 0 && settings.formatJson == 0;
  const ULONGLONG quietLimitMs = static_cast<ULONGLONG>(settings.timeoutSeconds) * 1000;
  ULONGLONG lastEventAt = GetTickCount64();
  long long shown = 0;
  for (;;) {
    if (stop.Requested()) return 0;
    if (layout.OutputLost(false)) return 1;
    ULONG sliceMs = kWatchSliceMs;
    if (quietLimitMs > 0) {
      const ULONGLONG quiet = GetTickCount64() - lastEventAt;
      if (quiet >= quietLimitMs) return ReportQuiet(settings, layout);
      if (quietLimitMs - quiet < sliceMs) sliceMs = static_cast<ULONG>(quietLimitMs - quiet);
    }
    WmiObject event;
    ULONG returned = 0;
    hr = wmi.Next(events, event, returned, sliceMs);
    if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to get next event. Error code = 0x%x\r\n", hr);
    if (hr == static_cast<HRESULT>(WBEM_S_TIMEDOUT)) continue;
    // An event enumerator has no end; one that says it has would otherwise
    // be asked again and again without a pause.
    if (returned == 0 || !event) {
      PrintError(layout, L"ERROR: The events ended before the watch did.\r\n");
      return 1;
    }
    lastEventAt = GetTickCount64();
    if (listLayout) PrintLine(layout, L"\r\n");
    if (PrintObjectProperties(wmi, settings, layout, event) != 0) return 1;
    // Seen the moment it came, by a script reading the pipe too.
    if (layout.OutputLost(true)) return 1;
    if (settings.count > 0 && ++shown >= settings.count) return 0;
  }
}

}  // namespace

int WatchEvents(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const wchar_t* nameSpace,
                const wchar_t* query, StopRequest& stop, const MachineConnection* machine) {
  if (StartCom(wmi, layout, machine ? nullptr : &kComSecurity) != 0) return 1;
  const int result = WatchWithComStarted(wmi, settings, layout, nameSpace, query, stop, machine);
  wmi.UninitializeCom();
  return result;
}
