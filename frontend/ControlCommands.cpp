// The commands beyond the eighteen: status, volume, shuffle and repeat, transport, the playlist
// and adding to it, and help.
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
#include "Failure.h"
#include "NowCommands.h"
#include "Platform.h"
#include "Text.h"
#include "Unicode.h"

namespace jarvet {

namespace {

constexpr std::int32_t kMaxVolume = 255;
constexpr std::int32_t kMsPerSecond = 1000;
constexpr std::int32_t kSecondsPerMinute = 60;
constexpr std::size_t kMaxNumberDigits = 9;  // any more can only be a mistake

bool AllDigits(std::string_view text) {
  return !text.empty() && text.size() <= kMaxNumberDigits &&
         std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
}

std::int64_t Digits(std::string_view text) {
  std::int64_t value = 0;
  for (char ch : text) value = value * 10 + (ch - '0');
  return value;
}


void Status(TCommandContext& c) {
  NoArgument(c, "STATUS");
  NeedPlayer(c);
  const std::string status = c.Player.GetStatus();
  NeedAnswers(c);
  WriteValue(c, status);
}

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

void Volume(TCommandContext& c) {
  const TVolumeChange change = ParseVolume(c.ArgTextUtf8);
  NeedPlayer(c);
  if (change.Kind != TVolumeChange::Query) {
    std::int64_t volume = change.Value;
    if (change.Kind == TVolumeChange::Relative) {
      volume = std::clamp<std::int64_t>(c.Player.GetVolume() + change.Value, 0, kMaxVolume);
    }
    c.Player.SetVolume(static_cast<std::int32_t>(volume));
  }
  const std::int32_t volume = c.Player.GetVolume();
  NeedAnswers(c);
  WriteValue(c, IntToStr(volume));
}

std::string OnOff(bool on) { return on ? "on" : "off"; }

// SHUFFLE and REPEAT: a query, or on, off or toggle, then the flag as the player reads it back.
void Flag(TCommandContext& c, const char* command, bool (TWinampApi::*get)(),
          void (TWinampApi::*set)(bool)) {
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
  if (toggle) wanted = !(c.Player.*get)();
  if (wanted) (c.Player.*set)(*wanted);
  const bool on = (c.Player.*get)();
  NeedAnswers(c);
  WriteValue(c, OnOff(on));
}

void Shuffle(TCommandContext& c) {
  Flag(c, "SHUFFLE", &TWinampApi::GetShuffle, &TWinampApi::SetShuffle);
}

void Repeat(TCommandContext& c) {
  Flag(c, "REPEAT", &TWinampApi::GetRepeat, &TWinampApi::SetRepeat);
}

void Toggle(TCommandContext& c) {
  NoArgument(c, "TOGGLE");
  NeedPlayer(c);
  // Play unpauses; pause would do nothing while stopped.
  if (c.Player.GetStatus() == "stopped") {
    c.Player.Play();
  } else {
    c.Player.Pause();
  }
  const std::string status = c.Player.GetStatus();
  NeedAnswers(c);
  WriteValue(c, status);
}

void FadeOut(TCommandContext& c) {
  NoArgument(c, "FADEOUT");
  NeedPlayer(c);
  c.Player.FadeOut();
  NeedAnswers(c);
  WriteValue(c, "stopped");
}

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

void SeekBy(TCommandContext& c) {
  const std::int64_t delta = ParseSeekBy(c.ArgTextUtf8);
  NeedPlayer(c);
  const std::int32_t position = c.Player.GetPositionMs();
  const std::int32_t length = c.Player.GetLengthMs();
  NeedAnswers(c);
  if (position < 0) Fail(kExitNothingPlaying, "nothing playing");
  const std::int64_t end = length >= 0 ? length : std::numeric_limits<std::int32_t>::max();
  const auto target = static_cast<std::int32_t>(std::clamp<std::int64_t>(position + delta, 0, end));
  c.Player.JumpToTime(target);
  NeedAnswers(c);
  WriteValue(c, FormatTime(target, kMsPerSecond));
}

// Entry texts by the player's pointer requests; the playlist dump only for a player that
// answers none (some imitators), with the file name standing in for the title.
void List(TCommandContext& c) {
  NoArgument(c, "LIST");
  NeedPlayer(c);
  const std::int32_t count = c.Player.GetPlaylistLength();
  NeedAnswers(c);
  if (count <= 0) return;
  std::optional<std::string> first = c.Player.GetPlaylistFile(0);
  NeedAnswers(c);
  if (!first) {
    TPlaylist dump;
    c.Player.GetPlaylist(dump);
    for (std::int64_t i = 0; i < dump.Count(); ++i) {
      const std::string file = AnsiToUtf8(dump.Get(i));
      WriteValue(c, IntToStr(i + 1) + "\t" + OneLine(FileStem(file)) + "\t" + OneLine(file));
    }
    return;
  }
  for (std::int32_t i = 0; i < count; ++i) {
    const std::optional<std::string> file = i == 0 ? first : c.Player.GetPlaylistFile(i);
    const std::optional<std::string> title = c.Player.GetPlaylistTitle(i);
    NeedAnswers(c);
    const std::string path = file.value_or("");
    WriteValue(c, IntToStr(i + 1) + "\t" + OneLine(title ? *title : FileStem(path)) + "\t" +
                      OneLine(path));
  }
}

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

void Add(TCommandContext& c) {
  const std::vector<std::string> files = FilesToAdd(c, "ADD");
  NeedPlayer(c);
  const std::int32_t before = c.Player.GetPlaylistLength();
  for (const std::string& file : files) c.Player.EnqueueFile(file);
  const std::int32_t after = c.Player.GetPlaylistLength();
  NeedAnswers(c);
  WriteValue(c, IntToStr(std::int64_t{after} - before));
}

void Open(TCommandContext& c) {
  const std::vector<std::string> files = FilesToAdd(c, "OPEN");
  NeedPlayer(c);
  c.Player.ClearPlaylist();
  for (const std::string& file : files) c.Player.EnqueueFile(file);
  c.Player.SetPlaylistPos(0);
  c.Player.Play();
  const std::int32_t length = c.Player.GetPlaylistLength();
  NeedAnswers(c);
  WriteValue(c, IntToStr(length));
}

// Each line fits a terminal of 80 columns.
constexpr const char* kHelp[] = {
    "usage: jarvet <player directory> <command> [argument]",
    "VERSION              the player's version number",
    "CLEAR                empties the playlist",
    "CLOSE                closes the player",
    "PLAY                 plays",
    "PLAY \"FOLDER\" PATTERN  replaces the playlist with the list file (below), which",
    "                     holds the folder's files that match the pattern; plays",
    "ENQUEUE \"FOLDER\" PATTERN  adds the list file's files to the playlist",
    "STOP                 stops",
    "PAUSE                toggles pause",
    "PREV, NEXT           previous or next track",
    "FF [S], REW [S]      forward or back in 5-second steps (default 5 s)",
    "SKIPTO N             plays track N, from 1",
    "SEEK S|M:SS          jumps to the time",
    "SETVOL N             sets the volume, 0-255",
    "VOLUP [N], VOLDOWN [N]  steps the volume (default 1)",
    "POS                  the playlist position, from 0",
    "INFO                 the now-playing line",
    "STATUS               playing, paused or stopped",
    "VOLUME [N|+N|-N|N%]  sets or shows the volume, 0-255",
    "SHUFFLE [on|off|toggle], REPEAT [on|off|toggle]  sets or shows the flag",
    "TOGGLE               plays when stopped, else toggles pause; shows the status",
    "FADEOUT              fades out and stops",
    "SEEKBY +S|-S|+M:SS|-M:SS  moves the play position; shows it",
    "LIST                 the playlist: number, tab, title, tab, file",
    "ADD FILE...          appends files or URLs; shows how many entries were added",
    "OPEN FILE...         replaces the playlist with files or URLs and plays;",
    "                     shows its length",
    "NOW [TEMPLATE]       the current track by the template ([{artist} - ]{title})",
    "JSON                 the current track and the player as one JSON object",
    "WATCH [TEMPLATE]     a line at start and at each change; ends with the player",
    "WATCHFILE FILE [TEMPLATE]  keeps the file holding the current text, until ended",
    "ART FILE             writes the current track's cover picture into the file",
    "HELP                 this list",
    nullptr,  // the list file's line
    "Template fields: {title} {artist} {album} {albumartist} {year} {track}",
    "{tracktotal} {disc} {genre} {comment} {composer} {file} {filename} {format}",
    "{status} {position} {length} {remaining} {positionms} {lengthms} {bitrate}",
    "{samplerate} {channels} {volume} {shuffle} {repeat} {playlistpos}",
    "{playlistlength}. {a|b} is the first that is not empty; [ ... ] is left out",
    "when a field in it is empty; \\[ \\] \\{ \\} \\| \\\\ and {{ }} are the characters.",
    "The newer commands (STATUS to HELP) write UTF-8 and exit with 2 for a bad",
    "argument, 3 when no player runs or it does not answer, 4 when nothing plays",
    "(or there is no cover), 1 when the output or a file cannot be written.",
};

void Help(TCommandContext& c) {
  for (const char* line : kHelp) {
    WriteValue(c, line != nullptr ? line
                                  : std::string("The list file is ") + kListFilePath +
                                        ", one file a line, written beforehand.");
  }
}

struct TControlCommand {
  const char* Name;
  void (*Run)(TCommandContext&);
};

constexpr TControlCommand kControlCommands[] = {
    {"STATUS", Status}, {"VOLUME", Volume},   {"SHUFFLE", Shuffle}, {"REPEAT", Repeat},
    {"TOGGLE", Toggle}, {"FADEOUT", FadeOut}, {"SEEKBY", SeekBy},   {"LIST", List},
    {"ADD", Add},       {"OPEN", Open},       {"NOW", NowPlayingText},
    {"JSON", NowPlayingJson}, {"WATCH", Watch},   {"WATCHFILE", WatchFile},
    {"ART", CoverArt},  {"HELP", Help},
};

// Why standard output could not be written, in words a user can act on.
std::string OutputFailure(int code) {
  switch (code) {
    case 6: return "cannot write standard output: it is closed";  // an invalid handle
    case 109:
    case 232: return "cannot write standard output: the pipe is closed (nothing reads it)";
    case 101:
    case 112: return "cannot write standard output: disk full";
    case 5: return "cannot write standard output: access denied";
    default: return "cannot write standard output: I/O error " + std::to_string(code);
  }
}

void WriteError(TCommandContext& c, const std::string& message) {
  int ignored = 0;
  c.Errors.WriteUtf8("jarvet: " + message + "\r\n", ignored);
}

}  // namespace

std::string OneLine(std::string text) {
  for (char& ch : text) {
    if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) ch = ' ';
  }
  return text;
}

std::vector<std::string> ArgumentWords(const TCommandContext& c) {
  if (c.ArgWords) return *c.ArgWords;
  std::vector<std::string> words;
  for (TParameter& parameter : SplitCommandLine(c.ArgTextUtf8)) {
    words.push_back(std::move(parameter.Text));
  }
  return words;
}

std::string ShownName(std::string_view name) {
  constexpr std::size_t kMaxShown = 200;
  std::size_t characters = 0;
  std::size_t end = 0;
  for (; end < name.size(); ++end) {
    const bool starts = (static_cast<unsigned char>(name[end]) & 0xC0) != 0x80;
    if (starts && characters++ == kMaxShown) break;
  }
  return OneLine(std::string(name.substr(0, end))) + (end < name.size() ? "..." : "");
}

void Fail(int status, std::string message) { throw TCommandError{status, std::move(message)}; }

void BadArgument(const std::string& message) { Fail(kExitBadArgument, message); }

void NeedPlayer(TCommandContext& c) {
  if (c.Player.Handle == 0) Fail(kExitNoPlayer, "no player running");
}

void NeedAnswers(TCommandContext& c) {
  if (c.Player.IsGone()) Fail(kExitNoPlayer, "the player did not answer");
}

void NoArgument(const TCommandContext& c, const char* command) {
  if (!c.ArgTextUtf8.empty()) BadArgument(std::string(command) + " takes no argument");
}

void WriteValue(TCommandContext& c, const std::string& value) {
  c.Out.Utf8 = true;
  c.Out.WriteLine(value);
}

bool IsControlCommand(const std::string& commandWord) {
  return std::any_of(std::begin(kControlCommands), std::end(kControlCommands),
                     [&](const TControlCommand& command) {
                       return SameTextAscii(commandWord, command.Name);
                     });
}

bool DispatchControlCommand(const std::string& commandWord, TCommandContext& context) {
  for (const TControlCommand& command : kControlCommands) {
    if (!SameTextAscii(commandWord, command.Name)) continue;
    try {
      command.Run(context);
      context.Out.Flush();
    } catch (const TCommandError& error) {
      context.Out.Discard();
      WriteError(context, error.Message);
      context.Status = error.Status;
    } catch (const EFailure& failure) {
      context.Out.Discard();
      const int output = context.Out.WriteError();
      WriteError(context, output != 0 ? OutputFailure(output) : failure.Message());
      context.Status = kExitFailure;
    }
    return true;
  }
  return false;
}

}  // namespace jarvet
