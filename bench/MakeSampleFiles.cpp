// Writes the benchmarks' sample audio files into a directory, for scripts/bench.sh; prints
// each file's path and the most bytes INFO should read from it, tab-separated.
#include <cstdio>

#include "SampleFiles.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: jarvet_sample_files DIR\n");
    return 2;
  }
  for (jarvet::bench::TSample kind : jarvet::bench::AllSamples()) {
    const std::string path = jarvet::bench::WriteSample(argv[1], kind);
    if (path.empty()) {
      std::fprintf(stderr, "cannot write %s\n", jarvet::bench::SampleName(kind));
      return 1;
    }
    std::printf("%s\t%lld\n", path.c_str(), static_cast<long long>(jarvet::bench::ReadBound(kind)));
  }
  return 0;
}
