// The three platform operations that reach the player: find its window, send that window a
// message and wait for the answer, start a program from one command-line text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace jarvet {

using TWindow = std::uintptr_t;  // 0: no window

class TPlatform {
 public:
  virtual ~TPlatform() = default;
  // The first top-level window of the class, or 0.
  virtual TWindow FindTopWindow(const std::string& className) = 0;
  // Returns once the window has handled the message; a message for window 0 answers 0.
  virtual std::int32_t SendWindowMessage(TWindow window, std::int32_t message,
                                         std::int32_t wParam, std::int32_t lParam) = 0;
  // Returns once the program has started and is ready for messages (or has exited already).
  // A failure to start is not reported.
  virtual void StartProgram(const std::string& commandLine) = 0;
};

std::unique_ptr<TPlatform> CreateSystemPlatform();

// Separates the player directory from the fixed file names behind it.
extern const char kDirectorySeparator;

// The one list file that a caller prepares for the player to load.
extern const char kListFilePath[];

}  // namespace jarvet
