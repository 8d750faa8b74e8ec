// The server's bounds on connections: how many at once, and how long a request may take.
#include "Connections.h"

namespace jarvet {

namespace {

constexpr auto kWatchInterval = std::chrono::milliseconds(100);

}  // namespace

thread_local TConnectionGuard::TSlot* TConnectionGuard::Current_ = nullptr;

TConnectionGuard::TConnectionGuard(int maxConnections, std::chrono::milliseconds requestTime)
    : Max_(maxConnections), RequestTime_(requestTime), Watchdog_([this] { Watch(); }) {}

TConnectionGuard::~TConnectionGuard() {
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    Stopping_ = true;
  }
  Stop_.notify_all();
  Watchdog_.join();
}

bool TConnectionGuard::Enter(TSocketHandle socket) {
  std::lock_guard<std::mutex> lock(Mutex_);
  if (Ended_ || static_cast<int>(Slots_.size()) >= Max_) return false;
  Slots_.push_back(TSlot{socket, std::chrono::steady_clock::now() + RequestTime_});
  Current_ = &Slots_.back();
  return true;
}

void TConnectionGuard::Leave() {
  std::lock_guard<std::mutex> lock(Mutex_);
  for (auto slot = Slots_.begin(); slot != Slots_.end(); ++slot) {
    if (&*slot == Current_) {
      Slots_.erase(slot);
      break;
    }
  }
  Current_ = nullptr;
}

void TConnectionGuard::RequestArrived() {
  std::lock_guard<std::mutex> lock(Mutex_);
  if (Current_ != nullptr) Current_->Deadline.reset();
}

void TConnectionGuard::ResponseWritten(bool endConnection) {
  std::lock_guard<std::mutex> lock(Mutex_);
  if (Current_ == nullptr) return;
  TSlot& slot = *Current_;
  if (endConnection) {
    ShutDownSocket(slot.Socket);
  } else {
    slot.Deadline = std::chrono::steady_clock::now() + RequestTime_;
  }
}

int TConnectionGuard::Count() {
  std::lock_guard<std::mutex> lock(Mutex_);
  return static_cast<int>(Slots_.size());
}

void TConnectionGuard::EndAll() {
  std::lock_guard<std::mutex> lock(Mutex_);
  Ended_ = true;
  for (TSlot& slot : Slots_) {
    ShutDownSocket(slot.Socket);
  }
}

void TConnectionGuard::Watch() {
  std::unique_lock<std::mutex> lock(Mutex_);
  while (!Stop_.wait_for(lock, kWatchInterval, [this] { return Stopping_; })) {
    const auto now = std::chrono::steady_clock::now();
    for (TSlot& slot : Slots_) {
      if (slot.Deadline && *slot.Deadline <= now) {
        slot.Deadline.reset();
        ShutDownSocket(slot.Socket);
      }
    }
  }
}

}  // namespace jarvet
