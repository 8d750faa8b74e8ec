// The platform operations that reach the player: POSIX, through the window layer of our own.
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <vector>

#include "CommandLine.h"
#include "Platform.h"
#include "PlayerProtocol.h"
#include "WindowWire_posix.h"

namespace jarvet {

const char kDirectorySeparator = '/';

namespace {

constexpr int kStartTimeoutMs = 30000;

class TPosixPlatform : public TPlatform {
 public:
  ~TPosixPlatform() override {
    for (int fd : Connections_) {
      if (fd >= 0) close(fd);
    }
  }

  TWindow FindTopWindow(const std::string& className) override {
    const int fd = ConnectToWindow(WindowPath(className));
    if (fd < 0) return 0;
    Connections_.push_back(fd);
    return Connections_.size();
  }

  std::int32_t SendWindowMessage(TWindow window, std::int32_t message, std::int32_t wParam,
                                 std::int32_t lParam) override {
    std::int32_t answer = 0;
    Exchange(window, TWireMessage{message, wParam, lParam}, {}, answer);
    return answer;
  }

  std::int32_t SendCopyData(TWindow window, std::int32_t dwData,
                            std::string_view bytes) override {
    std::int32_t answer = 0;
    if (bytes.size() > static_cast<std::size_t>(kMaxWireBytes)) return 0;
    const TWireMessage request{kWmCopyData, dwData, static_cast<std::int32_t>(bytes.size())};
    Exchange(window, request, bytes, answer);
    return answer;
  }

  std::size_t ReadPlayerMemory(TWindow window, std::uint32_t address, void* buffer,
                               std::size_t size) override {
    if (size > static_cast<std::size_t>(kMaxWireBytes)) size = kMaxWireBytes;
    const TWireMessage request{kWireReadMemory, static_cast<std::int32_t>(address),
                               static_cast<std::int32_t>(size)};
    std::int32_t count = 0;
    if (!Exchange(window, request, {}, count) || count <= 0) return 0;
    const auto got = static_cast<std::size_t>(count);
    if (got > size || !ReceiveAll(*Connection(window), buffer, got, kMessageTimeoutMs)) {
      Lose(window);  // a window that says more than it was asked is not to be trusted further
      return 0;
    }
    return got;
  }

  bool IsGone(TWindow window) const override {
    return window == 0 || window > Connections_.size() || Connections_[window - 1] < 0;
  }

  bool IsHung(TWindow window) const override { return Hung_.count(window) != 0; }

  void StartProgram(const std::string& commandLine) override {
    std::vector<std::string> argv;
    for (TParameter& parameter : SplitCommandLine(commandLine)) {
      argv.push_back(std::move(parameter.Text));
    }
    // A started player has no console of ours: it must not hold our output open.
    const pid_t child = StartAndWaitReady(argv, true, kStartTimeoutMs);
    if (child > 0) waitpid(child, nullptr, WNOHANG);
  }

 private:
  int* Connection(TWindow window) {
    if (IsGone(window)) return nullptr;
    return &Connections_[window - 1];
  }

  // A gone window: every later message answers 0 at once. One that closed has said so (its end
  // of the connection reads as closed); one that hangs has said nothing.
  void Lose(TWindow window) {
    int* fd = Connection(window);
    if (fd == nullptr) return;
    pollfd entry{*fd, POLLIN, 0};
    if (poll(&entry, 1, 0) == 0) Hung_.insert(window);
    close(*fd);
    *fd = -1;
  }

  bool Exchange(TWindow window, const TWireMessage& request, std::string_view payload,
                std::int32_t& answer) {
    int* fd = Connection(window);
    if (fd == nullptr) return false;
    if (!SendAll(*fd, &request, sizeof request) ||
        (!payload.empty() && !SendAll(*fd, payload.data(), payload.size())) ||
        !ReceiveAll(*fd, &answer, sizeof answer, kMessageTimeoutMs)) {
      Lose(window);
      answer = 0;
      return false;
    }
    return true;
  }

  std::vector<int> Connections_;  // window n is Connections_[n - 1]
  std::set<TWindow> Hung_;
};

}  // namespace

std::unique_ptr<TPlatform> CreateSystemPlatform() { return std::make_unique<TPosixPlatform>(); }

}  // namespace jarvet
