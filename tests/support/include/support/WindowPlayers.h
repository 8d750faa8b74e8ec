// Connects every run to the window-message player over a given platform, as the tests' fakes
// and simulated players need whatever their first parameter says.
#pragma once

#include "Commands.h"
#include "Connect.h"

namespace jarvet::testing {

inline TConnect WindowPlayers(TPlatform& platform) {
  return [&platform](const std::string& directory) {
    return ConnectWindowPlayer(directory, platform);
  };
}

}  // namespace jarvet::testing
