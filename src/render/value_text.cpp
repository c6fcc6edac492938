#include "render/value_text.h"

#include "cli/output.h"
#include "cli/run_settings.h"
#include "wmi/wmi_access.h"

namespace {

// CIM type codes that share their slot with no VARIANT type.
constexpr int kCimDateTime = 101;
constexpr int kCimReference = 102;
constexpr int kCimChar16 = 103;
constexpr int kCimIllegal = 0xFFF;

void AppendChar16(unsigned int code, std::wstring& text) {
  const unsigned int low = code & 0xFF;
  if (low == 0) {
    text += L"'\\x0000'";
  } else {
    // The low byte stands for itself: 0x80 and up are the Latin-1 characters.
    text += L'\'';
    text += static_cast<wchar_t>(low);
    text += L'\'';
  }
}

void AppendUnknown(int typeCode, std::wstring& text) {
  AppendFormat(text, L"!!UNSUPPORTED_CIM_UNKNOWN[%d]!!", typeCode);
}

// Texts for types whose values are never read. Returns false for readable types.
bool AppendFixedText(int code, std::wstring& text) {
  switch (code) {
    case VT_EMPTY: text += L"!!CIM_EMPTY!!"; return true;
    case VT_R4: text += L"!!UNSUPPORTED_CIM_REAL32!!"; return true;
    case VT_R8: text += L"!!UNSUPPORTED_CIM_REAL64!!"; return true;
    case VT_UNKNOWN: text += L"!!UNSUPPORTED_CIM_OBJECT!!"; return true;
    case kCimDateTime: text += L"!!UNSUPPORTED_CIM_DATETIME!!"; return true;
    case kCimReference: text += L"!!UNSUPPORTED_CIM_REFERENCE!!"; return true;
    case kCimIllegal: text += L"!!CIM_ILLEGAL!!"; return true;
    default: return false;
  }
}

// Reads element `index` into `element` and appends its text.
template <class Element, class Append>
HRESULT AppendElement(WmiAccess& wmi, SAFEARRAY* array, LONG index, std::wstring& text, Append append) {
  Element element{};
  const HRESULT hr = wmi.ArrayElement(array, index, &element, sizeof(element));
  if (FAILED(hr)) return hr;
  append(element, text);
  return S_OK;
}

HRESULT AppendArrayElement(WmiAccess& wmi, SAFEARRAY* array, LONG index, int arrayType, bool hexBytes,
                           std::wstring& text) {
  const int code = arrayType - kArrayTypeFlag;
  switch (code) {
    case VT_NULL:
      return S_OK;
    case VT_I2:
      return AppendElement<SHORT>(wmi, array, index, text,
                                  [](SHORT v, std::wstring& t) { AppendFormat(t, L"%d", static_cast<int>(v)); });
    case VT_I1:
      return AppendElement<signed char>(
          wmi, array, index, text, [](signed char v, std::wstring& t) { AppendFormat(t, L"%d", static_cast<int>(v)); });
    case VT_I4:
      return AppendElement<LONG>(
          wmi, array, index, text, [](LONG v, std::wstring& t) { AppendFormat(t, L"%lld", static_cast<long long>(v)); });
    case VT_BSTR: {
      Bstr element;
      const HRESULT hr = wmi.ArrayElement(array, index, element.put(), sizeof(BSTR));
      if (FAILED(hr)) return hr;
      text += L'"';
      text += element.c_str();
      text += L'"';
      return S_OK;
    }
    case VT_BOOL:
      return AppendElement<VARIANT_BOOL>(wmi, array, index, text,
                                         [](VARIANT_BOOL v, std::wstring& t) { t += v ? L"TRUE" : L"FALSE"; });
    case VT_UI1:
      return AppendElement<BYTE>(wmi, array, index, text, [hexBytes](BYTE v, std::wstring& t) {
        AppendFormat(t, hexBytes ? L"0x%02x" : L"%u", static_cast<unsigned>(v));
      });
    case VT_UI2:
      return AppendElement<USHORT>(
          wmi, array, index, text, [](USHORT v, std::wstring& t) { AppendFormat(t, L"%u", static_cast<unsigned>(v)); });
    case VT_UI4:
      return AppendElement<ULONG>(wmi, array, index, text, [](ULONG v, std::wstring& t) {
        AppendFormat(t, L"%llu", static_cast<unsigned long long>(v));
      });
    case VT_I8:
      return AppendElement<LONGLONG>(
          wmi, array, index, text, [](LONGLONG v, std::wstring& t) { AppendFormat(t, L"%lld", static_cast<long long>(v)); });
    case VT_UI8:
      return AppendElement<ULONGLONG>(wmi, array, index, text, [](ULONGLONG v, std::wstring& t) {
        AppendFormat(t, L"%llu", static_cast<unsigned long long>(v));
      });
    case kCimChar16:
      return AppendElement<USHORT>(wmi, array, index, text, [](USHORT v, std::wstring& t) { AppendChar16(v, t); });
    default:
      if (!AppendFixedText(code, text)) AppendUnknown(arrayType, text);
      return S_OK;
  }
}

}  // namespace

void FormatValueText(const VARIANT& value, std::wstring& valueText) {
  switch (value.vt) {
    case VT_NULL: break;
    case VT_I2: AppendFormat(valueText, L"%ld", static_cast<long>(value.iVal)); break;
    case VT_I4: AppendFormat(valueText, L"%lld", static_cast<long long>(value.lVal)); break;
    case VT_BSTR: valueText += value.bstrVal ? value.bstrVal : L""; break;
    case VT_BOOL: valueText += value.boolVal ? L"TRUE" : L"FALSE"; break;
    case VT_I1: AppendFormat(valueText, L"%d", static_cast<int>(static_cast<signed char>(value.cVal))); break;
    case VT_UI1: AppendFormat(valueText, L"%u", static_cast<unsigned>(value.bVal)); break;
    case VT_UI2: AppendFormat(valueText, L"%lu", static_cast<unsigned long>(value.uiVal)); break;
    case VT_UI4: AppendFormat(valueText, L"%llu", static_cast<unsigned long long>(value.ulVal)); break;
    case VT_I8: AppendFormat(valueText, L"%lld", static_cast<long long>(value.llVal)); break;
    case VT_UI8: AppendFormat(valueText, L"%llu", static_cast<unsigned long long>(value.ullVal)); break;
    case kCimChar16: AppendChar16(value.uiVal, valueText); break;
    default:
      if (!AppendFixedText(value.vt, valueText)) AppendUnknown(value.vt, valueText);
      break;
  }
}

HRESULT FormatArrayText(WmiAccess& wmi, const VARIANT& value, std::wstring& valueText) {
  const int arrayType = value.vt;
  // Only a plain SAFEARRAY can be walked; anything else in the array range
  // (a by-reference value, say) is named rather than read.
  if ((value.vt & VT_BYREF) || !(value.vt & VT_ARRAY)) {
    AppendUnknown(arrayType, valueText);
    return S_OK;
  }
  const RunSettings& settings = Settings();
  LONG lower = 0;
  LONG upper = 0;
  HRESULT hr = wmi.ArrayLowerBound(value.parray, lower);
  if (SUCCEEDED(hr)) hr = wmi.ArrayUpperBound(value.parray, upper);
  if (FAILED(hr)) return hr;

  const bool matrix = settings.hexMatrix != 0;
  if (matrix) valueText += L"\r\n\t   0    1    2    3    4    5    6    7    8    9";
  const bool hexBytes = matrix;
  const wchar_t* separator = settings.formatCsv ? L";" : L",";
  for (long long k = lower; k <= upper; ++k) {
    const long long offset = k - lower;
    if (matrix) {
      if (offset % 10 == 0) {
        AppendFormat(valueText, L"\r\n%lld:\t", offset / 10);
      } else {
        valueText += L',';
      }
    } else if (offset != 0) {
      valueText += separator;
    }
    hr = AppendArrayElement(wmi, value.parray, static_cast<LONG>(k), arrayType, hexBytes, valueText);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT FormatPropertyText(WmiAccess& wmi, const VARIANT& value, std::wstring& valueText) {
  if (value.vt < kArrayTypeFlag) {
    FormatValueText(value, valueText);
    return S_OK;
  }
  valueText += L'{';
  const HRESULT hr = FormatArrayText(wmi, value, valueText);
  valueText += L'}';
  return hr;
}
