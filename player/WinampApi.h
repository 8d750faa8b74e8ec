// TWinampApi: the player's commands and queries by window message, its executable started
// with a file, and its playlist dump read back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform.h"
#include "Playlist.h"

namespace jarvet {

class TWinampApi {
 public:
  // Looks up the player window once; Handle stays 0 for the whole run when there is none.
  TWinampApi(TPlatform& platform, std::string winampDir);

  TWindow Handle;
  std::string WinampDir;
  bool LengthAsTime = false;    // GetLength as minutes and seconds, not seconds
  bool PositionAsTime = false;  // GetPosition as minutes and seconds, not milliseconds

  void CloseWinamp();
  void ClearPlaylist();
  void OpenFile(const std::string& file);  // replaces the playlist with the file
  void AddFile(const std::string& file);   // appends the file to the playlist
  void Play();
  void Stop();
  void Pause();
  void NextTrack();
  void PrevTrack();
  void Forward5s();
  void Rewind5s();
  void SeekTo(std::int32_t milliseconds);
  void SetVolume(std::int32_t volume);
  void VolumeUp();
  void VolumeDown();
  // Appends the player's playlist, in order; raises EInOutError when the dump can't be read.
  // titles, where given, gains each entry's title from the dump (empty where it has none).
  void GetPlaylist(TPlaylist& list, std::vector<std::string>* titles = nullptr);
  void SetPlaylistPos(std::int32_t index);
  std::int32_t GetVersion();
  std::string GetStatus();  // "playing", "paused", "stopped" or "unknown"
  std::string GetPosition();
  std::string GetLength();
  std::string GetBitrate();
  std::int32_t GetPlaylistPos();
  std::int32_t GetPlaylistLength();

  // Beyond the eighteen commands. Texts are UTF-8.
  bool IsGone() const;  // no window, or it closed or stopped answering during the run
  bool IsHung() const;  // gone because it stopped answering, not because it closed
  TPlatform& Platform() { return Platform_; }
  std::int32_t GetVolume();
  bool GetShuffle();
  void SetShuffle(bool on);
  bool GetRepeat();
  void SetRepeat(bool on);
  void FadeOut();
  std::int32_t GetPositionMs();  // -1 when stopped
  std::int32_t GetLengthSeconds();  // -1 when unknown
  // The track's length in ms from the player's ms answer, else from its seconds; -1 unknown.
  std::int32_t GetLengthMs();
  std::int32_t JumpToTime(std::int32_t milliseconds);  // 0 done, -1 not playing, 1 past the end
  std::int32_t GetStatusCode();  // kStatusPlaying, kStatusPaused, kStatusStopped or another
  std::int32_t GetInfo(std::int32_t mode);  // bit rate, sample rate, channels: kInfo... modes
  // In Hz from the player's Hz answer (5.25 on), else from its kHz one.
  std::int32_t GetSampleRateHz();
  // The entry's file or title by the wide request, else the ANSI one; none when the player
  // answers neither with readable text.
  std::optional<std::string> GetPlaylistFile(std::int32_t index);
  std::optional<std::string> GetPlaylistTitle(std::int32_t index);
  // The playing file and title by their wide requests; none when unanswered.
  std::optional<std::string> GetPlayingFile();
  std::optional<std::string> GetPlayingTitle();
  // Appends a file or URL to the playlist as WM_COPYDATA: UTF-16 for players from 5.0 on,
  // ANSI for older ones.
  void EnqueueFile(const std::string& file);

 private:
  std::int32_t Command(std::int32_t command);
  std::int32_t Request(std::int32_t wParam, std::int32_t request);
  void StartExecutable(const std::string& switches, const std::string& file);
  std::string PathInDir(const char* fileName) const;
  std::optional<std::string> ReadTextAnswer(std::int32_t answer, bool wide);
  std::optional<std::string> EntryText(std::int32_t index, std::int32_t wideRequest,
                                       std::int32_t ansiRequest);
  std::optional<std::int32_t> Version_;

  TPlatform& Platform_;
};

// The longest text read from the player's memory, in bytes.
constexpr std::size_t kMaxPlayerTextBytes = 32 * 1024;

// Text in the player's memory at address up to its terminator (a NUL, or a NUL unit when wide),
// read in chunks that do not cross a page needlessly; cut at kMaxPlayerTextBytes. None when
// nothing at the address can be read.
std::optional<std::string> ReadPlayerText(TPlatform& platform, TWindow window,
                                          std::uint32_t address, bool wide);

// The entries of a playlist dump, in order: lines that begin with "#" are dropped; LF ends a
// line and every CR is dropped; a Ctrl-Z where a line would begin ends the text. titles, where
// given, gains per entry the title of an "#EXTINF:seconds,title" line before it, else "".
void ParsePlaylistDump(const std::string& text, TPlaylist& list,
                       std::vector<std::string>* titles = nullptr);

}  // namespace jarvet
