// CIM types as people write them.
#pragma once

#include <windows.h>
#include <wbemcli.h>

#include <string>

// "uint32", "string[]", "object:Win32_ProcessStartup", "ref:Win32_Directory".
// `cimTypeQualifier` is the property's CIMTYPE qualifier, which names the
// class of an object or a reference ("object:Win32_ProcessStartup"), or empty.
std::wstring CimTypeText(CIMTYPE cimType, const std::wstring& cimTypeQualifier);

// The name of a CIM type that is not an array ("uint32"), or "cimtype" for
// one CIM does not name.
const wchar_t* CimTypeName(CIMTYPE base);

// The class a CIMTYPE qualifier names: what follows its colon, or empty.
std::wstring QualifiedClass(const std::wstring& cimTypeQualifier);
