// Property values as wmic printed them, for scripts that parse that text.
// wmic formatted every value through XML and a stylesheet, so its text is
// CIM's own (DMTF dates, 64-bit numbers as digits), not OLE Automation's.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <wbemcli.h>

#include <string>

class WmiAccess;

enum class WmicValueStyle {
  kText,  // table and value layouts: {"a","b"}, {3,4}
  kCsv,   // {a;b}, markup characters as entities, references quoted
};

// Appends the text of one property value, a single value or an array. A
// failing HRESULT means an array could not be read; the text is then
// incomplete and must not be shown.
HRESULT AppendWmicValueText(WmiAccess& wmi, const VARIANT& value, CIMTYPE cimType, WmicValueStyle style,
                            std::wstring& text);
