// The platform operations that reach the player: POSIX, with a window layer of our own. A
// window is a Unix-domain stream socket named after its class in the window directory; a
// message is one TWireMessage answered by one int32.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "CommandLine.h"
#include "Platform.h"
#include "WindowMessages.h"
#include "WindowSocket_posix.h"

namespace jarvet {

const char kDirectorySeparator = '/';
const char kListFilePath[] = "/tmp/winamp.m3u";

namespace {

constexpr int kStartTimeoutMs = 30000;

// Waits until the started program closes its end of the ready pipe, by exiting or on purpose.
void WaitUntilReady(int readFd) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) return;
    pollfd entry{readFd, POLLIN, 0};
    const int ready = poll(&entry, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return;
    char byte;
    const ssize_t n = read(readFd, &byte, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // closed
  }
}

class TPosixPlatform : public TPlatform {
 public:
  ~TPosixPlatform() override {
    for (int fd : Connections_) {
      if (fd >= 0) close(fd);
    }
  }

  TWindow FindTopWindow(const std::string& className) override {
    const std::string path = WindowDirectory() + "/" + className;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return 0;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      close(fd);
      return 0;
    }
    Connections_.push_back(fd);
    return Connections_.size();
  }

  std::int32_t SendWindowMessage(TWindow window, std::int32_t message, std::int32_t wParam,
                                 std::int32_t lParam) override {
    if (window == 0 || window > Connections_.size()) return 0;
    int& fd = Connections_[window - 1];
    if (fd < 0) return 0;
    const TWireMessage request{message, wParam, lParam};
    std::int32_t answer = 0;
    if (!SendAll(fd, &request, sizeof request) || !ReceiveAll(fd, &answer, sizeof answer)) {
      close(fd);  // a stale window: every later message answers 0 at once
      fd = -1;
      return 0;
    }
    return answer;
  }

  void StartProgram(const std::string& commandLine) override {
    std::vector<std::string> parameters;
    for (TParameter& parameter : SplitCommandLine(commandLine)) {
      parameters.push_back(std::move(parameter.Text));
    }
    if (parameters.empty()) return;
    std::vector<char*> argv;
    for (std::string& parameter : parameters) argv.push_back(parameter.data());
    argv.push_back(nullptr);

    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) return;
    const std::string readyFd = std::to_string(ready[1]);
    const pid_t child = fork();
    if (child == 0) {
      // A started player has no console of ours: it must not hold our output open.
      const int null = open("/dev/null", O_RDWR);
      if (null >= 0) {
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
      }
      fcntl(ready[1], F_SETFD, 0);
      setenv(kReadyFdVariable, readyFd.c_str(), 1);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(ready[1]);
    if (child > 0) {
      WaitUntilReady(ready[0]);
      waitpid(child, nullptr, WNOHANG);
    }
    close(ready[0]);
  }

 private:
  std::vector<int> Connections_;  // window n is Connections_[n - 1]
};

}  // namespace

std::unique_ptr<TPlatform> CreateSystemPlatform() { return std::make_unique<TPosixPlatform>(); }

}  // namespace jarvet
