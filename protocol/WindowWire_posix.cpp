// The POSIX window layer's pieces that both its ends use.
#include "WindowWire_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace jarvet {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSendTimeoutMs = 10000;

// Milliseconds left until the deadline, at least 0; -1 for no deadline.
int MillisecondsLeft(const Clock::time_point* deadline) {
  if (deadline == nullptr) return -1;
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Waits until fd is readable (or closed): false when the deadline passed first.
bool WaitReadable(int fd, const Clock::time_point* deadline) {
  for (;;) {
    pollfd entry{fd, POLLIN, 0};
    const int ready = poll(&entry, 1, MillisecondsLeft(deadline));
    if (ready < 0 && errno == EINTR) continue;
    return ready > 0;
  }
}

}  // namespace

std::string WindowDirectory() {
  const char* dir = std::getenv(kWindowDirVariable);
  if (dir != nullptr && *dir != '\0') return dir;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime != '\0') return std::string(runtime) + "/jarvet-windows";
  return "/tmp/jarvet-windows-" + std::to_string(getuid());
}

std::string WindowPath(const std::string& className) { return WindowDirectory() + "/" + className; }

int ConnectToWindow(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return -1;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  // A window whose queue is full, or that stopped reading, must not hold the caller: connect
  // and send give up after this.
  const timeval limit{kSendTimeoutMs / 1000, (kSendTimeoutMs % 1000) * 1000};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool SendAll(int fd, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = send(fd, bytes, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool ReceiveAll(int fd, void* data, std::size_t size, int timeoutMs) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  const Clock::time_point* until = timeoutMs >= 0 ? &deadline : nullptr;
  auto* bytes = static_cast<char*>(data);
  while (size > 0) {
    if (until != nullptr && !WaitReadable(fd, until)) return false;
    const ssize_t n = recv(fd, bytes, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

pid_t StartAndWaitReady(const std::vector<std::string>& argv, bool detach, int timeoutMs) {
  if (argv.empty()) return -1;
  std::vector<std::string> copy = argv;
  std::vector<char*> pointers;
  for (std::string& parameter : copy) pointers.push_back(parameter.data());
  pointers.push_back(nullptr);

  int ready[2];
  if (pipe2(ready, O_CLOEXEC) != 0) return -1;
  const std::string readyFd = std::to_string(ready[1]);
  const pid_t child = fork();
  if (child == 0) {
    if (detach) {
      const int null = open("/dev/null", O_RDWR);
      if (null >= 0) {
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
      }
    }
    fcntl(ready[1], F_SETFD, 0);
    setenv(kReadyFdVariable, readyFd.c_str(), 1);
    execv(pointers[0], pointers.data());
    _exit(127);
  }
  close(ready[1]);
  if (child > 0) {
    // Readiness is the pipe's end closing: on purpose, or by the program's exit.
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char byte;
    while (WaitReadable(ready[0], &deadline)) {
      const ssize_t n = read(ready[0], &byte, 1);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
    }
  }
  close(ready[0]);
  return child;
}

void SignalReady() {
  const char* text = std::getenv(kReadyFdVariable);
  if (text == nullptr || *text == '\0') return;
  char* end = nullptr;
  const long fd = std::strtol(text, &end, 10);
  if (*end == '\0' && fd > STDERR_FILENO && fd < 1 << 20) close(static_cast<int>(fd));
}

}  // namespace jarvet
