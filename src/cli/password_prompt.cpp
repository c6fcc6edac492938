#include "cli/password_prompt.h"

#include <windows.h>

#include "base/text.h"

namespace {

// A kernel handle this program opened, closed when it goes.
class OwnedHandle {
 public:
  explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
  ~OwnedHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

// Puts the console's mode back however the read ends.
class ConsoleModeRestorer {
 public:
  ConsoleModeRestorer(HANDLE console, DWORD mode) : console_(console), mode_(mode) {}
  ~ConsoleModeRestorer() { SetConsoleMode(console_, mode_); }
  ConsoleModeRestorer(const ConsoleModeRestorer&) = delete;
  ConsoleModeRestorer& operator=(const ConsoleModeRestorer&) = delete;

 private:
  HANDLE console_;
  DWORD mode_;
};

void WriteToConsole(const std::wstring& text) {
  const OwnedHandle console(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
  if (console.Get() == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteConsoleW(console.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

bool ReadFromConsole(HANDLE input, DWORD mode, const std::wstring& user, std::wstring& password) {
  WriteToConsole(L"Password for " + user + L": ");
  // Room made once, so that no outgrown buffer is left holding part of it.
  password.reserve(1024);
  bool ended = false;
  {
    const ConsoleModeRestorer restore(input, mode);
    SetConsoleMode(input, (mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT);
    wchar_t piece[256];
    for (;;) {
      DWORD got = 0;
      if (!ReadConsoleW(input, piece, 256, &got, nullptr) || got == 0) break;
      password.append(piece, got);
      SecureZeroMemory(piece, sizeof(piece));
      const size_t end = password.find(L'\n');
      if (end != std::wstring::npos) {
        password.resize(end);
        ended = true;
        break;
      }
    }
  }
  // Without echo, the Enter key left no new line behind.
  WriteToConsole(L"\r\n");
  if (!password.empty() && password.back() == L'\r') password.pop_back();
  return ended;
}

// One byte at a time, so that nothing after the line is taken from the
// input; a password is short.
bool ReadFirstLine(HANDLE input, std::wstring& password) {
  std::string bytes;
  bool any = false;
  for (;;) {
    char byte = 0;
    DWORD got = 0;
    if (!ReadFile(input, &byte, 1, &got, nullptr) || got == 0) break;
    any = true;
    if (byte == '\n') break;
    bytes += byte;
  }
  if (!bytes.empty() && bytes.back() == '\r') bytes.pop_back();
  password = FromUtf8(bytes);
  SecureZeroMemory(bytes.data(), bytes.size());
  return any;
}

}  // namespace

bool AskPassword(const std::wstring& user, std::wstring& password) {
  password.clear();
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE) return false;
  DWORD mode = 0;
  if (GetConsoleMode(input, &mode)) return ReadFromConsole(input, mode, user, password);
  return ReadFirstLine(input, password);
}
