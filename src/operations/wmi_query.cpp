#include "operations/wmi_query.h"

#include <string>
#include <vector>

#include "base/run_settings.h"
#include "operations/declared_schema.h"
#include "operations/describe_class.h"
#include "operations/wmi_arguments.h"
#include "render/layout.h"
#include "render/object_printer.h"

namespace {

int ApplyOperation(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services,
                   const WmiObject& object) {
  switch (settings.argFUNC) {
    case Operation::CALL:
      return CallMethodOnObject(wmi, settings, layout, services, object);
    case Operation::SET:
      return SetPropertyOnObject(wmi, settings, layout, services, object);
    case Operation::DELETE_INSTANCE:
      return DeleteObject(wmi, settings, layout, services, object);
    case Operation::CREATE_INSTANCE:  // made once, on the class
    case Operation::GET:
      break;
  }
  if (settings.debugDisplay) PrintInfo(layout, L"INFO: Start GET method.\r\n");
  return PrintObjectProperties(wmi, settings, layout, object);
}

constexpr wchar_t kBlanketFailed[] = L"ERROR: Failed to set proxy blanket. Error code = 0x%x\r\n";

int ReportTimeout(const RunSettings& settings, Layout& layout) {
  PrintError(layout, L"ERROR: Timed out after %d seconds.\r\n", settings.timeoutSeconds);
  return 1;
}

// An account given for the machine is the one every proxy's IUnknown must
// speak as too.
bool BlanketsTheUnknown(const MachineConnection* machine) {
  return machine != nullptr && machine->credentials.user != nullptr;
}

// The proxy's own IUnknown gets the proxy's blanket.
template <class Proxy>
HRESULT BlanketTheUnknown(WmiAccess& wmi, const Proxy& proxy, const ProxyBlanketArguments& blanket) {
  WmiUnknown unknown;
  HRESULT hr = wmi.QueryUnknown(proxy, unknown);
  if (SUCCEEDED(hr)) hr = wmi.SetUnknownBlanket(unknown, blanket);
  return hr;
}

}  // namespace

int ConnectToNamespace(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const wchar_t* nameSpace,
                       const MachineConnection* machine, WmiLocator& locator, WmiServices& services) {
  HRESULT hr = wmi.CreateLocator(locator);
  if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to create IWbemLocator object. Error code = 0x%x\r\n", hr);

  ConnectCredentials ownAccount;
  if (!settings.argLocale.empty()) ownAccount.locale = settings.argLocale.c_str();
  // A watch takes Ctrl+C only once its events flow, so until then nothing
  // but WMI itself can end a connection that hangs.
  const bool bounded = settings.timeoutSeconds > 0 || settings.watch != 0;
  hr = wmi.ConnectServer(locator, nameSpace, machine ? machine->credentials : ownAccount, ConnectFlags(bounded),
                         settings.TimeoutMs(), services);
  if (hr == static_cast<HRESULT>(WBEM_E_TIMED_OUT) && settings.timeoutSeconds > 0) {
    return ReportTimeout(settings, layout);
  }
  if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to connect. Error code = 0x%x\r\n", hr);

  const ProxyBlanketArguments blanket = machine ? machine->blanket : WithAskedLevels(kProxyBlanket, settings);
  hr = wmi.SetProxyBlanket(services, blanket);
  if (SUCCEEDED(hr) && BlanketsTheUnknown(machine)) hr = BlanketTheUnknown(wmi, services, blanket);
  if (FAILED(hr)) return ReportFailure(layout, kBlanketFailed, hr);
  return 0;
}

int BlanketEnumerator(WmiAccess& wmi, Layout& layout, const WmiEnumerator& results, const MachineConnection* machine) {
  if (!machine) return 0;
  HRESULT hr = wmi.SetEnumeratorBlanket(results, machine->blanket);
  if (SUCCEEDED(hr) && BlanketsTheUnknown(machine)) hr = BlanketTheUnknown(wmi, results, machine->blanket);
  if (FAILED(hr)) return ReportFailure(layout, kBlanketFailed, hr);
  return 0;
}

namespace {

// A CALL without a where: a static method is the class's. `hr` fails, with
// the failure printed, when the class cannot be read.
bool CallsTheClass(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services,
                   HRESULT& hr) {
  hr = S_OK;
  if (settings.argFUNC != Operation::CALL) return false;
  WmiObject classObject;
  hr = wmi.GetClass(services, settings.argClassName.c_str(), classObject);
  if (FAILED(hr)) {
    ReportFailure(layout, L"ERROR: Failed to get object. Error code = 0x%x\r\n", hr);
    return true;
  }
  if (MethodHas(wmi, classObject, settings.argMethodName, L"static")) return true;
  // Where WMI keeps no qualifiers (Wine's) nothing says whether the method is
  // static: called on the class once rather than on every instance, which
  // for a method such as Win32_Process.Create would mean once an instance.
  SafeArray list;
  std::vector<std::wstring> names;
  if (FAILED(wmi.GetNames(classObject, WBEM_FLAG_NONSYSTEM_ONLY, list)) || FAILED(ReadNameList(wmi, list, names))) {
    return false;
  }
  // A class without properties has no instance that differs from another.
  return names.empty() || CimTypeQualifier(wmi, classObject, names.front()).empty();
}

// What the query needs of the class first. A selected name the class does
// not have is the query WMI would refuse as invalid. A layout that names each
// object's machine gets the machine's own name, the class's __SERVER. A class
// that cannot be read is left to the query to report.
int ReadClassFirst(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services) {
  const bool namesServer = layout.NamesObjectsByServer();
  if (settings.selectedNames.empty() && !namesServer) return 0;
  WmiObject classObject;
  if (FAILED(wmi.GetClass(services, settings.argClassName.c_str(), classObject))) return 0;
  if (namesServer) {
    Variant server;
    if (SUCCEEDED(wmi.Get(classObject, L"__SERVER", server, nullptr)) && server.type() == VT_BSTR &&
        server.get().bstrVal != nullptr) {
      layout.MachineServer(server.get().bstrVal);
    }
  }
  if (settings.selectedNames.empty()) return 0;
  SafeArray list;
  std::vector<std::wstring> names;
  HRESULT hr = wmi.GetNames(classObject, 0, list);
  if (SUCCEEDED(hr)) hr = ReadNameList(wmi, list, names);
  if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to get names. Error code = 0x%x\r\n", hr);
  for (const std::wstring& selected : settings.selectedNames) {
    bool found = false;
    for (const std::wstring& name : names) found = found || _wcsicmp(name.c_str(), selected.c_str()) == 0;
    if (!found) {
      return ReportFailure(layout, L"ERROR: Failed to execute query. Error code = 0x%x\r\n",
                           static_cast<HRESULT>(WBEM_E_INVALID_QUERY));
    }
  }
  return 0;
}

// Everything that needs COM, with every interface held in a scope that ends
// before COM is uninitialised.
int QueryWithComStarted(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const wchar_t* nameSpace,
                        const wchar_t* query, const MachineConnection* machine) {
  WmiLocator locator;
  WmiServices services;
  if (ConnectToNamespace(wmi, settings, layout, nameSpace, machine, locator, services) != 0) return 1;
  HRESULT hr = S_OK;
  // The class itself, not its instances: nothing to query.
  if (settings.describe) return DescribeClass(wmi, settings, layout, services);
  const bool listLayout = settings.formatCsv == 0 && settings.formatJson == 0;
  if (settings.classGiven || (settings.staticOnClass && CallsTheClass(wmi, settings, layout, services, hr))) {
    if (FAILED(hr)) return 1;
    // Shown as a query's CALL on its one result is shown.
    if (layout.OutputLost(true)) return 1;
    if (listLayout) PrintLine(layout, L"\r\n");
    const int failed = settings.argFUNC == Operation::CREATE_INSTANCE ? CreateInstance(wmi, settings, layout, services)
                                                                        : CallMethodOnClass(wmi, settings, layout, services);
    if (failed != 0) return 1;
    if (layout.OutputLost(true)) return 1;
    if (listLayout) PrintLine(layout, L"\r\n");
    return 0;
  }

  if (settings.argFUNC == Operation::CALL && !settings.staticOnClass &&
      RefuseStaticMethodOfQuery(wmi, settings, layout, services) != 0) {
    return 1;
  }
  if (ReadClassFirst(wmi, settings, layout, services) != 0) return 1;
  WmiEnumerator results;
  hr = wmi.ExecQuery(services, kQueryLanguage, query, kQueryFlags, results);
  if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to execute query. Error code = 0x%x\r\n", hr);
  if (BlanketEnumerator(wmi, layout, results, machine) != 0) return 1;

  // SET and CALL change WMI, so what they printed is pushed out before the
  // next object; GET only reads, and its output may stay buffered.
  const bool changes = settings.argFUNC != Operation::GET;
  size_t objects = 0;
  int failed = 0;
  for (;;) {
    if (layout.OutputLost(changes)) return 1;
    if (listLayout) PrintLine(layout, L"\r\n");
    WmiObject object;
    ULONG returned = 0;
    hr = wmi.Next(results, object, returned, settings.TimeoutMs());
    // Nothing arrived in time, which is not the end of the results.
    if (hr == static_cast<HRESULT>(WBEM_S_TIMEDOUT)) return ReportTimeout(settings, layout);
    // A failing Next is how Windows reports a bad query or an unknown class;
    // it is not the end of the results.
    if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to get next object. Error code = 0x%x\r\n", hr);
    if (returned == 0 || !object) {
      // A class without instances: its method is the class's.
      if (settings.staticOnClass && objects == 0) return CallMethodOnClass(wmi, settings, layout, services);
      break;
    }
    ++objects;
    if (ApplyOperation(wmi, settings, layout, services, object) == 0) continue;
    if (!settings.goOnAfterFailure) return 1;
    failed = 1;
  }
  return failed;
}

}  // namespace

int StartCom(WmiAccess& wmi, Layout& layout, const ComSecurityArguments* security) {
  HRESULT hr = wmi.InitializeCom(kComConcurrency);
  if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to initialize COM library. Error code = 0x%x\r\n", hr);
  if (security == nullptr) return 0;
  hr = wmi.InitializeSecurity(*security);
  if (FAILED(hr)) {
    ReportFailure(layout, L"ERROR: Failed to initialize security. Error code = 0x%x\r\n", hr);
    wmi.UninitializeCom();
    return 1;
  }
  return 0;
}

int WmiQuery(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const wchar_t* nameSpace,
             const wchar_t* query, const MachineConnection* machine) {
  if (settings.debugDisplay) PrintInfo(layout, L"INFO: Function WmiQuery starts.\r\n");
  if (StartCom(wmi, layout, machine ? nullptr : &kComSecurity) != 0) return 1;
  const int result = QueryWithComStarted(wmi, settings, layout, nameSpace, query, machine);
  wmi.UninitializeCom();
  return result;
}
