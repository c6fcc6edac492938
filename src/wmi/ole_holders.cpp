#include "wmi/ole_holders.h"

#include <cstdlib>
#include <utility>

Bstr::Bstr(const wchar_t* text) : value_(SysAllocString(text)) {
  if (text != nullptr && value_ == nullptr) std::abort();
}

Bstr::~Bstr() { SysFreeString(value_); }

Bstr& Bstr::operator=(Bstr&& other) noexcept {
  if (this != &other) {
    SysFreeString(value_);
    value_ = std::exchange(other.value_, nullptr);
  }
  return *this;
}

BSTR* Bstr::put() {
  SysFreeString(value_);
  value_ = nullptr;
  return &value_;
}

Variant::Variant(Variant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }

Variant& Variant::operator=(Variant&& other) noexcept {
  if (this != &other) {
    VariantClear(&value_);
    value_ = other.value_;
    VariantInit(&other.value_);
  }
  return *this;
}

Variant Variant::FromString(const wchar_t* text) {
  Variant variant;
  variant.value_.vt = VT_BSTR;
  variant.value_.bstrVal = Bstr(text).release();
  return variant;
}

VARIANT* Variant::put() {
  VariantClear(&value_);
  return &value_;
}

SafeArray::~SafeArray() {
  if (value_) SafeArrayDestroy(value_);
}

SafeArray& SafeArray::operator=(SafeArray&& other) noexcept {
  if (this != &other) {
    if (value_) SafeArrayDestroy(value_);
    value_ = std::exchange(other.value_, nullptr);
  }
  return *this;
}

SAFEARRAY** SafeArray::put() {
  if (value_) SafeArrayDestroy(value_);
  value_ = nullptr;
  return &value_;
}

HRESULT ReadArrayElement(SAFEARRAY* array, LONG index, void* element, size_t elementSize) {
  if (array == nullptr || element == nullptr) return E_INVALIDARG;
  if (SafeArrayGetDim(array) != 1) return DISP_E_BADINDEX;
  if (SafeArrayGetElemsize(array) > elementSize) return DISP_E_TYPEMISMATCH;
  return SafeArrayGetElement(array, &index, element);
}
