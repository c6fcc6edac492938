// The words of a wmic command line, read from the raw line as the process was
// given it: the C runtime's argv has already lost the double quotes that a
// where clause hands on to WQL.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct WmicWord {
  std::wstring text;   // quotes removed
  std::wstring raw;    // as typed, quotes kept
  size_t begin = 0;    // raw's place in the command line: [begin, end)
  size_t end = 0;
  bool quoted = false;  // raw holds a quote, so it is never a keyword
};

// The words after the program's own name. Words are separated by spaces and
// tabs outside quotes; "..." and '...' keep their spaces, and each kind of
// quote is an ordinary character inside the other. A backslash is an ordinary
// character everywhere: \" is a backslash and a quote. An unbalanced quote
// runs to the end of the line.
std::vector<WmicWord> SplitWmicCommandLine(std::wstring_view commandLine);

// Where the program's own name ends, by the C runtime's rule (quotes group,
// and are not escaped), with the blanks after it skipped.
size_t SkipProgramName(std::wstring_view commandLine);

// Raw text with its quotes removed, as a word's `text` is made.
std::wstring UnquotedText(std::wstring_view raw);

// Raw text cut at each of `separators` that stands outside quotes.
std::vector<std::wstring_view> SplitOutsideQuotes(std::wstring_view raw, std::wstring_view separators);

// Where `wanted` first stands outside quotes in raw text, or npos.
size_t FindOutsideQuotes(std::wstring_view raw, wchar_t wanted);

// Raw text that is one quoted run from its first character to its last
// ("a b", 'a b', "C:\"): the quotes wrap the whole of it.
bool IsWhollyQuoted(std::wstring_view raw, wchar_t quote);
