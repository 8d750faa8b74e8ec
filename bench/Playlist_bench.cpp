// The playlist read-back on dumps of 10, 1,000 and 100,000 entries: the dump's line rules
// alone, and GetPlaylist reading the dump from the player directory. Both must grow linearly.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "BenchDir.h"
#include "support/FakePlatform.h"
#include "WinampApi.h"

namespace jarvet::bench {

namespace {

// As the player writes it: a header, then an #EXTINF comment line before each path.
std::string PlaylistDump(std::int64_t entries) {
  std::string dump = "#EXTM3U\r\n";
  for (std::int64_t i = 0; i < entries; ++i) {
    const std::string n = std::to_string(100000 + i).substr(1);
    dump += "#EXTINF:245,The Harbour Lights - Song " + n + "\r\n";
    dump += "/home/listener/Music/The Harbour Lights/Tides/" + n + " Song " + n + ".mp3\r\n";
  }
  return dump;
}

void ParseDump(benchmark::State& state) {
  const std::int64_t entries = state.range(0);
  const std::string dump = PlaylistDump(entries);
  for (auto _ : state) {
    TPlaylist list;
    ParsePlaylistDump(dump, list);
    if (list.Count() != entries) return state.SkipWithError("wrong number of entries");
    benchmark::DoNotOptimize(list);
  }
  state.SetComplexityN(entries);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * dump.size()));
}
BENCHMARK(ParseDump)->Arg(10)->Arg(1000)->Arg(100000)->Complexity(benchmark::oN);

// The player directory of one dump size, written once.
std::string DumpDirectory(std::int64_t entries) {
  static std::set<std::int64_t> written;
  const std::string dir = TBenchDir::Get().Path() + "/player-" + std::to_string(entries);
  if (written.insert(entries).second) {
    std::filesystem::create_directory(dir);
    std::ofstream(dir + "/winamp.m3u", std::ios::binary) << PlaylistDump(entries);
  }
  return dir;
}

void GetPlaylist(benchmark::State& state) {
  const std::int64_t entries = state.range(0);
  testing::TFakePlatform platform;
  platform.Window = 0;  // no player: the dump left in the directory is read as it is
  TWinampApi player(platform, DumpDirectory(entries));
  for (auto _ : state) {
    TPlaylist list;
    player.GetPlaylist(list);
    if (list.Count() != entries) return state.SkipWithError("wrong number of entries");
    benchmark::DoNotOptimize(list);
  }
  state.SetComplexityN(entries);
}
BENCHMARK(GetPlaylist)
    ->Arg(10)
    ->Arg(1000)
    ->Arg(100000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

}  // namespace jarvet::bench
