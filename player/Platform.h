// The platform operations that reach the player: find its window, send that window a message
// and wait for the answer, hand it bytes, read its memory, and start a program from one
// command-line text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace jarvet {

using TWindow = std::uintptr_t;  // 0: no window

// No message waits longer for its answer. A window that misses it counts as gone for the rest
// of the run: it gets no second wait.
constexpr int kMessageTimeoutMs = 10000;

class TPlatform {
 public:
  virtual ~TPlatform() = default;
  // The first top-level window of the class, or 0.
  virtual TWindow FindTopWindow(const std::string& className) = 0;
  // Returns once the window has handled the message; a message for window 0 or a gone window
  // answers 0.
  virtual std::int32_t SendWindowMessage(TWindow window, std::int32_t message,
                                         std::int32_t wParam, std::int32_t lParam) = 0;
  // The platform's WM_COPYDATA: the window gets the bytes with dwData; answers its answer.
  virtual std::int32_t SendCopyData(TWindow window, std::int32_t dwData,
                                    std::string_view bytes) = 0;
  // Copies up to size bytes of the window owner's memory at address into buffer; answers how
  // many it could read from the start of the range (0 when none).
  virtual std::size_t ReadPlayerMemory(TWindow window, std::uint32_t address, void* buffer,
                                       std::size_t size) = 0;
  // True once the window has closed or has not answered in time.
  virtual bool IsGone(TWindow window) const = 0;
  // True when the window is gone because it did not answer in time (it hangs), not because it
  // closed.
  virtual bool IsHung(TWindow window) const = 0;
  // Returns once the program has started and is ready for messages (or has exited already).
  // A failure to start is not reported.
  virtual void StartProgram(const std::string& commandLine) = 0;
};

std::unique_ptr<TPlatform> CreateSystemPlatform();

// Separates the player directory from the fixed file names behind it.
extern const char kDirectorySeparator;

}  // namespace jarvet
