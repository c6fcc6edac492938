// SET: changes one property of a result object and writes the object back.
#include <string>

#include "cli/output.h"
#include "cli/run_settings.h"
#include "render/value_text.h"
#include "wmi/wmi_query.h"

int SetPropertyOnObject(WmiAccess& wmi, const WmiServices& services, const WmiObject& object) {
  const RunSettings& settings = Settings();
  const bool debug = settings.debugDisplay != 0;
  const wchar_t* key = settings.argKey.c_str();

  if (debug) {
    Print(L"INFO: Start SET method.\r\n");
    Print(L"INFO: Get original value, start\r\n");
  }
  Variant value;
  CIMTYPE cimType = 0;
  HRESULT hr = wmi.Get(object, key, value, &cimType);
  if (FAILED(hr)) {
    Print(L"ERROR: Failed to get original value of [%ls]. Error code = 0x%x\r\n", key, static_cast<unsigned>(hr));
    return 1;
  }
  std::wstring valueText;
  if (debug) {
    hr = FormatPropertyText(wmi, value.get(), valueText);
    if (FAILED(hr)) return ReportFailure(L"ERROR: Failed to read array. Error code = 0x%x\r\n", hr);
    Print(L"%ls=%ls, vt=%d, ct=%d\r\n", key, valueText.c_str(), static_cast<int>(value.type()),
          static_cast<int>(cimType));
    Print(L"INFO: Get original value, end\r\n");
    Print(L"INFO: Set new value, start\r\n");
  }

  value = Variant::FromString(settings.argArguments.c_str());
  hr = wmi.Put(object, key, value.get());
  if (FAILED(hr)) {
    Print(L"ERROR: Failed to put value as [%ls]. Error code = 0x%x\r\n", key, static_cast<unsigned>(hr));
    return 1;
  }
  if (debug) Print(L"INFO: Set new value, end\r\n");

  // The re-read shows what WMI made of the string. A failed read does not stop
  // the write; its empty value shows as !!CIM_EMPTY!!.
  value = Variant();
  wmi.Get(object, key, value, nullptr);
  valueText.clear();
  hr = FormatPropertyText(wmi, value.get(), valueText);
  if (FAILED(hr)) return ReportFailure(L"ERROR: Failed to read array. Error code = 0x%x\r\n", hr);
  Print(L"%ls=%ls\r\n", key, valueText.c_str());
  value = Variant();

  if (debug) Print(L"INFO: Put instance, start\r\n");
  hr = wmi.PutInstance(services, object);
  if (FAILED(hr)) return ReportFailure(L"ERROR: Failed to PutInstance. Error code = 0x%x\r\n", hr);
  if (debug) Print(L"INFO: Put instance, end\r\n");
  Print(L"SET Success.\r\n");
  return 0;
}
