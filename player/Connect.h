// Finds the player a run addresses by its first parameter.
#pragma once

#include <memory>
#include <string>

#include "Platform.h"
#include "Player.h"

namespace jarvet {

// An existing directory names a window-message player (the directory it is installed in).
// Elsewhere than on Windows, any other word names an MPRIS player: "mpris" the first that is
// playing, else paused, else any; "mpris:NAME" or "NAME" the one whose bus name is
// org.mpris.MediaPlayer2.NAME or org.mpris.MediaPlayer2.NAME.instance... The player returned
// may not be running (IsRunning); none of this waits longer than the message bound.
std::unique_ptr<TPlayer> ConnectPlayer(const std::string& parameter, TPlatform& platform);

// The window-message player installed in the directory, whatever the platform.
std::unique_ptr<TPlayer> ConnectWindowPlayer(const std::string& directory, TPlatform& platform);

}  // namespace jarvet
