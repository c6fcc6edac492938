// Names as wmic compares them: aliases, verbs, switches and properties are
// ASCII words matched without case.
#pragma once

#include <string_view>

#include "base/text.h"

bool SameName(std::wstring_view a, std::wstring_view b);

bool StartsWithName(std::wstring_view text, std::wstring_view prefix);

