// Where wmic's behaviour is not known for certain, the behaviour chosen here.
// Each is one line to change once it has been checked on Windows.
#pragma once

#include <string_view>

namespace wmic_choices {

// A /namespace: without leading backslashes is taken below root\cimv2, which
// is where wmic starts.
inline constexpr std::wstring_view kRelativeNamespaceBase = L"root\\cimv2";

// An alias connects to its own namespace (the rd* aliases to
// root\cimv2\TerminalServices); /namespace: applies to PATH and CLASS.
inline constexpr bool kAliasNamespaceWins = true;

// A where clause is one word, or a group in parentheses; a word after it that
// is not a verb starts a method call (`where name="x" rename name="y"`),
// unless a verb comes later, in which case the clause was written with spaces
// and runs up to that verb (`where name = 'x' get ProcessId`).
inline constexpr bool kWhereRunsToLaterVerb = true;

// A whole where clause in single quotes is unwrapped as one in double quotes
// is: a quoted string is never a condition of its own.
inline constexpr bool kUnwrapSingleQuotedWhere = true;

// A word after the target that is not a verb is a method name: `call WORD`.
inline constexpr bool kUnknownVerbIsCall = true;

// A value of call written NAME=\"value\" (quotes escaped for the C
// runtime, as Python and Node write them) is taken as value. Read by the
// rule alone it would be \value\, which no script means.
inline constexpr bool kStripEscapedValueQuotes = true;

// `list status`, `list system` and `list writeable` need the alias's own
// property sets, which are not known: refused.
inline constexpr bool kRefuseUnknownListAdverbs = true;

// The messages wmic's sources give no wording for.
inline constexpr std::wstring_view kMissingClassText = L"Invalid class.";
inline constexpr std::wstring_view kMissingWhereText = L"Invalid WHERE clause.";
inline constexpr std::wstring_view kInvalidSetText = L"Invalid SET Expression.";
inline constexpr std::wstring_view kInvalidCreateText = L"Invalid CREATE Expression.";
inline constexpr std::wstring_view kInvalidSwitchValueText = L"Invalid Global Switch.";

// Exit codes. A WMI failure returns its HRESULT, a negative number, as
// scripts test it; with several machines, or runs of /every:, the first
// failing one's in their order. A command line that cannot run (a parser
// message or a refusal) returns the code scripts have been seen to test for
// a bad format; a failure without an HRESULT (a timeout, output that could
// not be written, a file that could not be opened) returns 1. Help, "No
// Instance(s) Available." and a method's non-zero ReturnValue are successes.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitCannotRun = 44210;

// A user name on a run on this machine: WMI refuses credentials for a local
// connection, so the command line is refused before anything runs.
inline constexpr std::wstring_view kLocalUserText = L"User credentials cannot be used for local connections.";
// /output: or /append: onto a file that cannot be opened; the system's
// reason follows.
inline constexpr std::wstring_view kOutputFileText = L"Cannot open the output file ";
// No arguments: wmic's own prompt, written before each command is read, and
// the words that end it (with the end of the input).
inline constexpr std::wstring_view kPromptText = L"wmic:root\\cli>";
inline constexpr std::wstring_view kPromptEndWords[] = {L"exit", L"quit"};
// At the prompt a change asks first, as /interactive:on does, unless
// /interactive:off was given on wmic's own command line or the command's, or
// /nointeractive on the command's: wmic's context there shows INTERACTIVE ON.
inline constexpr bool kPromptAsksFirst = true;
// The namespace in a change's printed path when none was named, as wmic
// printed it.
inline constexpr std::wstring_view kDefaultPrintedNamespace = L"ROOT\\CIMV2";
// /interactive:on with no console to ask on: nothing is changed.
inline constexpr std::wstring_view kNoConsoleToAskText =
    L"/INTERACTIVE:ON needs a console to ask on: nothing was changed.";
// An answer to /interactive:on's question that is neither Y nor N.
inline constexpr std::wstring_view kAnswerHelpText = L"Y to go on, N to leave it as it is.";

// /user: without /password: asks this, on the console, as wmic did.
inline constexpr std::wstring_view kPasswordPromptText = L"Enter the password :";
// /user: without /password:, and no password typed or piped in.
inline constexpr std::wstring_view kNoPasswordText = L"No password was given.";
// /failfast:on without a time: the bound of each connection and Next, in
// milliseconds.
inline constexpr unsigned kFailFastDefaultMilliseconds = 5000;

}  // namespace wmic_choices
