// Small wide-text helpers over the platform's own text routines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Removes U+0020 from both ends; tabs and other blanks stay.
void TrimSpaces(std::wstring& text);

// Splits at commas the way wcstok does (runs of commas and commas at either
// end give no item), then trims spaces from each item. An item of spaces only
// therefore becomes an empty string, which is still an item.
std::vector<std::wstring> SplitAtCommas(const std::wstring& text);

// Letters, digits and "_", not starting with a digit: a class, property,
// method or parameter name, which WQL and a method call take as they are.
bool IsPlainName(std::wstring_view name);

// Lower-cases the whole text in place the way the platform does.
void LowerCase(std::wstring& text);

// Decimal text of a number, appended. Written digit by digit: a large array
// holds millions of numbers, and a formatted print each costs many times the
// conversion itself.
void AppendUnsigned(unsigned long long number, std::wstring& text);
void AppendSigned(long long number, std::wstring& text);

// UTF-16 to UTF-8; false for a surrogate without its partner, which UTF-8
// cannot carry.
bool ToUtf8(std::wstring_view text, std::string& utf8);
// UTF-8 (already checked, as a JSON parser does) to UTF-16, NULs included.
std::wstring FromUtf8(std::string_view utf8);

// Overwrites the text's characters with zeros, in a way the compiler keeps:
// for copies of a password, once they are no longer needed.
void WipeText(std::wstring& text);

// Wipes a text that may hold a password when the scope ends, however it ends.
class WipedOnExit {
 public:
  explicit WipedOnExit(std::wstring& text, bool secret = true) : text_(text), secret_(secret) {}
  ~WipedOnExit() {
    if (secret_) WipeText(text_);
  }
  WipedOnExit(const WipedOnExit&) = delete;
  WipedOnExit& operator=(const WipedOnExit&) = delete;

 private:
  std::wstring& text_;
  const bool secret_;
};

// JSON text may hold a surrogate without its partner, raw or as "\uD800",
// which strict parsers refuse and UTF-8 cannot carry. Protect turns each into
// private-use characters behind a marker (and doubles the marker where it
// stands itself); Restore, on a string the parser gave back, undoes it.
std::wstring ProtectLoneSurrogates(std::wstring_view json);
std::wstring RestoreLoneSurrogates(std::wstring text);
