#include "render/object_printer.h"

#include <string>

#include "cli/output.h"
#include "cli/run_settings.h"
#include "render/value_text.h"

namespace {

int ReportArrayReadFailure(HRESULT hr) { return ReportFailure(L"ERROR: Failed to read array. Error code = 0x%x\r\n", hr); }

}  // namespace

int PrintObjectProperties(WmiAccess& wmi, const WmiObject& object) {
  RunSettings& settings = Settings();
  const bool csv = settings.formatCsv != 0;
  std::wstring headerLine;
  std::wstring dataLine;
  std::wstring valueText;

  SafeArray names;
  HRESULT hr = wmi.GetNames(object, settings.showAllProperties ? 0 : WBEM_FLAG_NONSYSTEM_ONLY, names);
  if (FAILED(hr)) {
    return ReportFailure(L"ERROR: Failed to get names. Error code = 0x%x\r\n", hr);
  }
  LONG lower = 0;
  LONG upper = -1;
  hr = wmi.ArrayLowerBound(names.get(), lower);
  if (SUCCEEDED(hr)) hr = wmi.ArrayUpperBound(names.get(), upper);
  if (FAILED(hr)) return ReportArrayReadFailure(hr);

  for (long long i = lower; i <= upper; ++i) {
    Bstr name;
    hr = wmi.ArrayElement(names.get(), static_cast<LONG>(i), name.put(), sizeof(BSTR));
    if (FAILED(hr)) return ReportArrayReadFailure(hr);
    if (settings.debugDisplay) Print(L"INFO: Get name list [%d]: [%ls]\r\n", static_cast<int>(i), name.c_str());

    Variant value;
    CIMTYPE cimType = 0;
    hr = wmi.Get(object, name.c_str(), value, &cimType);
    if (FAILED(hr)) {
      return ReportFailure(L"ERROR: Failed to get. Error code = 0x%x\r\n", hr);
    }
    if (settings.debugDisplay) {
      Print(L"INFO: Data type of [%ls] : [%d]/[%d]\r\n", name.c_str(), static_cast<int>(value.type()),
            static_cast<int>(cimType));
    }
    if (csv) {
      if (i != lower) {
        headerLine += L',';
        dataLine += L',';
      }
      headerLine += name.c_str();
    }

    valueText.clear();
    if (value.type() >= kArrayTypeFlag) {
      if (settings.debugDisplay) Print(L"INFO: It's an array type\r\n");
      hr = FormatArrayText(wmi, value.get(), valueText);
      if (FAILED(hr)) return ReportArrayReadFailure(hr);
      if (csv) {
        dataLine += L'{';
        dataLine += valueText;
        dataLine += L'}';
      } else {
        Print(L"%ls={%ls}\r\n", name.c_str(), valueText.c_str());
      }
    } else {
      if (settings.debugDisplay) Print(L"INFO: It's a non-array type\r\n");
      FormatValueText(value.get(), valueText);
      if (csv) {
        dataLine += valueText;
      } else {
        Print(L"%ls=%ls\r\n", name.c_str(), valueText.c_str());
      }
    }
  }

  if (csv) {
    if (!settings.csvHeaderShown) {
      Print(L"Node,%ls\r\n", headerLine.c_str());
      settings.csvHeaderShown = 1;
    }
    Print(L"LOCALHOST,%ls\r\n", dataLine.c_str());
  }
  return 0;
}
