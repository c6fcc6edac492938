#include "cli/wmic/wmic_grammar.h"

#include <string>
#include <vector>

#include "cli/wmic/wmic_aliases.h"
#include "cli/wmic/wmic_choices.h"
#include "cli/wmic/wmic_names.h"
#include "cli/wmic/wmic_problems.h"
#include "cli/wmic/wmic_switches.h"
#include "cli/wmic/wmic_values.h"
#include "cli/wmic/wmic_words.h"

namespace {

struct VerbName {
  std::wstring_view name;
  WmicVerb verb;
};

const VerbName kVerbs[] = {
    {L"get", WmicVerb::Get},       {L"list", WmicVerb::List},     {L"call", WmicVerb::Call},
    {L"set", WmicVerb::Set},       {L"delete", WmicVerb::Delete}, {L"create", WmicVerb::Create},
};

// Verbs wmic has and this program does not.
const std::wstring_view kRefusedVerbs[] = {L"assoc"};

struct AdverbName {
  std::wstring_view name;
  WmicListAdverb adverb;
  bool supported;
};

const AdverbName kAdverbs[] = {
    {L"brief", WmicListAdverb::Brief, true},
    {L"full", WmicListAdverb::Full, true},
    {L"instance", WmicListAdverb::Instance, true},
    {L"status", WmicListAdverb::Status, !wmic_choices::kRefuseUnknownListAdverbs},
    {L"system", WmicListAdverb::System, !wmic_choices::kRefuseUnknownListAdverbs},
    {L"writeable", WmicListAdverb::Writeable, !wmic_choices::kRefuseUnknownListAdverbs},
};

bool IsSwitchWord(const WmicWord& word) { return !word.text.empty() && word.text.front() == L'/'; }

bool IsHelp(const WmicWord& word) { return SameName(word.text, L"/?") || StartsWithName(word.text, L"/?:"); }

// A keyword counts only as typed bare: "get" in quotes is a value.
bool IsKeyword(const WmicWord& word, std::wstring_view keyword) {
  return !word.quoted && SameName(word.text, keyword);
}

const VerbName* FindVerb(const WmicWord& word) {
  if (word.quoted) return nullptr;
  for (const VerbName& row : kVerbs) {
    if (SameName(row.name, word.text)) return &row;
  }
  return nullptr;
}

bool IsRefusedVerb(const WmicWord& word) {
  for (const std::wstring_view name : kRefusedVerbs) {
    if (IsKeyword(word, name)) return true;
  }
  return false;
}

bool IsVerbWord(const WmicWord& word) { return FindVerb(word) || IsRefusedVerb(word); }

// Reads the words in order; every read is bounded by the words left, so no
// line, however broken, reads past its end.
class Parser {
 public:
  explicit Parser(std::wstring_view line) : line_(line), words_(SplitWmicCommandLine(line)) {}

  WmicRequest Parse() {
    if (words_.empty()) {
      request_.interactive = true;
      return request_;
    }
    if (!ReadGlobalSwitches() || Done()) return request_;
    if (AtEnd()) {
      request_.interactive = true;
      return request_;
    }
    if (!ReadTarget() || Done()) return request_;
    ReadVerb();
    return request_;
  }

 private:
  bool AtEnd() const { return next_ >= words_.size(); }
  const WmicWord& Next() const { return words_[next_]; }
  bool Done() const { return request_.help != WmicHelp::None || request_.problem.kind != WmicProblemKind::None; }

  bool Fail(WmicProblem problem) {
    request_.problem = std::move(problem);
    return false;
  }
  bool Fail(WmicProblemKind kind, std::wstring_view detail = {}) { return Fail(MakeWmicProblem(kind, detail)); }

  // A switch word, with its value taken from the next word when the colon
  // ends the word (`/node: "pc1"`).
  WmicSwitch TakeSwitch(bool (*takesValue)(std::wstring_view)) {
    const WmicWord& word = words_[next_++];
    WmicSwitch given = SplitSwitch(word.text);
    const bool colonEndsWord = !word.raw.empty() && word.raw.back() == L':';
    if (given.hasColon && given.value.empty() && colonEndsWord && takesValue(given.name) && !AtEnd()) {
      given.value = words_[next_++].text;
    }
    return given;
  }

  bool ReadGlobalSwitches() {
    while (!AtEnd() && IsSwitchWord(Next())) {
      if (IsHelp(Next())) {
        request_.help = WmicHelp::General;
        return true;
      }
      WmicProblem problem = ApplyGlobalSwitch(TakeSwitch(GlobalSwitchTakesValue), request_.globals);
      if (problem.kind != WmicProblemKind::None) return Fail(std::move(problem));
    }
    return true;
  }

  bool ReadTarget() {
    const WmicWord& first = words_[next_++];
    WmicTarget& target = request_.target;
    if (IsKeyword(first, L"path") || IsKeyword(first, L"class")) {
      target.kind = IsKeyword(first, L"path") ? WmicTargetKind::Path : WmicTargetKind::Class;
      if (AtEnd() || !IsPlainName(Next().text)) return Fail(WmicProblemKind::MissingClass);
      target.className = words_[next_++].text;
    } else {
      target.alias = FindWmicAlias(first.text);
      if (!target.alias) return Fail(WmicProblemKind::AliasNotFound, first.text);
      target.kind = WmicTargetKind::Alias;
      target.className.assign(target.alias->className);
    }
    if (!AtEnd() && IsKeyword(Next(), L"where")) {
      // A class is called, never queried.
      if (target.kind == WmicTargetKind::Class) return Fail(WmicProblemKind::InvalidAliasVerb);
      ++next_;
      return ReadWhere();
    }
    if (!AtEnd() && target.alias && !target.alias->keyWhere.empty() && !IsVerbWord(Next()) &&
        !IsSwitchWord(Next())) {
      target.keyGiven = true;
      target.keyValue = words_[next_++].text;
    }
    return true;
  }

  // Where the where clause ends: after one word or a group in parentheses,
  // or at a later verb (see wmic_choices.h).
  size_t WhereEnd() const {
    size_t end = next_ + 1;
    if (!Next().raw.empty() && Next().raw.front() == L'(') {
      int depth = 0;
      size_t i = next_;
      for (; i < words_.size(); ++i) {
        depth += ParenthesisBalance(words_[i].raw);
        if (depth <= 0) break;
      }
      end = i < words_.size() ? i + 1 : words_.size();
    }
    if (!wmic_choices::kWhereRunsToLaterVerb || end >= words_.size()) return end;
    if (IsVerbWord(words_[end]) || IsSwitchWord(words_[end])) return end;
    for (size_t i = end + 1; i < words_.size(); ++i) {
      if (IsSwitchWord(words_[i])) break;
      if (IsVerbWord(words_[i])) return i;
    }
    return end;
  }

  // Opening less closing parentheses outside quotes.
  static int ParenthesisBalance(std::wstring_view raw) {
    return static_cast<int>(SplitOutsideQuotes(raw, L"(").size()) -
           static_cast<int>(SplitOutsideQuotes(raw, L")").size());
  }

  bool ReadWhere() {
    if (AtEnd() || IsVerbWord(Next()) || IsSwitchWord(Next())) return Fail(WmicProblemKind::MissingWhere);
    const size_t end = WhereEnd();
    const size_t from = words_[next_].begin;
    const std::wstring_view raw = line_.substr(from, words_[end - 1].end - from);
    const bool oneWord = end == next_ + 1;
    const bool unwrap = oneWord && (IsWhollyQuoted(raw, L'"') ||
                                    (wmic_choices::kUnwrapSingleQuotedWhere && IsWhollyQuoted(raw, L'\'')));
    // WQL reads the clause as typed: its quotes are WQL's string quotes, and
    // its backslashes WQL's escapes.
    std::wstring clause(unwrap ? raw.substr(1, raw.size() - 2) : raw);
    next_ = end;
    if (clause.find_first_not_of(L" \t") == std::wstring::npos) return Fail(WmicProblemKind::MissingWhere);
    request_.target.whereGiven = true;
    request_.target.where = std::move(clause);
    return true;
  }

  void ReadVerb() {
    if (AtEnd() || IsSwitchWord(Next())) {
      // A bare target lists; its switches follow directly.
      if (!AtEnd() && IsHelp(Next())) {
        request_.help = WmicHelp::Alias;
        return;
      }
      if (!ClassAllows(WmicVerb::List)) return;
      ReadVerbSwitches(WmicProblemKind::InvalidVerbSwitch);
      return;
    }
    const WmicWord& word = words_[next_++];
    if (IsRefusedVerb(word)) {
      Fail(WmicProblemKind::NotSupported, L"The verb " + word.text + L" is not supported.");
      return;
    }
    const VerbName* verb = FindVerb(word);
    if (!verb) {
      std::vector<WmicWord> glued;
      if (!wmic_choices::kUnknownVerbIsCall || !ReadMethodWord(word, false, glued)) {
        Fail(WmicProblemKind::InvalidAliasVerb);
        return;
      }
      request_.verb = WmicVerb::Call;
      request_.method = WmicPrintedMethod(request_.target.alias, request_.method);
      ReadCallValues(std::move(glued));
      return;
    }
    request_.verb = verb->verb;
    if (!AtEnd() && IsHelp(Next())) {
      request_.help = WmicHelp::Verb;
      return;
    }
    if (!ClassAllows(verb->verb)) return;
    switch (verb->verb) {
      case WmicVerb::Get:
        ReadGet();
        return;
      case WmicVerb::List:
        ReadList();
        return;
      case WmicVerb::Call: {
        std::vector<WmicWord> glued;
        if (AtEnd() || IsSwitchWord(Next()) || !ReadMethodWord(Next(), true, glued)) {
          // `call` alone asks which methods there are.
          if (AtEnd()) request_.help = WmicHelp::Verb;
          else Fail(WmicProblemKind::InvalidAliasVerb);
          return;
        }
        ++next_;
        request_.method = WmicPrintedMethod(request_.target.alias, request_.method);
        ReadCallValues(std::move(glued));
        return;
      }
      case WmicVerb::Set:
        ReadAssignments(L",", wmic_choices::kInvalidSetText);
        return;
      case WmicVerb::Create:
        ReadAssignments(L",;", wmic_choices::kInvalidCreateText);
        return;
      case WmicVerb::Delete:
        ReadVerbSwitches(WmicProblemKind::InvalidVerbSwitch);
        return;
    }
  }

  bool ClassAllows(WmicVerb verb) {
    if (request_.target.kind != WmicTargetKind::Class || verb == WmicVerb::Call) return true;
    return Fail(WmicProblemKind::NotSupported, L"CLASS supports only the CALL verb.");
  }

  void ReadGet() {
    // Names run on while a comma joins them: `get a,b`, `get a, b`,
    // `get a , b`.
    std::wstring list;
    while (!AtEnd() && !IsSwitchWord(Next())) {
      const WmicWord& word = Next();
      const bool joined = list.empty() || list.back() == L',' || (!word.text.empty() && word.text.front() == L',');
      if (!joined) break;
      list += word.text;
      ++next_;
    }
    if (!list.empty() && list != L"*") {
      size_t from = 0;
      while (true) {
        const size_t comma = list.find(L',', from);
        std::wstring name = list.substr(from, comma == std::wstring::npos ? std::wstring::npos : comma - from);
        const size_t first = name.find_first_not_of(L" \t");
        const size_t last = name.find_last_not_of(L" \t");
        name = first == std::wstring::npos ? std::wstring() : name.substr(first, last - first + 1);
        if (!IsPlainName(name)) {
          Fail(WmicProblemKind::InvalidGetExpression);
          return;
        }
        request_.properties.push_back(std::move(name));
        if (comma == std::wstring::npos) break;
        from = comma + 1;
      }
    }
    ReadVerbSwitches(WmicProblemKind::InvalidGetExpression);
  }

  void ReadList() {
    if (!AtEnd() && !IsSwitchWord(Next())) {
      const WmicWord& word = words_[next_++];
      for (const AdverbName& row : kAdverbs) {
        if (!IsKeyword(word, row.name)) continue;
        if (!row.supported) {
          Fail(WmicProblemKind::NotSupported, L"LIST " + word.text + L" is not supported.");
          return;
        }
        request_.listAdverb = row.adverb;
        ReadVerbSwitches(WmicProblemKind::InvalidVerbSwitch);
        return;
      }
      Fail(WmicProblemKind::InvalidVerbSwitch);
      return;
    }
    ReadVerbSwitches(WmicProblemKind::InvalidVerbSwitch);
  }

  std::vector<WmicWord> TakeValueWords() {
    std::vector<WmicWord> taken;
    while (!AtEnd() && !IsSwitchWord(Next())) taken.push_back(words_[next_++]);
    return taken;
  }

  // The method's name: a plain word, or one glued to the list of its first
  // value (`setgateways("10.0.0.1"),(1)`), whose rest goes to `glued`.
  // After `call` the name may be quoted; as the verb itself it may not.
  bool ReadMethodWord(const WmicWord& word, bool quotedName, std::vector<WmicWord>& glued) {
    const size_t paren = FindOutsideQuotes(word.raw, L'(');
    if (paren == std::wstring::npos) {
      if ((word.quoted && !quotedName) || !IsPlainName(word.text)) return false;
      request_.method = word.text;
      return true;
    }
    const std::wstring_view name = std::wstring_view(word.raw).substr(0, paren);
    if (!IsPlainName(name)) return false;
    request_.method.assign(name);
    WmicWord rest;
    rest.raw = word.raw.substr(paren);
    rest.text = UnquotedText(rest.raw);
    rest.begin = word.begin + paren;
    rest.end = word.end;
    rest.quoted = word.quoted;
    glued.push_back(std::move(rest));
    return true;
  }

  void ReadCallValues(std::vector<WmicWord> words) {
    for (WmicWord& word : TakeValueWords()) words.push_back(std::move(word));
    if (!ReadWmicValues(words, L",", true, request_.values)) {
      Fail(WmicProblemKind::NotSupported, L"A list of values opened with ( is not closed.");
      return;
    }
    ReadVerbSwitches(WmicProblemKind::InvalidVerbSwitch);
  }

  void ReadAssignments(std::wstring_view separators, std::wstring_view invalidText) {
    ReadWmicValues(TakeValueWords(), separators, false, request_.values);
    bool usable = !request_.values.empty();
    for (const WmicValue& value : request_.values) usable = usable && !value.name.empty();
    if (!usable) {
      Fail(WmicProblemKind::InvalidAssignment, invalidText);
      return;
    }
    ReadVerbSwitches(WmicProblemKind::InvalidVerbSwitch);
  }

  // Only switches may follow; any other word is `stray`'s problem.
  void ReadVerbSwitches(WmicProblemKind stray) {
    while (!AtEnd()) {
      if (!IsSwitchWord(Next())) {
        Fail(stray);
        return;
      }
      if (IsHelp(Next())) {
        request_.help = WmicHelp::Verb;
        return;
      }
      WmicProblem problem = ApplyVerbSwitch(TakeSwitch(VerbSwitchTakesValue), request_.switches);
      if (problem.kind != WmicProblemKind::None) {
        Fail(std::move(problem));
        return;
      }
    }
    // A count of runs says nothing without the time between them.
    if (request_.switches.repeatCount != 0 && request_.switches.everySeconds == 0) {
      Fail(WmicProblemKind::InvalidVerbSwitch);
    }
  }

  std::wstring_view line_;
  std::vector<WmicWord> words_;
  size_t next_ = 0;
  WmicRequest request_;
};

}  // namespace

WmicRequest ParseWmicCommandLine(std::wstring_view commandLine) { return Parser(commandLine).Parse(); }
