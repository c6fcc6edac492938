#include "operations/machine_run.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "base/output.h"
#include "base/progress_line.h"
#include "base/run_settings.h"
#include "base/text.h"
#include "base/this_machine.h"
#include "operations/machine_account.h"
#include "operations/machine_output.h"
#include "operations/wmi_arguments.h"
#include "operations/wmi_query.h"
#include "render/layout.h"

namespace {

// The same run as on this machine, into the machine's own block.
int RunOnMachine(WmiAccess& wmi, const RunSettings& settings, const std::wstring& name, size_t position, bool local,
                 OutputSink& block, const MachineLayouts& layouts) {
  const std::unique_ptr<Layout> layout = layouts.Open(settings, block, name, position);
  const std::wstring nameSpace = L"\\\\" + name + L"\\" + settings.argNamespace;
  MachineAccount account(settings, local);
  const MachineConnection connection = account.Connection();
  if (WmiQuery(wmi, settings, *layout, nameSpace.c_str(), settings.argWQL.c_str(), &connection) != 0) {
    if (layouts.NamesFailures()) {
      PrintError(*layout, L"ERROR: Failed to run %ls\\%ls\r\n", nameSpace.c_str(), settings.Target());
    }
    return 1;
  }
  return 0;
}

// Counts the machines as they finish, whatever their place in the order, and
// shows the count at most once an interval. The count of the last machine is
// shown whenever it comes: nothing will change it again.
class ProgressCount {
 public:
  ProgressCount(const RunProgress& progress, size_t machines) : progress_(progress), machines_(machines) {
    if (progress_.line == nullptr) return;
    shownAt_ = progress_.now();
    Show();
  }
  // Before the run's own last lines, which belong on a clean line.
  ~ProgressCount() {
    if (progress_.line != nullptr) progress_.line->Erase();
  }
  ProgressCount(const ProgressCount&) = delete;
  ProgressCount& operator=(const ProgressCount&) = delete;

  void Finished(bool machineFailed) {
    ++done_;
    if (machineFailed) ++failed_;
    if (progress_.line == nullptr) return;
    const std::chrono::steady_clock::time_point now = progress_.now();
    if (done_ < machines_ && now - shownAt_ < progress_.interval) return;
    shownAt_ = now;
    Show();
  }

 private:
  void Show() {
    text_ = std::to_wstring(done_) + L"/" + std::to_wstring(machines_) + L" machines done, " +
            std::to_wstring(failed_) + L" failed";
    progress_.line->Show(text_);
  }

  const RunProgress& progress_;
  const size_t machines_;
  size_t done_ = 0;
  size_t failed_ = 0;
  std::chrono::steady_clock::time_point shownAt_;
  std::wstring text_;
};

struct MachineJob {
  MachineJob(MachineOutput& output, std::wstring machine, size_t place)
      : name(std::move(machine)), position(place), block(output) {}
  const std::wstring name;
  const size_t position;  // in the order of the names
  MachineBlock block;
  std::thread worker;
  size_t chargedBytes = 0;
  bool done = false;  // guarded by the run's lock
  bool joined = false;
  int result = 0;
};

// Machines in the order of their names, from the first not yet written to the
// last started. At most `throttle` are at work. The first writes straight
// through; the others hold their output within the output's budget, which
// also bounds how many finished machines wait for their turn. So a first
// machine that hangs holds up the output, but not the work of the others.
class MachineWindow {
 public:
  MachineWindow(WmiAccess& wmi, const RunSettings& settings, const std::vector<std::wstring>& names,
                MachineOutput& output, ProgressCount& progress, const MachineLayouts& layouts)
      : wmi_(wmi), settings_(settings), names_(names), output_(output), progress_(progress), layouts_(layouts),
        throttle_(static_cast<size_t>(settings.throttle)) {}

  ~MachineWindow() {
    // Every worker has ended when Run returns.
    for (const std::unique_ptr<MachineJob>& job : jobs_) {
      if (job->worker.joinable()) job->worker.join();
    }
  }

  // Writes every machine's output in order; returns how many machines failed.
  // Once the output fails, no machine starts, and those at work stop at their
  // next object.
  size_t Run() {
    size_t failed = 0;
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
      while (StartNext()) {
      }
      if (jobs_.empty()) {
        // Nothing at work and nothing held, yet machines left that cannot
        // start: the budget is gone for good. They count as failed rather
        // than end the run as though they had all been done.
        if (!output_.Lost()) failed += names_.size() - next_;
        break;
      }
      changed_.wait(hold, [&] { return finishedUnjoined_ > 0; });
      JoinFinished(hold);
      while (!jobs_.empty() && jobs_.front()->joined) {
        std::unique_ptr<MachineJob> job = std::move(jobs_.front());
        jobs_.pop_front();
        if (job->result != 0) ++failed;
        hold.unlock();
        // Its lines are out; nobody else writes until the next one's turn.
        output_.Flush();
        const size_t charged = job->chargedBytes;
        job.reset();
        output_.Give(charged);
        if (!jobs_.empty()) jobs_.front()->block.WriteThrough();
        hold.lock();
      }
    }
    return failed;
  }

 private:
  // A machine's memory beyond its text, held until its output is written.
  static size_t JobBytes(const std::wstring& name) { return sizeof(MachineJob) + name.size() * sizeof(wchar_t); }

  bool StartNext() {
    if (output_.Lost() || next_ >= names_.size() || running_ >= throttle_) return false;
    const size_t charged = JobBytes(names_[next_]);
    if (!output_.TakeIfRoom(charged)) return false;
    auto job = std::make_unique<MachineJob>(output_, names_[next_], next_);
    ++next_;
    job->chargedBytes = charged;
    MachineJob* started = job.get();
    // The first in order writes straight through from its first line.
    if (jobs_.empty()) started->block.WriteThrough();
    jobs_.push_back(std::move(job));
    ++running_;
    started->worker = std::thread([this, started] {
      const int result =
          RunOnMachine(wmi_.Machine(started->name), settings_, started->name, started->position,
                       NamesThisMachine(started->name, localNames_), started->block, layouts_);
      const std::lock_guard<std::mutex> finished(lock_);
      started->result = result;
      started->done = true;
      --running_;
      ++finishedUnjoined_;
      changed_.notify_all();
    });
    return true;
  }

  // A finished thread is joined at once, whatever its place in the order.
  void JoinFinished(std::unique_lock<std::mutex>& hold) {
    for (const std::unique_ptr<MachineJob>& job : jobs_) {
      if (!job->done || job->joined) continue;
      hold.unlock();
      job->worker.join();
      // Outside the lock: no worker waits on the console.
      progress_.Finished(job->result != 0);
      hold.lock();
      job->joined = true;
      --finishedUnjoined_;
    }
  }

  WmiAccess& wmi_;
  const RunSettings& settings_;
  const std::vector<std::wstring>& names_;
  const std::vector<std::wstring> localNames_ = NamesOfThisMachine();
  MachineOutput& output_;
  ProgressCount& progress_;  // the run's own thread only
  const MachineLayouts& layouts_;
  const size_t throttle_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<MachineJob>> jobs_;  // changed by the run's own thread only
  size_t next_ = 0;
  size_t running_ = 0;
  size_t finishedUnjoined_ = 0;
};

}  // namespace

std::unique_ptr<Layout> MachineLayouts::Open(const RunSettings& settings, OutputSink& block, const std::wstring& name,
                                             size_t) const {
  return MakeMachineLayout(settings, block, name);
}

int RunOnMachines(WmiAccess& wmi, const RunSettings& settings, const std::vector<std::wstring>& names,
                  OutputSink& out, Layout& runLayout, size_t heldOutputBudget, const RunProgress& progress,
                  const MachineLayouts& layouts) {
  // What goes before the first machine's lines is out before anything can
  // change, or nothing starts.
  if (settings.argFUNC != Operation::GET && !out.Flush()) return 1;
  // COM and its security are set for the whole process once, before any
  // machine's thread starts; each thread then joins the same apartment.
  if (StartCom(wmi, runLayout, &kRemoteComSecurity) != 0) return 1;
  size_t failed = 0;
  {
    ProgressCount count(progress, names.size());
    MachineOutput output(out, heldOutputBudget);
    failed = MachineWindow(wmi, settings, names, output, count, layouts).Run();
  }
  wmi.UninitializeCom();

  if (failed > 0) {
    if (!layouts.NamesFailures()) return 1;
    PrintError(runLayout, L"ERROR: %d of %d nodes failed.\r\n", static_cast<int>(failed), static_cast<int>(names.size()));
    return 1;
  }
  if (settings.debugDisplay) PrintInfo(runLayout, L"INFO: Success.\r\n");
  return 0;
}
