// One request run on several machines at once, each on its own thread, with
// the output written machine by machine in the order the names were given.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class Layout;
class OutputSink;
class WmiAccess;
struct RunSettings;

// What the output of machines not yet due may hold in all.
inline constexpr size_t kHeldOutputBudget = size_t{64} * 1024 * 1024;

// Runs the request on every machine of `names`, at most settings.throttle at
// a time. The first machine in order writes to `out` as it goes; each later
// one is held until every machine before it is written, and waits when what
// is held reaches `heldOutputBudget` bytes. Messages of the run as a whole
// (COM start-up, the closing count of failed machines) go through
// `runLayout`. Returns the exit code: 1 when any machine failed.
int RunOnMachines(WmiAccess& wmi, const RunSettings& settings, const std::vector<std::wstring>& names,
                  OutputSink& out, Layout& runLayout, size_t heldOutputBudget = kHeldOutputBudget);
