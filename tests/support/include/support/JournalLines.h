// Lines of the simulated player's journal, one message each: "<message> <wParam> <lParam>".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PlayerProtocol.h"

namespace jarvet::testing {

inline std::string JournalLine(std::int32_t message, std::int32_t wParam, std::int32_t lParam) {
  return std::to_string(message) + " " + std::to_string(wParam) + " " + std::to_string(lParam);
}
inline std::string JournalCommand(std::int32_t command) {
  return JournalLine(kWmCommand, command, 0);
}
inline std::string JournalRequest(std::int32_t wParam, std::int32_t request) {
  return JournalLine(kWmUser, wParam, request);
}

// The lines as the journal file holds them, each ended by a line feed.
inline std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

}  // namespace jarvet::testing
