// The MPRIS player: a media player on the session bus, reached through sd-bus.
#pragma once

#include <memory>
#include <string>

#include "Player.h"

namespace jarvet {

// The player that a parameter other than a directory names: "mpris" the first that is playing,
// else paused, else any; "mpris:NAME" or "NAME" org.mpris.MediaPlayer2.NAME or
// org.mpris.MediaPlayer2.NAME.instance... Not running where there is none, no session bus, or
// no libsystemd to reach it with.
std::unique_ptr<TPlayer> ConnectMprisPlayer(const std::string& parameter);

}  // namespace jarvet
