// Builders for real OLE Automation values as WMI hands them out.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "wmi/ole_holders.h"

Variant Copy(const VARIANT& value);
Variant NullValue();
Variant StringValue(const wchar_t* text);
Variant StringValue(const std::wstring& text);
Variant BoolValue(bool value);
// A single value of any integer type code (VT_I1 ... VT_UI8, or a bare code
// such as 103 that no VARIANT type has), stored in the matching member.
Variant IntegerValue(VARTYPE type, long long value);
// A VT_R4 or VT_R8 value, and an array of them.
Variant RealValue(VARTYPE type, double value);
Variant RealArray(VARTYPE elementType, const std::vector<double>& elements, LONG lower = 0);
// A value of the given type code with an empty payload (reals, objects...).
Variant TypedValue(VARTYPE type);

// One-dimensional arrays; `lower` is the first index.
Variant ByteArray(const std::vector<unsigned char>& bytes, LONG lower = 0);
Variant StringArray(std::initializer_list<const wchar_t*> texts, LONG lower = 0);
Variant StringArray(const std::vector<std::wstring>& texts, LONG lower = 0);
// Integer elements of VT_I1 ... VT_UI8 or VT_BOOL.
Variant IntegerArray(VARTYPE elementType, const std::vector<long long>& elements, LONG lower = 0);
// `count` elements of `elementType` left zero; the VARIANT says arrayType.
Variant RawArray(VARTYPE arrayType, VARTYPE elementType, ULONG count, LONG lower = 0);

// "VT 3 -1", "VT 8 a", "array of 8 [a,b]": a value's type codes and text,
// for comparing what WMI was given.
std::wstring Shown(const VARIANT& value);
