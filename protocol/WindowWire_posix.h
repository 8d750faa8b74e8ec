// The POSIX build's own window layer, as both its ends use it. A window is a Unix-domain stream
// socket named after its class in the window directory. A request is one TWireMessage in host
// byte order; a window message is answered by one int32.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace jarvet {

struct TWireMessage {
  std::int32_t Message;  // a window message, or kWireReadMemory
  std::int32_t WParam;
  std::int32_t LParam;
};
// kWmCopyData: WParam is dwData, LParam the count of bytes that follow the message.
// kWireReadMemory: WParam is the address, LParam the count of bytes wanted; the answer is the
// int32 count n that could be read, then n bytes.
constexpr std::int32_t kWireReadMemory = -1;  // no window message has this number
constexpr std::int32_t kMaxWireBytes = 1 << 20;  // more in one request is garbage

// Environment variable that points the window directory elsewhere (tests run isolated).
constexpr char kWindowDirVariable[] = "JARVET_WINDOW_DIR";
// Environment variable with the descriptor that a started program closes once it is ready to
// take messages (it is closed on exit in any case).
constexpr char kReadyFdVariable[] = "JARVET_READY_FD";

std::string WindowDirectory();
std::string WindowPath(const std::string& className);

// A connected socket to the window at path, or -1 when nobody answers there.
int ConnectToWindow(const std::string& path);

bool SendAll(int fd, const void* data, std::size_t size);
// False when the other end has gone before all of it came, or, with a timeout (ms, -1 for
// none), when it did not come in time.
bool ReceiveAll(int fd, void* data, std::size_t size, int timeoutMs = -1);

// Starts the program (argv[0] is its path) and returns once it has signalled readiness through
// kReadyFdVariable, has exited, or timeoutMs has passed; answers its process id, or -1. With
// detach, its standard streams are /dev/null: it must not hold the starter's output open.
pid_t StartAndWaitReady(const std::vector<std::string>& argv, bool detach, int timeoutMs);

// Closes the descriptor named by kReadyFdVariable, if any: the window takes messages now.
void SignalReady();

}  // namespace jarvet
