// One request run on several machines at once, each on its own thread, with
// the output written machine by machine in the order the names were given.
#pragma once

#include <string>
#include <vector>

class Layout;
class OutputSink;
class WmiAccess;
struct RunSettings;

// Runs the request on every machine of `names`, at most settings.throttle at
// a time. Each machine's block is written to `out` as soon as it and every
// block before it are complete. Messages of the run as a whole (COM start-up,
// the closing count of failed machines) go through `runLayout`. Returns the
// exit code: 1 when any machine failed.
int RunOnMachines(WmiAccess& wmi, const RunSettings& settings, const std::vector<std::wstring>& names,
                  OutputSink& out, Layout& runLayout);
