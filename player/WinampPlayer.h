// TWinampPlayer: the player interface over the window-message player (TWinampApi).
#pragma once

#include <string>

#include "Platform.h"
#include "Player.h"
#include "WinampApi.h"

namespace jarvet {

class TWinampPlayer : public TPlayer {
 public:
  TWinampPlayer(TPlatform& platform, std::string winampDir) : Api_(platform, std::move(winampDir)) {}

  bool IsRunning() const override { return Api_.Handle != 0; }
  bool IsGone() const override { return Api_.IsGone(); }
  bool IsHung() const override { return Api_.IsHung(); }
  std::string Identity() override { return "Winamp"; }
  bool Offers(TFeature feature) override { return feature != TFeature::TrackTexts; }
  std::string VersionText() override;

  void Play() override { Api_.Play(); }
  void Stop() override { Api_.Stop(); }
  bool TogglePause() override;
  void Next() override { Api_.NextTrack(); }
  void Previous() override { Api_.PrevTrack(); }
  void FadeOut() override { Api_.FadeOut(); }
  void Close() override { Api_.CloseWinamp(); }

  TPlayStatus Status() override;
  std::optional<std::int32_t> PositionMs() override;
  std::optional<std::int32_t> LengthMs() override;
  void StepBy(std::int64_t milliseconds) override;
  void SeekTo(std::int32_t milliseconds) override { Api_.SeekTo(milliseconds); }

  std::int32_t Volume() override { return Api_.GetVolume(); }
  void SetVolume(std::int32_t volume) override { Api_.SetVolume(volume); }
  void StepVolume(std::int32_t steps) override;
  bool Shuffle() override { return Api_.GetShuffle(); }
  void SetShuffle(bool on) override { Api_.SetShuffle(on); }
  bool Repeat() override { return Api_.GetRepeat(); }
  void SetRepeat(bool on) override { Api_.SetRepeat(on); }

  std::int32_t PlaylistLength() override { return Api_.GetPlaylistLength(); }
  std::int32_t PlaylistPosition() override { return Api_.GetPlaylistPos(); }
  void GoTo(std::int32_t index) override { Api_.SetPlaylistPos(index); }
  void ClearPlaylist() override { Api_.ClearPlaylist(); }
  std::vector<TEntry> Entries() override;
  std::optional<std::int32_t> Add(const std::vector<std::string>& files) override;
  std::optional<std::int32_t> Open(const std::vector<std::string>& files) override;
  std::optional<std::int32_t> LoadListFile(const std::string& path, bool replace) override;
  TPlaylist ListedFiles() override;
  std::int32_t ListedPosition() override { return Api_.GetPlaylistPos(); }

  std::string CurrentFile() override;
  TPlayerTrack CurrentTrack() override;
  TPlayerFigures Figures() override;
  TInfoFigures InfoFigures() override;
  bool WaitForChange(int timeoutMs) override;

 private:
  TWinampApi Api_;
};

}  // namespace jarvet
