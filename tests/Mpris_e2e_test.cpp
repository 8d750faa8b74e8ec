// jarvet against real MPRIS players (mpv, VLC, Audacious) on a private bus: each command's
// line and exit status, and its effect as the player itself reports it.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <thread>

#include "Player.h"
#include "support/MprisFixture.h"
#include "support/RawConnection.h"

namespace jarvet::testing {
namespace {

using Strings = std::vector<std::string>;

// One run and what it must give: its exit status, standard output and error, and an Effect
// that, where given, must come true in the player soon after.
struct TCase {
  Strings Parameters;  // the player's name first
  int Status;
  std::string Output;
  std::string Errors;
  std::function<bool()> Effect;
};

std::string Describe(const Strings& parameters) {
  std::string text;
  for (const std::string& p : parameters) text += (text.empty() ? "" : " ") + p;
  return text;
}

// The value of key in a one-line JSON object, as written (a string with its quotes).
std::string JsonValue(const std::string& json, const std::string& key) {
  const std::string marker = "\"" + key + "\":";
  const std::size_t at = json.find(marker);
  if (at == std::string::npos) return std::string();
  std::size_t start = at + marker.size();
  std::size_t end = start;
  if (json[start] == '"') {
    for (end = start + 1; end < json.size() && json[end] != '"'; ++end) {
      if (json[end] == '\\') ++end;
    }
    ++end;
  } else {
    end = json.find_first_of(",}", start);
  }
  return json.substr(start, end - start);
}

// A number of the JSON object; absent when the key is missing or not a number.
std::optional<double> JsonNumber(const std::string& json, const std::string& key) {
  const std::string text = JsonValue(json, key);
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size()) return std::nullopt;
  return value;
}

const char kNoPlayer[] = "jarvet: no player running\r\n";

class MprisTest : public MprisFixture {
 protected:
  void Check(const std::vector<TCase>& cases) const {
    for (std::size_t row = 0; row < cases.size(); ++row) {
      const TCase& c = cases[row];
      const TProcessResult result = Jarvet(c.Parameters);
      const std::string what = Describe(c.Parameters) + " (row " + std::to_string(row + 1) + ")";
      EXPECT_EQ(result.Status, c.Status) << what;
      EXPECT_EQ(result.Output, c.Output) << what;
      EXPECT_EQ(result.Errors, c.Errors) << what;
      if (c.Effect) {
        EXPECT_TRUE(WaitUntil(c.Effect, 3000))
            << what << ": not seen in the player, which has " << PlayerState();
      }
    }
  }
  // What the running players report of themselves, for a failure's message.
  std::string PlayerState() const {
    std::string state;
    if (Mpv) {
      for (const char* property : {"pause", "time-pos", "volume", "playlist-pos", "playlist-count",
                                   "loop-playlist", "idle-active", "path"}) {
        state += std::string(" ") + property + "=" + Mpv->Get(property).value_or("(none)");
      }
    }
    if (Vlc) {
      state += " playing=" + std::to_string(Vlc->Playing()) + " input=" + Vlc->CurrentInput() +
               " titles=";
      for (const std::string& title : Vlc->PlaylistTitles()) state += "[" + title + "]";
    }
    if (Audacious) {
      state += " status=" + Audacious->Audtool({"playback-status"}) +
               " position=" + Audacious->Audtool({"playlist-position"}) +
               " length=" + Audacious->Audtool({"playlist-length"});
    }
    return state;
  }
  // The line of a command that needs what the player lacks.
  static std::string NotOffered(const std::string& identity, TFeature feature) {
    return "jarvet: " + identity + " does not offer " + FeatureName(feature) + "\r\n";
  }
  std::function<bool()> MpvIs(const std::string& property, const std::string& value) const {
    return [this, property, value] { return Mpv->Get(property) == value; };
  }
  std::function<bool()> MpvNear(const std::string& property, double value, double tolerance) const {
    return [this, property, value, tolerance] {
      const std::optional<double> actual = Mpv->Number(property);
      return actual && std::fabs(*actual - value) <= tolerance;
    };
  }
  // mpv plays the playlist entry, and its plugin says Playing twice in a row, a tenth of a second
  // apart.
  std::function<bool()> MpvPlaysTrack(const std::string& index) const {
    return [this, index] {
      const auto playing = [&] {
        return Mpv->Get("playlist-pos") == index && Mpv->Get("core-idle") == "no" &&
               Bus->Property(TMpv::kBusName, "org.mpris.MediaPlayer2.Player", "PlaybackStatus") ==
                   "Playing";
      };
      if (!playing()) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      return playing();
    };
  }
  // Three tracks with distinct tags; the first one's file name is not ASCII.
  Strings ThreeTracks() {
    return {Track("players/first-cover-ffmpeg.mp3", "Ünïcødé Wålk 日本 — ♫.mp3"),
            Track("players/second-ffmpeg.mp3", "second.mp3"),
            Track("players/third-ffmpeg.mp3", "third.mp3")};
  }
};

const char kFirstTitle[] = "Ünïcødé Wålk 日本";

// The volume that jarvet's 0-255 value sets in mpv (0-100), and mpv's time tolerance in seconds.
double MpvVolume(int volume) { return volume * 100.0 / 255.0; }
constexpr double kSeconds = 0.5;

TEST_F(MprisTest, MpvCarriesOutEachControlCommand) {
  StartMpv(ThreeTracks());
  Check({
      {{"mpv", "STATUS"}, 0, "playing\r\n", "", MpvIs("pause", "no")},
      {{"mpv", "VERSION"}, 0, "mpv\r\n", "", nullptr},
      {{"mpv", "PAUSE"}, 0, "Playback paused\r\n", "", MpvIs("pause", "yes")},
      {{"mpv", "STATUS"}, 0, "paused\r\n", "", nullptr},
      {{"mpv", "PAUSE"}, 0, "Playback resumed\r\n", "", MpvIs("pause", "no")},
      {{"mpv", "TOGGLE"}, 0, "paused\r\n", "", MpvIs("pause", "yes")},
      {{"mpv", "TOGGLE"}, 0, "playing\r\n", "", MpvIs("pause", "no")},
      // While it changes tracks mpv's plugin may say Paused: the next row waits for Playing.
      {{"mpv", "NEXT"}, 0, "Skipping to next track\r\n", "", MpvPlaysTrack("1")},
      {{"mpv", "PREV"}, 0, "Skipping to previous track\r\n", "", MpvPlaysTrack("0")},
      {{"mpv", "PAUSE"}, 0, "Playback paused\r\n", "", MpvIs("pause", "yes")},
      {{"mpv", "PLAY"}, 0, "Playing...\r\n", "", MpvIs("pause", "no")},
      {{"mpv", "TOGGLE"}, 0, "paused\r\n", "", MpvIs("pause", "yes")},
  });
  // Paused from here on. mpv, paused after playing with no sound card, lands each seek a sixth
  // of a second short: every seek is checked against where it started.
  const struct {
    Strings Parameters;
    const char* Output;
    double By;  // seconds from the position before
  } seeks[] = {
      {{"mpv", "REW", "10"}, "Rewinding 10 s\r\n", -10},
      {{"mpv", "FF", "12"}, "Fast forwarding 12 s\r\n", 10},  // whole 5-second presses
      {{"mpv", "FF"}, "Fast forwarding 5 s\r\n", 5},
      {{"mpv", "SEEKBY", "-3"}, "", -3},
  };
  Check({{{"mpv", "SEEK", "0:15"},
          0,
          "Seeking to 0:15 s\r\n",
          "",
          MpvNear("time-pos", 15, kSeconds)}});
  for (const auto& seek : seeks) {
    const double before = Mpv->Number("time-pos").value_or(-100);
    const TProcessResult result = Jarvet(seek.Parameters);
    const std::string what = Describe(seek.Parameters);
    EXPECT_EQ(result.Status, 0) << what;
    EXPECT_EQ(result.Errors, "") << what;
    EXPECT_TRUE(WaitUntil(MpvNear("time-pos", before + seek.By, kSeconds)))
        << what << " from " << before << ": " << PlayerState();
    if (*seek.Output != '\0') {
      EXPECT_EQ(result.Output, seek.Output) << what;
    } else {
      // SEEKBY shows the position that mpv reports afterwards, in whole seconds.
      const auto after = static_cast<int>(Mpv->Number("time-pos").value_or(-100));
      EXPECT_EQ(result.Output,
                "00:" + std::string(after < 10 ? "0" : "") + std::to_string(after) + "\r\n")
          << what;
    }
  }
  Check({
      {{"mpv", "SEEKBY", "-1:00"}, 0, "00:00\r\n", "", MpvNear("time-pos", 0, kSeconds)},
      {{"mpv", "VOLUME"}, 0, "255\r\n", "", MpvNear("volume", 100, 0.01)},
      {{"mpv", "SETVOL", "128"},
       0,
       "Setting volume to 128\r\n",
       "",
       MpvNear("volume", MpvVolume(128), 0.01)},
      {{"mpv", "VOLUME"}, 0, "128\r\n", "", nullptr},
      {{"mpv", "VOLUP", "2"},
       0,
       "Increasing volume by 2 units\r\n",
       "",
       MpvNear("volume", MpvVolume(136), 0.01)},
      {{"mpv", "VOLDOWN"},
       0,
       "Decreasing volume by 1 units\r\n",
       "",
       MpvNear("volume", MpvVolume(132), 0.01)},
      {{"mpv", "VOLUME", "25%"}, 0, "64\r\n", "", MpvNear("volume", MpvVolume(64), 0.01)},
      {{"mpv", "VOLUME", "+300"}, 0, "255\r\n", "", MpvNear("volume", 100, 0.01)},
      // mpv goes beyond 100 %; jarvet's scale ends at 255.
      {{"mpv", "VOLUP", "3"},
       0,
       "Increasing volume by 3 units\r\n",
       "",
       MpvNear("volume", 100, 0.01)},
      {{"mpv", "VOLDOWN", "100"},
       0,
       "Decreasing volume by 100 units\r\n",
       "",
       MpvNear("volume", 0, 0.01)},
      {{"mpv", "REPEAT"}, 0, "off\r\n", "", MpvIs("loop-playlist", "no")},
      {{"mpv", "REPEAT", "on"}, 0, "on\r\n", "", MpvIs("loop-playlist", "inf")},
      {{"mpv", "REPEAT", "toggle"}, 0, "off\r\n", "", MpvIs("loop-playlist", "no")},
      {{"mpv", "FADEOUT"}, 0, "stopped\r\n", "", MpvIs("idle-active", "yes")},
      {{"mpv", "STATUS"}, 0, "stopped\r\n", "", nullptr},
  });
}

TEST_F(MprisTest, MpvHasNoTrackListAndSaysSoChangingNothing) {
  const Strings tracks = ThreeTracks();
  StartMpv(tracks);
  const std::string lacks = NotOffered("mpv", TFeature::Playlist);
  const auto unchanged = [this] {
    return Mpv->Get("playlist-count") == "3" && Mpv->Get("playlist-pos") == "0";
  };
  Check({
      {{"mpv", "LIST"}, 5, "", lacks, unchanged},
      {{"mpv", "POS"}, 5, "", lacks, unchanged},
      {{"mpv", "SKIPTO", "2"}, 5, "", lacks, unchanged},
      {{"mpv", "CLEAR"}, 5, "", lacks, unchanged},
      {{"mpv", "ADD", tracks[1]}, 5, "", lacks, unchanged},
  });
}

TEST_F(MprisTest, MpvStopIsCarriedOut) {
  StartMpv(ThreeTracks());
  // mpv's plugin empties the playlist on Stop; that is mpv's doing, so only the stop is checked.
  Check({
      {{"mpv", "STOP"}, 0, "Playback stopped\r\n", "", MpvIs("idle-active", "yes")},
  });
  // The plugin tells its PlaybackStatus a moment after mpv itself has stopped.
  EXPECT_TRUE(WaitUntil([&] { return Jarvet({"mpv", "STATUS"}).Output == "stopped\r\n"; }, 3000));
}

TEST_F(MprisTest, MpvOpensFilesAndUrlsInPlaceOfItsPlaylist) {
  const Strings tracks = ThreeTracks();
  // Paused: OPEN plays what it opens.
  StartMpv({tracks[2]}, {"--pause=yes"});
  Check({
      {{"mpv", "OPEN", tracks[0], tracks[1]},
       0,
       "2\r\n",
       "",
       [&] {
         return Mpv->Get("playlist-count") == "2" && Mpv->Get("path") == tracks[0] &&
                Mpv->Get("pause") == "no";
       }},
      {{"mpv", "OPEN", FileUri(tracks[1])},
       0,
       "1\r\n",
       "",
       [&] {
         return Mpv->Get("playlist-count") == "1" && Mpv->Get("path") == tracks[1] &&
                Mpv->Get("pause") == "no";
       }},
  });
}

TEST_F(MprisTest, MpvNowPlayingFromTheFileItsTagsAndCover) {
  const Strings tracks = ThreeTracks();
  // Paused between two whole seconds from the start: no position to round, none that moves.
  StartMpv(tracks, {"--pause=yes", "--start=5.5"});
  ASSERT_TRUE(WaitUntil(MpvNear("time-pos", 5.5, 0.05))) << PlayerState();
  const std::string name = "Ünïcødé Wålk 日本 — ♫.mp3";
  Check({
      {{"mpv", "NOW"}, 0, "Ärtist - Ünïcødé Wålk 日本\r\n", "", nullptr},
      {{"mpv", "NOW",
        "{title}|{album}|{year}|{track}|{filename}|{format}|{status}|{position}|"
        "{length}"},
       0,
       std::string(kFirstTitle) + "|Albüm|2024|3|" + name + "|MPEG|paused|0:05|0:24\r\n",
       "",
       nullptr},
  });

  const TProcessResult json = Jarvet({"mpv", "JSON"});
  EXPECT_EQ(json.Status, 0);
  EXPECT_EQ(JsonValue(json.Output, "title"), std::string("\"") + kFirstTitle + "\"");
  EXPECT_EQ(JsonValue(json.Output, "file"), "\"" + tracks[0] + "\"");
  EXPECT_EQ(JsonValue(json.Output, "status"), "\"paused\"");
  const std::optional<double> position = Mpv->Number("time-pos");
  const std::optional<double> duration = Mpv->Number("duration");
  ASSERT_TRUE(position && duration);
  EXPECT_NEAR(JsonNumber(json.Output, "positionms").value_or(-1), *position * 1000, 1);
  EXPECT_NEAR(JsonNumber(json.Output, "lengthms").value_or(-1), *duration * 1000, 1);

  const TProcessResult info = Jarvet({"mpv", "INFO"});
  EXPECT_EQ(info.Status, 0);
  EXPECT_EQ(info.Output.rfind(
                std::string("Winamp now playing: 3. ") + kFirstTitle + " (00:05/00:24) @ ", 0),
            0u)
      << info.Output;
  const std::string end = " kbps by Ärtist from Albüm (2024).\r\n";
  EXPECT_TRUE(info.Output.size() > end.size() &&
              info.Output.compare(info.Output.size() - end.size(), end.size(), end) == 0)
      << info.Output;

  const std::string cover = Dir + "/cover.png";
  const TProcessResult art = Jarvet({"mpv", "ART", cover});
  EXPECT_EQ(art.Status, 0);
  EXPECT_EQ(art.Output, "");
  EXPECT_EQ(ReadFile(cover), ReadFile(FixturePath("pictures/cover-small.png")));
}

TEST_F(MprisTest, StreamTakesItsTitleFromThePlayer) {
  TLoopbackHttp server(ReadFile(FixturePath("players/second-ffmpeg.mp3")), "audio/mpeg");
  const std::string url = server.Url("stream.mp3");
  ASSERT_FALSE(url.empty());
  StartMpv({url});
  ASSERT_TRUE(WaitUntil([&] { return Mpv->Get("media-title") == "Second Song"; }));
  Check({
      {{"mpv", "NOW", "{title}|{file}|{filename}"},
       0,
       "Second Song|" + url + "|stream.mp3\r\n",
       "",
       nullptr},
  });
}

TEST_F(MprisTest, WatchFollowsMpvAndEndsWhenItLeaves) {
  StartMpv(ThreeTracks());
  TBackgroundProcess watch(JARVET_PROGRAM, {"mpv", "WATCH", "{title}"}, Dir + "/watch");
  const auto output = [&] {
    std::string text;
    ReadFileAsPoller(Dir + "/watch.out", text);
    return text;
  };
  const std::string first = std::string(kFirstTitle) + "\r\n";
  ASSERT_TRUE(WaitUntil([&] { return output() == first; })) << output();
  ASSERT_TRUE(Mpv->Command("[\"playlist-next\"]"));
  EXPECT_TRUE(WaitUntil([&] { return output() == first + "Second Song\r\n"; })) << output();
  Mpv->Quit();
  const TProcessResult ended = watch.Wait(5000);
  EXPECT_EQ(ended.Status, 0) << ended.Errors;
  EXPECT_EQ(ended.Output, first + "Second Song\r\n");
}

TEST_F(MprisTest, WatchMovesAPlayingPositionOn) {
  // mpv never signals its position: jarvet moves the shown one on by the time passed.
  StartMpv(ThreeTracks(), {"--start=2.5"});
  ASSERT_TRUE(WaitUntil([&] { return Mpv->Number("time-pos").value_or(0) >= 2.5; }));
  TBackgroundProcess watch(JARVET_PROGRAM, {"mpv", "WATCH", "{position}"}, Dir + "/watch");
  std::this_thread::sleep_for(std::chrono::milliseconds(3600));
  const int now = static_cast<int>(Mpv->Number("time-pos").value_or(-100));
  const TProcessResult stopped = watch.Stop(5000);
  std::vector<int> seconds;  // each line's M:SS
  for (std::size_t at = 0, end; (end = stopped.Output.find("\r\n", at)) != std::string::npos;
       at = end + 2) {
    const std::string line = stopped.Output.substr(at, end - at);
    seconds.push_back(std::stoi(line) * 60 + std::stoi(line.substr(line.find(':') + 1)));
  }
  ASSERT_GE(seconds.size(), 3u) << stopped.Output;
  for (std::size_t i = 1; i < seconds.size(); ++i) {
    EXPECT_EQ(seconds[i], seconds[i - 1] + 1) << "a line a second:\n" << stopped.Output;
  }
  EXPECT_GE(seconds.back(), now - 1) << "the last line is at most a second old:\n"
                                     << stopped.Output;
}

TEST_F(MprisTest, WatchFileWaitsForMpvToComeBack) {
  const Strings tracks = ThreeTracks();
  StartMpv({tracks[0]});
  const std::string file = Dir + "/now.txt";
  TBackgroundProcess watch(JARVET_PROGRAM, {"mpv", "WATCHFILE", file, "{title}"},
                           Dir + "/watchfile");
  const auto text = [&] {
    std::string t;
    return ReadFileAsPoller(file, t) ? t : std::string("(no file)");
  };
  EXPECT_TRUE(WaitUntil([&] { return text() == kFirstTitle; })) << text();
  Mpv->Quit();
  EXPECT_TRUE(WaitUntil([&] { return text().empty(); })) << text();
  StartMpv({tracks[1]});
  EXPECT_TRUE(WaitUntil([&] { return text() == "Second Song"; }, 8000)) << text();
  const TProcessResult stopped = watch.Stop(5000);
  EXPECT_EQ(stopped.Status, 0) << stopped.Errors;
  EXPECT_EQ(stopped.Output, "");
}

TEST_F(MprisTest, ServeAnswersAsJsonAndArtDoAndControlsMpv) {
  const Strings tracks = ThreeTracks();
  StartMpv(tracks, {"--pause=yes", "--start=5.5"});
  ASSERT_TRUE(WaitUntil(MpvNear("time-pos", 5.5, 0.05))) << PlayerState();
  const int port = FreeLoopbackPort();
  setenv("JARVET_TOKEN", "mpris-token", 1);
  TBackgroundProcess serve(JARVET_PROGRAM, {"mpv", "SERVE", std::to_string(port)},
                           Dir + "/serve");
  ASSERT_TRUE(WaitUntil([&] { return HttpRequest(port, "GET", "/now.json").Status == 200; }));

  const TProcessResult json = Jarvet({"mpv", "JSON"});
  ASSERT_EQ(json.Status, 0);
  const std::string now = HttpRequest(port, "GET", "/now.json").Body;
  const std::size_t updated = now.rfind(",\"updated\":");
  ASSERT_NE(updated, std::string::npos) << now;
  EXPECT_EQ(now.substr(0, updated) + "}\r\n", json.Output);
  const THttpAnswer art = HttpRequest(port, "GET", "/art");
  EXPECT_EQ(art.Status, 200);
  EXPECT_EQ(art.Body, ReadFile(FixturePath("pictures/cover-small.png")));

  EXPECT_EQ(HttpRequest(port, "POST", "/control/next").Status, 401);
  EXPECT_EQ(HttpRequest(port, "POST", "/control/next?token=mpris-token").Status, 204);
  EXPECT_TRUE(WaitUntil([&] { return Mpv->Get("playlist-pos") == "1"; })) << PlayerState();
  EXPECT_TRUE(WaitUntil([&] {
    return HttpRequest(port, "GET", "/now.json").Body.find("\"title\":\"Second Song\"") !=
           std::string::npos;
  }));
  const TProcessResult stopped = serve.Stop(5000);
  EXPECT_EQ(stopped.Status, 0) << stopped.Errors;
  EXPECT_EQ(stopped.Errors, "jarvet: serving http://127.0.0.1:" + std::to_string(port) + "/\r\n");
}

TEST_F(MprisTest, PlayersAreChosenByNameAndAbsentOnesSaidSo) {
  // Nothing on the bus yet but the bus itself.
  Check({
      {{"mpris", "STATUS"}, 3, "", kNoPlayer, nullptr},
      {{"mpv", "PLAY"}, 3, "", kNoPlayer, nullptr},
      {{"mpv", "INFO"}, 3, "", kNoPlayer, nullptr},
  });
  const Strings tracks = ThreeTracks();
  StartMpv({tracks[0]}, {"--pause=yes"});
  StartVlc({tracks[1]});
  Check({
      {{"mpris:mpv", "VERSION"}, 0, "mpv\r\n", "", nullptr},
      {{"vlc", "VERSION"}, 0, "VLC media player\r\n", "", nullptr},
      // The one playing before the one paused.
      {{"mpris", "VERSION"}, 0, "VLC media player\r\n", "", nullptr},
      {{"mpris:vlc", "STATUS"}, 0, "playing\r\n", "", nullptr},
      {{"mpris:nosuch", "STATUS"}, 3, "", kNoPlayer, nullptr},
      {{"nosuch", "VOLUP"}, 3, "", kNoPlayer, nullptr},
      {{"nosuch", "NOW"}, 3, "", kNoPlayer, nullptr},
  });
}

TEST_F(MprisTest, PlayerThatStopsAnsweringEndsTheRun) {
  StartMpv(ThreeTracks());
  Mpv->Signal(SIGSTOP);
  Check({{{"mpv", "STATUS"}, 3, "", "jarvet: the player did not answer\r\n", nullptr}});
  Mpv->Signal(SIGCONT);
}

TEST_F(MprisTest, VlcCarriesOutThePlaylistCommandsAndShuffle) {
  const Strings tracks = ThreeTracks();
  StartVlc(tracks);
  const std::string shuffle = "org.mpris.MediaPlayer2.Player";
  const auto titles = [this](const Strings& expected) {
    return [this, expected] { return Vlc->PlaylistTitles() == expected; };
  };
  ASSERT_TRUE(WaitUntil(titles({kFirstTitle, "Second Song", "Third Song"})))
      << "VLC has not read the tags";
  const std::string fourth = Track("players/third-ffmpeg.mp3", "fourth — ♫.mp3");
  const std::string fifth = Track("players/second-ffmpeg.mp3", "fifth.mp3");
  const std::string sixth = Track("players/first-cover-ffmpeg.mp3", "sixth.mp3");
  Check({
      {{"vlc", "VERSION"}, 0, "VLC media player\r\n", "", nullptr},
      {{"vlc", "LIST"},
       0,
       std::string("1\t") + kFirstTitle + "\t" + tracks[0] + "\r\n2\tSecond Song\t" + tracks[1] +
           "\r\n3\tThird Song\t" + tracks[2] + "\r\n",
       "",
       nullptr},
      {{"vlc", "POS"}, 0, "0\r\n", "", nullptr},
      {{"vlc", "SKIPTO", "3"},
       0,
       "Skipping to track 3\r\n",
       "",
       [&] { return Vlc->CurrentInput() == FileUri(tracks[2]); }},
      {{"vlc", "POS"}, 0, "2\r\n", "", nullptr},
      // In the order given, each after the one added before it.
      {{"vlc", "ADD", fifth, sixth},
       0,
       "2\r\n",
       "",
       titles({kFirstTitle, "Second Song", "Third Song", "Second Song", kFirstTitle})},
      // VLC's Tracks lags behind its own AddTrack until the current item changes, so where a
      // later run's file lands among those is VLC's affair: it is added, and counted.
      {{"vlc", "ADD", fourth},
       0,
       "1\r\n",
       "",
       [&] {
         Strings now = Vlc->PlaylistTitles();
         Strings expected{kFirstTitle,  "Second Song", "Third Song",
                          "Third Song", "Second Song", kFirstTitle};
         std::sort(now.begin(), now.end());
         std::sort(expected.begin(), expected.end());
         return now == expected;
       }},
      {{"vlc", "SHUFFLE"},
       0,
       "off\r\n",
       "",
       [&] { return Bus->Property(TVlc::kBusName, shuffle, "Shuffle") == "boolean false"; }},
      {{"vlc", "SHUFFLE", "on"},
       0,
       "on\r\n",
       "",
       [&] { return Bus->Property(TVlc::kBusName, shuffle, "Shuffle") == "boolean true"; }},
      {{"vlc", "SHUFFLE", "toggle"},
       0,
       "off\r\n",
       "",
       [&] { return Bus->Property(TVlc::kBusName, shuffle, "Shuffle") == "boolean false"; }},
      {{"vlc", "REPEAT", "on"},
       0,
       "on\r\n",
       "",
       [&] { return Bus->Property(TVlc::kBusName, shuffle, "LoopStatus") == "Playlist"; }},
      {{"vlc", "STOP"}, 0, "Playback stopped\r\n", "", [&] { return !Vlc->Playing(); }},
      {{"vlc", "STATUS"}, 0, "stopped\r\n", "", nullptr},
      {{"vlc", "CLEAR"}, 0, "Clearing playlist...\r\n", "", titles({})},
  });
}

TEST_F(MprisTest, VlcOpenReplacesItsPlaylist) {
  // VLC's own OpenUri appends and plays: replacing is jarvet's part.
  const Strings tracks = ThreeTracks();
  StartVlc({tracks[0], tracks[1]});
  ASSERT_TRUE(WaitUntil([&] { return Vlc->PlaylistTitles().size() == 2; }));
  Check({
      {{"vlc", "OPEN", tracks[2]},
       0,
       "1\r\n",
       "",
       [&] {
         return Vlc->PlaylistTitles() == Strings{"Third Song"} &&
                Vlc->CurrentInput() == FileUri(tracks[2]) && Vlc->Playing();
       }},
  });
}

TEST_F(MprisTest, AudaciousCarriesOutWhatItOffers) {
  const Strings tracks = ThreeTracks();
  StartAudacious({tracks[0], tracks[1]});
  const auto audtool = [this](const Strings& arguments, const std::string& expected) {
    return [this, arguments, expected] { return Audacious->Audtool(arguments) == expected; };
  };
  Check({
      {{"audacious", "VERSION"}, 0, "Audacious\r\n", "", nullptr},
      {{"audacious", "STATUS"}, 0, "playing\r\n", "", audtool({"playback-status"}, "playing")},
      {{"audacious", "PAUSE"},
       0,
       "Playback paused\r\n",
       "",
       audtool({"playback-status"}, "paused")},
      {{"audacious", "STATUS"}, 0, "paused\r\n", "", nullptr},
      {{"audacious", "NEXT"},
       0,
       "Skipping to next track\r\n",
       "",
       audtool({"playlist-position"}, "2")},
      {{"audacious", "PREV"},
       0,
       "Skipping to previous track\r\n",
       "",
       audtool({"playlist-position"}, "1")},
      {{"audacious", "NOW", "{title} / {artist}"},
       0,
       std::string(kFirstTitle) + " / Ärtist\r\n",
       "",
       nullptr},
      {{"audacious", "STOP"},
       0,
       "Playback stopped\r\n",
       "",
       audtool({"playback-status"}, "stopped")},
      {{"audacious", "PLAY"}, 0, "Playing...\r\n", "", audtool({"playback-status"}, "playing")},
  });
}

TEST_F(MprisTest, AudaciousLacksPlaylistOpenShuffleAndRepeatAndChangesNothing) {
  const Strings tracks = ThreeTracks();
  StartAudacious({tracks[0], tracks[1]});
  const std::string playlist = NotOffered("Audacious", TFeature::Playlist);
  const std::string shuffle = NotOffered("Audacious", TFeature::Shuffle);
  const std::string repeat = NotOffered("Audacious", TFeature::Repeat);
  const std::string open = NotOffered("Audacious", TFeature::Open);
  const auto unchanged = [this] {
    return Audacious->Audtool({"playlist-length"}) == "2" &&
           Audacious->Audtool({"playlist-position"}) == "1" &&
           Audacious->Audtool({"playlist-shuffle-status"}) == "off" &&
           Audacious->Audtool({"playlist-repeat-status"}) == "off";
  };
  Check({
      {{"audacious", "LIST"}, 5, "", playlist, unchanged},
      {{"audacious", "POS"}, 5, "", playlist, unchanged},
      {{"audacious", "SKIPTO", "2"}, 5, "", playlist, unchanged},
      {{"audacious", "CLEAR"}, 5, "", playlist, unchanged},
      {{"audacious", "ADD", tracks[2]}, 5, "", playlist, unchanged},
      {{"audacious", "OPEN", tracks[2]}, 5, "", open, unchanged},
      {{"audacious", "SHUFFLE"}, 5, "", shuffle, unchanged},
      {{"audacious", "SHUFFLE", "on"}, 5, "", shuffle, unchanged},
      {{"audacious", "REPEAT"}, 5, "", repeat, unchanged},
      {{"audacious", "REPEAT", "on"}, 5, "", repeat, unchanged},
  });
}

}  // namespace
}  // namespace jarvet::testing
