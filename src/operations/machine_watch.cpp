#include "operations/machine_watch.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/output.h"
#include "base/run_settings.h"
#include "base/this_machine.h"
#include "operations/machine_account.h"
#include "operations/watch_events.h"
#include "operations/wmi_arguments.h"
#include "render/layout.h"

namespace {

// The run's output, shared by every machine's watch: one writes at a time.
class SharedOutput {
 public:
  explicit SharedOutput(OutputSink& out) : out_(out), lost_(out.Failed()) {}

  bool Lost() const { return lost_; }

  // One event, or one machine's messages, whole and pushed out at once; the
  // CSV header goes out once, before the first data line of the run.
  bool WriteWhole(std::wstring_view header, std::wstring_view text) {
    const std::lock_guard<std::mutex> hold(lock_);
    if (lost_) return false;
    if (!header.empty() && !headerWritten_) {
      out_.WriteHeader(header);
      headerWritten_ = true;
    }
    out_.Write(text);
    if (!out_.Flush()) lost_ = true;
    return !lost_;
  }

 private:
  OutputSink& out_;
  std::mutex lock_;
  bool headerWritten_ = false;
  std::atomic<bool> lost_;
};

// What one machine prints, gathered until its layout pushes it out: the text
// of one event at most, so memory stays flat however many come.
class WatchBlock final : public OutputSink {
 public:
  explicit WatchBlock(SharedOutput& shared) : shared_(shared) {}
  ~WatchBlock() override { Flush(); }
  WatchBlock(const WatchBlock&) = delete;
  WatchBlock& operator=(const WatchBlock&) = delete;

  void Write(std::wstring_view text) override { text_.append(text); }
  void WriteHeader(std::wstring_view line) override {
    if (header_.empty()) header_.assign(line);
  }
  bool Failed() const override { return shared_.Lost(); }
  bool Flush() override {
    if (!text_.empty() && !shared_.WriteWhole(header_, text_)) return false;
    text_.clear();
    return !shared_.Lost();
  }

 private:
  SharedOutput& shared_;
  std::wstring header_;  // kept: the header is the same for every event
  std::wstring text_;
};

int WatchOnMachine(WmiAccess& wmi, const RunSettings& settings, const std::wstring& name, bool local,
                   SharedOutput& shared, StopRequest& stop) {
  WatchBlock block(shared);
  const std::unique_ptr<Layout> layout = MakeMachineLayout(settings, block, name);
  const std::wstring nameSpace = L"\\\\" + name + L"\\" + settings.argNamespace;
  MachineAccount account(settings, local);
  const MachineConnection connection = account.Connection();
  if (WatchEvents(wmi, settings, *layout, nameSpace.c_str(), settings.argWQL.c_str(), stop, &connection) != 0) {
    PrintError(*layout, L"ERROR: Failed to run %ls\\%ls\r\n", nameSpace.c_str(), settings.Target());
    block.Flush();
    return 1;
  }
  return 0;
}

}  // namespace

int WatchOnMachines(WmiAccess& wmi, const RunSettings& settings, const std::vector<std::wstring>& names,
                    OutputSink& out, Layout& runLayout, StopRequest& stop) {
  // The banner is out before the first event, whichever machine sends it.
  if (!out.Flush()) return 1;
  if (StartCom(wmi, runLayout, &kRemoteComSecurity) != 0) return 1;
  const std::vector<std::wstring> localNames = NamesOfThisMachine();
  std::vector<int> results(names.size(), 0);
  {
    SharedOutput shared(out);
    std::vector<std::thread> watches;
    watches.reserve(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
      watches.emplace_back([&, i] {
        results[i] = WatchOnMachine(wmi.Machine(names[i]), settings, names[i], NamesThisMachine(names[i], localNames),
                                    shared, stop);
      });
    }
    for (std::thread& watch : watches) watch.join();
  }
  wmi.UninitializeCom();

  size_t failed = 0;
  for (const int result : results) failed += result != 0 ? 1 : 0;
  if (failed > 0) {
    PrintError(runLayout, L"ERROR: %d of %d nodes failed.\r\n", static_cast<int>(failed), static_cast<int>(names.size()));
    return 1;
  }
  if (settings.debugDisplay) PrintInfo(runLayout, L"INFO: Success.\r\n");
  return 0;
}
