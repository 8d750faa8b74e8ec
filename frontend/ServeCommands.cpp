// The live now-playing server for stream overlays, and the cover picture kept in a file: the
// player's side of the server in server/, which knows nothing of players.
#include "ServeCommands.h"

#include <cstdlib>
#include <memory>
#include <optional>

#include "CommandLine.h"
#include "ControlCommands.h"
#include "CoverPicture.h"
#include "FactsPoller.h"
#include "HttpRules.h"
#include "NowCommands.h"
#include "NowServer.h"
#include "StopRequest.h"
#include "Text.h"

namespace jarvet {

namespace {

constexpr char kDefaultAddress[] = "127.0.0.1";
constexpr char kTokenVariable[] = "JARVET_TOKEN";
constexpr int kMaxPort = 65535;
constexpr int kPollMs = 500;  // WATCHART's, as WATCHFILE's
constexpr int kStopCheckMs = 250;

// The current track's cover picture, read whole; none when it has none.
std::shared_ptr<const std::string> CoverOf(const TTrackFacts& facts) {
  if (facts.File.empty() || !facts.Tags || !facts.Tags->Cover) return nullptr;
  std::optional<std::string> picture = tags::ReadCoverPicture(facts.File, *facts.Tags->Cover);
  if (!picture) return nullptr;
  return std::make_shared<const std::string>(std::move(*picture));
}

// The facts of one poll, filling in any template a viewer asks for.
class TFactsFiller : public TTextFiller {
 public:
  explicit TFactsFiller(TTrackFacts facts) : Facts_(std::move(facts)) {}
  bool Fill(const std::string& templateText, std::string& text,
            std::string& error) const override {
    std::string problem;
    const std::unique_ptr<TTemplate> parsed =
        TTemplate::Parse(templateText, FieldNames(), problem);
    if (!parsed) {
      error = "template: " + problem;
      return false;
    }
    text = OneLine(FilledIn(*parsed, Facts_));
    return true;
  }

 private:
  const TTrackFacts Facts_;
};

void PlayAction(TCommandContext& c) {
  NeedFeature(c, TFeature::Control);
  c.Player.Play();
}
void PauseAction(TCommandContext& c) {  // pauses; a player paused or stopped stays so
  NeedFeature(c, TFeature::Control);
  if (c.Player.Status() == TPlayStatus::Playing) c.Player.TogglePause();
}
void StopAction(TCommandContext& c) {
  NeedFeature(c, TFeature::Control);
  c.Player.Stop();
}
void NextAction(TCommandContext& c) {
  NeedFeature(c, TFeature::Control);
  c.Player.Next();
}
void PrevAction(TCommandContext& c) {
  NeedFeature(c, TFeature::Control);
  c.Player.Previous();
}
void VolumeAction(TCommandContext& c) {
  if (c.ArgTextUtf8.empty()) BadArgument("volume takes a value");  // not a question here
  Volume(c);
}

// The control routes, each run as the command of the same effect.
const struct {
  const char* Action;
  void (*Run)(TCommandContext&);
} kControls[] = {{"play", PlayAction}, {"pause", PauseAction}, {"toggle", Toggle},
                 {"stop", StopAction}, {"next", NextAction},   {"prev", PrevAction},
                 {"volume", VolumeAction}, {"seekby", SeekBy}};

// What the server needs, from the player: found again after a restart, asked with the cheap
// questions, the tags and the cover read again only for another track.
class TPlayerSource : public TNowSource {
 public:
  explicit TPlayerSource(std::function<std::unique_ptr<TPlayer>()> connect)
      : Connect_(std::move(connect)) {}

  TNowState Poll() override {
    if (!Ready()) {
      Player_ = Connect_();
      Facts_ = std::make_unique<TFactsPoller>(EveryNeed());
      Cover_.reset();
    }
    // A player that tells of its changes is asked again only when it has told of one; meanwhile
    // its position moves on by the clock. One that cannot tell is asked at every poll.
    const bool changed = !Ready() || Facts_->Facts() == nullptr || Player_->WaitForChange(0);
    const TTrackFacts* facts = nullptr;
    if (Ready()) {
      facts = changed ? Facts_->Poll(*Player_) : Facts_->Advance();
      if (facts == nullptr && !changed) facts = Facts_->Facts();
    }
    if (facts == nullptr || !Ready()) {
      TTrackFacts nothing;
      nothing.Status = TPlayStatus::Stopped;
      return StateOf(nothing, nullptr);
    }
    if (changed && Facts_->TrackChanged()) {
      Cover_ = CoverOf(*facts);
      CoverType_ = Cover_ ? PictureMimeType(*Cover_, facts->Tags->Cover->Mime) : "";
    }
    return StateOf(*facts, Cover_);
  }

  TControlResult Control(const std::string& action, const std::string& value) override {
    if (!Ready()) return TControlResult::NoPlayer;
    for (const auto& control : kControls) {
      if (action != control.Action) continue;
      TDiscard discard;
      TOutput out(discard);
      out.Utf8 = true;
      TCommandContext context{*Player_, out, value, discard, value, Connect_};
      try {
        control.Run(context);
        NeedAnswers(context);
      } catch (const EProblem& problem) {
        switch (problem.Status()) {
          case kExitBadArgument: return TControlResult::BadValue;
          case kExitNothingPlaying: return TControlResult::NothingPlaying;
          case kExitNotOffered: return TControlResult::NotOffered;
          default: return TControlResult::NoPlayer;
        }
      }
      return TControlResult::Done;
    }
    return TControlResult::BadValue;
  }

 private:
  // A command's lines, which a control route does not show.
  class TDiscard : public TOutputSink {
   public:
    bool Write(std::string_view, int&) override { return true; }
    bool IsTerminal() const override { return false; }
  };

  bool Ready() const { return Player_ && Player_->IsRunning() && !Player_->IsGone(); }

  TNowState StateOf(const TTrackFacts& facts, std::shared_ptr<const std::string> cover) const {
    TNowState state;
    state.Json = FactsJson(facts);
    // The moving position is no news; nor is a variable bit rate that moves at every poll.
    TTrackFacts steady = facts;
    steady.PositionMs.reset();
    steady.Figures.BitrateKbps.reset();
    state.Steady = FactsJson(steady);
    state.PositionMs = facts.PositionMs;
    state.Advancing = facts.Status == TPlayStatus::Playing;
    state.Cover = std::move(cover);
    state.CoverType = state.Cover ? CoverType_ : "";
    state.Text = std::make_shared<TFactsFiller>(facts);
    return state;
  }

  std::function<std::unique_ptr<TPlayer>()> Connect_;
  std::unique_ptr<TPlayer> Player_;
  std::unique_ptr<TFactsPoller> Facts_;
  std::shared_ptr<const std::string> Cover_;
  std::string CoverType_;
};

}  // namespace

std::unique_ptr<TNowSource> PlayerNowSource(std::function<std::unique_ptr<TPlayer>()> connect) {
  return std::make_unique<TPlayerSource>(std::move(connect));
}

bool ParseListenAddress(std::string_view text, std::string& address, int& port) {
  const std::size_t colon = text.rfind(':');
  std::string_view host = colon == std::string_view::npos ? "" : text.substr(0, colon);
  const std::string_view number = colon == std::string_view::npos ? text : text.substr(colon + 1);
  const std::optional<std::uint32_t> digits = ParseDigits(number);
  if (!digits || number.size() > 5 || *digits < 1 || *digits > kMaxPort) return false;
  port = static_cast<int>(*digits);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
    if (host.empty()) return false;
  } else if (host.find(':') != std::string_view::npos || host.find(' ') != std::string_view::npos) {
    return false;  // an IPv6 address needs its brackets
  }
  if (colon != std::string_view::npos && host.empty()) return false;
  address = host.empty() ? kDefaultAddress : std::string(host);
  return true;
}

std::string PictureMimeType(std::string_view bytes, const std::string& tagMime) {
  const struct {
    std::string_view Magic;
    std::size_t At;
    const char* Type;
  } kinds[] = {{"\x89PNG", 0, "image/png"},     {"\xFF\xD8\xFF", 0, "image/jpeg"},
               {"GIF8", 0, "image/gif"},        {"WEBP", 8, "image/webp"},
               {"BM", 0, "image/bmp"}};
  for (const auto& kind : kinds) {
    if (bytes.size() >= kind.At + kind.Magic.size() &&
        bytes.substr(kind.At, kind.Magic.size()) == kind.Magic) {
      return kind.Type;
    }
  }
  if (tagMime.rfind("image/", 0) == 0) return tagMime;
  return "application/octet-stream";
}

void Serve(TCommandContext& c) {
  std::string address;
  int port = 0;
  if (!ParseListenAddress(TrimControl(c.ArgTextUtf8), address, port)) {
    BadArgument("SERVE takes PORT or ADDRESS:PORT, the port from 1 to 65535");
  }
  TServeOptions options;
  options.Address = address;
  options.Port = port;
  const char* chosen = std::getenv(kTokenVariable);
  const bool tokenChosen = chosen != nullptr && *chosen != '\0';
  options.Token = tokenChosen ? chosen : RandomToken();
  CatchStopRequests();
  const std::unique_ptr<TNowSource> source = PlayerNowSource(c.Reconnect);
  TNowServer server(*source, options);
  std::string error;
  if (!server.Start(error)) Fail(kExitBadArgument, error);
  const std::string host = address.find(':') != std::string::npos ? "[" + address + "]" : address;
  WriteProblemLine(c, "serving http://" + host + ":" + std::to_string(port) + "/" +
                           (tokenChosen ? "" : " (control token: " + options.Token + ")"));
  while (!StopRequested()) WaitUnlessStopped(kStopCheckMs);
  server.Stop();
}

void WatchArt(TCommandContext& c) {
  const std::vector<std::string> words = ArgumentWords(c);
  if (words.size() != 1 || words[0].empty()) {
    BadArgument("WATCHART takes the file to keep the picture in");
  }
  const std::string& file = words[0];
  CatchStopRequests();
  std::unique_ptr<TPlayer> player;
  std::unique_ptr<TFactsPoller> poller;
  std::shared_ptr<const std::string> cover;
  std::optional<std::string> written;
  bool changed = true;
  while (!StopRequested()) {
    // No player, or one that has gone: look for one at each poll.
    if (!player || player->IsGone() || !player->IsRunning()) {
      player = c.Reconnect();
      poller = std::make_unique<TFactsPoller>(TFactNeeds{});
      cover.reset();
      changed = true;
    }
    bool playing = false;
    if (changed && player->IsRunning() && !player->IsGone()) {
      const TTrackFacts* facts = poller->Poll(*player);
      if (facts != nullptr && poller->TrackChanged()) cover = CoverOf(*facts);
      playing = facts != nullptr && facts->Status != TPlayStatus::Stopped;
    } else if (!changed && poller->Facts() != nullptr) {
      playing = poller->Facts()->Status != TPlayStatus::Stopped;
    }
    const std::string_view now = playing && cover ? std::string_view(*cover) : TransparentPng();
    if (!written || *written != now) {
      WriteNamedFile(file, std::string(now));
      written = std::string(now);
    }
    if (player->IsRunning() && !player->IsGone()) {
      changed = player->WaitForChange(kPollMs);
    } else {
      WaitUnlessStopped(kPollMs);
    }
  }
}

}  // namespace jarvet
