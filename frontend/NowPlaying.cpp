// INFO: one line about the playing track, from the player's figures and the file's tag: an
// ID3v2 tag when the file has one, its ID3v1 trailer otherwise.
#include "NowPlaying.h"

#include "ControlCommands.h"
#include "ID3v1.h"
#include "ID3v2.h"
#include "Text.h"

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

// titleEnd is " (" after an ID3v2 title and "(" after an ID3v1 one.
void WriteLine(TCommandContext& c, unsigned track, const std::string& title, const char* titleEnd,
               const std::string& suffix) {
  const std::string bitrate = c.Player.GetBitrate();
  const std::string length = c.Player.GetLength();
  const std::string position = c.Player.GetPosition();
  // A line feed or tab in a tag would break the one line: it shows as a blank, as in NOW.
  c.Out.WriteLine(OneLine("Winamp now playing: " + IntToStr(track) + ". " + title + titleEnd +
                          position + "/" + length + ") @ " + bitrate + " kbps" + suffix + "."));
}

}  // namespace

void ReportNowPlaying(TCommandContext& c) {
  c.Player.LengthAsTime = true;
  c.Player.PositionAsTime = true;
  TPlaylist playlist;
  c.Player.GetPlaylist(playlist);

  TID3v2 tag2;
  tag2.Load(playlist.Get(c.Player.GetPlaylistPos()));
  if (tag2.TagFound) {
    if (tag2.Title.empty()) return;
    WriteLine(c, tag2.Track, tag2.Title, " (", Suffix(tag2.Artist, tag2.Album, tag2.Year));
    return;
  }
  // The position is asked again: the track may have changed meanwhile.
  TID3v1 tag1;
  tag1.Load(playlist.Get(c.Player.GetPlaylistPos()));
  if (!tag1.TagFound) return;
  WriteLine(c, tag1.Track, tag1.Title, "(", Suffix(tag1.Artist, tag1.Album, tag1.Year));
}

}  // namespace jarvet
