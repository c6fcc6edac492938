#include "cli/wmic/wmic_values.h"

#include <string>

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

// Where each of `marks` stands outside quotes in raw text, in order.
std::vector<size_t> MarksOutsideQuotes(std::wstring_view raw, std::wstring_view marks) {
  std::vector<size_t> positions;
  const std::vector<std::wstring_view> parts = SplitOutsideQuotes(raw, marks);
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    positions.push_back(static_cast<size_t>(parts[i].data() - raw.data()) + parts[i].size());
  }
  return positions;
}

// "NAME=" with a plain name: the start of a named list.
bool IsNameAndEquals(std::wstring_view raw) {
  return raw.size() >= 2 && raw.back() == L'=' && IsPlainName(raw.substr(0, raw.size() - 1));
}

// Reads values word by word; a list may run on over several words.
class ValueReader {
 public:
  ValueReader(std::wstring_view separators, bool lists, std::vector<WmicValue>& values)
      : separators_(separators), lists_(lists), values_(values) {}

  void Read(std::wstring_view raw) {
    size_t from = 0;
    std::wstring marks(separators_);
    if (lists_) marks += L"()";
    for (const size_t at : MarksOutsideQuotes(raw, marks)) {
      const wchar_t mark = raw[at];
      const std::wstring_view piece = raw.substr(from, at - from);
      if (inList_) {
        // Inside a list only its commas and its end count.
        if (mark == L'(') continue;
        if (mark == L',' || mark == L')') AddElement(piece);
        if (mark == L')') {
          values_.push_back(std::move(list_));
          list_ = WmicValue{};
          inList_ = false;
        }
      } else if (mark == L'(') {
        // Only where a value starts does a parenthesis open a list.
        if (!piece.empty() && !IsNameAndEquals(piece)) continue;
        inList_ = true;
        list_.list = true;
        if (!piece.empty()) list_.name.assign(piece.substr(0, piece.size() - 1));
      } else if (mark == L')') {
        continue;
      } else {
        AddValue(piece);
      }
      from = at + 1;
    }
    const std::wstring_view rest = raw.substr(from);
    if (inList_) {
      AddElement(rest);
    } else {
      AddValue(rest);
    }
  }

  bool Closed() const { return !inList_; }

 private:
  void AddElement(std::wstring_view piece) {
    if (!piece.empty()) list_.elements.push_back(UnquotedText(piece));
  }

  // Between two separators, or beside one at a word's edge, is no value; a
  // quoted empty value ("") is one.
  void AddValue(std::wstring_view piece) {
    if (!piece.empty()) values_.push_back(ReadValue(piece));
  }

  std::wstring_view separators_;
  bool lists_;
  std::vector<WmicValue>& values_;
  bool inList_ = false;
  WmicValue list_;
};

}  // namespace

bool ReadWmicValues(const std::vector<WmicWord>& words, std::wstring_view separators, bool lists,
                    std::vector<WmicValue>& values) {
  values.clear();
  ValueReader reader(separators, lists, values);
  for (const WmicWord& word : words) reader.Read(word.raw);
  return reader.Closed();
}
