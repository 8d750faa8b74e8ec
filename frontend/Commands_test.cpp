#include <gtest/gtest.h>

#include <regex>

#include "support/FailureReport.h"
#include "support/WindowPlayers.h"
#include "support/FakePlatform.h"
#include "support/StringSink.h"
#include "File.h"
#include "Jarvet.h"

namespace jarvet {
namespace {

using testing::Command;
using testing::IsFailureReport;
using testing::Request;
using testing::TFakePlatform;
using testing::TSentMessage;
using testing::TStringSink;

struct TRunResult {
  int Status;
  std::string Output;
  std::vector<TSentMessage> Sent;
};

// A run whose command line is the same in the code page and in UTF-8.
int RunOne(const std::string& raw, TFakePlatform& platform, TStringSink& sink,
        const std::string& module, TStringSink* errors = nullptr) {
  TStringSink ignored;
  return RunJarvet({raw, raw}, testing::WindowPlayers(platform), sink,
                   errors != nullptr ? *errors : ignored, module);
}

TRunResult RunWith(TFakePlatform& platform, const std::string& raw) {
  TStringSink sink;
  const int status = RunOne(raw, platform, sink, "jarvet.exe");
  return {status, sink.Text, platform.Sent};
}

TRunResult RunLine(const std::string& raw) {
  TFakePlatform platform;
  platform.Answer(0, kReqGetPlaylistLength, 4);  // four tracks
  return RunWith(platform, raw);
}

std::vector<TSentMessage> Times(std::size_t n, const TSentMessage& message) {
  return std::vector<TSentMessage>(n, message);
}

TEST(Jarvet, BannerWithTooFewParameters) {
  for (const char* raw : {"jarvet", "jarvet C:\\Player", "jarvet   \"\"  "}) {
    TFakePlatform platform;
    const TRunResult result = RunWith(platform, raw);
    EXPECT_EQ(result.Status, 0);
    EXPECT_EQ(result.Output.rfind("Jarvet 1.1\r\n", 0), 0u) << raw;
    EXPECT_TRUE(std::regex_match(result.Output, std::regex("Jarvet 1\\.1\r\n[^\r\n]+\r\n")));
    EXPECT_TRUE(platform.LookedUp.empty()) << "no window lookup for the banner";
  }
}

TEST(Jarvet, CommandsSendTheirMessagesAndWriteTheirLines) {
  const struct {
    const char* Raw;
    std::vector<TSentMessage> Sent;
    const char* Output;
  } cases[] = {
      {"j d CLEAR", {Request(0, kReqClearPlaylist)}, "Clearing playlist...\r\n"},
      {"j d close", {Command(kCmdClose)}, "Closing Winamp...\r\n"},
      {"j d Play", {Command(kCmdPlay)}, "Playing...\r\n"},
      {"j d STOP", {Command(kCmdStop)}, "Playback stopped\r\n"},
      {"j d prev", {Command(kCmdPrevTrack)}, "Skipping to previous track\r\n"},
      {"j d NEXT", {Command(kCmdNextTrack)}, "Skipping to next track\r\n"},
      {"j d VERSION", {Request(0, kReqGetVersion)}, "0\r\n"},
      {"j d POS", {Request(0, kReqGetPlaylistPos)}, "0\r\n"},
      {"j d FF", Times(1, Command(kCmdForward5s)), "Fast forwarding 5 s\r\n"},
      {"j d FF 4", Times(1, Command(kCmdForward5s)), "Fast forwarding 4 s\r\n"},
      {"j d FF 5", Times(1, Command(kCmdForward5s)), "Fast forwarding 5 s\r\n"},
      {"j d FF 12", Times(2, Command(kCmdForward5s)), "Fast forwarding 12 s\r\n"},
      {"j d FF -10", Times(1, Command(kCmdForward5s)), "Fast forwarding -10 s\r\n"},
      {"j d ff 010", Times(2, Command(kCmdForward5s)), "Fast forwarding 010 s\r\n"},
      // presses are capped, the line shows the argument as typed
      {"j d FF 86400", Times(17280, Command(kCmdForward5s)), "Fast forwarding 86400 s\r\n"},
      {"j d FF 86405", Times(17280, Command(kCmdForward5s)), "Fast forwarding 86405 s\r\n"},
      {"j d FF 2147483647", Times(17280, Command(kCmdForward5s)), "Fast forwarding 2147483647 s\r\n"},
      {"j d REW x7FFFFFFF", Times(17280, Command(kCmdRewind5s)), "Rewinding x7FFFFFFF s\r\n"},
      {"j d FF 1.5", {}, ""},
      {"j d FF 10s", {}, ""},
      {"j d REW 14", Times(2, Command(kCmdRewind5s)), "Rewinding 14 s\r\n"},
      {"j d REW", Times(1, Command(kCmdRewind5s)), "Rewinding 5 s\r\n"},
      {"j d SKIPTO 4", {Request(0, kReqGetPlaylistLength), Request(3, kReqSetPlaylistPos), Command(kCmdPlay)},
       "Skipping to track 4\r\n"},
      {"j d SKIPTO $2", {Request(0, kReqGetPlaylistLength), Request(1, kReqSetPlaylistPos), Command(kCmdPlay)},
       "Skipping to track 2\r\n"},
      {"j d SKIPTO 5", {Request(0, kReqGetPlaylistLength)}, ""},
      {"j d SKIPTO 0", {}, ""},
      {"j d SKIPTO", {}, ""},
      {"j d SEEK 1:30", {Request(90000, kReqJumpToTime)}, "Seeking to 1:30 s\r\n"},
      {"j d SEEK 0", {Request(0, kReqJumpToTime)}, "Seeking to 0 s\r\n"},
      {"j d SEEK 1:-30", {Request(30000, kReqJumpToTime)}, "Seeking to 1:-30 s\r\n"},
      {"j d SEEK 2147483", {Request(2147483000, kReqJumpToTime)}, "Seeking to 2147483 s\r\n"},
      {"j d SEEK 2147484", {}, ""},
      {"j d SEEK 35791394:0", {}, ""},  // minutes whose milliseconds overflow
      {"j d SEEK -1:30", {}, ""},
      {"j d SEEK 1:", {}, ""},
      {"j d SEEK :30", {}, ""},
      {"j d SEEK 1:2:3", {}, ""},
      {"j d SEEK", {}, ""},
      {"j d SETVOL 255", {Request(255, kReqSetVolume)}, "Setting volume to 255\r\n"},
      {"j d SETVOL x80", {Request(128, kReqSetVolume)}, "Setting volume to 128\r\n"},
      {"j d SETVOL 0", {Request(0, kReqSetVolume)}, "Setting volume to 0\r\n"},
      {"j d SETVOL 256", {}, ""},
      {"j d SETVOL -1", {}, ""},
      {"j d SETVOL", {}, ""},
      {"j d VOLUP", Times(1, Command(kCmdVolumeUp)), "Increasing volume by 1 units\r\n"},
      {"j d VOLUP 3", Times(3, Command(kCmdVolumeUp)), "Increasing volume by 3 units\r\n"},
      {"j d VOLUP 0", {}, "Increasing volume by 0 units\r\n"},
      {"j d VOLUP -2", {}, "Increasing volume by -2 units\r\n"},
      {"j d VOLUP up", {}, ""},
      {"j d VOLUP 255", Times(255, Command(kCmdVolumeUp)), "Increasing volume by 255 units\r\n"},
      {"j d VOLUP 256", Times(255, Command(kCmdVolumeUp)), "Increasing volume by 256 units\r\n"},
      {"j d VOLUP 2147483647", Times(255, Command(kCmdVolumeUp)),
       "Increasing volume by 2147483647 units\r\n"},
      {"j d VOLDOWN 0x100", Times(255, Command(kCmdVolumeDown)), "Decreasing volume by 0x100 units\r\n"},
      {"j d VOLDOWN 2", Times(2, Command(kCmdVolumeDown)), "Decreasing volume by 2 units\r\n"},
      {"j d VOLDOWN", Times(1, Command(kCmdVolumeDown)), "Decreasing volume by 1 units\r\n"},
      // words that are not command names, exactly
      {"j d PLAYY", {}, ""},
      {"j d PLA", {}, ""},
      {"j d F", {}, ""},
      {"j d \xC9NEXT", {}, ""},
  };
  for (const auto& c : cases) {
    const TRunResult result = RunLine(c.Raw);
    EXPECT_EQ(result.Status, 0) << c.Raw;
    EXPECT_EQ(result.Output, c.Output) << c.Raw;
    EXPECT_EQ(result.Sent, c.Sent) << c.Raw;
  }
}

TEST(Jarvet, PauseReportsTheNewStatus) {
  const struct {
    std::int32_t Status;
    const char* Line;
  } cases[] = {{3, "Playback paused\r\n"},
               {1, "Playback resumed\r\n"},
               {0, "Playback resumed\r\n"},
               {2, "Playback resumed\r\n"}};
  for (const auto& c : cases) {
    TFakePlatform platform;
    platform.Answer(0, kReqGetStatus, c.Status);
    const TRunResult result = RunWith(platform, "j d PAUSE");
    EXPECT_EQ(result.Output, c.Line);
    EXPECT_EQ(result.Sent, (std::vector<TSentMessage>{Command(kCmdPause), Request(0, kReqGetStatus)}));
  }
}

TEST(Jarvet, QueriesWriteThePlayersNumbers) {
  TFakePlatform platform;
  platform.Answer(0, kReqGetVersion, 0x5666);
  platform.Answer(0, kReqGetPlaylistPos, -1);
  EXPECT_EQ(RunWith(platform, "j d version").Output, "22118\r\n");
  EXPECT_EQ(RunWith(platform, "j d pos").Output, "-1\r\n");
}

TEST(Jarvet, NoPlayerRunning) {
  const struct {
    const char* Raw;
    const char* Output;
  } cases[] = {
      {"j d STOP", "Playback stopped\r\n"},   {"j d NEXT", "Skipping to next track\r\n"},
      {"j d VERSION", "0\r\n"},               {"j d POS", "0\r\n"},
      {"j d PAUSE", "Playback resumed\r\n"},  {"j d SKIPTO 1", ""},
      {"j d FF 10", "Fast forwarding 10 s\r\n"},
  };
  for (const auto& c : cases) {
    TFakePlatform platform;
    platform.Window = 0;
    const TRunResult result = RunWith(platform, c.Raw);
    EXPECT_EQ(result.Status, 0);
    EXPECT_EQ(result.Output, c.Output) << c.Raw;
    EXPECT_EQ(platform.LookedUp.size(), 1u) << "looked up once, never again";
  }
}

TEST(Jarvet, ArgumentTextIsWhatFollowsTheCommandWord) {
  const struct {
    const char* Raw;
    std::size_t Presses;
    const char* Output;
  } cases[] = {
      // the command word's letters earlier on the line
      {"jarvet C:\\Stuff\\Player ff 10", 2, "Fast forwarding 10 s\r\n"},
      {"jarvet \"C:\\My Stuff\\Player\" FF 10", 2, "Fast forwarding 10 s\r\n"},
      // a quoted or partly quoted command word
      {"jarvet d \"ff\" 10", 2, "Fast forwarding 10 s\r\n"},
      {"jarvet d f\"f\" 15", 3, "Fast forwarding 15 s\r\n"},
      // blanks only after the command word: the default
      {"jarvet d FF   \t ", 1, "Fast forwarding 5 s\r\n"},
      // inner blanks and quotes stay as typed
      {"jarvet d FF  \"10\"  ", 0, ""},
  };
  for (const auto& c : cases) {
    const TRunResult result = RunLine(c.Raw);
    EXPECT_EQ(result.Output, c.Output) << c.Raw;
    EXPECT_EQ(result.Sent, Times(c.Presses, Command(kCmdForward5s))) << c.Raw;
  }
  EXPECT_EQ(RunLine("j \"C:\\Program Files\\Player\" SEEK  1:30 ").Output, "Seeking to 1:30 s\r\n");
}

TEST(Jarvet, OutputIsHeldBackUnlessATerminal) {
  TFakePlatform platform;
  TStringSink sink;
  sink.Terminal = true;
  RunOne("j d STOP", platform, sink, "jarvet");
  EXPECT_EQ(sink.Writes, 1);
  EXPECT_EQ(sink.Text, "Playback stopped\r\n");
}

TEST(Jarvet, FailedWriteIsReportedWithExitStatus1) {
  TFakePlatform platform;
  TStringSink sink;
  sink.FailWith = 101;
  EXPECT_EQ(RunOne("j d STOP", platform, sink, "jarvet.exe"), 1);
  EXPECT_EQ(sink.Writes, 2) << "the line, then the report";
}

TEST(Jarvet, ReportThatOutputCannotTakeGoesToTheFallback) {
  TFakePlatform platform;
  TStringSink failing;
  failing.FailWith = 101;
  TStringSink fallback;
  EXPECT_EQ(RunOne("j d STOP", platform, failing, "jarvet.exe", &fallback), 1);
  EXPECT_TRUE(IsFailureReport(fallback.Text, "EInOutError", "Disk full\\.", "jarvet\\.exe"))
      << fallback.Text;

  TStringSink output;
  TStringSink unused;
  EXPECT_EQ(RunOne("j /nonexistent/dir INFO", platform, output, "jarvet.exe", &unused), 1);
  EXPECT_NE(output.Text, "");
  EXPECT_EQ(unused.Writes, 0) << "the report went where the output goes";
}

TEST(Jarvet, ListLoadingReportsTheNewLengthOrTheGrowth) {
  const std::string exe = std::string("d") + kDirectorySeparator + "winamp.exe";
  const std::string list = kListFilePath;
  {
    TFakePlatform platform;
    platform.Answer(0, kReqGetPlaylistLength, 10);
    platform.OnStart = [&](const std::string&) { platform.Answer(0, kReqGetPlaylistLength, 3); };
    const TRunResult result = RunWith(platform, "j d PLAY \"C:\\Music\" *.mp3");
    EXPECT_EQ(result.Output,
              "Adding 3 file(s) in \"C:\\\\Music\" matching \"*.mp3\" to playlist...\r\n"
              "Playing...\r\n");
    EXPECT_EQ(platform.Started, std::vector<std::string>{"\"" + exe + "\" \"" + list + "\""});
    EXPECT_EQ(result.Sent, std::vector<TSentMessage>{Request(0, kReqGetPlaylistLength)});
  }
  {
    TFakePlatform platform;
    platform.Answer(0, kReqGetPlaylistLength, 10);
    platform.OnStart = [&](const std::string&) { platform.Answer(0, kReqGetPlaylistLength, 13); };
    const TRunResult result = RunWith(platform, "j d enqueue \"/music\" *.ogg");
    EXPECT_EQ(result.Output,
              "Adding 3 file(s) in \"/music\" matching \"*.ogg\" to playlist...\r\n");
    EXPECT_EQ(platform.Started,
              std::vector<std::string>{"\"" + exe + "\" /ADD \"" + list + "\""});
  }
}

TEST(Jarvet, ListLoadingSplitsFolderAndPattern) {
  const struct {
    const char* Argument;
    const char* Folder;
    const char* Pattern;
  } cases[] = {
      {"*.mp3", "", "*.mp3"},
      {"x \"*.mp3", "", "*.mp3"},
      {"x \"C:\\A B\"  *.mp3 ", "C:\\\\A B", "*.mp3"},
      {"\"/m\"", "/m", ""},
      {"\"/m\" a\"b\"", "/m", "a\"b\""},
  };
  for (const auto& c : cases) {
    TFakePlatform platform;
    const TRunResult result = RunWith(platform, std::string("j d ENQUEUE ") + c.Argument);
    EXPECT_EQ(result.Output, std::string("Adding 0 file(s) in \"") + c.Folder +
                                 "\" matching \"" + c.Pattern + "\" to playlist...\r\n")
        << c.Argument;
  }
  TFakePlatform platform;
  EXPECT_EQ(RunWith(platform, "j d ENQUEUE").Output, "");
  EXPECT_TRUE(platform.Started.empty());
}

TEST(Jarvet, UnreadablePlaylistDumpEndsInTheFailureReport) {
  // "INFO" reads the player's dump; a directory that does not exist can't hold one.
  TFakePlatform platform;
  TStringSink sink;
  const int status = RunOne("j /nonexistent/dir INFO", platform, sink, "jarvet.exe");
  EXPECT_EQ(status, 1);
  EXPECT_TRUE(IsFailureReport(sink.Text, "EInOutError", "Invalid filename\\.", "jarvet\\.exe"))
      << sink.Text;
}

}  // namespace
}  // namespace jarvet
