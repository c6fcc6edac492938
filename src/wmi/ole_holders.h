// Move-only owners for OLE Automation values. Nothing else in the program
// frees a BSTR, clears a VARIANT or destroys a SAFEARRAY.
#pragma once

#include <windows.h>
#include <oleauto.h>

// A BSTR: a length-prefixed platform string.
class Bstr {
 public:
  Bstr() = default;
  // Allocation failure is fatal, as memory exhaustion is everywhere.
  explicit Bstr(const wchar_t* text);
  ~Bstr();
  Bstr(Bstr&& other) noexcept : value_(other.value_) { other.value_ = nullptr; }
  Bstr& operator=(Bstr&& other) noexcept;
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;

  BSTR get() const { return value_; }
  // For out-parameters: frees the current string and hands out its slot.
  BSTR* put();
  // Never null: a null BSTR reads as the empty string.
  const wchar_t* c_str() const { return value_ ? value_ : L""; }
  // Hands the string to a new owner, such as a VARIANT.
  BSTR release() {
    BSTR value = value_;
    value_ = nullptr;
    return value;
  }

 private:
  BSTR value_ = nullptr;
};

// A VARIANT, always initialised and cleared on destruction.
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  ~Variant() { VariantClear(&value_); }
  Variant(Variant&& other) noexcept;
  Variant& operator=(Variant&& other) noexcept;
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;

  // A VT_BSTR copy of `text`.
  static Variant FromString(const wchar_t* text);

  const VARIANT& get() const { return value_; }
  VARIANT& get() { return value_; }
  // For out-parameters: clears the current value and hands out its slot.
  VARIANT* put();
  VARTYPE type() const { return value_.vt; }

 private:
  VARIANT value_;
};

// A SAFEARRAY, destroyed with its elements.
class SafeArray {
 public:
  SafeArray() = default;
  explicit SafeArray(SAFEARRAY* array) : value_(array) {}
  ~SafeArray();
  SafeArray(SafeArray&& other) noexcept : value_(other.value_) { other.value_ = nullptr; }
  SafeArray& operator=(SafeArray&& other) noexcept;
  SafeArray(const SafeArray&) = delete;
  SafeArray& operator=(const SafeArray&) = delete;

  SAFEARRAY* get() const { return value_; }
  SAFEARRAY** put();
  SAFEARRAY* release() {
    SAFEARRAY* array = value_;
    value_ = nullptr;
    return array;
  }

 private:
  SAFEARRAY* value_ = nullptr;
};

// SafeArrayGetElement on a one-dimensional array, refusing an element wider
// than the receiving variable.
HRESULT ReadArrayElement(SAFEARRAY* array, LONG index, void* element, size_t elementSize);
