// Where Tollix's text goes. The program writes to standard output through a
// StdoutSink; tests write into a BufferSink. Nothing is written to standard
// error.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

class OutputSink {
 public:
  virtual ~OutputSink() = default;
  virtual void Write(std::wstring_view text) = 0;
  // A line the whole output carries once, such as the CSV header.
  virtual void WriteHeader(std::wstring_view line) { Write(line); }
  // From now on every "\r\n" reaches the destination as it is, instead of
  // becoming CR CR LF in a file or pipe. JSON Lines asks for one CR LF a line.
  virtual void KeepLineEndsExact() {}
};

// Standard output: UTF-16 to a console, UTF-8 without a BOM to a file or pipe.
class StdoutSink final : public OutputSink {
 public:
  StdoutSink();
  ~StdoutSink() override;
  StdoutSink(const StdoutSink&) = delete;
  StdoutSink& operator=(const StdoutSink&) = delete;

  void Write(std::wstring_view text) override;
  void KeepLineEndsExact() override;

 private:
  void WriteToConsole(std::wstring_view text);
  void WriteAsUtf8(std::wstring_view text);

  bool console_ = false;
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

// One machine's output in a run over several, held until every machine
// before it has been written. Its header is kept aside: only the first block
// written that has one carries it, at the place it was printed.
class BlockSink final : public OutputSink {
 public:
  void Write(std::wstring_view text) override { text_.append(text); }
  void WriteHeader(std::wstring_view line) override;
  // `headerWritten` says whether an earlier block carried the header; it is
  // set when this one does.
  void WriteTo(OutputSink& out, bool& headerWritten) const;

 private:
  std::wstring text_;
  std::wstring header_;
  size_t headerAt_ = 0;
  bool hasHeader_ = false;
};

// printf-style wide formatting appended to `text`. "%ls" takes a wide string
// with MinGW-w64 and MSVC alike. Format strings carry their own "\r\n".
void AppendFormatV(std::wstring& text, const wchar_t* format, va_list args);

// Formats and writes in one step.
void Print(OutputSink& sink, const wchar_t* format, ...);
