// Reads the command line into the run settings.
#pragma once

enum class ScanResult { Proceed, HelpShown };

// Every argument, the program's own path included, is searched for every
// option key as a substring of its lower-cased text. Prints the usage text and
// returns HelpShown as soon as an argument asks for help.
ScanResult ScanArguments(int argc, wchar_t** argv);

// The key of the first text setting whose value is longer than FIELD_CHARS - 1
// characters, or nullptr when all fit. Such a run is refused rather than run on
// a cut value: a cut query silently selects something else.
const wchar_t* FindTooLongValue();
