// What the now-playing commands know of the current track and the player, gathered with as few
// messages as the fields in use need, and shown as template text or as JSON.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "TrackTags.h"
#include "Player.h"

namespace jarvet {

// How a field's value stands in JSON; null where it has none.
enum class TJsonType { Text, Number, Flag };

// The fields' names, in their documented order (the JSON object's key order); a template's
// field is its index here.
const std::vector<std::string>& FieldNames();
// Each field's name and one-line description, for HELP.
std::vector<std::pair<std::string, std::string>> FieldHelp();

struct TTrackFacts {
  TPlayStatus Status = TPlayStatus::Unknown;
  // Absent where the player has no playlist.
  std::optional<std::int32_t> PlaylistLength;
  std::optional<std::int32_t> PlaylistPos;  // from 0
  std::string File;                         // UTF-8; empty with no entry
  TPlayerTrack Player;                      // what the player says of the track
  std::optional<tags::TTrackTags> Tags;
  std::optional<std::int32_t> PositionMs, LengthMs;
  TPlayerFigures Figures;
  std::optional<std::int32_t> Volume;
  std::optional<bool> Shuffle, Repeat;
};

// Which of the player's facts to ask for.
struct TFactNeeds {
  bool Track = false;  // the file, its tags and the player's title
  bool Status = false, Times = false, Info = false, Volume = false, Flags = false,
       Playlist = false;
};

TFactNeeds NeedsOf(const std::vector<std::size_t>& fields);
TFactNeeds EveryNeed();

// The tags of the last file asked for, read again only for another file.
class TTagCache {
 public:
  const std::optional<tags::TTrackTags>& For(const std::string& file);

 private:
  std::optional<std::string> File_;
  std::optional<tags::TTrackTags> Tags_;
};

TTrackFacts GatherFacts(TPlayer& player, const TFactNeeds& needs, TTagCache& tags);
// Whether the player has anything loaded to show.
bool HasTrack(const TTrackFacts& facts);

// The field as template text: empty when it has no value.
std::string FieldText(const TTrackFacts& facts, std::size_t field);
// Every field as one JSON object on one line.
std::string FactsJson(const TTrackFacts& facts);

// "M:SS", "H:MM:SS" from an hour on.
std::string ClockTime(std::int64_t milliseconds);

}  // namespace jarvet
