// The editing of wmic's star prompt, key by key, apart from the console.
#include <gtest/gtest.h>

#include <string>

#include "cli/password_prompt.h"

namespace {

TEST(StarPrompt, EachKeyChangesThePasswordAndTheStarsTogether) {
  const std::wstring manyKeys(3000, L'k');  // past the room made up front
  const struct {
    const char* what;
    std::wstring keys;
    std::wstring password;
    std::wstring shown;
    std::wstring left;  // the keys after Enter, not taken
  } cases[] = {
      {"Backspace takes back a star", L"ab\bcd\rzz", L"acd", L"**\b \b**", L"zz"},
      {"Backspace with nothing typed", L"\b\bx\b\by\r", L"y", L"*\b \b*", L""},
      {"everything taken back", L"ab\b\b\b\r", L"", L"**\b \b\b \b", L""},
      {"DEL is a terminal's Backspace", L"ab\x7F\r", L"a", L"**\b \b", L""},
      {"LF ends it too", L"pw\nq", L"pw", L"**", L"q"},
      {"Enter at once", L"\r", L"", L"", L""},
      {"blanks are characters", L" a\tb \r", L" a\tb ", L"*****", L""},
      {"a pair is two stars, taken back whole", L"a\xD83D\xDE00\b\r", L"a", L"***\b \b\b \b", L""},
      {"a lone low half goes alone", L"a\xDE00\b\r", L"a", L"**\b \b", L""},
      {"a lone high half stays behind a later key", L"\xD83Dx\b\r", L"\xD83D", L"**\b \b", L""},
      {"a long password whole", manyKeys + L"\r", manyKeys, std::wstring(3000, L'*'), L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::wstring password;
    std::wstring shown;
    size_t taken = 0;
    bool ended = false;
    while (!ended && taken < c.keys.size()) ended = TypeKeyShowingStars(c.keys[taken++], password, shown);
    EXPECT_TRUE(ended);
    EXPECT_EQ(password, c.password);
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(c.keys.substr(taken), c.left);
  }
}

}  // namespace
