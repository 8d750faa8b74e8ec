// A long-running command's end on request: POSIX signals.
#include <signal.h>
#include <time.h>

#include <cerrno>
#include <csignal>
#include <initializer_list>

#include "StopRequest.h"

namespace jarvet {

namespace {

volatile std::sig_atomic_t Stop = 0;

void OnStop(int) { Stop = 1; }

}  // namespace

void CatchStopRequests() {
  struct sigaction action {};
  action.sa_handler = OnStop;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

bool StopRequested() { return Stop != 0; }

void WaitUnlessStopped(int milliseconds) {
  timespec left{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
  // A signal cuts the sleep short; the flag says whether it was a stop.
  while (!Stop && nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace jarvet
