// Standard output: Win32.
#include <windows.h>

#include "Output.h"

namespace jarvet {

namespace {

constexpr int kShortWrite = 101;  // nothing written: counted as a full disk

class TStdoutSink : public TOutputSink {
 public:
  bool Write(std::string_view data, int& errorCode) override {
    HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    while (!data.empty()) {
      DWORD written = 0;
      if (!WriteFile(handle, data.data(), static_cast<DWORD>(data.size()), &written, nullptr)) {
        const DWORD error = GetLastError();
        errorCode = (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL)
                        ? kShortWrite
                        : static_cast<int>(error);
        return false;
      }
      if (written == 0) {
        errorCode = kShortWrite;
        return false;
      }
      data.remove_prefix(written);
    }
    return true;
  }
  bool IsTerminal() const override {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
  }
};

}  // namespace

TOutputSink& StandardOutput() {
  static TStdoutSink sink;
  return sink;
}

}  // namespace jarvet
