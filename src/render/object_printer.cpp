#include "render/object_printer.h"

#include "base/run_settings.h"
#include "render/layout.h"
#include "render/value_text.h"

int PrintObjectProperties(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiObject& object) {
  const bool debug = settings.debugDisplay != 0;
  SafeArray names;
  HRESULT hr = wmi.GetNames(object, settings.showAllProperties ? 0 : WBEM_FLAG_NONSYSTEM_ONLY, names);
  if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to get names. Error code = 0x%x\r\n", hr);
  LONG lower = 0;
  LONG upper = -1;
  hr = wmi.ArrayLowerBound(names.get(), lower);
  if (SUCCEEDED(hr)) hr = wmi.ArrayUpperBound(names.get(), upper);
  if (FAILED(hr)) return ReportFailure(layout, kArrayReadFailed, hr);

  layout.BeginObject();
  for (long long i = lower; i <= upper; ++i) {
    Bstr name;
    hr = wmi.ArrayElement(names.get(), static_cast<LONG>(i), name.put(), sizeof(BSTR));
    if (FAILED(hr)) return ReportFailure(layout, kArrayReadFailed, hr);
    if (debug) PrintInfo(layout, L"INFO: Get name list [%d]: [%ls]\r\n", static_cast<int>(i), name.c_str());

    Variant value;
    CIMTYPE cimType = 0;
    hr = wmi.Get(object, name.c_str(), value, &cimType);
    if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to get. Error code = 0x%x\r\n", hr);
    if (debug) {
      PrintInfo(layout, L"INFO: Data type of [%ls] : [%d]/[%d]\r\n", name.c_str(), static_cast<int>(value.type()),
                static_cast<int>(cimType));
      PrintInfo(layout, value.type() >= kArrayTypeFlag ? L"INFO: It's an array type\r\n"
                                                       : L"INFO: It's a non-array type\r\n");
    }
    const ValueStatus shown = layout.PropertyOf(wmi, object, name.c_str(), value.get(), cimType);
    if (shown.Failed()) return ReportFailure(layout, shown.message, shown.hr);
  }
  layout.EndObject();
  return 0;
}
