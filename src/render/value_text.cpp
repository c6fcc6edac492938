#include "render/value_text.h"

#include "base/run_settings.h"
#include "base/text.h"
#include "wmi/wmi_access.h"

namespace {

void AppendHexByte(unsigned int byte, std::wstring& text) {
  static constexpr wchar_t kHexDigits[] = L"0123456789abcdef";
  const wchar_t hex[4] = {L'0', L'x', kHexDigits[(byte >> 4) & 0xF], kHexDigits[byte & 0xF]};
  text.append(hex, 4);
}

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

// The type to show a value or element of VARIANT type `code` as.
int ShownType(int code, CIMTYPE cimType) {
  const CIMTYPE base = cimType & ~CIM_FLAG_ARRAY;
  if (code == VT_I4 && base == CIM_UINT32) return VT_UI4;
  if (code == VT_I2 && base == CIM_CHAR16) return kCimChar16;
  return code;
}

void AppendUnknown(int typeCode, std::wstring& text) {
  text += L"!!UNSUPPORTED_CIM_UNKNOWN[";
  AppendSigned(typeCode, text);
  text += L"]!!";
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

HRESULT AppendArrayElement(WmiAccess& wmi, SAFEARRAY* array, LONG index, int arrayType, CIMTYPE cimType,
                           bool hexBytes, std::wstring& text) {
  const int code = ShownType(arrayType - kArrayTypeFlag, cimType);
  switch (code) {
    case VT_NULL:
      return S_OK;
    case VT_I2:
      return AppendElement<SHORT>(wmi, array, index, text, [](SHORT v, std::wstring& t) { AppendSigned(v, t); });
    case VT_I1:
      return AppendElement<signed char>(wmi, array, index, text,
                                        [](signed char v, std::wstring& t) { AppendSigned(v, t); });
    case VT_I4:
      return AppendElement<LONG>(wmi, array, index, text, [](LONG v, std::wstring& t) { AppendSigned(v, t); });
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
        if (hexBytes) {
          AppendHexByte(v, t);
        } else {
          AppendUnsigned(v, t);
        }
      });
    case VT_UI2:
      return AppendElement<USHORT>(wmi, array, index, text, [](USHORT v, std::wstring& t) { AppendUnsigned(v, t); });
    case VT_UI4:
      return AppendElement<ULONG>(wmi, array, index, text, [](ULONG v, std::wstring& t) { AppendUnsigned(v, t); });
    case VT_I8:
      return AppendElement<LONGLONG>(wmi, array, index, text, [](LONGLONG v, std::wstring& t) { AppendSigned(v, t); });
    case VT_UI8:
      return AppendElement<ULONGLONG>(wmi, array, index, text,
                                      [](ULONGLONG v, std::wstring& t) { AppendUnsigned(v, t); });
    case kCimChar16:
      return AppendElement<USHORT>(wmi, array, index, text, [](USHORT v, std::wstring& t) { AppendChar16(v, t); });
    default:
      if (!AppendFixedText(code, text)) AppendUnknown(arrayType, text);
      return S_OK;
  }
}

}  // namespace

void FormatValueText(const VARIANT& value, std::wstring& valueText, CIMTYPE cimType) {
  switch (ShownType(value.vt, cimType)) {
    case VT_NULL: break;
    case VT_I2: AppendSigned(value.iVal, valueText); break;
    case VT_I4: AppendSigned(value.lVal, valueText); break;
    case VT_BSTR: valueText += value.bstrVal ? value.bstrVal : L""; break;
    case VT_BOOL: valueText += value.boolVal ? L"TRUE" : L"FALSE"; break;
    case VT_I1: AppendSigned(static_cast<signed char>(value.cVal), valueText); break;
    case VT_UI1: AppendUnsigned(value.bVal, valueText); break;
    case VT_UI2: AppendUnsigned(value.uiVal, valueText); break;
    case VT_UI4: AppendUnsigned(value.ulVal, valueText); break;
    case VT_I8: AppendSigned(value.llVal, valueText); break;
    case VT_UI8: AppendUnsigned(value.ullVal, valueText); break;
    case kCimChar16: AppendChar16(value.uiVal, valueText); break;
    default:
      if (!AppendFixedText(value.vt, valueText)) AppendUnknown(value.vt, valueText);
      break;
  }
}

HRESULT FormatArrayText(WmiAccess& wmi, const RunSettings& settings, const VARIANT& value, std::wstring& valueText,
                        CIMTYPE cimType) {
  const int arrayType = value.vt;
  // Only a plain SAFEARRAY can be walked; anything else in the array range
  // (a by-reference value, say) is named rather than read.
  if ((value.vt & VT_BYREF) || !(value.vt & VT_ARRAY)) {
    AppendUnknown(arrayType, valueText);
    return S_OK;
  }
  LONG lower = 0;
  LONG upper = 0;
  HRESULT hr = wmi.ArrayLowerBound(value.parray, lower);
  if (SUCCEEDED(hr)) hr = wmi.ArrayUpperBound(value.parray, upper);
  if (FAILED(hr)) return hr;

  const bool matrix = settings.hexMatrix != 0;
  // Byte arrays (firmware blobs, EDIDs, SIDs) are the ones that run to
  // megabytes, and their text is at most 4 characters an element ("255,"),
  // 6 in the matrix ("0xff," and a share of the row labels). Making that room
  // at once spares the copies of a buffer growing by doubling.
  // Only for sizes a real array can have: the bounds are not trusted further.
  constexpr long long kLargestReservedCount = 1ll << 26;
  const long long elementCount = static_cast<long long>(upper) - lower + 1;
  if (arrayType - kArrayTypeFlag == VT_UI1 && elementCount > 0 && elementCount <= kLargestReservedCount) {
    const size_t count = static_cast<size_t>(elementCount);
    const size_t room = valueText.size() + 64 + count * (matrix ? 6 : 4);
    if (valueText.capacity() < room) valueText.reserve(room);
  }
  if (matrix) valueText += L"\r\n\t   0    1    2    3    4    5    6    7    8    9";
  const bool hexBytes = matrix;
  const wchar_t separator = settings.formatCsv ? L';' : L',';
  for (long long k = lower; k <= upper; ++k) {
    const long long offset = k - lower;
    if (matrix) {
      if (offset % 10 == 0) {
        valueText += L"\r\n";
        AppendSigned(offset / 10, valueText);
        valueText += L":\t";
      } else {
        valueText += L',';
      }
    } else if (offset != 0) {
      valueText += separator;
    }
    hr = AppendArrayElement(wmi, value.parray, static_cast<LONG>(k), arrayType, cimType, hexBytes, valueText);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT FormatPropertyText(WmiAccess& wmi, const RunSettings& settings, const VARIANT& value,
                           std::wstring& valueText, CIMTYPE cimType) {
  if (value.vt < kArrayTypeFlag) {
    FormatValueText(value, valueText, cimType);
    return S_OK;
  }
  valueText += L'{';
  const HRESULT hr = FormatArrayText(wmi, settings, value, valueText, cimType);
  valueText += L'}';
  return hr;
}
