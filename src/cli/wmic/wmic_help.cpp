#include "cli/wmic/wmic_help.h"

#include "cli/wmic/wmic_aliases.h"

namespace {

constexpr wchar_t kGeneral[] =
    L"Tollix, run as wmic: reads WMI with wmic's command line and prints wmic's output.\r\n"
    L"\r\n"
    L"wmic [global switches] (ALIAS [WHERE clause | key value] | PATH class [WHERE clause]) [verb]\r\n"
    L"\r\n"
    L"Verbs:          GET [names | *], LIST [BRIEF | FULL], or none (LIST).\r\n"
    L"Verb switches:  /VALUE, /ALL, /FORMAT:TABLE | LIST | TEXTVALUELIST | VALUE | CSV | JSON,\r\n"
    L"                /EVERY:SECONDS [/REPEAT:COUNT]\r\n"
    L"Global:         /NAMESPACE:, /OUTPUT:, /APPEND:, /FAILFAST:, /TRACE:\r\n"
    L"Not yet:        CALL, SET, DELETE, CREATE, /NODE:, the interactive prompt.\r\n"
    L"Refused:        /RECORD:, /TRANSLATE:, /AUTHORITY:, /OUTPUT:CLIPBOARD, /ROLE:\r\n"
    L"\r\n"
    L"Aliases:\r\n";

void AppendAlias(const WmicAlias& alias, std::wstring& text) {
  text += L"  ";
  text += alias.name;
  text.append(alias.name.size() < 22 ? 22 - alias.name.size() : 1, L' ');
  text += alias.className;
  if (alias.nameSpace != L"root\\cimv2") {
    text += L" (";
    text += alias.nameSpace;
    text += L')';
  }
  text += L"\r\n";
}

}  // namespace

std::wstring WmicHelpText(const WmicRequest& request) {
  const WmicAlias* alias = request.target.alias;
  if (alias == nullptr || request.help == WmicHelp::General) {
    std::wstring text = kGeneral;
    for (const WmicAlias& each : AllWmicAliases()) AppendAlias(each, text);
    return text;
  }
  std::wstring text = std::wstring(alias->name) + L" - " + std::wstring(alias->className) + L"\r\n";
  text += L"Namespace:   " + std::wstring(alias->nameSpace) + L"\r\n";
  text += L"Key value:   " + (alias->keyWhere.empty() ? std::wstring(L"(none)") : std::wstring(alias->keyWhere)) +
          L"\r\n";
  text += L"LIST BRIEF:  " + std::wstring(alias->briefColumns) + L"\r\n";
  text += L"Verbs:       GET [names | *], LIST [BRIEF | FULL]\r\n";
  return text;
}
