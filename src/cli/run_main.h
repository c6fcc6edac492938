// The program's main operation: from the argument vector to the exit code.
#pragma once

class OutputSink;
class WmiAccess;
struct RunSettings;

// Returns the process exit code: 0 when the run completed or help was shown,
// 1 when it was refused or failed. Everything it prints goes to `out`.
int RunMain(int argc, wchar_t** argv, WmiAccess& wmi, OutputSink& out);

// Cuts the class name and the select list out of the (lower-cased) query in
// `settings`. Returns true when the select list contains "*".
bool AnalyzeQuery(RunSettings& settings);
