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

namespace {

// The marker that carries what UTF-8 cannot: U+10FFFD, a private-use
// character, as its UTF-16 pair.
constexpr wchar_t kMarkHigh = 0xDBFF;
constexpr wchar_t kMarkLow = 0xDFFD;
// A surrogate S without its partner travels as the marker and then
// U+10F800 + (S - 0xD800), another private-use character.
constexpr unsigned kCarriedBase = 0x10F800;

bool IsHigh(unsigned unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLow(unsigned unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// One UTF-16 unit of JSON text: as it stands, or written as a \uXXXX escape.
struct Unit {
  unsigned value;
  bool escaped;
  size_t length;  // characters of text it takes
};

Unit UnitAt(std::wstring_view text, size_t at) {
  if (text[at] == L'\\' && at + 5 < text.size() && text[at + 1] == L'u') {
    unsigned value = 0;
    for (size_t i = 2; i < 6; ++i) {
      const int digit = HexDigit(text[at + i]);
      if (digit < 0) return {text[at], false, 1};
      value = value * 16 + static_cast<unsigned>(digit);
    }
    return {value, true, 6};
  }
  return {text[at], false, 1};
}

void AppendCodePoint(unsigned codePoint, std::wstring& text) {
  codePoint -= 0x10000;
  text += static_cast<wchar_t>(0xD800 + (codePoint >> 10));
  text += static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF));
}

}  // namespace

std::wstring ProtectLoneSurrogates(std::wstring_view json) {
  std::wstring out;
  out.reserve(json.size());
  size_t at = 0;
  while (at < json.size()) {
    // A backslash escapes the character after it: "\\u0041" is no escape.
    if (json[at] == L'\\' && at + 1 < json.size() && json[at + 1] != L'u') {
      out.append(json.substr(at, 2));
      at += 2;
      continue;
    }
    const Unit unit = UnitAt(json, at);
    if (!IsHigh(unit.value) && !IsLow(unit.value)) {
      out.append(json.substr(at, unit.length));
      at += unit.length;
      continue;
    }
    // A pair is two halves written the same way, as the parser takes them.
    if (IsHigh(unit.value) && at + unit.length < json.size()) {
      const Unit next = UnitAt(json, at + unit.length);
      if (IsLow(next.value) && next.escaped == unit.escaped) {
        if (unit.value == kMarkHigh && next.value == kMarkLow) {
          // The marker itself is doubled, so that it stays itself.
          out += {kMarkHigh, kMarkLow, kMarkHigh, kMarkLow};
        } else {
          out.append(json.substr(at, unit.length + next.length));
        }
        at += unit.length + next.length;
        continue;
      }
    }
    out += {kMarkHigh, kMarkLow};
    AppendCodePoint(kCarriedBase + (unit.value - 0xD800), out);
    at += unit.length;
  }
  return out;
}

std::wstring RestoreLoneSurrogates(std::wstring text) {
  if (text.find(kMarkHigh) == std::wstring::npos) return text;
  std::wstring out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size(); ++at) {
    if (text[at] == kMarkHigh && at + 3 < text.size() && text[at + 1] == kMarkLow) {
      const unsigned high = text[at + 2];
      const unsigned low = text[at + 3];
      if (high == kMarkHigh && low == kMarkLow) {
        out += {kMarkHigh, kMarkLow};
        at += 3;
        continue;
      }
      if (IsHigh(high) && IsLow(low)) {
        const unsigned codePoint = 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
        if (codePoint >= kCarriedBase && codePoint < kCarriedBase + 0x800) {
          out += static_cast<wchar_t>(0xD800 + (codePoint - kCarriedBase));
          at += 3;
          continue;
        }
      }
    }
    out += text[at];
  }
  return out;
}

bool IsPlainName(std::wstring_view name) {
  if (name.empty() || (name[0] >= L'0' && name[0] <= L'9')) return false;
  for (const wchar_t c : name) {
    const bool letter = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
    const bool digit = c >= L'0' && c <= L'9';
    if (!letter && !digit && c != L'_') return false;
  }
  return true;
}
