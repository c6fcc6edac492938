#include "cli/wmic/wmic_help.h"

#include "cli/wmic/wmic_aliases.h"

namespace {

constexpr wchar_t kGeneral[] =
    L"Tollix, run as wmic: reads WMI with wmic's command line and prints wmic's output.\r\n"
    L"\r\n"
    L"wmic [global switches] (ALIAS [WHERE clause | key value] | PATH class [WHERE clause] | CLASS class) [verb]\r\n"
    L"wmic [global switches]: the wmic:root\\cli> prompt, one command a line; changes ask first there.\r\n"
    L"\r\n"
    L"Verbs:          GET [names | *], LIST [BRIEF | FULL | INSTANCE], or none (LIST);\r\n"
    L"                CALL method [values] (a value may be a list: (\"a\",\"b\")), SET name=value[, ...],\r\n"
    L"                DELETE, CREATE name=value[, ...]. ALIAS CALL /? lists the class's methods.\r\n"
    L"Verb switches:  /VALUE, /ALL, /NOINTERACTIVE, /EVERY:seconds [/REPEAT:count],\r\n"
    L"                /FORMAT:TABLE | LIST | TEXTVALUELIST | VALUE | CSV | RAWXML | XML | JSON\r\n"
    L"Global:         /NAMESPACE:, /ROLE:\\\\root\\cli, /NODE:, /USER:, /PASSWORD:, /LOCALE:, /IMPLEVEL:,\r\n"
    L"                /AUTHLEVEL:, /PRIVILEGES:, /OUTPUT:, /APPEND:, /FAILFAST:, /TRACE:, /INTERACTIVE:,\r\n"
    L"                /AGGREGATE:\r\n"
    L"Refused:        /RECORD:, /TRANSLATE:, /AUTHORITY:, /OUTPUT:CLIPBOARD, ASSOC,\r\n"
    L"                LIST STATUS | SYSTEM | WRITEABLE, /FORMAT:HTABLE | HFORM\r\n"
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
  text += L"Verbs:       GET [names | *], LIST [BRIEF | FULL | INSTANCE], CALL method [values], SET, DELETE,\r\n"
          L"             CREATE. CALL /? lists the class's methods and their parameters.\r\n";
  return text;
}
