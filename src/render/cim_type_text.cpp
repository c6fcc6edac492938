#include "render/cim_type_text.h"

namespace {

const wchar_t* BaseName(CIMTYPE type) {
  switch (type) {
    case CIM_SINT8: return L"sint8";
    case CIM_UINT8: return L"uint8";
    case CIM_SINT16: return L"sint16";
    case CIM_UINT16: return L"uint16";
    case CIM_SINT32: return L"sint32";
    case CIM_UINT32: return L"uint32";
    case CIM_SINT64: return L"sint64";
    case CIM_UINT64: return L"uint64";
    case CIM_REAL32: return L"real32";
    case CIM_REAL64: return L"real64";
    case CIM_BOOLEAN: return L"boolean";
    case CIM_STRING: return L"string";
    case CIM_DATETIME: return L"datetime";
    case CIM_REFERENCE: return L"reference";
    case CIM_CHAR16: return L"char16";
    case CIM_OBJECT: return L"object";
    default: return nullptr;
  }
}

}  // namespace

const wchar_t* CimTypeName(CIMTYPE base) {
  const wchar_t* name = BaseName(base);
  return name != nullptr ? name : L"cimtype";
}

std::wstring QualifiedClass(const std::wstring& cimTypeQualifier) {
  const size_t colon = cimTypeQualifier.find(L':');
  return colon == std::wstring::npos ? std::wstring() : cimTypeQualifier.substr(colon + 1);
}

std::wstring CimTypeText(CIMTYPE cimType, const std::wstring& cimTypeQualifier) {
  const CIMTYPE base = cimType & ~CIM_FLAG_ARRAY;
  const std::wstring named = QualifiedClass(cimTypeQualifier);
  std::wstring text;
  if (base == CIM_OBJECT && !named.empty()) {
    text = L"object:" + named;
  } else if (base == CIM_REFERENCE && !named.empty()) {
    text = L"ref:" + named;
  } else if (const wchar_t* name = BaseName(base)) {
    text = name;
  } else {
    text = L"cimtype " + std::to_wstring(base);
  }
  if (cimType & CIM_FLAG_ARRAY) text += L"[]";
  return text;
}
