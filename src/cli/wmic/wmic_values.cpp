#include "cli/wmic/wmic_values.h"

#include "cli/wmic/wmic_choices.h"
#include "cli/wmic/wmic_names.h"

namespace {

WmicValue ReadValue(std::wstring_view raw) {
  WmicValue value;
  const size_t equals = FindOutsideQuotes(raw, L'=');
  std::wstring_view valueRaw = raw;
  if (equals != std::wstring_view::npos && IsPlainName(raw.substr(0, equals))) {
    value.name.assign(raw.substr(0, equals));
    valueRaw = raw.substr(equals + 1);
  }
  value.quoted = valueRaw.find_first_of(L"\"'") != std::wstring_view::npos;
  value.text = UnquotedText(valueRaw);
  // \"value\": one quoted run, a backslash before each of its quotes.
  if (wmic_choices::kStripEscapedValueQuotes && valueRaw.size() >= 4 && valueRaw.front() == L'\\' &&
      valueRaw[valueRaw.size() - 2] == L'\\' && IsWhollyQuoted(valueRaw.substr(1), L'"')) {
    value.text.assign(valueRaw.substr(2, valueRaw.size() - 4));
  }
  return value;
}

}  // namespace

std::vector<WmicValue> ReadWmicValues(const std::vector<WmicWord>& words, std::wstring_view separators) {
  std::vector<WmicValue> values;
  for (const WmicWord& word : words) {
    for (const std::wstring_view part : SplitOutsideQuotes(word.raw, separators)) {
      // Between two separators, or beside one at a word's edge, is no value;
      // a quoted empty value ("") is one.
      if (part.empty()) continue;
      values.push_back(ReadValue(part));
    }
  }
  return values;
}
