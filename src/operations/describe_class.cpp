#include "operations/describe_class.h"

#include <string>
#include <utility>
#include <vector>

#include "base/run_settings.h"
#include "operations/declared_schema.h"
#include "operations/wmi_arguments.h"
#include "render/cim_type_text.h"
#include "render/class_schema.h"
#include "render/layout.h"
#include "render/value_text.h"

namespace {

constexpr wchar_t kGetFailed[] = L"ERROR: Failed to get. Error code = 0x%x\r\n";
constexpr wchar_t kMethodsFailed[] = L"ERROR: Failed to read methods. Error code = 0x%x\r\n";

// Only objects and references name a class in their CIMTYPE qualifier; an
// unreadable one leaves the bare type.
std::wstring TypeText(WmiAccess& wmi, const WmiObject& object, const std::wstring& property, CIMTYPE cimType) {
  const CIMTYPE base = cimType & ~CIM_FLAG_ARRAY;
  const bool named = base == CIM_OBJECT || base == CIM_REFERENCE;
  return CimTypeText(cimType, named ? CimTypeQualifier(wmi, object, property) : std::wstring());
}

// The names GetNames gives, in its order; a failure is reported.
int ReadNames(WmiAccess& wmi, Layout& layout, const WmiObject& object, LONG flags, std::vector<std::wstring>& names) {
  SafeArray list;
  HRESULT hr = wmi.GetNames(object, flags, list);
  if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to get names. Error code = 0x%x\r\n", hr);
  hr = ReadNameList(wmi, list, names);
  if (FAILED(hr)) return ReportFailure(layout, kArrayReadFailed, hr);
  return 0;
}

int ReadType(WmiAccess& wmi, Layout& layout, const WmiObject& object, const std::wstring& name, std::wstring& type) {
  Variant defaultValue;
  CIMTYPE cimType = 0;
  const HRESULT hr = wmi.Get(object, name.c_str(), defaultValue, &cimType);
  if (FAILED(hr)) return ReportFailure(layout, kGetFailed, hr);
  type = TypeText(wmi, object, name, cimType);
  return 0;
}

// `signature` is empty for a method without such parameters.
int ReadParameters(WmiAccess& wmi, Layout& layout, const WmiObject& signature,
                   std::vector<SchemaParameter>& parameters) {
  if (!signature) return 0;
  std::vector<std::wstring> names;
  // The order CALL fills them in from /args:.
  if (ReadNames(wmi, layout, signature, WBEM_FLAG_NONSYSTEM_ONLY, names) != 0) return 1;
  for (std::wstring& name : names) {
    std::wstring type;
    if (ReadType(wmi, layout, signature, name, type) != 0) return 1;
    parameters.push_back({std::move(name), std::move(type)});
  }
  return 0;
}

int ReadMethods(WmiAccess& wmi, Layout& layout, const WmiObject& classObject, std::vector<SchemaMethod>& methods) {
  HRESULT hr = wmi.BeginMethodEnumeration(classObject, kMethodEnumerationFlags);
  if (FAILED(hr)) return ReportFailure(layout, kMethodsFailed, hr);
  int result = 0;
  for (;;) {
    Bstr name;
    WmiObject inSignature;
    WmiObject outSignature;
    hr = wmi.NextMethod(classObject, name, inSignature, outSignature);
    if (hr == static_cast<HRESULT>(WBEM_S_NO_MORE_DATA)) break;
    if (FAILED(hr)) {
      result = ReportFailure(layout, kMethodsFailed, hr);
      break;
    }
    SchemaMethod method;
    method.name = name.c_str();
    if (ReadParameters(wmi, layout, inSignature, method.in) != 0 ||
        ReadParameters(wmi, layout, outSignature, method.out) != 0) {
      result = 1;
      break;
    }
    methods.push_back(std::move(method));
  }
  // Ended on every path, failures included, so the class object is not left
  // part way through a walk.
  hr = wmi.EndMethodEnumeration(classObject);
  if (result != 0) return result;
  if (FAILED(hr)) return ReportFailure(layout, kMethodsFailed, hr);
  // Read once the walk is over: a qualifier set is not part of it.
  for (SchemaMethod& method : methods) {
    method.isStatic = MethodHas(wmi, classObject, method.name, L"static");
  }
  return 0;
}

int ReadProperties(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiObject& classObject,
                   std::vector<SchemaProperty>& properties) {
  std::vector<std::wstring> names;
  // The same properties the object printer shows.
  if (ReadNames(wmi, layout, classObject, settings.showAllProperties ? 0 : WBEM_FLAG_NONSYSTEM_ONLY, names) != 0) {
    return 1;
  }
  for (std::wstring& name : names) {
    SchemaProperty property;
    if (ReadType(wmi, layout, classObject, name, property.type) != 0) return 1;
    property.key = PropertyHas(wmi, classObject, name, L"key");
    property.read = PropertyHas(wmi, classObject, name, L"read");
    property.write = PropertyHas(wmi, classObject, name, L"write");
    property.name = std::move(name);
    properties.push_back(std::move(property));
  }
  return 0;
}

}  // namespace

int DescribeClass(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services) {
  const bool debug = settings.debugDisplay != 0;
  const bool listLayout = settings.formatCsv == 0 && settings.formatJson == 0;
  const wchar_t* queried = settings.argClassName.c_str();
  if (listLayout) PrintLine(layout, L"\r\n");

  if (debug) PrintInfo(layout, L"INFO: Get class [%ls] start.\r\n", queried);
  WmiObject classObject;
  HRESULT hr = wmi.GetClass(services, queried, classObject);
  if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to get object. Error code = 0x%x\r\n", hr);
  if (debug) PrintInfo(layout, L"INFO: Get class [%ls] end.\r\n", queried);

  ClassSchema schema;
  // The query was lower-cased; the class keeps the case WMI gave it.
  Variant className;
  hr = wmi.Get(classObject, L"__CLASS", className, nullptr);
  if (FAILED(hr)) return ReportFailure(layout, kGetFailed, hr);
  const bool named = className.type() == VT_BSTR && className.get().bstrVal != nullptr && className.get().bstrVal[0];
  schema.className = named ? className.get().bstrVal : queried;

  if (ReadProperties(wmi, settings, layout, classObject, schema.properties) != 0) return 1;
  if (ReadMethods(wmi, layout, classObject, schema.methods) != 0) return 1;
  layout.Schema(schema);
  if (listLayout) PrintLine(layout, L"\r\n");
  return 0;
}
