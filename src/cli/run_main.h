// The program's main operation: from the argument vector to the exit code.
#pragma once

class OutputSink;
class ProgressLine;
class StopRequest;
class WmiAccess;
struct RunSettings;

// Returns the process exit code: 0 when the run completed or help was shown,
// 1 when it was refused or failed. Everything it prints goes to `out`; a
// /node: run also says on `progress`, if given, how far it has got. `stop`,
// when given, ends a /watch on request; it is armed only for one.
int RunMain(int argc, wchar_t** argv, WmiAccess& wmi, OutputSink& out, ProgressLine* progress = nullptr,
            StopRequest* stop = nullptr);

// Cuts the class name and the select list out of the (lower-cased) query in
// `settings`. Returns true when the select list contains "*".
bool AnalyzeQuery(RunSettings& settings);
