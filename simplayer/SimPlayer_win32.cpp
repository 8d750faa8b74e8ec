// The simulated player's Win32 endpoint: its command line and a real top-level window of the
// player's class, whose window procedure hands the player's messages to the engine.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "Options.h"
#include "PlayerEngine.h"
#include "PlayerProtocol.h"

namespace jarvet::simplayer {
namespace {

constexpr int kUsageStatus = 2;
constexpr int kFailureStatus = 1;
constexpr char kWindowTitle[] = "Simulated player";
constexpr UINT kHandOverTimeoutMs = 30000;
// The texts whose addresses the player answers: a block below 4 GiB, as a 32-bit player's
// memory is, so that the low 32 bits of an answer are the address.
constexpr std::uintptr_t kArenaAddresses[] = {0x10000000, 0x20000000, 0x30000000, 0x40000000,
                                              0x50000000, 0x60000000, 0x70000000};
constexpr std::size_t kArenaSize = 4 << 20;

bool Frozen = false;
std::int32_t AnswersLeft = -1;  // --frozen-after: how many messages are still answered

// True once the player hangs: from the start, or once its answers are spent.
bool Hangs() {
  if (Frozen || AnswersLeft == 0) return true;
  if (AnswersLeft > 0) --AnswersLeft;
  return false;
}

char* AllocateLowArena() {
  for (std::uintptr_t address : kArenaAddresses) {
    void* block = VirtualAlloc(reinterpret_cast<void*>(address), kArenaSize,
                               MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (block != nullptr) return static_cast<char*>(block);
  }
  return nullptr;
}

// A windows-subsystem program has no console of its own: write to what it was handed, if any.
void Print(DWORD stdHandle, const std::string& text) {
  const HANDLE handle = GetStdHandle(stdHandle);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string Utf8Of(const wchar_t* wide) {
  std::string bytes;
  for (; *wide != L'\0'; ++wide) {
    bytes += static_cast<char>(*wide & 0xFF);
    bytes += static_cast<char>((*wide >> 8) & 0xFF);
  }
  return Utf16LeToUtf8(bytes);
}

// UTF-8, as the engine keeps its texts.
std::string ExecutableDirectory() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::string full = Utf8Of(std::wstring(path, length).c_str());
  const std::size_t separator = full.find_last_of("\\/");
  return separator == std::string::npos ? "." : full.substr(0, separator);
}

// The running player has another working directory than ours.
std::string Absolute(const std::string& path) {
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
  return length == 0 || length >= MAX_PATH ? path : std::string(full, length);
}

// As the real executable does: the running player takes the file through WM_COPYDATA.
int HandOverFile(HWND running, bool add, const std::string& file) {
  COPYDATASTRUCT copy{};
  copy.dwData = static_cast<ULONG_PTR>(add ? kCopyDataAdd : kCopyDataOpen);
  copy.cbData = static_cast<DWORD>(file.size());
  copy.lpData = const_cast<char*>(file.data());
  DWORD_PTR answer = 0;
  if (SendMessageTimeoutA(running, static_cast<UINT>(kWmCopyData), 0,
                          reinterpret_cast<LPARAM>(&copy), SMTO_ABORTIFHUNG, kHandOverTimeoutMs,
                          &answer) == 0) {
    Print(STD_ERROR_HANDLE, "winamp.exe: the running player did not answer\n");
    return kFailureStatus;
  }
  return 0;
}

// The window's engine comes with its creation and stays in the window's user data.
TPlayerEngine* EngineOf(HWND window) {
  return reinterpret_cast<TPlayerEngine*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

LRESULT CALLBACK PlayerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      const auto* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      SetWindowLongPtrA(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
      return DefWindowProcA(window, message, wParam, lParam);
    }
    case kWmCommand:
    case kWmUser: {
      if (Hangs()) Sleep(INFINITE);  // hung: the sender's wait runs out
      TPlayerEngine& engine = *EngineOf(window);
      // The senders' values are 32-bit, whatever the width of WPARAM and LPARAM.
      const std::int32_t answer = engine.HandleMessage(static_cast<std::int32_t>(message),
                                                       static_cast<std::int32_t>(wParam),
                                                       static_cast<std::int32_t>(lParam));
      // Closed after the answer is out: the sender is still waiting for it.
      if (engine.CloseRequested()) PostMessageA(window, WM_CLOSE, 0, 0);
      return static_cast<LRESULT>(answer);
    }
    case WM_COPYDATA: {
      const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (Hangs()) Sleep(INFINITE);
      if (copy == nullptr || (copy->lpData == nullptr && copy->cbData != 0)) return 0;
      const std::string file(static_cast<const char*>(copy->lpData), copy->cbData);
      return EngineOf(window)->HandOver(static_cast<std::int32_t>(copy->dwData), file);
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

int BecomePlayer(const TOptions& options) {
  Frozen = options.Frozen;
  AnswersLeft = options.FrozenAfter;
  char* memory = AllocateLowArena();
  TTextArena arena(memory, memory == nullptr ? 0 : kArenaSize,
                   static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(memory)));
  TPlayerEngine engine(options.State, options.JournalPath, memory == nullptr ? nullptr : &arena);
  // Read before the window exists and the message loop runs: the starter waits for that idle
  // moment and may delete the file right after.
  if (options.File) engine.LoadList(options.Add ? kCopyDataAdd : kCopyDataOpen, *options.File);

  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = PlayerWindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kPlayerWindowClass;
  // Hidden: the tests run without a display, and nothing needs to see it.
  if (RegisterClassA(&windowClass) == 0 ||
      CreateWindowExA(0, kPlayerWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance,
                      &engine) == nullptr) {
    Print(STD_ERROR_HANDLE,
          "winamp.exe: cannot open the window: error " + std::to_string(GetLastError()) + "\n");
    return kFailureStatus;
  }
  Print(STD_ERROR_HANDLE, StartMessage("of class \"" + std::string(kPlayerWindowClass) + "\"", options));
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

int Run(int argc, char** argv) {
  // The wide command line, so that any character of a file or title comes through.
  int wideCount = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &wideCount);
  std::vector<std::string> utf8;
  std::vector<char*> utf8Argv;
  if (wide != nullptr) {
    for (int i = 0; i < wideCount; ++i) utf8.push_back(Utf8Of(wide[i]));
    LocalFree(wide);
    for (std::string& argument : utf8) utf8Argv.push_back(argument.data());
    utf8Argv.push_back(nullptr);
    argc = wideCount;
    argv = utf8Argv.data();
  }
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      Print(STD_OUTPUT_HANDLE, kUsage);
      return 0;
    }
  }
  TOptions options;
  if (const std::optional<std::string> error = ParseCommandLine(argc, argv, ExecutableDirectory(), options)) {
    Print(STD_ERROR_HANDLE, "winamp.exe: " + *error + "\n" + kUsage);
    return kUsageStatus;
  }
  const HWND running = FindWindowA(kPlayerWindowClass, nullptr);
  if (running != nullptr) {
    // A start without a file has nothing to hand over: the running player stays as it is.
    return options.File ? HandOverFile(running, options.Add, Absolute(Utf8ToAnsi(*options.File)))
                        : 0;
  }
  return BecomePlayer(options);
}

}  // namespace
}  // namespace jarvet::simplayer

int main(int argc, char** argv) { return jarvet::simplayer::Run(argc, argv); }
