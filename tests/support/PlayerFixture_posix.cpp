// A temporary player directory with the simulated player in it: POSIX.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "PlayerFixture.h"
#include "WindowMessages.h"

namespace jarvet::testing {

void PlayerFixture::SetUp() {
  char pattern[] = "/tmp/jarvet-e2e-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  Dir = pattern;
  WindowDir = Dir + "/windows";
  ASSERT_EQ(mkdir(WindowDir.c_str(), 0700), 0);
  ASSERT_EQ(symlink(JARVET_SIMPLAYER, (Dir + "/winamp.exe").c_str()), 0);
  setenv(kWindowDirVariable, WindowDir.c_str(), 1);
}

void PlayerFixture::TearDown() {
  StopPlayer();
  std::system(("rm -rf '" + Dir + "'").c_str());
}

void PlayerFixture::StartPlayer(const std::vector<std::string>& options) {
  PlayerProcess = StartProcess(Dir + "/winamp.exe", options);
  ASSERT_GT(PlayerProcess, 0);
}

void PlayerFixture::StopPlayer() {
  SendToPlayer(kWmCommand, kCmdClose, 0);
  EndProcess(PlayerProcess);
  PlayerProcess = -1;
}

TProcessResult PlayerFixture::Jarvet(const std::vector<std::string>& parameters) const {
  std::vector<std::string> all{Dir};
  all.insert(all.end(), parameters.begin(), parameters.end());
  return RunProcess(JARVET_PROGRAM, all);
}

std::vector<std::string> PlayerFixture::Journal() const {
  std::ifstream in(Dir + "/journal.log");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::int32_t PlayerFixture::SendToPlayer(std::int32_t message, std::int32_t wParam,
                                         std::int32_t lParam) const {
  const std::string path = WindowDir + "/" + kPlayerWindowClass;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  std::int32_t answer = 0;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
    const TWireMessage request{message, wParam, lParam};
    if (send(fd, &request, sizeof request, MSG_NOSIGNAL) == sizeof request &&
        recv(fd, &answer, sizeof answer, MSG_WAITALL) != sizeof answer) {
      answer = 0;
    }
  }
  close(fd);
  return answer;
}

void PlayerFixture::WriteFile(const std::string& path, const std::string& bytes) const {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string PlayerFixture::ReadFile(const std::string& path) const {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool PlayerFixture::FileExists(const std::string& path) const {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

}  // namespace jarvet::testing
