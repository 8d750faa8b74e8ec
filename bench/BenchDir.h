// The one temporary directory of a benchmark run, made on first use and removed at exit, with
// the sample audio files written into it once each.
#pragma once

#include <map>
#include <string>

#include "SampleFiles.h"
#include "support/TempDir.h"

namespace jarvet::bench {

class TBenchDir {
 public:
  static TBenchDir& Get() {
    static TBenchDir dir;
    return dir;
  }

  const std::string& Path() const { return Temp_.Path(); }

  // Empty when the file could not be written.
  const std::string& Sample(TSample kind) {
    auto found = Samples_.find(kind);
    if (found == Samples_.end()) {
      found = Samples_.emplace(kind, Temp_.Ok() ? WriteSample(Temp_.Path(), kind) : "").first;
    }
    return found->second;
  }

 private:
  TBenchDir() : Temp_("jarvet-bench") {}
  testing::TTempDir Temp_;
  std::map<TSample, std::string> Samples_;
};

}  // namespace jarvet::bench
