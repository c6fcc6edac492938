#include "cli/run_settings.h"

namespace {
RunSettings g_settings;
}

RunSettings& Settings() { return g_settings; }

void ResetRunSettings() { g_settings = RunSettings{}; }
