// JSON text (RFC 8259) for WMI values, appended to a wide text that the sink
// later writes as UTF-8 or UTF-16. Every value keeps its type: numbers are
// numbers, booleans booleans, embedded objects nested objects.
#pragma once

#include <windows.h>
#include <wbemcli.h>

#include <string>
#include <string_view>

#include "render/value_text.h"

class WmiAccess;

// Embedded objects nested deeper than this are written as null.
inline constexpr int kMaxJsonNesting = 32;

// A JSON string of all `text`, embedded NULs included. Quotes, backslashes and
// control characters are escaped, and so is a surrogate without its partner,
// which UTF-8 cannot carry; every other character stays as it is.
void AppendJsonString(std::wstring_view text, std::wstring& json);

// The JSON form of one property value. `cimType` is what Get reported: it
// tells 64-bit integers (delivered as strings), unsigned 32-bit integers
// (delivered as signed ones) and 16-bit characters from their carriers.
// `namesFlags` is the GetNames flag used for the properties of embedded
// objects. Fails only when WMI cannot give back part of the value.
ValueStatus AppendJsonValue(WmiAccess& wmi, const VARIANT& value, CIMTYPE cimType, LONG namesFlags,
                            std::wstring& json);
