// The output of a run over several machines. Each machine writes into a block
// of its own. The block of the first machine in order, whose output is due, is
// written straight through, so that its flush before a change to WMI is a real
// write, as on one machine. The blocks behind it are held until their turn,
// within a budget for all of them, so that memory stays bounded whatever the
// number of machines or the size of their results.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

#include "base/output.h"

class MachineBlock;

class MachineOutput {
 public:
  MachineOutput(OutputSink& out, size_t heldBudgetBytes)
      : out_(out), budget_(heldBudgetBytes), lost_(out.Failed()) {}

  // Whether the run's output has failed: nobody sees what comes next.
  bool Lost() const { return lost_; }

  // For the thread that owns the output at the time (the run's own, while no
  // block writes straight through): pushes out what is buffered.
  bool Flush();

  // Memory held for a machine beyond its text (its thread, its name), taken
  // only when it fits, so that the number of machines held is bounded too.
  bool TakeIfRoom(size_t bytes);
  void Give(size_t bytes);

 private:
  friend class MachineBlock;

  // Waits until `bytes` more fit in the budget, and takes them; false, with
  // nothing taken, once the output is lost or `writesThrough` is set.
  bool WaitAndTake(size_t bytes, const std::atomic<bool>& writesThrough);
  void Write(std::wstring_view text);
  void WriteHeader(std::wstring_view line);
  void NoteFailure();

  OutputSink& out_;
  const size_t budget_;
  std::atomic<bool> lost_;
  bool headerWritten_ = false;  // touched only by the owner of the output
  std::mutex lock_;  // guards held_
  std::condition_variable room_;
  size_t held_ = 0;
};

class MachineBlock final : public OutputSink {
 public:
  explicit MachineBlock(MachineOutput& run) : run_(run) {}
  ~MachineBlock() override;
  MachineBlock(const MachineBlock&) = delete;
  MachineBlock& operator=(const MachineBlock&) = delete;

  // Held text waits for room in the budget before it is taken in; text that
  // will never be seen is dropped.
  void Write(std::wstring_view text) override;
  // The CSV header is kept aside: only the first block written that has one
  // carries it, at the place it was printed.
  void WriteHeader(std::wstring_view line) override;
  bool Failed() const override { return run_.Lost(); }
  // A real flush once the block writes straight through; until then, only
  // whether the output still stands.
  bool Flush() override;

  // Writes what is held and from then on writes straight through. Called by
  // the thread that owns the output, when every block before this one is out.
  void WriteThrough();

 private:
  // Hands the text to `writeNow` when the block writes through, or to `keep`
  // once `bytes` of room are taken.
  template <class WriteNow, class Keep>
  void Route(size_t bytes, WriteNow writeNow, Keep keep);
  void GiveBackHeld();

  MachineOutput& run_;
  std::mutex lock_;  // guards what is held, and writing through
  std::atomic<bool> writesThrough_{false};
  std::wstring text_;
  std::wstring header_;
  size_t headerAt_ = 0;
  bool hasHeader_ = false;
  size_t heldBytes_ = 0;
};
