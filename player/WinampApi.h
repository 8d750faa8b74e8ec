// TWinampApi: the player's commands and queries by window message, its executable started
// with a file, and its playlist dump read back.
#pragma once

#include <cstdint>
#include <string>

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
  void GetPlaylist(TPlaylist& list);
  void SetPlaylistPos(std::int32_t index);
  std::int32_t GetVersion();
  std::string GetStatus();  // "playing", "paused", "stopped" or "unknown"
  std::string GetPosition();
  std::string GetLength();
  std::string GetBitrate();
  std::int32_t GetPlaylistPos();
  std::int32_t GetPlaylistLength();

 private:
  std::int32_t Command(std::int32_t command);
  std::int32_t Request(std::int32_t wParam, std::int32_t request);
  void StartExecutable(const std::string& switches, const std::string& file);
  std::string PathInDir(const char* fileName) const;

  TPlatform& Platform_;
};

// "MM:SS" of value / divisor seconds; minutes are not wrapped into hours. A negative value
// gives "-" and the text of its absolute value.
std::string FormatTime(std::int32_t value, std::int32_t divisor);
// Two digits at least: "07", "42", "123".
std::string PadTwo(std::int32_t number);

// The entries of a playlist dump, in order: lines that begin with "#" are dropped; LF ends a
// line and every CR is dropped; a Ctrl-Z where a line would begin ends the text.
void ParsePlaylistDump(const std::string& text, TPlaylist& list);

}  // namespace jarvet
