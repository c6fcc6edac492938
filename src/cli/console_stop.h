// Ctrl+C, Ctrl+Break and a closed console as a stop request.
#pragma once

#include "base/stop_request.h"

// One a process: the console's handler is registered once, on Arm.
class ConsoleStopRequest final : public StopRequest {
 public:
  ConsoleStopRequest() = default;
  ~ConsoleStopRequest() override;
  ConsoleStopRequest(const ConsoleStopRequest&) = delete;
  ConsoleStopRequest& operator=(const ConsoleStopRequest&) = delete;
  void Arm() override;
};
