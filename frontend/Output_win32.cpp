// Standard output and standard error: Win32.
#include <windows.h>

#include "Output.h"
#include "Unicode.h"

namespace jarvet {

namespace {

constexpr int kShortWrite = 101;  // nothing written: counted as a full disk

class TStreamSink : public TOutputSink {
 public:
  explicit TStreamSink(DWORD stream) : Stream_(stream) {}

  bool Write(std::string_view data, int& errorCode) override {
    HANDLE handle = GetStdHandle(Stream_);
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
      if (!WriteConsoleW(GetStdHandle(Stream_), units, static_cast<DWORD>(left), &written,
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
    return GetConsoleMode(GetStdHandle(Stream_), &mode) != 0;
  }

 private:
  DWORD Stream_;
};

}  // namespace

TOutputSink& StandardOutput() {
  static TStreamSink sink(STD_OUTPUT_HANDLE);
  return sink;
}

TOutputSink& StandardError() {
  static TStreamSink sink(STD_ERROR_HANDLE);
  return sink;
}

}  // namespace jarvet
