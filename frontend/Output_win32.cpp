// Standard output and error: Win32.
#include <windows.h>

#include "Output.h"
#include "Unicode.h"

namespace jarvet {

namespace {

constexpr int kShortWrite = 101;  // nothing written: counted as a full disk

class TStdHandleSink : public TOutputSink {
 public:
  explicit TStdHandleSink(DWORD which) : Which_(which) {}
  bool Write(std::string_view data, int& errorCode) override {
    const HANDLE handle = GetStdHandle(Which_);
    // A process started without the handle has none; INVALID_HANDLE_VALUE is also the pseudo
    // handle of the process itself, which nothing should be written to.
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
      errorCode = ERROR_INVALID_HANDLE;
      return false;
    }
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

  // A console shows any character given as wide text; redirected output stays UTF-8 bytes.
  bool WriteUtf8(std::string_view data, int& errorCode) override {
    if (!IsTerminal()) return Write(data, errorCode);
    std::u16string wide = Utf8ToUtf16(data);
    const auto* units = reinterpret_cast<const wchar_t*>(wide.data());
    std::size_t left = wide.size();
    while (left > 0) {
      DWORD written = 0;
      if (!WriteConsoleW(GetStdHandle(Which_), units, static_cast<DWORD>(left), &written,
                         nullptr) ||
          written == 0) {
        errorCode = static_cast<int>(GetLastError());
        return false;
      }
      units += written;
      left -= written;
    }
    return true;
  }

  bool IsTerminal() const override {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(Which_), &mode) != 0;
  }

 private:
  DWORD Which_;
};

}  // namespace

TOutputSink& StandardOutput() {
  static TStdHandleSink sink(STD_OUTPUT_HANDLE);
  return sink;
}

TOutputSink& StandardError() {
  static TStdHandleSink sink(STD_ERROR_HANDLE);
  return sink;
}

}  // namespace jarvet
