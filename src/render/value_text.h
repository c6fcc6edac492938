// Turns WMI property values into the text Tollix prints.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <wbemcli.h>

#include <string>

class WmiAccess;
struct RunSettings;

// Type codes from this one up are arrays of (code - kArrayTypeFlag).
inline constexpr VARTYPE kArrayTypeFlag = 0x2000;

inline constexpr wchar_t kArrayReadFailed[] = L"ERROR: Failed to read array. Error code = 0x%x\r\n";

// Whether a value could be shown; when not, the message to print (its one
// conversion is the HRESULT's "0x%x").
struct ValueStatus {
  HRESULT hr = S_OK;
  const wchar_t* message = nullptr;
  bool Failed() const { return FAILED(hr); }
};

// `cimType`, where known, says how to read what the VARIANT type leaves
// open: WMI hands a uint32 over as VT_I4 and a char16 as VT_I2, and those
// are shown as unsigned and as a character. 0 reads by the VARIANT type alone.

// Appends the text of a single value (type code below kArrayTypeFlag).
void FormatValueText(const VARIANT& value, std::wstring& valueText, CIMTYPE cimType = 0);

// Appends the elements of an array value, without braces: joined by "," (";"
// in CSV), or as a numbered matrix of ten per row with /hexmatrix. Returns a
// failing HRESULT when the array cannot be read; the text is then incomplete.
HRESULT FormatArrayText(WmiAccess& wmi, const RunSettings& settings, const VARIANT& value, std::wstring& valueText,
                        CIMTYPE cimType = 0);

// Either of the two above, with arrays in braces as the list layout shows them.
HRESULT FormatPropertyText(WmiAccess& wmi, const RunSettings& settings, const VARIANT& value,
                           std::wstring& valueText, CIMTYPE cimType = 0);
