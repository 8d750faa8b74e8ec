// The eighteen commands, tested against the command word in a fixed order.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Output.h"
#include "WinampApi.h"

namespace jarvet {

struct TCommandContext {
  TWinampApi& Player;
  TOutput& Out;
  std::string ArgText;  // as typed, trimmed; some commands put a default into it
  // The newer commands' side: their problems, their argument in UTF-8, their exit status.
  TOutputSink& Errors;
  std::string ArgTextUtf8;
  int Status = 0;
  // On POSIX the words after the command word as the shell gave them, in UTF-8; none where the
  // platform passes one command-line text (Windows). Read through ArgumentWords.
  std::optional<std::vector<std::string>> ArgWords = std::nullopt;
};

// Runs the command whose name equals the word, ignoring ASCII case: one of the eighteen, then
// one of the newer ones; nothing for any other word.
void DispatchCommand(const std::string& commandWord, TCommandContext& context);

}  // namespace jarvet
