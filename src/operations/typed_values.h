// Values given on the command line, checked against what WMI declares and
// turned into the VARIANTs WMI takes: the named values of /params: as JSON,
// and values typed as text.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "wmi/wmi_access.h"

class Layout;
struct RunSettings;
struct TextValue;

// One value, ready to Put.
struct TypedValue {
  std::wstring name;  // as WMI spells it
  Variant value;      // the VARIANT type WMI documents for the CIM type
  // For integers whose documented type some WMI refuses: the same value as
  // the exact type (VT_I1, VT_UI2, VT_UI4, VT_I8, VT_UI8); otherwise empty.
  Variant exact;
  std::wstring json;  // the value as given, for the trace
};

// What a JSON value is, in words: "a string", "an array", "null"...
const wchar_t* JsonKind(const nlohmann::ordered_json& value);

// Checks every value against the names and CIM types `target` declares (a
// method's in-parameters, or a result object) and converts it; embedded
// objects are built as new instances through `services`. `method` names the
// method for CALL, and is null for SET; `target` may be empty for a method
// without input parameters. On the first value that does not fit, prints why
// and returns 1: nothing has been Put into `target` then.
int ConvertNamedValues(WmiAccess& wmi, Layout& layout, const WmiServices& services,
                       const nlohmann::ordered_json& values, const WmiObject& target, const wchar_t* method,
                       std::vector<TypedValue>& converted);

// Puts every value into `target`, in order. An integer WMI refuses with
// WBEM_E_TYPE_MISMATCH is put once more as its exact type, and only that
// answer counts. Prints the first failure and returns 1.
int PutNamedValues(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiObject& target,
                   const std::vector<TypedValue>& values);

// The names of a method's in-parameters, in the order GetNames gives them;
// none for a method without them (`parameters` empty). Returns 1 with the
// failure printed.
int ReadParameterNames(WmiAccess& wmi, Layout& layout, const WmiObject& parameters, std::vector<std::wstring>& names);

// The positional values of /args:, each converted by the CIM type its
// in-parameter declares, the parameters taken in the order GetNames gives
// them. `target` may be empty for a method without input parameters. On the
// first value that does not fit, or more values than parameters, prints why
// and returns 1: nothing has been Put then.
int ConvertPositionalValues(WmiAccess& wmi, Layout& layout, const std::vector<std::wstring>& values,
                            const WmiObject& target, const wchar_t* method, std::vector<TypedValue>& converted);

// Values typed as text, by name or by position (the parameters taken in the
// order GetNames gives them), each converted by the CIM type `target`
// declares for it, a number also from &H and hex digits, whose bits are read
// by that type (&H80000001 is 2147483649 for a uint32, -2147483647 for a
// sint32). `method` names the method for CALL and is null for a property.
// A method's array parameter takes a list, each element converted as one
// value of the element type, or a plain value as the array's one element.
// On the first value that does not fit, prints why and returns 1: nothing
// has been Put then.
int ConvertTextValues(WmiAccess& wmi, Layout& layout, const std::vector<TextValue>& values, const WmiObject& target,
                      const wchar_t* method, std::vector<TypedValue>& converted);

// Puts one converted value, once more as its exact type when WMI calls the
// documented one a type mismatch; only the last answer counts.
HRESULT PutTypedValue(WmiAccess& wmi, const WmiObject& target, const TypedValue& value);

// SET's one value for an integer property: a decimal number is converted by
// the property's CIM type into `value`, as a method's values are. Returns 1
// with the refusal printed when it is out of that type's range; leaves
// `value` empty, for the text to go as it is, when the property is not an
// integer or the text not a number.
int ConvertPropertyNumber(Layout& layout, const std::wstring& name, CIMTYPE type, const std::wstring& text,
                          TypedValue& value);
