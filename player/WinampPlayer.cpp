// The player interface over window messages: what each command needs, in the messages the
// window player has always been sent for it.
#include "WinampPlayer.h"

#include <cstdlib>

#include "CodePage.h"
#include "PlayerProtocol.h"
#include "StopRequest.h"
#include "Text.h"

namespace jarvet {

namespace {

constexpr std::int64_t kMsPerPress = 5000;

std::optional<std::int32_t> UnlessNegative(std::int32_t value) {
  return value >= 0 ? std::optional<std::int32_t>(value) : std::nullopt;
}

std::optional<std::int32_t> UnlessZero(std::int32_t value) {
  return value > 0 ? std::optional<std::int32_t>(value) : std::nullopt;
}

}  // namespace

std::string TWinampPlayer::VersionText() { return IntToStr(Api_.GetVersion()); }

TPlayStatus TWinampPlayer::Status() {
  switch (Api_.GetStatusCode()) {
    case kStatusStopped: return TPlayStatus::Stopped;
    case kStatusPlaying: return TPlayStatus::Playing;
    case kStatusPaused: return TPlayStatus::Paused;
    default: return TPlayStatus::Unknown;
  }
}

std::optional<std::int32_t> TWinampPlayer::PositionMs() {
  return UnlessNegative(Api_.GetPositionMs());
}

std::optional<std::int32_t> TWinampPlayer::LengthMs() { return UnlessNegative(Api_.GetLengthMs()); }

void TWinampPlayer::StepBy(std::int64_t milliseconds) {
  const std::int64_t presses = std::max<std::int64_t>(1, std::llabs(milliseconds) / kMsPerPress);
  for (std::int64_t i = 0; i < presses; ++i) {
    if (milliseconds < 0) {
      Api_.Rewind5s();
    } else {
      Api_.Forward5s();
    }
  }
}

void TWinampPlayer::StepVolume(std::int32_t steps) {
  for (std::int32_t i = std::abs(steps); i > 0; --i) {
    if (steps < 0) {
      Api_.VolumeDown();
    } else {
      Api_.VolumeUp();
    }
  }
}

// Entry texts by the player's pointer requests; the playlist dump only for a player that
// answers none (some imitators). Stops early when the player goes.
std::vector<TEntry> TWinampPlayer::Entries() {
  std::vector<TEntry> entries;
  const std::int32_t count = Api_.GetPlaylistLength();
  if (count <= 0 || IsGone()) return entries;
  const std::optional<std::string> first = Api_.GetPlaylistFile(0);
  if (IsGone()) return entries;
  if (!first) {
    TPlaylist dump;
    std::vector<std::string> titles;
    Api_.GetPlaylist(dump, &titles);
    for (std::int64_t i = 0; i < dump.Count(); ++i) {
      entries.push_back({AnsiToUtf8(titles[static_cast<std::size_t>(i)]), AnsiToUtf8(dump.Get(i))});
    }
    return entries;
  }
  for (std::int32_t i = 0; i < count && !IsGone(); ++i) {
    const std::optional<std::string> file = i == 0 ? first : Api_.GetPlaylistFile(i);
    const std::optional<std::string> title = Api_.GetPlaylistTitle(i);
    entries.push_back({title.value_or(""), file.value_or("")});
  }
  return entries;
}

bool TWinampPlayer::TogglePause() {
  Api_.Pause();
  return Status() == TPlayStatus::Paused;
}

std::optional<std::int32_t> TWinampPlayer::Add(const std::vector<std::string>& files) {
  for (const std::string& file : files) Api_.EnqueueFile(file);
  return std::nullopt;
}

std::optional<std::int32_t> TWinampPlayer::Open(const std::vector<std::string>& files) {
  Api_.ClearPlaylist();
  Add(files);
  Api_.SetPlaylistPos(0);
  Api_.Play();
  return std::nullopt;
}

std::optional<std::int32_t> TWinampPlayer::LoadListFile(const std::string& path, bool replace) {
  if (replace) {
    Api_.OpenFile(path);
  } else {
    Api_.AddFile(path);
  }
  return std::nullopt;
}

TPlaylist TWinampPlayer::ListedFiles() {
  TPlaylist list;
  Api_.GetPlaylist(list);
  return list;
}

// The playing-file pointer, else the entry's pointer, else (a player that answers neither)
// its playlist dump.
std::string TWinampPlayer::CurrentFile() {
  if (std::optional<std::string> playing = Api_.GetPlayingFile()) {
    if (!playing->empty()) return *playing;
  }
  if (IsGone()) return std::string();
  const std::int32_t position = Api_.GetPlaylistPos();
  if (std::optional<std::string> entry = Api_.GetPlaylistFile(position)) return *entry;
  if (IsGone()) return std::string();
  TPlaylist dump;
  Api_.GetPlaylist(dump);
  return position >= 0 && position < dump.Count() ? AnsiToUtf8(dump.Get(position))
                                                  : std::string();
}

// The window player names the track by its title only; CurrentFile gives the file.
TPlayerTrack TWinampPlayer::CurrentTrack() {
  TPlayerTrack track;
  std::optional<std::string> title = Api_.GetPlayingTitle();
  if ((!title || title->empty()) && !IsGone()) title = Api_.GetPlaylistTitle(Api_.GetPlaylistPos());
  track.Title = title.value_or("");
  return track;
}

TPlayerFigures TWinampPlayer::Figures() {
  TPlayerFigures figures;
  figures.BitrateKbps = UnlessZero(Api_.GetInfo(kInfoBitrate));
  figures.SampleRateHz = UnlessZero(Api_.GetSampleRateHz());
  figures.Channels = UnlessZero(Api_.GetInfo(kInfoChannels));
  return figures;
}

TInfoFigures TWinampPlayer::InfoFigures() {
  TInfoFigures figures;
  figures.BitrateKbps = Api_.GetInfo(kInfoBitrate);
  figures.LengthSeconds = Api_.GetLengthSeconds();
  figures.PositionMs = Api_.GetPositionMs();
  return figures;
}

bool TWinampPlayer::WaitForChange(int timeoutMs) {
  WaitUnlessStopped(timeoutMs);
  return true;
}

}  // namespace jarvet
