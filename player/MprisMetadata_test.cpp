#include "MprisMetadata.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace jarvet {
namespace {

using TList = std::vector<std::string>;

TEST(MprisMetadata, DecodesTheFieldsOfAWellFormedTrack) {
  const TBusDictionary metadata = {
      {"mpris:trackid", std::string("/org/mpris/MediaPlayer2/Track/3")},
      {"xesam:url", std::string("file:///music/Caf%C3%A9%20Tacuba/01%20-%20Ojal%C3%A1.flac")},
      {"xesam:title", std::string("Ojalá")},
      {"xesam:artist", TList{"Café Tacuba", "Guest"}},
      {"xesam:album", std::string("Re")},
      {"xesam:albumArtist", TList{"Café Tacuba"}},
      {"xesam:genre", std::string("Rock")},  // a string where a list belongs, as some send
      {"xesam:comment", TList{"first", "second"}},
      {"xesam:composer", TList{"A", "B"}},
      {"xesam:contentCreated", std::string("1994-07-12T00:00:00Z")},
      {"xesam:trackNumber", std::int64_t{1}},
      {"xesam:discNumber", std::int64_t{2}},
      {"mpris:length", std::int64_t{245'678'999}},
      {"mpris:artUrl", std::string("file:///music/cover%20art.jpg")},
  };
  const TMprisTrack decoded = DecodeMetadata(metadata);
  EXPECT_EQ(decoded.TrackId, "/org/mpris/MediaPlayer2/Track/3");
  const TPlayerTrack& t = decoded.Track;
  EXPECT_EQ(t.File, "/music/Café Tacuba/01 - Ojalá.flac");
  EXPECT_EQ(t.Title, "Ojalá");
  EXPECT_EQ(t.Artist, "Café Tacuba, Guest");
  EXPECT_EQ(t.Album, "Re");
  EXPECT_EQ(t.AlbumArtist, "Café Tacuba");
  EXPECT_EQ(t.Genre, "Rock");
  EXPECT_EQ(t.Comment, "first, second");
  EXPECT_EQ(t.Composer, "A, B");
  EXPECT_EQ(t.Year, "1994");
  EXPECT_EQ(t.Track, 1u);
  EXPECT_EQ(t.Disc, 2u);
  EXPECT_EQ(t.LengthMs, 245'678);
  EXPECT_EQ(t.ArtUrl, "file:///music/cover%20art.jpg");
}

// Each row: one key with a value that must leave its field absent.
TEST(MprisMetadata, UntrustedValuesLeaveTheirFieldAbsent) {
  const std::string notUtf8 = "T\xC3\x28tle";
  struct TCase {
    const char* key;
    TBusValue value;
  };
  const TCase cases[] = {
      {"xesam:title", std::int64_t{7}},
      {"xesam:title", notUtf8},
      {"xesam:title", TList{"a list"}},
      {"xesam:artist", TList{notUtf8}},
      {"xesam:artist", true},
      {"xesam:url", std::string("file:///a%2")},          // cut escape
      {"xesam:url", std::string("file:///a%zz")},         // not hex
      {"xesam:url", std::string("file:///a%00b")},        // NUL in a path
      {"xesam:url", std::string("file:///a%0Ab")},        // a line break
      {"xesam:url", std::string("file:///a%1B[2J")},      // a terminal escape
      {"xesam:url", std::string("file:///a%FF")},         // decodes to no UTF-8
      {"xesam:url", std::string("file://server/share/a")},  // a remote host
      {"xesam:url", std::string("file:///a?x=1")},
      {"xesam:url", std::string("relative/path.mp3")},
      {"xesam:url", std::string("http://radio/\nx")},
      {"xesam:url", notUtf8},
      {"mpris:length", std::int64_t{-5}},
      {"mpris:length", std::int64_t{0}},
      {"mpris:length", std::int64_t{std::numeric_limits<std::int64_t>::max()}},
      {"mpris:length", std::numeric_limits<double>::quiet_NaN()},
      {"mpris:length", std::numeric_limits<double>::infinity()},
      {"mpris:length", std::string("245000000")},
      {"xesam:trackNumber", std::int64_t{0}},
      {"xesam:trackNumber", std::int64_t{-1}},
      {"xesam:trackNumber", std::int64_t{1} << 40},
      {"xesam:contentCreated", std::string("19x4")},
      {"xesam:contentCreated", std::string("12345")},
      {"mpris:artUrl", std::string("http://host/cover.jpg")},
      {"mpris:artUrl", std::string("data:image/png;base64,iVBOR*w0K")},
      {"mpris:artUrl", std::string("data:image/png;base64,iVBORw0KG")},  // one lone character
      {"mpris:artUrl", std::string("data:image/png;base64,")},
      {"mpris:artUrl", std::string("data:image/png;base64,iVB=Rw==")},
      {"mpris:artUrl", std::string("data:text/plain,100%")},
      {"mpris:artUrl", std::string("data:no-comma")},
      {"mpris:artUrl", std::string("file:///a%g0.jpg")},
      {"mpris:trackid", std::int64_t{3}},
      {"xesam:album", TBusOther{}},
  };
  for (const TCase& c : cases) {
    const TMprisTrack decoded = DecodeMetadata({{c.key, c.value}});
    const TPlayerTrack& t = decoded.Track;
    const bool absent = decoded.TrackId.empty() && t.File.empty() && t.Title.empty() &&
                        t.Artist.empty() && t.Album.empty() && t.Year.empty() &&
                        !t.Track && !t.LengthMs && t.ArtUrl.empty();
    EXPECT_TRUE(absent) << c.key << " value #" << c.value.index() << " of case "
                        << (&c - cases);
  }
}

TEST(MprisMetadata, KeepsWhatIsValidBesideWhatIsNot) {
  const TMprisTrack decoded =
      DecodeMetadata({{"xesam:artist", TList{"Good", "\xFF", "", "Also"}},
                      {"xesam:url", std::string("https://radio.example/stream?x=1")},
                      {"mpris:length", 3.5e6},
                      {"xesam:title", std::string("First")},
                      {"xesam:title", std::string("Second")},
                      {"mpris:artUrl", std::string("data:image/png;base64,iVBORw0KGgo=")}});
  EXPECT_EQ(decoded.Track.Artist, "Good, Also");
  EXPECT_EQ(decoded.Track.File, "https://radio.example/stream?x=1");
  EXPECT_EQ(decoded.Track.LengthMs, 3500);
  EXPECT_EQ(decoded.Track.Title, "First");
  EXPECT_EQ(decoded.Track.ArtUrl, "data:image/png;base64,iVBORw0KGgo=");
}

TEST(MprisMetadata, FileUrisAndPathsRoundTrip) {
  const char* paths[] = {"/a b/c", "/Ünï/çødé ♫.mp3", "/100%/#hash?/x", "/a+b;c=d,e'f\"g"};
  for (const char* path : paths) {
    const std::string uri = PathToFileUri(path);
    EXPECT_EQ(uri.find_first_of(" #?;'\"", 7), std::string::npos) << uri;
    EXPECT_EQ(FileUriToPath(uri), std::optional<std::string>(path)) << uri;
  }
  EXPECT_EQ(PathToFileUri("/a b/é"), "file:///a%20b/%C3%A9");
  EXPECT_EQ(FileUriToPath("file://localhost/x%2fy"), std::optional<std::string>("/x/y"));
  EXPECT_EQ(FileUriToPath("file:/x"), std::nullopt);
}

TEST(MprisMetadata, VolumeRoundsHalfUpBothWaysAndClamps) {
  struct TCase {
    double bus;
    std::int32_t volume;
  };
  const TCase reads[] = {{0.0, 0},     {1.0, 255},   {0.5, 128},  {127.5 / 255, 128},
                         {127.49 / 255, 127}, {-0.3, 0}, {1.7, 255}, {std::nan(""), 0},
                         {std::numeric_limits<double>::infinity(), 255}};
  for (const TCase& c : reads) EXPECT_EQ(VolumeFromBus(c.bus), c.volume) << c.bus;
  for (std::int32_t v = 0; v <= 255; ++v) EXPECT_EQ(VolumeFromBus(VolumeToBus(v)), v);
  EXPECT_EQ(VolumeToBus(-4), 0.0);
  EXPECT_EQ(VolumeToBus(300), 1.0);
}

TEST(MprisMetadata, MicrosecondsBecomeMillisecondsWhereTheyFit) {
  EXPECT_EQ(MicrosecondsToMs(1'999), 1);
  EXPECT_EQ(MicrosecondsToMs(2'147'483'647'999), 2'147'483'647);
  EXPECT_EQ(MicrosecondsToMs(2'147'483'648'000), std::nullopt);
  EXPECT_EQ(MicrosecondsToMs(-1), std::nullopt);
}

TEST(MprisMetadata, ParametersPickTheirBusNames) {
  const std::vector<std::string> names = {
      ":1.4",
      "org.freedesktop.DBus",
      "org.mpris.MediaPlayer2.mpv",
      "org.mpris.MediaPlayer2.mpvx",
      "org.mpris.MediaPlayer2.vlc.instance4711",
      "org.mpris.MediaPlayer2.vlc.other",
      "org.mpris.MediaPlayer2.",
      "org.mpris.MediaPlayer2.audacious",
  };
  const std::vector<std::string> all = {
      "org.mpris.MediaPlayer2.mpv", "org.mpris.MediaPlayer2.mpvx",
      "org.mpris.MediaPlayer2.vlc.instance4711", "org.mpris.MediaPlayer2.vlc.other",
      "org.mpris.MediaPlayer2.audacious"};
  struct TCase {
    const char* parameter;
    std::vector<std::string> matching;
  };
  const TCase cases[] = {
      {"mpris", all},
      {"mpris:", all},
      {"mpv", {"org.mpris.MediaPlayer2.mpv"}},
      {"mpris:mpv", {"org.mpris.MediaPlayer2.mpv"}},
      {"vlc", {"org.mpris.MediaPlayer2.vlc.instance4711"}},
      {"vlc.other", {"org.mpris.MediaPlayer2.vlc.other"}},
      {"mp", {}},
      {"spotify", {}},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(MatchingPlayerNames(c.parameter, names), c.matching) << c.parameter;
  }
}

TEST(MprisMetadata, PlayingBeatsPausedBeatsAny) {
  using S = TPlayStatus;
  struct TCase {
    std::vector<S> statuses;
    std::optional<std::size_t> chosen;
  };
  const TCase cases[] = {
      {{}, std::nullopt},
      {{S::Stopped, S::Unknown}, 0},
      {{S::Stopped, S::Paused, S::Playing, S::Playing}, 2},
      {{S::Unknown, S::Paused, S::Paused}, 1},
  };
  for (const TCase& c : cases) EXPECT_EQ(PreferredPlayer(c.statuses), c.chosen);
}

}  // namespace
}  // namespace jarvet
