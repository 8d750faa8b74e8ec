// The simulated player's answers to window messages and list-file hand-overs.
#include "PlayerEngine.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <optional>
#include <sstream>
#include <utility>

#include "PlayerProtocol.h"

namespace jarvet::simplayer {

namespace {

constexpr std::int32_t kSeekStepMs = 5000;
constexpr std::int32_t kVolumeStep = 4;
constexpr std::int32_t kMaxVolume = 255;
constexpr std::int32_t kHandledCopyData = 1;  // the answer for a copy the window took
constexpr std::int32_t kMsPerSecond = 1000;

// What the simulation answers to the kReqGetInfo modes it does not keep in its state.
constexpr std::int32_t kSampleRateKhz = 44;
constexpr std::int32_t kSampleRateHz = 44100;
constexpr std::int32_t kChannels = 2;

constexpr char kM3uHeader[] = "#EXTM3U";
constexpr char kExtInf[] = "#EXTINF:";
constexpr char kCrLf[] = "\r\n";
constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
constexpr char kUtf8ListExtension[] = ".m3u8";

bool IsBlank(const std::string& line) { return line.find_first_not_of(" \t") == std::string::npos; }

// The seconds of an #EXTINF line: an optionally signed decimal number, else -1.
std::int32_t ParseSeconds(const std::string& text) {
  std::size_t i = text.find_first_not_of(' ');
  if (i == std::string::npos) return -1;
  const bool negative = text[i] == '-';
  if (negative) ++i;
  if (i == text.size()) return -1;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
    if (value > std::numeric_limits<std::int32_t>::max()) return -1;
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

// info is the text after "#EXTINF:", "<seconds>,<title>".
void ApplyExtInf(const std::string& info, TEntry& entry) {
  const std::size_t comma = info.find(',');
  entry.Length = ParseSeconds(info.substr(0, comma));
  if (comma != std::string::npos) entry.Title = info.substr(comma + 1);
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool IsListFile(const std::string& path) {
  return EndsWith(path, ".m3u") || EndsWith(path, kUtf8ListExtension) || EndsWith(path, ".M3U");
}

// A list file is in the code page, unless it is an .m3u8.
std::vector<TEntry> ReadList(const std::string& path) {
  std::ifstream in(Utf8ToAnsi(path), std::ios::binary);
  if (!in) return {};
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return ParseList(EndsWith(path, kUtf8ListExtension) ? text : AnsiToUtf8(text));
}

std::string Cut(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')); }

}  // namespace

TEntry EntryForPath(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return TEntry{path, -1, name};
}

std::vector<TEntry> ParseList(const std::string& text) {
  std::vector<TEntry> entries;
  std::optional<std::string> info;  // the #EXTINF line waiting for its path
  std::size_t start = text.compare(0, sizeof kUtf8Bom - 1, kUtf8Bom) == 0 ? sizeof kUtf8Bom - 1 : 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (IsBlank(line)) continue;
    if (line[0] == '#') {
      if (line.compare(0, sizeof kExtInf - 1, kExtInf) == 0) info = line.substr(sizeof kExtInf - 1);
      continue;
    }
    TEntry entry = EntryForPath(line);
    if (info) ApplyExtInf(*info, entry);
    info.reset();
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::uint32_t TTextArena::Store(const std::string& bytes) {
  if (bytes.size() > Capacity_) return 0;
  if (Capacity_ - Used_ < bytes.size()) Used_ = 0;  // begun anew; older addresses go stale
  std::copy(bytes.begin(), bytes.end(), Bytes_ + Used_);
  const auto address = static_cast<std::uint32_t>(Address_ + Used_);
  Used_ += bytes.size();
  return address;
}

std::string TTextArena::Read(std::uint32_t address, std::size_t size) const {
  if (address < Address_ || address - Address_ >= Used_) return std::string();
  const std::size_t offset = address - Address_;
  return std::string(Bytes_ + offset, std::min(size, Used_ - offset));
}

TPlayerEngine::TPlayerEngine(TPlayerState state, const std::string& journalPath,
                             TTextArena* arena)
    : State(std::move(state)), Arena_(arena) {
  if (!journalPath.empty()) {
    Journal_.open(Utf8ToAnsi(journalPath), std::ios::binary | std::ios::app);
  }
}

std::int32_t TPlayerEngine::HandleMessage(std::int32_t message, std::int32_t wParam,
                                          std::int32_t lParam) {
  std::ostringstream line;
  line << message << ' ' << wParam << ' ' << lParam;
  Journal(line.str());
  const auto now = std::chrono::steady_clock::now();
  if (State.Clock && State.Status == TStatus::Playing) {
    MoveTime(static_cast<std::int32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now - Ticked_).count()));
  }
  Ticked_ = now;
  if (message == kWmCommand) return Command(wParam);
  if (message == kWmUser) return Request(lParam, wParam);
  return 0;
}

std::int32_t TPlayerEngine::HandOver(std::int32_t mode, const std::string& bytes) {
  // A started executable hands its file over in the code page, as it got it.
  std::string path = AnsiToUtf8(bytes);
  if (mode == kCopyDataPlayFile) path = AnsiToUtf8(Cut(bytes));
  if (mode == kCopyDataPlayFileW) path = Utf16LeToUtf8(bytes);
  std::ostringstream line;
  line << kWmCopyData << ' ' << mode << ' ' << bytes.size() << ' ' << path;
  Journal(line.str());
  if (mode == kCopyDataPlayFile || mode == kCopyDataPlayFileW) {
    Append(path);
    return kHandledCopyData;
  }
  return LoadList(mode, path) ? kHandledCopyData : 0;
}

// A list file gives its entries, anything else (a file, a folder, a URL) one entry.
void TPlayerEngine::Append(const std::string& path) {
  if (path.empty()) return;
  if (IsListFile(path)) {
    LoadList(kCopyDataAdd, path);
    return;
  }
  State.Entries.push_back(EntryForPath(path));
  PlaylistChanged();
}

void TPlayerEngine::PlaylistChanged() {
  Addresses_.clear();
  if (Arena_ != nullptr) Arena_->Clear();
}

std::int32_t TPlayerEngine::TextAddress(std::int32_t request, std::int32_t index) {
  if (Arena_ == nullptr || State.Basic || index < 0 ||
      index >= static_cast<std::int32_t>(State.Entries.size())) {
    return 0;
  }
  const auto known = Addresses_.find({request, index});
  if (known != Addresses_.end()) return static_cast<std::int32_t>(known->second);
  const TEntry& entry = State.Entries[static_cast<std::size_t>(index)];
  const bool isFile = request == kReqGetPlaylistFile || request == kReqGetPlaylistFileW ||
                      request == kReqGetPlayingFileW;
  const std::string& text = isFile ? entry.Path : entry.Title;
  const bool wide = request != kReqGetPlaylistFile && request != kReqGetPlaylistTitle;
  const std::uint32_t address =
      Arena_->Store(wide ? Utf8ToUtf16Le(text) + std::string(2, '\0')
                         : Utf8ToAnsi(text) + std::string(1, '\0'));
  if (address != 0) Addresses_[{request, index}] = address;
  return static_cast<std::int32_t>(address);
}

bool TPlayerEngine::LoadList(std::int32_t mode, const std::string& path) {
  if (mode != kCopyDataOpen && mode != kCopyDataAdd) return false;
  std::vector<TEntry> entries = ReadList(path);
  PlaylistChanged();
  if (mode == kCopyDataAdd) {
    State.Entries.insert(State.Entries.end(), std::make_move_iterator(entries.begin()),
                         std::make_move_iterator(entries.end()));
    return true;
  }
  State.Entries = std::move(entries);
  State.Position = 0;
  State.Status = TStatus::Stopped;
  State.Time = 0;
  Play();
  return true;
}

std::int32_t TPlayerEngine::Command(std::int32_t command) {
  switch (command) {
    case kCmdPlay:
      Play();
      break;
    case kCmdPause:
      if (State.Status == TStatus::Playing) {
        State.Status = TStatus::Paused;
      } else if (State.Status == TStatus::Paused) {
        State.Status = TStatus::Playing;
      }
      break;
    case kCmdStop:
    case kCmdFadeOut:  // the fade itself takes no time here
      State.Status = TStatus::Stopped;
      State.Time = 0;
      break;
    case kCmdNextTrack:
      StepEntry(1);
      break;
    case kCmdPrevTrack:
      StepEntry(-1);
      break;
    case kCmdForward5s:
      MoveTime(kSeekStepMs);
      break;
    case kCmdRewind5s:
      MoveTime(-kSeekStepMs);
      break;
    case kCmdVolumeUp:
      State.Volume = std::min(State.Volume + kVolumeStep, kMaxVolume);
      break;
    case kCmdVolumeDown:
      State.Volume = std::max(State.Volume - kVolumeStep, 0);
      break;
    case kCmdClose:
      CloseRequested_ = true;
      break;
    default:
      break;
  }
  return 0;
}

std::int32_t TPlayerEngine::Request(std::int32_t request, std::int32_t argument) {
  const auto count = static_cast<std::int32_t>(State.Entries.size());
  switch (request) {
    case kReqGetVersion:
      return State.Version;
    case kReqClearPlaylist:
      PlaylistChanged();
      State.Entries.clear();
      State.Position = 0;
      State.Status = TStatus::Stopped;
      State.Time = 0;
      return 0;
    case kReqGetStatus:
      switch (State.Status) {
        case TStatus::Playing:
          return kStatusPlaying;
        case TStatus::Paused:
          return kStatusPaused;
        case TStatus::Stopped:
          return kStatusStopped;
      }
      break;
    case kReqGetOutputTime:
      if (argument == kTimePosition) return State.Status == TStatus::Stopped ? -1 : State.Time;
      if (argument == kTimeLength) return CurrentLength();
      if (argument == kTimeLengthMs && !State.Basic) {
        const std::int32_t seconds = CurrentLength();
        return seconds < 0 ? -1 : seconds * kMsPerSecond;
      }
      if (argument == kTimeLengthMs) return 0;
      break;
    case kReqJumpToTime:
      if (State.Status == TStatus::Stopped) return -1;
      State.Time = std::max(argument, 0);
      return 0;
    case kReqWritePlaylist:
      WritePlaylist();
      return count == 0 ? -1 : State.Position;
    case kReqSetPlaylistPos:
      if (argument >= 0 && argument < count) State.Position = argument;
      return 0;
    case kReqSetVolume:
      if (argument == kVolumeQuery) return State.Volume;
      State.Volume = argument & 0xFF;
      return 0;
    case kReqGetPlaylistLength:
      return count;
    case kReqGetPlaylistPos:
      return State.Position;
    case kReqGetInfo:
      if (argument == kInfoSampleRateKhz) return kSampleRateKhz;
      if (argument == kInfoBitrate) return State.Bitrate;
      if (argument == kInfoChannels) return kChannels;
      if (argument == kInfoSampleRateHz) return kSampleRateHz;
      break;
    case kReqGetShuffle:
      return State.Shuffle ? 1 : 0;
    case kReqGetRepeat:
      return State.Repeat ? 1 : 0;
    case kReqSetShuffle:
      State.Shuffle = argument != 0;
      return 0;
    case kReqSetRepeat:
      State.Repeat = argument != 0;
      return 0;
    case kReqGetPlaylistFile:
    case kReqGetPlaylistTitle:
    case kReqGetPlaylistTitleW:
    case kReqGetPlaylistFileW:
      return TextAddress(request, argument);
    case kReqGetPlayingFileW:
    case kReqGetPlayingTitleW:
      return TextAddress(request, State.Position);
    default:
      break;
  }
  return kUnknownRequestAnswer;
}

void TPlayerEngine::Play() {
  if (State.Entries.empty()) return;
  State.Status = TStatus::Playing;
  State.Time = 0;
}

void TPlayerEngine::StepEntry(std::int32_t step) {
  const std::int64_t next = std::int64_t{State.Position} + step;
  if (next < 0 || next >= static_cast<std::int64_t>(State.Entries.size())) return;
  State.Position = static_cast<std::int32_t>(next);
  // A new entry starts from its beginning unless the player is stopped.
  if (State.Status != TStatus::Stopped) State.Time = 0;
}

void TPlayerEngine::MoveTime(std::int32_t milliseconds) {
  if (State.Status == TStatus::Stopped) return;
  const std::int64_t moved = std::int64_t{State.Time} + milliseconds;
  State.Time = static_cast<std::int32_t>(
      std::clamp<std::int64_t>(moved, 0, std::numeric_limits<std::int32_t>::max()));
}

std::int32_t TPlayerEngine::CurrentLength() const {
  if (State.Position < 0 || State.Position >= static_cast<std::int32_t>(State.Entries.size())) {
    return -1;
  }
  return State.Entries[static_cast<std::size_t>(State.Position)].Length;
}

void TPlayerEngine::WritePlaylist() const {
  // '/' opens on Windows as well.
  std::ofstream out(Utf8ToAnsi(State.Directory) + "/" + kPlaylistDumpName,
                    std::ios::binary | std::ios::trunc);
  out << kM3uHeader << kCrLf;
  for (const TEntry& entry : State.Entries) {
    out << kExtInf << entry.Length << ',' << Utf8ToAnsi(entry.Title) << kCrLf
        << Utf8ToAnsi(entry.Path) << kCrLf;
  }
}

void TPlayerEngine::Journal(const std::string& line) {
  if (Journal_.is_open()) Journal_ << line << '\n' << std::flush;
}

}  // namespace jarvet::simplayer
