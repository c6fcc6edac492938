#include "base/output.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

// Whether every conversion in `format` is "%ls" or "%%". Nearly every line
// Tollix prints is made only of those, and values can be megabytes long.
bool OnlyStringConversions(const wchar_t* format) {
  for (const wchar_t* p = format; *p != 0; ++p) {
    if (*p != L'%') continue;
    if (p[1] == L'%') {
      ++p;
    } else if (p[1] == L'l' && p[2] == L's') {
      p += 2;
    } else {
      return false;
    }
  }
  return true;
}

const wchar_t* StringArgument(const wchar_t* value) { return value != nullptr ? value : L"(null)"; }

// Fills in "%ls" and "%%" by appending directly: the same text vswprintf gives
// (a string up to its first zero, "(null)" for a null pointer), without
// formatting it into a scratch buffer first and copying it again. The room is
// made in one step, so a value of megabytes is copied once, not once per
// doubling of the buffer.
void AppendStrings(std::wstring& text, const wchar_t* format, va_list args) {
  size_t length = wcslen(format);
  va_list measure;
  va_copy(measure, args);
  for (const wchar_t* p = format; *p != 0; ++p) {
    if (*p != L'%') continue;
    if (p[1] != L'%') length += wcslen(StringArgument(va_arg(measure, const wchar_t*)));
    ++p;
  }
  va_end(measure);
  if (text.capacity() < text.size() + length) text.reserve(text.size() + length);

  const wchar_t* literal = format;
  const wchar_t* p = format;
  while (*p != 0) {
    if (*p != L'%') {
      ++p;
      continue;
    }
    text.append(literal, static_cast<size_t>(p - literal));
    if (p[1] == L'%') {
      text += L'%';
      p += 2;
    } else {
      text += StringArgument(va_arg(args, const wchar_t*));
      p += 3;
    }
    literal = p;
  }
  text.append(literal, static_cast<size_t>(p - literal));
}

}  // namespace

void AppendFormatV(std::wstring& text, const wchar_t* format, va_list args) {
  if (OnlyStringConversions(format)) {
    AppendStrings(text, format, args);
    return;
  }
  // vswprintf reports "did not fit" with a negative result and no length, so
  // grow the scratch buffer until it fits. Lines with numbers are short.
  std::vector<wchar_t> scratch(256);
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

void Print(OutputSink& sink, const wchar_t* format, ...) {
  std::wstring line;
  va_list args;
  va_start(args, format);
  AppendFormatV(line, format, args);
  va_end(args);
  sink.Write(line);
}

namespace {

HANDLE HandleOf(FILE* stream) {
  const int descriptor = _fileno(stream);
  return descriptor >= 0 ? reinterpret_cast<HANDLE>(_get_osfhandle(descriptor)) : INVALID_HANDLE_VALUE;
}

}  // namespace

StdoutSink::StdoutSink(FILE* stream) : stream_(stream) {
  DWORD mode = 0;
  console_ = GetConsoleMode(HandleOf(stream_), &mode) != 0;
  // The C runtime leaves standard output unbuffered when it is a character
  // device such as NUL (/dev/null under Wine), and Wine then writes it about
  // a byte at a time, each a wineserver round trip: over a millisecond a line.
  // A buffer of our own makes every destination cost one write per 64 KiB.
  // setvbuf has to come before any other use of the stream.
  if (!console_) setvbuf(stream_, nullptr, _IOFBF, 64 * 1024);
}

StdoutSink::~StdoutSink() { Flush(); }

void StdoutSink::Write(std::wstring_view text) {
  // Once a write has failed, the rest would be a fragment at best.
  if (failed_) return;
  if (!console_) {
    WriteAsUtf8(text);
    return;
  }
  // A console shows every character when given UTF-16 directly.
  const HANDLE console = HandleOf(stream_);
  failed_ = !WriteConsolePieces(text, [console](std::wstring_view piece, size_t& written) {
    DWORD done = 0;
    const BOOL ok = WriteConsoleW(console, piece.data(), static_cast<DWORD>(piece.size()), &done, nullptr);
    written = done;
    return ok != FALSE;
  });
}

bool StdoutSink::Flush() {
  if (!failed_ && fflush(stream_) != 0) failed_ = true;
  return !failed_;
}

void StdoutSink::ReportLostOutput() {
  static const char kMessage[] = "ERROR: Failed to write output.\r\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), kMessage, sizeof(kMessage) - 1, &written, nullptr);
}

void StdoutSink::KeepLineEndsExact() {
  fflush(stream_);
  // A process started without standard output has no descriptor to change.
  const int descriptor = _fileno(stream_);
  if (descriptor >= 0) _setmode(descriptor, _O_BINARY);
}

// Files and pipes get UTF-8 without a BOM. Standard output stays in text mode,
// so every LF still becomes CR LF on the way out, as scripts expect.
// A long text is converted a piece at a time, so the bytes never need as much
// memory again as the text; a piece never ends inside a surrogate pair, which
// would turn the character into two replacement characters.
void StdoutSink::WriteAsUtf8(std::wstring_view text) {
  constexpr size_t kPieceChars = 16384;
  const wchar_t* data = text.data();
  size_t left = text.size();
  while (left > 0) {
    size_t piece = left > kPieceChars ? kPieceChars : left;
    if (piece < left && IS_HIGH_SURROGATE(data[piece - 1])) --piece;
    const int wideLength = static_cast<int>(piece);
    const int needed = WideCharToMultiByte(CP_UTF8, 0, data, wideLength, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return;
    bytes_.resize(static_cast<size_t>(needed));
    WideCharToMultiByte(CP_UTF8, 0, data, wideLength, bytes_.data(), needed, nullptr, nullptr);
    if (fwrite(bytes_.data(), 1, bytes_.size(), stream_) != bytes_.size()) {
      failed_ = true;
      return;
    }
    data += piece;
    left -= piece;
  }
}
