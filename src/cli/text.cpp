#include "cli/text.h"

#include <windows.h>
#include <shlwapi.h>

#include <cwchar>

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
