// A request to stop a run that would otherwise go on without end, such as a
// watch for events. The product raises it from the console's Ctrl+C,
// Ctrl+Break and close; tests raise it themselves.
#pragma once

#include <atomic>

class StopRequest {
 public:
  virtual ~StopRequest() = default;
  // Called once a watch's events flow, when nothing but a stop request ends
  // it: only then does the product take Ctrl+C from the console, so a run
  // stuck before that (a connection, any other run) still ends on it at
  // once, as it always has. Each machine of a watch arms it from its own
  // thread, so it may be called more than once, and at the same time.
  virtual void Arm() {}
  bool Requested() const { return requested_.load(); }
  // True for the request that stopped the run, false for any that came after.
  bool Request() { return !requested_.exchange(true); }

 private:
  std::atomic<bool> requested_{false};
};
