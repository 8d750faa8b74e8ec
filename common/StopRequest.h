// A long-running command's end on request: Ctrl-C, SIGTERM or SIGHUP, a console closing.
#pragma once

namespace jarvet {

// From now on a stop request ends the waits below instead of the process.
void CatchStopRequests();
bool StopRequested();
// Waits the time, or less when a stop is requested meanwhile.
void WaitUnlessStopped(int milliseconds);

}  // namespace jarvet
