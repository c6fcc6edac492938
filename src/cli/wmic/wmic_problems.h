// The messages of the command lines wmic cannot run, in one place.
#pragma once

#include <string_view>

#include "cli/wmic/wmic_request.h"

// `detail` is the alias name of AliasNotFound, the whole message of
// NotSupported, and unused by the others.
WmicProblem MakeWmicProblem(WmicProblemKind kind, std::wstring_view detail = {});
