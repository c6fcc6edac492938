// One request run on several machines at once, each on its own thread, with
// the output written machine by machine in the order the names were given.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include <memory>

class Layout;
class OutputSink;
class ProgressLine;
class WmiAccess;
struct RunSettings;

// What the output of machines not yet due may hold in all.
inline constexpr size_t kHeldOutputBudget = size_t{64} * 1024 * 1024;

// Where a run says how many machines are done and how many failed, and how
// often at most. Without a line, nothing is shown.
struct RunProgress {
  ProgressLine* line = nullptr;
  std::chrono::milliseconds interval{100};
  std::function<std::chrono::steady_clock::time_point()> now = [] { return std::chrono::steady_clock::now(); };
};

// How each machine of a run prints. Tollix's own layouts name each object's
// machine, follow a failing machine with a line naming what failed, and end
// a run with the count of machines that failed.
class MachineLayouts {
 public:
  virtual ~MachineLayouts() = default;
  // The layout of machine `name`, at `position` in the order of the names,
  // writing into the machine's own block.
  virtual std::unique_ptr<Layout> Open(const RunSettings& settings, OutputSink& block, const std::wstring& name,
                                       size_t position) const;
  // Whether a failing machine gets the line naming what failed, and the run
  // its count of failed machines: not for layouts whose failures already
  // name their machine.
  virtual bool NamesFailures() const { return true; }
};

// Runs the request on every machine of `names`, at most settings.throttle at
// a time. The first machine in order writes to `out` as it goes; each later
// one is held until every machine before it is written, and waits when what
// is held reaches `heldOutputBudget` bytes. Messages of the run as a whole
// (COM start-up, the closing count of failed machines) go through
// `runLayout`; the progress line is erased before them. Returns the exit
// code: 1 when any machine failed.
int RunOnMachines(WmiAccess& wmi, const RunSettings& settings, const std::vector<std::wstring>& names,
                  OutputSink& out, Layout& runLayout, size_t heldOutputBudget = kHeldOutputBudget,
                  const RunProgress& progress = {}, const MachineLayouts& layouts = MachineLayouts());
