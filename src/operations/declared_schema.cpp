#include "operations/declared_schema.h"

#include "render/cim_type_text.h"

HRESULT ReadNameList(WmiAccess& wmi, const SafeArray& list, std::vector<std::wstring>& names) {
  if (!list.get()) return S_OK;
  LONG lower = 0;
  LONG upper = -1;
  HRESULT hr = wmi.ArrayLowerBound(list.get(), lower);
  if (SUCCEEDED(hr)) hr = wmi.ArrayUpperBound(list.get(), upper);
  for (long long i = lower; SUCCEEDED(hr) && i <= upper; ++i) {
    Bstr name;
    hr = wmi.ArrayElement(list.get(), static_cast<LONG>(i), name.put(), sizeof(BSTR));
    if (SUCCEEDED(hr)) names.emplace_back(name.c_str());
  }
  return hr;
}

std::wstring CimTypeQualifier(WmiAccess& wmi, const WmiObject& object, const std::wstring& property) {
  Variant value;
  if (FAILED(wmi.PropertyQualifier(object, property.c_str(), L"CIMTYPE", value)) || value.type() != VT_BSTR ||
      value.get().bstrVal == nullptr) {
    return {};
  }
  return value.get().bstrVal;
}

HRESULT FindDeclared(WmiAccess& wmi, const WmiObject& schema, const std::wstring& given, Declared& declared,
                     bool& found) {
  found = false;
  if (!schema) return S_OK;
  SafeArray list;
  std::vector<std::wstring> names;
  HRESULT hr = wmi.GetNames(schema, WBEM_FLAG_NONSYSTEM_ONLY, list);
  if (SUCCEEDED(hr)) hr = ReadNameList(wmi, list, names);
  if (FAILED(hr)) return hr;
  for (const std::wstring& name : names) {
    if (CompareStringOrdinal(name.c_str(), static_cast<int>(name.size()), given.c_str(), static_cast<int>(given.size()),
                             TRUE) != CSTR_EQUAL) {
      continue;
    }
    declared.name = name;
    Variant ignored;
    hr = wmi.Get(schema, declared.name.c_str(), ignored, &declared.type);
    if (FAILED(hr)) return hr;
    // Only an object or a reference names its class here; a WMI that keeps
    // no qualifiers leaves it to "__CLASS".
    const std::wstring cimType = CimTypeQualifier(wmi, schema, declared.name);
    declared.objectClass = QualifiedClass(cimType);
    declared.typeText = CimTypeText(declared.type, cimType);
    found = true;
    return S_OK;
  }
  return S_OK;
}

namespace {

bool ReadsAsTrue(const Variant& value) {
  Variant truth;
  if (FAILED(VariantChangeType(truth.put(), const_cast<VARIANT*>(&value.get()), 0, VT_BOOL))) return false;
  return truth.get().boolVal != VARIANT_FALSE;
}

}  // namespace

bool PropertyHas(WmiAccess& wmi, const WmiObject& object, const std::wstring& property, const wchar_t* qualifier) {
  Variant value;
  if (FAILED(wmi.PropertyQualifier(object, property.c_str(), qualifier, value))) return false;
  return ReadsAsTrue(value);
}

bool MethodHas(WmiAccess& wmi, const WmiObject& classObject, const std::wstring& method, const wchar_t* qualifier) {
  Variant value;
  if (FAILED(wmi.MethodQualifier(classObject, method.c_str(), qualifier, value))) return false;
  return ReadsAsTrue(value);
}
