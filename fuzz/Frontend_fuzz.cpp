// Fuzzes the whole front end: a command line (the input up to its first zero byte, which no
// real command line holds) run by RunJarvet against the recording fake player, whose answers,
// playlist dump and playing file come from the rest of the input. Also the pure rules the run
// is made of: the command-line split, the number and time rules and the list line's pieces.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "CommandLine.h"
#include "CommandTable.h"
#include "support/FailureReport.h"
#include "support/WindowPlayers.h"
#include "support/FakePlatform.h"
#include "FuzzSupport.h"
#include "Jarvet.h"
#include "support/StringSink.h"
#include "Text.h"
#include "PlayerProtocol.h"

namespace jarvet::fuzz {
namespace {

constexpr char kModuleName[] = "jarvet";
constexpr char kDumpName[] = "winamp.m3u";
constexpr char kTrackName[] = "track.mp3";
constexpr std::size_t kMaxLines = 2;  // the banner; every command here writes one at most
constexpr int kFailingWriteCode = 101;
// FF 2147483647 is 17280 presses; the run is cut short before that.
constexpr std::size_t kMessageBudget = 5000;
constexpr std::int32_t kMaxVolume = 255;

// Scenario flags, the first byte after the command line.
constexpr std::uint8_t kTerminal = 0x01;
constexpr std::uint8_t kNoPlayer = 0x02;
constexpr std::uint8_t kNoDump = 0x04;
constexpr unsigned kEntriesShift = 3;  // two bits: how many entries the dump lists
constexpr std::uint8_t kEntriesMask = 0x03;

struct TOverBudget {};

// Little-endian values from the front of the bytes, zero once they run out.
class TBytes {
 public:
  TBytes(const std::uint8_t* data, std::size_t size) : Data_(data), Size_(size) {}
  std::uint8_t Byte() { return At_ < Size_ ? Data_[At_++] : 0; }
  std::int32_t Int32() {
    std::uint32_t value = 0;
    for (unsigned shift = 0; shift < 32; shift += 8) value |= std::uint32_t{Byte()} << shift;
    return static_cast<std::int32_t>(value);
  }
  std::string Rest() {
    const std::size_t at = std::min(At_, Size_);
    At_ = Size_;
    return std::string(reinterpret_cast<const char*>(Data_) + at, Size_ - at);
  }

 private:
  const std::uint8_t* Data_;
  std::size_t Size_;
  std::size_t At_ = 0;
};

struct TScenario {
  std::uint8_t Flags = 0;
  std::int32_t Version = 0, Status = 0, PositionMs = 0, LengthS = 0, Bitrate = 0;
  std::int32_t PlaylistLength = 0, PlaylistPos = 0;
  std::string TrackBytes;
};

TScenario ReadScenario(TBytes bytes) {
  TScenario s;
  s.Flags = bytes.Byte();
  s.Version = bytes.Int32();
  s.Status = bytes.Int32();
  s.PositionMs = bytes.Int32();
  s.LengthS = bytes.Int32();
  s.Bitrate = bytes.Int32();
  s.PlaylistLength = bytes.Int32();
  s.PlaylistPos = bytes.Int32();
  s.TrackBytes = bytes.Rest();
  return s;
}

void WriteText(const std::string& path, const std::string& text) {
  WriteWholeFile(path, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// The fake player of the scenario; asked for its dump, it writes it into the scratch directory.
class TScenarioPlayer : public testing::TFakePlatform {
 public:
  explicit TScenarioPlayer(const TScenario& s) {
    Window = (s.Flags & kNoPlayer) ? 0 : 0x1234;
    Answer(0, kReqGetVersion, s.Version);
    Answer(0, kReqGetStatus, s.Status);
    Answer(0, kReqGetOutputTime, s.PositionMs);
    Answer(1, kReqGetOutputTime, s.LengthS);
    Answer(1, kReqGetInfo, s.Bitrate);
    Answer(0, kReqGetPlaylistLength, s.PlaylistLength);
    Answer(0, kReqGetPlaylistPos, s.PlaylistPos);
    std::remove(Scratch().File(kDumpName).c_str());
    OnMessage = [&s](const testing::TSentMessage& m) {
      if (m == testing::Request(0, kReqWritePlaylist) && !(s.Flags & kNoDump)) {
        std::string dump = "#EXTM3U\r\n";
        for (unsigned i = (s.Flags >> kEntriesShift) & kEntriesMask; i > 0; --i) {
          dump += Scratch().File(kTrackName) + "\r\n";
        }
        WriteText(Scratch().File(kDumpName), dump);
        WriteText(Scratch().File(kTrackName), s.TrackBytes);
      }
    };
  }

  std::int32_t SendWindowMessage(TWindow window, std::int32_t message, std::int32_t wParam,
                                 std::int32_t lParam) override {
    if (++Messages_ > kMessageBudget) throw TOverBudget{};
    return TFakePlatform::SendWindowMessage(window, message, wParam, lParam);
  }

 private:
  std::size_t Messages_ = 0;
};

// Keeps every write apart, to see that each holds whole lines.
class TChunkSink : public testing::TStringSink {
 public:
  std::vector<std::string> Chunks;
  bool Write(std::string_view data, int& errorCode) override {
    if (FailWith == 0) Chunks.emplace_back(data);
    return TStringSink::Write(data, errorCode);
  }
};

struct TRun {
  bool OverBudget = false;
  int Status = 0;
  std::vector<std::string> Chunks;
  std::string Text;
  std::vector<testing::TSentMessage> Sent;
  std::size_t LookUps = 0;
  std::string Errors;
};

TRun Run(std::string_view raw, const TScenario& s, int failWith) {
  TScenarioPlayer player(s);
  TChunkSink sink;
  sink.Terminal = (s.Flags & kTerminal) != 0;
  sink.FailWith = failWith;
  TRun run;
  try {
    testing::TStringSink errors;
    run.Status = RunJarvet({raw, raw}, testing::WindowPlayers(player), sink, errors, kModuleName);
    run.Errors = std::move(errors.Text);
  } catch (const TOverBudget&) {
    run.OverBudget = true;
  } catch (...) {
    Fail("RunJarvet let an exception out", __FILE__, __LINE__);
  }
  run.Chunks = std::move(sink.Chunks);
  run.Text = std::move(sink.Text);
  run.Sent = std::move(player.Sent);
  run.LookUps = player.LookedUp.size();
  return run;
}

bool EndsWithLineEnd(std::string_view text) {
  return text.size() >= 2 && text.substr(text.size() - 2) == "\r\n";
}

// Lines ending in CR LF, with no other CR or LF in them.
std::size_t WholeLines(std::string_view text) {
  std::size_t lines = 0;
  while (!text.empty()) {
    const std::size_t end = text.find("\r\n");
    FUZZ_REQUIRE(end != std::string_view::npos);
    const std::string_view line = text.substr(0, end);
    FUZZ_REQUIRE(line.find('\r') == std::string_view::npos &&
                 line.find('\n') == std::string_view::npos);
    text.remove_prefix(end + 2);
    ++lines;
  }
  return lines;
}

// Either failure, its message one line ending in a full stop.
bool IsFailureReport(std::string_view text) {
  return testing::IsFailureReport(std::string(text), "E(InOutError|StringListError)",
                                  "[^\r\n]+\\.", kModuleName);
}

// Every line is whole, whatever the tags hold: INFO shows a tag's CR or LF as a blank.
void CheckOutput(const TRun& run, bool newer) {
  if (newer) {
    // Problems go to standard error as one line, with a status that says which.
    FUZZ_REQUIRE(run.Status >= 0 && run.Status <= kExitNothingPlaying);
    FUZZ_REQUIRE((run.Status == 0) == run.Errors.empty());
    if (run.Status != 0) {
      FUZZ_REQUIRE(run.Errors.rfind("jarvet: ", 0) == 0 && WholeLines(run.Errors) == 1);
      FUZZ_REQUIRE(run.Text.empty());
    }
    for (const std::string& chunk : run.Chunks) {
      FUZZ_REQUIRE(EndsWithLineEnd(chunk));
      WholeLines(chunk);  // a line break inside a tag, a title or a template stays inside its line
    }
    return;
  }
  FUZZ_REQUIRE(run.Status == 0 || run.Status == 1);
  FUZZ_REQUIRE(run.Errors.empty());
  std::size_t lineChunks = run.Chunks.size();
  if (run.Status == 1) {
    FUZZ_REQUIRE(!run.Chunks.empty() && IsFailureReport(run.Chunks.back()));
    --lineChunks;
  }
  std::size_t lines = 0;
  for (std::size_t i = 0; i < lineChunks; ++i) {
    FUZZ_REQUIRE(EndsWithLineEnd(run.Chunks[i]));  // output is never held back half a line
    lines += WholeLines(run.Chunks[i]);
  }
  FUZZ_REQUIRE(lines <= kMaxLines);
}

void CheckMessages(const TRun& run, const TScenario& s, bool newer) {
  FUZZ_REQUIRE(run.LookUps <= 1);  // the window is looked up once, or not at all
  if (run.Text.rfind("Jarvet 1.1\r\n", 0) == 0) FUZZ_REQUIRE(run.LookUps == 0 && run.Sent.empty());
  for (const testing::TSentMessage& m : run.Sent) {
    if (newer && m.Message == kWmCopyData) {
      FUZZ_REQUIRE(m.WParam == kCopyDataPlayFile || m.WParam == kCopyDataPlayFileW);
      continue;
    }
    if (newer && m.Message == kWmUser && m.LParam == kReqSetVolume && m.WParam == kVolumeQuery) {
      continue;
    }
    FUZZ_REQUIRE(m.Message == kWmCommand || m.Message == kWmUser);
    if (m.Message == kWmCommand) {
      FUZZ_REQUIRE(m.LParam == 0);
      continue;
    }
    if (m.LParam == kReqSetVolume) FUZZ_REQUIRE(m.WParam >= 0 && m.WParam <= kMaxVolume);
    if (m.LParam == kReqSetPlaylistPos) {
      FUZZ_REQUIRE(m.WParam >= 0 && m.WParam < s.PlaylistLength);
    }
    if (m.LParam == kReqJumpToTime) {
      // SEEKBY moves from the player's position in ms; SEEK jumps to whole seconds.
      FUZZ_REQUIRE(m.WParam >= 0 && (newer || m.WParam % 1000 == 0));
    }
  }
}

std::size_t CountOf(std::string_view text, char c) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
}

std::string Upper(std::string text) {
  for (char& c : text) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  return text;
}

std::string WithoutLeadingZeros(std::string_view digits) {
  const std::size_t first = digits.find_first_not_of('0');
  return first == std::string_view::npos ? "0" : std::string(digits.substr(first));
}

// A number that reads is shown the same written out canonically, and reads back the same.
void CheckNumberRules(const std::string& text) {
  const auto number = ParseNumber(text);
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) FUZZ_REQUIRE(ParseTime(text) == (number ? *number : -1));
  if (!number) return;

  FUZZ_REQUIRE(ParseNumber(IntToStr(*number)) == number);
  FUZZ_REQUIRE(ParseNumber(" " + text) == number);
  FUZZ_REQUIRE(!ParseNumber(text + " ") && !ParseNumber(text + "\t"));
  FUZZ_REQUIRE(ParseTime(IntToStr(*number) + ":" + IntToStr(*number)) ==
               static_cast<std::int64_t>(*number) * 61);

  const std::string_view s = std::string_view(text).substr(text.find_first_not_of(' '));
  std::string_view hexDigits;
  if (s[0] == '$' || s[0] == 'x' || s[0] == 'X') {
    hexDigits = s.substr(1);
  } else if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    hexDigits = s.substr(2);
  }
  if (!hexDigits.empty()) {
    char written[16];
    std::snprintf(written, sizeof written, "%X", static_cast<unsigned>(*number));
    FUZZ_REQUIRE(Upper(WithoutLeadingZeros(hexDigits)) == written);
    return;
  }
  const bool negative = s[0] == '-';
  const std::string digits = WithoutLeadingZeros(s.substr(s[0] == '-' || s[0] == '+' ? 1 : 0));
  FUZZ_REQUIRE(IntToStr(*number) == (negative && digits != "0" ? "-" : "") + digits);
}

// The pieces of the list-loading line: doubling and the quote split.
void CheckListLinePieces(const std::string& text) {
  std::string doubled = text;
  DoubleBackslashes(doubled);
  const std::size_t backslashes = CountOf(text, '\\');
  FUZZ_REQUIRE(doubled.size() == text.size() + backslashes);
  FUZZ_REQUIRE(CountOf(doubled, '\\') == 2 * backslashes);
  std::string undone;
  for (std::size_t i = 0; i < doubled.size(); ++i) {
    undone += doubled[i];
    if (doubled[i] == '\\') ++i;  // its double
  }
  FUZZ_REQUIRE(undone == text);

  const std::string after = TextAfter(text, '"');
  const std::string before = TextBefore(text, '"');
  if (text.find('"') == std::string::npos) {
    FUZZ_REQUIRE(after == text && before.empty());
  } else {
    FUZZ_REQUIRE(before + '"' + after == text);
  }
  FUZZ_REQUIRE(TextBefore(TextAfter(doubled, '"'), '"').find('"') == std::string::npos);
}

// The player directory "." of the seeds, typed as it is, stands for the scratch directory.
std::string WithScratchDir(std::string_view raw, const std::vector<TParameter>& parameters) {
  if (parameters.size() < 2 || parameters[1].Text != ".") return std::string(raw);
  const std::size_t dot = parameters[1].End - 1;
  if (raw[dot] != '.') return std::string(raw);
  return std::string(raw.substr(0, dot)) + Scratch().Path() + std::string(raw.substr(dot + 1));
}

// Returns the parameters, after checking the split and that joining them splits back the same
// (which is how the POSIX build rebuilds its command line).
std::vector<TParameter> CheckSplit(std::string_view raw) {
  const std::vector<TParameter> parameters = SplitCommandLine(raw);
  std::vector<std::string> texts;
  std::size_t end = 0;
  for (const TParameter& p : parameters) {
    FUZZ_REQUIRE(!p.Text.empty() && p.Text.find('"') == std::string::npos);
    FUZZ_REQUIRE(p.End > end && p.End <= raw.size());
    end = p.End;
    texts.push_back(p.Text);
  }
  std::vector<std::string> again;
  for (const TParameter& p : SplitCommandLine(JoinCommandLine(texts))) again.push_back(p.Text);
  FUZZ_REQUIRE(again == texts);
  return parameters;
}

void CheckFrontEnd(const std::uint8_t* data, std::size_t size) {
  const auto* zero = static_cast<const std::uint8_t*>(std::memchr(data, 0, size));
  const std::size_t rawSize = zero != nullptr ? static_cast<std::size_t>(zero - data) : size;
  const std::string_view raw(reinterpret_cast<const char*>(data), rawSize);
  const TScenario scenario =
      ReadScenario(zero != nullptr ? TBytes(zero + 1, size - rawSize - 1) : TBytes(nullptr, 0));

  const std::vector<TParameter> parameters = CheckSplit(raw);
  for (const TParameter& p : parameters) {
    CheckNumberRules(p.Text);
    CheckListLinePieces(p.Text);
  }
  if (parameters.size() > 3) {
    const std::string argText = TrimControl(raw.substr(parameters[2].End));
    CheckNumberRules(argText);
    CheckListLinePieces(argText);
    // Loading a list waits 100 ms for the player and deletes the one shared list file: left
    // to the tests, which own that file while they run.
    const std::string& word = parameters[2].Text;
    if (SameTextAscii(word, "PLAY") || SameTextAscii(word, "ENQUEUE")) return;
    // Watching runs until the player closes or a signal comes, and ART writes where the input
    // says: the tests cover those.
    for (const char* skipped : {"WATCH", "WATCHFILE", "ART", "WATCHART", "SERVE"}) {
      if (SameTextAscii(word, skipped)) return;
    }
  }

  const TCommand* command = parameters.size() > 2 ? FindCommand(parameters[2].Text) : nullptr;
  const bool newer = command != nullptr && !command->Original;
  const std::string runRaw = WithScratchDir(raw, parameters);
  const TRun run = Run(runRaw, scenario, 0);
  if (run.OverBudget) return;
  CheckOutput(run, newer);
  CheckMessages(run, scenario, newer);

  // A write that fails is never silent: the run that had something to say ends with status 1.
  const TRun failing = Run(runRaw, scenario, kFailingWriteCode);
  FUZZ_REQUIRE(!failing.OverBudget);
  FUZZ_REQUIRE(failing.Status == (run.Text.empty() ? run.Status : 1));
}

}  // namespace
}  // namespace jarvet::fuzz

JARVET_FUZZ_TARGET(jarvet::fuzz::CheckFrontEnd)
