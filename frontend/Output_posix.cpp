// Standard output and error: POSIX.
#include <unistd.h>

#include <cerrno>

#include "Output.h"
#include "PlatformError.h"

namespace jarvet {

namespace {

constexpr int kShortWrite = 101;  // nothing written: counted as a full disk

class TDescriptorSink : public TOutputSink {
 public:
  explicit TDescriptorSink(int fd) : Fd_(fd) {}
  bool Write(std::string_view data, int& errorCode) override {
    while (!data.empty()) {
      const ssize_t n = write(Fd_, data.data(), data.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        errorCode = WindowsErrorCode(errno);
        return false;
      }
      if (n == 0) {
        errorCode = kShortWrite;
        return false;
      }
      data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }
  bool IsTerminal() const override { return isatty(Fd_) == 1; }

 private:
  int Fd_;
};

}  // namespace

TOutputSink& StandardOutput() {
  static TDescriptorSink sink(STDOUT_FILENO);
  return sink;
}

TOutputSink& StandardError() {
  static TDescriptorSink sink(STDERR_FILENO);
  return sink;
}

}  // namespace jarvet
