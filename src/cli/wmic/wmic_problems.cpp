#include "cli/wmic/wmic_problems.h"

#include "cli/wmic/wmic_choices.h"

namespace {

struct ProblemText {
  WmicProblemKind kind;
  std::wstring_view text;
};

const ProblemText kTexts[] = {
    {WmicProblemKind::InvalidAliasVerb, L"Invalid alias verb."},
    {WmicProblemKind::InvalidGlobalSwitch, L"Invalid Global Switch."},
    {WmicProblemKind::InvalidVerbSwitch, L"Invalid Verb Switch."},
    {WmicProblemKind::InvalidGetExpression, L"Invalid GET Expression."},
    {WmicProblemKind::InvalidXslFormat, L"Invalid XSL format (or) file name."},
    {WmicProblemKind::MissingClass, wmic_choices::kMissingClassText},
    {WmicProblemKind::MissingWhere, wmic_choices::kMissingWhereText},
};

}  // namespace

WmicProblem MakeWmicProblem(WmicProblemKind kind, std::wstring_view detail) {
  WmicProblem problem{kind, {}};
  if (kind == WmicProblemKind::AliasNotFound) {
    problem.text.assign(detail).append(L" - Alias not found.");
  } else if (kind == WmicProblemKind::NotSupported || kind == WmicProblemKind::InvalidAssignment) {
    problem.text.assign(detail);
  } else {
    for (const ProblemText& row : kTexts) {
      if (row.kind == kind) problem.text.assign(row.text);
    }
  }
  return problem;
}
