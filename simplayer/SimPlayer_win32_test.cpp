// The built winamp.exe as a Win32 process: its window, a hand-over from a second start through
// WM_COPYDATA, its command line and closing.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/JournalLines.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"
#include "PlayerProtocol.h"

namespace jarvet::simplayer {
namespace {

using testing::JournalCommand;
using testing::JournalLine;
using testing::JournalRequest;
using testing::Lines;

constexpr UINT kAnswerTimeoutMs = 10000;

class SimPlayerWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.Ok());
    ASSERT_EQ(FindWindowA(kPlayerWindowClass, nullptr), nullptr) << "a player from elsewhere";
    ASSERT_TRUE(CopyFileA(SIMPLAYER_PROGRAM, Program.c_str(), TRUE));
  }
  void TearDown() override {
    for (long id : Started) {
      Send(kWmCommand, kCmdClose, 0);
      jarvet::testing::EndProcess(id);
    }
  }

  long Start(const std::vector<std::string>& parameters) {
    const long id = jarvet::testing::StartProcess(Program, parameters);
    if (id > 0) Started.push_back(id);
    return id;
  }

  // The answer, or -999 when no window answered.
  static std::int32_t Send(std::int32_t message, std::int32_t wParam, std::int32_t lParam) {
    const HWND window = FindWindowA(kPlayerWindowClass, nullptr);
    DWORD_PTR answer = 0;
    if (window == nullptr || SendMessageTimeoutA(window, static_cast<UINT>(message),
                                                 static_cast<WPARAM>(static_cast<LONG_PTR>(wParam)),
                                                 static_cast<LPARAM>(lParam), SMTO_ABORTIFHUNG,
                                                 kAnswerTimeoutMs, &answer) == 0) {
      return -999;
    }
    return static_cast<std::int32_t>(answer);
  }

  std::string ReadFile(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }

  jarvet::testing::TTempDir Dir{"simplayer-window"};
  const std::string Program = Dir.File("winamp.exe");
  std::vector<long> Started;
};

TEST_F(SimPlayerWindowTest, ServesMessagesTakesAHandOverAndCloses) {
  ASSERT_GT(Start({"--entry", "C:\\m\\a.mp3|245|A", "--entry", "C:\\m\\b.mp3", "--position", "1",
                   "--status", "paused", "--time", "1500", "--version", "0x1234", "--journal",
                   Dir.File("journal.log")}),
            0);
  const HWND window = FindWindowA(kPlayerWindowClass, nullptr);
  ASSERT_NE(window, nullptr) << "ready means the window takes messages";
  EXPECT_EQ(GetParent(window), nullptr) << "a top-level window";
  EXPECT_FALSE(IsWindowVisible(window));

  EXPECT_EQ(Send(kWmUser, 0, kReqGetVersion), 0x1234);
  EXPECT_EQ(Send(kWmUser, 0, kReqGetStatus), 3);
  EXPECT_EQ(Send(kWmUser, 0, kReqGetOutputTime), 1500);
  EXPECT_EQ(Send(kWmUser, 1, kReqGetOutputTime), -1) << "b.mp3 has no length";
  EXPECT_EQ(Send(kWmUser, 1, kReqGetInfo), 128);
  EXPECT_EQ(Send(kWmUser, -1, kReqSetPlaylistPos), 0) << "a negative index reaches it as one";
  EXPECT_EQ(Send(kWmUser, 0, kReqGetPlaylistPos), 1);

  std::ofstream(Dir.File("list.m3u"), std::ios::binary) << "#EXTINF:60,New\r\n/new/1.mp3\r\n";
  // Relative on purpose: the running player works in another directory, so the started one
  // hands the file over made absolute.
  char previous[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(Dir.Path().c_str()));
  const jarvet::testing::TProcessResult handOver =
      jarvet::testing::RunProcess(Program, {"/add", "list.m3u"});
  const jarvet::testing::TProcessResult forward = jarvet::testing::RunProcess(Program, {});
  SetCurrentDirectoryA(previous);
  EXPECT_EQ(handOver.Status, 0);
  EXPECT_EQ(forward.Status, 0) << "a start without a file only brings the player forward";

  EXPECT_EQ(Send(kWmUser, 0, kReqGetPlaylistLength), 3);
  EXPECT_EQ(Send(kWmUser, 0, kReqWritePlaylist), 1);
  EXPECT_EQ(ReadFile(Dir.File("winamp.m3u")),
            "#EXTM3U\r\n#EXTINF:245,A\r\nC:\\m\\a.mp3\r\n#EXTINF:-1,b\r\nC:\\m\\b.mp3\r\n"
            "#EXTINF:60,New\r\n/new/1.mp3\r\n");

  EXPECT_EQ(Send(kWmCommand, kCmdClose, 0), 0);
  const HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                     static_cast<DWORD>(Started.front()));
  ASSERT_NE(process, nullptr);
  EXPECT_EQ(WaitForSingleObject(process, kAnswerTimeoutMs), WAIT_OBJECT_0);
  DWORD status = 99;
  GetExitCodeProcess(process, &status);
  CloseHandle(process);
  EXPECT_EQ(status, 0u);
  EXPECT_FALSE(IsWindow(window)) << "the window is gone";

  const std::string listPath = Dir.File("list.m3u");
  EXPECT_EQ(ReadFile(Dir.File("journal.log")),
            Lines({JournalRequest(0, kReqGetVersion), JournalRequest(0, kReqGetStatus),
                   JournalRequest(0, kReqGetOutputTime), JournalRequest(1, kReqGetOutputTime),
                   JournalRequest(1, kReqGetInfo), JournalRequest(-1, kReqSetPlaylistPos),
                   JournalRequest(0, kReqGetPlaylistPos),
                   JournalLine(kWmCopyData, kCopyDataAdd, static_cast<std::int32_t>(listPath.size())) +
                       " " + listPath,
                   JournalRequest(0, kReqGetPlaylistLength), JournalRequest(0, kReqWritePlaylist),
                   JournalCommand(kCmdClose)}));
}

TEST_F(SimPlayerWindowTest, OpensItsOwnListAndRefusesABadCommandLine) {
  std::ofstream(Dir.File("list.m3u"), std::ios::binary) << "/new/1.mp3\n/new/2.mp3\n";
  ASSERT_GT(Start({Dir.File("list.m3u")}), 0);
  EXPECT_EQ(Send(kWmUser, 0, kReqGetPlaylistLength), 2);
  EXPECT_EQ(Send(kWmUser, 0, kReqGetStatus), 1) << "opened lists play";

  const struct {
    std::vector<std::string> Parameters;
    int Status;
    const char* Output;  // the start of standard output
  } cases[] = {
      {{"--help"}, 0, "usage: winamp.exe"},
      {{"--volume", "256"}, 2, ""},
      {{"--bogus", "1"}, 2, ""},
      {{"/ADD"}, 2, ""},
      {{"a.m3u", "b.m3u"}, 2, ""},
  };
  for (const auto& c : cases) {
    const jarvet::testing::TProcessResult result =
        jarvet::testing::RunProcess(Program, c.Parameters);
    EXPECT_EQ(result.Status, c.Status) << c.Parameters[0];
    EXPECT_EQ(result.Output.rfind(c.Output, 0), 0u) << c.Parameters[0] << ": " << result.Output;
  }
  EXPECT_EQ(Send(kWmUser, 0, kReqGetPlaylistLength), 2) << "none of them reached the player";
}

}  // namespace
}  // namespace jarvet::simplayer
