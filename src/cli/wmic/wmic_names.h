// Names as wmic compares them: aliases, verbs, switches and properties are
// ASCII words matched without case.
#pragma once

#include <string_view>

bool SameName(std::wstring_view a, std::wstring_view b);

bool StartsWithName(std::wstring_view text, std::wstring_view prefix);

// Letters, digits and "_", not starting with a digit: a property, method or
// parameter name, which WQL and a method call take as they are.
bool IsPlainName(std::wstring_view name);
