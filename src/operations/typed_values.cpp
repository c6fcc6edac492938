#include "operations/typed_values.h"

#include <cmath>
#include <cstdlib>
#include <cwctype>
#include <limits>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "base/run_settings.h"
#include "base/text.h"
#include "operations/declared_schema.h"
#include "render/cim_type_text.h"
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

// What WMI declares for one property or parameter.
struct Declared {
  std::wstring name;  // as WMI spells it
  CIMTYPE type = CIM_EMPTY;
  std::wstring objectClass;  // from the CIMTYPE qualifier of an object
  std::wstring typeText;
};

// A whole number read from JSON: a sign and a magnitude, so that every value
// of sint64 and of uint64 fits.
struct Whole {
  bool negative = false;
  unsigned long long magnitude = 0;
};

// The bounds of each integer type, as a lowest magnitude below zero and a
// highest value.
struct IntegerRange {
  unsigned long long belowZero;
  unsigned long long highest;
};

bool RangeOf(CIMTYPE type, IntegerRange& range) {
  switch (type) {
    case CIM_SINT8: range = {128, 127}; return true;
    case CIM_UINT8: range = {0, 255}; return true;
    case CIM_SINT16: range = {32768, 32767}; return true;
    case CIM_UINT16: range = {0, 65535}; return true;
    case CIM_SINT32: range = {2147483648ull, 2147483647ull}; return true;
    case CIM_UINT32: range = {0, 4294967295ull}; return true;
    case CIM_SINT64: range = {9223372036854775808ull, 9223372036854775807ull}; return true;
    case CIM_UINT64: range = {0, std::numeric_limits<unsigned long long>::max()}; return true;
    default: return false;
  }
}

// Decimal digits with an optional minus, as the 64-bit types take in a string.
bool ParseDecimal(const std::string& text, Whole& whole) {
  size_t at = 0;
  whole = {};
  if (!text.empty() && text[0] == '-') {
    whole.negative = true;
    at = 1;
  }
  if (at == text.size()) return false;
  for (; at < text.size(); ++at) {
    if (text[at] < '0' || text[at] > '9') return false;
    const unsigned digit = static_cast<unsigned>(text[at] - '0');
    if (whole.magnitude > (std::numeric_limits<unsigned long long>::max() - digit) / 10) return false;
    whole.magnitude = whole.magnitude * 10 + digit;
  }
  return true;
}

bool IsDecimal(const std::string& text) {
  const size_t digits = !text.empty() && text[0] == '-' ? 1 : 0;
  return text.size() > digits && text.find_first_not_of("0123456789", digits) == std::string::npos;
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

bool InRange(const Whole& whole, const IntegerRange& range) {
  return whole.negative ? whole.magnitude <= range.belowZero : whole.magnitude <= range.highest;
}

Variant Scalar(VARTYPE type) {
  Variant value;
  value.get().vt = type;
  return value;
}

Variant StringOf(const std::wstring& text) {
  Variant value;
  VARIANT& slot = *value.put();
  slot.vt = VT_BSTR;
  // The length is given, so NULs inside the text are kept.
  slot.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (slot.bstrVal == nullptr) std::abort();
  return value;
}

// The width of each integer type in bits, and whether it has a sign.
bool IntegerWidth(CIMTYPE type, unsigned& bits, bool& signedType) {
  switch (type) {
    case CIM_SINT8: bits = 8; signedType = true; return true;
    case CIM_UINT8: bits = 8; signedType = false; return true;
    case CIM_SINT16: bits = 16; signedType = true; return true;
    case CIM_UINT16: bits = 16; signedType = false; return true;
    case CIM_SINT32: bits = 32; signedType = true; return true;
    case CIM_UINT32: bits = 32; signedType = false; return true;
    case CIM_SINT64: bits = 64; signedType = true; return true;
    case CIM_UINT64: bits = 64; signedType = false; return true;
    default: return false;
  }
}

// Hex digits as the bits of `type`: more bits than the type has is out of
// its range; with the top bit set, a signed type reads them as negative.
bool HexBits(const std::wstring& digits, CIMTYPE type, Whole& whole) {
  unsigned bits = 0;
  bool signedType = false;
  if (!IntegerWidth(type, bits, signedType) || digits.empty() || digits.size() > 16) return false;
  unsigned long long value = 0;
  for (const wchar_t c : digits) {
    unsigned digit = 0;
    if (c >= L'0' && c <= L'9') {
      digit = static_cast<unsigned>(c - L'0');
    } else if (c >= L'a' && c <= L'f') {
      digit = static_cast<unsigned>(c - L'a' + 10);
    } else if (c >= L'A' && c <= L'F') {
      digit = static_cast<unsigned>(c - L'A' + 10);
    } else {
      return false;
    }
    value = value * 16 + digit;
  }
  if (bits < 64 && value >> bits != 0) return false;
  const unsigned long long top = 1ull << (bits - 1);
  whole.negative = signedType && (value & top) != 0;
  // The two's complement of the bits, as a magnitude below zero.
  whole.magnitude = whole.negative ? (bits < 64 ? (1ull << bits) - value : ~value + 1) : value;
  return true;
}

// The documented and the exact VARIANTs of a whole number already in range.
void IntegerVariants(CIMTYPE type, const Whole& whole, Variant& documented, Variant& exact) {
  const long long asSigned = whole.negative ? static_cast<long long>(0ull - whole.magnitude)
                                            : static_cast<long long>(whole.magnitude);
  switch (type) {
    case CIM_SINT8:
      documented = Scalar(VT_I2);
      documented.get().iVal = static_cast<SHORT>(asSigned);
      exact = Scalar(VT_I1);
      exact.get().cVal = static_cast<CHAR>(asSigned);
      break;
    case CIM_UINT8:
      documented = Scalar(VT_UI1);
      documented.get().bVal = static_cast<BYTE>(whole.magnitude);
      break;
    case CIM_SINT16:
      documented = Scalar(VT_I2);
      documented.get().iVal = static_cast<SHORT>(asSigned);
      break;
    case CIM_UINT16:
      documented = Scalar(VT_I4);
      documented.get().lVal = static_cast<LONG>(whole.magnitude);
      exact = Scalar(VT_UI2);
      exact.get().uiVal = static_cast<USHORT>(whole.magnitude);
      break;
    case CIM_SINT32:
      documented = Scalar(VT_I4);
      documented.get().lVal = static_cast<LONG>(asSigned);
      break;
    case CIM_UINT32:
      // The same 32 bits: 4294967295 travels as -1.
      documented = Scalar(VT_I4);
      documented.get().lVal = static_cast<LONG>(static_cast<ULONG>(whole.magnitude));
      exact = Scalar(VT_UI4);
      exact.get().ulVal = static_cast<ULONG>(whole.magnitude);
      break;
    case CIM_SINT64: {
      std::wstring digits = whole.negative ? L"-" : L"";
      AppendUnsigned(whole.magnitude, digits);
      documented = StringOf(digits);
      exact = Scalar(VT_I8);
      exact.get().llVal = asSigned;
      break;
    }
    default: {  // CIM_UINT64
      std::wstring digits;
      AppendUnsigned(whole.magnitude, digits);
      documented = StringOf(digits);
      exact = Scalar(VT_UI8);
      exact.get().ullVal = whole.magnitude;
      break;
    }
  }
}

// The VARIANT type of an array's elements for each element CIM type.
VARTYPE ElementType(CIMTYPE type, bool exact) {
  switch (type) {
    case CIM_SINT8: return exact ? VT_I1 : VT_I2;
    case CIM_UINT8: return VT_UI1;
    case CIM_SINT16: return VT_I2;
    case CIM_UINT16: return exact ? VT_UI2 : VT_I4;
    case CIM_SINT32: return VT_I4;
    case CIM_UINT32: return exact ? VT_UI4 : VT_I4;
    case CIM_SINT64: return exact ? VT_I8 : VT_BSTR;
    case CIM_UINT64: return exact ? VT_UI8 : VT_BSTR;
    case CIM_REAL32: return VT_R4;
    case CIM_REAL64: return VT_R8;
    case CIM_BOOLEAN: return VT_BOOL;
    case CIM_CHAR16: return VT_I2;
    case CIM_OBJECT: return VT_UNKNOWN;
    default: return VT_BSTR;
  }
}

// Elements already converted to `elementType`, as one SAFEARRAY value.
Variant ArrayOf(VARTYPE elementType, const std::vector<Variant>& elements) {
  SafeArray array(SafeArrayCreateVector(elementType, 0, static_cast<ULONG>(elements.size())));
  if (!array.get()) std::abort();
  for (size_t i = 0; i < elements.size(); ++i) {
    const VARIANT& element = elements[i].get();
    LONG index = static_cast<LONG>(i);
    void* data = element.vt == VT_BSTR      ? static_cast<void*>(element.bstrVal)
                 : element.vt == VT_UNKNOWN ? static_cast<void*>(element.punkVal)
                                            : const_cast<void*>(static_cast<const void*>(&element.llVal));
    // SafeArrayPutElement copies strings and takes a reference of objects.
    if (FAILED(SafeArrayPutElement(array.get(), &index, data))) std::abort();
  }
  Variant value;
  VARIANT& slot = *value.put();
  slot.vt = static_cast<VARTYPE>(VT_ARRAY | elementType);
  slot.parray = array.release();
  return value;
}

class Converter {
 public:
  Converter(WmiAccess& wmi, Layout& layout, const WmiServices& services)
      : wmi_(wmi), layout_(layout), services_(services) {}

  // Finds `given` among the names `schema` declares, without case.
  // `found` is false when it is not there.
  HRESULT Find(const WmiObject& schema, const std::wstring& given, Declared& declared, bool& found) {
    found = false;
    if (!schema) return S_OK;
    SafeArray list;
    std::vector<std::wstring> names;
    HRESULT hr = wmi_.GetNames(schema, WBEM_FLAG_NONSYSTEM_ONLY, list);
    if (SUCCEEDED(hr)) hr = ReadNameList(wmi_, list, names);
    if (FAILED(hr)) return hr;
    for (const std::wstring& name : names) {
      if (!SameName(name, given)) continue;
      declared.name = name;
      Variant ignored;
      hr = wmi_.Get(schema, declared.name.c_str(), ignored, &declared.type);
      if (FAILED(hr)) return hr;
      // Only an object or a reference names its class here; a WMI that keeps
      // no qualifiers leaves it to "__CLASS".
      const std::wstring cimType = CimTypeQualifier(wmi_, schema, declared.name);
      declared.objectClass = QualifiedClass(cimType);
      declared.typeText = CimTypeText(declared.type, cimType);
      found = true;
      return S_OK;
    }
    return S_OK;
  }

  // Converts `value` for what `declared` says; prints why not and returns
  // false when it does not fit.
  bool Convert(const Json& value, const Declared& declared, const std::wstring& shownName,
               Variant& documented, Variant& exact) {
    if (value.is_null()) {
      documented = Scalar(VT_NULL);
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
      if (oneExact.type() == VT_EMPTY) oneExact = Copy(one);
      documentedElements.push_back(std::move(one));
      exactElements.push_back(std::move(oneExact));
    }
    documented = ArrayOf(ElementType(element, false), documentedElements);
    if (ElementType(element, true) != ElementType(element, false)) {
      exact = ArrayOf(ElementType(element, true), exactElements);
    }
    return true;
  }

  // Puts one converted value into `target`, once more as the exact type when
  // WMI calls the documented one a type mismatch.
  HRESULT Put(const WmiObject& target, const std::wstring& name, const Variant& documented, const Variant& exact) {
    HRESULT hr = wmi_.Put(target, name.c_str(), documented.get());
    if (hr == static_cast<HRESULT>(WBEM_E_TYPE_MISMATCH) && exact.type() != VT_EMPTY) {
      hr = wmi_.Put(target, name.c_str(), exact.get());
    }
    return hr;
  }

  bool ReportPutFailed(const std::wstring& name, HRESULT hr) {
    PrintError(layout_, L"ERROR: Failed to put %ls. Error code = 0x%x\r\n", name.c_str(), static_cast<unsigned>(hr));
    return false;
  }

  bool ReportReadFailed(HRESULT hr) {
    ReportFailure(layout_, L"ERROR: Failed to get names. Error code = 0x%x\r\n", hr);
    return false;
  }

  // Converts the text of one positional value for what `declared` says, by
  // the ranges named values have; prints why not and returns false when it
  // does not fit. Left to WMI, a uint32 above 2147483647 would be refused on
  // Windows, which reads the string as the VT_I4 a uint32 travels as.
  bool ConvertText(const std::wstring& text, const Declared& declared, Variant& documented, Variant& exact,
                   bool hexAllowed = false) {
    const CIMTYPE type = declared.type;
    if ((type & CIM_FLAG_ARRAY) || type == CIM_OBJECT) {
      PrintError(layout_, L"ERROR: %ls takes %ls: give it with /params:.\r\n", declared.name.c_str(),
                 declared.typeText.c_str());
      return false;
    }
    IntegerRange range{};
    if (RangeOf(type, range)) {
      std::string digits;
      Whole whole;
      if (hexAllowed && text.size() > 2 && text[0] == L'&' && (text[1] == L'H' || text[1] == L'h')) {
        if (!HexBits(text.substr(2), type, whole)) return TextOutOfRange(declared, text);
        if (!InRange(whole, range)) return TextOutOfRange(declared, text);
        IntegerVariants(type, whole, documented, exact);
        return true;
      }
      if (!ToUtf8(text, digits)) return NotOfType(declared, text);
      // Digits too many for 64 bits are a number still, only out of range.
      if (!ParseDecimal(digits, whole)) return IsDecimal(digits) ? TextOutOfRange(declared, text) : NotOfType(declared, text);
      if (!InRange(whole, range)) return TextOutOfRange(declared, text);
      IntegerVariants(type, whole, documented, exact);
      return true;
    }
    switch (type) {
      case CIM_REAL32:
      case CIM_REAL64: {
        wchar_t* end = nullptr;
        const double real = text.empty() || iswspace(text[0]) ? 0.0 : std::wcstod(text.c_str(), &end);
        if (end == nullptr || *end != L'\0' || !std::isfinite(real)) return NotOfType(declared, text);
        if (type == CIM_REAL64) {
          documented = Scalar(VT_R8);
          documented.get().dblVal = real;
          return true;
        }
        if (!std::isfinite(static_cast<float>(real))) return TextOutOfRange(declared, text);
        documented = Scalar(VT_R4);
        documented.get().fltVal = static_cast<float>(real);
        return true;
      }
      case CIM_BOOLEAN: {
        const bool isTrue = SameName(text, L"true") || text == L"1";
        if (!isTrue && !SameName(text, L"false") && text != L"0") return NotOfType(declared, text);
        documented = Scalar(VT_BOOL);
        documented.get().boolVal = isTrue ? VARIANT_TRUE : VARIANT_FALSE;
        return true;
      }
      case CIM_CHAR16:
        if (text.size() != 1) return TextOutOfRange(declared, L"\"" + text + L"\"");
        documented = Scalar(VT_I2);
        documented.get().iVal = static_cast<SHORT>(text[0]);
        return true;
      default:  // string, datetime, reference
        documented = StringOf(text);
        return true;
    }
  }

 private:
  static Variant Copy(const Variant& from) {
    Variant to;
    VariantCopy(to.put(), const_cast<VARIANT*>(&from.get()));
    return to;
  }

  bool WrongType(const Declared& declared, const std::wstring& shownName, const Json& value) {
    PrintError(layout_, L"ERROR: %ls takes %ls, not %ls.\r\n", shownName.c_str(), declared.typeText.c_str(),
               JsonKind(value));
    return false;
  }

  bool NotOfType(const Declared& declared, const std::wstring& text) {
    PrintError(layout_, L"ERROR: %ls takes %ls, not \"%ls\".\r\n", declared.name.c_str(), declared.typeText.c_str(),
               text.c_str());
    return false;
  }

  bool TextOutOfRange(const Declared& declared, const std::wstring& text) {
    PrintError(layout_, L"ERROR: %ls takes %ls; %ls is out of its range.\r\n", declared.name.c_str(),
               declared.typeText.c_str(), text.c_str());
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
          documented = Scalar(VT_R8);
          documented.get().dblVal = real;
          return true;
        }
        const float single = static_cast<float>(real);
        if (!std::isfinite(single)) return OutOfRange(declared, shownName, value);
        documented = Scalar(VT_R4);
        documented.get().fltVal = single;
        return true;
      }
      case CIM_BOOLEAN:
        if (!value.is_boolean()) return WrongType(declared, shownName, value);
        documented = Scalar(VT_BOOL);
        documented.get().boolVal = value.get<bool>() ? VARIANT_TRUE : VARIANT_FALSE;
        return true;
      case CIM_CHAR16: {
        if (!value.is_string()) return WrongType(declared, shownName, value);
        const std::wstring text = JsonText(value.get<std::string>());
        if (text.size() != 1) return OutOfRange(declared, shownName, value);
        documented = Scalar(VT_I2);
        documented.get().iVal = static_cast<SHORT>(text[0]);
        return true;
      }
      case CIM_OBJECT:
        if (!value.is_object()) return WrongType(declared, shownName, value);
        return BuildObject(value, declared, shownName, documented);
      default:  // string, datetime, reference
        if (!value.is_string()) return WrongType(declared, shownName, value);
        documented = StringOf(JsonText(value.get<std::string>()));
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
      hr = Find(instance, name, inner, found);
      if (FAILED(hr)) return ReportReadFailed(hr);
      if (!found) {
        PrintError(layout_, L"ERROR: %ls has no property %ls.\r\n", className.c_str(), name.c_str());
        return false;
      }
      Variant innerValue;
      Variant innerExact;
      if (!Convert(member.value(), inner, name, innerValue, innerExact)) return false;
      hr = Put(instance, inner.name, innerValue, innerExact);
      if (FAILED(hr)) return ReportPutFailed(name, hr);
    }
    hr = wmi_.ObjectValue(instance, value);
    if (FAILED(hr)) return ReportPutFailed(shownName, hr);
    return true;
  }

  WmiAccess& wmi_;
  Layout& layout_;
  const WmiServices& services_;
};

// The class of a result object, for the message about a property it lacks.
std::wstring ClassOf(WmiAccess& wmi, const WmiObject& object) {
  Variant name;
  if (SUCCEEDED(wmi.Get(object, kClassMember, name, nullptr)) && name.type() == VT_BSTR && name.get().bstrVal) {
    return name.get().bstrVal;
  }
  return L"The object";
}

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
  Converter converter(wmi, layout, services);
  for (auto member = values.begin(); member != values.end(); ++member) {
    const std::wstring given = JsonText(member.key());
    Declared declared;
    bool found = false;
    const HRESULT hr = converter.Find(target, given, declared, found);
    if (FAILED(hr)) {
      converter.ReportReadFailed(hr);
      return 1;
    }
    if (!found) {
      if (method != nullptr) {
        PrintError(layout, L"ERROR: Method %ls has no input parameter %ls.\r\n", method, given.c_str());
      } else {
        PrintError(layout, L"ERROR: %ls has no property %ls.\r\n", ClassOf(wmi, target).c_str(), given.c_str());
      }
      return 1;
    }
    TypedValue value;
    value.name = declared.name;
    value.json = Compact(member.value());
    if (!converter.Convert(member.value(), declared, given, value.value, value.exact)) return 1;
    converted.push_back(std::move(value));
  }
  return 0;
}

int PutNamedValues(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiObject& target,
                   const std::vector<TypedValue>& values) {
  // Embedded objects are already built; only the target is left.
  const WmiServices none;
  Converter converter(wmi, layout, none);
  for (const TypedValue& value : values) {
    if (settings.debugDisplay) PrintInfo(layout, L"INFO: Put %ls=%ls\r\n", value.name.c_str(), value.json.c_str());
    const HRESULT hr = converter.Put(target, value.name, value.value, value.exact);
    if (FAILED(hr)) {
      converter.ReportPutFailed(value.name, hr);
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

int ConvertPositionalValues(WmiAccess& wmi, Layout& layout, const std::vector<std::wstring>& values,
                            const WmiObject& target, const wchar_t* method, std::vector<TypedValue>& converted) {
  converted.clear();
  std::vector<std::wstring> names;
  if (ReadParameterNames(wmi, layout, target, names) != 0) return 1;
  // A value must never land in the wrong parameter.
  if (values.size() > names.size()) {
    PrintError(layout, L"ERROR: Method %ls takes %d input parameters, %d values given.\r\n", method,
               static_cast<int>(names.size()), static_cast<int>(values.size()));
    return 1;
  }
  const WmiServices none;
  Converter converter(wmi, layout, none);
  for (size_t i = 0; i < values.size(); ++i) {
    Declared declared;
    bool found = false;
    const HRESULT hr = converter.Find(target, names[i], declared, found);
    if (FAILED(hr) || !found) {
      converter.ReportReadFailed(FAILED(hr) ? hr : static_cast<HRESULT>(WBEM_E_NOT_FOUND));
      return 1;
    }
    TypedValue value;
    value.name = declared.name;
    value.json = values[i];
    if (!converter.ConvertText(values[i], declared, value.value, value.exact)) return 1;
    converted.push_back(std::move(value));
  }
  return 0;
}

int ConvertTextValues(WmiAccess& wmi, Layout& layout, const std::vector<TextValue>& values, const WmiObject& target,
                      const wchar_t* method, std::vector<TypedValue>& converted) {
  converted.clear();
  std::vector<std::wstring> names;
  if (method != nullptr && ReadParameterNames(wmi, layout, target, names) != 0) return 1;
  const WmiServices none;
  Converter converter(wmi, layout, none);
  size_t position = 0;
  for (const TextValue& given : values) {
    const bool named = !given.name.empty();
    if (!named && position >= names.size()) {
      if (method != nullptr) {
        PrintError(layout, L"ERROR: Method %ls takes %d input parameters, %d values given.\r\n", method,
                   static_cast<int>(names.size()), static_cast<int>(values.size()));
      } else {
        PrintError(layout, L"ERROR: \"%ls\" names no property: give it as NAME=VALUE.\r\n", given.text.c_str());
      }
      return 1;
    }
    const std::wstring name = named ? given.name : names[position++];
    Declared declared;
    bool found = false;
    const HRESULT hr = converter.Find(target, name, declared, found);
    if (FAILED(hr)) {
      converter.ReportReadFailed(hr);
      return 1;
    }
    if (!found) {
      if (method != nullptr) {
        PrintError(layout, L"ERROR: Method %ls has no input parameter %ls.\r\n", method, name.c_str());
      } else {
        PrintError(layout, L"ERROR: %ls has no property %ls.\r\n", ClassOf(wmi, target).c_str(), name.c_str());
      }
      return 1;
    }
    TypedValue value;
    value.name = declared.name;
    value.json = given.text;
    if (!converter.ConvertText(given.text, declared, value.value, value.exact, true)) return 1;
    converted.push_back(std::move(value));
  }
  return 0;
}

HRESULT PutTypedValue(WmiAccess& wmi, const WmiObject& target, const TypedValue& value) {
  HRESULT hr = wmi.Put(target, value.name.c_str(), value.value.get());
  if (hr == static_cast<HRESULT>(WBEM_E_TYPE_MISMATCH) && value.exact.type() != VT_EMPTY) {
    hr = wmi.Put(target, value.name.c_str(), value.exact.get());
  }
  return hr;
}

int ConvertPropertyNumber(Layout& layout, const std::wstring& name, CIMTYPE type, const std::wstring& text,
                          TypedValue& value) {
  value = TypedValue{};
  IntegerRange range{};
  std::string digits;
  Whole whole;
  if (!RangeOf(type, range) || !ToUtf8(text, digits) || !ParseDecimal(digits, whole)) return 0;
  if (!InRange(whole, range)) {
    PrintError(layout, L"ERROR: %ls takes %ls; %ls is out of its range.\r\n", name.c_str(), CimTypeText(type, L"").c_str(),
               text.c_str());
    return 1;
  }
  value.name = name;
  value.json = text;
  IntegerVariants(type, whole, value.value, value.exact);
  return 0;
}
