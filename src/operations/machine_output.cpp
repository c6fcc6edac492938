#include "operations/machine_output.h"

bool MachineOutput::Flush() {
  if (!lost_ && !out_.Flush()) NoteFailure();
  return !lost_;
}

bool MachineOutput::TakeIfRoom(size_t bytes) {
  const std::lock_guard<std::mutex> hold(lock_);
  if (held_ + bytes > budget_) return false;
  held_ += bytes;
  return true;
}

void MachineOutput::Give(size_t bytes) {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    held_ -= bytes;
  }
  // Also when nothing was held: a block that now writes through may be
  // waiting to hold its first text.
  room_.notify_all();
}

bool MachineOutput::WaitAndTake(size_t bytes, const std::atomic<bool>& writesThrough) {
  std::unique_lock<std::mutex> hold(lock_);
  room_.wait(hold, [&] { return lost_ || writesThrough || held_ + bytes <= budget_; });
  if (lost_ || writesThrough) return false;
  held_ += bytes;
  return true;
}

void MachineOutput::Write(std::wstring_view text) {
  if (text.empty() || lost_) return;
  out_.Write(text);
  NoteFailure();
}

void MachineOutput::WriteHeader(std::wstring_view line) {
  if (headerWritten_ || lost_) return;
  out_.WriteHeader(line);
  headerWritten_ = true;
  NoteFailure();
}

void MachineOutput::NoteFailure() {
  if (!out_.Failed() || lost_) return;
  {
    const std::lock_guard<std::mutex> hold(lock_);
    lost_ = true;
  }
  // Machines waiting for room stop waiting: their text will never be seen.
  room_.notify_all();
}

MachineBlock::~MachineBlock() { GiveBackHeld(); }

template <class WriteNow, class Keep>
void MachineBlock::Route(size_t bytes, WriteNow writeNow, Keep keep) {
  if (run_.Lost()) return;
  {
    const std::lock_guard<std::mutex> hold(lock_);
    if (writesThrough_) {
      writeNow();
      return;
    }
  }
  // Waiting happens outside the block's lock: the run needs it to write the
  // block out when its turn comes.
  const bool taken = run_.WaitAndTake(bytes, writesThrough_);
  const std::lock_guard<std::mutex> hold(lock_);
  if (writesThrough_) {
    if (taken) run_.Give(bytes);
    writeNow();
  } else if (taken) {
    keep();
    heldBytes_ += bytes;
  }
}

void MachineBlock::Write(std::wstring_view text) {
  if (text.empty()) return;
  Route(text.size() * sizeof(wchar_t), [&] { run_.Write(text); }, [&] { text_.append(text); });
}

void MachineBlock::WriteHeader(std::wstring_view line) {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    if (hasHeader_ && !writesThrough_) return;
  }
  Route(
      line.size() * sizeof(wchar_t), [&] { run_.WriteHeader(line); },
      [&] {
        header_.assign(line);
        headerAt_ = text_.size();
        hasHeader_ = true;
      });
}

bool MachineBlock::Flush() {
  const std::lock_guard<std::mutex> hold(lock_);
  if (writesThrough_) return run_.Flush();
  return !run_.Lost();
}

void MachineBlock::WriteThrough() {
  const std::lock_guard<std::mutex> hold(lock_);
  const std::wstring_view text(text_);
  if (!hasHeader_) {
    run_.Write(text);
  } else {
    run_.Write(text.substr(0, headerAt_));
    run_.WriteHeader(header_);
    run_.Write(text.substr(headerAt_));
  }
  writesThrough_ = true;
  GiveBackHeld();
}

void MachineBlock::GiveBackHeld() {
  std::wstring().swap(text_);
  std::wstring().swap(header_);
  hasHeader_ = false;
  const size_t bytes = heldBytes_;
  heldBytes_ = 0;
  run_.Give(bytes);
}
