#include "WinampApi.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "support/FakePlatform.h"
#include "support/TempDir.h"
#include "Failure.h"

namespace jarvet {
namespace {

using testing::Command;
using testing::Request;
using testing::TFakePlatform;
using testing::TSentMessage;

TEST(WinampApi, EachOperationSendsItsMessage) {
  TFakePlatform platform;
  TWinampApi player(platform, "dir");
  EXPECT_EQ(platform.LookedUp, std::vector<std::string>{"Winamp v1.x"});
  EXPECT_EQ(player.Handle, platform.Window);
  EXPECT_FALSE(player.LengthAsTime);
  EXPECT_FALSE(player.PositionAsTime);

  const struct {
    std::function<void(TWinampApi&)> Call;
    TSentMessage Expected;
  } cases[] = {
      {[](TWinampApi& p) { p.CloseWinamp(); }, TSentMessage{273, 40001, 0}},
      {[](TWinampApi& p) { p.ClearPlaylist(); }, TSentMessage{1024, 0, 101}},
      {[](TWinampApi& p) { p.Play(); }, TSentMessage{273, 40045, 0}},
      {[](TWinampApi& p) { p.Stop(); }, TSentMessage{273, 40047, 0}},
      {[](TWinampApi& p) { p.Pause(); }, TSentMessage{273, 40046, 0}},
      {[](TWinampApi& p) { p.NextTrack(); }, TSentMessage{273, 40048, 0}},
      {[](TWinampApi& p) { p.PrevTrack(); }, TSentMessage{273, 40044, 0}},
      {[](TWinampApi& p) { p.Forward5s(); }, TSentMessage{273, 40148, 0}},
      {[](TWinampApi& p) { p.Rewind5s(); }, TSentMessage{273, 40144, 0}},
      {[](TWinampApi& p) { p.SeekTo(90000); }, TSentMessage{1024, 90000, 106}},
      {[](TWinampApi& p) { p.SetVolume(128); }, TSentMessage{1024, 128, 122}},
      {[](TWinampApi& p) { p.VolumeUp(); }, TSentMessage{273, 40058, 0}},
      {[](TWinampApi& p) { p.VolumeDown(); }, TSentMessage{273, 40059, 0}},
      {[](TWinampApi& p) { p.SetPlaylistPos(3); }, TSentMessage{1024, 3, 121}},
      {[](TWinampApi& p) { p.GetVersion(); }, TSentMessage{1024, 0, 0}},
      {[](TWinampApi& p) { p.GetStatus(); }, TSentMessage{1024, 0, 104}},
      {[](TWinampApi& p) { p.GetPosition(); }, TSentMessage{1024, 0, 105}},
      {[](TWinampApi& p) { p.GetLength(); }, TSentMessage{1024, 1, 105}},
      {[](TWinampApi& p) { p.GetBitrate(); }, TSentMessage{1024, 1, 126}},
      {[](TWinampApi& p) { p.GetPlaylistPos(); }, TSentMessage{1024, 0, 125}},
      {[](TWinampApi& p) { p.GetPlaylistLength(); }, TSentMessage{1024, 0, 124}},
  };
  for (const auto& c : cases) {
    platform.Sent.clear();
    c.Call(player);
    ASSERT_EQ(platform.Sent.size(), 1u);
    EXPECT_EQ(platform.Sent[0], c.Expected) << c.Expected.Message << " " << c.Expected.WParam
                                            << " " << c.Expected.LParam;
  }
}

TEST(WinampApi, QueriesAnswerThePlayersFigures) {
  TFakePlatform platform;
  TWinampApi player(platform, "dir");
  platform.Answer(0, kReqGetVersion, 0x5666);
  platform.Answer(0, kReqGetPlaylistPos, 7);
  platform.Answer(0, kReqGetPlaylistLength, 12);
  platform.Answer(1, kReqGetInfo, 128);
  platform.Answer(0, kReqGetOutputTime, 83456);
  platform.Answer(1, kReqGetOutputTime, -1);
  EXPECT_EQ(player.GetVersion(), 0x5666);
  EXPECT_EQ(player.GetPlaylistPos(), 7);
  EXPECT_EQ(player.GetPlaylistLength(), 12);
  EXPECT_EQ(player.GetBitrate(), "128");
  EXPECT_EQ(player.GetPosition(), "83456");
  EXPECT_EQ(player.GetLength(), "-1");
  player.PositionAsTime = true;
  player.LengthAsTime = true;
  platform.Answer(1, kReqGetOutputTime, 245);
  EXPECT_EQ(player.GetPosition(), "01:23");
  EXPECT_EQ(player.GetLength(), "04:05");
}

TEST(WinampApi, StatusNamesComeFromTheLow16Bits) {
  const struct {
    std::int32_t Answer;
    const char* Name;
  } cases[] = {{0, "stopped"}, {1, "playing"}, {3, "paused"},       {2, "unknown"},
               {4, "unknown"}, {-1, "unknown"}, {65537, "playing"}, {0x30003, "paused"}};
  TFakePlatform platform;
  TWinampApi player(platform, "dir");
  for (const auto& c : cases) {
    platform.Answer(0, kReqGetStatus, c.Answer);
    EXPECT_EQ(player.GetStatus(), c.Name) << c.Answer;
  }
}

TEST(WinampApi, NoPlayerWindowMeansNoEffectAndZeroAnswers) {
  TFakePlatform platform;
  platform.Window = 0;
  TWinampApi player(platform, "dir");
  player.PositionAsTime = true;
  player.LengthAsTime = true;
  player.Play();
  player.SeekTo(1000);
  EXPECT_EQ(player.Handle, 0u);
  EXPECT_TRUE(platform.Sent.empty());
  EXPECT_EQ(player.GetStatus(), "stopped");
  EXPECT_EQ(player.GetPosition(), "00:00");
  EXPECT_EQ(player.GetLength(), "00:00");
  EXPECT_EQ(player.GetBitrate(), "0");
  EXPECT_EQ(player.GetPlaylistLength(), 0);
  player.OpenFile("list.m3u");  // does not depend on the window
  EXPECT_EQ(platform.Started.size(), 1u);
}

TEST(WinampApi, LaunchCommandLines) {
  TFakePlatform platform;
  const char sep = kDirectorySeparator;
  TWinampApi player(platform, std::string("C:") + sep + "Player");
  player.OpenFile("C:\\list.m3u");
  player.AddFile("C:\\list.m3u");
  TWinampApi trailing(platform, std::string("C:") + sep + "Player" + sep);
  trailing.OpenFile("a\"b");
  const std::string exe = std::string("C:") + sep + "Player" + sep + "winamp.exe";
  ASSERT_EQ(platform.Started.size(), 3u);
  EXPECT_EQ(platform.Started[0], "\"" + exe + "\" \"C:\\list.m3u\"");
  EXPECT_EQ(platform.Started[1], "\"" + exe + "\" /ADD \"C:\\list.m3u\"");
  // a trailing separator stays doubled and quotes are not escaped
  EXPECT_EQ(platform.Started[2], std::string("\"C:") + sep + "Player" + sep + sep +
                                     "winamp.exe\" \"a\"b\"");
}

TEST(FormatTime, MinutesAndSeconds) {
  const struct {
    std::int32_t Value;
    std::int32_t Divisor;
    const char* Text;
  } cases[] = {
      {0, 1000, "00:00"},     {83456, 1000, "01:23"}, {999, 1000, "00:00"},
      {-1, 1000, "00:00"},    {59999, 1000, "00:59"}, {60000, 1000, "01:00"},
      {245, 1, "04:05"},      {3725, 1, "62:05"},     {6000, 1, "100:00"},
      {-1, 1, "-00:01"},      {-61, 1, "-01:01"},     {-5000, 1000, "-00:05"},
      {INT32_MIN, 1, "-35791394:08"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatTime(c.Value, c.Divisor), c.Text) << c.Value;
  EXPECT_EQ(PadTwo(0), "00");
  EXPECT_EQ(PadTwo(9), "09");
  EXPECT_EQ(PadTwo(10), "10");
  EXPECT_EQ(PadTwo(100), "100");
}

std::vector<std::string> Entries(const std::string& text) {
  TPlaylist list;
  ParsePlaylistDump(text, list);
  std::vector<std::string> entries;
  for (std::int64_t i = 0; i < list.Count(); ++i) entries.push_back(list.Get(i));
  return entries;
}

using Strings = std::vector<std::string>;

TEST(ParsePlaylistDump, LineRules) {
  EXPECT_EQ(Entries("#EXTM3U\r\n#EXTINF:245,Song\r\n/m/a.mp3\r\n#EXTINF:1,B\r\n/m/b.mp3\r\n"),
            (Strings{"/m/a.mp3", "/m/b.mp3"}));
  EXPECT_EQ(Entries("a\nb\n"), Entries("a\r\nb\r\n"));
  EXPECT_EQ(Entries(""), Strings{});
  EXPECT_EQ(Entries("a"), Strings{"a"});
  EXPECT_EQ(Entries("a\r\n\r\n"), (Strings{"a", ""}));
  EXPECT_EQ(Entries("a\rb\n"), Strings{"ab"});  // a lone CR is dropped, it ends nothing
  EXPECT_EQ(Entries("\r#dropped\n\r\r#dropped\r\n\r\r\n\rc\r\rd\r\r\n"), (Strings{"", "cd"}));
  EXPECT_EQ(Entries(" #kept\n#\n#dropped\n"), Strings{" #kept"});
  EXPECT_EQ(Entries("a\nb\n\x1A" "c\nd\n"), (Strings{"a", "b"}));
  EXPECT_EQ(Entries("a\x1A" "b\n"), Strings{"a\x1A" "b"});
  const std::string longLine(300, 'x');
  EXPECT_EQ(Entries(longLine + "\n"), Strings{longLine});
}

TEST(Playlist, IndexOutsideTheListIsAFailure) {
  TPlaylist list;
  list.Add("a");
  EXPECT_EQ(list.Get(0), "a");
  for (std::int64_t index : {-1, 1, 5}) {
    try {
      list.Get(index);
      ADD_FAILURE() << index;
    } catch (const EStringListError& e) {
      EXPECT_EQ(e.KindName(), "EStringListError");
      EXPECT_EQ(e.Message(), "List index out of bounds (" + std::to_string(index) + ")");
    }
  }
}

class GetPlaylistTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Temp.Ok()); }
  void WriteDump(const std::string& text) {
    std::ofstream(Dir + "/winamp.m3u", std::ios::binary) << text;
  }
  int FailureCode(const std::string& dir) {
    TWinampApi player(Platform, dir);
    TPlaylist list;
    try {
      player.GetPlaylist(list);
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.KindName(), "EInOutError");
      return e.Code();
    }
    return 0;
  }
  testing::TTempDir Temp{"jarvet-player"};
  const std::string Dir = Temp.Path();
  TFakePlatform Platform;
};

TEST_F(GetPlaylistTest, AppendsTheDumpAfterAskingForIt) {
  WriteDump("#EXTM3U\r\n#EXTINF:1,A\r\n/m/a.mp3\r\n/m/b.mp3\r\n");
  TWinampApi player(Platform, Dir);
  TPlaylist list;
  list.Add("before");
  // The dump must be written by the player before it is read.
  Platform.OnMessage = [&](const TSentMessage& m) {
    if (m == Request(0, kReqWritePlaylist)) WriteDump("#EXTM3U\r\n/m/a.mp3\r\n/m/b.mp3\r\n");
  };
  player.GetPlaylist(list);
  player.GetPlaylist(list);
  EXPECT_EQ(Platform.CountOf(Request(0, kReqWritePlaylist)), 2u);
  ASSERT_EQ(list.Count(), 5);
  EXPECT_EQ(list.Get(0), "before");
  EXPECT_EQ(list.Get(1), "/m/a.mp3");
  EXPECT_EQ(list.Get(4), "/m/b.mp3");
}

TEST_F(GetPlaylistTest, UnreadableDumpIsAnInOutError) {
  EXPECT_EQ(FailureCode(Dir), 2);                 // no dump
  EXPECT_EQ(FailureCode(Dir + "/missing"), 3);    // no directory
  ASSERT_TRUE(std::filesystem::create_directory(Dir + "/winamp.m3u"));
  EXPECT_EQ(FailureCode(Dir), 5);                 // a directory where the dump should be
}

}  // namespace
}  // namespace jarvet
