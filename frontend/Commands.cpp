// The eighteen commands, tested against the command word in a fixed order.
#include "Commands.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <thread>

#include "ControlCommands.h"
#include "NowPlaying.h"
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

void Version(TCommandContext& c) { c.Out.WriteLine(IntToStr(c.Player.GetVersion())); }

void Clear(TCommandContext& c) {
  c.Player.ClearPlaylist();
  c.Out.WriteLine("Clearing playlist...");
}

void Close(TCommandContext& c) {
  c.Player.CloseWinamp();
  c.Out.WriteLine("Closing Winamp...");
}

// The list file is gone once the player has been started on it; the player gets a moment to
// load it before it is asked for its length.
void LoadListFile(TCommandContext& c, void (TWinampApi::*start)(const std::string&)) {
  (c.Player.*start)(kListFilePath);
  std::remove(kListFilePath);
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

void Play(TCommandContext& c) {
  if (c.ArgText.empty()) {
    c.Player.Play();
  } else {
    LoadListFile(c, &TWinampApi::OpenFile);
    WaitForPlayer();
    WriteAddingLine(c, c.Player.GetPlaylistLength());
  }
  c.Out.WriteLine("Playing...");
}

void Enqueue(TCommandContext& c) {
  if (c.ArgText.empty()) return;
  const std::int64_t before = c.Player.GetPlaylistLength();
  LoadListFile(c, &TWinampApi::AddFile);
  WaitForPlayer();
  WriteAddingLine(c, c.Player.GetPlaylistLength() - before);
}

void Stop(TCommandContext& c) {
  c.Player.Stop();
  c.Out.WriteLine("Playback stopped");
}

void Pause(TCommandContext& c) {
  c.Player.Pause();
  c.Out.WriteLine(c.Player.GetStatus() == "paused" ? "Playback paused" : "Playback resumed");
}

void Prev(TCommandContext& c) {
  c.Player.PrevTrack();
  c.Out.WriteLine("Skipping to previous track");
}

void Next(TCommandContext& c) {
  c.Player.NextTrack();
  c.Out.WriteLine("Skipping to next track");
}

// Presses for a number of seconds: one at the least, else whole 5-second steps.
std::int32_t SeekPresses(std::int32_t seconds) {
  return seconds < kSecondsPerPress ? 1 : std::min(seconds / kSecondsPerPress, kMaxSeekPresses);
}

std::int32_t StepPresses(std::int32_t steps) { return std::min(steps, kMaxVolumePresses); }

// Reads ArgText (the fallback when it is empty), presses the button as often as that asks and
// writes the line with the argument as typed.
void PressRepeatedly(TCommandContext& c, const char* fallback,
                     std::int32_t (*presses)(std::int32_t), void (TWinampApi::*button)(),
                     const char* lead, const char* unit) {
  if (c.ArgText.empty()) c.ArgText = fallback;
  const auto number = ParseNumber(c.ArgText);
  if (!number) return;
  for (std::int32_t i = presses(*number); i > 0; --i) (c.Player.*button)();
  c.Out.WriteLine(lead + c.ArgText + unit);
}

void FastForward(TCommandContext& c) {
  PressRepeatedly(c, kDefaultSeekSeconds, SeekPresses, &TWinampApi::Forward5s, "Fast forwarding ",
                  " s");
}

void Rewind(TCommandContext& c) {
  PressRepeatedly(c, kDefaultSeekSeconds, SeekPresses, &TWinampApi::Rewind5s, "Rewinding ", " s");
}

void SkipTo(TCommandContext& c) {
  if (c.ArgText.empty()) return;
  const auto track = ParseNumber(c.ArgText);
  if (!track || *track < 1 || *track > c.Player.GetPlaylistLength()) return;
  c.Player.SetPlaylistPos(*track - 1);
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
  c.Player.SeekTo(static_cast<std::int32_t>(seconds * kMillisecondsPerSecond));
  c.Out.WriteLine("Seeking to " + c.ArgText + " s");
}

void SetVolume(TCommandContext& c) {
  if (c.ArgText.empty()) return;
  const auto volume = ParseNumber(c.ArgText);
  if (!volume || *volume < 0 || *volume > kMaxVolume) return;
  c.Player.SetVolume(*volume);
  c.Out.WriteLine("Setting volume to " + IntToStr(*volume));
}

void VolumeUp(TCommandContext& c) {
  PressRepeatedly(c, kDefaultVolumeSteps, StepPresses, &TWinampApi::VolumeUp,
                  "Increasing volume by ", " units");
}

void VolumeDown(TCommandContext& c) {
  PressRepeatedly(c, kDefaultVolumeSteps, StepPresses, &TWinampApi::VolumeDown,
                  "Decreasing volume by ", " units");
}

void Position(TCommandContext& c) { c.Out.WriteLine(IntToStr(c.Player.GetPlaylistPos())); }

struct TCommand {
  const char* Name;
  void (*Run)(TCommandContext&);
};

constexpr TCommand kCommands[] = {
    {"VERSION", Version},    {"CLEAR", Clear},      {"CLOSE", Close},
    {"PLAY", Play},          {"ENQUEUE", Enqueue},  {"STOP", Stop},
    {"PAUSE", Pause},        {"PREV", Prev},        {"NEXT", Next},
    {"FF", FastForward},     {"REW", Rewind},       {"SKIPTO", SkipTo},
    {"SEEK", Seek},          {"SETVOL", SetVolume}, {"VOLUP", VolumeUp},
    {"VOLDOWN", VolumeDown}, {"POS", Position},     {"INFO", ReportNowPlaying},
};

}  // namespace

void DispatchCommand(const std::string& commandWord, TCommandContext& context) {
  for (const TCommand& command : kCommands) {
    if (SameTextAscii(commandWord, command.Name)) command.Run(context);
  }
  DispatchControlCommand(commandWord, context);
}

}  // namespace jarvet
