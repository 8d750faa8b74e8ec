// INFO: one line about the playing track, from the player's figures and the file's tag: an
// ID3v2 tag when the file has one, its ID3v1 trailer otherwise; the file's headers give the
// figures the player answers 0 for.
#include "NowPlaying.h"

#include "ID3v1.h"
#include "ID3v2.h"
#include "Text.h"
#include "TrackTags.h"

namespace jarvet {

namespace {

// " by artist from album (year)", each part only when its field has text.
std::string Suffix(const std::string& artist, const std::string& album, const std::string& year) {
  std::string suffix;
  if (!artist.empty()) suffix += " by " + artist;
  if (!album.empty()) suffix += " from " + album;
  if (!year.empty()) suffix += " (" + year + ")";
  return suffix;
}

constexpr std::int32_t kMsPerSecond = 1000;

// A player that answers 0 for the bit rate or the length (an imitator of the window player, or
// none at all) leaves them to the file's headers.
void FillFromFile(const std::string& file, TInfoFigures& figures) {
  if (figures.BitrateKbps != 0 && figures.LengthSeconds != 0) return;
  const auto tags = tags::ReadTrackTags(file, TNameEncoding::CodePage);
  if (!tags) return;
  if (figures.BitrateKbps == 0 && tags->Audio.Bitrate) {
    figures.BitrateKbps = static_cast<std::int32_t>(*tags->Audio.Bitrate);
  }
  if (figures.LengthSeconds == 0 && tags->Audio.LengthMs) {
    figures.LengthSeconds = static_cast<std::int32_t>(*tags->Audio.LengthMs / kMsPerSecond);
  }
}

// titleEnd is " (" after an ID3v2 title and "(" after an ID3v1 one.
void WriteLine(TCommandContext& c, const std::string& file, unsigned track,
               const std::string& title, const char* titleEnd, const std::string& suffix) {
  TInfoFigures figures = c.Player.InfoFigures();
  FillFromFile(file, figures);
  // A line feed or tab in a tag would break the one line: it shows as a blank, as in NOW.
  c.Out.WriteLine(OneLine("Winamp now playing: " + IntToStr(track) + ". " + title + titleEnd +
                          FormatTime(figures.PositionMs, 1000) + "/" +
                          FormatTime(figures.LengthSeconds, 1) + ") @ " +
                          IntToStr(figures.BitrateKbps) + " kbps" + suffix + "."));
}

}  // namespace

void ReportNowPlaying(TCommandContext& c) {
  const TPlaylist playlist = c.Player.ListedFiles();

  TID3v2 tag2;
  const std::string file2 = playlist.Get(c.Player.ListedPosition());
  tag2.Load(file2);
  if (tag2.TagFound) {
    if (tag2.Title.empty()) return;
    WriteLine(c, file2, tag2.Track, tag2.Title, " (", Suffix(tag2.Artist, tag2.Album, tag2.Year));
    return;
  }
  // The position is asked again: the track may have changed meanwhile.
  TID3v1 tag1;
  const std::string file1 = playlist.Get(c.Player.ListedPosition());
  tag1.Load(file1);
  if (!tag1.TagFound) return;
  WriteLine(c, file1, tag1.Track, tag1.Title, "(", Suffix(tag1.Artist, tag1.Album, tag1.Year));
}

}  // namespace jarvet
