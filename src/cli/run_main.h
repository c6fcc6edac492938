// The program's main operation: from the argument vector to the exit code.
#pragma once

class WmiAccess;

// Returns the process exit code: 0 when the run completed or help was shown,
// 1 when it was refused or failed.
int RunMain(int argc, wchar_t** argv, WmiAccess& wmi);

// Cuts the class name and the select list out of the (lower-cased) query in
// the run settings. Returns true when the select list contains "*".
bool AnalyzeQuery();
