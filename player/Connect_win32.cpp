// Windows has window-message players only.
#include "Connect.h"

namespace jarvet {

std::unique_ptr<TPlayer> ConnectPlayer(const std::string& parameter, TPlatform& platform) {
  return ConnectWindowPlayer(parameter, platform);
}

}  // namespace jarvet
