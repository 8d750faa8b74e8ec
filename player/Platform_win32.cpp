// The platform operations that reach the player: Win32.
#include <windows.h>

#include <map>
#include <set>

#include "Platform.h"

namespace jarvet {

const char kDirectorySeparator = '\\';

namespace {

class TWin32Platform : public TPlatform {
 public:
  ~TWin32Platform() override {
    for (const auto& process : Processes_) {
      if (process.second != nullptr) CloseHandle(process.second);
    }
  }

  TWindow FindTopWindow(const std::string& className) override {
    return reinterpret_cast<TWindow>(FindWindowA(className.c_str(), nullptr));
  }

  std::int32_t SendWindowMessage(TWindow window, std::int32_t message, std::int32_t wParam,
                                 std::int32_t lParam) override {
    // Sign-extended, as a 32-bit int reaches a 64-bit WPARAM in the player.
    return Send(window, static_cast<UINT>(message),
                static_cast<WPARAM>(static_cast<LONG_PTR>(wParam)), static_cast<LPARAM>(lParam));
  }

  std::int32_t SendCopyData(TWindow window, std::int32_t dwData,
                            std::string_view bytes) override {
    COPYDATASTRUCT copy{};
    copy.dwData = static_cast<ULONG_PTR>(static_cast<std::uint32_t>(dwData));
    copy.cbData = static_cast<DWORD>(bytes.size());
    copy.lpData = const_cast<char*>(bytes.data());
    return Send(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
  }

  std::size_t ReadPlayerMemory(TWindow window, std::uint32_t address, void* buffer,
                               std::size_t size) override {
    const HANDLE process = ProcessOf(window);
    if (process == nullptr) return 0;
    SIZE_T got = 0;
    // A range that runs into unreadable memory may still give its readable start.
    if (!ReadProcessMemory(process, reinterpret_cast<LPCVOID>(static_cast<std::uintptr_t>(address)),
                           buffer, size, &got) &&
        GetLastError() != ERROR_PARTIAL_COPY) {
      return 0;
    }
    return got;
  }

  bool IsGone(TWindow window) const override {
    return window == 0 || Gone_.count(window) != 0 || !IsWindow(reinterpret_cast<HWND>(window));
  }

  // A window that missed its answer and still exists hangs; a closed one is no window.
  bool IsHung(TWindow window) const override {
    return window != 0 && Gone_.count(window) != 0 && IsWindow(reinterpret_cast<HWND>(window));
  }

  void StartProgram(const std::string& commandLine) override {
    WinExec(commandLine.c_str(), SW_SHOW);
  }

 private:
  std::int32_t Send(TWindow window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window == 0 || Gone_.count(window) != 0) return 0;
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutA(reinterpret_cast<HWND>(window), message, wParam, lParam,
                            SMTO_ABORTIFHUNG, kMessageTimeoutMs, &answer) == 0) {
      Gone_.insert(window);
      return 0;
    }
    return static_cast<std::int32_t>(answer);
  }

  // Opened once per window and kept for the run; null when it can't be.
  HANDLE ProcessOf(TWindow window) {
    if (IsGone(window)) return nullptr;
    const auto known = Processes_.find(window);
    if (known != Processes_.end()) return known->second;
    DWORD processId = 0;
    GetWindowThreadProcessId(reinterpret_cast<HWND>(window), &processId);
    const HANDLE process =
        processId == 0
            ? nullptr
            : OpenProcess(PROCESS_VM_READ | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    Processes_[window] = process;
    return process;
  }

  std::set<TWindow> Gone_;
  std::map<TWindow, HANDLE> Processes_;
};

}  // namespace

std::unique_ptr<TPlatform> CreateSystemPlatform() { return std::make_unique<TWin32Platform>(); }

}  // namespace jarvet
