// TMprisPlayer against players of our own on a private bus: each a thread with its own sd-bus
// connection that answers as told and records every call.
#include "MprisPlayer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "Failure.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace jarvet {
namespace {

constexpr const char* kDbusDaemon = JARVET_DBUS_DAEMON;
constexpr const char* kPath = "/org/mpris/MediaPlayer2";
constexpr const char* kRoot = "org.mpris.MediaPlayer2";
constexpr const char* kPlayerIface = "org.mpris.MediaPlayer2.Player";
constexpr const char* kTrackList = "org.mpris.MediaPlayer2.TrackList";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";

// Appends one variant to a message.
using TValue = std::function<int(sd_bus_message*)>;

TValue Basic(char type, std::function<int(sd_bus_message*)> append) {
  return [type, append](sd_bus_message* m) {
    const char contents[] = {type, '\0'};
    int r = sd_bus_message_open_container(m, 'v', contents);
    if (r >= 0) r = append(m);
    if (r >= 0) r = sd_bus_message_close_container(m);
    return r;
  };
}
TValue S(std::string text) {
  return Basic(
      's', [text](sd_bus_message* m) { return sd_bus_message_append_basic(m, 's', text.c_str()); });
}
TValue O(std::string path) {
  return Basic(
      'o', [path](sd_bus_message* m) { return sd_bus_message_append_basic(m, 'o', path.c_str()); });
}
TValue D(double value) {
  return Basic('d',
               [value](sd_bus_message* m) { return sd_bus_message_append_basic(m, 'd', &value); });
}
TValue B(bool value) {
  return Basic('b', [value](sd_bus_message* m) {
    const int b = value;
    return sd_bus_message_append_basic(m, 'b', &b);
  });
}
TValue X(std::int64_t value) {
  return Basic('x',
               [value](sd_bus_message* m) { return sd_bus_message_append_basic(m, 'x', &value); });
}
TValue Strings(char itemType, std::vector<std::string> items) {
  return [itemType, items](sd_bus_message* m) {
    const char array[] = {'a', itemType, '\0'};
    const char item[] = {itemType, '\0'};
    int r = sd_bus_message_open_container(m, 'v', array);
    if (r >= 0) r = sd_bus_message_open_container(m, 'a', item);
    for (const std::string& s : items) {
      if (r >= 0) r = sd_bus_message_append_basic(m, itemType, s.c_str());
    }
    if (r >= 0) r = sd_bus_message_close_container(m);
    if (r >= 0) r = sd_bus_message_close_container(m);
    return r;
  };
}
using TDict = std::vector<std::pair<std::string, TValue>>;

int AppendDict(sd_bus_message* m, const TDict& dict) {
  int r = sd_bus_message_open_container(m, 'a', "{sv}");
  for (const auto& [key, value] : dict) {
    if (r >= 0) r = sd_bus_message_open_container(m, 'e', "sv");
    if (r >= 0) r = sd_bus_message_append_basic(m, 's', key.c_str());
    if (r >= 0) r = value(m);
    if (r >= 0) r = sd_bus_message_close_container(m);
  }
  if (r >= 0) r = sd_bus_message_close_container(m);
  return r;
}
TValue Dict(TDict dict) {
  return [dict](sd_bus_message* m) {
    int r = sd_bus_message_open_container(m, 'v', "a{sv}");
    if (r >= 0) r = AppendDict(m, dict);
    if (r >= 0) r = sd_bus_message_close_container(m);
    return r;
  };
}

std::string TrackPath(int n) { return "/org/fake/Track/" + std::to_string(n); }

// A player on the bus under one name, served from its own thread.
class TFakePlayer {
 public:
  // Properties by interface and name; what is absent, the player lacks.
  std::map<std::string, std::map<std::string, TValue>> Properties;
  std::vector<std::pair<std::string, std::string>> Tracks;  // track id, URI
  bool OffersOpenUri = true;
  bool IntrospectionNamesOpenUri = true;
  std::set<std::string> Silent;  // methods left unanswered

  explicit TFakePlayer(std::string busName) : Name_(std::move(busName)) {
    Properties[kRoot] = {
        {"Identity", S("Fake Player")}, {"CanQuit", B(true)}, {"HasTrackList", B(false)}};
    Properties[kPlayerIface] = {
        {"PlaybackStatus", S("Playing")},
        {"CanControl", B(true)},
        {"CanSeek", B(true)},
        {"Volume", D(0.5)},
        {"Shuffle", B(false)},
        {"LoopStatus", S("None")},
        {"Position", X(83'456'000)},
        {"Metadata", Dict({{"mpris:trackid", O(TrackPath(2))}, {"xesam:title", S("Two")}})}};
  }
  ~TFakePlayer() { Leave(); }

  // Starts serving on the bus at address; answers sd-bus's negative error where it could not.
  int Start(const std::string& address) {
    int r = sd_bus_new(&Bus_);
    if (r >= 0) r = sd_bus_set_address(Bus_, address.c_str());
    if (r >= 0) r = sd_bus_set_bus_client(Bus_, 1);
    if (r >= 0) r = sd_bus_start(Bus_);
    if (r >= 0) r = sd_bus_add_object(Bus_, nullptr, kPath, &TFakePlayer::Handle, this);
    if (r >= 0) r = sd_bus_request_name(Bus_, Name_.c_str(), 0);
    if (r >= 0) Thread_ = std::thread([this] { Serve(); });
    return r;
  }

  // Leaves the bus: its name goes with its connection.
  void Leave() {
    Stop_ = true;
    if (Thread_.joinable()) Thread_.join();
    for (sd_bus_message* m : Unanswered_) sd_bus_message_unref(m);
    Unanswered_.clear();
    if (Bus_ != nullptr) Bus_ = sd_bus_flush_close_unref(Bus_);
  }

  void Emit(std::function<void(sd_bus*)> task) {
    std::lock_guard<std::mutex> lock(Mutex_);
    Tasks_.push_back(std::move(task));
  }

  void EmitPropertiesChanged(const std::string& property, TValue value) {
    Emit([property, value](sd_bus* bus) {
      sd_bus_message* m = nullptr;
      sd_bus_message_new_signal(bus, &m, kPath, kProperties, "PropertiesChanged");
      sd_bus_message_append_basic(m, 's', kPlayerIface);
      AppendDict(m, {{property, value}});
      sd_bus_message_open_container(m, 'a', "s");
      sd_bus_message_close_container(m);
      sd_bus_send(bus, m, nullptr);
      sd_bus_message_unref(m);
    });
  }

  std::vector<std::string> Journal() {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Journal_;
  }
  // The calls other than property reads.
  std::vector<std::string> Actions() {
    std::vector<std::string> actions;
    for (const std::string& line : Journal()) {
      if (line.rfind("Get ", 0) != 0 && line.rfind("GetAll ", 0) != 0 && line != "Introspect") {
        actions.push_back(line);
      }
    }
    return actions;
  }
  std::vector<std::string> TrackUris() {
    std::lock_guard<std::mutex> lock(Mutex_);
    std::vector<std::string> uris;
    for (const auto& track : Tracks) uris.push_back(track.second);
    return uris;
  }

 private:
  void Serve() {
    while (!Stop_) {
      std::deque<std::function<void(sd_bus*)>> tasks;
      {
        std::lock_guard<std::mutex> lock(Mutex_);
        tasks.swap(Tasks_);
      }
      for (auto& task : tasks) task(Bus_);
      int r = 0;
      while ((r = sd_bus_process(Bus_, nullptr)) > 0) {
      }
      if (r < 0) return;
      sd_bus_wait(Bus_, 20'000);
    }
  }

  void Log(std::string line) {
    std::lock_guard<std::mutex> lock(Mutex_);
    Journal_.push_back(std::move(line));
  }

  static int Handle(sd_bus_message* m, void* userdata, sd_bus_error*) {
    return static_cast<TFakePlayer*>(userdata)->Answer(m);
  }

  int ReplyWith(sd_bus_message* call, const std::function<int(sd_bus_message*)>& fill) {
    sd_bus_message* reply = nullptr;
    int r = sd_bus_message_new_method_return(call, &reply);
    if (r >= 0 && fill) r = fill(reply);
    if (r >= 0) r = sd_bus_send(Bus_, reply, nullptr);
    sd_bus_message_unref(reply);
    return r < 0 ? r : 1;
  }

  int Answer(sd_bus_message* m) {
    const std::string iface =
        sd_bus_message_get_interface(m) ? sd_bus_message_get_interface(m) : "";
    const std::string member = sd_bus_message_get_member(m);
    if (Silent.count(member) != 0) {
      Log(member + " (unanswered)");
      Unanswered_.push_back(sd_bus_message_ref(m));
      return 1;
    }
    if (iface == kProperties) return AnswerProperties(m, member);
    if (iface == "org.freedesktop.DBus.Introspectable") {
      Log("Introspect");
      const std::string xml =
          std::string("<node><interface name=\"") + kPlayerIface + "\"><method name=\"Play\"/>" +
          (IntrospectionNamesOpenUri ? "<method name=\"OpenUri\"/>" : "") + "</interface></node>";
      return ReplyWith(
          m, [&](sd_bus_message* r) { return sd_bus_message_append_basic(r, 's', xml.c_str()); });
    }
    const char* text = nullptr;
    const char* path = nullptr;
    std::int64_t offset = 0;
    if (iface == kPlayerIface) {
      if (member == "Seek" && sd_bus_message_read(m, "x", &offset) > 0) {
        Log("Seek " + std::to_string(offset));
      } else if (member == "SetPosition" && sd_bus_message_read(m, "ox", &path, &offset) > 0) {
        Log("SetPosition " + std::string(path) + " " + std::to_string(offset));
      } else if (member == "OpenUri" && OffersOpenUri && sd_bus_message_read(m, "s", &text) > 0) {
        Log("OpenUri " + std::string(text));
      } else if (member == "Play" || member == "Pause" || member == "PlayPause" ||
                 member == "Stop" || member == "Next" || member == "Previous") {
        Log(member);
      } else {
        Log(member + " (unknown)");
        return 0;  // sd-bus answers UnknownMethod
      }
      return ReplyWith(m, nullptr);
    }
    if (iface == kTrackList && !Tracks.empty()) return AnswerTrackList(m, member);
    if (iface == kRoot && member == "Quit") {
      Log("Quit");
      return ReplyWith(m, nullptr);
    }
    return 0;
  }

  int AnswerTrackList(sd_bus_message* m, const std::string& member) {
    const char* text = nullptr;
    const char* path = nullptr;
    int flag = 0;
    if (member == "AddTrack" && sd_bus_message_read(m, "sob", &text, &path, &flag) > 0) {
      Log("AddTrack " + std::string(text) + " " + path + (flag ? " true" : " false"));
      std::lock_guard<std::mutex> lock(Mutex_);
      auto after = std::find_if(Tracks.begin(), Tracks.end(),
                                [&](const auto& t) { return t.first == path; });
      const auto at = after == Tracks.end() ? Tracks.begin() : after + 1;
      Tracks.insert(at, {TrackPath(100 + NextTrack_++), text});
    } else if ((member == "GoTo" || member == "RemoveTrack") &&
               sd_bus_message_read(m, "o", &path) > 0) {
      Log(member + " " + path);
    } else if (member == "GetTracksMetadata") {
      Log("GetTracksMetadata");
      std::vector<std::string> ids;
      sd_bus_message_enter_container(m, 'a', "o");
      while (sd_bus_message_read_basic(m, 'o', &path) > 0) ids.push_back(path);
      return ReplyWith(m, [&](sd_bus_message* r) {
        int e = sd_bus_message_open_container(r, 'a', "a{sv}");
        for (const std::string& id : ids) {
          std::string uri;
          for (const auto& t : Tracks) {
            if (t.first == id) uri = t.second;
          }
          if (e >= 0) {
            e = AppendDict(r, {{"mpris:trackid", O(id)},
                               {"xesam:url", S(uri)},
                               {"xesam:title", S("Title of " + id.substr(id.rfind('/') + 1))}});
          }
        }
        if (e >= 0) e = sd_bus_message_close_container(r);
        return e;
      });
    } else {
      return 0;
    }
    return ReplyWith(m, nullptr);
  }

  const TValue* Find(const std::string& iface, const std::string& name) {
    if (iface == kTrackList && name == "Tracks" && !Tracks.empty()) {
      TracksValue_ = Strings('o', [&] {
        std::vector<std::string> ids;
        for (const auto& t : Tracks) ids.push_back(t.first);
        return ids;
      }());
      return &TracksValue_;
    }
    auto in = Properties.find(iface);
    if (in == Properties.end()) return nullptr;
    auto found = in->second.find(name);
    return found == in->second.end() ? nullptr : &found->second;
  }

  int AnswerProperties(sd_bus_message* m, const std::string& member) {
    const char* iface = nullptr;
    const char* name = nullptr;
    if (member == "GetAll" && sd_bus_message_read(m, "s", &iface) > 0) {
      Log("GetAll " + std::string(iface));
      TDict all;
      auto in = Properties.find(iface);
      if (in != Properties.end()) {
        for (const auto& [key, value] : in->second) all.emplace_back(key, value);
      }
      return ReplyWith(m, [&](sd_bus_message* r) { return AppendDict(r, all); });
    }
    if (sd_bus_message_read(m, "ss", &iface, &name) <= 0) return 0;
    const TValue* value = Find(iface, name);
    if (value == nullptr) {
      Log(member + " " + name + " (unknown)");
      return sd_bus_reply_method_errorf(m, "org.freedesktop.DBus.Error.UnknownProperty",
                                        "no property %s", name);
    }
    if (member == "Get") {
      Log("Get " + std::string(name));
      return ReplyWith(m, [&](sd_bus_message* r) { return (*value)(r); });
    }
    char type = 0;
    const char* contents = nullptr;
    sd_bus_message_peek_type(m, &type, &contents);
    sd_bus_message_enter_container(m, 'v', contents);
    std::ostringstream line;
    line << "Set " << name << " ";
    if (contents[0] == 'd') {
      double d = 0;
      sd_bus_message_read_basic(m, 'd', &d);
      line << d * 255;
    } else if (contents[0] == 'b') {
      int b = 0;
      sd_bus_message_read_basic(m, 'b', &b);
      line << (b ? "true" : "false");
    } else if (contents[0] == 's') {
      const char* s = nullptr;
      sd_bus_message_read_basic(m, 's', &s);
      line << s;
    }
    Log(line.str());
    return ReplyWith(m, nullptr);
  }

  std::string Name_;
  sd_bus* Bus_ = nullptr;
  std::thread Thread_;
  std::atomic<bool> Stop_{false};
  std::mutex Mutex_;
  std::deque<std::function<void(sd_bus*)>> Tasks_;
  std::vector<std::string> Journal_;
  std::vector<sd_bus_message*> Unanswered_;
  TValue TracksValue_;
  int NextTrack_ = 0;
};

bool BusAnswers(const std::string& address) {
  sd_bus* bus = nullptr;
  const char* name = nullptr;
  const bool answers = sd_bus_new(&bus) >= 0 && sd_bus_set_address(bus, address.c_str()) >= 0 &&
                       sd_bus_set_bus_client(bus, 1) >= 0 && sd_bus_start(bus) >= 0 &&
                       sd_bus_get_unique_name(bus, &name) >= 0;
  if (bus != nullptr) sd_bus_flush_close_unref(bus);
  return answers;
}

// A private session bus for each test, its address in DBUS_SESSION_BUS_ADDRESS.
class MprisPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Dir_.Ok());
    const std::string socket = Dir_.File("bus");
    Address_ = "unix:path=" + socket;
    Daemon_ = std::make_unique<testing::TBackgroundProcess>(
        kDbusDaemon, std::vector<std::string>{"--session", "--nofork", "--address=" + Address_},
        Dir_.File("daemon"));
    ASSERT_TRUE(Daemon_->Started());
    // The socket is there a moment before the bus takes connections on it.
    bool answers = false;
    for (int i = 0; i < 1000 && !answers; ++i) {
      answers = BusAnswers(Address_);
      if (!answers) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(answers);
    setenv("DBUS_SESSION_BUS_ADDRESS", Address_.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", Dir_.Path().c_str(), 1);
  }
  void TearDown() override {
    Players_.clear();
    if (Daemon_) Daemon_->Stop(5000);
  }

  TFakePlayer& AddPlayer(const std::string& name) {
    Players_.push_back(std::make_unique<TFakePlayer>("org.mpris.MediaPlayer2." + name));
    return *Players_.back();
  }
  void StartAll() {
    for (auto& player : Players_) ASSERT_GE(player->Start(Address_), 0);
  }

  testing::TTempDir Dir_{"jarvet-mpris"};
  std::string Address_;
  std::unique_ptr<testing::TBackgroundProcess> Daemon_;
  std::vector<std::unique_ptr<TFakePlayer>> Players_;
};

// The status and message of the problem fn raises; status 0 when it raises none.
std::pair<int, std::string> ProblemOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const EProblem& problem) {
    return {problem.Status(), problem.Message()};
  }
  return {0, ""};
}

TEST_F(MprisPlayerTest, PicksThePlayingPlayerElseThePausedElseAnyAndNamesByWordOrInstance) {
  AddPlayer("alpha").Properties[kPlayerIface]["PlaybackStatus"] = S("Paused");
  AddPlayer("beta").Properties[kPlayerIface]["PlaybackStatus"] = S("Stopped");
  TFakePlayer& gamma = AddPlayer("gamma.instance42");
  gamma.Properties[kPlayerIface]["PlaybackStatus"] = S("Playing");
  gamma.Properties[kRoot]["Identity"] = S("Gamma\nPlayer");
  TFakePlayer& betamax = AddPlayer("betamax");
  betamax.Properties[kRoot]["Identity"] = S("Betamax");
  betamax.Properties[kPlayerIface]["PlaybackStatus"] = S("Stopped");
  // Asked for its status before the choice, it answers an error that names it.
  TFakePlayer& delta = AddPlayer("delta");
  delta.Properties[kRoot]["Identity"] = S("Delta");
  delta.Properties[kPlayerIface].erase("PlaybackStatus");
  StartAll();
  struct TCase {
    const char* parameter;
    const char* identity;  // empty: none running
  };
  const TCase cases[] = {
      {"mpris", "Gamma Player"},
      {"alpha", "Fake Player"},
      {"mpris:gamma", "Gamma Player"},
      {"betamax", "Betamax"},
      {"gam", ""},
      {"mpris:epsilon", ""},
  };
  for (const TCase& c : cases) {
    auto player = ConnectMprisPlayer(c.parameter);
    EXPECT_EQ(player->IsRunning(), c.identity[0] != '\0') << c.parameter;
    if (player->IsRunning()) {
      EXPECT_EQ(player->Identity(), c.identity) << c.parameter;
    }
  }
}

// A player asked all the same says there is none, and does not crash.
TEST_F(MprisPlayerTest, NoBusMeansNoPlayer) {
  setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + Dir_.File("nothing-here")).c_str(), 1);
  auto player = ConnectMprisPlayer("mpris");
  EXPECT_FALSE(player->IsRunning());
  EXPECT_EQ(ProblemOf([&] { player->Status(); }),
            std::make_pair(kExitNoPlayer, std::string("no player running")));
  EXPECT_EQ(ProblemOf([&] { player->Offers(TFeature::Volume); }).first, kExitNoPlayer);
}

// Each row: what is done, and the calls the player gets for it.
TEST_F(MprisPlayerTest, CommandsBecomeTheirCalls) {
  TFakePlayer& fake = AddPlayer("fake");
  fake.Properties[kPlayerIface]["Volume"] = D(254.0 / 255);
  fake.Properties[kPlayerIface]["PlaybackStatus"] = S("Paused");
  StartAll();
  struct TCase {
    const char* what;
    std::function<void(TPlayer&)> action;
    std::vector<std::string> calls;
  };
  const TCase cases[] = {
      {"FF 12 s", [](TPlayer& p) { p.StepBy(12'000); }, {"Seek 10000000"}},
      {"REW 3 s", [](TPlayer& p) { p.StepBy(-3'000); }, {"Seek -5000000"}},
      {"REW as far as can be",
       [](TPlayer& p) { p.StepBy(std::numeric_limits<std::int64_t>::min()); },
       {"Seek -5000000000000000"}},
      {"seek to",
       [](TPlayer& p) { p.SeekTo(61'500); },
       {"SetPosition " + TrackPath(2) + " 61500000"}},
      {"volume", [](TPlayer& p) { p.SetVolume(128); }, {"Set Volume 128"}},
      {"volume up, clamped", [](TPlayer& p) { p.StepVolume(2); }, {"Set Volume 255"}},
      {"volume down", [](TPlayer& p) { p.StepVolume(-3); }, {"Set Volume 242"}},
      {"repeat on", [](TPlayer& p) { p.SetRepeat(true); }, {"Set LoopStatus Playlist"}},
      {"repeat off", [](TPlayer& p) { p.SetRepeat(false); }, {"Set LoopStatus None"}},
      {"shuffle", [](TPlayer& p) { p.SetShuffle(true); }, {"Set Shuffle true"}},
      {"pause when paused", [](TPlayer& p) { p.TogglePause(); }, {"Play"}},
      {"fade out", [](TPlayer& p) { p.FadeOut(); }, {"Stop"}},
      {"close", [](TPlayer& p) { p.Close(); }, {"Quit"}},
      {"open one", [](TPlayer& p) { p.Open({"/m/a b.mp3"}); },
       {"OpenUri file:///m/a%20b.mp3", "Play"}},
  };
  for (const TCase& c : cases) {
    auto player = ConnectMprisPlayer("fake");
    const std::size_t before = fake.Actions().size();
    c.action(*player);
    const auto actions = fake.Actions();
    EXPECT_EQ(std::vector<std::string>(actions.begin() + static_cast<long>(before), actions.end()),
              c.calls)
        << c.what;
  }
}

TEST_F(MprisPlayerTest, ReadsConvertUnitsAndWords) {
  TFakePlayer& fake = AddPlayer("fake");
  fake.Properties[kPlayerIface]["LoopStatus"] = S("Track");
  fake.Properties[kPlayerIface]["Metadata"] =
      Dict({{"mpris:trackid", O(TrackPath(2))},
            {"mpris:length", X(245'000'000)},
            {"xesam:url", S("file:///music/%C3%89t%C3%A9.mp3")},
            {"xesam:title", X(5)},                                                // a wrong type
            {"xesam:artist", Strings('s', std::vector<std::string>(5000, "x"))},  // too many
            {"xesam:album", S("Album")}});
  StartAll();
  auto player = ConnectMprisPlayer("fake");
  EXPECT_EQ(player->Status(), TPlayStatus::Playing);
  EXPECT_EQ(player->Volume(), 128);
  EXPECT_TRUE(player->Repeat());
  EXPECT_FALSE(player->Shuffle());
  EXPECT_EQ(player->PositionMs(), 83'456);
  EXPECT_EQ(player->LengthMs(), 245'000);
  EXPECT_EQ(player->CurrentFile(), "/music/Été.mp3");
  const TPlayerTrack track = player->CurrentTrack();
  EXPECT_EQ(track.Title, "");
  EXPECT_EQ(track.Artist, "");
  EXPECT_EQ(track.Album, "Album");
  EXPECT_EQ(player->VersionText(), "Fake Player");
}

TEST_F(MprisPlayerTest, WhatThePlayerLacksIsNotOffered) {
  TFakePlayer& fake = AddPlayer("lacking");
  fake.Properties[kRoot]["Identity"] = S("Lacking");
  fake.Properties[kRoot]["CanQuit"] = B(false);
  fake.Properties[kPlayerIface].erase("Shuffle");
  fake.Properties[kPlayerIface].erase("LoopStatus");
  fake.Properties[kPlayerIface]["CanControl"] = B(false);
  fake.Properties[kPlayerIface].erase("Position");
  fake.OffersOpenUri = false;
  fake.IntrospectionNamesOpenUri = false;
  StartAll();
  auto player = ConnectMprisPlayer("lacking");
  for (TFeature feature : {TFeature::Control, TFeature::Seek, TFeature::Shuffle, TFeature::Repeat,
                           TFeature::Playlist, TFeature::Open, TFeature::Close}) {
    EXPECT_FALSE(player->Offers(feature)) << FeatureName(feature);
  }
  EXPECT_TRUE(player->Offers(TFeature::Volume));
  EXPECT_EQ(player->PositionMs(), std::nullopt);
  struct TCase {
    std::function<void(TPlayer&)> action;
    TFeature feature;
  };
  const TCase cases[] = {
      {[](TPlayer& p) { p.Play(); }, TFeature::Control},
      {[](TPlayer& p) { p.StepBy(5000); }, TFeature::Seek},
      {[](TPlayer& p) { p.Shuffle(); }, TFeature::Shuffle},
      {[](TPlayer& p) { p.SetRepeat(true); }, TFeature::Repeat},
      {[](TPlayer& p) { p.PlaylistLength(); }, TFeature::Playlist},
      {[](TPlayer& p) { p.Add({"/a.mp3"}); }, TFeature::Playlist},
      {[](TPlayer& p) {
         p.Open({"/a.mp3", "/b.mp3"});
       },
       TFeature::Open},
      {[](TPlayer& p) { p.Close(); }, TFeature::Close},
  };
  for (const TCase& c : cases) {
    const auto problem = ProblemOf([&] { c.action(*player); });
    EXPECT_EQ(problem.first, kExitNotOffered);
    EXPECT_EQ(problem.second, std::string("Lacking does not offer ") + FeatureName(c.feature));
  }
  EXPECT_EQ(fake.Actions(), std::vector<std::string>{});
}

// A method the player does not have answers UnknownMethod, whatever its introspection says.
TEST_F(MprisPlayerTest, AnUnknownMethodIsNotOffered) {
  TFakePlayer& fake = AddPlayer("fake");
  fake.OffersOpenUri = false;
  StartAll();
  auto player = ConnectMprisPlayer("fake");
  EXPECT_EQ(
      ProblemOf([&] { player->Open({"/a.mp3"}); }),
      std::make_pair(kExitNotOffered, std::string("Fake Player does not offer opening files")));
  EXPECT_EQ(fake.Actions(), std::vector<std::string>{"OpenUri (unknown)"});
  EXPECT_FALSE(player->IsGone());
}

TEST_F(MprisPlayerTest, TheTrackListIsUsedThoughHasTrackListSaysNo) {
  TFakePlayer& fake = AddPlayer("vlc.instance7");
  fake.Tracks = {{TrackPath(1), "file:///m/one.mp3"},
                 {TrackPath(2), "file:///m/two.mp3"},
                 {TrackPath(3), "http://radio.example/live"}};
  StartAll();
  auto player = ConnectMprisPlayer("vlc");
  ASSERT_TRUE(player->Offers(TFeature::Playlist));
  EXPECT_EQ(player->PlaylistLength(), 3);
  EXPECT_EQ(player->PlaylistPosition(), 1);
  const std::vector<TEntry> entries = player->Entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].File, "/m/one.mp3");
  EXPECT_EQ(entries[0].Title, "Title of 1");
  EXPECT_EQ(entries[2].File, "http://radio.example/live");

  player->GoTo(2);
  EXPECT_EQ(fake.Actions().back(), "GoTo " + TrackPath(3));
  EXPECT_EQ(ProblemOf([&] { player->GoTo(3); }).first, kExitBadArgument);

  // In order after the last track, though the player's list is read only once.
  player->Add({"/m/a.mp3", "/m/b.mp3", "http://x.example/c"});
  EXPECT_EQ(fake.TrackUris(),
            (std::vector<std::string>{"file:///m/one.mp3", "file:///m/two.mp3",
                                      "http://radio.example/live", "file:///m/a.mp3",
                                      "file:///m/b.mp3", "http://x.example/c"}));

  const std::size_t before = fake.Actions().size();
  auto fresh = ConnectMprisPlayer("vlc");
  fresh->ClearPlaylist();
  const auto actions = fake.Actions();
  EXPECT_EQ(actions.size() - before, 6u);
  EXPECT_EQ(actions.back().rfind("RemoveTrack ", 0), 0u);
}

TEST_F(MprisPlayerTest, SeveralFilesOpenAsOneListFile) {
  AddPlayer("fake");
  StartAll();
  auto player = ConnectMprisPlayer("fake");
  player->Open({"/m/a.mp3", "/m/ü #2.ogg"});
  const std::string list = Dir_.File("jarvet-fake.m3u");
  const auto lastTwo = [this] {
    const std::vector<std::string>& actions = Players_[0]->Actions();
    return std::vector<std::string>(actions.end() - 2, actions.end());
  };
  EXPECT_EQ(lastTwo(), (std::vector<std::string>{"OpenUri file://" + list, "Play"}));
  std::ifstream in(list, std::ios::binary);
  std::stringstream contents;
  contents << in.rdbuf();
  EXPECT_EQ(contents.str(), "#EXTM3U\nfile:///m/a.mp3\nfile:///m/%C3%BC%20%232.ogg\n");

  const std::string prepared = Dir_.File("prepared.m3u");
  std::ofstream(prepared) << "#EXTM3U\r\n/m/x.mp3\r\n\r\n";
  player->LoadListFile(prepared, true);
  EXPECT_EQ(lastTwo(), (std::vector<std::string>{"OpenUri file:///m/x.mp3", "Play"}));
}

TEST_F(MprisPlayerTest, WaitsForSignalsWithoutAskingAndSeesThePlayerLeave) {
  TFakePlayer& fake = AddPlayer("fake");
  StartAll();
  auto player = ConnectMprisPlayer("fake");
  EXPECT_FALSE(player->WaitForChange(0));
  const std::size_t calls = fake.Journal().size();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(player->WaitForChange(300));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
  EXPECT_EQ(fake.Journal().size(), calls);

  fake.EmitPropertiesChanged("PlaybackStatus", S("Paused"));
  EXPECT_TRUE(player->WaitForChange(5000));
  EXPECT_FALSE(player->IsGone());

  fake.Leave();
  EXPECT_TRUE(player->WaitForChange(5000));
  EXPECT_TRUE(player->IsGone());
  EXPECT_EQ(ProblemOf([&] { player->Status(); }),
            std::make_pair(kExitNoPlayer, std::string("the player did not answer")));
}

// Waits for the call bound: ten seconds.
TEST_F(MprisPlayerTest, APlayerThatDoesNotAnswerIsGone) {
  AddPlayer("mute").Silent = {"Get", "GetAll"};
  StartAll();
  auto player = ConnectMprisPlayer("mute");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ProblemOf([&] { player->Status(); }),
            std::make_pair(kExitNoPlayer, std::string("the player did not answer")));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::seconds(9));
  EXPECT_LT(waited, std::chrono::seconds(15));
  EXPECT_TRUE(player->IsGone());
}

}  // namespace
}  // namespace jarvet
