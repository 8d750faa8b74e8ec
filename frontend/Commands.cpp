// The eighteen original commands: one line each, in the code page, silent on a bad argument.
#include "Commands.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <thread>

#include "File.h"
#include "Text.h"

namespace jarvet {

namespace {

constexpr char kDefaultSeekSeconds[] = "5";
constexpr char kDefaultVolumeSteps[] = "1";
constexpr std::int32_t kSecondsPerPress = 5;
constexpr std::int32_t kMaxVolume = 255;
// More presses than these change nothing more, and each is a round trip to the player: a day of
// 5-second steps, and the whole volume range.
constexpr std::int32_t kMaxSeekPresses = 17280;
constexpr std::int32_t kMaxVolumePresses = kMaxVolume;
constexpr std::int64_t kMillisecondsPerSecond = 1000;
constexpr std::chrono::milliseconds kLoadWait{100};

// The list file is gone once the player has been started on it; the player gets a moment to
// load it before it is asked for its length. Answers how many entries the player took, where
// it counted them itself.
std::optional<std::int32_t> LoadListFile(TCommandContext& c, bool replace) {
  const std::optional<std::int32_t> loaded = c.Player.LoadListFile(kListFilePath, replace);
  std::remove(kListFilePath);
  return loaded;
}

void WaitForPlayer() { std::this_thread::sleep_for(kLoadWait); }

// "Adding n file(s) in "folder" matching "pattern" to playlist...": the folder is what stands
// between the first two quotes of the argument, the pattern what follows the second.
void WriteAddingLine(TCommandContext& c, std::int64_t count) {
  DoubleBackslashes(c.ArgText);
  const std::string pattern = TrimControl(TextAfter(TextAfter(c.ArgText, '"'), '"'));
  const std::string folder = TextBefore(TextAfter(c.ArgText, '"'), '"');
  c.Out.WriteLine("Adding " + IntToStr(count) + " file(s) in \"" + folder + "\" matching \"" +
                  pattern + "\" to playlist...");
}

// Presses for a number of seconds: one at the least, else whole 5-second steps.
std::int32_t SeekPresses(std::int32_t seconds) {
  return seconds < kSecondsPerPress ? 1 : std::min(seconds / kSecondsPerPress, kMaxSeekPresses);
}

std::int32_t StepPresses(std::int32_t steps) { return std::min(steps, kMaxVolumePresses); }

// Reads ArgText (the fallback when it is empty) and the number of presses it asks for; none
// when it does not read.
std::optional<std::int32_t> Presses(TCommandContext& c, const char* fallback,
                                    std::int32_t (*presses)(std::int32_t)) {
  if (c.ArgText.empty()) c.ArgText = fallback;
  const auto number = ParseNumber(c.ArgText);
  if (!number) return std::nullopt;
  return presses(*number);
}

void StepPosition(TCommandContext& c, std::int32_t direction, const char* lead) {
  const std::optional<std::int32_t> presses = Presses(c, kDefaultSeekSeconds, SeekPresses);
  if (!presses) return;
  NeedFeature(c, TFeature::Seek);
  if (*presses > 0) c.Player.StepBy(direction * std::int64_t{*presses} * kSecondsPerPress * 1000);
  c.Out.WriteLine(lead + c.ArgText + " s");
}

void StepVolume(TCommandContext& c, std::int32_t direction, const char* lead) {
  const std::optional<std::int32_t> presses = Presses(c, kDefaultVolumeSteps, StepPresses);
  if (!presses) return;
  NeedFeature(c, TFeature::Volume);
  if (*presses > 0) c.Player.StepVolume(direction * *presses);
  c.Out.WriteLine(lead + c.ArgText + " units");
}

}  // namespace

void Version(TCommandContext& c) { c.Out.WriteLine(c.Player.VersionText()); }

void Clear(TCommandContext& c) {
  NeedFeature(c, TFeature::Playlist);
  c.Player.ClearPlaylist();
  c.Out.WriteLine("Clearing playlist...");
}

void Close(TCommandContext& c) {
  NeedFeature(c, TFeature::Close);
  c.Player.Close();
  c.Out.WriteLine("Closing Winamp...");
}

void Play(TCommandContext& c) {
  if (c.ArgText.empty()) {
    NeedFeature(c, TFeature::Control);
    c.Player.Play();
  } else {
    NeedFeature(c, TFeature::Open);
    const std::optional<std::int32_t> loaded = LoadListFile(c, true);
    WaitForPlayer();
    WriteAddingLine(c, loaded ? *loaded : c.Player.PlaylistLength());
  }
  c.Out.WriteLine("Playing...");
}

void Enqueue(TCommandContext& c) {
  if (c.ArgText.empty()) return;
  NeedFeature(c, TFeature::Playlist);
  const std::int64_t before = c.Player.PlaylistLength();
  const std::optional<std::int32_t> loaded = LoadListFile(c, false);
  WaitForPlayer();
  WriteAddingLine(c, loaded ? *loaded : c.Player.PlaylistLength() - before);
}

void Stop(TCommandContext& c) {
  NeedFeature(c, TFeature::Control);
  c.Player.Stop();
  c.Out.WriteLine("Playback stopped");
}

void Pause(TCommandContext& c) {
  NeedFeature(c, TFeature::Control);
  c.Out.WriteLine(c.Player.TogglePause() ? "Playback paused" : "Playback resumed");
}

void Prev(TCommandContext& c) {
  NeedFeature(c, TFeature::Control);
  c.Player.Previous();
  c.Out.WriteLine("Skipping to previous track");
}

void Next(TCommandContext& c) {
  NeedFeature(c, TFeature::Control);
  c.Player.Next();
  c.Out.WriteLine("Skipping to next track");
}

void FastForward(TCommandContext& c) { StepPosition(c, 1, "Fast forwarding "); }

void Rewind(TCommandContext& c) { StepPosition(c, -1, "Rewinding "); }

void SkipTo(TCommandContext& c) {
  if (c.ArgText.empty()) return;
  const auto track = ParseNumber(c.ArgText);
  if (!track || *track < 1) return;
  NeedFeature(c, TFeature::Playlist);
  if (*track > c.Player.PlaylistLength()) return;
  c.Player.GoTo(*track - 1);
  c.Player.Play();
  c.Out.WriteLine("Skipping to track " + IntToStr(*track));
}

void Seek(TCommandContext& c) {
  if (c.ArgText.empty()) return;
  const std::int64_t seconds = ParseTime(c.ArgText);
  // A time whose milliseconds don't fit the message is as invalid as a malformed one.
  if (seconds < 0 || seconds > std::numeric_limits<std::int32_t>::max() / kMillisecondsPerSecond) {
    return;
  }
  NeedFeature(c, TFeature::Seek);
  c.Player.SeekTo(static_cast<std::int32_t>(seconds * kMillisecondsPerSecond));
  c.Out.WriteLine("Seeking to " + c.ArgText + " s");
}

void SetVolume(TCommandContext& c) {
  if (c.ArgText.empty()) return;
  const auto volume = ParseNumber(c.ArgText);
  if (!volume || *volume < 0 || *volume > kMaxVolume) return;
  NeedFeature(c, TFeature::Volume);
  c.Player.SetVolume(*volume);
  c.Out.WriteLine("Setting volume to " + IntToStr(*volume));
}

void VolumeUp(TCommandContext& c) { StepVolume(c, 1, "Increasing volume by "); }

void VolumeDown(TCommandContext& c) { StepVolume(c, -1, "Decreasing volume by "); }

void Position(TCommandContext& c) {
  NeedFeature(c, TFeature::Playlist);
  c.Out.WriteLine(IntToStr(c.Player.PlaylistPosition()));
}

}  // namespace jarvet
