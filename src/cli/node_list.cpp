#include "cli/node_list.h"

#include <utility>

#include "base/text.h"
#include "base/text_file.h"
#include "cli/unreadable_file.h"
#include "render/layout.h"

namespace {

// Spaces and tabs around a name, and the CR of a CR LF line end.
std::wstring TrimBlanks(const std::wstring& text) {
  const size_t first = text.find_first_not_of(L" \t\r");
  if (first == std::wstring::npos) return {};
  return text.substr(first, text.find_last_not_of(L" \t\r") - first + 1);
}

// C0, DEL and C1: none belongs in a name, and some steer a terminal.
bool IsControl(wchar_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// Control characters as \xNN: a name, from a file above all, must not reach the
// console raw, where it could move the cursor or hide the rest of the line.
std::wstring Printable(const std::wstring& name) {
  static const wchar_t digits[] = L"0123456789abcdef";
  std::wstring shown;
  for (const wchar_t c : name) {
    if (IsControl(c)) {
      shown += L"\\x";
      shown += digits[c >> 4];
      shown += digits[c & 0xF];
    } else {
      shown += c;
    }
  }
  return shown;
}

// The name is pasted into the WMI path \\NAME\namespace, so anything that
// would change that path, or that no machine is called, is refused here,
// before a run starts. The "\\" administrators often write is dropped.
bool TakeMachineName(const std::wstring& given, std::wstring& name) {
  name = given.compare(0, 2, L"\\\\") == 0 ? given.substr(2) : given;
  if (name.empty() || name.size() > 255) return false;
  for (const wchar_t c : name) {
    if (c == L'\\' || c == L'/' || c == L' ' || IsControl(c)) return false;
  }
  return true;
}

bool ReadNodeFile(const std::wstring& path, Layout& layout, std::vector<std::wstring>& names, bool commas) {
  const TextFileRead read = ReadTextFile(path);
  if (read.problem != TextFileProblem::None) {
    ReportUnreadableFile(layout, read, L"node file", path);
    return false;
  }
  const std::wstring& text = read.text;
  int line = 0;
  size_t start = 0;
  while (start <= text.size()) {
    ++line;
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring lineText = TrimBlanks(text.substr(start, end - start));
    start = end + 1;
    if (lineText.empty() || lineText[0] == L'#') continue;
    const std::vector<std::wstring> items = commas ? SplitAtCommas(lineText) : std::vector<std::wstring>{lineText};
    for (const std::wstring& item : items) {
      const std::wstring given = TrimBlanks(item);
      if (given.empty()) continue;
      std::wstring name;
      if (!TakeMachineName(given, name)) {
        PrintError(layout, L"ERROR: \"%ls\" is not a machine name (line %d of the node file %ls).\r\n",
                   Printable(given).c_str(), line, path.c_str());
        return false;
      }
      names.push_back(std::move(name));
    }
  }
  if (names.empty()) {
    PrintError(layout, L"ERROR: The node file %ls holds no machine name.\r\n", path.c_str());
    return false;
  }
  return true;
}

bool ReadNodeNames(const std::wstring& value, Layout& layout, std::vector<std::wstring>& names, bool commasInFile) {
  if (!value.empty() && value[0] == L'@') {
    // "@" alone names no file, and so no machine.
    if (value.size() > 1) return ReadNodeFile(value.substr(1), layout, names, commasInFile);
  } else {
    for (const std::wstring& given : SplitAtCommas(value)) {
      if (given.empty()) continue;
      std::wstring name;
      if (!TakeMachineName(given, name)) {
        PrintError(layout, L"ERROR: \"%ls\" is not a machine name.\r\n", Printable(given).c_str());
        return false;
      }
      names.push_back(std::move(name));
    }
  }
  if (names.empty()) {
    PrintError(layout, L"ERROR: /node: names no machine.\r\n");
    return false;
  }
  return true;
}

}  // namespace

bool ReadNodeList(const std::wstring& value, Layout& layout, std::vector<std::wstring>& names, bool commasInFile) {
  names.clear();
  if (ReadNodeNames(value, layout, names, commasInFile)) return true;
  // A refused list is refused whole: no machine of it is worked on.
  names.clear();
  return false;
}

bool ParseWholeNumber(const std::wstring& text, int lowest, int highest, int& number) {
  // Nine digits for the small ranges, as ever; ten only where the range
  // reaches them. Ten digits fit a long long whatever they are.
  const size_t mostDigits = highest > 999999999 ? 10 : 9;
  if (text.empty() || text.size() > mostDigits) return false;
  long long value = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    value = value * 10 + (c - L'0');
  }
  if (value < lowest || value > highest) return false;
  number = static_cast<int>(value);
  return true;
}
