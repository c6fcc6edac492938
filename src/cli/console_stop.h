// Ctrl+C, Ctrl+Break and a closed console as a stop request.
#pragma once

#include <windows.h>

#include "base/stop_request.h"

// One a process: the console's handler is registered once, on the first Arm.
class ConsoleStopRequest final : public StopRequest {
 public:
  ConsoleStopRequest() = default;
  ~ConsoleStopRequest() override;
  ConsoleStopRequest(const ConsoleStopRequest&) = delete;
  ConsoleStopRequest& operator=(const ConsoleStopRequest&) = delete;
  void Arm() override;
};

// The routine the console calls, once a request is armed, on a thread of its
// own. The first Ctrl+C or Ctrl+Break stops the armed request's run (TRUE);
// the next one, or any while nothing is armed, is left to the default
// handler, which ends the process there and then (FALSE).
BOOL WINAPI ConsoleStopHandler(DWORD event);
