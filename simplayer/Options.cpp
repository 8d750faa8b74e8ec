#include "Options.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "PlayerProtocol.h"

namespace jarvet::simplayer {

const char kUsage[] =
    "usage: winamp.exe [options] [/ADD] [FILE]\n"
    "  --dir DIR                  player directory (default: the executable's directory)\n"
    "  --journal PATH             appends every message received to PATH (default: none)\n"
    "  --entry PATH[|SECONDS[|TITLE]]\n"
    "                             a playlist entry, in order; repeatable\n"
    "  --position N               0-based current entry\n"
    "  --status stopped|playing|paused\n"
    "  --time MS                  play position\n"
    "  --bitrate N                kbit/s (default 128)\n"
    "  --volume N                 0..255 (default 200)\n"
    "  --version N                decimal or 0x hex (default 0x5666)\n"
    "  --shuffle on|off, --repeat on|off\n"
    "  --basic                    answer as a partial imitation: no text pointers, no ms length\n"
    "  --frozen                   never answer a message, as a hung player\n"
    "  --frozen-after N           answer N messages (memory reads among them), then hang\n"
    "  --clock                    the play position moves on with the clock while playing\n"
    "With FILE, a running player is handed the list file (/ADD: appended) and this one exits;\n"
    "with none running, this one becomes the player with that list.\n";

namespace {


// PATH|SECONDS|TITLE, the last two optional.
std::optional<TEntry> ParseEntry(const std::string& text) {
  const std::size_t first = text.find('|');
  TEntry entry = EntryForPath(text.substr(0, first));
  if (entry.Path.empty()) return std::nullopt;
  if (first == std::string::npos) return entry;
  const std::size_t second = text.find('|', first + 1);
  const std::string seconds = text.substr(first + 1, second - first - 1);
  if (!seconds.empty()) {
    const std::optional<std::int32_t> length = ParseInt(seconds);
    if (!length) return std::nullopt;
    entry.Length = *length;
  }
  if (second != std::string::npos) entry.Title = text.substr(second + 1);
  return entry;
}

std::optional<TStatus> ParseStatus(const std::string& text) {
  if (text == "stopped") return TStatus::Stopped;
  if (text == "playing") return TStatus::Playing;
  if (text == "paused") return TStatus::Paused;
  return std::nullopt;
}

bool IsAddSwitch(const std::string& text) {
  if (text.size() != std::strlen(kAddSwitch)) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) != kAddSwitch[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<std::int32_t> ParseInt(const std::string& text, bool hex) {
  if (text.empty()) return std::nullopt;
  const bool isHex = hex && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const char* begin = text.c_str() + (isHex ? 2 : 0);
  // strtoll would also take blanks and signs where we want none.
  const bool digitFirst =
      isHex ? std::isxdigit(static_cast<unsigned char>(*begin)) != 0
            : (*begin == '-' || std::isdigit(static_cast<unsigned char>(*begin)) != 0);
  if (!digitFirst) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(begin, &end, isHex ? 16 : 10);
  if (errno != 0 || *end != '\0' || end == begin) return std::nullopt;
  if (isHex && value <= std::numeric_limits<std::uint32_t>::max()) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  }
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(value);
}

std::string StartMessage(const std::string& window, const TOptions& options) {
  return "winamp.exe: serving the window " + window + " for the player directory " +
         options.State.Directory + ", journal " +
         (options.JournalPath.empty() ? std::string("none") : options.JournalPath) + "\n";
}

std::optional<std::string> ParseCommandLine(int argc, const char* const* argv,
                                            const std::string& defaultDirectory,
                                            TOptions& options) {
  std::optional<std::string> directory;
  std::optional<std::int32_t> position;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if ((argument == "--basic" || argument == "--frozen") && !options.Add && !options.File) {
      (argument == "--basic" ? options.State.Basic : options.Frozen) = true;
    } else if (argument == "--clock" && !options.Add && !options.File) {
      options.State.Clock = true;
    } else if (argument.rfind("--", 0) == 0 && !options.Add && !options.File) {
      if (i + 1 >= argc) return argument + " needs a value";
      const std::string value = argv[++i];
      bool ok = true;
      if (argument == "--dir") {
        directory = value;
      } else if (argument == "--journal") {
        options.JournalPath = value;
      } else if (argument == "--entry") {
        const std::optional<TEntry> entry = ParseEntry(value);
        ok = entry.has_value();
        if (ok) options.State.Entries.push_back(*entry);
      } else if (argument == "--shuffle" || argument == "--repeat") {
        ok = value == "on" || value == "off";
        (argument == "--shuffle" ? options.State.Shuffle : options.State.Repeat) = value == "on";
      } else if (argument == "--status") {
        const std::optional<TStatus> status = ParseStatus(value);
        ok = status.has_value();
        if (ok) options.State.Status = *status;
      } else {
        const std::optional<std::int32_t> number = ParseInt(value, argument == "--version");
        ok = number.has_value();
        if (argument == "--position") {
          position = number;
        } else if (argument == "--time") {
          ok = ok && *number >= 0;
          if (ok) options.State.Time = *number;
        } else if (argument == "--bitrate") {
          if (ok) options.State.Bitrate = *number;
        } else if (argument == "--volume") {
          ok = ok && *number >= 0 && *number <= 255;
          if (ok) options.State.Volume = *number;
        } else if (argument == "--version") {
          if (ok) options.State.Version = *number;
        } else if (argument == "--frozen-after") {
          ok = ok && *number >= 0;
          if (ok) options.FrozenAfter = *number;
        } else {
          return "unknown option " + argument;
        }
      }
      if (!ok) return "bad value for " + argument + ": " + value;
    } else if (IsAddSwitch(argument) && !options.Add && !options.File) {
      options.Add = true;
    } else if (!options.File) {
      options.File = argument;
    } else {
      return "more than one file: " + argument;
    }
  }
  if (options.Add && !options.File) return std::string(kAddSwitch) + " needs a file";
  if (position) {
    // An empty playlist still has position 0, as the real player reports it.
    const auto count = static_cast<std::int32_t>(options.State.Entries.size());
    if (*position < 0 || (*position >= count && *position != 0)) {
      return "--position names no entry";
    }
    options.State.Position = *position;
  }
  options.State.Directory = directory ? *directory : defaultDirectory;
  return std::nullopt;
}

}  // namespace jarvet::simplayer
