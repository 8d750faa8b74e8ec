// The words the commands show for the player interface's values.
#include "Player.h"

namespace jarvet {

const char* StatusWord(TPlayStatus status) {
  switch (status) {
    case TPlayStatus::Playing: return "playing";
    case TPlayStatus::Paused: return "paused";
    case TPlayStatus::Stopped: return "stopped";
    case TPlayStatus::Unknown: break;
  }
  return "unknown";
}

const char* FeatureName(TFeature feature) {
  switch (feature) {
    case TFeature::Control: return "playback control";
    case TFeature::Seek: return "seeking";
    case TFeature::Volume: return "volume";
    case TFeature::Shuffle: return "shuffle";
    case TFeature::Repeat: return "repeat";
    case TFeature::Playlist: return "a playlist";
    case TFeature::Open: return "opening files";
    case TFeature::Close: return "closing";
    case TFeature::TrackTexts: return "track details";
  }
  return "that";
}

}  // namespace jarvet
