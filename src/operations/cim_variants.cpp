#include "operations/cim_variants.h"

#include <cstdlib>

#include "base/text.h"

Variant ScalarVariant(VARTYPE type) {
  Variant value;
  value.get().vt = type;
  return value;
}

Variant StringVariant(const std::wstring& text) {
  Variant value;
  VARIANT& slot = *value.put();
  slot.vt = VT_BSTR;
  // The length is given, so NULs inside the text are kept.
  slot.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (slot.bstrVal == nullptr) std::abort();
  return value;
}

Variant CopyVariant(const Variant& from) {
  Variant to;
  VariantCopy(to.put(), const_cast<VARIANT*>(&from.get()));
  return to;
}

void IntegerVariants(CIMTYPE type, const Whole& whole, Variant& documented, Variant& exact) {
  const long long asSigned = whole.negative ? static_cast<long long>(0ull - whole.magnitude)
                                            : static_cast<long long>(whole.magnitude);
  switch (type) {
    case CIM_SINT8:
      documented = ScalarVariant(VT_I2);
      documented.get().iVal = static_cast<SHORT>(asSigned);
      exact = ScalarVariant(VT_I1);
      exact.get().cVal = static_cast<CHAR>(asSigned);
      break;
    case CIM_UINT8:
      documented = ScalarVariant(VT_UI1);
      documented.get().bVal = static_cast<BYTE>(whole.magnitude);
      break;
    case CIM_SINT16:
      documented = ScalarVariant(VT_I2);
      documented.get().iVal = static_cast<SHORT>(asSigned);
      break;
    case CIM_UINT16:
      documented = ScalarVariant(VT_I4);
      documented.get().lVal = static_cast<LONG>(whole.magnitude);
      exact = ScalarVariant(VT_UI2);
      exact.get().uiVal = static_cast<USHORT>(whole.magnitude);
      break;
    case CIM_SINT32:
      documented = ScalarVariant(VT_I4);
      documented.get().lVal = static_cast<LONG>(asSigned);
      break;
    case CIM_UINT32:
      // The same 32 bits: 4294967295 travels as -1.
      documented = ScalarVariant(VT_I4);
      documented.get().lVal = static_cast<LONG>(static_cast<ULONG>(whole.magnitude));
      exact = ScalarVariant(VT_UI4);
      exact.get().ulVal = static_cast<ULONG>(whole.magnitude);
      break;
    case CIM_SINT64: {
      std::wstring digits = whole.negative ? L"-" : L"";
      AppendUnsigned(whole.magnitude, digits);
      documented = StringVariant(digits);
      exact = ScalarVariant(VT_I8);
      exact.get().llVal = asSigned;
      break;
    }
    default: {  // CIM_UINT64
      std::wstring digits;
      AppendUnsigned(whole.magnitude, digits);
      documented = StringVariant(digits);
      exact = ScalarVariant(VT_UI8);
      exact.get().ullVal = whole.magnitude;
      break;
    }
  }
}

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

void ArrayVariants(CIMTYPE element, const std::vector<Variant>& documentedElements,
                   std::vector<Variant> exactElements, Variant& documented, Variant& exact) {
  documented = ArrayOf(ElementType(element, false), documentedElements);
  if (ElementType(element, true) == ElementType(element, false)) return;
  for (size_t i = 0; i < exactElements.size(); ++i) {
    if (exactElements[i].type() == VT_EMPTY) exactElements[i] = CopyVariant(documentedElements[i]);
  }
  exact = ArrayOf(ElementType(element, true), exactElements);
}
