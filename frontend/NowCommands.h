// Now playing for scripts and overlays: a template filled in once, as JSON, on every change, into
// a file kept current, and the cover picture.
#pragma once

#include "Commands.h"
#include "Template.h"
#include "TrackFields.h"

namespace jarvet {

void NowPlayingText(TCommandContext& c);  // NOW
void NowPlayingJson(TCommandContext& c);  // JSON
void Watch(TCommandContext& c);           // WATCH
void WatchFile(TCommandContext& c);       // WATCHFILE
void CoverArt(TCommandContext& c);        // ART

// The template filled in for the facts.
std::string FilledIn(const TTemplate& text, const TTrackFacts& facts);

// Gives the file the user named these contents whole (WriteFileContents), or ends the run saying
// why not: exit 2 for a folder or a name in none, 1 for what the system refuses.
void WriteNamedFile(const std::string& file, const std::string& contents);

}  // namespace jarvet
