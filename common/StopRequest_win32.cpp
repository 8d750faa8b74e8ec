// A long-running command's end on request: Win32 console control events.
#include <windows.h>

#include "StopRequest.h"

namespace jarvet {

namespace {

HANDLE StopEvent() {
  static const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  return event;
}

BOOL WINAPI OnControl(DWORD type) {
  // The process is ended once this returns for these: end it as an ordinary end.
  if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
    ExitProcess(0);
  }
  SetEvent(StopEvent());
  return TRUE;
}

}  // namespace

void CatchStopRequests() {
  StopEvent();
  SetConsoleCtrlHandler(OnControl, TRUE);
}

bool StopRequested() { return WaitForSingleObject(StopEvent(), 0) == WAIT_OBJECT_0; }

void WaitUnlessStopped(int milliseconds) {
  WaitForSingleObject(StopEvent(), static_cast<DWORD>(milliseconds));
}

}  // namespace jarvet
