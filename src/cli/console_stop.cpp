#include "cli/console_stop.h"

#include <atomic>

namespace {

// Read by the console's own thread, and armed from each machine's.
std::atomic<StopRequest*> g_armed{nullptr};

}  // namespace

BOOL WINAPI ConsoleStopHandler(DWORD event) {
  StopRequest* const armed = g_armed.load();
  if (armed == nullptr) return FALSE;
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      // A watch that does not end on the first press (WMI not answering
      // between slices) is ended by the second, as any other run is.
      return armed->Request() ? TRUE : FALSE;
    case CTRL_CLOSE_EVENT:
      armed->Request();
      // The process ends as soon as this handler returns: waiting here lets
      // the run flush its events and release its enumerator first. Its own
      // exit ends this thread; Windows ends it anyway after a few seconds.
      Sleep(5000);
      return TRUE;
    default:
      return FALSE;
  }
}

void ConsoleStopRequest::Arm() {
  StopRequest* unarmed = nullptr;
  if (!g_armed.compare_exchange_strong(unarmed, this)) return;
  // Without the handler Ctrl+C still ends the run, only without the flush.
  SetConsoleCtrlHandler(ConsoleStopHandler, TRUE);
}

ConsoleStopRequest::~ConsoleStopRequest() {
  StopRequest* armed = this;
  if (!g_armed.compare_exchange_strong(armed, nullptr)) return;
  SetConsoleCtrlHandler(ConsoleStopHandler, FALSE);
}
