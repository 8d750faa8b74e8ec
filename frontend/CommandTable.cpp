// The one table of commands, their dispatch, and the checks and reports every command shares.
#include "CommandTable.h"

#include <algorithm>

#include "CommandLine.h"
#include "ControlCommands.h"
#include "File.h"
#include "NowCommands.h"
#include "NowPlaying.h"
#include "ServeCommands.h"
#include "Text.h"
#include "TrackFields.h"

namespace jarvet {

namespace {

void Help(TCommandContext& c);

constexpr std::size_t kHelpColumns = 79;  // a full 80 wraps on some consoles
constexpr std::size_t kHelpIndent = 28;

const std::vector<TCommand> kCommands = {
    {"VERSION", "", "the player's version number", Version, true},
    {"CLEAR", "", "empties the playlist", Clear, true},
    {"CLOSE", "", "closes the player", Close, true},
    {"PLAY", "[\"FOLDER\" PATTERN]", "plays; with a folder and pattern, the list file", Play, true},
    {"ENQUEUE", "\"FOLDER\" PATTERN", "adds the list file to the playlist", Enqueue, true},
    {"STOP", "", "stops", Stop, true},
    {"PAUSE", "", "toggles pause", Pause, true},
    {"PREV", "", "previous track", Prev, true},
    {"NEXT", "", "next track", Next, true},
    {"FF", "[S]", "forward in 5-second steps (default 5 s)", FastForward, true},
    {"REW", "[S]", "back in 5-second steps (default 5 s)", Rewind, true},
    {"SKIPTO", "N", "plays track N, from 1", SkipTo, true},
    {"SEEK", "S|M:SS", "jumps to the time", Seek, true},
    {"SETVOL", "N", "sets the volume, 0-255", SetVolume, true},
    {"VOLUP", "[N]", "steps the volume up (default 1)", VolumeUp, true},
    {"VOLDOWN", "[N]", "steps the volume down (default 1)", VolumeDown, true},
    {"POS", "", "the playlist position, from 0", Position, true},
    {"INFO", "", "the now-playing line", ReportNowPlaying, true},
    {"STATUS", "", "playing, paused or stopped", Status, false},
    {"VOLUME", "[N|+N|-N|N%]", "shows or sets the volume, 0-255", Volume, false},
    {"SHUFFLE", "[on|off|toggle]", "shows or sets shuffle", Shuffle, false},
    {"REPEAT", "[on|off|toggle]", "shows or sets repeat", Repeat, false},
    {"TOGGLE", "", "plays when stopped, else toggles pause", Toggle, false},
    {"FADEOUT", "", "fades out and stops", FadeOut, false},
    {"SEEKBY", "+S|-S|+M:SS|-M:SS", "moves the play position; shows it", SeekBy, false},
    {"LIST", "", "the playlist: number, title, file", List, false},
    {"ADD", "FILE...", "appends files or URLs; shows how many", Add, false},
    {"OPEN", "FILE...", "replaces the playlist with them and plays", Open, false},
    {"NOW", "[TEMPLATE]", "the current track by the template", NowPlayingText, false},
    {"JSON", "", "the current track and the player as JSON", NowPlayingJson, false},
    {"WATCH", "[TEMPLATE]", "a line at start and at each change", Watch, false},
    {"WATCHFILE", "FILE [TEMPLATE]", "keeps the file holding the current text", WatchFile,
     false},
    {"ART", "FILE", "writes the current cover picture into the file", CoverArt, false},
    {"WATCHART", "FILE", "keeps the file holding the current cover picture", WatchArt, false},
    {"SERVE", "[ADDRESS:]PORT", "a live now-playing page and API for overlays", Serve, false},
    {"HELP", "", "this list", Help, false},
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

// Words of the text on lines of at most the columns, each after the first indented.
void AppendWrapped(std::vector<std::string>& lines, const std::string& text, std::size_t indent) {
  std::string line;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    if (!line.empty() && line.size() + 1 + word.size() > kHelpColumns) {
      lines.push_back(line);
      line = std::string(indent, ' ');
    } else if (!line.empty()) {
      line += ' ';
    }
    line += word;
    start = end + 1;
  }
  if (!line.empty()) lines.push_back(line);
}

void Help(TCommandContext& c) {
  for (const std::string& line : HelpLines()) WriteValue(c, line);
}

}  // namespace

const std::vector<TCommand>& Commands() { return kCommands; }

const TCommand* FindCommand(const std::string& word) {
  const auto found = std::find_if(kCommands.begin(), kCommands.end(), [&](const TCommand& command) {
    return SameTextAscii(word, command.Name);
  });
  return found == kCommands.end() ? nullptr : &*found;
}

int RunCommand(const TCommand& command, TCommandContext& context) {
  try {
    command.Run(context);
    if (!command.Original) context.Out.Flush();
    return 0;
  } catch (const EProblem& problem) {
    context.Out.Discard();
    WriteProblemLine(context, problem.Message());
    return problem.Status();
  } catch (const EFailure& failure) {
    if (command.Original) throw;
    context.Out.Discard();
    const int output = context.Out.WriteError();
    WriteProblemLine(context, output != 0 ? OutputFailure(output) : failure.Message());
    return kExitFailure;
  }
}

std::vector<std::string> HelpLines() {
  std::vector<std::string> lines{"usage: jarvet <player> <command> [argument]"};
  for (const TCommand& command : kCommands) {
    std::string head = command.Name;
    if (*command.Argument != '\0') head += std::string(" ") + command.Argument;
    head.resize(std::max(head.size() + 1, kHelpIndent), ' ');
    AppendWrapped(lines, head + command.Help, kHelpIndent);
  }
  lines.emplace_back("Template fields, and JSON's keys:");
  for (const auto& [name, help] : FieldHelp()) {
    std::string head = "  {" + name + "}";
    head.resize(std::max(head.size() + 1, kHelpIndent), ' ');
    AppendWrapped(lines, head + help, kHelpIndent);
  }
  AppendWrapped(lines,
                "{a|b} is the first that is not empty; [ ... ] is left out when a field in it is "
                "empty; \\[ \\] \\{ \\} \\| \\\\ and {{ }} are the characters.",
                0);
  AppendWrapped(lines,
                std::string("The list file is ") + kListFilePath +
                    ", one file a line, written beforehand.",
                0);
  AppendWrapped(lines,
                "The newer commands (STATUS to HELP) write UTF-8 and exit with 2 for a bad "
                "argument, 3 when no player runs or it does not answer, 4 when nothing plays (or "
                "no cover), 5 when the player does not offer what the command needs, 1 when "
                "output or a file fails.",
                0);
  return lines;
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

void WriteProblemLine(TCommandContext& c, const std::string& message) {
  int ignored = 0;
  c.Errors.WriteUtf8("jarvet: " + message + "\r\n", ignored);
}

std::string OneLine(std::string text) {
  for (char& ch : text) {
    if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) ch = ' ';
  }
  return text;
}

void Fail(int status, const std::string& message) { throw EProblem(status, message); }

void BadArgument(const std::string& message) { Fail(kExitBadArgument, message); }

void NeedPlayer(TCommandContext& c) {
  if (!c.Player.IsRunning()) Fail(kExitNoPlayer, "no player running");
}

void NeedAnswers(TCommandContext& c) {
  if (c.Player.IsGone()) Fail(kExitNoPlayer, "the player did not answer");
}

void NeedFeature(TCommandContext& c, TFeature feature) {
  if (!c.Player.Offers(feature)) {
    Fail(kExitNotOffered, c.Player.Identity() + " does not offer " + FeatureName(feature));
  }
}

void NoArgument(const TCommandContext& c, const char* command) {
  if (!c.ArgTextUtf8.empty()) BadArgument(std::string(command) + " takes no argument");
}

void WriteValue(TCommandContext& c, const std::string& value) {
  c.Out.Utf8 = true;
  c.Out.WriteLine(value);
}

}  // namespace jarvet
