// DELETE and CREATE: a whole instance taken away, or made anew.
#include <vector>

#include "base/run_settings.h"
#include "operations/typed_values.h"
#include "operations/wmi_arguments.h"
#include "operations/wmi_query.h"
#include "render/layout.h"

int DeleteObject(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services,
                 const WmiObject& object) {
  Variant path;
  HRESULT hr = wmi.Get(object, L"__PATH", path, nullptr);
  if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to get __PATH. Error code = 0x%x\r\n", hr);
  const wchar_t* objectPath = path.type() == VT_BSTR && path.get().bstrVal ? path.get().bstrVal : L"";
  const Layout::Change change{Operation::DELETE_INSTANCE, settings.argClassName.c_str(), nullptr, &object};
  if (!layout.Changing(wmi, change)) return 0;
  if (layout.OutputLost(true)) return 1;
  hr = wmi.DeleteInstance(services, objectPath, kDeleteInstanceFlags);
  if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to delete instance. Error code = 0x%x\r\n", hr);
  layout.Changed(wmi, change, nullptr);
  return 0;
}

int CreateInstance(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services) {
  const wchar_t* className = settings.argClassName.c_str();
  WmiObject classObject;
  HRESULT hr = wmi.GetClass(services, className, classObject);
  if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to get object. Error code = 0x%x\r\n", hr);
  WmiObject instance;
  hr = wmi.SpawnInstance(classObject, instance);
  if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to Spawn Instance. Error code = 0x%x\r\n", hr);
  // Every value is checked before the first is Put, and all are Put before
  // the one write: an instance made with part of what was asked is not what
  // was asked.
  std::vector<TypedValue> typed;
  if (ConvertTextValues(wmi, layout, settings.textValues, instance, nullptr, typed) != 0) return 1;
  for (const TypedValue& value : typed) {
    hr = PutTypedValue(wmi, instance, value);
    if (FAILED(hr)) {
      PrintError(layout, L"ERROR: Failed to put value as [%ls]. Error code = 0x%x\r\n", value.name.c_str(),
                 static_cast<unsigned>(hr));
      return 1;
    }
  }
  const Layout::Change change{Operation::CREATE_INSTANCE, className, nullptr, nullptr};
  if (!layout.Changing(wmi, change)) return 0;
  if (layout.OutputLost(true)) return 1;
  hr = wmi.PutInstance(services, instance, kCreateOnlyFlags);
  if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to put instance. Error code = 0x%x\r\n", hr);
  layout.Changed(wmi, change, nullptr);
  return 0;
}
