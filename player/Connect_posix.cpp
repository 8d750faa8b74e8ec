// A directory names a window-message player; any other word an MPRIS player on the session bus.
#include <sys/stat.h>

#include "Connect.h"
#include "MprisPlayer.h"

namespace jarvet {

namespace {

bool IsDirectory(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

std::unique_ptr<TPlayer> ConnectPlayer(const std::string& parameter, TPlatform& platform) {
  if (IsDirectory(parameter)) return ConnectWindowPlayer(parameter, platform);
  return ConnectMprisPlayer(parameter);
}

}  // namespace jarvet
