// The simulated player's state and its answers to the player's window messages. No platform
// calls: the POSIX endpoint drives it, and so can a real window.
#pragma once

#include <chrono>
#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace jarvet::simplayer {

enum class TStatus { Stopped, Playing, Paused };

// Texts are UTF-8; the ANSI requests and the playlist dump give them in the code page.
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
  bool Shuffle = false;
  bool Repeat = false;
  // Answers as a player that imitates the interface in part: no pointer requests, no length
  // in ms (they answer 0).
  bool Basic = false;
  // The play position moves on with the clock while playing, as a real player's does; without
  // it the position stands where it was put, so that tests can name it.
  bool Clock = false;
};

// Where the player keeps the texts whose addresses it answers: a block of its memory below
// 4 GiB, as a 32-bit player's is, begun anew when full.
class TTextArena {
 public:
  TTextArena(char* bytes, std::size_t capacity, std::uint32_t address)
      : Bytes_(bytes), Capacity_(capacity), Address_(address) {}
  // The address of a copy of the bytes; 0 when they can never fit.
  std::uint32_t Store(const std::string& bytes);
  void Clear() { Used_ = 0; }
  // What lies at address, up to size bytes, within what has been stored.
  std::string Read(std::uint32_t address, std::size_t size) const;

 private:
  char* Bytes_;
  std::size_t Capacity_;
  std::uint32_t Address_;
  std::size_t Used_ = 0;
};

// Text conversions at the player's edges, by the platform's own means.
std::string AnsiToUtf8(const std::string& ansi);
std::string Utf8ToAnsi(const std::string& utf8);
std::string Utf16LeToUtf8(const std::string& bytes);
std::string Utf8ToUtf16Le(const std::string& utf8);

// An entry as a list file gives it without an #EXTINF line: length unknown, titled by its file
// name without directory and extension.
TEntry EntryForPath(const std::string& path);
// The entries of a list file's bytes.
std::vector<TEntry> ParseList(const std::string& text);

class TPlayerEngine {
 public:
  // Every message received is appended to the journal at journalPath (no journal when empty).
  // Pointer requests answer 0 without an arena.
  TPlayerEngine(TPlayerState state, const std::string& journalPath,
                TTextArena* arena = nullptr);

  std::int32_t HandleMessage(std::int32_t message, std::int32_t wParam, std::int32_t lParam);
  // WM_COPYDATA: a started executable hands over a list file (kCopyDataOpen, kCopyDataAdd), or
  // a controller appends a file (kCopyDataPlayFile, kCopyDataPlayFileW).
  std::int32_t HandOver(std::int32_t mode, const std::string& bytes);
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
  void Append(const std::string& path);
  void PlaylistChanged();
  // The address of the text of the entry at index; 0 when there is none.
  std::int32_t TextAddress(std::int32_t request, std::int32_t index);

  std::ofstream Journal_;
  bool CloseRequested_ = false;
  TTextArena* Arena_;
  std::chrono::steady_clock::time_point Ticked_ = std::chrono::steady_clock::now();
  std::map<std::pair<std::int32_t, std::int32_t>, std::uint32_t> Addresses_;
};

}  // namespace jarvet::simplayer
