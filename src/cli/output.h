// The one way Tollix writes text. Everything goes to standard output; nothing
// is ever written to standard error.
#pragma once

#include <functional>
#include <string>
#include <string_view>

// printf-style wide print. "%ls" takes a wide string with MinGW-w64 and MSVC
// alike. Format strings carry their own "\r\n".
void Print(const wchar_t* format, ...);

// Prints a message whose one conversion is an HRESULT's "0x%x", and returns 1
// so a failing step can report and fail in one statement.
int ReportFailure(const wchar_t* format, long hr);

// Routes Print into `sink` instead of standard output (for tests); pass
// nullptr to write to standard output again.
void CaptureOutput(std::wstring* sink);

// Routes each printed text to `sink` instead of standard output; an empty
// function restores standard output.
void RedirectOutput(std::function<void(std::wstring_view text)> sink);

// Pushes buffered output out; called before the process ends.
void FlushOutput();
