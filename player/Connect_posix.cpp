// A directory names a window-message player; any other word an MPRIS player on the session bus.
#include "Connect.h"
#include "File.h"
#include "MprisPlayer.h"

namespace jarvet {

std::unique_ptr<TPlayer> ConnectPlayer(const std::string& parameter, TPlatform& platform) {
  if (IsDirectory(parameter)) return ConnectWindowPlayer(parameter, platform);
  return ConnectMprisPlayer(parameter);
}

}  // namespace jarvet
