// jarvet run as a process against the simulated player: exact output bytes, exit status and the
// messages the player received.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/PlayerFixture.h"

namespace jarvet::testing {
namespace {

using Strings = std::vector<std::string>;

class CommandsTest : public PlayerFixture {
 protected:
  void StartWithFourTracks(const std::string& status = "playing") {
    StartPlayer({"--entry", "/m/a.mp3|245|A", "--entry", "/m/b.mp3|100|B", "--entry",
                 "/m/c.mp3|60|C", "--entry", "/m/d.mp3|30|D", "--status", status, "--time",
                 "20000", "--volume", "100"});
  }
  std::int32_t Ask(std::int32_t wParam, std::int32_t request) const {
    return SendToPlayer(kWmUser, wParam, request);
  }
};

TEST_F(CommandsTest, EachCommandReachesThePlayer) {
  StartWithFourTracks();
  const struct {
    Strings Parameters;
    const char* Output;
    Strings Journal;  // what the player received for this run
  } cases[] = {
      {{"VERSION"}, "22118\r\n", {JournalRequest(0, kReqGetVersion)}},
      {{"pos"}, "0\r\n", {JournalRequest(0, kReqGetPlaylistPos)}},
      {{"FF", "12"}, "Fast forwarding 12 s\r\n", {JournalCommand(kCmdForward5s), JournalCommand(kCmdForward5s)}},
      {{"REW"}, "Rewinding 5 s\r\n", {JournalCommand(kCmdRewind5s)}},
      {{"SEEK", "1:30"}, "Seeking to 1:30 s\r\n", {JournalRequest(90000, kReqJumpToTime)}},
      {{"SETVOL", "x80"}, "Setting volume to 128\r\n", {JournalRequest(128, kReqSetVolume)}},
      {{"VOLUP", "2"}, "Increasing volume by 2 units\r\n", {JournalCommand(kCmdVolumeUp), JournalCommand(kCmdVolumeUp)}},
      {{"VOLDOWN"}, "Decreasing volume by 1 units\r\n", {JournalCommand(kCmdVolumeDown)}},
      {{"PAUSE"}, "Playback paused\r\n", {JournalCommand(kCmdPause), JournalRequest(0, kReqGetStatus)}},
      {{"Pause"}, "Playback resumed\r\n", {JournalCommand(kCmdPause), JournalRequest(0, kReqGetStatus)}},
      {{"NEXT"}, "Skipping to next track\r\n", {JournalCommand(kCmdNextTrack)}},
      {{"PREV"}, "Skipping to previous track\r\n", {JournalCommand(kCmdPrevTrack)}},
      {{"SKIPTO", "4"}, "Skipping to track 4\r\n", {JournalRequest(0, kReqGetPlaylistLength), JournalRequest(3, kReqSetPlaylistPos), JournalCommand(kCmdPlay)}},
      {{"SKIPTO", "5"}, "", {JournalRequest(0, kReqGetPlaylistLength)}},
      {{"SKIPTO", "0"}, "", {}},
      {{"STOP"}, "Playback stopped\r\n", {JournalCommand(kCmdStop)}},
      {{"play"}, "Playing...\r\n", {JournalCommand(kCmdPlay)}},
      {{"SEEK", "1:2:3"}, "", {}},
      {{"NOSUCH", "1"}, "", {}},
      {{"CLEAR"}, "Clearing playlist...\r\n", {JournalRequest(0, kReqClearPlaylist)}},
  };
  for (const auto& c : cases) {
    const std::size_t before = Journal().size();
    const TProcessResult result = Jarvet(c.Parameters);
    EXPECT_EQ(result.Status, 0) << c.Parameters[0];
    EXPECT_EQ(result.Output, c.Output) << c.Parameters[0];
    const Strings journal = Journal();
    EXPECT_EQ(Strings(journal.begin() + static_cast<long>(before), journal.end()), c.Journal)
        << c.Parameters[0];
  }
}

TEST_F(CommandsTest, PlayerStateFollowsTheCommands) {
  StartWithFourTracks();
  Jarvet({"FF", "12"});
  EXPECT_EQ(Ask(0, kReqGetOutputTime), 30000);
  Jarvet({"SEEK", "0"});
  EXPECT_EQ(Ask(0, kReqGetOutputTime), 0);
  Jarvet({"SKIPTO", "3"});
  EXPECT_EQ(Ask(0, kReqGetPlaylistPos), 2);
  EXPECT_EQ(Ask(1, kReqGetOutputTime), 60);  // the length of the third track
  EXPECT_EQ(Jarvet({"POS"}).Output, "2\r\n");
  Jarvet({"CLOSE"});
  EndProcess(PlayerProcess);
  PlayerProcess = -1;
  EXPECT_EQ(Jarvet({"VERSION"}).Output, "0\r\n") << "the player has gone";
}

TEST_F(CommandsTest, NoPlayerRunning) {
  const struct {
    Strings Parameters;
    const char* Output;
  } cases[] = {
      {{"VERSION"}, "0\r\n"},
      {{"POS"}, "0\r\n"},
      {{"PAUSE"}, "Playback resumed\r\n"},
      {{"STOP"}, "Playback stopped\r\n"},
      {{"PLAY"}, "Playing...\r\n"},
      {{"NEXT"}, "Skipping to next track\r\n"},
      {{"PREV"}, "Skipping to previous track\r\n"},
      {{"CLEAR"}, "Clearing playlist...\r\n"},
      {{"CLOSE"}, "Closing Winamp...\r\n"},
      {{"FF"}, "Fast forwarding 5 s\r\n"},
      {{"REW", "10"}, "Rewinding 10 s\r\n"},
      {{"SEEK", "90"}, "Seeking to 90 s\r\n"},
      {{"SETVOL", "10"}, "Setting volume to 10\r\n"},
      {{"VOLUP"}, "Increasing volume by 1 units\r\n"},
      {{"VOLDOWN", "3"}, "Decreasing volume by 3 units\r\n"},
      {{"SKIPTO", "1"}, ""},
  };
  for (const auto& c : cases) {
    const TProcessResult result = Jarvet(c.Parameters);
    EXPECT_EQ(result.Status, 0) << c.Parameters[0];
    EXPECT_EQ(result.Output, c.Output) << c.Parameters[0];
  }
}

TEST_F(CommandsTest, BannerAndArgumentText) {
  for (const Strings& parameters : {Strings{}, Strings{Dir}}) {
    const TProcessResult banner = RunProcess(JARVET_PROGRAM, parameters);
    EXPECT_EQ(banner.Status, 0);
    EXPECT_EQ(banner.Output.rfind("Jarvet 1.1\r\n", 0), 0u);
  }
  StartWithFourTracks();
  // A player directory with the command word's letters in it, the word typed in lower case.
  // (Elsewhere than on Windows, only an existing directory names a window-message player.)
  std::filesystem::create_directories(std::filesystem::u8path(Dir + "/Stuff"));
  std::filesystem::create_directories(std::filesystem::u8path(Dir + "/my player"));
  const std::size_t before = Journal().size();
  const TProcessResult result = RunProcess(JARVET_PROGRAM, {Dir + "/Stuff", "ff", "10"});
  EXPECT_EQ(result.Output, "Fast forwarding 10 s\r\n");
  EXPECT_EQ(Journal().size(), before + 2);
  // A parameter with a blank is quoted on the command line, and the quotes stay in the argument.
  EXPECT_EQ(RunProcess(JARVET_PROGRAM, {Dir, "SEEK", "1:30", " "}).Output, "");
  EXPECT_EQ(RunProcess(JARVET_PROGRAM, {Dir + "/my player", "SEEK", "1:30"}).Output,
            "Seeking to 1:30 s\r\n");
}

TEST_F(CommandsTest, FailedWriteEndsWithStatus1) {
  const TProcessResult result = RunProcess(JARVET_PROGRAM, {Dir, "STOP"}, kUnwritableOutput);
  EXPECT_EQ(result.Status, 1);
}

}  // namespace
}  // namespace jarvet::testing
