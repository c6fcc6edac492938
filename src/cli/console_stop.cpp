#include "cli/console_stop.h"

#include <windows.h>

namespace {

StopRequest* g_armed = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (g_armed == nullptr) return FALSE;
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      g_armed->Request();
      return TRUE;
    case CTRL_CLOSE_EVENT:
      g_armed->Request();
      // The process ends as soon as this handler returns: waiting here lets
      // the run flush its events and release its enumerator first. Its own
      // exit ends this thread; Windows ends it anyway after a few seconds.
      Sleep(5000);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void ConsoleStopRequest::Arm() {
  if (g_armed != nullptr) return;
  g_armed = this;
  // Without the handler Ctrl+C still ends the run, only without the flush.
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

ConsoleStopRequest::~ConsoleStopRequest() {
  if (g_armed != this) return;
  SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  g_armed = nullptr;
}
