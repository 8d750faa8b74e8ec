// The server's bounds on connections: how many at once, and how long one may take to send a
// complete request, so that half-open connections cannot starve the others.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <thread>

namespace jarvet {

using TSocketHandle = std::intptr_t;
// The peer and the connection's own reader see the end; the socket stays open until closed.
void ShutDownSocket(TSocketHandle socket);
// A listening socket that may take a port its last user left a moment ago, but never one that
// another program listens on.
void SetListenOptions(TSocketHandle socket);

class TConnectionGuard {
 public:
  TConnectionGuard(int maxConnections, std::chrono::milliseconds requestTime);
  ~TConnectionGuard();
  TConnectionGuard(const TConnectionGuard&) = delete;
  TConnectionGuard& operator=(const TConnectionGuard&) = delete;

  // On the connection's own thread, at its start: false when the bound is reached.
  bool Enter(TSocketHandle socket);
  // Before the socket is closed, so that its number, once reused, is never shut down here.
  void Leave();
  // A complete request arrived: no deadline while it is answered (an event stream runs long).
  void RequestArrived();
  // Its answer is written: the next request must arrive in time, or, with endConnection, none
  // is read.
  void ResponseWritten(bool endConnection);
  int Count();
  // Ends every connection now, and refuses any later one.
  void EndAll();

 private:
  struct TSlot {
    TSocketHandle Socket = -1;
    std::optional<std::chrono::steady_clock::time_point> Deadline;
  };
  void Watch();
  // Each connection keeps one thread for its whole life, so its slot is found through it.
  static thread_local TSlot* Current_;

  const int Max_;
  const std::chrono::milliseconds RequestTime_;
  std::mutex Mutex_;
  std::condition_variable Stop_;
  bool Stopping_ = false;
  bool Ended_ = false;
  std::list<TSlot> Slots_;
  std::thread Watchdog_;
};

}  // namespace jarvet
