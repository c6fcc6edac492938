// wmic's grammar: from the raw command line to the request it makes.
#pragma once

#include <string_view>

#include "cli/wmic/wmic_request.h"

// `commandLine` is the whole line as GetCommandLineW gives it, the program's
// own name first. Never fails: a line that cannot run gives a request whose
// `problem` says why.
WmicRequest ParseWmicCommandLine(std::wstring_view commandLine);
