// The platform operations that reach the player: Win32.
#include <windows.h>

#include "Platform.h"

namespace jarvet {

const char kDirectorySeparator = '\\';
const char kListFilePath[] = "C:\\winamp.m3u";

namespace {

class TWin32Platform : public TPlatform {
 public:
  TWindow FindTopWindow(const std::string& className) override {
    return reinterpret_cast<TWindow>(FindWindowA(className.c_str(), nullptr));
  }

  std::int32_t SendWindowMessage(TWindow window, std::int32_t message, std::int32_t wParam,
                                 std::int32_t lParam) override {
    // Sign-extended, as a 32-bit int reaches a 64-bit WPARAM in the player.
    const LRESULT answer = SendMessageA(reinterpret_cast<HWND>(window), static_cast<UINT>(message),
                                        static_cast<WPARAM>(static_cast<LONG_PTR>(wParam)),
                                        static_cast<LPARAM>(lParam));
    return static_cast<std::int32_t>(answer);
  }

  void StartProgram(const std::string& commandLine) override {
    WinExec(commandLine.c_str(), SW_SHOW);
  }
};

}  // namespace

std::unique_ptr<TPlatform> CreateSystemPlatform() { return std::make_unique<TWin32Platform>(); }

}  // namespace jarvet
