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
  // UTF-8 text, shown whole on a console (the Windows console gets it as wide text).
  virtual bool WriteUtf8(std::string_view data, int& errorCode) { return Write(data, errorCode); }
  virtual bool IsTerminal() const = 0;
};

TOutputSink& StandardOutput();
TOutputSink& StandardError();

class TOutput {
 public:
  explicit TOutput(TOutputSink& sink) : Sink_(sink), LineByLine_(sink.IsTerminal()) {}
  // Raises EInOutError when the line, or output held back before it, can't be written.
  void WriteLine(std::string_view text);
  void Flush();
  // Forgets what could not be written, so that a failure report can still go out.
  void Discard() { Pending_.clear(); }
  // The error code of the write that failed; 0 while none has.
  int WriteError() const { return WriteError_; }
  TOutputSink& Sink() { return Sink_; }
  // The lines are UTF-8, not code-page text.
  bool Utf8 = false;

 private:
  static constexpr std::size_t kBufferSize = 4096;
  TOutputSink& Sink_;
  bool LineByLine_;
  std::string Pending_;
  int WriteError_ = 0;
};

}  // namespace jarvet
