// A temporary player directory with the simulated player in it: POSIX.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "PlayerProtocol.h"
#include "WindowWire_posix.h"
#include "support/PlayerFixture.h"

namespace jarvet::testing {

namespace {

// A frozen player must not hold the test: it is ended by force once this has passed.
constexpr int kAnswerTimeoutMs = 2000;

}  // namespace

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
  const int fd = ConnectToWindow(WindowDir + "/" + kPlayerWindowClass);
  if (fd < 0) return 0;
  const TWireMessage request{message, wParam, lParam};
  std::int32_t answer = 0;
  if (!SendAll(fd, &request, sizeof request) ||
      !ReceiveAll(fd, &answer, sizeof answer, kAnswerTimeoutMs)) {
    answer = 0;
  }
  close(fd);
  return answer;
}

}  // namespace jarvet::testing
