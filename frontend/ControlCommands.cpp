// The commands beyond the eighteen that control the player.
#include "ControlCommands.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <limits>
#include <optional>
#include <system_error>
#include <vector>

#include "CodePage.h"
#include "CommandLine.h"
#include "Text.h"
#include "Unicode.h"

namespace jarvet {

namespace {

constexpr std::int32_t kMaxVolume = 255;
constexpr std::int32_t kMsPerSecond = 1000;
constexpr std::int32_t kSecondsPerMinute = 60;
constexpr std::size_t kMaxNumberDigits = 9;  // any more can only be a mistake

bool AllDigits(std::string_view text) {
  return text.size() <= kMaxNumberDigits && ParseDigits(text);
}

std::int64_t Digits(std::string_view text) { return ParseDigits(text).value_or(0); }


}  // namespace

void Status(TCommandContext& c) {
  NoArgument(c, "STATUS");
  NeedPlayer(c);
  const TPlayStatus status = c.Player.Status();
  NeedAnswers(c);
  WriteValue(c, StatusWord(status));
}

namespace {

// "", "N", "+N", "-N" or "N%": the volume to set, given the current one when it is relative.
struct TVolumeChange {
  enum { Query, Absolute, Relative } Kind = Query;
  std::int64_t Value = 0;
};

TVolumeChange ParseVolume(const std::string& text) {
  constexpr char kUsage[] = "VOLUME takes N (0-255), +N, -N or N% (0-100)";
  TVolumeChange change;
  if (text.empty()) return change;
  if (text[0] == '+' || text[0] == '-') {
    if (!AllDigits(text.substr(1))) BadArgument(kUsage);
    change.Kind = TVolumeChange::Relative;
    change.Value = (text[0] == '-' ? -1 : 1) * Digits(text.substr(1));
    return change;
  }
  change.Kind = TVolumeChange::Absolute;
  if (text.back() == '%') {
    const std::string percent = text.substr(0, text.size() - 1);
    if (!AllDigits(percent) || Digits(percent) > 100) BadArgument(kUsage);
    change.Value = (Digits(percent) * kMaxVolume + 50) / 100;  // half up: 50% is 128
    return change;
  }
  if (!AllDigits(text) || Digits(text) > kMaxVolume) BadArgument(kUsage);
  change.Value = Digits(text);
  return change;
}

}  // namespace

void Volume(TCommandContext& c) {
  const TVolumeChange change = ParseVolume(c.ArgTextUtf8);
  NeedPlayer(c);
  NeedFeature(c, TFeature::Volume);
  if (change.Kind != TVolumeChange::Query) {
    std::int64_t volume = change.Value;
    if (change.Kind == TVolumeChange::Relative) {
      volume = std::clamp<std::int64_t>(c.Player.Volume() + change.Value, 0, kMaxVolume);
    }
    c.Player.SetVolume(static_cast<std::int32_t>(volume));
  }
  const std::int32_t volume = c.Player.Volume();
  NeedAnswers(c);
  WriteValue(c, IntToStr(volume));
}

namespace {

std::string OnOff(bool on) { return on ? "on" : "off"; }

// SHUFFLE and REPEAT: a query, or on, off or toggle, then the flag as the player reads it back.
void Flag(TCommandContext& c, const char* command, TFeature feature, bool (TPlayer::*get)(),
          void (TPlayer::*set)(bool)) {
  const std::string& text = c.ArgTextUtf8;
  std::optional<bool> wanted;
  bool toggle = false;
  if (SameTextAscii(text, "on")) {
    wanted = true;
  } else if (SameTextAscii(text, "off")) {
    wanted = false;
  } else if (SameTextAscii(text, "toggle")) {
    toggle = true;
  } else if (!text.empty()) {
    BadArgument(std::string(command) + " takes on, off or toggle");
  }
  NeedPlayer(c);
  NeedFeature(c, feature);
  if (toggle) wanted = !(c.Player.*get)();
  if (wanted) (c.Player.*set)(*wanted);
  const bool on = (c.Player.*get)();
  NeedAnswers(c);
  WriteValue(c, OnOff(on));
}

}  // namespace

void Shuffle(TCommandContext& c) {
  Flag(c, "SHUFFLE", TFeature::Shuffle, &TPlayer::Shuffle, &TPlayer::SetShuffle);
}

void Repeat(TCommandContext& c) {
  Flag(c, "REPEAT", TFeature::Repeat, &TPlayer::Repeat, &TPlayer::SetRepeat);
}

void Toggle(TCommandContext& c) {
  NoArgument(c, "TOGGLE");
  NeedPlayer(c);
  NeedFeature(c, TFeature::Control);
  // Play unpauses; pause would do nothing while stopped.
  TPlayStatus status = TPlayStatus::Unknown;
  if (c.Player.Status() == TPlayStatus::Stopped) {
    c.Player.Play();
    status = c.Player.Status();
  } else {
    status = c.Player.TogglePause() ? TPlayStatus::Paused : TPlayStatus::Playing;
  }
  NeedAnswers(c);
  WriteValue(c, StatusWord(status));
}

void FadeOut(TCommandContext& c) {
  NoArgument(c, "FADEOUT");
  NeedPlayer(c);
  NeedFeature(c, TFeature::Control);
  c.Player.FadeOut();
  NeedAnswers(c);
  WriteValue(c, "stopped");
}

namespace {

// "+S", "-S", "+M:SS" or "-M:SS" as signed milliseconds.
std::int64_t ParseSeekBy(const std::string& text) {
  constexpr char kUsage[] = "SEEKBY takes +S, -S, +M:SS or -M:SS";
  if (text.size() < 2 || (text[0] != '+' && text[0] != '-')) BadArgument(kUsage);
  const std::string body = text.substr(1);
  const std::size_t colon = body.find(':');
  std::int64_t seconds = 0;
  if (colon == std::string::npos) {
    if (!AllDigits(body)) BadArgument(kUsage);
    seconds = Digits(body);
  } else {
    const std::string minutes = body.substr(0, colon);
    const std::string rest = body.substr(colon + 1);
    if (!AllDigits(minutes) || rest.size() != 2 || !AllDigits(rest) ||
        Digits(rest) >= kSecondsPerMinute) {
      BadArgument(kUsage);
    }
    seconds = Digits(minutes) * kSecondsPerMinute + Digits(rest);
  }
  return (text[0] == '-' ? -1 : 1) * seconds * kMsPerSecond;
}

}  // namespace

void SeekBy(TCommandContext& c) {
  const std::int64_t delta = ParseSeekBy(c.ArgTextUtf8);
  NeedPlayer(c);
  NeedFeature(c, TFeature::Seek);
  const std::optional<std::int32_t> position = c.Player.PositionMs();
  const std::optional<std::int32_t> length = c.Player.LengthMs();
  NeedAnswers(c);
  if (!position) Fail(kExitNothingPlaying, "nothing playing");
  const std::int64_t end = length ? *length : std::numeric_limits<std::int32_t>::max();
  const auto target = static_cast<std::int32_t>(std::clamp<std::int64_t>(*position + delta, 0, end));
  c.Player.SeekTo(target);
  NeedAnswers(c);
  WriteValue(c, FormatTime(target, kMsPerSecond));
}

// Each entry: its number from 1, its title (the file's stem where the player gives none), its
// file.
void List(TCommandContext& c) {
  NoArgument(c, "LIST");
  NeedPlayer(c);
  NeedFeature(c, TFeature::Playlist);
  const std::vector<TEntry> entries = c.Player.Entries();
  NeedAnswers(c);
  std::int64_t number = 0;
  for (const TEntry& entry : entries) {
    const std::string& title = entry.Title.empty() ? FileStem(entry.File) : entry.Title;
    WriteValue(c, IntToStr(++number) + "\t" + OneLine(title) + "\t" + OneLine(entry.File));
  }
}

namespace {

// The files and URLs of the argument, split like parameters; files made absolute, since the
// player resolves a relative one against its own working directory.
std::vector<std::string> FilesToAdd(const TCommandContext& c, const char* command) {
  namespace fs = std::filesystem;
  std::vector<std::string> files;
  for (const std::string& word : ArgumentWords(c)) {
    if (IsUrl(word)) {
      files.push_back(word);
      continue;
    }
    std::error_code error;
    const fs::path path = fs::u8path(word);
    if (word.empty() || !fs::exists(path, error)) BadArgument("no such file: " + ShownName(word));
    fs::path absolute = fs::absolute(path, error).lexically_normal();
    // "." comes back as "/dir/": a folder is named without its closing separator.
    if (!absolute.has_filename() && absolute != absolute.root_path()) {
      absolute = absolute.parent_path();
    }
    files.push_back(error ? word : absolute.u8string());
  }
  if (files.empty()) BadArgument(std::string(command) + " takes one or more files or URLs");
  return files;
}

}  // namespace

void Add(TCommandContext& c) {
  const std::vector<std::string> files = FilesToAdd(c, "ADD");
  NeedPlayer(c);
  NeedFeature(c, TFeature::Playlist);
  const std::int32_t before = c.Player.PlaylistLength();
  const std::optional<std::int32_t> added = c.Player.Add(files);
  const std::int64_t gained = added ? *added : std::int64_t{c.Player.PlaylistLength()} - before;
  NeedAnswers(c);
  WriteValue(c, IntToStr(gained));
}

void Open(TCommandContext& c) {
  const std::vector<std::string> files = FilesToAdd(c, "OPEN");
  NeedPlayer(c);
  NeedFeature(c, TFeature::Open);
  const std::optional<std::int32_t> opened = c.Player.Open(files);
  // A player without a playlist holds what it was given.
  const std::int64_t length = opened                                 ? *opened
                              : c.Player.Offers(TFeature::Playlist) ? c.Player.PlaylistLength()
                                                                    : files.size();
  NeedAnswers(c);
  WriteValue(c, IntToStr(length));
}

}  // namespace jarvet
