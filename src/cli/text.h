// Small wide-text helpers over the platform's own text routines.
#pragma once

#include <string>

// Removes U+0020 from both ends; tabs and other blanks stay.
void TrimSpaces(std::wstring& text);

// Lower-cases the whole text in place the way the platform does.
void LowerCase(std::wstring& text);
