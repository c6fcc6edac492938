// Values typed as text (/args:, and the values of wmic's call, set and
// create), converted by the CIM type WMI declares for each.
#include <cmath>
#include <cwchar>
#include <cwctype>
#include <string>
#include <utility>

#include "base/run_settings.h"
#include "base/text.h"
#include "operations/cim_number_rules.h"
#include "operations/cim_variants.h"
#include "operations/declared_schema.h"
#include "operations/typed_values.h"
#include "operations/value_refusals.h"
#include "render/cim_type_text.h"
#include "render/layout.h"

namespace {

bool SameName(const std::wstring& a, const wchar_t* b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b, -1, TRUE) == CSTR_EQUAL;
}

class TextConverter {
 public:
  explicit TextConverter(Layout& layout) : layout_(layout) {}

  // Converts the text of one value for what `declared` says, by the ranges
  // named values have; prints why not and returns false when it does not
  // fit. Left to WMI, a uint32 above 2147483647 would be refused on Windows,
  // which reads the string as the VT_I4 a uint32 travels as.
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
          documented = ScalarVariant(VT_R8);
          documented.get().dblVal = real;
          return true;
        }
        if (!std::isfinite(static_cast<float>(real))) return TextOutOfRange(declared, text);
        documented = ScalarVariant(VT_R4);
        documented.get().fltVal = static_cast<float>(real);
        return true;
      }
      case CIM_BOOLEAN: {
        const bool isTrue = SameName(text, L"true") || text == L"1";
        if (!isTrue && !SameName(text, L"false") && text != L"0") return NotOfType(declared, text);
        documented = ScalarVariant(VT_BOOL);
        documented.get().boolVal = isTrue ? VARIANT_TRUE : VARIANT_FALSE;
        return true;
      }
      case CIM_CHAR16:
        if (text.size() != 1) return TextOutOfRange(declared, L"\"" + text + L"\"");
        documented = ScalarVariant(VT_I2);
        documented.get().iVal = static_cast<SHORT>(text[0]);
        return true;
      default:  // string, datetime, reference
        documented = StringVariant(text);
        return true;
    }
  }

  // Converts each element of a list for the element type of the array
  // `declared`, by the rules of one value, and names the first that does not
  // fit by its place.
  bool ConvertList(const std::vector<std::wstring>& elements, const Declared& declared, Variant& documented,
                   Variant& exact) {
    const CIMTYPE element = declared.type & ~CIM_FLAG_ARRAY;
    Declared itemDeclared = declared;
    itemDeclared.type = element;
    itemDeclared.typeText = declared.typeText.substr(0, declared.typeText.size() - 2);
    std::vector<Variant> documentedElements;
    std::vector<Variant> exactElements;
    for (size_t i = 0; i < elements.size(); ++i) {
      itemDeclared.name = declared.name + L"[" + std::to_wstring(i) + L"]";
      Variant one;
      Variant oneExact;
      if (!ConvertText(elements[i], itemDeclared, one, oneExact, true)) return false;
      documentedElements.push_back(std::move(one));
      exactElements.push_back(std::move(oneExact));
    }
    ArrayVariants(element, documentedElements, std::move(exactElements), documented, exact);
    return true;
  }

  bool NotAList(const Declared& declared) {
    PrintError(layout_, L"ERROR: %ls takes %ls, not a list of values.\r\n", declared.name.c_str(),
               declared.typeText.c_str());
    return false;
  }

 private:
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

  Layout& layout_;
};

// A list as the trace shows it: (a,b).
std::wstring ListText(const std::vector<std::wstring>& elements) {
  std::wstring text = L"(";
  for (size_t i = 0; i < elements.size(); ++i) text += (i == 0 ? L"" : L",") + elements[i];
  return text + L")";
}

}  // namespace

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
  TextConverter converter(layout);
  for (size_t i = 0; i < values.size(); ++i) {
    Declared declared;
    bool found = false;
    const HRESULT hr = FindDeclared(wmi, target, names[i], declared, found);
    if (FAILED(hr) || !found) {
      ReportNamesUnread(layout, FAILED(hr) ? hr : static_cast<HRESULT>(WBEM_E_NOT_FOUND));
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
  TextConverter converter(layout);
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
    if (!FindDeclaredOrReport(wmi, layout, target, method, name, declared)) return 1;
    TypedValue value;
    value.name = declared.name;
    value.json = given.list ? ListText(given.elements) : given.text;
    if (method != nullptr && (declared.type & CIM_FLAG_ARRAY)) {
      // A plain value is the array's one element.
      const std::vector<std::wstring> elements = given.list ? given.elements : std::vector<std::wstring>{given.text};
      if (!converter.ConvertList(elements, declared, value.value, value.exact)) return 1;
    } else if (given.list) {
      converter.NotAList(declared);
      return 1;
    } else if (!converter.ConvertText(given.text, declared, value.value, value.exact, true)) {
      return 1;
    }
    converted.push_back(std::move(value));
  }
  return 0;
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
