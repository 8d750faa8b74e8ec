// The engine's answers, state changes, playlist dump, list files and journal.
#include "PlayerEngine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "PlayerProtocol.h"
#include "support/JournalLines.h"
#include "support/TempDir.h"

namespace jarvet::simplayer {
namespace {

using testing::JournalCommand;
using testing::JournalLine;
using testing::JournalRequest;
using testing::Lines;

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class PlayerEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Temp_.Ok());
    Dir = Temp_.Path();
  }

  // Three entries, the second current, playing 83.456 s into it.
  TPlayerState ThreeEntries(TStatus status = TStatus::Playing) const {
    TPlayerState state;
    state.Directory = Dir.string();
    state.Entries = {{"/m/a.mp3", 245, "Song A"}, {"/m/b.mp3", 100, "Song B"}, {"/m/c", -1, "c"}};
    state.Position = 1;
    state.Status = status;
    state.Time = 83456;
    state.Bitrate = 192;
    state.Volume = 100;
    return state;
  }

  fs::path Dir;

 private:
  jarvet::testing::TTempDir Temp_{"simplayer-test"};
};

std::int32_t Ask(TPlayerEngine& engine, std::int32_t wParam, std::int32_t request) {
  return engine.HandleMessage(kWmUser, wParam, request);
}

TEST_F(PlayerEngineTest, CommandsChangeTheStateAsThePlayerDoes) {
  const struct {
    const char* Name;
    TStatus Status;
    std::int32_t Position, Time, Volume;
    std::int32_t Command;
    TStatus ExpectedStatus;
    std::int32_t ExpectedPosition, ExpectedTime, ExpectedVolume;
  } cases[] = {
      {"play restarts", TStatus::Paused, 1, 7000, 9, kCmdPlay, TStatus::Playing, 1, 0, 9},
      {"pause", TStatus::Playing, 1, 7000, 9, kCmdPause, TStatus::Paused, 1, 7000, 9},
      {"unpause", TStatus::Paused, 1, 7000, 9, kCmdPause, TStatus::Playing, 1, 7000, 9},
      {"pause stopped", TStatus::Stopped, 1, 0, 9, kCmdPause, TStatus::Stopped, 1, 0, 9},
      {"stop", TStatus::Playing, 1, 7000, 9, kCmdStop, TStatus::Stopped, 1, 0, 9},
      {"next plays", TStatus::Playing, 1, 7000, 9, kCmdNextTrack, TStatus::Playing, 2, 0, 9},
      {"next at end", TStatus::Playing, 2, 7000, 9, kCmdNextTrack, TStatus::Playing, 2, 7000, 9},
      {"prev stopped", TStatus::Stopped, 2, 0, 9, kCmdPrevTrack, TStatus::Stopped, 1, 0, 9},
      {"prev at start", TStatus::Playing, 0, 7000, 9, kCmdPrevTrack, TStatus::Playing, 0, 7000, 9},
      {"forward", TStatus::Playing, 1, 7000, 9, kCmdForward5s, TStatus::Playing, 1, 12000, 9},
      {"forward paused", TStatus::Paused, 1, 7000, 9, kCmdForward5s, TStatus::Paused, 1, 12000, 9},
      {"forward stopped", TStatus::Stopped, 1, 0, 9, kCmdForward5s, TStatus::Stopped, 1, 0, 9},
      {"rewind", TStatus::Playing, 1, 7000, 9, kCmdRewind5s, TStatus::Playing, 1, 2000, 9},
      {"rewind to 0", TStatus::Playing, 1, 3000, 9, kCmdRewind5s, TStatus::Playing, 1, 0, 9},
      {"volume up", TStatus::Stopped, 1, 0, 200, kCmdVolumeUp, TStatus::Stopped, 1, 0, 204},
      {"volume up top", TStatus::Stopped, 1, 0, 253, kCmdVolumeUp, TStatus::Stopped, 1, 0, 255},
      {"volume down", TStatus::Stopped, 1, 0, 200, kCmdVolumeDown, TStatus::Stopped, 1, 0, 196},
      {"volume down 0", TStatus::Stopped, 1, 0, 2, kCmdVolumeDown, TStatus::Stopped, 1, 0, 0},
      {"unknown", TStatus::Playing, 1, 7000, 9, 40999, TStatus::Playing, 1, 7000, 9},
  };
  for (const auto& c : cases) {
    TPlayerState state = ThreeEntries(c.Status);
    state.Position = c.Position;
    state.Time = c.Time;
    state.Volume = c.Volume;
    TPlayerEngine engine(state, "");
    EXPECT_EQ(engine.HandleMessage(kWmCommand, c.Command, 0), 0) << c.Name;
    EXPECT_EQ(engine.State.Status, c.ExpectedStatus) << c.Name;
    EXPECT_EQ(engine.State.Position, c.ExpectedPosition) << c.Name;
    EXPECT_EQ(engine.State.Time, c.ExpectedTime) << c.Name;
    EXPECT_EQ(engine.State.Volume, c.ExpectedVolume) << c.Name;
    EXPECT_FALSE(engine.CloseRequested()) << c.Name;
  }
}

TEST_F(PlayerEngineTest, WithoutEntriesNothingPlays) {
  TPlayerState empty;
  empty.Directory = Dir.string();
  TPlayerEngine engine(empty, "");
  for (std::int32_t command : {kCmdPlay, kCmdNextTrack, kCmdPrevTrack}) {
    engine.HandleMessage(kWmCommand, command, 0);
  }
  EXPECT_EQ(engine.State.Status, TStatus::Stopped);
  EXPECT_EQ(engine.State.Position, 0);
  EXPECT_EQ(Ask(engine, 1, kReqGetOutputTime), -1) << "no entry, no length";
}

TEST_F(PlayerEngineTest, QueriesAnswerAsThePlayerDoes) {
  const struct {
    TStatus Status;
    std::int32_t WParam, Request, Answer;
  } cases[] = {
      {TStatus::Playing, 0, kReqGetVersion, 0x5666},
      {TStatus::Playing, 0, kReqGetStatus, 1},
      {TStatus::Paused, 0, kReqGetStatus, 3},
      {TStatus::Stopped, 0, kReqGetStatus, 0},
      {TStatus::Playing, 0, kReqGetOutputTime, 83456},
      {TStatus::Paused, 0, kReqGetOutputTime, 83456},
      {TStatus::Stopped, 0, kReqGetOutputTime, -1},
      {TStatus::Stopped, 1, kReqGetOutputTime, 100},
      {TStatus::Playing, 0, kReqGetPlaylistLength, 3},
      {TStatus::Playing, 0, kReqGetPlaylistPos, 1},
      {TStatus::Playing, 1, kReqGetInfo, 192},
      {TStatus::Playing, 0, kReqGetInfo, 44},
      {TStatus::Playing, 2, kReqGetInfo, 2},
      {TStatus::Playing, 0, 999, 1},
      {TStatus::Playing, 7, kReqGetOutputTime, 1},
  };
  for (const auto& c : cases) {
    TPlayerEngine engine(ThreeEntries(c.Status), "");
    EXPECT_EQ(Ask(engine, c.WParam, c.Request), c.Answer)
        << "request " << c.Request << " wParam " << c.WParam;
  }
}

TEST_F(PlayerEngineTest, RequestsThatChangeTheState) {
  const struct {
    TStatus Status;
    std::int32_t WParam, Request, Answer;
    std::int32_t Time, Position, Volume;
  } cases[] = {
      {TStatus::Playing, 5000, kReqJumpToTime, 0, 5000, 1, 100},
      {TStatus::Paused, -10, kReqJumpToTime, 0, 0, 1, 100},
      {TStatus::Stopped, 5000, kReqJumpToTime, -1, 83456, 1, 100},
      {TStatus::Playing, 2, kReqSetPlaylistPos, 0, 83456, 2, 100},
      {TStatus::Playing, 3, kReqSetPlaylistPos, 0, 83456, 1, 100},
      {TStatus::Playing, -1, kReqSetPlaylistPos, 0, 83456, 1, 100},
      {TStatus::Playing, 0x1FF, kReqSetVolume, 0, 83456, 1, 255},
      {TStatus::Playing, 256, kReqSetVolume, 0, 83456, 1, 0},
      {TStatus::Playing, -1, kReqSetVolume, 0, 83456, 1, 255},
  };
  for (const auto& c : cases) {
    TPlayerEngine engine(ThreeEntries(c.Status), "");
    EXPECT_EQ(Ask(engine, c.WParam, c.Request), c.Answer) << c.Request << " " << c.WParam;
    EXPECT_EQ(engine.State.Time, c.Time) << c.Request << " " << c.WParam;
    EXPECT_EQ(engine.State.Position, c.Position) << c.Request << " " << c.WParam;
    EXPECT_EQ(engine.State.Volume, c.Volume) << c.Request << " " << c.WParam;
    EXPECT_EQ(engine.State.Status, c.Status) << "set-position does not play";
  }

  TPlayerEngine engine(ThreeEntries(), "");
  EXPECT_EQ(Ask(engine, 0, kReqClearPlaylist), 0);
  EXPECT_EQ(Ask(engine, 0, kReqGetPlaylistLength), 0);
  EXPECT_EQ(Ask(engine, 0, kReqGetPlaylistPos), 0);
  EXPECT_EQ(Ask(engine, 0, kReqGetStatus), 0);

  engine.HandleMessage(kWmCommand, kCmdClose, 0);
  EXPECT_TRUE(engine.CloseRequested());
}

TEST_F(PlayerEngineTest, WritesThePlaylistDump) {
  TPlayerEngine engine(ThreeEntries(), "");
  WriteBytes(Dir / "winamp.m3u", "an older, longer dump that must not shine through\r\n");
  EXPECT_EQ(Ask(engine, 0, kReqWritePlaylist), 1);
  EXPECT_EQ(ReadBytes(Dir / "winamp.m3u"),
            "#EXTM3U\r\n"
            "#EXTINF:245,Song A\r\n/m/a.mp3\r\n"
            "#EXTINF:100,Song B\r\n/m/b.mp3\r\n"
            "#EXTINF:-1,c\r\n/m/c\r\n");

  Ask(engine, 0, kReqClearPlaylist);
  EXPECT_EQ(Ask(engine, 0, kReqWritePlaylist), -1);
  EXPECT_EQ(ReadBytes(Dir / "winamp.m3u"), "#EXTM3U\r\n");
}

TEST(ParseList, ReadsEntriesTheWayPlayersDo) {
  const struct {
    const char* Name;
    std::string Text;
    std::vector<TEntry> Entries;
  } cases[] = {
      {"empty", "", {}},
      {"extinf, CR LF",
       "#EXTM3U\r\n#EXTINF:60,New 1\r\n/new/1.mp3\r\n#EXTINF:61,New, 2\r\n/new/2.mp3\r\n",
       {{"/new/1.mp3", 60, "New 1"}, {"/new/2.mp3", 61, "New, 2"}}},
      {"LF, blank lines, no last line end",
       "\n#EXTINF:60,One\n\n/x/1.mp3\n   \n/x/2.mp3",
       {{"/x/1.mp3", 60, "One"}, {"/x/2.mp3", -1, "2"}}},
      {"extinf only for the next entry",
       "#EXTINF:5,Five\r\na.mp3\r\nb.mp3\r\n",
       {{"a.mp3", 5, "Five"}, {"b.mp3", -1, "b"}}},
      {"names from paths",
       "C:\\Music\\b side.ogg\r\n/m/.hidden\r\n/m/v1.0/track\r\n",
       {{"C:\\Music\\b side.ogg", -1, "b side"},
        {"/m/.hidden", -1, ".hidden"},
        {"/m/v1.0/track", -1, "track"}}},
      {"other comments", "# a note\r\n#EXTGENRE:x\r\n/m/a.mp3\r\n", {{"/m/a.mp3", -1, "a"}}},
      {"bad seconds",
       "#EXTINF:abc,T\r\n/m/a.mp3\r\n#EXTINF:-1\r\n/m/b.mp3\r\n",
       {{"/m/a.mp3", -1, "T"}, {"/m/b.mp3", -1, "b"}}},
      {"byte order mark", "\xEF\xBB\xBF#EXTM3U\r\n/m/a.mp3\r\n", {{"/m/a.mp3", -1, "a"}}},
  };
  for (const auto& c : cases) {
    const std::vector<TEntry> entries = ParseList(c.Text);
    ASSERT_EQ(entries.size(), c.Entries.size()) << c.Name;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(entries[i].Path, c.Entries[i].Path) << c.Name << " " << i;
      EXPECT_EQ(entries[i].Length, c.Entries[i].Length) << c.Name << " " << i;
      EXPECT_EQ(entries[i].Title, c.Entries[i].Title) << c.Name << " " << i;
    }
  }
}

TEST_F(PlayerEngineTest, HandOverOpensOrAddsAList) {
  const std::string list = (Dir / "list.m3u").string();
  WriteBytes(list, "#EXTM3U\r\n#EXTINF:60,New\r\n/new/1.mp3\r\n/new/2.mp3\r\n");
  const std::string missing = (Dir / "missing.m3u").string();

  TPlayerEngine opened(ThreeEntries(TStatus::Paused), "");
  EXPECT_EQ(opened.HandOver(kCopyDataOpen, list), 1);
  ASSERT_EQ(opened.State.Entries.size(), 2u);
  EXPECT_EQ(opened.State.Entries[0].Title, "New");
  EXPECT_EQ(opened.State.Entries[1].Path, "/new/2.mp3");
  EXPECT_EQ(opened.State.Position, 0);
  EXPECT_EQ(opened.State.Status, TStatus::Playing);
  EXPECT_EQ(opened.State.Time, 0);

  TPlayerEngine added(ThreeEntries(TStatus::Paused), "");
  EXPECT_EQ(added.HandOver(kCopyDataAdd, list), 1);
  ASSERT_EQ(added.State.Entries.size(), 5u);
  EXPECT_EQ(added.State.Entries[3].Path, "/new/1.mp3");
  EXPECT_EQ(added.State.Position, 1);
  EXPECT_EQ(added.State.Status, TStatus::Paused);
  EXPECT_EQ(added.HandOver(kCopyDataAdd, missing), 1);
  EXPECT_EQ(added.State.Entries.size(), 5u);
  EXPECT_EQ(added.HandOver(7, list), 0) << "unknown mode";
  EXPECT_EQ(added.State.Entries.size(), 5u);

  TPlayerEngine openedMissing(ThreeEntries(), "");
  openedMissing.HandOver(kCopyDataOpen, missing);
  EXPECT_TRUE(openedMissing.State.Entries.empty());
  EXPECT_EQ(openedMissing.State.Status, TStatus::Stopped);
}

TEST_F(PlayerEngineTest, JournalsEveryMessageAsItArrives) {
  const fs::path journal = Dir / "journal.log";
  WriteBytes(journal, JournalRequest(0, kReqGetVersion) + "\n");  // an earlier run's
  TPlayerEngine engine(ThreeEntries(), journal.string());
  engine.HandleMessage(kWmCommand, kCmdForward5s, 0);
  engine.HandleMessage(kWmUser, -5, kReqJumpToTime);
  engine.HandOver(kCopyDataAdd, "/tmp/a b.m3u");
  engine.HandleMessage(12, 3, 4);
  EXPECT_EQ(ReadBytes(journal),
            Lines({JournalRequest(0, kReqGetVersion), JournalCommand(kCmdForward5s),
                   JournalRequest(-5, kReqJumpToTime),
                   JournalLine(kWmCopyData, kCopyDataAdd, 12) + " /tmp/a b.m3u",
                   JournalLine(12, 3, 4)}));
}

}  // namespace
}  // namespace jarvet::simplayer
