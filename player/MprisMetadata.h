// What an MPRIS player says of a track, decoded from values already taken off the bus: pure
// functions, so that tests and the fuzz target need no bus. The values are untrusted: a wrong
// type, text that is not UTF-8 or a URI that does not decode leaves its field absent.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "Player.h"

namespace jarvet {

// One value of a variant as read off the bus, neutral of the bus library. Strings, object
// paths and signatures are Text; every integer type is Integer (a 64-bit unsigned one above
// INT64_MAX is Other); arrays of strings or object paths are TextList; anything else is Other.
struct TBusOther {};
using TBusValue = std::variant<TBusOther, std::string, std::int64_t, double, bool,
                               std::vector<std::string>>;
using TBusDictionary = std::vector<std::pair<std::string, TBusValue>>;

// Most entries the reader keeps of one array; a longer array is read as Other.
constexpr std::size_t kMaxBusListItems = 1000;
// Longest text the reader keeps (a cover as a data: URI is the longest expected); a longer one
// is read as Other.
constexpr std::size_t kMaxBusTextBytes = 16 * 1024 * 1024;

struct TMprisTrack {
  std::string TrackId;  // mpris:trackid, empty where absent
  TPlayerTrack Track;
};

TMprisTrack DecodeMetadata(const TBusDictionary& metadata);

// "file://" URIs as local paths: the host empty or "localhost", percent escapes decoded; none
// when an escape is malformed or the path would hold a control character or not be UTF-8.
std::optional<std::string> FileUriToPath(std::string_view uri);
// A local path as a "file://" URI, every byte outside the unreserved ones and "/" escaped.
std::string PathToFileUri(std::string_view absolutePath);
// Whether a "data:" URI decodes: base64 without stray characters, or valid percent escapes.
bool IsDecodableDataUri(std::string_view uri);

// Microseconds on the bus as milliseconds, rounded down; none where they do not fit.
std::optional<std::int32_t> MicrosecondsToMs(std::int64_t microseconds);

// Volume: 1.0 is 255, rounded half up, clamped to 0-255; NaN reads as 0.
std::int32_t VolumeFromBus(double volume);
double VolumeToBus(std::int32_t volume);

// Which bus names a player parameter addresses: "mpris" (or "mpris:") any player,
// "mpris:NAME" or "NAME" org.mpris.MediaPlayer2.NAME or org.mpris.MediaPlayer2.NAME.instance...
// Returns the matching names of the list, in the list's order.
std::vector<std::string> MatchingPlayerNames(std::string_view parameter,
                                             const std::vector<std::string>& busNames);
// Of the candidates with their status, the first playing, else the first paused, else the
// first; none when there is no candidate.
std::optional<std::size_t> PreferredPlayer(const std::vector<TPlayStatus>& statuses);

TPlayStatus StatusFromBus(std::string_view playbackStatus);

}  // namespace jarvet
