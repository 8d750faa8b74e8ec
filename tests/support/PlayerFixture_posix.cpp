// A temporary player directory with the simulated player in it: POSIX.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "support/PlayerFixture.h"
#include "WindowMessages.h"

namespace jarvet::testing {

void PlayerFixture::SetUp() {
  Temp_ = std::make_unique<TTempDir>("jarvet-e2e");
  ASSERT_TRUE(Temp_->Ok());
  Dir = Temp_->Path();
  WindowDir = Dir + "/windows";
  ASSERT_EQ(mkdir(WindowDir.c_str(), 0700), 0);
  ASSERT_EQ(symlink(JARVET_SIMPLAYER, (Dir + "/winamp.exe").c_str()), 0);
  setenv(kWindowDirVariable, WindowDir.c_str(), 1);
}

void PlayerFixture::StartPlayer(const std::vector<std::string>& options) {
  std::vector<std::string> all = options;
  all.insert(all.end(), {"--journal", JournalPath()});
  PlayerProcess = StartProcess(Dir + "/winamp.exe", all);
  ASSERT_GT(PlayerProcess, 0);
}

void PlayerFixture::StopPlayer() {
  SendToPlayer(kWmCommand, kCmdClose, 0);
  EndProcess(PlayerProcess);
  PlayerProcess = -1;
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

}  // namespace jarvet::testing
