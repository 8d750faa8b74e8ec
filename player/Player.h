// TPlayer: the one interface the commands talk to, in what they need; one implementation per
// protocol (window messages, MPRIS over D-Bus). Texts are UTF-8, times in milliseconds.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Playlist.h"

namespace jarvet {

enum class TPlayStatus { Stopped, Playing, Paused, Unknown };

// "playing", "paused", "stopped" or "unknown".
const char* StatusWord(TPlayStatus status);

// What a player may lack. A command that needs what the player does not offer changes nothing
// and ends with "<identity> does not offer <FeatureName>".
enum class TFeature {
  Control,   // play, pause, stop, next, previous
  Seek,      // seek to and by a time
  Volume,    // read and set
  Shuffle,
  Repeat,
  Playlist,  // its entries, the current index, go to, clear, add
  Open,      // replace what plays with files or URLs
  Close,     // end the player
  // Names the track's artist, album and the like, not only its title: worth asking where the
  // file's own tags leave a field open.
  TrackTexts,
};

const char* FeatureName(TFeature feature);

// One playlist entry.
struct TEntry {
  std::string Title;  // empty where the player gives none
  std::string File;   // path or URL
};

// What the player itself says of the current track, beside the file's own tags. Empty texts
// and absent numbers where it says nothing.
struct TPlayerTrack {
  std::string File;  // local path or URL; empty when nothing is loaded
  std::string Title, Artist, Album, AlbumArtist, Genre, Comment, Composer, Year;
  std::optional<std::uint32_t> Track, Disc;
  std::optional<std::int32_t> LengthMs;
  std::string ArtUrl;  // "file://..." or "data:..." where the player names a cover
};

// The stream figures the player reports, where it reports them.
struct TPlayerFigures {
  std::optional<std::int32_t> BitrateKbps, SampleRateHz, Channels;
};

// INFO's figures as the window player has always answered them, raw: position in ms, length
// in seconds, bit rate in kbps (-1 or 0 where it knows none).
struct TInfoFigures {
  std::int32_t BitrateKbps = 0;
  std::int32_t LengthSeconds = 0;
  std::int32_t PositionMs = 0;
};

class TPlayer {
 public:
  virtual ~TPlayer() = default;

  // Whether a player was found when this was made.
  virtual bool IsRunning() const = 0;
  // True once the player has closed or stopped answering: nothing it said since counts.
  virtual bool IsGone() const = 0;
  // True once it has stopped answering in time (a hang, not a close).
  virtual bool IsHung() const = 0;
  // The player's name for messages, e.g. "Winamp" or "mpv".
  virtual std::string Identity() = 0;
  virtual bool Offers(TFeature feature) = 0;

  // VERSION's line: the window player's version number, an MPRIS player's identity.
  virtual std::string VersionText() = 0;

  virtual void Play() = 0;
  virtual void Stop() = 0;
  // Pauses, or resumes when paused; answers whether it is paused now (a player that tells its
  // status late answers from the status before).
  virtual bool TogglePause() = 0;
  virtual void Next() = 0;
  virtual void Previous() = 0;
  virtual void FadeOut() = 0;  // fades out where the player can, and stops
  virtual void Close() = 0;

  virtual TPlayStatus Status() = 0;
  // Absent while stopped or where the player does not know.
  virtual std::optional<std::int32_t> PositionMs() = 0;
  virtual std::optional<std::int32_t> LengthMs() = 0;
  // FF and REW: forward (positive) or back by the player's 5-second steps, as many as
  // |milliseconds| / 5000, at least one.
  virtual void StepBy(std::int64_t milliseconds) = 0;
  virtual void SeekTo(std::int32_t milliseconds) = 0;

  virtual std::int32_t Volume() = 0;  // 0 to 255
  virtual void SetVolume(std::int32_t volume) = 0;
  // VOLUP and VOLDOWN: up (positive) or down by the player's volume steps.
  virtual void StepVolume(std::int32_t steps) = 0;
  virtual bool Shuffle() = 0;
  virtual void SetShuffle(bool on) = 0;
  virtual bool Repeat() = 0;
  virtual void SetRepeat(bool on) = 0;

  virtual std::int32_t PlaylistLength() = 0;
  virtual std::int32_t PlaylistPosition() = 0;  // from 0
  virtual void GoTo(std::int32_t index) = 0;
  virtual void ClearPlaylist() = 0;
  virtual std::vector<TEntry> Entries() = 0;
  // Appends the files. Answers how many entries were added where the player counts them by its
  // own calls; none where its playlist's length tells (ask it before and after).
  virtual std::optional<std::int32_t> Add(const std::vector<std::string>& files) = 0;
  // Replaces the playlist with the files and plays the first. Answers the playlist's length
  // where the player knows it by its own calls, as Add does.
  virtual std::optional<std::int32_t> Open(const std::vector<std::string>& files) = 0;
  // PLAY and ENQUEUE with a folder and pattern: the list file prepared at path is loaded,
  // replacing the playlist (and playing) or appended to it. Answers how many entries it handed
  // over where it read the list itself; none where the playlist's length tells.
  virtual std::optional<std::int32_t> LoadListFile(const std::string& path, bool replace) = 0;
  // INFO's playlist and the current entry's index in it: the playlist as INFO has always read
  // it (raising EInOutError where it cannot be read), or a player's current file alone at 0.
  virtual TPlaylist ListedFiles() = 0;
  virtual std::int32_t ListedPosition() = 0;

  // The current track's file or URL, empty when nothing is loaded; the cheapest question about
  // the track.
  virtual std::string CurrentFile() = 0;
  // Everything the player says of the current track (its file included); may cost further
  // questions, so ask it where the file's own tags leave something open.
  virtual TPlayerTrack CurrentTrack() = 0;
  virtual TPlayerFigures Figures() = 0;
  virtual TInfoFigures InfoFigures() = 0;

  // Waits up to timeoutMs for something to change; true when something may have. A player that
  // cannot tell returns true once the time has passed, so callers poll it.
  virtual bool WaitForChange(int timeoutMs) = 0;
};

}  // namespace jarvet
