// Where Tollix's text goes. The program writes to standard output through a
// StdoutSink; tests write into a BufferSink. Standard error carries one line,
// and only when standard output can take no more.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>
#include <string_view>

class OutputSink {
 public:
  virtual ~OutputSink() = default;
  virtual void Write(std::wstring_view text) = 0;
  // A line the whole output carries once, such as the CSV header.
  virtual void WriteHeader(std::wstring_view line) { Write(line); }
  // Whether a write has failed: the output is incomplete, and whatever the
  // run does next, nobody sees it.
  virtual bool Failed() const { return false; }
  // Pushes out what is held back; false when that or an earlier write failed.
  virtual bool Flush() { return !Failed(); }
  // Says, where it can still be seen, that the output was lost.
  virtual void ReportLostOutput() {}
  // From now on every "\r\n" reaches the destination as it is, instead of
  // becoming CR CR LF in a file or pipe. JSON Lines asks for one CR LF a line.
  virtual void KeepLineEndsExact() {}
};

// Standard output: UTF-16 to a console, UTF-8 without a BOM to a file or pipe.
// Tests hand it another stream, such as a pipe nobody reads.
class StdoutSink final : public OutputSink {
 public:
  explicit StdoutSink(FILE* stream = stdout);
  ~StdoutSink() override;
  StdoutSink(const StdoutSink&) = delete;
  StdoutSink& operator=(const StdoutSink&) = delete;

  void Write(std::wstring_view text) override;
  void KeepLineEndsExact() override;
  bool Failed() const override { return failed_; }
  bool Flush() override;
  // "ERROR: Failed to write output." on standard error.
  void ReportLostOutput() override;

 private:
  void WriteAsUtf8(std::wstring_view text);

  FILE* const stream_;
  bool console_ = false;
  bool failed_ = false;
  std::string bytes_;  // reused for each piece converted to UTF-8
};

// Collects everything written, for tests and for output held back.
class BufferSink final : public OutputSink {
 public:
  void Write(std::wstring_view text) override { text_.append(text); }
  const std::wstring& Text() const { return text_; }
  void Clear() { text_.clear(); }

 private:
  std::wstring text_;
};

// Writes `text` to a console a piece at a time through `write`, never
// splitting a surrogate pair between pieces (the console would show each half
// as a replacement character). False when a write fails.
template <class WritePiece>
bool WriteConsolePieces(std::wstring_view text, WritePiece write) {
  constexpr size_t kPieceChars = 16384;
  while (!text.empty()) {
    size_t piece = text.size() > kPieceChars ? kPieceChars : text.size();
    if (piece < text.size() && text[piece - 1] >= 0xD800 && text[piece - 1] <= 0xDBFF) --piece;
    size_t written = 0;
    if (!write(text.substr(0, piece), written) || written == 0) return false;
    text.remove_prefix(written < piece ? written : piece);
  }
  return true;
}

// printf-style wide formatting appended to `text`. "%ls" takes a wide string
// with MinGW-w64 and MSVC alike. Format strings carry their own "\r\n".
void AppendFormatV(std::wstring& text, const wchar_t* format, va_list args);

// Formats and writes in one step.
void Print(OutputSink& sink, const wchar_t* format, ...);
