// The eighteen commands, tested against the command word in a fixed order.
#pragma once

#include <string>

#include "Output.h"
#include "WinampApi.h"

namespace jarvet {

struct TCommandContext {
  TWinampApi& Player;
  TOutput& Out;
  std::string ArgText;  // as typed, trimmed; some commands put a default into it
};

// Runs the command whose name equals the word, ignoring ASCII case; nothing for any other word.
void DispatchCommand(const std::string& commandWord, TCommandContext& context);

}  // namespace jarvet
