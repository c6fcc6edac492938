#include "render/wmic_value_text.h"

#include <charconv>
#include <cwchar>

#include "base/text.h"
#include "render/value_text.h"
#include "wmi/wmi_access.h"

namespace {

// What wmic made of a value its stylesheet had no text for. Embedded objects
// are the only such values a class declares; no capture shows one, so they
// keep the placeholder Tollix prints elsewhere.
constexpr wchar_t kEmbeddedObjectText[] = L"!!UNSUPPORTED_CIM_OBJECT!!";

// A reference in CSV: wmic's stylesheet wraps the path in quotes and leaves a
// comma before the closing one. Scripts that read these files cut on exactly
// that, so it is kept, stray comma and all.
constexpr wchar_t kCsvReferenceOpen[] = L"\"";
constexpr wchar_t kCsvReferenceClose[] = L",\"";

// wmic's CSV went through XML, and "&" came out as "&amp;" (seen in captures).
// "<" and ">" are assumed to have come out as entities the same way. Text
// and value layouts show every character as it is.
void AppendCsvEscaped(const wchar_t* text, std::wstring& out) {
  for (const wchar_t* p = text; *p != 0; ++p) {
    switch (*p) {
      case L'&': out += L"&amp;"; break;
      case L'<': out += L"&lt;"; break;
      case L'>': out += L"&gt;"; break;
      default: out += *p; break;
    }
  }
}

void AppendString(const wchar_t* text, WmicValueStyle style, std::wstring& out) {
  if (style == WmicValueStyle::kCsv) {
    AppendCsvEscaped(text, out);
  } else {
    out += text;
  }
}

void AppendCodePoint(unsigned long codePoint, std::wstring& out) {
  wchar_t digits[16];
  swprintf(digits, sizeof(digits) / sizeof(digits[0]), L"&#%lu;", codePoint);
  out += digits;
}

template <class Real>
void AppendReal(Real number, std::wstring& out) {
  char digits[64];
  // The shortest text that reads back as the same number, as CIM writes reals.
  const std::to_chars_result written = std::to_chars(digits, digits + sizeof(digits), number);
  for (const char* p = digits; p != written.ptr; ++p) out += static_cast<wchar_t>(*p);
}

// Whether array elements of this CIM type are quoted in the text style:
// strings, and what CIM carries as strings (dates, references). 64-bit
// numbers arrive as strings too, but are numbers, so they stay bare.
bool QuotedInArrays(CIMTYPE base, VARTYPE elementType) {
  if (elementType != VT_BSTR) return false;
  switch (base) {
    case CIM_SINT64:
    case CIM_UINT64: return false;
    default: return true;
  }
}

// One value, alone or as an element of an array.
void AppendSingle(const VARIANT& value, CIMTYPE base, WmicValueStyle style, bool element, std::wstring& out) {
  switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL: return;
    case VT_BOOL: out += value.boolVal ? L"TRUE" : L"FALSE"; return;
    case VT_R4: AppendReal(value.fltVal, out); return;
    case VT_R8: AppendReal(value.dblVal, out); return;
    case VT_UNKNOWN: out += kEmbeddedObjectText; return;
    case VT_BSTR: {
      const wchar_t* text = value.bstrVal != nullptr ? value.bstrVal : L"";
      if (base == CIM_REFERENCE && style == WmicValueStyle::kCsv && !element) {
        out += kCsvReferenceOpen;
        AppendCsvEscaped(text, out);
        out += kCsvReferenceClose;
        return;
      }
      const bool quoted = element && style == WmicValueStyle::kText && QuotedInArrays(base, VT_BSTR);
      if (quoted) out += L'"';
      AppendString(text, style, out);
      if (quoted) out += L'"';
      return;
    }
    case VT_I2:
      // A char16 is shown as the character it is.
      if (base == CIM_CHAR16) {
        const wchar_t character[2] = {static_cast<wchar_t>(value.uiVal), 0};
        if (character[0] != 0) AppendString(character, style, out);
        return;
      }
      break;
    default: break;
  }
  // Integers: Tollix's own text already reads uint32 out of its VT_I4.
  FormatValueText(value, out, base);
}

// The size of one element of an array of `type`, or 0 for a type that is
// not read.
size_t ElementSize(VARTYPE type) {
  switch (type) {
    case VT_I1:
    case VT_UI1: return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL: return sizeof(SHORT);
    case VT_I4:
    case VT_UI4: return sizeof(LONG);
    case VT_R4: return sizeof(float);
    case VT_I8:
    case VT_UI8: return sizeof(LONGLONG);
    case VT_R8: return sizeof(double);
    case VT_BSTR: return sizeof(BSTR);
    case VT_UNKNOWN: return sizeof(IUnknown*);
    default: return 0;
  }
}

const wchar_t* XmlValueTag(CIMTYPE base) { return base == CIM_REFERENCE ? L"VALUE.REFERENCE" : L"VALUE"; }

// One value as the text of its XML element.
void AppendXmlSingle(const VARIANT& value, CIMTYPE base, std::wstring& out) {
  const wchar_t* tag = XmlValueTag(base);
  out += L'<';
  out += tag;
  out += L'>';
  if (value.vt == VT_BSTR && value.bstrVal != nullptr) {
    AppendXmlEscaped(value.bstrVal, out);
  } else {
    std::wstring text;
    AppendSingle(value, base, WmicValueStyle::kXml, false, text);
    AppendXmlEscaped(text, out);
  }
  out += L"</";
  out += tag;
  out += L'>';
}

HRESULT AppendArray(WmiAccess& wmi, const VARIANT& value, CIMTYPE base, WmicValueStyle style, std::wstring& out) {
  const VARTYPE elementType = static_cast<VARTYPE>(value.vt & VT_TYPEMASK);
  const size_t elementSize = ElementSize(elementType);
  if ((value.vt & VT_BYREF) || elementSize == 0) {
    FormatValueText(value, out, 0);  // names the type it cannot read
    return S_OK;
  }
  LONG lower = 0;
  LONG upper = -1;
  HRESULT hr = wmi.ArrayLowerBound(value.parray, lower);
  if (SUCCEEDED(hr)) hr = wmi.ArrayUpperBound(value.parray, upper);
  if (FAILED(hr)) return hr;
  const bool xml = style == WmicValueStyle::kXml;
  const wchar_t* const arrayTag = base == CIM_REFERENCE ? L"VALUE.REFARRAY" : L"VALUE.ARRAY";
  const wchar_t separator = style == WmicValueStyle::kCsv ? L';' : L',';
  out += xml ? std::wstring(L"<") + arrayTag + L'>' : std::wstring(L"{");
  for (long long index = lower; index <= upper; ++index) {
    if (index != lower && !xml) out += separator;
    // The element lands in the holder's own slot, so that a string or an
    // object read out is freed with it.
    Variant element;
    hr = wmi.ArrayElement(value.parray, static_cast<LONG>(index), &element.get().llVal, elementSize);
    if (FAILED(hr)) return hr;
    element.get().vt = elementType;
    if (xml) {
      AppendXmlSingle(element.get(), base, out);
    } else {
      AppendSingle(element.get(), base, style, true, out);
    }
  }
  out += xml ? std::wstring(L"</") + arrayTag + L'>' : std::wstring(L"}");
  return S_OK;
}

}  // namespace

HRESULT AppendWmicValueText(WmiAccess& wmi, const VARIANT& value, CIMTYPE cimType, WmicValueStyle style,
                            std::wstring& text) {
  const CIMTYPE base = cimType & ~CIM_FLAG_ARRAY;
  if (value.vt & VT_ARRAY) return AppendArray(wmi, value, base, style, text);
  if (style != WmicValueStyle::kXml) {
    AppendSingle(value, base, style, false, text);
  } else if (value.vt != VT_NULL && value.vt != VT_EMPTY) {
    AppendXmlSingle(value, base, text);
  }
  return S_OK;
}

void AppendXmlEscaped(std::wstring_view text, std::wstring& out) {
  constexpr unsigned long kReplacement = 0xFFFD;
  for (size_t i = 0; i < text.size(); ++i) {
    // A run that needs nothing goes in whole.
    size_t plain = i;
    while (plain < text.size() && text[plain] >= 0x20 && text[plain] < 0x7F && text[plain] != L'&' &&
           text[plain] != L'<' && text[plain] != L'>' && text[plain] != L'"' && text[plain] != L'\'') {
      ++plain;
    }
    if (plain > i) {
      out.append(text, i, plain - i);
      i = plain;
      if (i == text.size()) break;
    }
    const wchar_t c = text[i];
    switch (c) {
      case L'&': out += L"&amp;"; continue;
      case L'<': out += L"&lt;"; continue;
      case L'>': out += L"&gt;"; continue;
      case L'"': out += L"&quot;"; continue;
      case L'\'': out += L"&apos;"; continue;
      default: break;
    }
    if (c >= 0x20 && c < 0x7F) {
      out += c;
    } else if (c == L'\t' || c == L'\n' || c == L'\r') {
      // As references, so that a parser keeps them as they were rather than
      // folding them into spaces or single line ends.
      AppendCodePoint(c, out);
    } else if (c < 0x20 || c == 0xFFFE || c == 0xFFFF) {
      AppendCodePoint(kReplacement, out);
    } else if (IS_HIGH_SURROGATE(c) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1])) {
      AppendCodePoint(0x10000 + ((static_cast<unsigned long>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00), out);
      ++i;
    } else if (IS_HIGH_SURROGATE(c) || IS_LOW_SURROGATE(c)) {
      AppendCodePoint(kReplacement, out);
    } else {
      AppendCodePoint(c, out);
    }
  }
}
