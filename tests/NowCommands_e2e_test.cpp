// NOW, JSON, WATCH, WATCHFILE and ART run as processes against the simulated player, on files
// written by real tagging tools.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "support/PlayerFixture.h"


namespace jarvet::testing {
namespace {

using Strings = std::vector<std::string>;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

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
  // The player's figures of a track (its defaults 128 kbit/s, 44.1 kHz, stereo) are track
  // fields too.
  EXPECT_NE(json.Output.find("\"bitrate\":null,\"samplerate\":null,\"channels\":null,"),
            std::string::npos)
      << json.Output;
}

#ifndef _WIN32
// A backslash is an ordinary character of a POSIX file name.
TEST_F(NowCommandsTest, FileNameKeepsABackslashOnPosix) {
  // No title from the player: the file name without its extension stands in.
  StartPlayer({"--entry", Dir + "/back\\slash.mp3|100|", "--status", "playing"});
  EXPECT_EQ(Now("{filename}|{title}"), "back\\slash.mp3|back\\slash\r\n");
}
#endif

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

// The fault: 25,000 nested groups took the stack (SIGSEGV; on Windows a stack overflow). A
// Windows command line holds 32,767 characters at the most, and Wine starts none of 24,000.
TEST_F(NowCommandsTest, DeeplyNestedTemplatesAreRefused) {
  StartPlayer({"--entry", Dir + kSeparator + "a.mp3|100|A", "--status", "playing"});
#ifdef _WIN32
  constexpr int kLevels = 8000;
#else
  constexpr int kLevels = 25000;
#endif
  std::string deep;
  for (int i = 0; i < kLevels; ++i) deep += "[a";
  for (int i = 0; i < kLevels; ++i) deep += "b]";
  const std::string nested33 = std::string(33, '[') + "{title}" + std::string(33, ']');
  for (const char* command : {"NOW", "WATCH"}) {
    const TProcessResult result = Jarvet({command, deep});
    EXPECT_EQ(result.Status, 2) << command;
    EXPECT_EQ(result.Output, "");
    EXPECT_EQ(result.Errors, "jarvet: template: longer than 4096 characters\r\n") << command;
  }
  const TProcessResult nested = Jarvet({"NOW", nested33});
  EXPECT_EQ(nested.Status, 2);
  EXPECT_EQ(nested.Errors, "jarvet: template: groups nested deeper than 32 at character 33\r\n");
  EXPECT_EQ(Now(std::string(32, '[') + "{title}" + std::string(32, ']')), "A\r\n");
  // "]]" closes two groups; a backslash makes a bracket the character.
  EXPECT_EQ(Now("[{title}[ ({year})]]"), "A\r\n");
  EXPECT_EQ(Now("\\[{title}\\] [{status}[ \\{{playlistpos}\\}]]"), "[A] playing {1}\r\n");
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

// The file that ART (and WATCHFILE, through the same writer) is given is written, never replaced
// by something else; a folder, or a name in none, is a bad argument said in words.
TEST_F(NowCommandsTest, ArtWritesWhatTheNameStandsFor) {
  const std::string small = Fixture("pictures/cover-small.png");
  StartPlayer({"--entry", Track("flac/vorbis-comment-cover-metaflac.flac")});
  const std::string folder = Dir + kSeparator + "covers";
  fs::create_directory(folder);
  const std::string missing = folder + kSeparator + "missing" + kSeparator + "cover.png";
  const struct {
    std::string File;
    int Status;
    std::string Errors;
  } refused[] = {
      {folder, 2, "jarvet: cannot write " + folder + ": it is a folder\r\n"},
      {missing, 2, "jarvet: cannot write " + missing + ": no such folder\r\n"},
  };
  for (const auto& c : refused) {
    const TProcessResult art = JarvetUtf8({"ART", c.File});
    EXPECT_EQ(art.Status, c.Status) << c.File;
    EXPECT_EQ(art.Errors, c.Errors);
  }
  EXPECT_TRUE(fs::is_empty(folder));

  // A name longer than a message should quote is cut.
  std::string longName = folder;
  for (int i = 0; i < 5; ++i) longName += kSeparator + std::string(40, 'n');  // within MAX_PATH
  longName += kSeparator + std::string("x.png");
  const TProcessResult cut = JarvetUtf8({"ART", longName});
  EXPECT_EQ(cut.Status, 2);
  EXPECT_EQ(cut.Errors,
            "jarvet: cannot write " + longName.substr(0, 200) + "...: no such folder\r\n");

#ifndef _WIN32
  // A file keeps its mode (600 came back as 644).
  const std::string own = folder + "/own.png";
  WriteFile(own, "old");
  ASSERT_EQ(chmod(own.c_str(), 0600), 0);
  const TProcessResult kept = Jarvet({"ART", own});
  EXPECT_EQ(kept.Status, 0) << kept.Errors;
  EXPECT_TRUE(ReadFile(own) == small);
  EXPECT_EQ(fs::status(own).permissions(), fs::perms::owner_read | fs::perms::owner_write)
      << "the mode was not kept";

  // A link stays a link; the file it points to gets the picture and keeps its mode.
  const std::string target = folder + "/target.png";
  WriteFile(target, "old");
  ASSERT_EQ(chmod(target.c_str(), 0600), 0);
  ASSERT_EQ(symlink("covers/target.png", (Dir + "/link.png").c_str()), 0);
  const TProcessResult linked = Jarvet({"ART", Dir + "/link.png"});
  EXPECT_EQ(linked.Status, 0) << linked.Errors;
  EXPECT_TRUE(fs::is_symlink(Dir + "/link.png")) << "the link was replaced by a file";
  EXPECT_TRUE(ReadFile(target) == small);
  EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write)
      << "the mode was not kept";

  // A FIFO is written into, not replaced by a file nobody reads. The reader is there first (the
  // picture fits into the pipe); a FIFO renamed over leaves it nothing to read.
  const std::string fifo = Dir + "/cover.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  const TProcessResult piped = Jarvet({"ART", fifo});
  std::string read;
  char buffer[4096];
  for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;) {
    read.append(buffer, static_cast<std::size_t>(n));
  }
  close(reader);
  EXPECT_EQ(piped.Status, 0) << piped.Errors;
  EXPECT_TRUE(read == small);
  EXPECT_TRUE(fs::is_fifo(fifo)) << "the FIFO was replaced by a file";

  // The shell's word is the name, quotes and all.
  const std::string quoted = Dir + "/the \"cover\".png";
  const TProcessResult named = Jarvet({"ART", quoted});
  EXPECT_EQ(named.Status, 0) << named.Errors;
  EXPECT_TRUE(ReadFile(quoted) == small);
#endif
}

#ifndef _WIN32
// A FIFO that nobody reads holds the run no longer than the 10 s bound.
TEST_F(NowCommandsTest, ArtGivesUpOnAFifoThatNobodyReads) {
  StartPlayer({"--entry", Track("flac/vorbis-comment-cover-metaflac.flac")});
  const std::string fifo = Dir + "/cover.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const auto start = std::chrono::steady_clock::now();
  const TProcessResult art = Jarvet({"ART", fifo});
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(art.Status, 1);
  EXPECT_EQ(art.Errors, "jarvet: cannot write " + fifo + ": nothing read it within 10 s\r\n");
  EXPECT_GE(took, 9s);
  EXPECT_LT(took, 15s);
  EXPECT_TRUE(fs::is_fifo(fifo));
}
#endif

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
  // The name's blank is quoted on Windows's command line; a POSIX shell's word holds it as it is.
  TBackgroundProcess watch(JARVET_PROGRAM, {Dir, "WATCHFILE", file, "{status}: {title}"},
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
