// Standard output as the commands write it: whole lines ending in CR LF.
#include "Output.h"

#include "Failure.h"

namespace jarvet {

void TOutput::WriteLine(std::string_view text) {
  Pending_.append(text.data(), text.size());
  Pending_ += "\r\n";
  if (LineByLine_ || Pending_.size() >= kBufferSize) Flush();
}

void TOutput::Flush() {
  if (Pending_.empty()) return;
  int errorCode = 0;
  if (!(Utf8 ? Sink_.WriteUtf8(Pending_, errorCode) : Sink_.Write(Pending_, errorCode))) {
    Pending_.clear();
    WriteError_ = errorCode;
    throw EInOutError(errorCode);
  }
  Pending_.clear();
}

}  // namespace jarvet
