// The audio files that the benchmarks and scripts/bench.sh measure the readers on, built byte
// by byte: tags as taggers write them, audio as filler, large files sparse.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jarvet::bench {

constexpr std::int64_t kOneGigabyte = std::int64_t{1} << 30;
constexpr std::size_t kCoverSize = 5 * 1024 * 1024;
constexpr std::size_t kSmallCoverSize = 64 * 1024;

enum class TSample {
  Typical,           // ID3v2.3 text frames, padding, 1 MB of audio, an ID3v1.1 trailer
  Cover23,           // a 5 MB cover picture before the text frames, ID3v2.3
  Cover23Small,      // the same with a 64 KB cover
  Cover24,           // the same in ID3v2.4 (syncsafe frame sizes)
  Cover23Unsynced,   // the same ID3v2.3 tag unsynchronised as a whole
  TypicalSparse1GB,  // the typical tag at the start of a 1 GB sparse file
  Trailer1KB,        // an ID3v1.1 trailer only, 1 KB in all
  TrailerSparse1GB,  // an ID3v1.1 trailer only, at the end of a 1 GB sparse file
};

// Every sample, in the order above.
const std::vector<TSample>& AllSamples();
// Its file name, also its label in the benchmarks and in scripts/bench.sh.
const char* SampleName(TSample kind);

// The most bytes a reader should read from the sample when INFO reads it: the 10-byte probe,
// every frame header plus 500 bytes a frame, the one header-sized read that meets the padding,
// and the ID3v1 trailer where the file has no ID3v2 tag.
std::int64_t ReadBound(TSample kind);

// Writes the sample into dir (an existing directory) and answers its path; empty on failure.
std::string WriteSample(const std::string& dir, TSample kind);

}  // namespace jarvet::bench
