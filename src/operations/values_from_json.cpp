// The named values of /params:, as JSON, converted by what WMI declares.
#include <cmath>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "base/text.h"
#include "operations/cim_number_rules.h"
#include "operations/cim_variants.h"
#include "operations/declared_schema.h"
#include "operations/typed_values.h"
#include "operations/value_refusals.h"
#include "render/layout.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr wchar_t kClassMember[] = L"__CLASS";

// A string the parser gave back, every UTF-16 unit as it was given.
std::wstring JsonText(const std::string& utf8) { return RestoreLoneSurrogates(FromUtf8(utf8)); }

std::wstring Compact(const Json& value) {
  return JsonText(value.dump(-1, ' ', false, Json::error_handler_t::replace));
}

bool SameName(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

// A JSON number that is whole: 5, 5.0 and 5e0 are, 5.5 is not. A real is
// taken only where it holds its integer exactly.
bool WholeNumber(const Json& value, Whole& whole) {
  whole = {};
  if (value.is_number_unsigned()) {
    whole.magnitude = value.get<unsigned long long>();
    return true;
  }
  if (value.is_number_integer()) {
    const long long number = value.get<long long>();
    whole.negative = number < 0;
    whole.magnitude = number < 0 ? 0ull - static_cast<unsigned long long>(number) : static_cast<unsigned long long>(number);
    return true;
  }
  const double real = value.get<double>();
  // 2^53: every whole number below it is exact, but 2^53 itself is also what
  // the parser makes of 2^53 + 1, so from there on the number given is unknown.
  constexpr double kExact = 9007199254740992.0;
  if (!std::isfinite(real) || std::floor(real) != real || std::fabs(real) >= kExact) return false;
  whole.negative = real < 0;
  whole.magnitude = static_cast<unsigned long long>(std::fabs(real));
  return true;
}

class JsonConverter {
 public:
  JsonConverter(WmiAccess& wmi, Layout& layout, const WmiServices& services)
      : wmi_(wmi), layout_(layout), services_(services) {}

  // Converts `value` for what `declared` says; prints why not and returns
  // false when it does not fit.
  bool Convert(const Json& value, const Declared& declared, const std::wstring& shownName,
               Variant& documented, Variant& exact) {
    if (value.is_null()) {
      documented = ScalarVariant(VT_NULL);
      return true;
    }
    const CIMTYPE element = declared.type & ~CIM_FLAG_ARRAY;
    if (!(declared.type & CIM_FLAG_ARRAY)) {
      return ConvertElement(value, element, declared, shownName, documented, exact);
    }
    if (!value.is_array()) return WrongType(declared, shownName, value);
    std::vector<Variant> documentedElements;
    std::vector<Variant> exactElements;
    size_t index = 0;
    for (const Json& item : value) {
      const std::wstring itemName = shownName + L"[" + std::to_wstring(index++) + L"]";
      Declared itemDeclared = declared;
      itemDeclared.type = element;
      itemDeclared.typeText = declared.typeText.substr(0, declared.typeText.size() - 2);
      if (item.is_null()) return WrongType(itemDeclared, itemName, item);
      Variant one;
      Variant oneExact;
      if (!ConvertElement(item, element, itemDeclared, itemName, one, oneExact)) return false;
      documentedElements.push_back(std::move(one));
      exactElements.push_back(std::move(oneExact));
    }
    ArrayVariants(element, documentedElements, std::move(exactElements), documented, exact);
    return true;
  }

 private:
  bool WrongType(const Declared& declared, const std::wstring& shownName, const Json& value) {
    PrintError(layout_, L"ERROR: %ls takes %ls, not %ls.\r\n", shownName.c_str(), declared.typeText.c_str(),
               JsonKind(value));
    return false;
  }

  bool OutOfRange(const Declared& declared, const std::wstring& shownName, const Json& value) {
    PrintError(layout_, L"ERROR: %ls takes %ls; %ls is out of its range.\r\n", shownName.c_str(),
               declared.typeText.c_str(), Compact(value).c_str());
    return false;
  }

  // Embedded objects recurse through here; the parser has already bounded
  // how deep they nest.
  bool ConvertElement(const Json& value, CIMTYPE type, const Declared& declared, const std::wstring& shownName,
                      Variant& documented, Variant& exact) {
    IntegerRange range{};
    if (RangeOf(type, range)) {
      Whole whole;
      const bool wide = type == CIM_SINT64 || type == CIM_UINT64;
      if (value.is_string() && wide) {
        if (!ParseDecimal(value.get<std::string>(), whole)) return OutOfRange(declared, shownName, value);
      } else if (!value.is_number()) {
        return WrongType(declared, shownName, value);
      } else if (!WholeNumber(value, whole)) {
        return OutOfRange(declared, shownName, value);
      }
      if (!InRange(whole, range)) return OutOfRange(declared, shownName, value);
      IntegerVariants(type, whole, documented, exact);
      return true;
    }
    switch (type) {
      case CIM_REAL32:
      case CIM_REAL64: {
        if (!value.is_number()) return WrongType(declared, shownName, value);
        const double real = value.get<double>();
        if (type == CIM_REAL64) {
          documented = ScalarVariant(VT_R8);
          documented.get().dblVal = real;
          return true;
        }
        const float single = static_cast<float>(real);
        if (!std::isfinite(single)) return OutOfRange(declared, shownName, value);
        documented = ScalarVariant(VT_R4);
        documented.get().fltVal = single;
        return true;
      }
      case CIM_BOOLEAN:
        if (!value.is_boolean()) return WrongType(declared, shownName, value);
        documented = ScalarVariant(VT_BOOL);
        documented.get().boolVal = value.get<bool>() ? VARIANT_TRUE : VARIANT_FALSE;
        return true;
      case CIM_CHAR16: {
        if (!value.is_string()) return WrongType(declared, shownName, value);
        const std::wstring text = JsonText(value.get<std::string>());
        if (text.size() != 1) return OutOfRange(declared, shownName, value);
        documented = ScalarVariant(VT_I2);
        documented.get().iVal = static_cast<SHORT>(text[0]);
        return true;
      }
      case CIM_OBJECT:
        if (!value.is_object()) return WrongType(declared, shownName, value);
        return BuildObject(value, declared, shownName, documented);
      default:  // string, datetime, reference
        if (!value.is_string()) return WrongType(declared, shownName, value);
        documented = StringVariant(JsonText(value.get<std::string>()));
        return true;
    }
  }

  // A new instance of the class the parameter names, filled by the same
  // rules, as an embedded-object value.
  bool BuildObject(const Json& members, const Declared& declared, const std::wstring& shownName, Variant& value) {
    std::wstring className = declared.objectClass;
    for (auto member = members.begin(); member != members.end(); ++member) {
      if (className.empty() && SameName(JsonText(member.key()), kClassMember) && member.value().is_string()) {
        className = JsonText(member.value().get<std::string>());
      }
    }
    if (className.empty()) {
      PrintError(layout_, L"ERROR: %ls takes an object of a class it does not name: give its \"__CLASS\".\r\n",
                 shownName.c_str());
      return false;
    }
    WmiObject classObject;
    HRESULT hr = wmi_.GetClass(services_, className.c_str(), classObject);
    if (FAILED(hr)) {
      PrintError(layout_, L"ERROR: Failed to get class %ls. Error code = 0x%x\r\n", className.c_str(),
                 static_cast<unsigned>(hr));
      return false;
    }
    WmiObject instance;
    hr = wmi_.SpawnInstance(classObject, instance);
    if (FAILED(hr)) {
      ReportFailure(layout_, L"ERROR: Failed to Spawn Instance. Error code = 0x%x\r\n", hr);
      return false;
    }
    for (auto member = members.begin(); member != members.end(); ++member) {
      const std::wstring name = JsonText(member.key());
      if (SameName(name, kClassMember)) continue;
      Declared inner;
      bool found = false;
      hr = FindDeclared(wmi_, instance, name, inner, found);
      if (FAILED(hr)) {
        ReportNamesUnread(layout_, hr);
        return false;
      }
      if (!found) {
        PrintError(layout_, L"ERROR: %ls has no property %ls.\r\n", className.c_str(), name.c_str());
        return false;
      }
      TypedValue innerValue;
      innerValue.name = inner.name;
      if (!Convert(member.value(), inner, name, innerValue.value, innerValue.exact)) return false;
      hr = PutTypedValue(wmi_, instance, innerValue);
      if (FAILED(hr)) {
        ReportPutFailed(layout_, name, hr);
        return false;
      }
    }
    hr = wmi_.ObjectValue(instance, value);
    if (FAILED(hr)) {
      ReportPutFailed(layout_, shownName, hr);
      return false;
    }
    return true;
  }

  WmiAccess& wmi_;
  Layout& layout_;
  const WmiServices& services_;
};

}  // namespace

const wchar_t* JsonKind(const Json& value) {
  switch (value.type()) {
    case Json::value_t::array: return L"an array";
    case Json::value_t::string: return L"a string";
    case Json::value_t::boolean: return L"a boolean";
    case Json::value_t::object: return L"an object";
    case Json::value_t::null: return L"null";
    default: return L"a number";
  }
}

int ConvertNamedValues(WmiAccess& wmi, Layout& layout, const WmiServices& services, const Json& values,
                       const WmiObject& target, const wchar_t* method, std::vector<TypedValue>& converted) {
  converted.clear();
  JsonConverter converter(wmi, layout, services);
  for (auto member = values.begin(); member != values.end(); ++member) {
    const std::wstring given = JsonText(member.key());
    Declared declared;
    if (!FindDeclaredOrReport(wmi, layout, target, method, given, declared)) return 1;
    TypedValue value;
    value.name = declared.name;
    value.json = Compact(member.value());
    if (!converter.Convert(member.value(), declared, given, value.value, value.exact)) return 1;
    converted.push_back(std::move(value));
  }
  return 0;
}
