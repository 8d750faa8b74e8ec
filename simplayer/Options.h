// The simulated player's command line, read the same way by every endpoint.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "PlayerEngine.h"

namespace jarvet::simplayer {

extern const char kUsage[];

struct TOptions {
  TPlayerState State;
  std::string JournalPath;
  bool Add = false;
  bool Frozen = false;  // never answers a message, as a hung player
  // Answers this many messages, then none, as a player that hangs partway; -1: no such end.
  std::int32_t FrozenAfter = -1;
  std::optional<std::string> File;
};

// What the player says when it starts serving: its window (where it is), its player directory and
// its journal, so that the one who started it knows what to point jarvet at.
std::string StartMessage(const std::string& window, const TOptions& options);

// Decimal, or hexadecimal after 0x when hex is allowed; the whole text must read.
std::optional<std::int32_t> ParseInt(const std::string& text, bool hex = false);

// Fills options from argv[1..argc); the player directory is defaultDirectory unless --dir names
// one. Answers a message for the user on failure.
std::optional<std::string> ParseCommandLine(int argc, const char* const* argv,
                                            const std::string& defaultDirectory,
                                            TOptions& options);

}  // namespace jarvet::simplayer
