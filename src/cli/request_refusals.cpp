#include "cli/request_refusals.h"

#include "base/run_settings.h"
#include "base/text.h"
#include "cli/scan_arguments.h"
#include "cli/usage.h"
#include "render/layout.h"

namespace {

bool Calls(const RunSettings& s) { return s.argFUNC == Operation::CALL; }
bool Sets(const RunSettings& s) { return s.argFUNC == Operation::SET; }

// One row a refusal, tested in this order; the first that applies is
// printed. `named`, when given, fills the message's one "%ls".
struct Refusal {
  bool (*applies)(const RunSettings& s);
  const wchar_t* message;
  const std::wstring RunSettings::*named = nullptr;
};

const Refusal kRefusals[] = {
    {[](const RunSettings& s) { return s.formatJson && s.formatCsv; },
     L"ERROR: /format:json and /format:csv exclude each other\r\n"},
    {[](const RunSettings& s) { return s.hexMatrix && s.formatCsv; },
     L"ERROR: /hexmatrix is exclusive to /format:csv\r\n"},
    {[](const RunSettings& s) { return s.hexMatrix && s.formatJson; },
     L"ERROR: /hexmatrix is exclusive to /format:json\r\n"},

    // A watch only reads, and it reads events, which a class or a
    // description has none of.
    {[](const RunSettings& s) { return s.watch && Sets(s); }, L"ERROR: /watch is exclusive to /set:\r\n"},
    {[](const RunSettings& s) { return s.watch && Calls(s); }, L"ERROR: /watch is exclusive to /call:\r\n"},
    {[](const RunSettings& s) { return s.watch && s.describe; }, L"ERROR: /watch is exclusive to /describe\r\n"},
    {[](const RunSettings& s) { return s.watch && s.whatIf; }, L"ERROR: /watch is exclusive to /whatif\r\n"},
    {[](const RunSettings& s) { return s.watch && s.classGiven; }, L"ERROR: /watch is exclusive to /class:\r\n"},
    {[](const RunSettings& s) { return s.countGiven && !s.watch; }, L"ERROR: /count: needs /watch\r\n"},

    // A class stands in for the query: its static methods are called on it,
    // or it is described.
    {[](const RunSettings& s) { return s.classGiven && !s.argWQL.empty(); },
     L"ERROR: /class: is exclusive to /wql:\r\n"},
    {[](const RunSettings& s) { return s.classGiven && s.argClass.empty(); }, L"ERROR: /class: names no class\r\n"},
    {[](const RunSettings& s) { return s.classGiven && !IsClassName(s.argClass); },
     L"ERROR: /class: \"%ls\" is not a class name (letters, digits and _, not starting with a digit)\r\n",
     &RunSettings::argClass},
    {[](const RunSettings& s) { return s.classGiven && !s.describe && !Calls(s); },
     L"ERROR: /class: needs /call:METHOD or /describe\r\n"},

    // A description changes nothing, and has no columns for CSV nor arrays
    // for a matrix.
    {[](const RunSettings& s) { return s.describe && Sets(s); }, L"ERROR: /describe is exclusive to /set:\r\n"},
    {[](const RunSettings& s) { return s.describe && Calls(s); }, L"ERROR: /describe is exclusive to /call:\r\n"},
    {[](const RunSettings& s) { return s.describe && s.formatCsv; },
     L"ERROR: /describe is exclusive to /format:csv\r\n"},
    {[](const RunSettings& s) { return s.describe && s.hexMatrix; },
     L"ERROR: /describe is exclusive to /hexmatrix\r\n"},
    {[](const RunSettings& s) { return s.describe && s.whatIf; }, L"ERROR: /describe is exclusive to /whatif\r\n"},

    // A preview is of a change.
    {[](const RunSettings& s) { return s.whatIf && !Sets(s) && !Calls(s); },
     L"ERROR: /whatif needs /set: or /call:\r\n"},

    // Named values go to a method's parameters, or to the properties of each
    // result object that SET writes back: not to a property named by /set:,
    // and not together with the values of /args:.
    {[](const RunSettings& s) { return s.paramsGiven && !s.argArguments.empty(); },
     L"ERROR: /params: and /args: exclude each other\r\n"},
    {[](const RunSettings& s) {
       const bool call = Calls(s) && !s.argMethodName.empty();
       const bool set = Sets(s) && s.argKey.empty();
       return s.paramsGiven && !call && !set;
     },
     L"ERROR: /params: needs /call:METHOD or /set: without a name\r\n"},

    // Credentials are for other machines: WMI refuses them for this one.
    {[](const RunSettings& s) { return (s.userGiven || s.passwordGiven) && !s.nodeGiven; },
     L"ERROR: /user: and /password: need /node:\r\n"},
    {[](const RunSettings& s) { return s.passwordGiven && !s.userGiven; }, L"ERROR: /password: needs /user:\r\n"},
    {[](const RunSettings& s) { return s.userGiven && s.argUser.empty(); }, L"ERROR: /user: names no account\r\n"},
};

}  // namespace

bool IsClassName(const std::wstring& name) { return IsPlainName(name); }

bool RequestIsUsable(const RunSettings& settings, Layout& layout, OutputSink& out) {
  if (const wchar_t* key = FindTooLongValue(settings)) {
    PrintError(layout, L"ERROR: The value of %ls is longer than %d characters.\r\n", key,
               static_cast<int>(FIELD_CHARS - 1));
    return false;
  }
  if (settings.argWQL.empty() && !settings.classGiven) {
    PrintError(layout, L"ERROR: /WQL is lost\r\n\r\n\r\n");
    // A script reading JSON gets the one error line, not a page of help.
    if (!settings.formatJson) PrintUsage(out);
    return false;
  }
  for (const Refusal& refusal : kRefusals) {
    if (!refusal.applies(settings)) continue;
    PrintError(layout, refusal.message, refusal.named ? (settings.*refusal.named).c_str() : L"");
    return false;
  }
  return true;
}
