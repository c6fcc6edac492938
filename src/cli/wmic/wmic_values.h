// The values after call METHOD, set and create.
#pragma once

#include <string_view>
#include <vector>

#include "cli/wmic/wmic_request.h"
#include "cli/wmic/wmic_words.h"

// Values are separated by blanks or by any of `separators` outside quotes,
// each NAME=value or, without a plain name before an "=" outside quotes, a
// value by position. With `lists`, a value that opens with "(" outside
// quotes is a list running to the ")" that closes it, across blanks, its
// elements separated by commas or blanks: ("a", "b"), NAME=('a'), ().
// Returns false for a list that is never closed.
bool ReadWmicValues(const std::vector<WmicWord>& words, std::wstring_view separators, bool lists,
                    std::vector<WmicValue>& values);
