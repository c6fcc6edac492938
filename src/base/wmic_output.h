// Where wmic's text goes decides its bytes, and scripts depend on each form:
// a console shows any character, a file redirected with ">" is UTF-16 that
// opens with a BOM, and a pipe carries single-byte text whose every line
// ends CR CR LF (wmic wrote CR LF lines through a text-mode stream, which
// added a CR of its own; `for /f` parsers strip exactly that one).
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "base/output.h"

class WmicOutputSink final : public OutputSink {
 public:
  enum class Form {
    kConsole,  // WriteConsoleW
    kUnicode,  // UTF-16LE, CR LF, a BOM only at the start of an empty file
    kNarrow,   // the console's code page (or the OEM one), CR CR LF
  };

  // Standard output or error as it is: the form follows the handle. The
  // handle stays open when the sink goes.
  explicit WmicOutputSink(HANDLE handle);
  // What wmic says of changes: a console's Unicode, and single-byte text
  // with CR CR LF on every other handle, a disk file's too, so that a
  // script's `>> log 2>&1` stays plain text.
  static std::unique_ptr<WmicOutputSink> ForChanges(HANDLE handle);
  // /output:FILE (cleared first) or /append:FILE (created when missing).
  // Null, with `error` set, when the file cannot be opened.
  // With `singleByte`, the file takes single-byte text as a change's
  // messages do.
  static std::unique_ptr<WmicOutputSink> OpenFile(const std::wstring& path, bool append, DWORD& error,
                                                  bool singleByte = false);
  ~WmicOutputSink() override;
  WmicOutputSink(const WmicOutputSink&) = delete;
  WmicOutputSink& operator=(const WmicOutputSink&) = delete;

  Form form() const { return form_; }

  // Lines come ending in "\r\n"; the sink makes the bytes.
  void Write(std::wstring_view text) override;
  bool Failed() const override { return failed_; }
  bool Flush() override;
  // "ERROR: Failed to write output." on standard error.
  void ReportLostOutput() override;

 private:
  WmicOutputSink(HANDLE handle, Form form, bool owned);
  void WriteNarrow(std::wstring_view text);
  void WriteUnicode(std::wstring_view text);
  void Send(const void* bytes, size_t count);

  const HANDLE handle_;
  const Form form_;
  const bool owned_;
  bool failed_ = false;
  bool started_ = false;  // whether the first write has been
  std::string bytes_;     // held until there are enough for one write
};

// The single-byte code page of a pipe or device: the console's output code
// page, or the OEM code page when the process has no console.
UINT WmicNarrowCodePage();
