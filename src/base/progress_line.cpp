#include "base/progress_line.h"

#include <windows.h>

void ConsoleProgressLine::Show(std::wstring_view text) {
  scratch_.assign(1, L'\r');
  scratch_.append(text);
  if (text.size() < shown_) scratch_.append(shown_ - text.size(), L' ');
  shown_ = text.size();
  write_(scratch_);
}

void ConsoleProgressLine::Erase() {
  if (shown_ == 0) return;
  scratch_.assign(1, L'\r');
  scratch_.append(shown_, L' ');
  scratch_ += L'\r';
  shown_ = 0;
  write_(scratch_);
}

std::unique_ptr<ProgressLine> MakeStderrProgressLine() {
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (error == nullptr || error == INVALID_HANDLE_VALUE || !GetConsoleMode(error, &mode)) return nullptr;
  if (GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) return nullptr;
  // A line that cannot be written is only not seen; the run goes on as it would.
  return std::make_unique<ConsoleProgressLine>([error](std::wstring_view text) {
    DWORD written = 0;
    WriteConsoleW(error, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  });
}
