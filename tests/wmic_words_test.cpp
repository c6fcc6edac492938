// The words of a raw wmic command line: the program's name skipped, quotes
// grouped and removed, a backslash an ordinary character.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/wmic/wmic_words.h"

namespace {

struct Word {
  std::wstring text;
  std::wstring raw;
};

std::vector<Word> Words(const std::wstring& line) {
  std::vector<Word> words;
  for (const WmicWord& word : SplitWmicCommandLine(line)) {
    EXPECT_EQ(line.substr(word.begin, word.end - word.begin), word.raw) << line;
    words.push_back({word.text, word.raw});
  }
  return words;
}

TEST(WmicWords, SplitsTheRawLine) {
  struct Case {
    std::wstring line;
    std::vector<Word> words;
  };
  const Case cases[] = {
      {L"wmic", {}},
      {L"wmic   ", {}},
      {L"\"C:\\Program Files\\x\\wmic.exe\" os get", {{L"os", L"os"}, {L"get", L"get"}}},
      {L"C:\\\"Program Files\"\\wmic.exe os", {{L"os", L"os"}}},
      {L"wmic\t csproduct \tget UUID", {{L"csproduct", L"csproduct"}, {L"get", L"get"}, {L"UUID", L"UUID"}}},
      {L"wmic process where name=\"notepad.exe\" get",
       {{L"process", L"process"}, {L"where", L"where"}, {L"name=notepad.exe", L"name=\"notepad.exe\""},
        {L"get", L"get"}}},
      {L"wmic x call rename 'NEW NAME'", {{L"x", L"x"}, {L"call", L"call"}, {L"rename", L"rename"},
                                          {L"NEW NAME", L"'NEW NAME'"}}},
      {L"wmic a \"it's\" 'say \"hi\"'", {{L"a", L"a"}, {L"it's", L"\"it's\""}, {L"say \"hi\"", L"'say \"hi\"'"}}},
      {L"wmic get ID /VALUE\"\"", {{L"get", L"get"}, {L"ID", L"ID"}, {L"/VALUE", L"/VALUE\"\""}}},
      // A backslash escapes nothing: the quote after it closes the run.
      {L"wmic shadowcopy call create Volume=\"C:\\\"",
       {{L"shadowcopy", L"shadowcopy"}, {L"call", L"call"}, {L"create", L"create"},
        {L"Volume=C:\\", L"Volume=\"C:\\\""}}},
      {L"wmic x Volume='C:\\' y", {{L"x", L"x"}, {L"Volume=C:\\", L"Volume='C:\\'"}, {L"y", L"y"}}},
      {L"wmic \"cmd.exe /c copy \\\\SRV\\c$\\p.bat c:\\windows\\temp\\\" /nointeractive",
       {{L"cmd.exe /c copy \\\\SRV\\c$\\p.bat c:\\windows\\temp\\",
         L"\"cmd.exe /c copy \\\\SRV\\c$\\p.bat c:\\windows\\temp\\\""},
        {L"/nointeractive", L"/nointeractive"}}},
      {L"wmic a=\\\"x y\\\"", {{L"a=\\x y\\", L"a=\\\"x y\\\""}}},
      {L"wmic \"a \\\"b\\\" c\" d", {{L"a \\b\\ c", L"\"a \\\"b\\\" c\""}, {L"d", L"d"}}},
      {L"wmic \"C:\\\\\" next", {{L"C:\\\\", L"\"C:\\\\\""}, {L"next", L"next"}}},
      {L"wmic C:\\\\dir\\x", {{L"C:\\\\dir\\x", L"C:\\\\dir\\x"}}},
      // An unbalanced quote runs to the end of the line.
      {L"wmic csproduct '", {{L"csproduct", L"csproduct"}, {L"", L"'"}}},
      {L"wmic a \"b c", {{L"a", L"a"}, {L"b c", L"\"b c"}}},
      {L"wmic caf\u00e9 \u65e5\u672c", {{L"caf\u00e9", L"caf\u00e9"}, {L"\u65e5\u672c", L"\u65e5\u672c"}}},
  };
  for (const Case& c : cases) {
    const std::vector<Word> words = Words(c.line);
    ASSERT_EQ(words.size(), c.words.size()) << c.line;
    for (size_t i = 0; i < words.size(); ++i) {
      EXPECT_EQ(words[i].text, c.words[i].text) << c.line;
      EXPECT_EQ(words[i].raw, c.words[i].raw) << c.line;
    }
  }
}

TEST(WmicWords, PartsOfRawText) {
  struct Split {
    std::wstring raw;
    std::vector<std::wstring> parts;
  };
  const Split splits[] = {
      {L"a,b", {L"a", L"b"}},
      {L"a,", {L"a", L""}},
      {L"\"x, y\",'1,2';3", {L"\"x, y\"", L"'1,2'", L"3"}},
      {L"\"C:\\\",x", {L"\"C:\\\"", L"x"}},
  };
  for (const Split& s : splits) {
    const std::vector<std::wstring_view> parts = SplitOutsideQuotes(s.raw, L",;");
    ASSERT_EQ(parts.size(), s.parts.size()) << s.raw;
    for (size_t i = 0; i < parts.size(); ++i) EXPECT_EQ(std::wstring(parts[i]), s.parts[i]) << s.raw;
  }

  EXPECT_EQ(FindOutsideQuotes(L"\"a=b\"=c", L'='), 5u);
  EXPECT_EQ(FindOutsideQuotes(L"'a=b'", L'='), std::wstring_view::npos);

  struct Wrapped {
    std::wstring raw;
    bool wholly;
  };
  const Wrapped wrapped[] = {
      {L"\"name='a' or name='b'\"", true}, {L"\"a \\\" b\"", false}, {L"\"a\"=\"b\"", false},
      {L"\"C:\\\"", true},                 {L"\"", false},           {L"x\"a\"", false},
  };
  for (const Wrapped& w : wrapped) EXPECT_EQ(IsWhollyQuoted(w.raw, L'"'), w.wholly) << w.raw;
}

TEST(WmicWords, LongAndBrokenLinesEnd) {
  // 32 KiB of quotes, backslashes and blanks in every mix: each line is read
  // to its end, and every word's place lies inside it.
  const std::wstring alphabet = L"\"'\\ \t,a=\u00e9";
  unsigned state = 12345;
  for (int round = 0; round < 20; ++round) {
    std::wstring line = L"wmic ";
    while (line.size() < 32 * 1024) {
      state = state * 1103515245u + 12345u;
      line += alphabet[(state >> 16) % alphabet.size()];
    }
    for (const WmicWord& word : SplitWmicCommandLine(line)) {
      ASSERT_LE(word.begin, word.end);
      ASSERT_LE(word.end, line.size());
      ASSERT_LE(word.text.size(), word.raw.size());
    }
  }
}

}  // namespace
