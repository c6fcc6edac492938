#include "wmi/wmi_query.h"

#include "cli/output.h"
#include "cli/run_settings.h"
#include "render/object_printer.h"

namespace {

int ApplyOperation(WmiAccess& wmi, const WmiServices& services, const WmiObject& object) {
  const RunSettings& settings = Settings();
  switch (settings.argFUNC) {
    case Operation::CALL:
      return CallMethodOnObject(wmi, services, object);
    case Operation::SET:
      return SetPropertyOnObject(wmi, services, object);
    case Operation::GET:
      break;
  }
  if (settings.debugDisplay) Print(L"INFO: Start GET method.\r\n");
  return PrintObjectProperties(wmi, object);
}

// Everything that needs COM, with every interface held in a scope that ends
// before COM is uninitialised.
int QueryWithComStarted(WmiAccess& wmi, const wchar_t* nameSpace, const wchar_t* query) {
  HRESULT hr = wmi.InitializeSecurity();
  if (FAILED(hr)) return ReportFailure(L"ERROR: Failed to initialize security. Error code = 0x%x\r\n", hr);

  WmiLocator locator;
  hr = wmi.CreateLocator(locator);
  if (FAILED(hr)) return ReportFailure(L"ERROR: Failed to create IWbemLocator object. Error code = 0x%x\r\n", hr);

  WmiServices services;
  hr = wmi.ConnectServer(locator, nameSpace, services);
  if (FAILED(hr)) return ReportFailure(L"ERROR: Failed to connect. Error code = 0x%x\r\n", hr);

  hr = wmi.SetProxyBlanket(services);
  if (FAILED(hr)) return ReportFailure(L"ERROR: Failed to set proxy blanket. Error code = 0x%x\r\n", hr);

  WmiEnumerator results;
  hr = wmi.ExecQuery(services, query, results);
  if (FAILED(hr)) return ReportFailure(L"ERROR: Failed to execute query. Error code = 0x%x\r\n", hr);

  const bool listLayout = Settings().formatCsv == 0;
  for (;;) {
    if (listLayout) Print(L"\r\n");
    WmiObject object;
    ULONG returned = 0;
    hr = wmi.Next(results, object, returned);
    // A failing Next is how Windows reports a bad query or an unknown class;
    // it is not the end of the results.
    if (FAILED(hr)) return ReportFailure(L"ERROR: Failed to get next object. Error code = 0x%x\r\n", hr);
    if (returned == 0 || !object) break;
    if (ApplyOperation(wmi, services, object) != 0) return 1;
  }
  return 0;
}

}  // namespace

int WmiQuery(WmiAccess& wmi, const wchar_t* nameSpace, const wchar_t* query) {
  if (Settings().debugDisplay) Print(L"INFO: Function WmiQuery starts.\r\n");
  const HRESULT hr = wmi.InitializeCom();
  if (FAILED(hr)) return ReportFailure(L"ERROR: Failed to initialize COM library. Error code = 0x%x\r\n", hr);
  const int result = QueryWithComStarted(wmi, nameSpace, query);
  wmi.UninitializeCom();
  return result;
}
