#include "cli/wmic/wmic_query.h"

#include "cli/wmic/wmic_aliases.h"
#include "cli/wmic/wmic_choices.h"

namespace {

// The key value goes in as typed, as wmic puts it: scripts double the
// backslashes of a path themselves, because WQL reads \\ as one.
std::wstring KeyWhere(const WmicTarget& target) {
  std::wstring where;
  for (const wchar_t c : target.alias->keyWhere) {
    if (c == L'#') {
      where += target.keyValue;
    } else {
      where += c;
    }
  }
  return where;
}

std::wstring SelectList(const WmicRequest& request) {
  if (request.verb == WmicVerb::Get && !request.properties.empty()) {
    std::wstring list;
    for (const std::wstring& name : request.properties) {
      if (!list.empty()) list += L',';
      list += name;
    }
    return list;
  }
  const WmicAlias* alias = request.target.alias;
  if (request.verb == WmicVerb::List && request.listAdverb == WmicListAdverb::Brief && alias) {
    return std::wstring(alias->briefColumns);
  }
  return L"*";
}

}  // namespace

std::wstring WmicQueryText(const WmicRequest& request) {
  const WmicTarget& target = request.target;
  if (target.kind != WmicTargetKind::Alias && target.kind != WmicTargetKind::Path) return {};
  std::wstring query = L"SELECT " + SelectList(request) + L" FROM " + target.className;
  if (target.whereGiven) {
    query += L" WHERE " + target.where;
  } else if (target.keyGiven && target.alias) {
    query += L" WHERE " + KeyWhere(target);
  }
  return query;
}

std::wstring WmicNamespace(const WmicRequest& request) {
  const WmicAlias* alias = request.target.alias;
  if (alias && (wmic_choices::kAliasNamespaceWins || !request.globals.namespaceGiven)) {
    return std::wstring(alias->nameSpace);
  }
  return request.globals.nameSpace;
}
