// What a class, an object or a method's signature declares: the names of its
// properties and the CIMTYPE qualifier that gives their exact type.
#pragma once

#include <string>
#include <vector>

#include "wmi/wmi_access.h"

// The names in a list GetNames gave, in its order; none for an object without
// properties.
HRESULT ReadNameList(WmiAccess& wmi, const SafeArray& list, std::vector<std::wstring>& names);

// What WMI declares for one property or parameter.
struct Declared {
  std::wstring name;  // as WMI spells it
  CIMTYPE type = CIM_EMPTY;
  std::wstring objectClass;  // from the CIMTYPE qualifier of an object
  std::wstring typeText;
};

// Finds `given` among the names `schema` declares, without case. `found` is
// false when it is not there, or `schema` is empty.
HRESULT FindDeclared(WmiAccess& wmi, const WmiObject& schema, const std::wstring& given, Declared& declared,
                     bool& found);

// The property's CIMTYPE qualifier ("object:Win32_ProcessStartup",
// "ref:Win32_Directory"), or empty where it has none or the WMI keeps none.
std::wstring CimTypeQualifier(WmiAccess& wmi, const WmiObject& object, const std::wstring& property);

// Qualifiers are optional everywhere: a class need not carry them, and
// Wine's WMI knows few. A qualifier that cannot be read counts as absent, and
// so does one whose value does not read as true.
bool PropertyHas(WmiAccess& wmi, const WmiObject& object, const std::wstring& property, const wchar_t* qualifier);
bool MethodHas(WmiAccess& wmi, const WmiObject& classObject, const std::wstring& method, const wchar_t* qualifier);
