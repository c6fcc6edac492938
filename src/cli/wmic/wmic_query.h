// The WQL and the namespace a wmic request reads from.
#pragma once

#include <string>

#include "cli/wmic/wmic_request.h"

// SELECT <properties or *> FROM <class> [WHERE <clause>], the clause as typed
// or the alias's key WHERE filled from the key value. Empty for a CLASS
// target, which is called, not queried.
std::wstring WmicQueryText(const WmicRequest& request);

// The namespace the request connects to (see wmic_choices.h).
std::wstring WmicNamespace(const WmicRequest& request);
