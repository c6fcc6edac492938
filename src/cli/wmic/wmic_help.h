// What `wmic /?` and `wmic ALIAS /?` print: this program's own help.
#pragma once

#include <string>

#include "cli/wmic/wmic_request.h"

std::wstring WmicHelpText(const WmicRequest& request);
