// An output sink that keeps what is written, or fails as told.
#pragma once

#include <string>

#include "Output.h"

namespace jarvet::testing {

class TStringSink : public TOutputSink {
 public:
  std::string Text;
  bool Terminal = false;
  int FailWith = 0;  // a non-zero error code makes every write fail
  int Writes = 0;
  bool Write(std::string_view data, int& errorCode) override {
    ++Writes;
    if (FailWith != 0) {
      errorCode = FailWith;
      return false;
    }
    Text.append(data.data(), data.size());
    return true;
  }
  bool IsTerminal() const override { return Terminal; }
};

}  // namespace jarvet::testing
