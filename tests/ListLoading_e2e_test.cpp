// PLAY with a list and ENQUEUE, run as a process against the simulated player: the player is
// started on the one fixed list file, which is gone afterwards.
#include <gtest/gtest.h>

#include "File.h"
#include "Platform.h"
#include "support/PlayerFixture.h"

namespace jarvet::testing {
namespace {

class ListLoadingTest : public PlayerFixture {
 protected:
  void TearDown() override {
    std::remove(kListFilePath);
    PlayerFixture::TearDown();
  }
  void WriteList(int entries) {
    std::string list = "#EXTM3U\r\n";
    for (int i = 1; i <= entries; ++i) {
      list += "#EXTINF:60,New " + std::to_string(i) + "\r\n/new/" + std::to_string(i) + ".mp3\r\n";
    }
    WriteFile(kListFilePath, list);
  }
  void StartWithEntries(int entries) {
    std::vector<std::string> options;
    for (int i = 1; i <= entries; ++i) {
      options.push_back("--entry");
      options.push_back("/old/" + std::to_string(i) + ".mp3|100");
    }
    StartPlayer(options);
  }
  std::int32_t PlaylistLength() const { return SendToPlayer(kWmUser, 0, kReqGetPlaylistLength); }
};

TEST_F(ListLoadingTest, PlayReplacesThePlaylistAndShowsItsLength) {
  StartWithEntries(2);
  WriteList(3);
  const TProcessResult result = Jarvet({"PLAY", "\"C:\\Music\\Rock\"", "*.mp3"});
  EXPECT_EQ(result.Status, 0);
  EXPECT_EQ(result.Output,
            "Adding 3 file(s) in \"C:\\\\Music\\\\Rock\" matching \"*.mp3\" to playlist...\r\n"
            "Playing...\r\n");
  EXPECT_FALSE(FileExists(kListFilePath));
  EXPECT_EQ(PlaylistLength(), 3);
  EXPECT_EQ(SendToPlayer(kWmUser, 0, kReqGetStatus), 1) << "playing";
}

TEST_F(ListLoadingTest, EnqueueShowsTheGrowth) {
  StartWithEntries(10);
  WriteList(3);
  const TProcessResult result = Jarvet({"ENQUEUE", "\"/music\" *.ogg"});
  EXPECT_EQ(result.Output, "Adding 3 file(s) in \"/music\" matching \"*.ogg\" to playlist...\r\n");
  EXPECT_EQ(PlaylistLength(), 13);
  EXPECT_FALSE(FileExists(kListFilePath));
}

TEST_F(ListLoadingTest, NoListFileStillWritesTheLine) {
  StartWithEntries(4);
  const TProcessResult result = Jarvet({"ENQUEUE", "*.mp3"});
  EXPECT_EQ(result.Status, 0);
  EXPECT_EQ(result.Output, "Adding 0 file(s) in \"\" matching \"*.mp3\" to playlist...\r\n");
  EXPECT_EQ(PlaylistLength(), 4);
}

TEST_F(ListLoadingTest, NoPlayerRunningStartsOneButCountsZero) {
  WriteList(3);
  const TProcessResult result = Jarvet({"PLAY", "\"/music\"", "*"});
  EXPECT_EQ(result.Output,
            "Adding 0 file(s) in \"/music\" matching \"*\" to playlist...\r\nPlaying...\r\n");
  EXPECT_EQ(PlaylistLength(), 3) << "the started player holds the list";
  EXPECT_FALSE(FileExists(kListFilePath));
}

}  // namespace
}  // namespace jarvet::testing
