// Property values as wmic printed them, for scripts that parse that text.
// wmic formatted every value through XML and a stylesheet, so its text is
// CIM's own (DMTF dates, 64-bit numbers as digits), not OLE Automation's.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <wbemcli.h>

#include <string>
#include <string_view>

class WmiAccess;

enum class WmicValueStyle {
  kText,  // table and value layouts: {"a","b"}, {3,4}
  kCsv,   // {a;b}, markup characters as entities, references quoted
  kXml,   // <VALUE>a</VALUE>, <VALUE.ARRAY>...</VALUE.ARRAY>, nothing for NULL
};

// Appends the text of one property value, a single value or an array. A
// failing HRESULT means an array could not be read; the text is then
// incomplete and must not be shown.
HRESULT AppendWmicValueText(WmiAccess& wmi, const VARIANT& value, CIMTYPE cimType, WmicValueStyle style,
                            std::wstring& text);

// Text for XML's content and attribute values, whatever the characters and
// whatever the bytes it ends up as: markup characters and quotes as
// entities, and every character outside printable ASCII as a character
// reference, so that a parser reading a code page's bytes without a
// declaration (as UTF-8) reads the same characters. What XML cannot hold at
// all (other control characters, a lone surrogate) becomes U+FFFD.
void AppendXmlEscaped(std::wstring_view text, std::wstring& out);
