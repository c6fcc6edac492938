// wmic's aliases: the friendly names scripts use for WMI classes.
#pragma once

#include <string>
#include <string_view>

struct WmicAlias {
  std::wstring_view name;        // as `wmic /?` spells it
  std::wstring_view className;
  std::wstring_view nameSpace;   // without leading backslashes
  std::wstring_view keyWhere;    // the WHERE a key value fills in for "#"; empty: the alias takes none
  std::wstring_view briefColumns;  // `list brief`, comma-separated
};

// The alias of that name, in any case, or nullptr.
const WmicAlias* FindWmicAlias(std::wstring_view name);

// Every alias, in the order of `wmic /?`.
struct WmicAliasTable {
  const WmicAlias* first;
  size_t count;
  const WmicAlias* begin() const { return first; }
  const WmicAlias* end() const { return first + count; }
};
WmicAliasTable AllWmicAliases();

// A method of `call` as wmic prints it: as typed, or, where the alias (null
// for PATH and CLASS) defines it as a verb of its own, in the alias's spelling.
std::wstring WmicPrintedMethod(const WmicAlias* alias, std::wstring_view typed);
