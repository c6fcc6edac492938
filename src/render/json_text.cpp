#include "render/json_text.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "base/text.h"
#include "wmi/wmi_access.h"

namespace {

constexpr VARTYPE kCimChar16 = 103;

void AppendHexEscape(wchar_t unit, std::wstring& json) {
  static constexpr wchar_t kHexDigits[] = L"0123456789abcdef";
  const unsigned code = unit;
  const wchar_t escape[6] = {L'\\', L'u', kHexDigits[(code >> 12) & 0xF], kHexDigits[(code >> 8) & 0xF],
                             kHexDigits[(code >> 4) & 0xF], kHexDigits[code & 0xF]};
  json.append(escape, 6);
}

// Appends `text[i]`, a unit that needs a look: a quote, a backslash, a
// control character or a surrogate. A whole surrogate pair stands for itself,
// and `i` then moves past its second half.
void AppendSpecialUnit(std::wstring_view text, size_t& i, std::wstring& json) {
  const wchar_t unit = text[i];
  switch (unit) {
    case L'"': json += L"\\\""; return;
    case L'\\': json += L"\\\\"; return;
    case L'\b': json += L"\\b"; return;
    case L'\f': json += L"\\f"; return;
    case L'\n': json += L"\\n"; return;
    case L'\r': json += L"\\r"; return;
    case L'\t': json += L"\\t"; return;
    default: break;
  }
  if (IS_HIGH_SURROGATE(unit) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1])) {
    json.append(text.data() + i, 2);
    ++i;
    return;
  }
  AppendHexEscape(unit, json);
}

CIMTYPE BaseType(CIMTYPE cimType) { return cimType & ~CIM_FLAG_ARRAY; }

// Whether `text` is a decimal integer JSON can carry with the same digits and
// that fits the 64-bit type: no sign on an unsigned one, no leading zeros.
bool IsInteger64(std::wstring_view text, bool isSigned) {
  size_t at = 0;
  const bool negative = isSigned && !text.empty() && text[0] == L'-';
  if (negative) ++at;
  if (at == text.size()) return false;
  if (text[at] == L'0' && text.size() > at + 1) return false;
  const unsigned long long limit = !isSigned ? std::numeric_limits<unsigned long long>::max()
                                   : negative ? 0x8000000000000000ull
                                              : 0x7FFFFFFFFFFFFFFFull;
  unsigned long long number = 0;
  for (; at < text.size(); ++at) {
    const wchar_t c = text[at];
    if (c < L'0' || c > L'9') return false;
    const unsigned digit = static_cast<unsigned>(c - L'0');
    if (number > (limit - digit) / 10) return false;
    number = number * 10 + digit;
  }
  return true;
}

void AppendString(BSTR text, CIMTYPE cimType, std::wstring& json) {
  const std::wstring_view view(text ? text : L"", text ? SysStringLen(text) : 0);
  const CIMTYPE type = BaseType(cimType);
  if ((type == CIM_SINT64 || type == CIM_UINT64) && IsInteger64(view, type == CIM_SINT64)) {
    json.append(view);
    return;
  }
  AppendJsonString(view, json);
}

template <class Real>
void AppendReal(Real number, std::wstring& json) {
  if (!std::isfinite(number)) {
    json += L"null";
    return;
  }
  char digits[64];
  // Without a format, to_chars gives the shortest text that reads back as
  // the same number.
  const std::to_chars_result written = std::to_chars(digits, digits + sizeof(digits), number);
  for (const char* p = digits; p != written.ptr; ++p) json += static_cast<wchar_t>(*p);
}

void AppendChar16(unsigned short unit, std::wstring& json) {
  const wchar_t text[1] = {static_cast<wchar_t>(unit)};
  AppendJsonString(std::wstring_view(text, 1), json);
}

// WMI delivers uint32 in a signed 32-bit VARIANT; the CIM type says which.
void AppendInteger32(LONG number, CIMTYPE cimType, std::wstring& json) {
  if (BaseType(cimType) == CIM_UINT32) {
    AppendUnsigned(static_cast<ULONG>(number), json);
  } else {
    AppendSigned(number, json);
  }
}

class JsonWriter {
 public:
  JsonWriter(WmiAccess& wmi, LONG namesFlags, std::wstring& json) : wmi_(wmi), namesFlags_(namesFlags), json_(json) {}

  ValueStatus Value(const VARIANT& value, CIMTYPE cimType, int depth) {
    if (value.vt >= kArrayTypeFlag) return Array(value, cimType, depth);
    const bool char16 = BaseType(cimType) == CIM_CHAR16 && (value.vt == VT_I2 || value.vt == VT_UI2);
    if (char16 || value.vt == kCimChar16) {
      AppendChar16(value.uiVal, json_);
      return {};
    }
    switch (value.vt) {
      case VT_I1: AppendSigned(static_cast<signed char>(value.cVal), json_); break;
      case VT_UI1: AppendUnsigned(value.bVal, json_); break;
      case VT_I2: AppendSigned(value.iVal, json_); break;
      case VT_UI2: AppendUnsigned(value.uiVal, json_); break;
      case VT_I4: AppendInteger32(value.lVal, cimType, json_); break;
      case VT_UI4: AppendUnsigned(value.ulVal, json_); break;
      case VT_I8: AppendSigned(value.llVal, json_); break;
      case VT_UI8: AppendUnsigned(value.ullVal, json_); break;
      case VT_R4: AppendReal(value.fltVal, json_); break;
      case VT_R8: AppendReal(value.dblVal, json_); break;
      case VT_BOOL: json_ += value.boolVal ? L"true" : L"false"; break;
      case VT_BSTR: AppendString(value.bstrVal, cimType, json_); break;
      case VT_UNKNOWN: return Embedded(value, depth);
      default: json_ += L"null"; break;
    }
    return {};
  }

 private:
  ValueStatus Embedded(const VARIANT& value, int depth) {
    if (depth >= kMaxJsonNesting || value.punkVal == nullptr) {
      json_ += L"null";
      return {};
    }
    WmiObject object;
    const HRESULT hr = wmi_.EmbeddedObject(value, object);
    if (FAILED(hr)) return {hr, L"ERROR: Failed to read embedded object. Error code = 0x%x\r\n"};
    return Object(object, depth + 1);
  }

  ValueStatus Object(const WmiObject& object, int depth) {
    SafeArray names;
    HRESULT hr = wmi_.GetNames(object, namesFlags_, names);
    if (FAILED(hr)) return {hr, L"ERROR: Failed to get names. Error code = 0x%x\r\n"};
    LONG lower = 0;
    LONG upper = -1;
    hr = wmi_.ArrayLowerBound(names.get(), lower);
    if (SUCCEEDED(hr)) hr = wmi_.ArrayUpperBound(names.get(), upper);
    if (FAILED(hr)) return {hr, kArrayReadFailed};
    json_ += L'{';
    for (long long i = lower; i <= upper; ++i) {
      Bstr name;
      hr = wmi_.ArrayElement(names.get(), static_cast<LONG>(i), name.put(), sizeof(BSTR));
      if (FAILED(hr)) return {hr, kArrayReadFailed};
      Variant value;
      CIMTYPE cimType = 0;
      hr = wmi_.Get(object, name.c_str(), value, &cimType);
      if (FAILED(hr)) return {hr, L"ERROR: Failed to get. Error code = 0x%x\r\n"};
      if (i != lower) json_ += L',';
      AppendJsonString(std::wstring_view(name.c_str(), name.get() ? SysStringLen(name.get()) : 0), json_);
      json_ += L':';
      const ValueStatus status = Value(value.get(), cimType, depth);
      if (status.Failed()) return status;
    }
    json_ += L'}';
    return {};
  }

  template <class Element, class Append>
  HRESULT ReadElement(SAFEARRAY* array, LONG index, Append append) {
    Element element{};
    const HRESULT hr = wmi_.ArrayElement(array, index, &element, sizeof(element));
    if (SUCCEEDED(hr)) append(element);
    return hr;
  }

  ValueStatus WriteElement(SAFEARRAY* array, LONG index, VARTYPE code, CIMTYPE cimType, int depth) {
    HRESULT hr = S_OK;
    switch (code) {
      case VT_I1: hr = ReadElement<signed char>(array, index, [&](signed char v) { AppendSigned(v, json_); }); break;
      case VT_UI1: hr = ReadElement<BYTE>(array, index, [&](BYTE v) { AppendUnsigned(v, json_); }); break;
      case VT_I2: hr = ReadElement<SHORT>(array, index, [&](SHORT v) {
          if (BaseType(cimType) == CIM_CHAR16) {
            AppendChar16(static_cast<unsigned short>(v), json_);
          } else {
            AppendSigned(v, json_);
          }
        });
        break;
      case VT_UI2: hr = ReadElement<USHORT>(array, index, [&](USHORT v) { AppendUnsigned(v, json_); }); break;
      case VT_I4: hr = ReadElement<LONG>(array, index, [&](LONG v) { AppendInteger32(v, cimType, json_); }); break;
      case VT_UI4: hr = ReadElement<ULONG>(array, index, [&](ULONG v) { AppendUnsigned(v, json_); }); break;
      case VT_I8: hr = ReadElement<LONGLONG>(array, index, [&](LONGLONG v) { AppendSigned(v, json_); }); break;
      case VT_UI8: hr = ReadElement<ULONGLONG>(array, index, [&](ULONGLONG v) { AppendUnsigned(v, json_); }); break;
      case VT_R4: hr = ReadElement<float>(array, index, [&](float v) { AppendReal(v, json_); }); break;
      case VT_R8: hr = ReadElement<double>(array, index, [&](double v) { AppendReal(v, json_); }); break;
      case VT_BOOL:
        hr = ReadElement<VARIANT_BOOL>(array, index, [&](VARIANT_BOOL v) { json_ += v ? L"true" : L"false"; });
        break;
      case kCimChar16: hr = ReadElement<USHORT>(array, index, [&](USHORT v) { AppendChar16(v, json_); }); break;
      case VT_BSTR: {
        Bstr element;
        hr = wmi_.ArrayElement(array, index, element.put(), sizeof(BSTR));
        if (SUCCEEDED(hr)) AppendString(element.get(), cimType, json_);
        break;
      }
      case VT_UNKNOWN: {
        // The element arrives with a reference of its own, which the holder
        // gives back.
        Variant element;
        element.get().vt = VT_UNKNOWN;
        element.get().punkVal = nullptr;
        hr = wmi_.ArrayElement(array, index, &element.get().punkVal, sizeof(IUnknown*));
        if (SUCCEEDED(hr)) return Embedded(element.get(), depth);
        break;
      }
      default: json_ += L"null"; break;
    }
    if (FAILED(hr)) return {hr, kArrayReadFailed};
    return {};
  }

  ValueStatus Array(const VARIANT& value, CIMTYPE cimType, int depth) {
    // Only a plain SAFEARRAY can be walked.
    if ((value.vt & VT_BYREF) || !(value.vt & VT_ARRAY) || value.parray == nullptr) {
      json_ += L"null";
      return {};
    }
    LONG lower = 0;
    LONG upper = 0;
    HRESULT hr = wmi_.ArrayLowerBound(value.parray, lower);
    if (SUCCEEDED(hr)) hr = wmi_.ArrayUpperBound(value.parray, upper);
    if (FAILED(hr)) return {hr, kArrayReadFailed};
    const VARTYPE code = static_cast<VARTYPE>(value.vt - kArrayTypeFlag);
    json_ += L'[';
    for (long long k = lower; k <= upper; ++k) {
      if (k != lower) json_ += L',';
      const ValueStatus status = WriteElement(value.parray, static_cast<LONG>(k), code, cimType, depth);
      if (status.Failed()) return status;
    }
    json_ += L']';
    return {};
  }

  WmiAccess& wmi_;
  LONG namesFlags_;
  std::wstring& json_;
};

}  // namespace

void AppendJsonString(std::wstring_view text, std::wstring& json) {
  json += L'"';
  size_t runStart = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t unit = text[i];
    if (unit >= 0x20 && unit != L'"' && unit != L'\\' && !IS_HIGH_SURROGATE(unit) && !IS_LOW_SURROGATE(unit)) {
      continue;
    }
    json.append(text.data() + runStart, i - runStart);
    AppendSpecialUnit(text, i, json);
    runStart = i + 1;
  }
  json.append(text.data() + runStart, text.size() - runStart);
  json += L'"';
}

ValueStatus AppendJsonValue(WmiAccess& wmi, const VARIANT& value, CIMTYPE cimType, LONG namesFlags,
                            std::wstring& json) {
  return JsonWriter(wmi, namesFlags, json).Value(value, cimType, 0);
}
