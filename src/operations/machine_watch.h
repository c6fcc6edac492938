// /watch on several machines at once, each on its own thread, with every
// event written whole, in the order the events arrive.
#pragma once

#include <string>
#include <vector>

class Layout;
class OutputSink;
class StopRequest;
class WmiAccess;
struct RunSettings;

// Watches on every machine of `names` at once (the throttle has been checked
// to allow it). Messages of the run as a whole go through `runLayout`.
// Returns the exit code: 1 when any machine's watch failed.
int WatchOnMachines(WmiAccess& wmi, const RunSettings& settings, const std::vector<std::wstring>& names,
                    OutputSink& out, Layout& runLayout, StopRequest& stop);
