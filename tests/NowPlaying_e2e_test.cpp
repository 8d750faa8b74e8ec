// INFO run as a process against the simulated player, on small tagged files.
#include <gtest/gtest.h>


#include "support/FailureReport.h"
#include "support/PlayerFixture.h"
#include "support/TagBytes.h"

namespace jarvet::testing {
namespace {

class NowPlayingTest : public PlayerFixture {
 protected:
  std::string Track(const std::string& name, const std::string& bytes) {
    const std::string path = Dir + "/" + name;
    WriteFile(path, bytes);
    return path;
  }
  // The player plays the second of three entries, 83456 ms into its 245 s, at 128 kbit/s.
  void PlayAsSecondEntry(const std::string& path) {
    StartPlayer({"--entry", Dir + "/first.mp3|100", "--entry", path + "|245", "--entry",
                 Dir + "/third.mp3|100", "--position", "1", "--status", "playing", "--time",
                 "83456", "--bitrate", "128"});
  }
  std::string InfoFor(const std::string& bytes) {
    PlayAsSecondEntry(Track("track.mp3", bytes));
    const TProcessResult result = Jarvet({"INFO"});
    EXPECT_EQ(result.Status, 0);
    return result.Output;
  }
};

const std::vector<std::pair<std::string, std::string>> kFullTag = {
    {"TIT2", "Song"}, {"TPE1", "A"}, {"TALB", "B"}, {"TYER", "2001"}, {"TRCK", "3/12"}};

TEST_F(NowPlayingTest, Id3v2LineAndOnlyId3v2WhenBothTagsAreThere) {
  const std::string both =
      Id3v23Tag(kFullTag) + AudioBytes() + Id3v1Trailer("Other", "X", "Y", "1999", 9);
  EXPECT_EQ(InfoFor(both),
            "Winamp now playing: 3. Song (01:23/04:05) @ 128 kbps by A from B (2001).\r\n");
  const std::vector<std::string> journal = Journal();
  const std::vector<std::string> asked(journal.end() - 5, journal.end());
  EXPECT_EQ(asked, (std::vector<std::string>{JournalRequest(0, kReqWritePlaylist), JournalRequest(0, kReqGetPlaylistPos), JournalRequest(1, kReqGetInfo),
                                             JournalRequest(1, kReqGetOutputTime), JournalRequest(0, kReqGetOutputTime)}))
      << "dump, position, then bit rate, length and position in that order";
}

TEST_F(NowPlayingTest, Id3v1LineHasNoBlankBeforeTheParenthesis) {
  EXPECT_EQ(InfoFor(AudioBytes() + Id3v1Trailer("Song", "A", "B", "2001", 3)),
            "Winamp now playing: 3. Song(01:23/04:05) @ 128 kbps by A from B (2001).\r\n");
}

TEST_F(NowPlayingTest, Id3v10TrailerAndEmptyTitle) {
  EXPECT_EQ(InfoFor(AudioBytes() + Id3v1Trailer("", "", "", "", 0)),
            "Winamp now playing: 0. (01:23/04:05) @ 128 kbps.\r\n");
}

TEST_F(NowPlayingTest, SuffixLeavesOutEmptyFields) {
  EXPECT_EQ(InfoFor(Id3v23Tag({{"TIT2", "Song"}, {"TALB", "B"}, {"TYER", "2001"}})),
            "Winamp now playing: 0. Song (01:23/04:05) @ 128 kbps from B (2001).\r\n");
}

// A line feed or tab in a tag is a blank in the line, which stays one line (as in NOW).
TEST_F(NowPlayingTest, ControlCharactersOfATagAreBlanks) {
  EXPECT_EQ(InfoFor(Id3v23Tag({{"TIT2", "Two\nLines"}, {"TPE1", "A\tB"}, {"TALB", "C\rD"}})),
            "Winamp now playing: 0. Two Lines (01:23/04:05) @ 128 kbps by A B from C D.\r\n");
  StopPlayer();
  EXPECT_EQ(InfoFor(AudioBytes() + Id3v1Trailer("So\nng", "A\x1B" "B", "B", "20\t1", 3)),
            "Winamp now playing: 3. So ng(01:23/04:05) @ 128 kbps by A B from B (20 1).\r\n");
}

TEST_F(NowPlayingTest, NoLineWithoutATitleOrWithoutATag) {
  EXPECT_EQ(InfoFor(Id3v23Tag({{"TPE1", "A"}}) + AudioBytes() +
                    Id3v1Trailer("Song", "A", "B", "2001", 3)),
            "")
      << "an ID3v2 tag without a title: no fall-back to the trailer";
  StopPlayer();
  EXPECT_EQ(InfoFor(AudioBytes()), "");
}

TEST_F(NowPlayingTest, PositionOutsideThePlaylistIsReported) {
  StartPlayer({"--entry", Dir + "/a.mp3|100", "--entry", Dir + "/b.mp3|100", "--position", "1"});
  SendToPlayer(kWmUser, 0, kReqClearPlaylist);  // the playlist emptied: position 0 of no entries
  const TProcessResult result = Jarvet({"INFO"});
  EXPECT_EQ(result.Status, 1);
  EXPECT_TRUE(IsFailureReport(result.Output, "EStringListError", "List index out of bounds \\(0\\)\\."))
      << result.Output;
}

TEST_F(NowPlayingTest, NoPlayerButAnOldDump) {
  const std::string path = Track("old.mp3", Id3v23Tag(kFullTag));
  WriteFile(Dir + "/winamp.m3u", "#EXTM3U\r\n#EXTINF:245,Song\r\n" + path + "\r\n/x.mp3\r\n");
  const TProcessResult result = Jarvet({"INFO"});
  EXPECT_EQ(result.Status, 0);
  EXPECT_EQ(result.Output,
            "Winamp now playing: 3. Song (00:00/00:00) @ 0 kbps by A from B (2001).\r\n");
}

TEST_F(NowPlayingTest, UnreadableDumpIsReported) {
  const TProcessResult noDump = Jarvet({"INFO"});
  EXPECT_EQ(noDump.Status, 1);
  EXPECT_TRUE(IsFailureReport(noDump.Output, "EInOutError", "File not found\\.")) << noDump.Output;
  const TProcessResult noDir = RunProcess(JARVET_PROGRAM, {Dir + "/missing", "INFO"});
#ifdef _WIN32
  EXPECT_EQ(noDir.Status, 1);
  EXPECT_TRUE(IsFailureReport(noDir.Output, "EInOutError", "Invalid filename\\.")) << noDir.Output;
#else
  // Elsewhere a name that is not a directory names an MPRIS player, and none has this name.
  EXPECT_EQ(noDir.Status, 3);
  EXPECT_EQ(noDir.Output, "");
#endif
}

}  // namespace
}  // namespace jarvet::testing
