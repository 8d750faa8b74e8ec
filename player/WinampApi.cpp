// TWinampApi: the player's commands and queries by window message, its executable started
// with a file, and its playlist dump read back.
#include "WinampApi.h"

#include <algorithm>
#include <string_view>

#include "Failure.h"
#include "File.h"
#include "Text.h"
#include "WindowMessages.h"

namespace jarvet {

namespace {

constexpr char kExecutableName[] = "winamp.exe";
constexpr char kPlaylistDumpName[] = "winamp.m3u";
constexpr char kAddSwitch[] = "/ADD";
constexpr char kCtrlZ = 26;
constexpr std::size_t kReadChunk = 64 * 1024;

}  // namespace

const std::string& TPlaylist::Get(std::int64_t index) const {
  if (index < 0 || index >= Count()) throw EStringListError(index);
  return Items_[static_cast<std::size_t>(index)];
}

TWinampApi::TWinampApi(TPlatform& platform, std::string winampDir)
    : Handle(platform.FindTopWindow(kPlayerWindowClass)),
      WinampDir(std::move(winampDir)),
      Platform_(platform) {}

std::int32_t TWinampApi::Command(std::int32_t command) {
  return Platform_.SendWindowMessage(Handle, kWmCommand, command, 0);
}

std::int32_t TWinampApi::Request(std::int32_t wParam, std::int32_t request) {
  return Platform_.SendWindowMessage(Handle, kWmUser, wParam, request);
}

std::string TWinampApi::PathInDir(const char* fileName) const {
  return WinampDir + kDirectorySeparator + fileName;
}

// Neither the directory nor the file is escaped: a quote inside either is passed on as it is.
void TWinampApi::StartExecutable(const std::string& switches, const std::string& file) {
  Platform_.StartProgram('"' + PathInDir(kExecutableName) + "\" " + switches + '"' + file + '"');
}

void TWinampApi::CloseWinamp() { Command(kCmdClose); }
void TWinampApi::ClearPlaylist() { Request(0, kReqClearPlaylist); }
void TWinampApi::OpenFile(const std::string& file) { StartExecutable("", file); }
void TWinampApi::AddFile(const std::string& file) {
  StartExecutable(std::string(kAddSwitch) + ' ', file);
}
void TWinampApi::Play() { Command(kCmdPlay); }
void TWinampApi::Stop() { Command(kCmdStop); }
void TWinampApi::Pause() { Command(kCmdPause); }
void TWinampApi::NextTrack() { Command(kCmdNextTrack); }
void TWinampApi::PrevTrack() { Command(kCmdPrevTrack); }
void TWinampApi::Forward5s() { Command(kCmdForward5s); }
void TWinampApi::Rewind5s() { Command(kCmdRewind5s); }
void TWinampApi::SeekTo(std::int32_t milliseconds) { Request(milliseconds, kReqJumpToTime); }
void TWinampApi::SetVolume(std::int32_t volume) { Request(volume, kReqSetVolume); }
void TWinampApi::VolumeUp() { Command(kCmdVolumeUp); }
void TWinampApi::VolumeDown() { Command(kCmdVolumeDown); }
void TWinampApi::SetPlaylistPos(std::int32_t index) { Request(index, kReqSetPlaylistPos); }
std::int32_t TWinampApi::GetVersion() { return Request(0, kReqGetVersion); }
std::int32_t TWinampApi::GetPlaylistPos() { return Request(0, kReqGetPlaylistPos); }
std::int32_t TWinampApi::GetPlaylistLength() { return Request(0, kReqGetPlaylistLength); }

std::string TWinampApi::GetStatus() {
  switch (Request(0, kReqGetStatus) & 0xFFFF) {
    case 0: return "stopped";
    case 1: return "playing";
    case 3: return "paused";
    default: return "unknown";
  }
}

std::string TWinampApi::GetPosition() {
  const std::int32_t milliseconds = Request(0, kReqGetOutputTime);
  return PositionAsTime ? FormatTime(milliseconds, 1000) : IntToStr(milliseconds);
}

std::string TWinampApi::GetLength() {
  const std::int32_t seconds = Request(1, kReqGetOutputTime);
  return LengthAsTime ? FormatTime(seconds, 1) : IntToStr(seconds);
}

std::string TWinampApi::GetBitrate() { return IntToStr(Request(1, kReqGetInfo)); }

void TWinampApi::GetPlaylist(TPlaylist& list) {
  Request(0, kReqWritePlaylist);  // the player has written its dump when this returns
  TReadOnlyFile file;
  if (!file.Open(PathInDir(kPlaylistDumpName), TShare::ReadOnly)) {
    throw EInOutError(file.LastError());
  }
  // The first read is sized by the file, one byte over so that its end shows as a short read;
  // a file that grows meanwhile is read on in chunks.
  std::int64_t fileSize = 0;
  std::size_t chunk =
      file.Size(fileSize) && fileSize >= 0 ? static_cast<std::size_t>(fileSize) + 1 : kReadChunk;
  std::string text;
  for (;;) {
    const std::size_t size = text.size();
    std::size_t got = 0;
    text.resize(size + chunk);
    if (!file.Read(&text[size], chunk, got)) throw EInOutError(file.LastError());
    text.resize(size + got);
    if (got < chunk) break;
    chunk = kReadChunk;
  }
  if (!file.Close()) throw EInOutError(file.LastError());
  ParsePlaylistDump(text, list);
}

void ParsePlaylistDump(const std::string& text, TPlaylist& list) {
  std::size_t p = 0;
  while (p < text.size() && text[p] != kCtrlZ) {
    std::size_t end = text.find('\n', p);
    if (end == std::string::npos) end = text.size();
    const std::string_view raw(text.data() + p, end - p);
    // A comment is known by its first character once CRs are dropped: it is never copied.
    const std::size_t first = raw.find_first_not_of('\r');
    if (first == std::string_view::npos || raw[first] != '#') {
      std::string line;
      line.reserve(raw.size());
      for (std::size_t i = 0; i < raw.size();) {
        const std::size_t stop = std::min(raw.find('\r', i), raw.size());
        line.append(raw, i, stop - i);
        i = stop + 1;
      }
      list.Add(std::move(line));
    }
    p = end + 1;
  }
}

std::string PadTwo(std::int32_t number) {
  return (number >= 0 && number <= 9 ? "0" : "") + IntToStr(number);
}

std::string FormatTime(std::int32_t value, std::int32_t divisor) {
  const std::int64_t seconds = static_cast<std::int64_t>(value) / divisor;
  const std::int64_t magnitude = seconds < 0 ? -seconds : seconds;
  const auto minutes = static_cast<std::int32_t>(magnitude / 60);
  const auto rest = static_cast<std::int32_t>(magnitude % 60);
  return (seconds < 0 ? "-" : "") + PadTwo(minutes) + ":" + PadTwo(rest);
}

}  // namespace jarvet
