// The pieces of the CIM-XML document that wmic's /format:rawxml and
// /format:xml print: programs read it with XML parsers, by these element and
// attribute names, so the names are exactly WMI's own.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <wbemcli.h>

#include <string>

class WmiAccess;

// One property as WMI's XML encoder writes it inside an INSTANCE: PROPERTY,
// PROPERTY.ARRAY or PROPERTY.REFERENCE, with NAME, CLASSORIGIN (left out when
// `origin` is null) and TYPE; no VALUE for a NULL. A failing HRESULT means an
// array could not be read, and `xml` must not be shown.
HRESULT AppendWmicXmlProperty(WmiAccess& wmi, const wchar_t* name, const wchar_t* origin, const VARIANT& value,
                              CIMTYPE cimType, std::wstring& xml);

// A string property of that form, for objects that are text already.
std::wstring WmicXmlStringProperty(const std::wstring& name, const std::wstring& origin, const std::wstring& value);

// The document around the instances: the root, one RESULTS for each machine
// with a CIM only when an object came, and an INSTANCE for each object.
inline constexpr wchar_t kWmicXmlCommandOpen[] = L"<COMMAND>";
inline constexpr wchar_t kWmicXmlCommandClose[] = L"</COMMAND>";
inline constexpr wchar_t kWmicXmlCimOpen[] = L"<CIM>";
inline constexpr wchar_t kWmicXmlCimClose[] = L"</CIM>";
inline constexpr wchar_t kWmicXmlResultsClose[] = L"</RESULTS>";
inline constexpr wchar_t kWmicXmlInstanceClose[] = L"</INSTANCE>";
std::wstring WmicXmlResultsOpen(const std::wstring& node);
std::wstring WmicXmlInstanceOpen(const std::wstring& className);
