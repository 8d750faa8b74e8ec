// TID3v2::Load and TID3v1::Load on the sample files: a typical tag, a 5 MB cover picture before
// the text frames, and files of 1 KB and 1 GB. The files sit in the page cache, so these are
// the readers' own costs and their system calls, not the disk's.
#include <benchmark/benchmark.h>

#include <string>

#include "BenchDir.h"
#include "ID3v1.h"
#include "ID3v2.h"

namespace jarvet::bench {

namespace {

constexpr char kTitle[] = "Evening Song";

void LoadID3v2(benchmark::State& state, TSample kind) {
  const std::string& path = TBenchDir::Get().Sample(kind);
  if (path.empty()) return state.SkipWithError("cannot write the sample file");
  TID3v2 tag;
  for (auto _ : state) {
    benchmark::DoNotOptimize(tag.Load(path));
    benchmark::ClobberMemory();
  }
  // A reader that found nothing would be measured doing too little.
  if (!tag.TagFound || tag.Title != kTitle || tag.Track != 3) {
    state.SkipWithError("the tag was not read");
  }
}

void LoadID3v1(benchmark::State& state, TSample kind) {
  const std::string& path = TBenchDir::Get().Sample(kind);
  if (path.empty()) return state.SkipWithError("cannot write the sample file");
  TID3v1 tag;
  for (auto _ : state) {
    benchmark::DoNotOptimize(tag.Load(path));
    benchmark::ClobberMemory();
  }
  if (!tag.TagFound || tag.Title != kTitle || tag.Track != 3) {
    state.SkipWithError("the trailer was not read");
  }
}

const bool kRegistered = [] {
  for (TSample kind : {TSample::Typical, TSample::Cover23Small, TSample::Cover23, TSample::Cover24,
                       TSample::Cover23Unsynced, TSample::TypicalSparse1GB}) {
    benchmark::RegisterBenchmark((std::string("ID3v2Load/") + SampleName(kind)).c_str(), LoadID3v2,
                                 kind);
  }
  for (TSample kind : {TSample::Trailer1KB, TSample::TrailerSparse1GB}) {
    benchmark::RegisterBenchmark((std::string("ID3v1Load/") + SampleName(kind)).c_str(), LoadID3v1,
                                 kind);
  }
  return true;
}();

}  // namespace

}  // namespace jarvet::bench
