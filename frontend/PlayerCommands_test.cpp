// The commands against the recording stand-in of the player interface: what each asks of the
// player, and what a player that lacks a feature or stops answering makes of them.
#include <gtest/gtest.h>

#include <algorithm>

#include <fstream>

#include "support/FakePlayer.h"
#include "support/StringSink.h"
#include "support/TagBytes.h"
#include "support/TempDir.h"
#include "Jarvet.h"

namespace jarvet {
namespace {

using testing::TFakePlayer;
using testing::TStringSink;
using Calls = std::vector<std::string>;

struct TResult {
  int Status;
  std::string Output, Errors;
  Calls Made;
};

TResult RunOn(const std::string& raw, const TFakePlayer& player) {
  TStringSink out, errors;
  const auto calls = player.Calls;
  const TConnect connect = [&player](const std::string&) {
    return std::unique_ptr<TPlayer>(new TFakePlayer(player));
  };
  const int status = RunJarvet({raw, raw}, connect, out, errors, "jarvet");
  return {status, out.Text, errors.Text, *calls};
}

// What the player is asked to do, queries left out.
Calls Actions(const Calls& calls) {
  static const char* const kQueries[] = {"Status", "PositionMs", "LengthMs", "Volume",
                                         "Shuffle", "Repeat", "PlaylistLength",
                                         "PlaylistPosition", "Entries", "WaitForChange"};
  Calls actions;
  for (const std::string& call : calls) {
    if (std::find(std::begin(kQueries), std::end(kQueries), call) == std::end(kQueries)) {
      actions.push_back(call);
    }
  }
  return actions;
}

TEST(PlayerCommands, AskThePlayerForWhatTheyNeed) {
  const struct {
    const char* Raw;
    TPlayStatus Before;
    Calls Actions;
    const char* Output;
  } cases[] = {
      {"j p FF 12", TPlayStatus::Playing, {"StepBy 10000"}, "Fast forwarding 12 s\r\n"},
      {"j p FF 3", TPlayStatus::Playing, {"StepBy 5000"}, "Fast forwarding 3 s\r\n"},
      {"j p REW", TPlayStatus::Playing, {"StepBy -5000"}, "Rewinding 5 s\r\n"},
      {"j p REW 2147483647", TPlayStatus::Playing, {"StepBy -86400000"},
       "Rewinding 2147483647 s\r\n"},
      {"j p VOLDOWN 3", TPlayStatus::Playing, {"StepVolume -3"}, "Decreasing volume by 3 units\r\n"},
      {"j p VOLUP 0", TPlayStatus::Playing, {}, "Increasing volume by 0 units\r\n"},
      {"j p SKIPTO 2", TPlayStatus::Playing, {"GoTo 1", "Play"}, "Skipping to track 2\r\n"},
      {"j p PAUSE", TPlayStatus::Playing, {"TogglePause"}, "Playback paused\r\n"},
      {"j p PAUSE", TPlayStatus::Paused, {"TogglePause"}, "Playback resumed\r\n"},
      {"j p TOGGLE", TPlayStatus::Stopped, {"Play"}, "playing\r\n"},
      {"j p TOGGLE", TPlayStatus::Playing, {"TogglePause"}, "paused\r\n"},
      {"j p SEEKBY +10", TPlayStatus::Playing, {"SeekTo 70000"}, "01:10\r\n"},
      {"j p SEEKBY -2:00", TPlayStatus::Playing, {"SeekTo 0"}, "00:00\r\n"},
      {"j p SEEKBY +9:00", TPlayStatus::Playing, {"SeekTo 245000"}, "04:05\r\n"},
      {"j p VOLUME -200", TPlayStatus::Playing, {"SetVolume 0"}, "0\r\n"},
      {"j p SHUFFLE toggle", TPlayStatus::Playing, {"SetShuffle on"}, "on\r\n"},
      {"j p LIST", TPlayStatus::Playing, {},
       "1\tOne\t/music/one.mp3\r\n2\ttwo\t/music/two.mp3\r\n"},
      {"j p VERSION", TPlayStatus::Playing, {"VersionText"}, "fake\r\n"},
  };
  for (const auto& c : cases) {
    TFakePlayer player;
    player.PlayStatus = c.Before;
    const TResult result = RunOn(c.Raw, player);
    EXPECT_EQ(result.Status, 0) << c.Raw << result.Errors;
    EXPECT_EQ(result.Output, c.Output) << c.Raw;
    EXPECT_EQ(Actions(result.Made), c.Actions) << c.Raw;
  }
}

// Every command that needs a feature the player lacks, the eighteen among them: nothing done,
// nothing on standard output, one line on standard error, exit 5. A bad argument to one of the
// eighteen stays silent, as ever.
TEST(PlayerCommands, AFeatureThePlayerLacksEndsTheRunWithFive) {
  const struct {
    const char* Raw;
    TFeature Lacking;
    const char* Named;
  } cases[] = {
      {"j p CLEAR", TFeature::Playlist, "a playlist"},
      {"j p POS", TFeature::Playlist, "a playlist"},
      {"j p SKIPTO 1", TFeature::Playlist, "a playlist"},
      {"j p ENQUEUE \"d\" *.mp3", TFeature::Playlist, "a playlist"},
      {"j p LIST", TFeature::Playlist, "a playlist"},
      {"j p ADD http://radio.example/a.mp3", TFeature::Playlist, "a playlist"},
      {"j p CLOSE", TFeature::Close, "closing"},
      {"j p PLAY", TFeature::Control, "playback control"},
      {"j p STOP", TFeature::Control, "playback control"},
      {"j p PAUSE", TFeature::Control, "playback control"},
      {"j p NEXT", TFeature::Control, "playback control"},
      {"j p PREV", TFeature::Control, "playback control"},
      {"j p TOGGLE", TFeature::Control, "playback control"},
      {"j p FADEOUT", TFeature::Control, "playback control"},
      {"j p PLAY \"d\" *.mp3", TFeature::Open, "opening files"},
      {"j p OPEN http://radio.example/a.mp3", TFeature::Open, "opening files"},
      {"j p FF", TFeature::Seek, "seeking"},
      {"j p REW 20", TFeature::Seek, "seeking"},
      {"j p SEEK 1:00", TFeature::Seek, "seeking"},
      {"j p SEEKBY +5", TFeature::Seek, "seeking"},
      {"j p SETVOL 5", TFeature::Volume, "volume"},
      {"j p VOLUP", TFeature::Volume, "volume"},
      {"j p VOLDOWN 2", TFeature::Volume, "volume"},
      {"j p VOLUME 50%", TFeature::Volume, "volume"},
      {"j p SHUFFLE on", TFeature::Shuffle, "shuffle"},
      {"j p REPEAT", TFeature::Repeat, "repeat"},
  };
  for (const auto& c : cases) {
    TFakePlayer player;
    player.Name = "mpv";
    player.Lacks = {c.Lacking};
    const TResult result = RunOn(c.Raw, player);
    EXPECT_EQ(result.Status, 5) << c.Raw;
    EXPECT_EQ(result.Output, "") << c.Raw;
    EXPECT_EQ(result.Errors, std::string("jarvet: mpv does not offer ") + c.Named + "\r\n") << c.Raw;
    EXPECT_EQ(Actions(result.Made), Calls{}) << c.Raw;
  }
  for (const char* raw : {"j p SETVOL 256", "j p SKIPTO 0", "j p SEEK -1:00", "j p FF 1.5"}) {
    TFakePlayer player;
    player.Lacks = {TFeature::Volume, TFeature::Playlist, TFeature::Seek};
    const TResult result = RunOn(raw, player);
    EXPECT_EQ(result.Status, 0) << raw;
    EXPECT_EQ(result.Output + result.Errors, "") << raw;
  }
}

// A player that stops answering partway (as an MPRIS player can) leaves no line behind, of the
// eighteen commands either.
TEST(PlayerCommands, APlayerThatStopsAnsweringLeavesNoLine) {
  const struct {
    const char* Raw;
    const char* FailingCall;
  } cases[] = {
      {"j p NEXT", "Next"},          {"j p PAUSE", "TogglePause"},   {"j p VERSION", "VersionText"},
      {"j p SKIPTO 2", "Play"},      {"j p FF 30", "StepBy"},   {"j p INFO", "ListedFiles"},
      {"j p STATUS", "Status"},      {"j p LIST", "Entries"},   {"j p JSON", "Volume"},
      {"j p NOW {title}", "CurrentFile"},
  };
  for (const auto& c : cases) {
    TFakePlayer player;
    player.FailingCall = c.FailingCall;
    const TResult result = RunOn(c.Raw, player);
    EXPECT_EQ(result.Status, 3) << c.Raw;
    EXPECT_EQ(result.Output, "") << c.Raw;
    EXPECT_EQ(result.Errors, "jarvet: the player did not answer\r\n") << c.Raw;
  }
}

// Without a playlist, the now-playing commands take the track from the player itself, and what
// the player says of it fills what the file does not.
TEST(PlayerCommands, NowPlayingFromAPlayerWithoutAPlaylist) {
  TFakePlayer player;
  player.Lacks = {TFeature::Playlist, TFeature::Shuffle};
  player.Playlist.clear();
  player.Track.File = "http://radio.example/stream";
  player.Track.Title = "Song";
  player.Track.Artist = "Band";
  player.Length = std::nullopt;
  player.Track.LengthMs = 180000;
  const TResult now = RunOn("j p NOW [{artist} - ]{title} ({length}){playlistlength}", player);
  EXPECT_EQ(now.Status, 0) << now.Errors;
  EXPECT_EQ(now.Output, "Band - Song (3:00)\r\n");
  const TResult json = RunOn("j p JSON", player);
  EXPECT_NE(json.Output.find("\"shuffle\":null"), std::string::npos) << json.Output;
  EXPECT_NE(json.Output.find("\"playlistlength\":null"), std::string::npos) << json.Output;
  EXPECT_NE(json.Output.find("\"title\":\"Song\""), std::string::npos) << json.Output;

  player.Track = {};
  const TResult nothing = RunOn("j p NOW", player);
  EXPECT_EQ(nothing.Status, 4);
  EXPECT_EQ(nothing.Errors, "jarvet: nothing playing\r\n");
}

// A player that gives no figures (an MPRIS player, an imitator that answers 0) leaves them to the
// file's headers; those the player gives win, as it knows the stream.
TEST(PlayerCommands, TheFileGivesTheFiguresThePlayerDoesNot) {
  testing::TTempDir dir("jarvet-figures");
  const std::string path = dir.Path() + "/cbr.mp3";
  {
    // 300 frames of MPEG 1 layer III at 128 kbps, 44.1 kHz, stereo: 125,100 bytes, 7819 ms.
    std::ofstream file(path, std::ios::binary);
    file << testing::Id3v23Tag({{"TIT2", "Song"}, {"TPE1", "A"}});
    for (int i = 0; i < 300; ++i) {
      file << std::string("\xFF\xFB\x90\x44", 4) << std::string(413, '\0');
    }
  }
  TFakePlayer player;
  player.Playlist = {{"", path}};
  player.Length = 0;
  player.Info = {0, 0, 60000};
  const char* const kFigures = "j p NOW {bitrate} {samplerate} {channels} {length} {lengthms}";
  EXPECT_EQ(RunOn(kFigures, player).Output, "128 44100 2 0:07 7819\r\n");
  EXPECT_EQ(RunOn("j p INFO", player).Output,
            "Winamp now playing: 0. Song (01:00/00:07) @ 128 kbps by A.\r\n");
  const TResult json = RunOn("j p JSON", player);
  EXPECT_NE(json.Output.find("\"lengthms\":7819,\"bitrate\":128,\"samplerate\":44100,"
                             "\"channels\":2"),
            std::string::npos)
      << json.Output;

  player.PlayerFigures = {320, 48000, 6};
  player.Length = 300000;
  player.Info = {320, 300, 60000};
  EXPECT_EQ(RunOn(kFigures, player).Output, "320 48000 6 5:00 300000\r\n");
  EXPECT_EQ(RunOn("j p INFO", player).Output,
            "Winamp now playing: 0. Song (01:00/05:00) @ 320 kbps by A.\r\n");
}

// A player whose playlist lags behind its own calls (an MPRIS track list) counts what it added
// itself; a player without a playlist holds what OPEN gave it.
TEST(PlayerCommands, CountsOfAddedEntriesFromThePlayersOwnCalls) {
  TFakePlayer player;
  player.CountsItself = true;
  player.ListEntries = 7;
  const struct {
    const char* Raw;
    const char* Output;
  } cases[] = {
      {"j p ADD http://a.example/1 http://a.example/2", "2\r\n"},
      {"j p ENQUEUE \"C:\\Music\" *.mp3",
       "Adding 7 file(s) in \"C:\\\\Music\" matching \"*.mp3\" to playlist...\r\n"},
      {"j p PLAY \"d\" x", "Adding 7 file(s) in \"d\" matching \"x\" to playlist...\r\nPlaying...\r\n"},
  };
  for (const auto& c : cases) {
    const TResult result = RunOn(c.Raw, player);
    EXPECT_EQ(result.Status, 0) << c.Raw << result.Errors;
    EXPECT_EQ(result.Output, c.Output) << c.Raw;
  }
  TFakePlayer noList;
  noList.Lacks = {TFeature::Playlist};
  const TResult opened = RunOn("j p OPEN http://a.example/1 http://a.example/2 http://a.example/3", noList);
  EXPECT_EQ(opened.Output, "3\r\n") << opened.Errors;
}

// A player that tells of its changes is asked nothing more while nothing changes; the shown
// position moves on by the time passed while playing, and stands while paused.
TEST(PlayerCommands, WatchAsksAPlayerThatTellsOfChangesOnlyOnce) {
  for (const TPlayStatus status : {TPlayStatus::Playing, TPlayStatus::Paused}) {
    TFakePlayer player;
    player.EventDriven = true;
    player.WaitsUntilGone = 4;  // three quiet waits of half a second
    player.PlayStatus = status;
    const TResult result = RunOn("j p WATCH {position}", player);
    EXPECT_EQ(result.Status, 0) << result.Errors;
    EXPECT_EQ(result.Output, status == TPlayStatus::Playing ? "1:00\r\n1:01\r\n" : "1:00\r\n");
    EXPECT_EQ(std::count(result.Made.begin(), result.Made.end(), "PositionMs"), 1);
    EXPECT_EQ(std::count(result.Made.begin(), result.Made.end(), "Status"), 1);
  }
}

}  // namespace
}  // namespace jarvet
