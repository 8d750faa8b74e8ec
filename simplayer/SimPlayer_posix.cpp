// The simulated player's POSIX endpoint: its command line, its window (a Unix-domain socket in
// the window directory) and one poll loop that serves every connected client.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Options.h"
#include "PlayerEngine.h"
#include "PlayerProtocol.h"
#include "WindowWire_posix.h"

namespace jarvet::simplayer {
namespace {

constexpr int kUsageStatus = 2;
constexpr int kFailureStatus = 1;
constexpr int kListenBacklog = 16;
constexpr std::int32_t kMaxHandOverBytes = 65536;  // anything longer is garbage
constexpr std::size_t kReceiveChunk = 4096;
// The texts whose addresses the player answers live at fake addresses of a 32-bit player.
constexpr std::uint32_t kArenaAddress = 0x10000000;
constexpr std::size_t kArenaSize = 4 << 20;

volatile std::sig_atomic_t StopRequested = 0;
// --frozen-after: how many messages are still answered (-1: all of them), and whether the player
// hangs now.
std::int32_t AnswersLeft = -1;
bool Hanging = false;

void OnStopSignal(int) { StopRequested = 1; }

class TFd {
 public:
  explicit TFd(int fd = -1) : Fd_(fd) {}
  TFd(TFd&& other) noexcept : Fd_(std::exchange(other.Fd_, -1)) {}
  TFd& operator=(TFd&& other) noexcept {
    std::swap(Fd_, other.Fd_);
    return *this;
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  ~TFd() {
    if (Fd_ >= 0) close(Fd_);
  }
  int Get() const { return Fd_; }

 private:
  int Fd_;
};

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The running player has another working directory than ours.
std::string Absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char* cwd = getcwd(nullptr, 0);
  if (cwd == nullptr) return path;
  std::string absolute = std::string(cwd) + "/" + path;
  std::free(cwd);
  return absolute;
}

int HandOverFile(int fd, bool add, const std::string& file) {
  if (file.size() > static_cast<std::size_t>(kMaxHandOverBytes)) {
    std::fprintf(stderr, "winamp.exe: file name too long\n");
    return kFailureStatus;
  }
  const TWireMessage message{kWmCopyData, add ? kCopyDataAdd : kCopyDataOpen,
                             static_cast<std::int32_t>(file.size())};
  std::string bytes(reinterpret_cast<const char*>(&message), sizeof message);
  bytes += file;
  std::int32_t answer = 0;
  if (!SendAll(fd, bytes.data(), bytes.size()) || !ReceiveAll(fd, &answer, sizeof answer)) {
    std::fprintf(stderr, "winamp.exe: the running player did not answer\n");
    return kFailureStatus;
  }
  return 0;
}

struct TClient {
  TFd Socket;
  std::string Received;
};

// Answers every complete message the client has sent; false when the client is to be dropped.
bool AnswerClient(TPlayerEngine& engine, const TTextArena& arena, TClient& client) {
  std::size_t used = 0;
  bool keep = true;
  while (keep && !engine.CloseRequested() &&
         client.Received.size() - used >= sizeof(TWireMessage)) {
    if (AnswersLeft == 0) {
      Hanging = true;
      break;
    }
    if (AnswersLeft > 0) --AnswersLeft;
    TWireMessage message;
    std::memcpy(&message, client.Received.data() + used, sizeof message);
    std::string answer(sizeof(std::int32_t), '\0');
    std::int32_t value = 0;
    if (message.Message == kWireReadMemory) {
      const std::string bytes = message.LParam < 0 || message.LParam > kMaxWireBytes
                                    ? std::string()
                                    : arena.Read(static_cast<std::uint32_t>(message.WParam),
                                                 static_cast<std::size_t>(message.LParam));
      value = static_cast<std::int32_t>(bytes.size());
      answer += bytes;
      used += sizeof message;
    } else if (message.Message == kWmCopyData) {
      if (message.LParam < 0 || message.LParam > kMaxHandOverBytes) return false;
      const auto size = static_cast<std::size_t>(message.LParam);
      if (client.Received.size() - used - sizeof message < size) break;  // the rest is on its way
      value = engine.HandOver(message.WParam, client.Received.substr(used + sizeof message, size));
      used += sizeof message + size;
    } else {
      value = engine.HandleMessage(message.Message, message.WParam, message.LParam);
      used += sizeof message;
    }
    std::memcpy(&answer[0], &value, sizeof value);
    // An answer that does not fit at once belongs to a client that stopped reading.
    keep = send(client.Socket.Get(), answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT) ==
           static_cast<ssize_t>(answer.size());
  }
  client.Received.erase(0, used);
  return keep;
}

// Reads what the client sent and answers it; false when the client is to be dropped.
bool ServeClient(TPlayerEngine& engine, const TTextArena& arena, TClient& client) {
  char buffer[kReceiveChunk];
  const ssize_t n = recv(client.Socket.Get(), buffer, sizeof buffer, MSG_DONTWAIT);
  if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
  if (n == 0) return false;
  client.Received.append(buffer, static_cast<std::size_t>(n));
  return AnswerClient(engine, arena, client);
}

// Connections wait unanswered, in the listener's queue or accepted, until a stop signal.
void StayFrozen(const sigset_t& waitMask) {
  while (!StopRequested) sigsuspend(&waitMask);
}

// Serves until the player is closed or told to stop. waitMask is the signal mask during the wait.
void Serve(TPlayerEngine& engine, const TTextArena& arena, int listener,
           const sigset_t& waitMask) {
  std::vector<TClient> clients;
  while (!StopRequested && !engine.CloseRequested()) {
    std::vector<pollfd> watched{{listener, POLLIN, 0}};
    for (const TClient& client : clients) watched.push_back({client.Socket.Get(), POLLIN, 0});
    if (ppoll(watched.data(), watched.size(), nullptr, &waitMask) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    for (std::size_t i = clients.size(); i-- > 0;) {
      if (watched[i + 1].revents == 0) continue;
      if (!ServeClient(engine, arena, clients[i])) {
        clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(i));
      }
      if (engine.CloseRequested()) return;
      // Hung with every connection open: the senders wait out their bound.
      if (Hanging) return StayFrozen(waitMask);
    }
    if ((watched[0].revents & POLLIN) != 0) {
      TFd accepted(accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
      if (accepted.Get() >= 0) clients.push_back(TClient{std::move(accepted), {}});
    }
  }
}

int BecomePlayer(const TOptions& options, const std::string& windowDir,
                 const sockaddr_un& address) {
  // Blocked but for the wait in ppoll, so a stop signal cannot slip in between check and wait.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  sigset_t waitMask;
  sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);

  std::vector<char> memory(kArenaSize);
  TTextArena arena(memory.data(), memory.size(), kArenaAddress);
  TPlayerEngine engine(options.State, options.JournalPath, &arena);
  if (options.File) engine.LoadList(options.Add ? kCopyDataAdd : kCopyDataOpen, *options.File);

  if (mkdir(windowDir.c_str(), 0700) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "winamp.exe: cannot create %s: %s\n", windowDir.c_str(),
                 std::strerror(errno));
    return kFailureStatus;
  }
  unlink(address.sun_path);  // a stale window: nobody answered on it
  TFd listener(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (listener.Get() < 0 ||
      bind(listener.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener.Get(), kListenBacklog) != 0) {
    std::fprintf(stderr, "winamp.exe: cannot open the window %s: %s\n", address.sun_path,
                 std::strerror(errno));
    return kFailureStatus;
  }
  std::fputs(StartMessage("\"" + std::string(address.sun_path) + "\"", options).c_str(), stderr);
  SignalReady();
  AnswersLeft = options.FrozenAfter;
  if (options.Frozen) {
    StayFrozen(waitMask);
  } else {
    Serve(engine, arena, listener.Get(), waitMask);
  }
  unlink(address.sun_path);
  return 0;
}

int Run(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  TOptions options;
  if (const std::optional<std::string> error = ParseCommandLine(argc, argv, DirectoryOf(argv[0]), options)) {
    std::fprintf(stderr, "winamp.exe: %s\n%s", error->c_str(), kUsage);
    return kUsageStatus;
  }
  const std::string windowDir = WindowDirectory();
  const std::string socketPath = WindowPath(kPlayerWindowClass);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.size() >= sizeof address.sun_path) {
    std::fprintf(stderr, "winamp.exe: window path too long: %s\n", socketPath.c_str());
    return kFailureStatus;
  }
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  const TFd running(ConnectToWindow(socketPath));
  if (running.Get() >= 0) {
    // A running player takes the file over; started without one, we only bring it forward.
    return options.File ? HandOverFile(running.Get(), options.Add, Absolute(*options.File)) : 0;
  }
  return BecomePlayer(options, windowDir, address);
}

}  // namespace
}  // namespace jarvet::simplayer

int main(int argc, char** argv) { return jarvet::simplayer::Run(argc, argv); }
