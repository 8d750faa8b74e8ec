// Now playing for scripts and overlays: a template filled in once, as JSON, on every change, into
// a file kept current, and the cover picture.
#include "NowCommands.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include "CommandLine.h"
#include "ControlCommands.h"
#include "CoverPicture.h"
#include "FactsPoller.h"
#include "File.h"
#include "StopRequest.h"
#include "Template.h"
#include "Text.h"
#include "TrackFields.h"

namespace jarvet {

namespace {

constexpr char kDefaultTemplate[] = "[{artist} - ]{title}";
constexpr int kPollMs = 500;

// One pair of double quotes around the whole text is the shell's, not the template's.
std::string Unquoted(std::string text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    text = text.substr(1, text.size() - 2);
  }
  return text;
}

std::unique_ptr<TTemplate> ParseTemplate(std::string text) {
  text = Unquoted(std::move(text));
  if (text.empty()) text = kDefaultTemplate;
  std::string error;
  std::unique_ptr<TTemplate> parsed = TTemplate::Parse(text, FieldNames(), error);
  if (!parsed) BadArgument("template: " + error);
  return parsed;
}


// The template's text over the facts kept current.
class TWatcher {
 public:
  explicit TWatcher(const TTemplate& text) : Text_(text), Facts_(NeedsOf(text.Fields())) {}

  // The text now; none once the player has gone.
  std::optional<std::string> Poll(TPlayer& player) {
    const TTrackFacts* facts = Facts_.Poll(player);
    if (facts == nullptr) return std::nullopt;
    return FilledIn(Text_, *facts);
  }
  // The text with the position moved on; none where nothing moves.
  std::optional<std::string> Advance() {
    const TTrackFacts* facts = Facts_.Advance();
    if (facts == nullptr) return std::nullopt;
    return FilledIn(Text_, *facts);
  }
  const TTrackFacts* Facts() const { return Facts_.Facts(); }

 private:
  const TTemplate& Text_;
  TFactsPoller Facts_;
};

// WATCHFILE's argument: the file (on Windows in double quotes when it holds blanks), then the
// template. On POSIX the file is the shell's first word, and the words after it are the template
// as NOW would read them.
std::pair<std::string, std::string> FileAndTemplate(const TCommandContext& c,
                                                    const char* command) {
  if (c.ArgWords) {
    const std::vector<std::string>& words = *c.ArgWords;
    if (words.empty() || words[0].empty()) BadArgument(std::string(command) + " takes a file");
    return {words[0], TrimControl(JoinCommandLine({words.begin() + 1, words.end()}))};
  }
  const std::vector<TParameter> parameters = SplitCommandLine(c.ArgTextUtf8);
  if (parameters.empty()) BadArgument(std::string(command) + " takes a file");
  return {parameters[0].Text,
          TrimControl(std::string_view(c.ArgTextUtf8).substr(parameters[0].End))};
}

}  // namespace

std::string FilledIn(const TTemplate& text, const TTrackFacts& facts) {
  return text.Render([&](std::size_t field) { return FieldText(facts, field); });
}

// A folder, or a name in none, is a bad argument; what the system refuses is a failure.
void WriteNamedFile(const std::string& file, const std::string& contents) {
  const TFileWriteResult written = WriteFileContents(file, contents);
  if (!written) {
    Fail(written.BadName() ? kExitBadArgument : kExitFailure,
         "cannot write " + ShownName(file) + ": " + written.Reason);
  }
}

void NowPlayingText(TCommandContext& c) {
  const std::unique_ptr<TTemplate> text = ParseTemplate(c.ArgTextUtf8);
  NeedPlayer(c);
  TFactNeeds needs = NeedsOf(text->Fields());
  needs.Playlist = true;
  // Without a playlist, only the file says whether anything is loaded.
  if (!c.Player.Offers(TFeature::Playlist)) needs.Track = true;
  TTagCache tags;
  const TTrackFacts facts = GatherFacts(c.Player, needs, tags);
  NeedAnswers(c);
  if (!HasTrack(facts)) Fail(kExitNothingPlaying, "nothing playing");
  WriteValue(c, OneLine(FilledIn(*text, facts)));
}

void NowPlayingJson(TCommandContext& c) {
  NoArgument(c, "JSON");
  NeedPlayer(c);
  TTagCache tags;
  const TTrackFacts facts = GatherFacts(c.Player, EveryNeed(), tags);
  NeedAnswers(c);
  WriteValue(c, FactsJson(facts));
}

void Watch(TCommandContext& c) {
  const std::unique_ptr<TTemplate> text = ParseTemplate(c.ArgTextUtf8);
  NeedPlayer(c);
  CatchStopRequests();
  TWatcher watcher(*text);
  std::optional<std::string> shown;
  bool changed = true;
  while (!StopRequested()) {
    const std::optional<std::string> now = changed ? watcher.Poll(c.Player) : watcher.Advance();
    if (changed && !now) break;
    if (now && now != shown) {
      WriteValue(c, OneLine(*now));
      c.Out.Flush();  // a reader waits for each line
      shown = now;
    }
    changed = c.Player.WaitForChange(kPollMs);
    if (c.Player.IsGone()) break;
  }
  // The player closed: an ordinary end. One that hangs is not one that closed, and a script must
  // tell them apart.
  if (c.Player.IsHung()) Fail(kExitNoPlayer, "the player did not answer");
}

void WatchFile(TCommandContext& c) {
  const auto [file, templateText] = FileAndTemplate(c, "WATCHFILE");
  const std::unique_ptr<TTemplate> text = ParseTemplate(templateText);
  CatchStopRequests();
  std::unique_ptr<TPlayer> player;
  std::unique_ptr<TWatcher> watcher;
  std::optional<std::string> written;
  bool changed = true;
  while (!StopRequested()) {
    // No player, or one that has gone: look for one at each poll.
    if (!player || player->IsGone() || !player->IsRunning()) {
      player = c.Reconnect();
      watcher = std::make_unique<TWatcher>(*text);
      changed = true;
    }
    std::optional<std::string> now = changed ? std::optional<std::string>("") : watcher->Advance();
    if (changed && player->IsRunning() && !player->IsGone()) {
      const std::optional<std::string> polled = watcher->Poll(*player);
      const TTrackFacts* facts = watcher->Facts();
      if (polled && facts != nullptr && facts->Status != TPlayStatus::Stopped) now = *polled;
    }
    if (now && now != written) {
      WriteNamedFile(file, *now);
      written = now;
    }
    if (player->IsRunning() && !player->IsGone()) {
      changed = player->WaitForChange(kPollMs);
    } else {
      WaitUnlessStopped(kPollMs);
    }
  }
}

void CoverArt(TCommandContext& c) {
  const std::vector<std::string> words = ArgumentWords(c);
  if (words.size() != 1 || words[0].empty()) {
    BadArgument("ART takes the file to write the picture into");
  }
  NeedPlayer(c);
  TFactNeeds needs;
  needs.Track = true;
  TTagCache tags;
  const TTrackFacts facts = GatherFacts(c.Player, needs, tags);
  NeedAnswers(c);
  if (facts.File.empty()) Fail(kExitNothingPlaying, "nothing playing");
  const std::optional<std::string> picture =
      facts.Tags && facts.Tags->Cover ? tags::ReadCoverPicture(facts.File, *facts.Tags->Cover)
                                      : std::nullopt;
  if (!picture) Fail(kExitNothingPlaying, "no cover picture");
  WriteNamedFile(words[0], *picture);
}

}  // namespace jarvet
