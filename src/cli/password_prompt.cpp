#include "cli/password_prompt.h"

#include <windows.h>

#include <atomic>

#include "base/owned_handle.h"
#include "base/text.h"
#include "base/text_file.h"

#ifndef ENABLE_VIRTUAL_TERMINAL_INPUT
#define ENABLE_VIRTUAL_TERMINAL_INPUT 0x0200
#endif

namespace {

// Room made once, so that no outgrown buffer is left holding a piece of it.
constexpr size_t kPasswordRoom = 1024;

// The prompt on the console now, for the console's handler: the console's
// default handler ends the process through ExitProcess, which runs no
// destructor, and would leave the console without echo for the shell that
// started this program.
std::atomic<HANDLE> g_promptInput{nullptr};
std::atomic<DWORD> g_promptFoundMode{0};

BOOL WINAPI RestoreModeOnInterrupt(DWORD event) {
  const HANDLE input = g_promptInput.load();
  if (input == nullptr) return FALSE;
  SetConsoleMode(input, g_promptFoundMode.load());
  // Ctrl+C at the prompt ends the program, as the default handler would, and
  // here, not in a handler after this one: one that kept the program running
  // would leave the read going on with echo, showing the rest of the
  // password. Nothing has started yet that such a handler could stop.
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) ExitProcess(STATUS_CONTROL_C_EXIT);
  return FALSE;
}

// The console's mode for the read, and the one it had put back however the
// read ends: by this scope, or by the console's handler.
class PromptMode {
 public:
  PromptMode(HANDLE input, DWORD found, DWORD reading) : input_(input), found_(found) {
    g_promptFoundMode.store(found);
    g_promptInput.store(input);
    SetConsoleCtrlHandler(RestoreModeOnInterrupt, TRUE);
    SetConsoleMode(input, reading);
  }
  ~PromptMode() {
    SetConsoleCtrlHandler(RestoreModeOnInterrupt, FALSE);
    g_promptInput.store(nullptr);
    SetConsoleMode(input_, found_);
  }
  PromptMode(const PromptMode&) = delete;
  PromptMode& operator=(const PromptMode&) = delete;

 private:
  const HANDLE input_;
  const DWORD found_;
};

void WriteTo(const OwnedHandle& console, std::wstring_view text) {
  if (!console.Valid() || text.empty()) return;
  DWORD written = 0;
  WriteConsoleW(console.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// A string that outgrows its buffer frees the old one as it is: past the
// room made up front, the text moves by hand and the old buffer is wiped.
void AppendSecret(std::wstring& password, std::wstring_view piece) {
  const size_t needed = password.size() + piece.size();
  if (needed > password.capacity()) {
    std::wstring grown;
    grown.reserve(needed > 2 * password.capacity() ? needed : 2 * password.capacity());
    grown.append(password);
    WipeText(password);
    password.swap(grown);
  }
  password.append(piece);
}

// Shortening leaves the dropped characters in the buffer past the end.
void ShortenSecret(std::wstring& password, size_t length) {
  if (length >= password.size()) return;
  SecureZeroMemory(password.data() + length, (password.size() - length) * sizeof(wchar_t));
  password.resize(length);
}

bool ReadLine(HANDLE input, std::wstring& password) {
  bool ended = false;
  wchar_t piece[256];
  for (;;) {
    DWORD got = 0;
    if (!ReadConsoleW(input, piece, 256, &got, nullptr) || got == 0) break;
    AppendSecret(password, std::wstring_view(piece, got));
    SecureZeroMemory(piece, sizeof(piece));
    const size_t end = password.find(L'\n');
    if (end != std::wstring::npos) {
      ShortenSecret(password, end);
      ended = true;
      break;
    }
  }
  if (!password.empty() && password.back() == L'\r') ShortenSecret(password, password.size() - 1);
  return ended;
}

// One key a read, so that nothing after Enter is taken from the input.
bool ReadKeys(HANDLE input, const OwnedHandle& console, std::wstring& password) {
  std::wstring shown;
  for (;;) {
    wchar_t key = 0;
    DWORD got = 0;
    if (!ReadConsoleW(input, &key, 1, &got, nullptr) || got == 0) return false;
    shown.clear();
    const bool enter = TypeKeyShowingStars(key, password, shown);
    SecureZeroMemory(&key, sizeof(key));
    if (enter) return true;
    WriteTo(console, shown);
  }
}

enum class ConsoleRead { kLine, kKeys };

bool AskOnConsole(HANDLE input, DWORD found, std::wstring_view prompt, ConsoleRead how, std::wstring& password) {
  // Not standard output: that may be the results, redirected.
  const OwnedHandle console(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
  WriteTo(console, prompt);
  password.reserve(kPasswordRoom);
  bool ended = false;
  const DWORD noEcho = found & ~static_cast<DWORD>(ENABLE_ECHO_INPUT);
  if (how == ConsoleRead::kLine) {
    const PromptMode mode(input, found, noEcho | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT);
    ended = ReadLine(input, password);
  } else {
    // Processed input stays, for Ctrl+C. Terminal input would turn an arrow
    // key into an escape sequence, taken for characters of the password.
    const DWORD keys = noEcho & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_VIRTUAL_TERMINAL_INPUT);
    const PromptMode mode(input, found, keys | ENABLE_PROCESSED_INPUT);
    ended = ReadKeys(input, console, password);
  }
  // Without echo, the Enter key left no new line behind.
  WriteTo(console, L"\r\n");
  return ended;
}

// One byte at a time, so that nothing after the line is taken from the
// input; a password is short.
bool ReadFirstLine(HANDLE input, std::wstring& password) {
  std::string bytes;
  bytes.reserve(kPasswordRoom);
  const bool any = ReadByteLine(input, bytes);
  password = FromUtf8(bytes);
  SecureZeroMemory(bytes.data(), bytes.size());
  return any;
}

bool Ask(std::wstring_view prompt, ConsoleRead how, std::wstring& password) {
  // Cleared, a string keeps its old characters in its buffer.
  WipeText(password);
  password.clear();
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE) return false;
  DWORD mode = 0;
  if (GetConsoleMode(input, &mode)) return AskOnConsole(input, mode, prompt, how, password);
  return ReadFirstLine(input, password);
}

bool IsHighSurrogate(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(wchar_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

bool AskPassword(const std::wstring& user, std::wstring& password) {
  return Ask(L"Password for " + user + L": ", ConsoleRead::kLine, password);
}

bool AskPasswordShowingStars(std::wstring_view prompt, std::wstring& password) {
  return Ask(prompt, ConsoleRead::kKeys, password);
}

bool TypeKeyShowingStars(wchar_t key, std::wstring& password, std::wstring& shown) {
  switch (key) {
    case L'\r':
    case L'\n':
      return true;
    case L'\b':
    case 0x7F: {
      if (password.empty()) return false;
      size_t length = password.size() - 1;
      if (length > 0 && IsLowSurrogate(password[length]) && IsHighSurrogate(password[length - 1])) --length;
      for (size_t star = length; star < password.size(); ++star) shown += L"\b \b";
      ShortenSecret(password, length);
      return false;
    }
    default:
      AppendSecret(password, std::wstring_view(&key, 1));
      shown += L'*';
      return false;
  }
}
