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

std::string Fill(const TTemplate& text, const TTrackFacts& facts) {
  return text.Render([&](std::size_t field) { return FieldText(facts, field); });
}

// Between two polls only the cheap facts are asked again: status, the entry, the playing file
// and the play position (the stream title too, which changes with the song). Everything else
// is gathered anew when the entry or its file changes.
class TWatcher {
 public:
  TWatcher(const TTemplate& text) : Text_(text), Needs_(NeedsOf(text.Fields())) {
    Needs_.Track = true;  // a change of track is what is watched for
  }

  // The text now; none once the player has gone.
  std::optional<std::string> Poll(TPlayer& player) {
    const bool playlist = player.Offers(TFeature::Playlist);
    const std::optional<std::int32_t> position =
        playlist ? std::optional<std::int32_t>(player.PlaylistPosition()) : std::nullopt;
    const std::string file = player.CurrentFile();
    if (player.IsGone()) return std::nullopt;
    if (!Facts_ || position != Facts_->PlaylistPos || file != Playing_) {
      Facts_ = GatherFacts(player, Needs_, Tags_);
      Playing_ = file;
    } else {
      Facts_->Status = player.Status();
      if (Needs_.Times) Facts_->PositionMs = player.PositionMs();
      if (IsUrl(Facts_->File)) Facts_->Player = player.CurrentTrack();
      if (Needs_.Volume && player.Offers(TFeature::Volume)) Facts_->Volume = player.Volume();
      if (Needs_.Flags) {
        if (player.Offers(TFeature::Shuffle)) Facts_->Shuffle = player.Shuffle();
        if (player.Offers(TFeature::Repeat)) Facts_->Repeat = player.Repeat();
      }
      if (Needs_.Info) Facts_->Figures = player.Figures();
    }
    if (player.IsGone()) return std::nullopt;
    PolledAt_ = std::chrono::steady_clock::now();
    PolledPosition_ = Facts_->PositionMs;
    return Fill(Text_, *Facts_);
  }

  // The text with the play position moved on by the time since the last poll, for a player
  // that tells of its changes but not of its position moving; none where nothing moves.
  std::optional<std::string> Advance() {
    if (!Facts_ || !PolledPosition_ || Facts_->Status != TPlayStatus::Playing) return std::nullopt;
    const auto passed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - PolledAt_);
    std::int64_t position = *PolledPosition_ + passed.count();
    const std::optional<std::int32_t> length = Facts_->LengthMs;
    if (length) position = std::min<std::int64_t>(position, *length);
    Facts_->PositionMs = static_cast<std::int32_t>(std::min<std::int64_t>(position, INT32_MAX));
    return Fill(Text_, *Facts_);
  }

  const TTrackFacts* Facts() const { return Facts_ ? &*Facts_ : nullptr; }

 private:
  const TTemplate& Text_;
  TFactNeeds Needs_;
  TTagCache Tags_;
  std::optional<TTrackFacts> Facts_;
  std::string Playing_;
  std::chrono::steady_clock::time_point PolledAt_;
  std::optional<std::int32_t> PolledPosition_;
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

// A folder, or a name in none, is a bad argument; what the system refuses is a failure.
void WriteNamedFile(const std::string& file, const std::string& contents) {
  const TFileWriteResult written = WriteFileContents(file, contents);
  if (!written) {
    Fail(written.BadName() ? kExitBadArgument : kExitFailure,
         "cannot write " + ShownName(file) + ": " + written.Reason);
  }
}

}  // namespace

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
  WriteValue(c, OneLine(Fill(*text, facts)));
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
