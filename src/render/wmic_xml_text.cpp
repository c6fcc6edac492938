#include "render/wmic_xml_text.h"

#include "render/cim_type_text.h"
#include "render/wmic_value_text.h"

namespace {

void AppendAttribute(const wchar_t* name, const std::wstring_view value, std::wstring& xml) {
  xml += L' ';
  xml += name;
  xml += L"=\"";
  AppendXmlEscaped(value, xml);
  xml += L'"';
}

// References carry no TYPE: the element says what they are.
const wchar_t* ElementName(CIMTYPE cimType) {
  const bool array = (cimType & CIM_FLAG_ARRAY) != 0;
  if ((cimType & ~CIM_FLAG_ARRAY) == CIM_REFERENCE) return array ? L"PROPERTY.REFARRAY" : L"PROPERTY.REFERENCE";
  return array ? L"PROPERTY.ARRAY" : L"PROPERTY";
}

void AppendOpening(const wchar_t* element, const wchar_t* name, const wchar_t* origin, CIMTYPE cimType,
                   std::wstring& xml) {
  xml += L'<';
  xml += element;
  AppendAttribute(L"NAME", name, xml);
  if (origin != nullptr) AppendAttribute(L"CLASSORIGIN", origin, xml);
  const CIMTYPE base = cimType & ~CIM_FLAG_ARRAY;
  if (base != CIM_REFERENCE) {
    xml += L" TYPE=\"";
    xml += CimTypeName(base);
    xml += L'"';
  }
  xml += L'>';
}

void AppendClosing(const wchar_t* element, std::wstring& xml) {
  xml += L"</";
  xml += element;
  xml += L'>';
}

}  // namespace

HRESULT AppendWmicXmlProperty(WmiAccess& wmi, const wchar_t* name, const wchar_t* origin, const VARIANT& value,
                              CIMTYPE cimType, std::wstring& xml) {
  const wchar_t* element = ElementName(cimType);
  AppendOpening(element, name, origin, cimType, xml);
  const HRESULT hr = AppendWmicValueText(wmi, value, cimType, WmicValueStyle::kXml, xml);
  if (FAILED(hr)) return hr;
  AppendClosing(element, xml);
  return S_OK;
}

std::wstring WmicXmlStringProperty(const std::wstring& name, const std::wstring& origin, const std::wstring& value) {
  std::wstring xml;
  AppendOpening(L"PROPERTY", name.c_str(), origin.c_str(), CIM_STRING, xml);
  xml += L"<VALUE>";
  AppendXmlEscaped(value, xml);
  xml += L"</VALUE>";
  AppendClosing(L"PROPERTY", xml);
  return xml;
}

std::wstring WmicXmlResultsOpen(const std::wstring& node) {
  std::wstring xml = L"<RESULTS";
  AppendAttribute(L"NODE", node, xml);
  return xml + L'>';
}

std::wstring WmicXmlInstanceOpen(const std::wstring& className) {
  std::wstring xml = L"<INSTANCE";
  AppendAttribute(L"CLASSNAME", className, xml);
  return xml + L'>';
}
