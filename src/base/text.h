// Small wide-text helpers over the platform's own text routines.
#pragma once

#include <string>
#include <vector>

// Removes U+0020 from both ends; tabs and other blanks stay.
void TrimSpaces(std::wstring& text);

// Splits at commas the way wcstok does (runs of commas and commas at either
// end give no item), then trims spaces from each item. An item of spaces only
// therefore becomes an empty string, which is still an item.
std::vector<std::wstring> SplitAtCommas(const std::wstring& text);

// Lower-cases the whole text in place the way the platform does.
void LowerCase(std::wstring& text);

// Decimal text of a number, appended. Written digit by digit: a large array
// holds millions of numbers, and a formatted print each costs many times the
// conversion itself.
void AppendUnsigned(unsigned long long number, std::wstring& text);
void AppendSigned(long long number, std::wstring& text);
