#include "cli/output.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

std::function<void(std::wstring_view)> g_redirect;

void AppendFormatV(std::wstring& text, const wchar_t* format, va_list args) {
  // vswprintf reports "did not fit" with a negative result and no length, so
  // grow the scratch buffer until it fits. It is reused across calls.
  static thread_local std::vector<wchar_t> scratch(1024);
  for (;;) {
    va_list attempt;
    va_copy(attempt, args);
    const int written = vswprintf(scratch.data(), scratch.size(), format, attempt);
    va_end(attempt);
    if (written >= 0 && static_cast<size_t>(written) < scratch.size()) {
      text.append(scratch.data(), static_cast<size_t>(written));
      return;
    }
    if (scratch.size() >= (size_t{1} << 30)) return;  // a format error, not a size problem
    scratch.resize(scratch.size() * 2);
  }
}

bool StdoutIsConsole() {
  static const int isConsole = [] {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) ? 1 : 0;
  }();
  return isConsole != 0;
}

// A console shows every character when given UTF-16 directly.
void WriteToConsole(const std::wstring& text) {
  const HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
  const wchar_t* data = text.data();
  size_t left = text.size();
  while (left > 0) {
    const DWORD chunk = left > 16384 ? 16384 : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!WriteConsoleW(console, data, chunk, &written, nullptr) || written == 0) return;
    data += written;
    left -= written;
  }
}

// Files and pipes get UTF-8 without a BOM. Standard output stays in text mode,
// so every LF still becomes CR LF on the way out, as scripts expect.
void WriteAsUtf8(const std::wstring& text) {
  static thread_local std::string bytes;
  const int wideLength = static_cast<int>(text.size());
  const int needed = WideCharToMultiByte(CP_UTF8, 0, text.data(), wideLength, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return;
  bytes.resize(static_cast<size_t>(needed));
  WideCharToMultiByte(CP_UTF8, 0, text.data(), wideLength, bytes.data(), needed, nullptr, nullptr);
  fwrite(bytes.data(), 1, bytes.size(), stdout);
}

}  // namespace

void AppendFormat(std::wstring& text, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  AppendFormatV(text, format, args);
  va_end(args);
}

void Print(const wchar_t* format, ...) {
  static thread_local std::wstring line;
  line.clear();
  va_list args;
  va_start(args, format);
  AppendFormatV(line, format, args);
  va_end(args);
  if (g_redirect) {
    g_redirect(line);
  } else if (StdoutIsConsole()) {
    WriteToConsole(line);
  } else {
    WriteAsUtf8(line);
  }
}

int ReportFailure(const wchar_t* format, long hr) {
  Print(format, static_cast<unsigned>(hr));
  return 1;
}

void RedirectOutput(std::function<void(std::wstring_view)> sink) { g_redirect = std::move(sink); }

void CaptureOutput(std::wstring* sink) {
  if (sink == nullptr) {
    RedirectOutput(nullptr);
  } else {
    RedirectOutput([sink](std::wstring_view text) { sink->append(text); });
  }
}

void FlushOutput() { fflush(stdout); }
