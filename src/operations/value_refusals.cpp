#include "operations/value_refusals.h"

#include "render/layout.h"

namespace {

// The class of a result object, for the message about a property it lacks.
std::wstring ClassOf(WmiAccess& wmi, const WmiObject& object) {
  Variant name;
  if (SUCCEEDED(wmi.Get(object, L"__CLASS", name, nullptr)) && name.type() == VT_BSTR && name.get().bstrVal) {
    return name.get().bstrVal;
  }
  return L"The object";
}

}  // namespace

void ReportNotDeclared(WmiAccess& wmi, Layout& layout, const WmiObject& target, const wchar_t* method,
                       const std::wstring& name) {
  if (method != nullptr) {
    PrintError(layout, L"ERROR: Method %ls has no input parameter %ls.\r\n", method, name.c_str());
  } else {
    PrintError(layout, L"ERROR: %ls has no property %ls.\r\n", ClassOf(wmi, target).c_str(), name.c_str());
  }
}

void ReportNamesUnread(Layout& layout, HRESULT hr) {
  ReportFailure(layout, L"ERROR: Failed to get names. Error code = 0x%x\r\n", hr);
}

void ReportPutFailed(Layout& layout, const std::wstring& name, HRESULT hr) {
  PrintError(layout, L"ERROR: Failed to put %ls. Error code = 0x%x\r\n", name.c_str(), static_cast<unsigned>(hr));
}

bool FindDeclaredOrReport(WmiAccess& wmi, Layout& layout, const WmiObject& target, const wchar_t* method,
                          const std::wstring& name, Declared& declared) {
  bool found = false;
  const HRESULT hr = FindDeclared(wmi, target, name, declared, found);
  if (FAILED(hr)) {
    ReportNamesUnread(layout, hr);
    return false;
  }
  if (!found) ReportNotDeclared(wmi, layout, target, method, name);
  return found;
}
