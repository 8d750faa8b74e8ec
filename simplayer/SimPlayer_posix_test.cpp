// The built winamp.exe as a process: readiness, its window, a hand-over from a second start,
// and closing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "PlayerProtocol.h"
#include "WindowWire_posix.h"
#include "support/JournalLines.h"
#include "support/TempDir.h"

namespace jarvet::simplayer {
namespace {

using testing::JournalCommand;
using testing::JournalLine;
using testing::JournalRequest;
using testing::Lines;

constexpr int kWaitMs = 10000;

class SimPlayerProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Temp_.Ok());
    Dir = Temp_.Path();
    WindowDir = Dir + "/windows";  // left for the player to create
    ASSERT_EQ(symlink(SIMPLAYER_PROGRAM, (Dir + "/winamp.exe").c_str()), 0);
  }
  void TearDown() override {
    for (pid_t pid : Started) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }

  // Starts DIR/winamp.exe and returns once it has closed the ready descriptor or exited; -1 when
  // it did neither in time.
  pid_t Start(const std::vector<std::string>& parameters, const std::string& workDir = "/") {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) return -1;
    std::vector<std::string> all{Dir + "/winamp.exe"};
    all.insert(all.end(), parameters.begin(), parameters.end());
    std::vector<char*> argv;
    for (std::string& parameter : all) argv.push_back(parameter.data());
    argv.push_back(nullptr);
    const std::string readyFd = std::to_string(ready[1]);
    const pid_t pid = fork();
    if (pid == 0) {
      fcntl(ready[1], F_SETFD, 0);
      if (chdir(workDir.c_str()) != 0) _exit(127);
      setenv(kReadyFdVariable, readyFd.c_str(), 1);
      setenv(kWindowDirVariable, WindowDir.c_str(), 1);
      const int errors = open((Dir + "/stderr.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
      if (errors >= 0) dup2(errors, STDERR_FILENO);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(ready[1]);
    pollfd entry{ready[0], POLLIN, 0};
    const bool signalled = poll(&entry, 1, kWaitMs) == 1;
    close(ready[0]);
    if (pid > 0) Started.push_back(pid);
    return signalled ? pid : -1;
  }

  // The exit status, or -1 when the process is still running after the wait.
  int WaitForExit(pid_t pid) {
    if (pid <= 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) {
        Started.erase(std::find(Started.begin(), Started.end(), pid));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }

  std::string WindowPath() const { return WindowDir + "/" + kPlayerWindowClass; }

  int Connect() const { return ConnectToWindow(WindowPath()); }

  // The answer, or -999 when none came.
  static std::int32_t Send(int fd, std::int32_t message, std::int32_t wParam, std::int32_t lParam) {
    const TWireMessage request{message, wParam, lParam};
    std::int32_t answer = 0;
    if (send(fd, &request, sizeof request, MSG_NOSIGNAL) != sizeof request ||
        recv(fd, &answer, sizeof answer, MSG_WAITALL) != sizeof answer) {
      return -999;
    }
    return answer;
  }

  std::string ReadFile(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }

  std::string Dir;
  std::string WindowDir;
  std::vector<pid_t> Started;

 private:
  jarvet::testing::TTempDir Temp_{"simplayer-process"};
};

TEST_F(SimPlayerProcessTest, ServesClientsTakesAHandOverAndCloses) {
  const pid_t player = Start({"--entry", "/m/a.mp3|245|A", "--entry", "/m/b.mp3", "--position", "1",
                              "--status", "paused", "--time", "1500", "--version", "0x1234",
                              "--journal", Dir + "/journal.log"});
  ASSERT_GT(player, 0);
  struct stat info {};
  ASSERT_EQ(stat(WindowDir.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_EQ(ReadFile(Dir + "/stderr.log"),
            "winamp.exe: serving the window \"" + WindowPath() + "\" for the player directory " +
                Dir + ", journal " + Dir + "/journal.log\n");

  const int controller = Connect();
  ASSERT_GE(controller, 0) << "ready means the window takes messages";
  EXPECT_EQ(Send(controller, kWmUser, 0, kReqGetVersion), 0x1234);
  EXPECT_EQ(Send(controller, kWmUser, 0, kReqGetStatus), 3);
  EXPECT_EQ(Send(controller, kWmUser, 0, kReqGetOutputTime), 1500);
  EXPECT_EQ(Send(controller, kWmUser, 1, kReqGetOutputTime), -1) << "b.mp3 has no length";
  EXPECT_EQ(Send(controller, kWmUser, 1, kReqGetInfo), 128);

  // A client that sends garbage is dropped; the others go on being served.
  const int rogue = Connect();
  ASSERT_GE(rogue, 0);
  const timeval patience{kWaitMs / 1000, 0};
  setsockopt(rogue, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
  const TWireMessage garbage{kWmCopyData, 0, -5};
  ASSERT_EQ(send(rogue, &garbage, sizeof garbage, MSG_NOSIGNAL), sizeof garbage);
  char byte;
  EXPECT_EQ(recv(rogue, &byte, 1, 0), 0) << "dropped at once";
  close(rogue);

  std::ofstream(Dir + "/list.m3u", std::ios::binary) << "#EXTINF:60,New\r\n/new/1.mp3\r\n";
  // Relative on purpose: the player works in another directory, so the starter hands it over
  // made absolute.
  EXPECT_EQ(WaitForExit(Start({"/ADD", "list.m3u"}, Dir)), 0);
  EXPECT_EQ(WaitForExit(Start({})), 0) << "a start without a file only brings the player forward";

  EXPECT_EQ(Send(controller, kWmUser, 0, kReqGetPlaylistLength), 3);
  EXPECT_EQ(Send(controller, kWmUser, 0, kReqWritePlaylist), 1);
  EXPECT_EQ(ReadFile(Dir + "/winamp.m3u"),
            "#EXTM3U\r\n#EXTINF:245,A\r\n/m/a.mp3\r\n#EXTINF:-1,b\r\n/m/b.mp3\r\n"
            "#EXTINF:60,New\r\n/new/1.mp3\r\n");

  EXPECT_EQ(Send(controller, kWmCommand, kCmdClose, 0), 0);
  EXPECT_EQ(WaitForExit(player), 0);
  close(controller);
  EXPECT_NE(access(WindowPath().c_str(), F_OK), 0) << "the window is gone";

  const std::string listPath = Dir + "/list.m3u";
  EXPECT_EQ(ReadFile(Dir + "/journal.log"),
            Lines({JournalRequest(0, kReqGetVersion), JournalRequest(0, kReqGetStatus),
                   JournalRequest(0, kReqGetOutputTime), JournalRequest(1, kReqGetOutputTime),
                   JournalRequest(1, kReqGetInfo),
                   JournalLine(kWmCopyData, kCopyDataAdd, static_cast<std::int32_t>(listPath.size())) +
                       " " + listPath,
                   JournalRequest(0, kReqGetPlaylistLength), JournalRequest(0, kReqWritePlaylist),
                   JournalCommand(kCmdClose)}));
}

TEST_F(SimPlayerProcessTest, BecomesThePlayerOverAStaleWindowAndStopsOnSigterm) {
  ASSERT_EQ(mkdir(WindowDir.c_str(), 0700), 0);
  {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, WindowPath().c_str(), sizeof address.sun_path - 1);
    const int stale = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(bind(stale, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    close(stale);  // the file stays behind, with nobody listening
  }
  std::ofstream(Dir + "/list.m3u", std::ios::binary) << "/new/1.mp3\n/new/2.mp3\n";

  const pid_t player = Start({Dir + "/list.m3u"});
  ASSERT_GT(player, 0);
  const int controller = Connect();
  ASSERT_GE(controller, 0);
  EXPECT_EQ(Send(controller, kWmUser, 0, kReqGetPlaylistLength), 2);
  EXPECT_EQ(Send(controller, kWmUser, 0, kReqGetStatus), 1) << "opened lists play";
  close(controller);

  kill(player, SIGTERM);
  EXPECT_EQ(WaitForExit(player), 0);
  EXPECT_NE(access(WindowPath().c_str(), F_OK), 0);
}

}  // namespace
}  // namespace jarvet::simplayer
