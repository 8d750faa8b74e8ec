// The now-playing facts kept current poll by poll with the cheap questions only.
#include "FactsPoller.h"

#include <algorithm>
#include <cstdint>

#include "Text.h"

namespace jarvet {

TFactsPoller::TFactsPoller(TFactNeeds needs) : Needs_(needs) {
  Needs_.Track = true;  // a change of track is what is watched for
}

const TTrackFacts* TFactsPoller::Poll(TPlayer& player) {
  const bool playlist = player.Offers(TFeature::Playlist);
  const std::optional<std::int32_t> position =
      playlist ? std::optional<std::int32_t>(player.PlaylistPosition()) : std::nullopt;
  const std::string file = player.CurrentFile();
  if (player.IsGone()) return nullptr;
  TrackChanged_ = !Facts_ || position != Facts_->PlaylistPos || file != Playing_;
  if (TrackChanged_) {
    Facts_ = GatherFacts(player, Needs_, Tags_);
    Playing_ = file;
  } else {
    Facts_->Status = player.Status();
    if (Needs_.Times) Facts_->PositionMs = player.PositionMs();
    if (IsUrl(Facts_->File)) Facts_->Player = player.CurrentTrack();
    if (Needs_.Volume && player.Offers(TFeature::Volume)) Facts_->Volume = player.Volume();
    if (Needs_.Flags) {
      if (player.Offers(TFeature::Shuffle)) Facts_->Shuffle = player.Shuffle();
      if (player.Offers(TFeature::Repeat)) Facts_->Repeat = player.Repeat();
    }
    if (Needs_.Info) Facts_->Figures = player.Figures();
    if (Needs_.Playlist && playlist) Facts_->PlaylistLength = player.PlaylistLength();
  }
  if (player.IsGone()) return nullptr;
  PolledAt_ = std::chrono::steady_clock::now();
  PolledPosition_ = Facts_->PositionMs;
  return &*Facts_;
}

const TTrackFacts* TFactsPoller::Advance() {
  if (!Facts_ || !PolledPosition_ || Facts_->Status != TPlayStatus::Playing) return nullptr;
  const auto passed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - PolledAt_);
  std::int64_t position = *PolledPosition_ + passed.count();
  const std::optional<std::int32_t> length = Facts_->LengthMs;
  if (length) position = std::min<std::int64_t>(position, *length);
  Facts_->PositionMs = static_cast<std::int32_t>(std::min<std::int64_t>(position, INT32_MAX));
  return &*Facts_;
}

}  // namespace jarvet
