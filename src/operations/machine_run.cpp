#include "operations/machine_run.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "base/output.h"
#include "base/run_settings.h"
#include "operations/wmi_query.h"
#include "render/layout.h"

namespace {

// The same run as on this machine, into the machine's own block.
int RunOnMachine(WmiAccess& wmi, const RunSettings& settings, const std::wstring& name, OutputSink& block) {
  const std::unique_ptr<Layout> layout = MakeMachineLayout(settings, block, name);
  const std::wstring nameSpace = L"\\\\" + name + L"\\" + settings.argNamespace;
  if (WmiQuery(wmi, settings, *layout, nameSpace.c_str(), settings.argWQL.c_str(), ComSecurity::SetAlready) != 0) {
    PrintError(*layout, L"ERROR: Failed to run %ls\\%ls\r\n", nameSpace.c_str(), settings.argWQL.c_str());
    return 1;
  }
  return 0;
}

struct MachineJob {
  explicit MachineJob(const std::atomic<bool>& outputLost) : block(outputLost) {}
  std::wstring name;
  BlockSink block;
  std::thread worker;
  bool done = false;  // guarded by the run's lock
  int result = 0;
};

// Machines in the order of their names, from the first not yet written to the
// last started. At most `throttle` are at work; finished ones wait for their
// turn, and no more than twice the throttle are held at all, so memory is
// bounded by the throttle whatever the number of machines.
class MachineWindow {
 public:
  MachineWindow(WmiAccess& wmi, const RunSettings& settings, const std::vector<std::wstring>& names)
      : wmi_(wmi), settings_(settings), names_(names), throttle_(static_cast<size_t>(settings.throttle)) {}

  // Writes every block in order; returns how many machines failed. Once the
  // output fails, no machine starts, and those at work stop at their next
  // object.
  size_t Run(OutputSink& out) {
    size_t failed = 0;
    bool headerWritten = false;
    std::unique_lock<std::mutex> hold(lock_);
    while ((next_ < names_.size() && !outputLost_) || !jobs_.empty()) {
      while (CanStart()) Start();
      changed_.wait(hold, [&] { return (!jobs_.empty() && jobs_.front()->done) || CanStart(); });
      while (!jobs_.empty() && jobs_.front()->done) {
        const std::unique_ptr<MachineJob> job = std::move(jobs_.front());
        jobs_.pop_front();
        hold.unlock();
        job->worker.join();
        job->block.WriteTo(out, headerWritten);
        if (!out.Flush()) outputLost_ = true;
        if (job->result != 0) ++failed;
        hold.lock();
      }
    }
    return failed;
  }

 private:
  bool CanStart() const {
    return !outputLost_ && next_ < names_.size() && running_ < throttle_ && jobs_.size() < 2 * throttle_;
  }

  void Start() {
    auto job = std::make_unique<MachineJob>(outputLost_);
    job->name = names_[next_++];
    MachineJob* started = job.get();
    jobs_.push_back(std::move(job));
    ++running_;
    started->worker = std::thread([this, started] {
      const int result = RunOnMachine(wmi_.Machine(started->name), settings_, started->name, started->block);
      const std::lock_guard<std::mutex> finished(lock_);
      started->result = result;
      started->done = true;
      --running_;
      changed_.notify_all();
    });
  }

  WmiAccess& wmi_;
  const RunSettings& settings_;
  const std::vector<std::wstring>& names_;
  const size_t throttle_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<MachineJob>> jobs_;
  size_t next_ = 0;
  size_t running_ = 0;
  std::atomic<bool> outputLost_{false};
};

}  // namespace

int RunOnMachines(WmiAccess& wmi, const RunSettings& settings, const std::vector<std::wstring>& names,
                  OutputSink& out, Layout& runLayout) {
  // COM and its security are set for the whole process once, before any
  // machine's thread starts; each thread then joins the same apartment.
  if (StartCom(wmi, runLayout, ComSecurity::SetHere) != 0) return 1;
  const size_t failed = MachineWindow(wmi, settings, names).Run(out);
  wmi.UninitializeCom();

  if (failed > 0) {
    PrintError(runLayout, L"ERROR: %d of %d nodes failed.\r\n", static_cast<int>(failed), static_cast<int>(names.size()));
    return 1;
  }
  if (settings.debugDisplay) PrintInfo(runLayout, L"INFO: Success.\r\n");
  return 0;
}
