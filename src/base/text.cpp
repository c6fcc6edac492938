#include "base/text.h"

#include <windows.h>
#include <shlwapi.h>

#include <cwchar>
#include <utility>

void TrimSpaces(std::wstring& text) {
  if (text.empty()) return;
  StrTrimW(text.data(), L" ");
  text.resize(wcslen(text.c_str()));
}

void LowerCase(std::wstring& text) {
  if (text.empty()) return;
  // CharLowerBuffW, unlike CharLowerW, takes a length, so a text of any size
  // (and one with embedded zeros) is lower-cased whole and in place.
  CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
}

// The same text as "%llu" and "%lld" give.
void AppendUnsigned(unsigned long long number, std::wstring& text) {
  wchar_t digits[20];
  wchar_t* const end = digits + 20;
  wchar_t* first = end;
  do {
    *--first = static_cast<wchar_t>(L'0' + number % 10);
    number /= 10;
  } while (number != 0);
  text.append(first, static_cast<size_t>(end - first));
}

void AppendSigned(long long number, std::wstring& text) {
  if (number < 0) {
    text += L'-';
    // Negated in unsigned arithmetic, so the smallest value has its text too.
    AppendUnsigned(0ull - static_cast<unsigned long long>(number), text);
  } else {
    AppendUnsigned(static_cast<unsigned long long>(number), text);
  }
}

std::vector<std::wstring> SplitAtCommas(const std::wstring& text) {
  std::vector<std::wstring> items;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(L',', start);
    if (comma == std::wstring::npos) comma = text.size();
    if (comma > start) {
      std::wstring item = text.substr(start, comma - start);
      TrimSpaces(item);
      items.push_back(std::move(item));
    }
    start = comma + 1;
  }
  return items;
}

bool ToUtf8(std::wstring_view text, std::string& utf8) {
  utf8.clear();
  if (text.empty()) return true;
  const int wide = static_cast<int>(text.size());
  const int needed = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), wide, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return false;
  utf8.resize(static_cast<size_t>(needed));
  return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), wide, utf8.data(), needed, nullptr,
                             nullptr) == needed;
}

std::wstring FromUtf8(std::string_view utf8) {
  std::wstring text;
  if (utf8.empty()) return text;
  const int narrow = static_cast<int>(utf8.size());
  const int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), narrow, nullptr, 0);
  if (needed <= 0) return text;
  text.resize(static_cast<size_t>(needed));
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), narrow, text.data(), needed);
  return text;
}

void WipeText(std::wstring& text) {
  if (!text.empty()) SecureZeroMemory(text.data(), text.size() * sizeof(wchar_t));
}
