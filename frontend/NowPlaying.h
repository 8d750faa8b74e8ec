// INFO: one line about the playing track, from the player's figures and the file's tag.
#pragma once

#include "Commands.h"

namespace jarvet {

void ReportNowPlaying(TCommandContext& context);

}  // namespace jarvet
