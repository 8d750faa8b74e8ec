// Bad input from outside, run as a process against the simulated player: numbers at and beyond
// the 32-bit limits, the player's answers at those limits, a directory where the playlist dump
// should be, and a player that goes away in the middle of a run.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "PlayerProtocol.h"
#include "support/FailureReport.h"
#include "support/PlayerFixture.h"
#include "support/TagBytes.h"

namespace jarvet::testing {
namespace {

using Strings = std::vector<std::string>;

class BadInputTest : public PlayerFixture {
 protected:
  void StartWithFourTracks() {
    StartPlayer({"--entry", "/m/a.mp3|245", "--entry", "/m/b.mp3|100", "--entry", "/m/c.mp3|60",
                 "--entry", "/m/d.mp3|30", "--status", "playing"});
  }
};

TEST_F(BadInputTest, NumbersAtAndBeyondThe32BitLimits) {
  StartWithFourTracks();
  const struct {
    Strings Parameters;
    const char* Output;
    Strings Journal;
  } cases[] = {
      {{"SETVOL", "2147483647"}, "", {}},
      {{"SETVOL", "4294967551"}, "", {}},  // 2^32 + 255: no wrap-around to 255
      {{"SETVOL", "xFFFFFFFF"}, "", {}},   // -1
      {{"SETVOL", "x1000000FF"}, "", {}},  // nine significant digits
      {{"SETVOL", "x0000000FF"}, "Setting volume to 255\r\n", {JournalRequest(255, kReqSetVolume)}},
      {{"SETVOL", "-2147483649"}, "", {}},
      {{"SKIPTO", "2147483647"}, "", {JournalRequest(0, kReqGetPlaylistLength)}},
      {{"SKIPTO", "4294967297"}, "", {}},  // 2^32 + 1: not track 1
      {{"SKIPTO", "-2147483648"}, "", {}},
      {{"SEEK", "2147483"}, "Seeking to 2147483 s\r\n", {JournalRequest(2147483000, kReqJumpToTime)}},
      {{"SEEK", "0:2147483"}, "Seeking to 0:2147483 s\r\n", {JournalRequest(2147483000, kReqJumpToTime)}},
      {{"SEEK", "2147484"}, "", {}},  // its milliseconds leave the 32-bit range
      {{"SEEK", "35791394:7"}, "", {}},
      {{"SEEK", "-2147483648:0"}, "", {}},
      {{"SEEK", "2147483648"}, "", {}},
      {{"FF", "-2147483648"}, "Fast forwarding -2147483648 s\r\n", {JournalCommand(kCmdForward5s)}},
      {{"FF", "2147483648"}, "", {}},
      {{"REW", "x80000000"}, "Rewinding x80000000 s\r\n", {JournalCommand(kCmdRewind5s)}},
      {{"VOLUP", "-2147483648"}, "Increasing volume by -2147483648 units\r\n", {}},
      {{"VOLDOWN", "2147483648"}, "", {}},
  };
  for (const auto& c : cases) {
    const std::size_t before = Journal().size();
    const TProcessResult result = Jarvet(c.Parameters);
    const std::string what = c.Parameters[0] + " " + c.Parameters[1];
    EXPECT_EQ(result.Status, 0) << what;
    EXPECT_EQ(result.Output, c.Output) << what;
    EXPECT_EQ(JournalFrom(before), c.Journal) << what;
  }
}

TEST_F(BadInputTest, PlayerAnswersAtThe32BitLimits) {
  for (const char* version : {"2147483647", "-2147483648"}) {
    StartPlayer({"--version", version});
    EXPECT_EQ(Jarvet({"VERSION"}).Output, std::string(version) + "\r\n");
    StopPlayer();
  }
  const std::string track = Dir + "/track.mp3";
  WriteFile(track, Id3v23Tag({{"TIT2", "Song"}, {"TRCK", "3"}}));
  StartPlayer({"--entry", track + "|2147483647", "--status", "playing", "--time", "2147483647",
               "--bitrate", "-2147483648"});
  const TProcessResult info = Jarvet({"INFO"});
  EXPECT_EQ(info.Status, 0);
  EXPECT_EQ(info.Output,
            "Winamp now playing: 3. Song (35791:23/35791394:07) @ -2147483648 kbps.\r\n");
}

// Standard output that takes nothing, or is not there at all: the run's line fails, the report
// goes to standard error, and the player received the command and nothing else.
TEST_F(BadInputTest, OutputThatCannotBeWrittenIsReportedOnStandardError) {
  StartWithFourTracks();
  for (const char* output : {kUnwritableOutput, kMissingOutput}) {
    const std::size_t before = Journal().size();
    const TProcessResult result = RunProcess(JARVET_PROGRAM, {Dir, "STOP"}, output);
    EXPECT_EQ(result.Status, 1) << output;
    EXPECT_TRUE(IsFailureReport(result.Errors, "EInOutError", "[^\r\n]+")) << output << ": " << result.Errors;
    EXPECT_EQ(JournalFrom(before), Strings{JournalCommand(kCmdStop)}) << output;
  }
  const TProcessResult written = Jarvet({"STOP"});
  EXPECT_EQ(written.Output, "Playback stopped\r\n");
  EXPECT_EQ(written.Errors, "") << "nothing on standard error while standard output takes it";
}

TEST_F(BadInputTest, DumpThatIsADirectoryIsReported) {
  std::filesystem::create_directory(std::filesystem::path(Dir) / "winamp.m3u");
  const TProcessResult result = Jarvet({"INFO"});
  EXPECT_EQ(result.Status, 1);
  EXPECT_TRUE(IsFailureReport(result.Output, "EInOutError", "File access denied\\.")) << result.Output;
}

// The player closes, as its user may close it, while a run is pressing its button: the rest of
// the presses go nowhere, and the run ends as it would have.
TEST_F(BadInputTest, PlayerThatExitsInTheMiddleOfARun) {
  StartWithFourTracks();
  const auto pressed = [this] {
    for (const std::string& line : Journal()) {
      if (line == JournalCommand(kCmdForward5s)) return true;
    }
    return false;
  };
  std::thread closer([&] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!pressed() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    SendToPlayer(kWmCommand, kCmdClose, 0);
  });
  const auto start = std::chrono::steady_clock::now();
  const TProcessResult result = Jarvet({"FF", "1000000"});  // 17280 presses, the most there are
  const auto took = std::chrono::steady_clock::now() - start;
  closer.join();
  EndProcess(PlayerProcess);
  PlayerProcess = -1;

  EXPECT_EQ(result.Status, 0);
  EXPECT_EQ(result.Output, "Fast forwarding 1000000 s\r\n");
  std::size_t presses = 0;
  for (const std::string& line : Journal()) presses += line == JournalCommand(kCmdForward5s) ? 1 : 0;
  EXPECT_GT(presses, 0u);
  EXPECT_LT(presses, 17280u) << "the player was gone before the run ended";
  EXPECT_LT(took, std::chrono::seconds(30));
}

}  // namespace
}  // namespace jarvet::testing
