// The now-playing facts kept current poll by poll with the cheap questions only: the status,
// the entry, the playing file and the position; the track's tags only when its file changes.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "TrackFields.h"

namespace jarvet {

class TFactsPoller {
 public:
  explicit TFactsPoller(TFactNeeds needs);

  // The facts now; none once the player has gone.
  const TTrackFacts* Poll(TPlayer& player);
  // The facts with the play position moved on by the time since the last poll, for a player
  // that tells of its changes but not of its position moving; none where nothing moves.
  const TTrackFacts* Advance();
  const TTrackFacts* Facts() const { return Facts_ ? &*Facts_ : nullptr; }
  // Whether the last Poll found another track (or the first) and gathered everything anew.
  bool TrackChanged() const { return TrackChanged_; }

 private:
  TFactNeeds Needs_;
  TTagCache Tags_;
  std::optional<TTrackFacts> Facts_;
  std::string Playing_;
  bool TrackChanged_ = false;
  std::chrono::steady_clock::time_point PolledAt_;
  std::optional<std::int32_t> PolledPosition_;
};

}  // namespace jarvet
