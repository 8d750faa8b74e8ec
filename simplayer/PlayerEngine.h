// The simulated player's state and its answers to the player's window messages. No platform
// calls: the POSIX endpoint drives it, and so can a real window.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace jarvet::simplayer {

enum class TStatus { Stopped, Playing, Paused };

struct TEntry {
  std::string Path;
  std::int32_t Length = -1;  // seconds; -1 when unknown
  std::string Title;
};

constexpr std::int32_t kDefaultBitrate = 128;
constexpr std::int32_t kDefaultVolume = 200;
constexpr std::int32_t kDefaultVersion = 0x5666;

struct TPlayerState {
  std::string Directory;  // where winamp.m3u is written
  std::vector<TEntry> Entries;
  std::int32_t Position = 0;  // 0-based index of the current entry
  TStatus Status = TStatus::Stopped;
  std::int32_t Time = 0;  // play position in ms
  std::int32_t Bitrate = kDefaultBitrate;
  std::int32_t Volume = kDefaultVolume;  // 0..255
  std::int32_t Version = kDefaultVersion;
};

// An entry as a list file gives it without an #EXTINF line: length unknown, titled by its file
// name without directory and extension.
TEntry EntryForPath(const std::string& path);
// The entries of a list file's bytes.
std::vector<TEntry> ParseList(const std::string& text);

class TPlayerEngine {
 public:
  // Every message received is appended to the journal at journalPath (no journal when empty).
  TPlayerEngine(TPlayerState state, const std::string& journalPath);

  std::int32_t HandleMessage(std::int32_t message, std::int32_t wParam, std::int32_t lParam);
  // A started executable hands over the list file at path; mode kCopyDataOpen or kCopyDataAdd.
  std::int32_t HandOver(std::int32_t mode, const std::string& path);
  // What a hand-over does, without the journal line: for the list the player itself starts on.
  // False for an unknown mode.
  bool LoadList(std::int32_t mode, const std::string& path);
  bool CloseRequested() const { return CloseRequested_; }

  TPlayerState State;

 private:
  std::int32_t Command(std::int32_t command);
  std::int32_t Request(std::int32_t request, std::int32_t argument);
  void Play();
  void StepEntry(std::int32_t step);
  void MoveTime(std::int32_t milliseconds);
  std::int32_t CurrentLength() const;
  void WritePlaylist() const;
  void Journal(const std::string& line);

  std::ofstream Journal_;
  bool CloseRequested_ = false;
};

}  // namespace jarvet::simplayer
