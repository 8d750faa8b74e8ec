// The number, time and command-line split rules, on the inputs a run meets, and the split on
// ever longer command lines, which must grow linearly.
#include <benchmark/benchmark.h>

#include <string>

#include "CommandLine.h"
#include "Text.h"

namespace jarvet::bench {

namespace {

void Number(benchmark::State& state, const char* text) {
  for (auto _ : state) {
    auto number = ParseNumber(text);
    benchmark::DoNotOptimize(number);
  }
}
BENCHMARK_CAPTURE(Number, decimal, "200");
BENCHMARK_CAPTURE(Number, negative_limit, "-2147483648");
BENCHMARK_CAPTURE(Number, leading_spaces, "    42");
BENCHMARK_CAPTURE(Number, hex_dollar, "$7FFFFFFF");
BENCHMARK_CAPTURE(Number, hex_0x, "0x1F");
BENCHMARK_CAPTURE(Number, rejected_trailing, "12a");
BENCHMARK_CAPTURE(Number, rejected_overflow, "2147483648");

void Time(benchmark::State& state, const char* text) {
  for (auto _ : state) {
    auto seconds = ParseTime(text);
    benchmark::DoNotOptimize(seconds);
  }
}
BENCHMARK_CAPTURE(Time, seconds, "95");
BENCHMARK_CAPTURE(Time, minutes_seconds, "1:30");

void Split(benchmark::State& state, const char* raw) {
  for (auto _ : state) {
    auto parameters = SplitCommandLine(raw);
    benchmark::DoNotOptimize(parameters);
  }
}
BENCHMARK_CAPTURE(Split, info, R"(jarvet "C:\Program Files\Winamp" INFO)");
BENCHMARK_CAPTURE(
    Split, enqueue,
    R"(jarvet "C:\Program Files\Winamp" ENQUEUE "C:\Music\The Harbour Lights" *.mp3)");
BENCHMARK_CAPTURE(Split, quote_pairs, R"(jarvet """" "C:\Player" "" SEEK  1:30)");

// A command line of n bytes: the player directory, the command word, then quoted words.
void SplitLong(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  std::string raw = R"(jarvet "C:\Program Files\Winamp" ENQUEUE)";
  while (raw.size() < size) raw += R"( "C:\Music\Tides" *.mp3)";
  raw.resize(size);
  for (auto _ : state) {
    auto parameters = SplitCommandLine(raw);
    benchmark::DoNotOptimize(parameters);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(SplitLong)->Arg(64)->Arg(4096)->Arg(32768)->Complexity(benchmark::oN);

// A command line of n backslashes: doubling them in place, one insertion each, took seconds for
// a megabyte; done in one pass it grows with n.
void DoubleBackslashesLong(benchmark::State& state) {
  const std::string backslashes(static_cast<std::size_t>(state.range(0)), '\\');
  for (auto _ : state) {
    std::string text = backslashes;
    DoubleBackslashes(text);
    benchmark::DoNotOptimize(text);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(DoubleBackslashesLong)->Arg(4096)->Arg(65536)->Arg(1024 * 1024)->Complexity(benchmark::oN);

void Join(benchmark::State& state) {
  const std::vector<std::string> parameters = {"jarvet", "/opt/Media Player", "ENQUEUE",
                                               "\"/music\" *.mp3"};
  for (auto _ : state) {
    auto raw = JoinCommandLine(parameters);
    benchmark::DoNotOptimize(raw);
  }
}
BENCHMARK(Join);

}  // namespace

}  // namespace jarvet::bench
