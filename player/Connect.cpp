// The window-message player, on every platform.
#include "Connect.h"

#include "WinampPlayer.h"

namespace jarvet {

std::unique_ptr<TPlayer> ConnectWindowPlayer(const std::string& directory, TPlatform& platform) {
  return std::make_unique<TWinampPlayer>(platform, directory);
}

}  // namespace jarvet
