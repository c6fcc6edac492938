// A request to stop a run that would otherwise go on without end, such as a
// watch for events. The product raises it from the console's Ctrl+C,
// Ctrl+Break and close; tests raise it themselves.
#pragma once

#include <atomic>

class StopRequest {
 public:
  virtual ~StopRequest() = default;
  // Called once a run begins that stops on request: only then does the
  // product take Ctrl+C from the console, so every other run still ends on
  // it at once, as it always has.
  virtual void Arm() {}
  bool Requested() const { return requested_.load(); }
  void Request() { requested_.store(true); }

 private:
  std::atomic<bool> requested_{false};
};
