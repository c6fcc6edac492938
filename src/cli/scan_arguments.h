// Reads the command line into run settings.
#pragma once

#include <optional>

#include "base/run_settings.h"

class OutputSink;

// Every argument, the program's own path included, is searched for every
// option key as a substring of its lower-cased text. As soon as an argument
// asks for help, the usage text is printed to `out` and the result is empty.
std::optional<RunSettings> ScanArguments(int argc, wchar_t** argv, OutputSink& out);

// The key of the first text setting whose value is longer than FIELD_CHARS - 1
// characters, or nullptr when all fit. Such a run is refused rather than run on
// a cut value: a cut query silently selects something else.
const wchar_t* FindTooLongValue(const RunSettings& settings);
