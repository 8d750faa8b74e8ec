// Now playing for scripts and overlays: a template filled in once, as JSON, on every change, into
// a file kept current, and the cover picture.
#pragma once

#include "Commands.h"

namespace jarvet {

void NowPlayingText(TCommandContext& c);  // NOW
void NowPlayingJson(TCommandContext& c);  // JSON
void Watch(TCommandContext& c);           // WATCH
void WatchFile(TCommandContext& c);       // WATCHFILE
void CoverArt(TCommandContext& c);        // ART

}  // namespace jarvet
