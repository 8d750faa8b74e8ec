// Standard output as the commands write it: whole lines ending in CR LF, written out at once on
// a terminal and held back otherwise, every write checked.
#pragma once

#include <string>
#include <string_view>

namespace jarvet {

class TOutputSink {
 public:
  virtual ~TOutputSink() = default;
  // Writes all of data; on failure answers false with the platform's error code.
  virtual bool Write(std::string_view data, int& errorCode) = 0;
  virtual bool IsTerminal() const = 0;
};

TOutputSink& StandardOutput();
// Only for the failure report that standard output did not take.
TOutputSink& StandardError();

class TOutput {
 public:
  explicit TOutput(TOutputSink& sink) : Sink_(sink), LineByLine_(sink.IsTerminal()) {}
  // Raises EInOutError when the line, or output held back before it, can't be written.
  void WriteLine(std::string_view text);
  void Flush();
  // Forgets what could not be written, so that a failure report can still go out.
  void Discard() { Pending_.clear(); }
  TOutputSink& Sink() { return Sink_; }

 private:
  static constexpr std::size_t kBufferSize = 4096;
  TOutputSink& Sink_;
  bool LineByLine_;
  std::string Pending_;
};

}  // namespace jarvet
