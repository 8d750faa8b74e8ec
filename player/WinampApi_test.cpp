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
      {[](TWinampApi& p) { p.GetVolume(); }, TSentMessage{1024, -666, 122}},
      {[](TWinampApi& p) { p.GetShuffle(); }, TSentMessage{1024, 0, 250}},
      {[](TWinampApi& p) { p.GetRepeat(); }, TSentMessage{1024, 0, 251}},
      {[](TWinampApi& p) { p.SetShuffle(true); }, TSentMessage{1024, 1, 252}},
      {[](TWinampApi& p) { p.SetRepeat(false); }, TSentMessage{1024, 0, 253}},
      {[](TWinampApi& p) { p.FadeOut(); }, TSentMessage{273, 40147, 0}},
      {[](TWinampApi& p) { p.GetPositionMs(); }, TSentMessage{1024, 0, 105}},
      {[](TWinampApi& p) { p.JumpToTime(1234); }, TSentMessage{1024, 1234, 106}},
      {[](TWinampApi& p) { p.GetPlayingFile(); }, TSentMessage{1024, 0, 3031}},
      {[](TWinampApi& p) { p.GetPlayingTitle(); }, TSentMessage{1024, 0, 3034}},
  };
  for (const auto& c : cases) {
    platform.Sent.clear();
    c.Call(player);
    ASSERT_EQ(platform.Sent.size(), 1u);
    EXPECT_EQ(platform.Sent[0], c.Expected) << c.Expected.Message << " " << c.Expected.WParam
                                            << " " << c.Expected.LParam;
  }
}

std::string Wide(const std::u16string& text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

TEST(WinampApi, LengthInMillisecondsFallsBackToSeconds) {
  const struct {
    std::int32_t Ms, Seconds, Expected;
    std::size_t Messages;
  } cases[] = {
      {245123, 245, 245123, 1},  // a player that knows the ms request
      {0, 245, 245000, 2},       // one that answers it with 0
      {1, 245, 245000, 2},       // or as an unknown request
      {0, -1, -1, 2},            // a length nobody knows
      {-1, 245, -1, 1},
  };
  for (const auto& c : cases) {
    TFakePlatform platform;
    TWinampApi player(platform, "dir");
    platform.Answer(2, 105, c.Ms);
    platform.Answer(1, 105, c.Seconds);
    EXPECT_EQ(player.GetLengthMs(), c.Expected) << c.Ms << " " << c.Seconds;
    EXPECT_EQ(platform.Sent.size(), c.Messages) << c.Ms << " " << c.Seconds;
  }
}

TEST(WinampApi, EntryTextsAreReadFromThePlayersMemory) {
  TFakePlatform platform;
  TWinampApi player(platform, "dir");
  platform.Memory[0x20000] = Wide(u"C:\\M\u00FCsik\\\u65E5.mp3") + std::string(2, '\0');
  platform.Memory[0x30000] = std::string("Caf\xE9 \xBD\0", 8);  // ANSI: Windows-1252 here
  platform.Answer(4, 214, 0x20000);
  platform.Answer(4, 213, 0x1);      // not a pointer: the ANSI request is asked then
  platform.Answer(4, 212, 0x30000);
  EXPECT_EQ(player.GetPlaylistFile(4), "C:\\M\xC3\xBCsik\\\xE6\x97\xA5.mp3");
  EXPECT_EQ(platform.Sent, (std::vector<TSentMessage>{Request(4, 214)}));
  const std::optional<std::string> title = player.GetPlaylistTitle(4);
  ASSERT_TRUE(title.has_value());
  EXPECT_EQ(title->substr(0, 3), "Caf");
  EXPECT_EQ(platform.Sent.back(), Request(4, 212));
  // Neither request answered: no text, and the memory is not touched at a null address.
  const std::size_t reads = platform.Reads.size();
  EXPECT_EQ(player.GetPlaylistFile(5), std::nullopt);
  EXPECT_EQ(platform.Reads.size(), reads);
  // The answer's low 32 bits are the address of a 32-bit player.
  platform.Answer(6, 214, static_cast<std::int32_t>(0x20000));
  EXPECT_TRUE(player.GetPlaylistFile(6).has_value());
}

TEST(WinampApi, PlayerTextIsReadInPageSizedChunksUpToItsEnd) {
  TFakePlatform platform;
  const std::string longText(40000, 'x');
  platform.Memory[0x10FF0] = std::string("short\0after", 11);
  platform.Memory[0x40000] = longText;  // no terminator at all
  platform.Memory[0x50000] = Wide(u"ab") + std::string("\0", 1);  // a half unit, then nothing
  platform.Memory[0x60000] = std::string("a\0\0b\0\0", 6);  // wide: the zero pair at a unit
  EXPECT_EQ(ReadPlayerText(platform, 1, 0x10FF0, false), "short");
  EXPECT_EQ(platform.Reads.front(), std::make_pair(std::uint32_t{0x10FF0}, std::size_t{16}))
      << "the first read stops at the page's end";
  const std::optional<std::string> cut = ReadPlayerText(platform, 1, 0x40000, false);
  ASSERT_TRUE(cut.has_value());
  EXPECT_EQ(cut->size(), kMaxPlayerTextBytes);
  EXPECT_EQ(ReadPlayerText(platform, 1, 0x50000, true), Wide(u"ab"));
  EXPECT_EQ(ReadPlayerText(platform, 1, 0x60000, true), std::string("a\0\0b", 4));
  EXPECT_EQ(ReadPlayerText(platform, 1, 0x70000, false), std::nullopt);
}

TEST(WinampApi, FilesAreEnqueuedWideFromVersion5On) {
  for (const std::int32_t version : {0x5666, 0x2095}) {
    TFakePlatform platform;
    platform.Answer(0, 0, version);
    TWinampApi player(platform, "dir");
    player.EnqueueFile("/m/a\xC3\xA9.mp3");
    player.EnqueueFile("/m/b.mp3");
    ASSERT_EQ(platform.Copied.size(), 2u);
    EXPECT_EQ(platform.CountOf(Request(0, 0)), 1u) << "the version is asked once";
    if (version >= 0x5000) {
      EXPECT_EQ(platform.Sent.back(), (TSentMessage{74, 1100, 18}));
      EXPECT_EQ(platform.Copied[0], Wide(u"/m/a\u00E9.mp3") + std::string(2, '\0'));
    } else {
      EXPECT_EQ(platform.Sent.back(), (TSentMessage{74, 100, 9}));
      EXPECT_EQ(platform.Copied[1], std::string("/m/b.mp3\0", 9));
    }
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

// Each entry's title from the #EXTINF line before it; none where no such line stands there.
TEST(ParsePlaylistDump, TitlesFromExtinfLines) {
  const std::pair<std::string, Strings> cases[] = {
      {"#EXTM3U\r\n#EXTINF:245,Song, with comma\r\n/m/a.mp3\r\n/m/b.mp3\r\n",
       {"Song, with comma", ""}},
      {"#EXTINF:1,A\r\n#EXTINF:2,B\r\n/m/a.mp3\n", {"B"}},
      {"#EXTINF:1\n/m/a.mp3\n#EXTINF:-1,Radio\r\n#comment\nhttp://r/\n", {"", "Radio"}},
      {"#EXTINF:1,T\r\r\n\n", {"T"}},
  };
  for (const auto& [text, titles] : cases) {
    TPlaylist list;
    Strings got;
    ParsePlaylistDump(text, list, &got);
    EXPECT_EQ(got, titles) << text;
    EXPECT_EQ(static_cast<std::size_t>(list.Count()), titles.size());
  }
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
