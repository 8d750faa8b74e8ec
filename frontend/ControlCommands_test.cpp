// The newer commands against the recording stand-in: their messages, lines, problems and exit
// statuses.
#include "ControlCommands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "CommandLine.h"
#include "support/FakePlatform.h"
#include "support/WindowPlayers.h"
#include "support/StringSink.h"
#include "File.h"
#include "Jarvet.h"
#include "PlayerProtocol.h"

namespace jarvet {
namespace {

using testing::Command;
using testing::Request;
using testing::TFakePlatform;
using testing::TSentMessage;
using testing::TStringSink;
using Sent = std::vector<TSentMessage>;

struct TResult {
  int Status;
  std::string Output, Errors;
  Sent Messages;
};

TResult RunControl(const std::string& raw, TFakePlatform& platform) {
  TStringSink out;
  TStringSink errors;
  const int status = RunJarvet({raw, raw}, testing::WindowPlayers(platform), out, errors, "jarvet");
  return {status, out.Text, errors.Text, platform.Sent};
}

// A playing player: volume 100, shuffle on, repeat off, at 1:00 of a 4:05 track.
void Playing(TFakePlatform& p) {
  p.Answer(0, kReqGetStatus, kStatusPlaying);
  p.Answer(kVolumeQuery, kReqSetVolume, 100);
  p.Answer(0, kReqGetShuffle, 1);
  p.Answer(0, kReqGetRepeat, 0);
  p.Answer(kTimePosition, kReqGetOutputTime, 60000);
  p.Answer(kTimeLengthMs, kReqGetOutputTime, 245000);
  p.Answer(0, kReqGetPlaylistLength, 3);
}

TEST(ControlCommands, SendTheirMessagesAndWriteTheirValue) {
  const TSentMessage readVolume = Request(kVolumeQuery, kReqSetVolume);
  const TSentMessage status = Request(0, kReqGetStatus);
  const TSentMessage position = Request(kTimePosition, kReqGetOutputTime);
  const TSentMessage lengthMs = Request(kTimeLengthMs, kReqGetOutputTime);
  const struct {
    const char* Raw;
    const char* Output;
    Sent Messages;
  } cases[] = {
      {"j d STATUS", "playing\r\n", {status}},
      {"j d volume", "100\r\n", {readVolume}},
      {"j d VOLUME 255", "100\r\n", {Request(255, kReqSetVolume), readVolume}},
      {"j d VOLUME 50%", "100\r\n", {Request(128, kReqSetVolume), readVolume}},
      {"j d VOLUME 0%", "100\r\n", {Request(0, kReqSetVolume), readVolume}},
      {"j d VOLUME 100%", "100\r\n", {Request(255, kReqSetVolume), readVolume}},
      {"j d VOLUME +10", "100\r\n", {readVolume, Request(110, kReqSetVolume), readVolume}},
      {"j d VOLUME -200", "100\r\n", {readVolume, Request(0, kReqSetVolume), readVolume}},
      {"j d VOLUME +999", "100\r\n", {readVolume, Request(255, kReqSetVolume), readVolume}},
      {"j d SHUFFLE", "on\r\n", {Request(0, kReqGetShuffle)}},
      {"j d shuffle OFF", "on\r\n", {Request(0, kReqSetShuffle), Request(0, kReqGetShuffle)}},
      {"j d SHUFFLE toggle",
       "on\r\n",
       {Request(0, kReqGetShuffle), Request(0, kReqSetShuffle), Request(0, kReqGetShuffle)}},
      {"j d REPEAT on", "off\r\n", {Request(1, kReqSetRepeat), Request(0, kReqGetRepeat)}},
      {"j d REPEAT Toggle",
       "off\r\n",
       {Request(0, kReqGetRepeat), Request(1, kReqSetRepeat), Request(0, kReqGetRepeat)}},
      {"j d TOGGLE", "playing\r\n", {status, Command(kCmdPause), status}},
      {"j d FADEOUT", "stopped\r\n", {Command(kCmdFadeOut)}},
      {"j d SEEKBY +30", "01:30\r\n", {position, lengthMs, Request(90000, kReqJumpToTime)}},
      {"j d SEEKBY -1:30", "00:00\r\n", {position, lengthMs, Request(0, kReqJumpToTime)}},
      {"j d SEEKBY +10:00", "04:05\r\n", {position, lengthMs, Request(245000, kReqJumpToTime)}},
  };
  for (const auto& c : cases) {
    TFakePlatform platform;
    Playing(platform);
    const TResult result = RunControl(c.Raw, platform);
    EXPECT_EQ(result.Status, 0) << c.Raw;
    EXPECT_EQ(result.Output, c.Output) << c.Raw;
    EXPECT_EQ(result.Errors, "") << c.Raw;
    EXPECT_EQ(result.Messages, c.Messages) << c.Raw;
  }
}

TEST(ControlCommands, ToggleStartsAStoppedPlayer) {
  TFakePlatform platform;
  const TResult result = RunControl("j d TOGGLE", platform);
  EXPECT_EQ(result.Messages,
            (Sent{Request(0, kReqGetStatus), Command(kCmdPlay), Request(0, kReqGetStatus)}));
}

TEST(ControlCommands, ProblemsGiveAStatusAndOneLineOnStandardError) {
  const struct {
    const char* Raw;
    bool Player;
    int Status;
    const char* Errors;
  } cases[] = {
      {"j d STATUS now", true, 2, "jarvet: STATUS takes no argument\r\n"},
      {"j d VOLUME 256", false, 2, "jarvet: VOLUME takes N (0-255), +N, -N or N% (0-100)\r\n"},
      {"j d VOLUME 101%", true, 2, nullptr},
      {"j d VOLUME x80", true, 2, nullptr},
      {"j d VOLUME +", true, 2, nullptr},
      {"j d VOLUME 1234567890", true, 2, nullptr},
      {"j d SHUFFLE yes", false, 2, "jarvet: SHUFFLE takes on, off or toggle\r\n"},
      {"j d SEEKBY 30", true, 2, "jarvet: SEEKBY takes +S, -S, +M:SS or -M:SS\r\n"},
      {"j d SEEKBY +1:60", true, 2, nullptr},
      {"j d SEEKBY +1:5", true, 2, nullptr},
      {"j d SEEKBY -", true, 2, nullptr},
      {"j d ADD", true, 2, "jarvet: ADD takes one or more files or URLs\r\n"},
      {"j d OPEN /no/such/file.mp3", false, 2, "jarvet: no such file: /no/such/file.mp3\r\n"},
      {"j d STATUS", false, 3, "jarvet: no player running\r\n"},
      {"j d LIST", false, 3, nullptr},
      {"j d SEEKBY +5", false, 3, nullptr},
  };
  for (const auto& c : cases) {
    TFakePlatform platform;
    if (!c.Player) platform.Window = 0;
    const TResult result = RunControl(c.Raw, platform);
    EXPECT_EQ(result.Status, c.Status) << c.Raw;
    EXPECT_EQ(result.Output, "") << c.Raw;
    if (c.Errors != nullptr) {
      EXPECT_EQ(result.Errors, c.Errors) << c.Raw;
    }
    EXPECT_EQ(result.Errors.rfind("jarvet: ", 0), 0u) << c.Raw;
    EXPECT_TRUE(result.Messages.empty()) << c.Raw << ": nothing is sent";
  }
}

TEST(ControlCommands, APlayerThatStopsAnsweringCountsAsGone) {
  TFakePlatform platform;
  Playing(platform);
  platform.OnMessage = [&](const TSentMessage&) { platform.Gone = true; };
  const TResult result = RunControl("j d VOLUME +10", platform);
  EXPECT_EQ(result.Status, 3);
  EXPECT_EQ(result.Errors, "jarvet: the player did not answer\r\n");
  EXPECT_EQ(result.Messages.size(), 1u) << "nothing more is sent once it is gone";
}

// WATCH ends with 0 when the player closes, but a player that hangs is another matter.
TEST(ControlCommands, WatchTellsAPlayerThatHangsFromOneThatCloses) {
  for (const bool hangs : {false, true}) {
    TFakePlatform platform;
    Playing(platform);
    platform.Answer(0, kReqGetPlayingFileW, 0x20000);
    const std::u16string file = u"/m/a.mp3";
    platform.Memory[0x20000] =
        std::string(reinterpret_cast<const char*>(file.c_str()), (file.size() + 1) * 2);
    int statusQueries = 0;
    platform.OnMessage = [&](const TSentMessage& m) {
      if (m == Request(0, kReqGetStatus) && ++statusQueries == 3) {
        platform.Gone = true;
        platform.Hung = hangs;
      }
    };
    const TResult result = RunControl("j d WATCH {status} {title}", platform);
    EXPECT_EQ(result.Output, "playing a\r\n") << hangs;
    EXPECT_EQ(result.Status, hangs ? 3 : 0);
    EXPECT_EQ(result.Errors, hangs ? "jarvet: the player did not answer\r\n" : "");
  }
}

TEST(ControlCommands, SeekByNeedsSomethingPlaying) {
  TFakePlatform platform;
  platform.Answer(kTimePosition, kReqGetOutputTime, -1);
  const TResult result = RunControl("j d SEEKBY +5", platform);
  EXPECT_EQ(result.Status, 4);
  EXPECT_EQ(result.Errors, "jarvet: nothing playing\r\n");
}

TEST(ControlCommands, ListReadsEachEntryFromThePlayersMemory) {
  TFakePlatform platform;
  platform.Answer(0, kReqGetPlaylistLength, 2);
  platform.Memory[0x10000] = std::string("/m/a.mp3\0Song\tA\0/m/b.flac\0", 26);
  platform.Answer(0, kReqGetPlaylistFileW, 0);  // no wide requests: the ANSI ones
  platform.Answer(0, kReqGetPlaylistFile, 0x10000);
  platform.Answer(0, kReqGetPlaylistTitle, 0x10009);
  platform.Answer(1, kReqGetPlaylistFile, 0x10010);
  const TResult result = RunControl("j d LIST", platform);
  EXPECT_EQ(result.Status, 0);
  // A tab inside a title would split its line: it is shown as a blank.
  EXPECT_EQ(result.Output, "1\tSong A\t/m/a.mp3\r\n2\tb\t/m/b.flac\r\n");
}

TEST(ControlCommands, AddAndOpenHandTheFilesOverAsCopyData) {
  namespace fs = std::filesystem;
  const std::string here = fs::current_path().string();
  TFakePlatform platform;
  platform.Answer(0, kReqGetVersion, 0x2095);  // before 5.0: ANSI paths
  int length = 1;
  platform.Answer(0, kReqGetPlaylistLength, length);
  platform.OnMessage = [&](const TSentMessage& m) {
    if (m.Message == kWmCopyData) platform.Answer(0, kReqGetPlaylistLength, ++length);
  };
  const TResult added = RunControl("j d ADD . \"http://radio.example/stream\"", platform);
  EXPECT_EQ(added.Status, 0) << added.Errors;
  EXPECT_EQ(added.Output, "2\r\n");
  ASSERT_EQ(platform.Copied.size(), 2u);
  EXPECT_EQ(platform.Copied[0], fs::path(here).lexically_normal().string() + '\0')
      << "made absolute: the player has another working directory";
  EXPECT_EQ(platform.Copied[1], std::string("http://radio.example/stream") + '\0');

  platform.Sent.clear();
  const TResult opened = RunControl("j d OPEN .", platform);
  EXPECT_EQ(opened.Output, "4\r\n");
  EXPECT_EQ(opened.Messages, (Sent{Request(0, kReqClearPlaylist), Request(0, kReqGetVersion),
                                   TSentMessage{kWmCopyData, kCopyDataPlayFile,
                                                static_cast<std::int32_t>(here.size() + 1)},
                                   Request(0, kReqSetPlaylistPos), Command(kCmdPlay),
                                   Request(0, kReqGetPlaylistLength)}));
}

TEST(ControlCommands, HelpNeedsNoPlayer) {
  TFakePlatform platform;
  platform.Window = 0;
  const TResult result = RunControl("j d help", platform);
  EXPECT_EQ(result.Status, 0);
  for (const char* command : {"VERSION", "INFO", "STATUS", "VOLUME", "SEEKBY", "LIST", "OPEN"}) {
    EXPECT_NE(result.Output.find("\r\n" + std::string(command)), std::string::npos) << command;
  }
  // Every line fits a terminal of 80 columns, its cursor included.
  std::size_t lines = 0;
  for (std::size_t start = 0; start < result.Output.size(); ++lines) {
    const std::size_t end = result.Output.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LT(end - start, 80u) << result.Output.substr(start, end - start);
    start = end + 2;
  }
  EXPECT_GT(lines, 30u);
  // The list-loading argument is the folder and the pattern it names.
  EXPECT_NE(result.Output.find("\r\nPLAY [\"FOLDER\" PATTERN] "), std::string::npos);
  EXPECT_NE(result.Output.find("\r\nENQUEUE \"FOLDER\" PATTERN "), std::string::npos);
  EXPECT_NE(result.Output.find(std::string("The list file is ") + kListFilePath),
            std::string::npos);
}

// The report says what went wrong with standard output, not only its error code.
TEST(ControlCommands, OutputThatCannotBeWrittenIsSaidInWords) {
  const struct {
    int Code;
    const char* Errors;
  } cases[] = {
      {6, "jarvet: cannot write standard output: it is closed\r\n"},
      {232, "jarvet: cannot write standard output: the pipe is closed (nothing reads it)\r\n"},
      {109, "jarvet: cannot write standard output: the pipe is closed (nothing reads it)\r\n"},
      {101, "jarvet: cannot write standard output: disk full\r\n"},
  };
  for (const auto& c : cases) {
    TFakePlatform platform;
    Playing(platform);
    TStringSink out;
    out.FailWith = c.Code;
    TStringSink errors;
    EXPECT_EQ(RunJarvet({"j d STATUS", "j d STATUS"}, testing::WindowPlayers(platform), out, errors, "jarvet"), 1);
    EXPECT_EQ(errors.Text, c.Errors);
  }
}

// A file name is quoted whole up to 200 characters, on one line.
TEST(ControlCommands, AMissingFileIsQuotedUpTo200Characters) {
  TFakePlatform platform;
  const std::string name = "/no/" + std::string(296, 'x');
  TResult result = RunControl("j d ADD " + name, platform);
  EXPECT_EQ(result.Status, 2);
  EXPECT_EQ(result.Errors, "jarvet: no such file: " + name.substr(0, 200) + "...\r\n");
  // Characters, not bytes: a multi-byte character is not cut.
  const std::string wide = "/no/" + std::string(195, 'x') + "\xC3\xA9\xC3\xA9\xC3\xA9";
  result = RunControl("j d ADD " + wide, platform);
  EXPECT_EQ(result.Errors, "jarvet: no such file: " + wide.substr(0, 201) + "...\r\n");
}

#ifndef _WIN32
// On POSIX the shell has split the command line already: each word after the command is a file
// as it is, a quote or an ampersand in it included. (No Windows file name holds a quote.)
TEST(ControlCommands, FileCommandsTakeTheShellsWordsAsTheyAre) {
  namespace fs = std::filesystem;
  const fs::path file = fs::absolute("it's \"quoted\" & name.mp3").lexically_normal();
  std::ofstream(file) << "x";
  const std::vector<std::string> words{"j", "d", "ADD", file.string(), "line\nbreak.mp3"};
  const std::string raw = JoinCommandLine(words);
  TFakePlatform platform;
  platform.Answer(0, kReqGetVersion, 0x2095);  // before 5.0: ANSI paths
  TStringSink out;
  TStringSink errors;
  const int status = RunJarvet({raw, raw, &words}, testing::WindowPlayers(platform), out, errors, "jarvet");
  EXPECT_EQ(status, 2);
  EXPECT_EQ(errors.Text, "jarvet: no such file: line break.mp3\r\n") << "one line";

  const std::vector<std::string> one(words.begin(), words.end() - 1);
  const std::string oneRaw = JoinCommandLine(one);
  TStringSink out2;
  TStringSink errors2;
  EXPECT_EQ(RunJarvet({oneRaw, oneRaw, &one}, testing::WindowPlayers(platform), out2, errors2, "jarvet"), 0)
      << errors2.Text;
  ASSERT_EQ(platform.Copied.size(), 1u);
  EXPECT_EQ(platform.Copied[0], file.string() + '\0');
  // Split by the Windows rules instead, as the Windows build reads its command line.
  const TResult split = RunControl(oneRaw, platform);
  EXPECT_EQ(split.Status, 2);
  EXPECT_EQ(split.Errors.rfind("jarvet: no such file: ", 0), 0u);
  fs::remove(file);
}
#endif

}  // namespace
}  // namespace jarvet
