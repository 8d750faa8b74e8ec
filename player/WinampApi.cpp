// TWinampApi: the player's commands and queries by window message, its executable started
// with a file, and its playlist dump read back.
#include "WinampApi.h"

#include <algorithm>
#include <limits>
#include <string_view>

#include "CodePage.h"
#include "Failure.h"
#include "File.h"
#include "PlayerProtocol.h"
#include "Text.h"
#include "Unicode.h"

namespace jarvet {

namespace {

constexpr char kCtrlZ = 26;
constexpr std::size_t kReadChunk = 64 * 1024;
constexpr std::uint32_t kPageSize = 4096;
constexpr std::int32_t kMsPerSecond = 1000;

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
  switch (GetStatusCode()) {
    case kStatusStopped: return "stopped";
    case kStatusPlaying: return "playing";
    case kStatusPaused: return "paused";
    default: return "unknown";
  }
}

std::string TWinampApi::GetPosition() {
  const std::int32_t milliseconds = Request(0, kReqGetOutputTime);
  return PositionAsTime ? FormatTime(milliseconds, 1000) : IntToStr(milliseconds);
}

std::string TWinampApi::GetLength() {
  const std::int32_t seconds = GetLengthSeconds();
  return LengthAsTime ? FormatTime(seconds, 1) : IntToStr(seconds);
}

std::string TWinampApi::GetBitrate() { return IntToStr(GetInfo(kInfoBitrate)); }
std::int32_t TWinampApi::GetInfo(std::int32_t mode) { return Request(mode, kReqGetInfo); }
std::int32_t TWinampApi::GetStatusCode() { return Request(0, kReqGetStatus) & 0xFFFF; }

std::int32_t TWinampApi::GetSampleRateHz() {
  constexpr std::int32_t kHzPerKhz = 1000;
  // An older player answers the Hz mode as an unknown one, or with its kHz figure.
  const std::int32_t hertz = GetInfo(kInfoSampleRateHz);
  if (hertz >= kHzPerKhz) return hertz;
  return GetInfo(kInfoSampleRateKhz) * kHzPerKhz;
}

void TWinampApi::GetPlaylist(TPlaylist& list, std::vector<std::string>* titles) {
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
  ParsePlaylistDump(text, list, titles);
}

bool TWinampApi::IsGone() const { return Platform_.IsGone(Handle); }

bool TWinampApi::IsHung() const { return Platform_.IsHung(Handle); }
std::int32_t TWinampApi::GetVolume() { return Request(kVolumeQuery, kReqSetVolume); }
bool TWinampApi::GetShuffle() { return Request(0, kReqGetShuffle) != 0; }
void TWinampApi::SetShuffle(bool on) { Request(on ? 1 : 0, kReqSetShuffle); }
bool TWinampApi::GetRepeat() { return Request(0, kReqGetRepeat) != 0; }
void TWinampApi::SetRepeat(bool on) { Request(on ? 1 : 0, kReqSetRepeat); }
void TWinampApi::FadeOut() { Command(kCmdFadeOut); }
std::int32_t TWinampApi::GetPositionMs() { return Request(kTimePosition, kReqGetOutputTime); }
std::int32_t TWinampApi::GetLengthSeconds() { return Request(kTimeLength, kReqGetOutputTime); }
std::int32_t TWinampApi::JumpToTime(std::int32_t milliseconds) {
  return Request(milliseconds, kReqJumpToTime);
}

std::int32_t TWinampApi::GetLengthMs() {
  // A player that doesn't know the ms request answers 0 or 1 (unknown request) to it.
  const std::int32_t milliseconds = Request(kTimeLengthMs, kReqGetOutputTime);
  if (milliseconds > kUnknownRequestAnswer || milliseconds < 0) return milliseconds;
  const std::int32_t seconds = GetLengthSeconds();
  if (seconds < 0) return -1;
  return static_cast<std::int32_t>(std::min<std::int64_t>(
      std::int64_t{seconds} * kMsPerSecond, std::numeric_limits<std::int32_t>::max()));
}

std::optional<std::string> TWinampApi::ReadTextAnswer(std::int32_t answer, bool wide) {
  const auto address = static_cast<std::uint32_t>(answer);  // a 32-bit player's pointer
  if (address < kLowestPlayerAddress) return std::nullopt;
  std::optional<std::string> raw = ReadPlayerText(Platform_, Handle, address, wide);
  if (!raw) return std::nullopt;
  if (!wide) return AnsiToUtf8(*raw);
  std::u16string units(raw->size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<unsigned char>((*raw)[2 * i]) |
                                     static_cast<unsigned char>((*raw)[2 * i + 1]) << 8);
  }
  return Utf16ToUtf8(units);
}

std::optional<std::string> TWinampApi::EntryText(std::int32_t index, std::int32_t wideRequest,
                                                 std::int32_t ansiRequest) {
  if (std::optional<std::string> text = ReadTextAnswer(Request(index, wideRequest), true)) {
    return text;
  }
  if (IsGone()) return std::nullopt;
  return ReadTextAnswer(Request(index, ansiRequest), false);
}

std::optional<std::string> TWinampApi::GetPlaylistFile(std::int32_t index) {
  return EntryText(index, kReqGetPlaylistFileW, kReqGetPlaylistFile);
}

std::optional<std::string> TWinampApi::GetPlaylistTitle(std::int32_t index) {
  return EntryText(index, kReqGetPlaylistTitleW, kReqGetPlaylistTitle);
}

std::optional<std::string> TWinampApi::GetPlayingFile() {
  return ReadTextAnswer(Request(0, kReqGetPlayingFileW), true);
}

std::optional<std::string> TWinampApi::GetPlayingTitle() {
  return ReadTextAnswer(Request(0, kReqGetPlayingTitleW), true);
}

void TWinampApi::EnqueueFile(const std::string& file) {
  if (!Version_) Version_ = GetVersion();
  if (*Version_ >= kFirstWideVersion) {
    const std::u16string units = Utf8ToUtf16(file) + u'\0';
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (char16_t unit : units) {
      bytes += static_cast<char>(unit & 0xFF);
      bytes += static_cast<char>(unit >> 8);
    }
    Platform_.SendCopyData(Handle, kCopyDataPlayFileW, bytes);
  } else {
    const std::string ansi = Utf8ToAnsi(file);
    Platform_.SendCopyData(Handle, kCopyDataPlayFile, std::string_view(ansi.c_str(), ansi.size() + 1));
  }
}

std::optional<std::string> ReadPlayerText(TPlatform& platform, TWindow window,
                                          std::uint32_t address, bool wide) {
  const std::size_t unit = wide ? 2 : 1;
  std::string text;
  std::uint64_t next = address;
  while (text.size() < kMaxPlayerTextBytes) {
    // Up to the page's end first: the text's end may lie just before unreadable memory.
    const std::size_t pageLeft = kPageSize - static_cast<std::size_t>(next % kPageSize);
    const std::size_t want = std::min(pageLeft, kMaxPlayerTextBytes - text.size());
    if (next + want > std::uint64_t{1} << 32) break;
    const std::size_t size = text.size();
    text.resize(size + want);
    const std::size_t got =
        platform.ReadPlayerMemory(window, static_cast<std::uint32_t>(next), &text[size], want);
    text.resize(size + std::min(got, want));
    // A terminator is a whole zero unit, at a unit boundary from the start.
    for (std::size_t i = (size / unit) * unit; i + unit <= text.size(); i += unit) {
      if (text[i] == '\0' && (unit == 1 || text[i + 1] == '\0')) {
        text.resize(i);
        return text;
      }
    }
    if (got < want) break;
    next += want;
  }
  if (text.empty()) return std::nullopt;
  text.resize(text.size() / unit * unit);
  return text;
}

void ParsePlaylistDump(const std::string& text, TPlaylist& list,
                       std::vector<std::string>* titles) {
  constexpr std::string_view kExtInf = "#EXTINF:";
  std::string title;  // of the next entry, from the #EXTINF line before it
  std::size_t p = 0;
  while (p < text.size() && text[p] != kCtrlZ) {
    std::size_t end = text.find('\n', p);
    if (end == std::string::npos) end = text.size();
    const std::string_view raw(text.data() + p, end - p);
    std::string line;
    line.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size();) {
      const std::size_t stop = std::min(raw.find('\r', i), raw.size());
      line.append(raw, i, stop - i);
      i = stop + 1;
    }
    // A comment is known by its first character once CRs are dropped: it is never an entry.
    if (line.empty() || line[0] != '#') {
      list.Add(std::move(line));
      if (titles) titles->push_back(std::move(title));
      title.clear();
    } else if (line.compare(0, kExtInf.size(), kExtInf) == 0) {
      const std::size_t comma = line.find(',');
      title = comma == std::string::npos ? std::string() : line.substr(comma + 1);
    }
    p = end + 1;
  }
}

}  // namespace jarvet
