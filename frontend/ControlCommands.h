// The commands beyond the eighteen: status, volume, shuffle and repeat, transport, the playlist
// and adding to it, and help. They write UTF-8 lines, report problems on standard error and end
// with an exit status that says what went wrong.
#pragma once

#include <string>

#include "Commands.h"

namespace jarvet {

constexpr int kExitBadArgument = 2;
constexpr int kExitNoPlayer = 3;
constexpr int kExitNothingPlaying = 4;
constexpr int kExitFailure = 1;

bool IsControlCommand(const std::string& commandWord);

// Runs the newer command whose name equals the word, ignoring ASCII case; false for none.
bool DispatchControlCommand(const std::string& commandWord, TCommandContext& context);

}  // namespace jarvet
