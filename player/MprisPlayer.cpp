// TMprisPlayer: the player interface over the MPRIS interfaces of one bus name, through sd-bus.
#include "MprisPlayer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <limits>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "Failure.h"
#include "File.h"
#include "MprisMetadata.h"
#include "SdBus_posix.h"
#include "Text.h"
#include "Unicode.h"

namespace jarvet {
namespace {

constexpr std::uint64_t kCallTimeoutUs = 10'000'000;  // every call, as every window message
constexpr std::int64_t kStepMs = 5000;                // one FF or REW press
constexpr std::uint64_t kMaxPresses = 1'000'000'000;
constexpr std::int32_t kVolumeStep = 4;  // one VOLUP or VOLDOWN, of 255
constexpr std::size_t kMaxTracks = 100'000;
constexpr std::size_t kMetadataBatch = 100;  // tracks asked for in one GetTracksMetadata
constexpr std::size_t kMaxIdentityBytes = 200;
constexpr std::size_t kMaxListFileBytes = 64 * 1024 * 1024;

constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
constexpr const char* kRootInterface = "org.mpris.MediaPlayer2";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char* kTrackListInterface = "org.mpris.MediaPlayer2.TrackList";
constexpr const char* kPropertiesInterface = "org.freedesktop.DBus.Properties";
constexpr const char* kIntrospectableInterface = "org.freedesktop.DBus.Introspectable";
constexpr const char* kBusName = "org.freedesktop.DBus";
constexpr const char* kBusPath = "/org/freedesktop/DBus";
constexpr const char* kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
constexpr const char* kMprisPrefix = "org.mpris.MediaPlayer2.";
constexpr const char* kNotAnswering = "the player did not answer";
constexpr const char* kNoPlayer = "no player running";

// Errors that say the player, or the bus for it, is no longer there.
constexpr std::string_view kGoneErrors[] = {
    "org.freedesktop.DBus.Error.NoReply",        "org.freedesktop.DBus.Error.Timeout",
    "org.freedesktop.DBus.Error.TimedOut",       "org.freedesktop.DBus.Error.ServiceUnknown",
    "org.freedesktop.DBus.Error.NameHasNoOwner", "org.freedesktop.DBus.Error.Disconnected",
};
// Of those, the ones that say it did not answer in time.
constexpr std::string_view kHangErrors[] = {
    "org.freedesktop.DBus.Error.NoReply",
    "org.freedesktop.DBus.Error.Timeout",
    "org.freedesktop.DBus.Error.TimedOut",
};
// Errors that say the player lacks the method or property. GDBus answers InvalidArgs for a
// property it does not have.
constexpr std::string_view kNotOfferedErrors[] = {
    "org.freedesktop.DBus.Error.UnknownMethod",    "org.freedesktop.DBus.Error.UnknownProperty",
    "org.freedesktop.DBus.Error.UnknownInterface", "org.freedesktop.DBus.Error.UnknownObject",
    "org.freedesktop.DBus.Error.NotSupported",     "org.freedesktop.DBus.Error.PropertyReadOnly",
    "org.freedesktop.DBus.Error.InvalidArgs",
};

template <std::size_t N>
bool IsOneOf(const char* name, const std::string_view (&names)[N]) {
  return name != nullptr && std::find(std::begin(names), std::end(names), name) != std::end(names);
}

// sd-bus answers negative errno values; the connection's own failures mean the same as the
// player gone.
bool IsGoneErrno(int r) {
  return r == -ETIMEDOUT || r == -ECONNRESET || r == -ENOTCONN || r == -EPIPE || r == -ESHUTDOWN;
}

// A text from the player, fit for one line of a message.
std::string CleanLine(std::string_view text) {
  std::string clean = ValidUtf8(text.substr(0, kMaxIdentityBytes));
  for (char& c : clean) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return TrimControl(clean);
}

// The library may be missing: then nothing is ever made for these to free.
class TMessage {
 public:
  explicit TMessage(const TSdBus* api) : Api_(api) {}
  ~TMessage() {
    if (M_ != nullptr) Api_->MessageUnref(M_);
  }
  TMessage(const TMessage&) = delete;
  TMessage& operator=(const TMessage&) = delete;
  sd_bus_message* Get() const { return M_; }
  sd_bus_message** Out() { return &M_; }

 private:
  const TSdBus* Api_;
  sd_bus_message* M_ = nullptr;
};

class TBusError {
 public:
  explicit TBusError(const TSdBus* api) : Api_(api) {}
  ~TBusError() {
    if (E_.name != nullptr || E_.message != nullptr) Api_->ErrorFree(&E_);
  }
  TBusError(const TBusError&) = delete;
  TBusError& operator=(const TBusError&) = delete;
  sd_bus_error* Get() { return &E_; }
  const char* Name() const { return E_.name; }
  const char* Message() const { return E_.message; }

 private:
  const TSdBus* Api_;
  sd_bus_error E_{nullptr, nullptr, 0};
};

// Reads values off a message into the neutral structure, within the size bounds.
class TReader {
 public:
  TReader(const TSdBus& api, sd_bus_message* m) : Api_(api), M_(m) {}

  // The variant at the read position.
  TBusValue Variant(std::size_t maxItems = kMaxBusListItems) {
    char type = 0;
    const char* contents = nullptr;
    if (Api_.PeekType(M_, &type, &contents) <= 0 || type != 'v' || contents == nullptr) {
      return TBusOther{};
    }
    if (Api_.EnterContainer(M_, 'v', contents) <= 0) return TBusOther{};
    TBusValue value = Value(contents, maxItems);
    Api_.ExitContainer(M_);
    return value;
  }

  // An a{sv} at the read position; ok false where there is none.
  TBusDictionary Dictionary(bool* ok = nullptr) {
    TBusDictionary entries;
    const bool entered = Api_.EnterContainer(M_, 'a', "{sv}") > 0;
    if (ok != nullptr) *ok = entered;
    if (!entered) return entries;
    while (Api_.EnterContainer(M_, 'e', "sv") > 0) {
      const char* key = nullptr;
      if (Api_.ReadBasic(M_, 's', &key) <= 0) break;
      TBusValue value = Variant();
      if (entries.size() < kMaxBusListItems) entries.emplace_back(key, std::move(value));
      if (Api_.ExitContainer(M_) < 0) break;
    }
    Api_.ExitContainer(M_);
    return entries;
  }

  // An aa{sv} at the read position.
  std::vector<TBusDictionary> Dictionaries(std::size_t maxItems) {
    std::vector<TBusDictionary> list;
    if (Api_.EnterContainer(M_, 'a', "a{sv}") <= 0) return list;
    char type = 0;
    const char* contents = nullptr;
    bool ok = true;
    while (list.size() < maxItems && Api_.PeekType(M_, &type, &contents) > 0) {
      TBusDictionary entries = Dictionary(&ok);
      if (!ok) break;
      list.push_back(std::move(entries));
    }
    Api_.ExitContainer(M_);
    return list;
  }

  std::optional<std::string> Text(char type = 's') {
    const char* text = nullptr;
    if (Api_.ReadBasic(M_, type, &text) <= 0 || text == nullptr) return std::nullopt;
    return std::string(text);
  }

  // An array of strings or object paths at the read position; none when longer than maxItems.
  std::optional<std::vector<std::string>> TextArray(char itemType, std::size_t maxItems) {
    const char contents[] = {itemType, '\0'};
    if (Api_.EnterContainer(M_, 'a', contents) <= 0) return std::nullopt;
    std::vector<std::string> items;
    bool fits = true;
    const char* item = nullptr;
    // Read to the end even past the bound, so that the message stays readable after it.
    while (Api_.ReadBasic(M_, itemType, &item) > 0) {
      if (items.size() >= maxItems) {
        fits = false;
        items.clear();
      }
      if (fits) items.emplace_back(item);
    }
    Api_.ExitContainer(M_);
    if (!fits) return std::nullopt;
    return items;
  }

 private:
  TBusValue Value(const char* signature, std::size_t maxItems) {
    const std::string_view sig = signature;
    if (sig == "as" || sig == "ao") {
      auto list = TextArray(sig[1], maxItems);
      if (!list) return TBusOther{};
      return std::move(*list);
    }
    if (sig.size() != 1) {
      Api_.Skip(M_, signature);
      return TBusOther{};
    }
    switch (sig[0]) {
      case 's':
      case 'o':
      case 'g': {
        auto text = Text(sig[0]);
        if (!text || text->size() > kMaxBusTextBytes) return TBusOther{};
        return std::move(*text);
      }
      case 'b': {
        int b = 0;
        if (Api_.ReadBasic(M_, 'b', &b) <= 0) return TBusOther{};
        return b != 0;
      }
      case 'd': {
        double d = 0;
        if (Api_.ReadBasic(M_, 'd', &d) <= 0) return TBusOther{};
        return d;
      }
      case 'y':
        return Integer<std::uint8_t>('y');
      case 'n':
        return Integer<std::int16_t>('n');
      case 'q':
        return Integer<std::uint16_t>('q');
      case 'i':
        return Integer<std::int32_t>('i');
      case 'u':
        return Integer<std::uint32_t>('u');
      case 'x':
        return Integer<std::int64_t>('x');
      case 't': {
        std::uint64_t t = 0;
        if (Api_.ReadBasic(M_, 't', &t) <= 0 ||
            t > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
          return TBusOther{};
        }
        return static_cast<std::int64_t>(t);
      }
      default:
        Api_.Skip(M_, signature);
        return TBusOther{};
    }
  }

  template <typename T>
  TBusValue Integer(char type) {
    T value{};
    if (Api_.ReadBasic(M_, type, &value) <= 0) return TBusOther{};
    return static_cast<std::int64_t>(value);
  }

  const TSdBus& Api_;
  sd_bus_message* M_;
};

// The arguments of a call, appended to its message; answers a negative errno on failure.
using TAppend = std::function<int(const TSdBus&, sd_bus_message*)>;

int AppendTexts(const TSdBus& api, sd_bus_message* m, std::initializer_list<const char*> texts) {
  for (const char* text : texts) {
    const int r = api.AppendBasic(m, 's', text);
    if (r < 0) return r;
  }
  return 0;
}

std::string AbsolutePath(const std::string& file) {
  if (!file.empty() && file[0] == '/') return file;
  std::string cwd(4096, '\0');
  if (::getcwd(cwd.data(), cwd.size()) == nullptr) return file;
  cwd.resize(std::char_traits<char>::length(cwd.c_str()));
  return cwd + "/" + file;
}

// A file or URL as the player takes it.
std::string ToUri(const std::string& file) {
  return IsUrl(file) ? file : PathToFileUri(AbsolutePath(file));
}

// Where the list for opening several files is written: a fixed name per player, replaced
// whole each time, so that no file piles up and the player can still read it after OpenUri
// has answered.
std::string ListFilePath(const std::string& busName) {
  std::string name = busName.substr(std::strlen(kMprisPrefix));
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string dir;
  if (runtime != nullptr && runtime[0] == '/') {
    dir = runtime;
  } else {
    // /tmp is shared: a directory of our own, made private, and refused when another user's.
    dir = "/tmp/jarvet-" + std::to_string(::getuid());
    ::mkdir(dir.c_str(), 0700);
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 0077) != 0) {
      throw EInOutError(5);
    }
  }
  return dir + "/jarvet-" + name + ".m3u";
}

// The entries of a list file: one path or URL a line, comments and blank lines skipped.
std::vector<std::string> ReadListFile(const std::string& path) {
  TReadOnlyFile file;
  std::int64_t size = 0;
  if (!file.Open(path) || !file.Size(size)) throw EInOutError(file.LastError());
  std::string contents(static_cast<std::size_t>(std::min<std::int64_t>(
                           size, static_cast<std::int64_t>(kMaxListFileBytes))),
                       '\0');
  std::size_t got = 0;
  if (!file.Read(contents.data(), contents.size(), got)) throw EInOutError(file.LastError());
  contents.resize(got);
  std::vector<std::string> entries;
  std::size_t start = 0;
  while (start < contents.size()) {
    std::size_t end = contents.find('\n', start);
    if (end == std::string::npos) end = contents.size();
    std::string line = TrimControl(std::string_view(contents).substr(start, end - start));
    if (!line.empty() && line[0] != '#') entries.push_back(std::move(line));
    start = end + 1;
  }
  return entries;
}

class TMprisPlayer : public TPlayer {
 public:
  TMprisPlayer() = default;
  // The connection is closed before the match slots go, which then ask the bus for nothing:
  // it drops a closed connection's matches itself.
  ~TMprisPlayer() override {
    if (Bus_ != nullptr) Api_->FlushCloseUnref(Bus_);
    for (sd_bus_slot* slot : Slots_) Api_->SlotUnref(slot);
  }
  TMprisPlayer(const TMprisPlayer&) = delete;
  TMprisPlayer& operator=(const TMprisPlayer&) = delete;

  void Connect(const std::string& parameter);

  bool IsRunning() const override { return !Name_.empty(); }
  bool IsGone() const override { return Gone_; }
  bool IsHung() const override { return Hung_; }
  std::string Identity() override;
  bool Offers(TFeature feature) override;
  std::string VersionText() override {
    if (!IsRunning()) throw EProblem(kExitNoPlayer, kNoPlayer);
    return Identity();
  }

  void Play() override { ControlCall("Play"); }
  void Stop() override { ControlCall("Stop"); }
  bool TogglePause() override {
    const bool paused = Status() == TPlayStatus::Paused;
    ControlCall(paused ? "Play" : "Pause");
    return !paused;
  }
  void Next() override { ControlCall("Next"); }
  void Previous() override { ControlCall("Previous"); }
  void FadeOut() override { ControlCall("Stop"); }
  void Close() override;

  TPlayStatus Status() override;
  std::optional<std::int32_t> PositionMs() override;
  std::optional<std::int32_t> LengthMs() override { return Metadata().Track.LengthMs; }
  void StepBy(std::int64_t milliseconds) override;
  void SeekTo(std::int32_t milliseconds) override;

  std::int32_t Volume() override;
  void SetVolume(std::int32_t volume) override;
  void StepVolume(std::int32_t steps) override;
  bool Shuffle() override;
  void SetShuffle(bool on) override;
  bool Repeat() override;
  void SetRepeat(bool on) override;

  std::int32_t PlaylistLength() override { return static_cast<std::int32_t>(Tracks().size()); }
  std::int32_t PlaylistPosition() override;
  void GoTo(std::int32_t index) override;
  void ClearPlaylist() override;
  std::vector<TEntry> Entries() override;
  std::optional<std::int32_t> Add(const std::vector<std::string>& files) override;
  std::optional<std::int32_t> Open(const std::vector<std::string>& files) override;
  std::optional<std::int32_t> LoadListFile(const std::string& path, bool replace) override;
  TPlaylist ListedFiles() override;
  std::int32_t ListedPosition() override { return 0; }

  std::string CurrentFile() override { return Metadata().Track.File; }
  TPlayerTrack CurrentTrack() override { return Metadata().Track; }
  TPlayerFigures Figures() override { return {}; }  // MPRIS has none
  TInfoFigures InfoFigures() override;

  bool WaitForChange(int timeoutMs) override;

 private:
  enum class TOutcome { Done, NotOffered, Refused };

  // Calls a method of the player's object. A player that is gone raises EProblem; an error
  // answer is returned as the outcome, with its name and message in error.
  TOutcome TryCall(const char* interface, const char* member, const TAppend& append,
                   TMessage& reply, TBusError& error, const char* destination = nullptr,
                   const char* path = kObjectPath);
  // The same, raising "<identity> does not offer <feature>" for a method or property it lacks.
  void Call(TFeature feature, const char* interface, const char* member, const TAppend& append,
            TMessage& reply);
  void Call(TFeature feature, const char* interface, const char* member, const TAppend& append) {
    TMessage reply(Api_);
    Call(feature, interface, member, append, reply);
  }
  void ControlCall(const char* member) {
    Require(TFeature::Control);
    Call(TFeature::Control, kPlayerInterface, member, nullptr);
  }
  [[noreturn]] void NotOffered(TFeature feature);
  void Require(TFeature feature) {
    if (!Offers(feature)) NotOffered(feature);
  }
  [[noreturn]] void GoneNow();

  TBusValue GetProperty(TFeature feature, const char* interface, const char* property,
                        std::size_t maxItems = kMaxBusListItems);
  // None where the player lacks the property or refuses to give it.
  std::optional<TBusValue> TryGetProperty(const char* interface, const char* property,
                                          std::size_t maxItems = kMaxBusListItems);
  void SetProperty(TFeature feature, const char* interface, const char* property, char type,
                   const void* value);
  const TBusDictionary& Properties(const char* interface, std::optional<TBusDictionary>& cache);
  // A property of the cached GetAll answer; nullptr where absent.
  const TBusValue* CachedProperty(const char* interface, std::optional<TBusDictionary>& cache,
                                  std::string_view name);
  bool CachedFlag(const char* interface, std::optional<TBusDictionary>& cache,
                  std::string_view name, bool absent);

  // The player's state as last read: one GetAll of its Player interface and its Metadata serve
  // every question of a run until something is done to it or it tells of a change.
  void Forget() {
    PlayerProperties_.reset();
    Metadata_.reset();
  }
  // A property of the Player interface, from the state as last read.
  TBusValue PlayerProperty(TFeature feature, const char* property);
  TMprisTrack Metadata();
  TMprisTrack ReadMetadata();
  std::vector<std::string> Tracks();
  bool ProbeTrackList();
  bool IntrospectionHas(std::string_view member);
  void WatchSignals();
  static int OnSignal(sd_bus_message* m, void* userdata, sd_bus_error* error);

  const TSdBus* Api_ = nullptr;
  sd_bus* Bus_ = nullptr;
  std::string Name_;  // the player's bus name, empty when none was found
  bool Gone_ = false;
  bool Hung_ = false;  // gone by not answering in time, not by leaving
  bool Changed_ = false;
  std::optional<std::string> Identity_;
  std::optional<TBusDictionary> RootProperties_;
  std::optional<TBusDictionary> PlayerProperties_;
  std::optional<TMprisTrack> Metadata_;
  std::optional<bool> OffersPlaylist_;
  std::optional<bool> OffersOpen_;
  std::vector<sd_bus_slot*> Slots_;
};

void TMprisPlayer::Connect(const std::string& parameter) {
  Api_ = LoadSdBus();
  if (Api_ == nullptr) return;
  if (Api_->OpenUser(&Bus_) < 0) {
    Bus_ = nullptr;
    return;
  }
  Api_->SetMethodCallTimeout(Bus_, kCallTimeoutUs);
  TMessage reply(Api_);
  TBusError error(Api_);
  TOutcome outcome = TOutcome::Refused;
  try {
    outcome = TryCall(kBusName, "ListNames", nullptr, reply, error, kBusName, kBusPath);
  } catch (const EProblem&) {
    Gone_ = false;  // a bus that does not answer is as good as none: no player
  }
  if (outcome != TOutcome::Done) return;
  TReader reader(*Api_, reply.Get());
  auto names = reader.TextArray('s', kMaxTracks);
  if (!names) return;
  std::sort(names->begin(), names->end());
  const std::vector<std::string> candidates = MatchingPlayerNames(parameter, *names);
  if (candidates.size() == 1) {
    Name_ = candidates[0];
    return;
  }
  std::vector<TPlayStatus> statuses;
  for (const std::string& candidate : candidates) {
    Name_ = candidate;
    Forget();
    try {
      statuses.push_back(Status());
    } catch (const EFailure&) {
      statuses.push_back(TPlayStatus::Unknown);
    }
    Gone_ = false;
  }
  const auto chosen = PreferredPlayer(statuses);
  Name_ = chosen ? candidates[*chosen] : std::string();
  // What was learnt of the others while asking them is not the chosen one's.
  Identity_.reset();
  RootProperties_.reset();
  Forget();
}

TMprisPlayer::TOutcome TMprisPlayer::TryCall(const char* interface, const char* member,
                                             const TAppend& append, TMessage& reply,
                                             TBusError& error, const char* destination,
                                             const char* path) {
  if (Api_ == nullptr || Bus_ == nullptr) throw EProblem(kExitNoPlayer, kNoPlayer);
  if (Gone_) throw EProblem(kExitNoPlayer, kNotAnswering);
  TMessage call(Api_);
  if (destination == nullptr && Name_.empty()) throw EProblem(kExitNoPlayer, kNoPlayer);
  int r = Api_->NewMethodCall(Bus_, call.Out(), destination ? destination : Name_.c_str(), path,
                              interface, member);
  if (r >= 0 && append) r = append(*Api_, call.Get());
  if (r < 0) {
    if (IsGoneErrno(r)) GoneNow();
    return TOutcome::Refused;  // arguments the bus would not carry, such as a bad object path
  }
  r = Api_->Call(Bus_, call.Get(), kCallTimeoutUs, error.Get(), reply.Out());
  const bool reads = std::strcmp(interface, kPropertiesInterface) == 0 &&
                     (std::strcmp(member, "Get") == 0 || std::strcmp(member, "GetAll") == 0);
  if (!reads && destination == nullptr) Forget();  // it may have changed what was read
  if (r >= 0) return TOutcome::Done;
  if (IsOneOf(error.Name(), kGoneErrors) || (error.Name() == nullptr && IsGoneErrno(r))) {
    Hung_ = r == -ETIMEDOUT || IsOneOf(error.Name(), kHangErrors);
    GoneNow();
  }
  return IsOneOf(error.Name(), kNotOfferedErrors) ? TOutcome::NotOffered : TOutcome::Refused;
}

void TMprisPlayer::GoneNow() {
  Gone_ = true;
  throw EProblem(kExitNoPlayer, kNotAnswering);
}

void TMprisPlayer::Call(TFeature feature, const char* interface, const char* member,
                        const TAppend& append, TMessage& reply) {
  TBusError error(Api_);
  switch (TryCall(interface, member, append, reply, error)) {
    case TOutcome::Done:
      return;
    case TOutcome::NotOffered:
      NotOffered(feature);
    case TOutcome::Refused:
      break;
  }
  std::string why = error.Message() != nullptr ? CleanLine(error.Message())
                    : error.Name() != nullptr  ? CleanLine(error.Name())
                                               : std::string("no reason given");
  throw EProblem(kExitNotOffered, Identity() + " refused " + member + ": " + why);
}

void TMprisPlayer::NotOffered(TFeature feature) {
  throw EProblem(kExitNotOffered, Identity() + " does not offer " + FeatureName(feature));
}

TBusValue TMprisPlayer::GetProperty(TFeature feature, const char* interface, const char* property,
                                    std::size_t maxItems) {
  TMessage reply(Api_);
  Call(
      feature, kPropertiesInterface, "Get",
      [&](const TSdBus& api, sd_bus_message* m) {
        return AppendTexts(api, m, {interface, property});
      },
      reply);
  return TReader(*Api_, reply.Get()).Variant(maxItems);
}

std::optional<TBusValue> TMprisPlayer::TryGetProperty(const char* interface, const char* property,
                                                      std::size_t maxItems) {
  TMessage reply(Api_);
  TBusError error(Api_);
  const TOutcome outcome = TryCall(
      kPropertiesInterface, "Get",
      [&](const TSdBus& api, sd_bus_message* m) {
        return AppendTexts(api, m, {interface, property});
      },
      reply, error);
  if (outcome != TOutcome::Done) return std::nullopt;
  return TReader(*Api_, reply.Get()).Variant(maxItems);
}

void TMprisPlayer::SetProperty(TFeature feature, const char* interface, const char* property,
                               char type, const void* value) {
  const char contents[] = {type, '\0'};
  Call(feature, kPropertiesInterface, "Set", [&](const TSdBus& api, sd_bus_message* m) {
    int r = AppendTexts(api, m, {interface, property});
    if (r >= 0) r = api.OpenContainer(m, 'v', contents);
    if (r >= 0) r = api.AppendBasic(m, type, value);
    if (r >= 0) r = api.CloseContainer(m);
    return r;
  });
}

const TBusDictionary& TMprisPlayer::Properties(const char* interface,
                                               std::optional<TBusDictionary>& cache) {
  if (!cache) {
    TMessage reply(Api_);
    TBusError error(Api_);
    const TOutcome outcome = TryCall(
        kPropertiesInterface, "GetAll",
        [&](const TSdBus& api, sd_bus_message* m) { return AppendTexts(api, m, {interface}); },
        reply, error);
    cache = outcome == TOutcome::Done ? TReader(*Api_, reply.Get()).Dictionary() : TBusDictionary();
  }
  return *cache;
}

const TBusValue* TMprisPlayer::CachedProperty(const char* interface,
                                              std::optional<TBusDictionary>& cache,
                                              std::string_view name) {
  for (const auto& [key, value] : Properties(interface, cache)) {
    if (key == name) return &value;
  }
  return nullptr;
}

// A Can... flag; absent where a player leaves it out, which the MPRIS interface does not allow,
// so the method is then tried.
bool TMprisPlayer::CachedFlag(const char* interface, std::optional<TBusDictionary>& cache,
                              std::string_view name, bool absent) {
  const TBusValue* value = CachedProperty(interface, cache, name);
  if (value == nullptr) return absent;
  const bool* flag = std::get_if<bool>(value);
  return flag != nullptr && *flag;
}

std::string TMprisPlayer::Identity() {
  if (!Identity_) {
    std::string identity;
    if (!Gone_) {
      try {
        const TBusValue* value = CachedProperty(kRootInterface, RootProperties_, "Identity");
        const auto* text = value != nullptr ? std::get_if<std::string>(value) : nullptr;
        if (text != nullptr) identity = CleanLine(*text);
      } catch (const EProblem&) {
      }
    }
    // The bus name's own word where the player names itself not at all.
    if (identity.empty()) {
      std::string word = Name_.substr(std::min(Name_.size(), std::strlen(kMprisPrefix)));
      identity = CleanLine(word.substr(0, word.find('.')));
    }
    Identity_ = identity;
  }
  return *Identity_;
}

bool TMprisPlayer::Offers(TFeature feature) {
  switch (feature) {
    case TFeature::Control:
      return CachedFlag(kPlayerInterface, PlayerProperties_, "CanControl", true);
    case TFeature::Seek:
      return Offers(TFeature::Control) &&
             CachedFlag(kPlayerInterface, PlayerProperties_, "CanSeek", true);
    case TFeature::Volume:
      return CachedProperty(kPlayerInterface, PlayerProperties_, "Volume") != nullptr;
    case TFeature::Shuffle:
      return CachedProperty(kPlayerInterface, PlayerProperties_, "Shuffle") != nullptr;
    case TFeature::Repeat:
      return CachedProperty(kPlayerInterface, PlayerProperties_, "LoopStatus") != nullptr;
    case TFeature::Playlist:
      if (!OffersPlaylist_) OffersPlaylist_ = ProbeTrackList();
      return *OffersPlaylist_;
    case TFeature::Open:
      if (!OffersOpen_) OffersOpen_ = IntrospectionHas("\"OpenUri\"");
      return *OffersOpen_;
    case TFeature::Close:
      return CachedFlag(kRootInterface, RootProperties_, "CanQuit", true);
    case TFeature::TrackTexts:
      return true;  // its metadata names the artist, album and the rest
  }
  return false;
}

// Some players say HasTrackList false and serve the track list all the same: reading its
// tracks is what counts.
bool TMprisPlayer::ProbeTrackList() {
  if (CachedFlag(kRootInterface, RootProperties_, "HasTrackList", false)) return true;
  const auto tracks = TryGetProperty(kTrackListInterface, "Tracks", kMaxTracks);
  return tracks && std::holds_alternative<std::vector<std::string>>(*tracks);
}

// Whether the object's introspection names the member; true where the player does not
// introspect, so that the call itself is tried.
bool TMprisPlayer::IntrospectionHas(std::string_view member) {
  TMessage reply(Api_);
  TBusError error(Api_);
  if (TryCall(kIntrospectableInterface, "Introspect", nullptr, reply, error) != TOutcome::Done) {
    return true;
  }
  const auto xml = TReader(*Api_, reply.Get()).Text();
  return !xml || xml->find(member) != std::string::npos;
}

void TMprisPlayer::Close() {
  Require(TFeature::Close);
  try {
    Call(TFeature::Close, kRootInterface, "Quit", nullptr);
  } catch (const EProblem& problem) {
    // A player that leaves before it answers has done what was asked.
    if (problem.Status() != kExitNoPlayer) throw;
  }
}

TBusValue TMprisPlayer::PlayerProperty(TFeature feature, const char* property) {
  if (const TBusValue* value = CachedProperty(kPlayerInterface, PlayerProperties_, property)) {
    return *value;
  }
  return GetProperty(feature, kPlayerInterface, property);
}

TPlayStatus TMprisPlayer::Status() {
  const TBusValue value = PlayerProperty(TFeature::Control, "PlaybackStatus");
  const auto* text = std::get_if<std::string>(&value);
  return text != nullptr ? StatusFromBus(*text) : TPlayStatus::Unknown;
}

// Absent where the player has no Position to read, as where it does not know.
std::optional<std::int32_t> TMprisPlayer::PositionMs() {
  if (Status() == TPlayStatus::Stopped) return std::nullopt;
  const TBusValue* cached = CachedProperty(kPlayerInterface, PlayerProperties_, "Position");
  const auto value = cached != nullptr ? std::optional<TBusValue>(*cached)
                                       : TryGetProperty(kPlayerInterface, "Position");
  const auto* us = value ? std::get_if<std::int64_t>(&*value) : nullptr;
  return us != nullptr ? MicrosecondsToMs(*us) : std::nullopt;
}

void TMprisPlayer::StepBy(std::int64_t milliseconds) {
  Require(TFeature::Seek);
  // Unsigned, so that the most negative offset has a magnitude too.
  const std::uint64_t magnitude = milliseconds < 0 ? 0 - static_cast<std::uint64_t>(milliseconds)
                                                   : static_cast<std::uint64_t>(milliseconds);
  // Past any track's end already, and far from overflowing.
  const auto presses =
      static_cast<std::int64_t>(std::clamp<std::uint64_t>(magnitude / kStepMs, 1, kMaxPresses));
  const std::int64_t us = presses * kStepMs * 1000 * (milliseconds < 0 ? -1 : 1);
  Call(TFeature::Seek, kPlayerInterface, "Seek",
       [us](const TSdBus& api, sd_bus_message* m) { return api.AppendBasic(m, 'x', &us); });
}

void TMprisPlayer::SeekTo(std::int32_t milliseconds) {
  Require(TFeature::Seek);
  const std::string trackId = Metadata().TrackId;
  const std::int64_t us = static_cast<std::int64_t>(std::max(milliseconds, 0)) * 1000;
  TMessage reply(Api_);
  TBusError error(Api_);
  const TOutcome outcome = trackId.empty() ? TOutcome::Refused
                                           : TryCall(
                                                 kPlayerInterface, "SetPosition",
                                                 [&](const TSdBus& api, sd_bus_message* m) {
                                                   int r = api.AppendBasic(m, 'o', trackId.c_str());
                                                   if (r >= 0) r = api.AppendBasic(m, 'x', &us);
                                                   return r;
                                                 },
                                                 reply, error);
  if (outcome == TOutcome::Done) return;
  // Without a usable track id, a relative seek from where the player is.
  const auto now = PositionMs();
  const std::int64_t offset = us - static_cast<std::int64_t>(now.value_or(0)) * 1000;
  Call(TFeature::Seek, kPlayerInterface, "Seek",
       [offset](const TSdBus& api, sd_bus_message* m) { return api.AppendBasic(m, 'x', &offset); });
}

std::int32_t TMprisPlayer::Volume() {
  Require(TFeature::Volume);
  const TBusValue value = PlayerProperty(TFeature::Volume, "Volume");
  if (const auto* d = std::get_if<double>(&value)) return VolumeFromBus(*d);
  return 0;
}

void TMprisPlayer::SetVolume(std::int32_t volume) {
  Require(TFeature::Volume);
  const double value = VolumeToBus(volume);
  SetProperty(TFeature::Volume, kPlayerInterface, "Volume", 'd', &value);
}

void TMprisPlayer::StepVolume(std::int32_t steps) {
  const std::int64_t wanted =
      static_cast<std::int64_t>(Volume()) + static_cast<std::int64_t>(steps) * kVolumeStep;
  SetVolume(static_cast<std::int32_t>(std::clamp<std::int64_t>(wanted, 0, 255)));
}

bool TMprisPlayer::Shuffle() {
  Require(TFeature::Shuffle);
  const TBusValue value = PlayerProperty(TFeature::Shuffle, "Shuffle");
  const bool* on = std::get_if<bool>(&value);
  return on != nullptr && *on;
}

void TMprisPlayer::SetShuffle(bool on) {
  Require(TFeature::Shuffle);
  const int value = on ? 1 : 0;
  SetProperty(TFeature::Shuffle, kPlayerInterface, "Shuffle", 'b', &value);
}

bool TMprisPlayer::Repeat() {
  Require(TFeature::Repeat);
  const TBusValue value = PlayerProperty(TFeature::Repeat, "LoopStatus");
  const auto* status = std::get_if<std::string>(&value);
  return status != nullptr && (*status == "Track" || *status == "Playlist");
}

void TMprisPlayer::SetRepeat(bool on) {
  Require(TFeature::Repeat);
  SetProperty(TFeature::Repeat, kPlayerInterface, "LoopStatus", 's', on ? "Playlist" : "None");
}

TMprisTrack TMprisPlayer::Metadata() {
  if (!Metadata_) Metadata_ = ReadMetadata();
  return *Metadata_;
}

TMprisTrack TMprisPlayer::ReadMetadata() {
  TMessage reply(Api_);
  Call(
      TFeature::Control, kPropertiesInterface, "Get",
      [](const TSdBus& api, sd_bus_message* m) {
        return AppendTexts(api, m, {kPlayerInterface, "Metadata"});
      },
      reply);
  TReader reader(*Api_, reply.Get());
  char type = 0;
  const char* contents = nullptr;
  if (Api_->PeekType(reply.Get(), &type, &contents) <= 0 || type != 'v' || contents == nullptr ||
      std::string_view(contents) != "a{sv}" ||
      Api_->EnterContainer(reply.Get(), 'v', contents) <= 0) {
    return {};
  }
  return DecodeMetadata(reader.Dictionary());
}

std::vector<std::string> TMprisPlayer::Tracks() {
  Require(TFeature::Playlist);
  const TBusValue value =
      GetProperty(TFeature::Playlist, kTrackListInterface, "Tracks", kMaxTracks);
  const auto* tracks = std::get_if<std::vector<std::string>>(&value);
  return tracks != nullptr ? *tracks : std::vector<std::string>();
}

std::int32_t TMprisPlayer::PlaylistPosition() {
  const std::vector<std::string> tracks = Tracks();
  const std::string current = Metadata().TrackId;
  const auto found = std::find(tracks.begin(), tracks.end(), current);
  if (current.empty() || found == tracks.end()) return -1;
  return static_cast<std::int32_t>(found - tracks.begin());
}

void TMprisPlayer::GoTo(std::int32_t index) {
  const std::vector<std::string> tracks = Tracks();
  if (index < 0 || static_cast<std::size_t>(index) >= tracks.size()) {
    throw EProblem(kExitBadArgument,
                   "the playlist has no entry " + IntToStr(std::int64_t{index} + 1));
  }
  const std::string& track = tracks[static_cast<std::size_t>(index)];
  Call(TFeature::Playlist, kTrackListInterface, "GoTo", [&](const TSdBus& api, sd_bus_message* m) {
    return api.AppendBasic(m, 'o', track.c_str());
  });
}

void TMprisPlayer::ClearPlaylist() {
  for (const std::string& track : Tracks()) {
    Call(TFeature::Playlist, kTrackListInterface, "RemoveTrack",
         [&](const TSdBus& api, sd_bus_message* m) {
           return api.AppendBasic(m, 'o', track.c_str());
         });
  }
}

std::vector<TEntry> TMprisPlayer::Entries() {
  const std::vector<std::string> tracks = Tracks();
  std::unordered_map<std::string, TEntry> byId;
  for (std::size_t first = 0; first < tracks.size(); first += kMetadataBatch) {
    const std::size_t last = std::min(tracks.size(), first + kMetadataBatch);
    TMessage reply(Api_);
    Call(
        TFeature::Playlist, kTrackListInterface, "GetTracksMetadata",
        [&](const TSdBus& api, sd_bus_message* m) {
          int r = api.OpenContainer(m, 'a', "o");
          for (std::size_t i = first; r >= 0 && i < last; ++i) {
            r = api.AppendBasic(m, 'o', tracks[i].c_str());
          }
          if (r >= 0) r = api.CloseContainer(m);
          return r;
        },
        reply);
    for (const TBusDictionary& metadata : TReader(*Api_, reply.Get()).Dictionaries(last - first)) {
      TMprisTrack decoded = DecodeMetadata(metadata);
      byId.emplace(decoded.TrackId, TEntry{decoded.Track.Title, decoded.Track.File});
    }
  }
  std::vector<TEntry> entries;
  entries.reserve(tracks.size());
  for (const std::string& track : tracks) {
    const auto found = byId.find(track);
    entries.push_back(found != byId.end() ? found->second : TEntry{});
  }
  return entries;
}

// Every file goes in after the same track, the last ones first: some players' track lists do
// not show an added track until the current one changes, so "the one added before" cannot be
// read back.
// Counted from its own calls: a player's track list can lag behind them.
std::optional<std::int32_t> TMprisPlayer::Add(const std::vector<std::string>& files) {
  const std::vector<std::string> tracks = Tracks();
  const std::string after = tracks.empty() ? kNoTrack : tracks.back();
  for (auto file = files.rbegin(); file != files.rend(); ++file) {
    const std::string uri = ToUri(*file);
    Call(TFeature::Playlist, kTrackListInterface, "AddTrack",
         [&](const TSdBus& api, sd_bus_message* m) {
           const int setAsCurrent = 0;
           int r = api.AppendBasic(m, 's', uri.c_str());
           if (r >= 0) r = api.AppendBasic(m, 'o', after.c_str());
           if (r >= 0) r = api.AppendBasic(m, 'b', &setAsCurrent);
           return r;
         });
  }
  return static_cast<std::int32_t>(files.size());
}

// A player with a track list may append what it opens (VLC does): it is emptied first.
std::optional<std::int32_t> TMprisPlayer::Open(const std::vector<std::string>& files) {
  if (files.empty()) return 0;
  Require(TFeature::Open);
  if (Offers(TFeature::Playlist)) ClearPlaylist();
  std::string uri;
  if (files.size() == 1) {
    uri = ToUri(files[0]);
  } else {
    std::string list = "#EXTM3U\n";
    for (const std::string& file : files) list += ToUri(file) + "\n";
    const std::string path = ListFilePath(Name_);
    const TFileWriteResult written = WriteFileContents(path, list);
    if (!written) throw EProblem(kExitFailure, "cannot write " + path + ": " + written.Reason);
    uri = PathToFileUri(path);
  }
  Call(TFeature::Open, kPlayerInterface, "OpenUri",
       [&](const TSdBus& api, sd_bus_message* m) { return api.AppendBasic(m, 's', uri.c_str()); });
  // A paused player stays paused with what it opened; OPEN and PLAY mean it to play.
  if (Offers(TFeature::Control)) ControlCall("Play");
  return static_cast<std::int32_t>(files.size());
}

std::optional<std::int32_t> TMprisPlayer::LoadListFile(const std::string& path, bool replace) {
  const std::vector<std::string> entries = ReadListFile(path);
  if (replace) {
    Open(entries);
  } else {
    Add(entries);
  }
  return static_cast<std::int32_t>(entries.size());
}

// INFO reads the current track's file alone: the track list, where there is one, can lag.
TPlaylist TMprisPlayer::ListedFiles() {
  TPlaylist list;
  list.Add(CurrentFile());
  return list;
}

TInfoFigures TMprisPlayer::InfoFigures() {
  TInfoFigures figures;
  const auto length = LengthMs();
  figures.LengthSeconds = length ? *length / 1000 : -1;
  figures.PositionMs = PositionMs().value_or(0);
  return figures;
}

void TMprisPlayer::WatchSignals() {
  const std::string properties = "type='signal',sender='" + Name_ + "',path='" + kObjectPath +
                                 "',interface='" + kPropertiesInterface +
                                 "',member='PropertiesChanged'";
  const std::string seeked = "type='signal',sender='" + Name_ + "',path='" + kObjectPath +
                             "',interface='" + kPlayerInterface + "',member='Seeked'";
  const std::string owner = std::string("type='signal',sender='") + kBusName + "',path='" +
                            kBusPath + "',interface='" + kBusName +
                            "',member='NameOwnerChanged',arg0='" + Name_ + "'";
  for (const std::string& match : {properties, seeked, owner}) {
    sd_bus_slot* slot = nullptr;
    const int r = Api_->AddMatch(Bus_, &slot, match.c_str(), &TMprisPlayer::OnSignal, this);
    if (r < 0) GoneNow();
    Slots_.push_back(slot);
  }
  // It may have left before the matches were in place.
  TMessage reply(Api_);
  TBusError error(Api_);
  const std::string name = Name_;
  if (TryCall(
          kBusName, "NameHasOwner",
          [&](const TSdBus& api, sd_bus_message* m) {
            return api.AppendBasic(m, 's', name.c_str());
          },
          reply, error, kBusName, kBusPath) == TOutcome::Done) {
    int has = 1;
    if (Api_->ReadBasic(reply.Get(), 'b', &has) > 0 && has == 0) Gone_ = true;
  }
}

int TMprisPlayer::OnSignal(sd_bus_message* m, void* userdata, sd_bus_error*) {
  auto* self = static_cast<TMprisPlayer*>(userdata);
  self->Changed_ = true;
  const TSdBus& api = *self->Api_;
  char type = 0;
  const char* contents = nullptr;
  // NameOwnerChanged(name, old owner, new owner): an empty new owner is the player leaving.
  if (api.PeekType(m, &type, &contents) > 0 && type == 's') {
    const char* name = nullptr;
    const char* oldOwner = nullptr;
    const char* newOwner = nullptr;
    if (api.ReadBasic(m, 's', &name) > 0 && api.ReadBasic(m, 's', &oldOwner) > 0 &&
        api.ReadBasic(m, 's', &newOwner) > 0 && name != nullptr && self->Name_ == name &&
        newOwner != nullptr && newOwner[0] == '\0') {
      self->Gone_ = true;
    }
  }
  return 0;
}

bool TMprisPlayer::WaitForChange(int timeoutMs) {
  using TClock = std::chrono::steady_clock;
  if (Gone_) return true;
  if (Slots_.empty()) {
    WatchSignals();
    if (Gone_) return true;
  }
  Changed_ = false;
  const auto deadline = TClock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  for (;;) {
    const int r = Api_->Process(Bus_, nullptr);
    if (r < 0) {
      Gone_ = true;  // the bus connection itself is lost
      return true;
    }
    if (Changed_ || Gone_) {
      Forget();
      return true;
    }
    if (r > 0) continue;
    const auto left =
        std::chrono::duration_cast<std::chrono::microseconds>(deadline - TClock::now());
    if (left.count() <= 0) return false;
    if (Api_->Wait(Bus_, static_cast<std::uint64_t>(left.count())) < 0) {
      Gone_ = true;
      return true;
    }
  }
}

}  // namespace

std::unique_ptr<TPlayer> ConnectMprisPlayer(const std::string& parameter) {
  auto player = std::make_unique<TMprisPlayer>();
  player->Connect(parameter);
  return player;
}

}  // namespace jarvet
