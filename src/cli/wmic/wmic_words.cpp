#include "cli/wmic/wmic_words.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

enum class Quoting { None, Double, Single };

// What one step of raw text is: a character of the value, a quote that opens
// or closes a run, or a blank between words.
enum class Piece { Literal, Quote, Blank };

// Walks raw text once, calling visit(piece, character, position, quoting) with
// the quoting in force before the piece. Every rule about quotes lives here,
// so words, their values and their WQL text can never disagree. A backslash
// is a character like any other, never an escape: scripts end a folder or a
// volume with one before the closing quote ("C:\").
template <typename Visit>
void ScanQuotes(std::wstring_view raw, Visit&& visit) {
  Quoting quoting = Quoting::None;
  for (size_t i = 0; i < raw.size(); ++i) {
    const wchar_t c = raw[i];
    if (c == L'"' && quoting != Quoting::Single) {
      visit(Piece::Quote, c, i, quoting);
      quoting = quoting == Quoting::Double ? Quoting::None : Quoting::Double;
    } else if (c == L'\'' && quoting != Quoting::Double) {
      visit(Piece::Quote, c, i, quoting);
      quoting = quoting == Quoting::Single ? Quoting::None : Quoting::Single;
    } else if (IsBlank(c) && quoting == Quoting::None) {
      visit(Piece::Blank, c, i, quoting);
    } else {
      visit(Piece::Literal, c, i, quoting);
    }
  }
}

}  // namespace

size_t SkipProgramName(std::wstring_view commandLine) {
  size_t i = 0;
  bool quoted = false;
  while (i < commandLine.size() && (quoted || !IsBlank(commandLine[i]))) {
    if (commandLine[i] == L'"') quoted = !quoted;
    ++i;
  }
  while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
  return i;
}

std::vector<WmicWord> SplitWmicCommandLine(std::wstring_view commandLine) {
  const size_t start = SkipProgramName(commandLine);
  const std::wstring_view rest = commandLine.substr(start);
  std::vector<WmicWord> words;
  bool inWord = false;
  auto wordAt = [&](size_t position) -> WmicWord& {
    if (!inWord) {
      words.emplace_back();
      words.back().begin = start + position;
      inWord = true;
    }
    words.back().end = start + position + 1;
    return words.back();
  };
  ScanQuotes(rest, [&](Piece piece, wchar_t c, size_t position, Quoting) {
    if (piece == Piece::Blank) {
      inWord = false;
      return;
    }
    WmicWord& word = wordAt(position);
    if (piece == Piece::Literal) word.text += c;
  });
  for (WmicWord& word : words) {
    word.raw.assign(commandLine.substr(word.begin, word.end - word.begin));
    word.quoted = word.raw.find_first_of(L"\"'") != std::wstring::npos;
  }
  return words;
}

std::wstring UnquotedText(std::wstring_view raw) {
  std::wstring text;
  ScanQuotes(raw, [&](Piece piece, wchar_t c, size_t, Quoting) {
    if (piece != Piece::Quote) text += c;
  });
  return text;
}

std::vector<std::wstring_view> SplitOutsideQuotes(std::wstring_view raw, std::wstring_view separators) {
  std::vector<std::wstring_view> parts;
  size_t from = 0;
  ScanQuotes(raw, [&](Piece piece, wchar_t c, size_t position, Quoting quoting) {
    if (piece != Piece::Literal || quoting != Quoting::None) return;
    if (separators.find(c) == std::wstring_view::npos) return;
    parts.push_back(raw.substr(from, position - from));
    from = position + 1;
  });
  parts.push_back(raw.substr(from));
  return parts;
}

size_t FindOutsideQuotes(std::wstring_view raw, wchar_t wanted) {
  size_t found = std::wstring_view::npos;
  ScanQuotes(raw, [&](Piece piece, wchar_t c, size_t position, Quoting quoting) {
    if (found == std::wstring_view::npos && piece == Piece::Literal && quoting == Quoting::None && c == wanted) {
      found = position;
    }
  });
  return found;
}

bool IsWhollyQuoted(std::wstring_view raw, wchar_t quote) {
  if (raw.size() < 2 || raw.front() != quote) return false;
  size_t delimiters = 0;
  size_t last = 0;
  ScanQuotes(raw, [&](Piece piece, wchar_t, size_t position, Quoting) {
    if (piece != Piece::Quote) return;
    ++delimiters;
    last = position;
  });
  return delimiters == 2 && last == raw.size() - 1;
}
