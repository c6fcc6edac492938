#include "support/values.h"

#include <cstdlib>
#include <cstring>

namespace {

Variant WrapArray(VARTYPE arrayType, SAFEARRAY* array) {
  if (array == nullptr) std::abort();
  Variant value;
  value.get().vt = arrayType;
  value.get().parray = array;
  return value;
}

SAFEARRAY* CreateVector(VARTYPE elementType, ULONG count, LONG lower) {
  SAFEARRAYBOUND bound{count, lower};
  return SafeArrayCreate(elementType, 1, &bound);
}

void StoreInteger(void* slot, VARTYPE type, long long value) {
  switch (type) {
    case VT_I1: case VT_UI1: { unsigned char v = static_cast<unsigned char>(value); memcpy(slot, &v, 1); break; }
    case VT_I2: case VT_UI2: case VT_BOOL: case 103: { unsigned short v = static_cast<unsigned short>(value); memcpy(slot, &v, 2); break; }
    case VT_I4: case VT_UI4: { unsigned int v = static_cast<unsigned int>(value); memcpy(slot, &v, 4); break; }
    default: memcpy(slot, &value, 8); break;
  }
}

}  // namespace

Variant Copy(const VARIANT& value) {
  Variant copy;
  if (SUCCEEDED(VariantCopy(copy.put(), const_cast<VARIANT*>(&value)))) return copy;
  // VariantCopy refuses type codes that only CIM has (101 to 103, 0xFFF);
  // their payload is a plain number, or a SAFEARRAY copied as such.
  if (value.vt & VT_BYREF) std::abort();
  if (value.vt & VT_ARRAY) {
    SAFEARRAY* array = nullptr;
    if (FAILED(SafeArrayCopy(value.parray, &array))) std::abort();
    copy.get().vt = value.vt;
    copy.get().parray = array;
    return copy;
  }
  copy.get() = value;
  return copy;
}

Variant NullValue() { return TypedValue(VT_NULL); }

Variant StringValue(const wchar_t* text) { return Variant::FromString(text); }

Variant StringValue(const std::wstring& text) {
  Variant value;
  value.get().vt = VT_BSTR;
  value.get().bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return value;
}

Variant BoolValue(bool flag) {
  Variant value;
  value.get().vt = VT_BOOL;
  value.get().boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
  return value;
}

Variant IntegerValue(VARTYPE type, long long number) {
  Variant value;
  value.get().vt = type;
  StoreInteger(&value.get().llVal, type, number);
  return value;
}

Variant RealValue(VARTYPE type, double number) {
  Variant value;
  value.get().vt = type;
  if (type == VT_R4) {
    value.get().fltVal = static_cast<float>(number);
  } else {
    value.get().dblVal = number;
  }
  return value;
}

Variant RealArray(VARTYPE elementType, const std::vector<double>& elements, LONG lower) {
  Variant value = RawArray(VT_ARRAY | elementType, elementType, static_cast<ULONG>(elements.size()), lower);
  for (size_t i = 0; i < elements.size(); ++i) {
    LONG index = lower + static_cast<LONG>(i);
    float single = static_cast<float>(elements[i]);
    double wide = elements[i];
    SafeArrayPutElement(value.get().parray, &index,
                        elementType == VT_R4 ? static_cast<void*>(&single) : static_cast<void*>(&wide));
  }
  return value;
}

Variant TypedValue(VARTYPE type) {
  Variant value;
  value.get().vt = type;
  return value;
}

Variant ByteArray(const std::vector<unsigned char>& bytes, LONG lower) {
  SAFEARRAY* array = CreateVector(VT_UI1, static_cast<ULONG>(bytes.size()), lower);
  if (array && !bytes.empty()) {
    void* data = nullptr;
    SafeArrayAccessData(array, &data);
    memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(array);
  }
  return WrapArray(VT_ARRAY | VT_UI1, array);
}

Variant StringArray(std::initializer_list<const wchar_t*> texts, LONG lower) {
  std::vector<std::wstring> copies;
  for (const wchar_t* text : texts) copies.emplace_back(text);
  return StringArray(copies, lower);
}

Variant StringArray(const std::vector<std::wstring>& texts, LONG lower) {
  SAFEARRAY* array = CreateVector(VT_BSTR, static_cast<ULONG>(texts.size()), lower);
  for (size_t i = 0; array && i < texts.size(); ++i) {
    LONG index = lower + static_cast<LONG>(i);
    const Variant text = StringValue(texts[i]);  // embedded NULs included
    SafeArrayPutElement(array, &index, text.get().bstrVal);  // stores its own copy
  }
  return WrapArray(VT_ARRAY | VT_BSTR, array);
}

Variant IntegerArray(VARTYPE elementType, const std::vector<long long>& elements, LONG lower) {
  Variant value = RawArray(VT_ARRAY | elementType, elementType == 103 ? static_cast<VARTYPE>(VT_UI2) : elementType,
                           static_cast<ULONG>(elements.size()), lower);
  if (!elements.empty()) {
    void* data = nullptr;
    SafeArrayAccessData(value.get().parray, &data);
    const size_t width = SafeArrayGetElemsize(value.get().parray);
    for (size_t i = 0; i < elements.size(); ++i) {
      StoreInteger(static_cast<char*>(data) + i * width, elementType, elements[i]);
    }
    SafeArrayUnaccessData(value.get().parray);
  }
  return value;
}

Variant RawArray(VARTYPE arrayType, VARTYPE elementType, ULONG count, LONG lower) {
  return WrapArray(arrayType, CreateVector(elementType, count, lower));
}

std::wstring Shown(const VARIANT& value) {
  const auto one = [](VARIANT element) {
    std::wstring text = L"VT " + std::to_wstring(element.vt) + L" ";
    if (element.vt == VT_BSTR) return text + std::wstring(element.bstrVal, SysStringLen(element.bstrVal));
    VARIANT asText;
    VariantInit(&asText);
    if (SUCCEEDED(VariantChangeType(&asText, &element, 0, VT_BSTR))) text += asText.bstrVal;
    VariantClear(&asText);
    return text;
  };
  if (!(value.vt & VT_ARRAY)) return one(value);
  const VARTYPE elementType = static_cast<VARTYPE>(value.vt & ~VT_ARRAY);
  std::wstring text = L"array of " + std::to_wstring(elementType) + L" [";
  LONG lower = 0;
  LONG upper = -1;
  SafeArrayGetLBound(value.parray, 1, &lower);
  SafeArrayGetUBound(value.parray, 1, &upper);
  for (LONG i = lower; i <= upper; ++i) {
    Variant element;
    element.get().vt = elementType;
    // Every member of the VARIANT starts where the union does.
    SafeArrayGetElement(value.parray, &i, elementType == VT_BSTR ? static_cast<void*>(&element.get().bstrVal)
                                                                 : static_cast<void*>(&element.get().llVal));
    text += (i > lower ? L"," : L"") + one(element.get()).substr(std::to_wstring(elementType).size() + 4);
  }
  return text + L"]";
}
