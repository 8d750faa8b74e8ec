// A temporary player directory with the simulated player in it: Win32. The player's window is a
// real top-level window, found by its class on the one desktop, so tests that start a player
// must not run at the same time (their resource lock sees to that).
#include <windows.h>

#include <chrono>
#include <thread>

#include "PlayerProtocol.h"
#include "support/PlayerFixture.h"

namespace jarvet::testing {

namespace {

constexpr UINT kAnswerTimeoutMs = 10000;
constexpr auto kGoneTimeout = std::chrono::seconds(5);
constexpr auto kPoll = std::chrono::milliseconds(10);

HWND PlayerWindow() { return FindWindowA(kPlayerWindowClass, nullptr); }

// Asks the window to close and waits until it is gone; ends its process if it will not go.
void ClosePlayerWindow(HWND window) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(window, static_cast<UINT>(kWmCommand), kCmdClose, 0, SMTO_ABORTIFHUNG,
                      kAnswerTimeoutMs, &ignored);
  const auto deadline = std::chrono::steady_clock::now() + kGoneTimeout;
  while (IsWindow(window) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(kPoll);
  }
  if (!IsWindow(window)) return;
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
  if (process == nullptr) return;
  TerminateProcess(process, 1);
  WaitForSingleObject(process, INFINITE);
  CloseHandle(process);
}

// Every player window, also one that jarvet started for a list, or one an earlier test left.
void CloseEveryPlayer() {
  for (HWND window = PlayerWindow(); window != nullptr; window = PlayerWindow()) {
    ClosePlayerWindow(window);
  }
}

}  // namespace

void PlayerFixture::SetUp() {
  CloseEveryPlayer();
  Temp_ = std::make_unique<TTempDir>("jarvet-e2e");
  ASSERT_TRUE(Temp_->Ok());
  Dir = Temp_->Path();
  ASSERT_TRUE(CopyFileA(JARVET_SIMPLAYER, (Dir + "\\winamp.exe").c_str(), TRUE));
}

void PlayerFixture::StartPlayer(const std::vector<std::string>& options) {
  std::vector<std::string> all = options;
  all.insert(all.end(), {"--journal", JournalPath()});
  PlayerProcess = StartProcess(Dir + "\\winamp.exe", all);
  ASSERT_GT(PlayerProcess, 0);
  ASSERT_NE(PlayerWindow(), nullptr) << "the player is ready once its window is there";
}

void PlayerFixture::StopPlayer() {
  CloseEveryPlayer();
  EndProcess(PlayerProcess);
  PlayerProcess = -1;
}

std::int32_t PlayerFixture::SendToPlayer(std::int32_t message, std::int32_t wParam,
                                         std::int32_t lParam) const {
  const HWND window = PlayerWindow();
  if (window == nullptr) return 0;
  DWORD_PTR answer = 0;
  // Sign-extended, as jarvet sends a 32-bit value.
  if (SendMessageTimeoutA(
          window, static_cast<UINT>(message), static_cast<WPARAM>(static_cast<LONG_PTR>(wParam)),
          static_cast<LPARAM>(lParam), SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &answer) == 0) {
    return 0;
  }
  return static_cast<std::int32_t>(answer);
}

}  // namespace jarvet::testing
