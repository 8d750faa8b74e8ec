// What a run spends on the simulated player, in-process, so that a whole run's time can be
// taken apart: connecting to the player's window, one message round trip, the playlist dump the
// player writes and GetPlaylist reads back, and the commands VERSION and INFO without the
// process start around them, with the player and with a stand-in that answers at once.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "BenchDir.h"
#include "CommandLine.h"
#include "support/FakePlatform.h"
#include "support/WindowPlayers.h"
#include "Jarvet.h"
#include "Platform.h"
#include "support/StringSink.h"
#include "WinampApi.h"
#include "PlayerProtocol.h"

namespace jarvet::bench {

namespace {

constexpr int kPlaylistEntries = 8;  // as scripts/bench.sh's player has

// One simulated player for the whole benchmark run, playing the typical sample.
class TPlayer {
 public:
  static TPlayer& Get() {
    static TPlayer player;
    return player;
  }
  bool Ok() const { return Window_ != 0; }
  const std::string& Dir() const { return Dir_; }

 private:
  TPlayer() : Dir_(TBenchDir::Get().Path() + "/player") {
    const std::string windows = Dir_ + "/windows";
    mkdir(Dir_.c_str(), 0700);
    mkdir(windows.c_str(), 0700);
    setenv(kWindowDirVariable, windows.c_str(), 1);
    const std::string typical = TBenchDir::Get().Sample(TSample::Typical);
    std::vector<std::string> command = {JARVET_SIMPLAYER, "--dir", Dir_, "--status", "playing"};
    for (int i = 0; i < kPlaylistEntries; ++i) {
      command.push_back("--entry");
      command.push_back(typical + "|245|Evening Song");
    }
    Platform_->StartProgram(JoinCommandLine(command));
    Window_ = Platform_->FindTopWindow(kPlayerWindowClass);
  }
  ~TPlayer() {
    if (Window_ != 0) Platform_->SendWindowMessage(Window_, kWmCommand, kCmdClose, 0);
  }

  std::string Dir_;
  std::unique_ptr<TPlatform> Platform_ = CreateSystemPlatform();
  TWindow Window_ = 0;
};

void Connect(benchmark::State& state) {
  if (!TPlayer::Get().Ok()) return state.SkipWithError("the simulated player did not start");
  for (auto _ : state) {
    const auto platform = CreateSystemPlatform();  // closes the connection when it goes
    if (platform->FindTopWindow(kPlayerWindowClass) == 0) {
      return state.SkipWithError("no player window");
    }
  }
}
BENCHMARK(Connect)->Unit(benchmark::kMicrosecond);

void RoundTrip(benchmark::State& state) {
  if (!TPlayer::Get().Ok()) return state.SkipWithError("the simulated player did not start");
  const auto platform = CreateSystemPlatform();
  const TWindow window = platform->FindTopWindow(kPlayerWindowClass);
  for (auto _ : state) {
    if (platform->SendWindowMessage(window, kWmUser, 0, kReqGetVersion) == 0) {
      return state.SkipWithError("no answer");
    }
  }
}
BENCHMARK(RoundTrip)->Unit(benchmark::kMicrosecond);

void GetPlaylistFromPlayer(benchmark::State& state) {
  if (!TPlayer::Get().Ok()) return state.SkipWithError("the simulated player did not start");
  const auto platform = CreateSystemPlatform();
  TWinampApi player(*platform, TPlayer::Get().Dir());
  for (auto _ : state) {
    TPlaylist list;
    player.GetPlaylist(list);
    if (list.Count() != kPlaylistEntries) return state.SkipWithError("wrong number of entries");
  }
}
BENCHMARK(GetPlaylistFromPlayer)->Unit(benchmark::kMicrosecond);

// A whole command as main() runs it, with a fresh platform (and so a fresh connection) each
// time; only the process start is missing.
void Command(benchmark::State& state, const char* command, const char* expected) {
  if (!TPlayer::Get().Ok()) return state.SkipWithError("the simulated player did not start");
  const std::string raw = JoinCommandLine({"jarvet", TPlayer::Get().Dir(), command});
  for (auto _ : state) {
    const auto platform = CreateSystemPlatform();
    testing::TStringSink sink;
    RunJarvet({raw, raw}, testing::WindowPlayers(*platform), sink, sink, "jarvet");
    if (sink.Text.compare(0, std::string(expected).size(), expected) != 0) {
      return state.SkipWithError("unexpected line");
    }
  }
}
BENCHMARK_CAPTURE(Command, VERSION, "VERSION", "22118")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Command, INFO, "INFO", "Winamp now playing: 3. Evening Song (")
    ->Unit(benchmark::kMicrosecond);

// The same commands against a stand-in that answers at once, with the dump already written: the
// run's own work, without the player's.
void CommandWithoutPlayer(benchmark::State& state, const char* command, const char* expected) {
  const std::string dir = TBenchDir::Get().Path() + "/no-player";
  mkdir(dir.c_str(), 0700);
  std::string dump = "#EXTM3U\r\n";
  for (int i = 0; i < kPlaylistEntries; ++i) {
    dump += "#EXTINF:245,Evening Song\r\n" + TBenchDir::Get().Sample(TSample::Typical) + "\r\n";
  }
  std::ofstream(dir + "/winamp.m3u", std::ios::binary) << dump;
  const std::string raw = JoinCommandLine({"jarvet", dir, command});
  for (auto _ : state) {
    testing::TFakePlatform platform;
    platform.Answer(0, kReqGetVersion, 22118);
    platform.Answer(1, kReqGetInfo, 128);
    platform.Answer(1, kReqGetOutputTime, 245);
    platform.Answer(0, kReqGetOutputTime, 83456);
    testing::TStringSink sink;
    RunJarvet({raw, raw}, testing::WindowPlayers(platform), sink, sink, "jarvet");
    if (sink.Text.compare(0, std::string(expected).size(), expected) != 0) {
      return state.SkipWithError("unexpected line");
    }
  }
}
BENCHMARK_CAPTURE(CommandWithoutPlayer, VERSION, "VERSION", "22118")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(CommandWithoutPlayer, INFO, "INFO", "Winamp now playing: 3. Evening Song (")
    ->Unit(benchmark::kMicrosecond);

}  // namespace

}  // namespace jarvet::bench
