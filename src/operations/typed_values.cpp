#include "operations/typed_values.h"

#include "base/run_settings.h"
#include "operations/declared_schema.h"
#include "operations/value_refusals.h"
#include "render/layout.h"

int PutNamedValues(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiObject& target,
                   const std::vector<TypedValue>& values) {
  for (const TypedValue& value : values) {
    if (settings.debugDisplay) PrintInfo(layout, L"INFO: Put %ls=%ls\r\n", value.name.c_str(), value.json.c_str());
    const HRESULT hr = PutTypedValue(wmi, target, value);
    if (FAILED(hr)) {
      ReportPutFailed(layout, value.name, hr);
      return 1;
    }
  }
  return 0;
}

int ReadParameterNames(WmiAccess& wmi, Layout& layout, const WmiObject& parameters, std::vector<std::wstring>& names) {
  names.clear();
  if (!parameters) return 0;
  SafeArray list;
  HRESULT hr = wmi.GetNames(parameters, WBEM_FLAG_NONSYSTEM_ONLY, list);
  if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to get method parameter names. Error code = 0x%x\r\n", hr);
  hr = ReadNameList(wmi, list, names);
  if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to read array. Error code = 0x%x\r\n", hr);
  return 0;
}

HRESULT PutTypedValue(WmiAccess& wmi, const WmiObject& target, const TypedValue& value) {
  HRESULT hr = wmi.Put(target, value.name.c_str(), value.value.get());
  if (hr == static_cast<HRESULT>(WBEM_E_TYPE_MISMATCH) && value.exact.type() != VT_EMPTY) {
    hr = wmi.Put(target, value.name.c_str(), value.exact.get());
  }
  return hr;
}
