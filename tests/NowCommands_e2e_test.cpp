// NOW, JSON, WATCH, WATCHFILE and ART run as processes against the simulated player, on files
// written by real tagging tools.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "support/PlayerFixture.h"


namespace jarvet::testing {
namespace {

using Strings = std::vector<std::string>;
using namespace std::chrono_literals;

constexpr int kEndMs = 10000;
constexpr auto kAfterPoll = 1200ms;  // two polls of a watcher and more

std::string Fixture(const std::string& name) {
  std::ifstream in(std::string(JARVET_TEST_DATA) + "/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string JsonEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

class NowCommandsTest : public PlayerFixture {
 protected:
  // The fixture copied into the player directory, as a player's file.
  std::string Track(const std::string& fixture) {
    const std::string path = Dir + kSeparator + fixture.substr(fixture.rfind('/') + 1);
    WriteFile(path, Fixture(fixture));
    return path;
  }
  std::string Now(const std::string& templateText) {
    const TProcessResult result = JarvetUtf8({"NOW", templateText});
    EXPECT_EQ(result.Status, 0) << templateText << ": " << result.Errors;
    return result.Output;
  }
#ifdef _WIN32
  static constexpr char kSeparator = '\\';
#else
  static constexpr char kSeparator = '/';
#endif
};

constexpr char kOpus[] = "ogg/opus-cover-spanning-pages-opusenc.opus";

TEST_F(NowCommandsTest, EveryFieldAsTextAndAsJson) {
  const std::string opus = Track(kOpus);
  StartPlayer({"--entry", opus + "|4000", "--entry", Dir + kSeparator + "b.mp3|100|B", "--status",
               "playing", "--time", "61000", "--volume", "200", "--bitrate", "128", "--repeat",
               "on"});
  // The tags are UTF-8 whatever the player's code page.
  EXPECT_EQ(Now(""), "S\xC3\xB3l og R\xC3\xB3s - Caf\xC3\xA9 au lait\r\n");
  EXPECT_EQ(Now("{title}|{artist}|{album}|{albumartist}|{year}|{track}|{tracktotal}|{disc}|"
                "{genre}|{comment}|{composer}|{format}"),
            "Caf\xC3\xA9 au lait|S\xC3\xB3l og R\xC3\xB3s|\xC3\x81g\xC3\xA6t plata|\xC3\x9Dmsir|"
            "1999|3||2|Rock|Eng comment||Ogg Opus\r\n");
  EXPECT_EQ(Now("{status} {position}/{length} -{remaining} {positionms} {lengthms} {bitrate} "
                "{samplerate} {channels} {volume} {shuffle} {repeat} {playlistpos}/"
                "{playlistlength} {filename}"),
            "playing 1:01/1:06:40 -1:05:39 61000 4000000 128 44100 2 200 off on 1/2 "
            "opus-cover-spanning-pages-opusenc.opus\r\n");
  EXPECT_EQ(Now("{file}"), opus + "\r\n");
  EXPECT_EQ(Now("{year}\n{disc}"), "1999 2\r\n") << "one line, whatever the template holds";

  const TProcessResult json = Jarvet({"JSON"});
  EXPECT_EQ(json.Status, 0);
  EXPECT_EQ(json.Output,
            "{\"title\":\"Caf\xC3\xA9 au lait\",\"artist\":\"S\xC3\xB3l og R\xC3\xB3s\","
            "\"album\":\"\xC3\x81g\xC3\xA6t plata\",\"albumartist\":\"\xC3\x9Dmsir\",\"year\":"
            "\"1999\",\"track\":3,\"tracktotal\":null,\"disc\":2,\"genre\":\"Rock\",\"comment\":"
            "\"Eng comment\",\"composer\":null,\"file\":\"" +
                JsonEscaped(opus) +
                "\",\"filename\":\"opus-cover-spanning-pages-opusenc.opus\",\"format\":"
                "\"Ogg Opus\",\"status\":\"playing\",\"position\":61000,\"length\":4000000,"
                "\"remaining\":3939000,\"positionms\":61000,\"lengthms\":4000000,\"bitrate\":128,"
                "\"samplerate\":44100,\"channels\":2,\"volume\":200,\"shuffle\":false,\"repeat\":"
                "true,\"playlistpos\":1,\"playlistlength\":2}\r\n");
}

TEST_F(NowCommandsTest, TitleWithoutTagsStreamsAndAnEmptyPlaylist) {
  const std::string untagged = Track("id3v1/no-tag-lame.mp3");
  StartPlayer({"--entry", untagged + "|10|Player Title", "--entry",
               "http://radio.example/live|-1|Radio Song", "--status", "playing"});
  EXPECT_EQ(Now("{title} [{artist}]{format}"), "Player Title MPEG\r\n");
  ASSERT_EQ(Jarvet({"NEXT"}).Status, 0);
  EXPECT_EQ(Now("{title} [{length}]{file}"), "Radio Song http://radio.example/live\r\n");
  const TProcessResult stream = Jarvet({"JSON"});
  EXPECT_NE(stream.Output.find("\"file\":\"http://radio.example/live\",\"filename\":\"live\","
                               "\"format\":null"),
            std::string::npos)
      << stream.Output;
  ASSERT_EQ(Jarvet({"CLEAR"}).Status, 0);
  const TProcessResult empty = Jarvet({"NOW"});
  EXPECT_EQ(empty.Status, 4);
  EXPECT_EQ(empty.Output, "");
  EXPECT_EQ(empty.Errors, "jarvet: nothing playing\r\n");
  const TProcessResult json = Jarvet({"JSON"});
  EXPECT_EQ(json.Output.rfind("{\"title\":null,\"artist\":null,", 0), 0u) << json.Output;
  EXPECT_NE(json.Output.find("\"file\":null,\"filename\":null,\"format\":null,\"status\":"
                             "\"stopped\",\"position\":null"),
            std::string::npos)
      << json.Output;
}

TEST_F(NowCommandsTest, PlayerThatAnswersNoPointersGivesTheFileNameAsTitle) {
  const std::string untagged = Track("id3v1/no-tag-lame.mp3");
  StartPlayer({"--basic", "--entry", untagged + "|10", "--status", "playing"});
  EXPECT_EQ(Now("{title}|{filename}"), "no-tag-lame|no-tag-lame.mp3\r\n");
  const Strings journal = Journal();
  EXPECT_EQ(std::count(journal.begin(), journal.end(), "1024 0 120"), 1)
      << "the dump, where nothing else answers";
}

TEST_F(NowCommandsTest, BadTemplatesSayWhereAndSendNothing) {
  StartPlayer({});
  const struct {
    const char* Template;
    const char* Errors;
  } cases[] = {
      {"{titel}", "jarvet: template: unknown field \"titel\" at character 2\r\n"},
      {"[{artist} - {title}", "jarvet: template: \"[\" without \"]\" at character 1\r\n"},
      {"{title", "jarvet: template: \"{\" without \"}\" at character 1\r\n"},
  };
  for (const auto& c : cases) {
    for (const char* command : {"NOW", "WATCH"}) {
      const TProcessResult result = Jarvet({command, c.Template});
      EXPECT_EQ(result.Status, 2) << c.Template;
      EXPECT_EQ(result.Output, "");
      EXPECT_EQ(result.Errors, c.Errors);
    }
  }
  EXPECT_TRUE(Journal().empty());
}

TEST_F(NowCommandsTest, CoverPictureOfEachFormat) {
  const std::string small = Fixture("pictures/cover-small.png");
  const std::string noise = Fixture("pictures/cover-noise.png");
  const struct {
    const char* Fixture;
    const std::string* Picture;  // none: the file has no cover
  } cases[] = {
      {"flac/vorbis-comment-cover-metaflac.flac", &small},
      {"ogg/vorbis-two-artists-cover-spanning-pages-mutagen.ogg", &noise},
      {kOpus, &noise},
      {"mp4/cover-atomicparsley.m4a", &small},
      {"asf/picture-dword-track-mutagen.wma", &small},
      {"ape/apev2-cover-before-id3v1-mutagen.mp3", &small},
      {"mp3/id3v2-before-apev2-and-id3v1-kid3.mp3", &small},
      {"wav/id3-chunk-mutagen.wav", &small},
      {"aiff/id3-chunk-mutagen.aiff", &small},
      {"mp4/faststart-ffmpeg.m4a", nullptr},
  };
  Strings options;
  for (const auto& c : cases) {
    options.push_back("--entry");
    options.push_back(Track(c.Fixture));
  }
  StartPlayer(options);
  const std::string picture = Dir + kSeparator + "cover.bin";
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    ASSERT_EQ(Jarvet({"SKIPTO", std::to_string(i + 1)}).Status, 0);
    const TProcessResult art = Jarvet({"ART", picture});
    if (cases[i].Picture == nullptr) {
      EXPECT_EQ(art.Status, 4) << cases[i].Fixture;
      EXPECT_EQ(art.Errors, "jarvet: no cover picture\r\n");
      continue;
    }
    EXPECT_EQ(art.Status, 0) << cases[i].Fixture << ": " << art.Errors;
    EXPECT_TRUE(ReadFile(picture) == *cases[i].Picture) << cases[i].Fixture;
  }
}

TEST_F(NowCommandsTest, WatchWritesALineAtEachChangeUntilThePlayerCloses) {
  StartPlayer({"--entry", Dir + kSeparator + "a.mp3|100|A", "--entry",
               Dir + kSeparator + "b.mp3|100|B", "--status", "playing"});
  TBackgroundProcess watch(JARVET_PROGRAM, {Dir, "WATCH", "{playlistpos} {title} {status}"},
                           Dir + kSeparator + "watch");
  ASSERT_TRUE(watch.Started());
  for (const char* command : {"", "NEXT", "PAUSE", "STOP"}) {
    std::this_thread::sleep_for(kAfterPoll);
    if (*command != '\0') {
      ASSERT_EQ(Jarvet({command}).Status, 0);
    }
  }
  std::this_thread::sleep_for(kAfterPoll);
  const std::size_t polls = Journal().size();
  StopPlayer();
  const TProcessResult result = watch.Wait(kEndMs);
  EXPECT_EQ(result.Status, 0) << "an ordinary end when the player closes";
  EXPECT_EQ(result.Output, "1 A playing\r\n2 B playing\r\n2 B paused\r\n2 B stopped\r\n");
  EXPECT_EQ(result.Errors, "");
  EXPECT_GT(polls, 20u);
}

TEST_F(NowCommandsTest, WatchFileIsNeverSeenHalfWrittenOrMissing) {
  StartPlayer({"--entry", Dir + kSeparator + "a.mp3|100|A long enough title to be torn", "--status",
               "paused"});
  const std::string file = Dir + kSeparator + "now playing.txt";
  TBackgroundProcess watch(JARVET_PROGRAM, {Dir, "WATCHFILE", "\"" + file + "\"", "{status}: {title}"},
                           Dir + kSeparator + "watchfile");
  ASSERT_TRUE(watch.Started());
  const std::set<std::string> whole{"playing: A long enough title to be torn",
                                    "paused: A long enough title to be torn"};
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!FileExists(file) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(10ms);
  }
  std::atomic<bool> reading{true};
  std::thread toggler([&] {
    while (reading) {
      SendToPlayer(273, 40046, 0);  // pause toggle
      std::this_thread::sleep_for(300ms);
    }
  });
  std::set<std::string> seen;
  int bad = 0;
  for (int i = 0; i < 10000 || (seen.size() < 2 && std::chrono::steady_clock::now() < deadline);
       ++i) {
    std::string text;
    if (!ReadFileAsPoller(file, text) || whole.count(text) == 0) ++bad;
    seen.insert(text);
  }
  reading = false;
  toggler.join();
  EXPECT_EQ(bad, 0);
  EXPECT_EQ(seen, whole) << "both texts were read, each whole";

  // Stopped, or no player at all: an empty file; it keeps running meanwhile, and finds a player
  // that comes back.
  ASSERT_EQ(Jarvet({"STOP"}).Status, 0);
  std::this_thread::sleep_for(kAfterPoll);
  EXPECT_EQ(ReadFile(file), "");
  StopPlayer();
  StartPlayer({"--entry", Dir + kSeparator + "b.mp3|100|Back again", "--status", "playing"});
  std::this_thread::sleep_for(kAfterPoll);
  EXPECT_EQ(ReadFile(file), "playing: Back again");
  const TProcessResult result = watch.Stop(kEndMs);
#ifndef _WIN32
  EXPECT_EQ(result.Status, 0) << "SIGTERM is an ordinary end";
#endif
  EXPECT_EQ(result.Output, "");
}

}  // namespace
}  // namespace jarvet::testing
