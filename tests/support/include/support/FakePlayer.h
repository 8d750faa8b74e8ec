// A stand-in for the player interface: records every call by name and answers from its fields,
// so a command test says "TOGGLE called Play" without any protocol.
#pragma once

#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Failure.h"
#include "Player.h"

namespace jarvet::testing {

class TFakePlayer : public TPlayer {
 public:
  bool Running = true;
  bool Gone = false;
  bool Hung = false;
  std::string Name = "fake";
  std::set<TFeature> Lacks;        // features it does not offer
  std::string FailingCall;         // a call that raises Problem
  int ProblemStatus = kExitNoPlayer;
  // Every call, in order, with its argument; shared, so that it outlives a run that owns the
  // player.
  std::shared_ptr<std::vector<std::string>> Calls = std::make_shared<std::vector<std::string>>();

  TPlayStatus PlayStatus = TPlayStatus::Playing;
  std::optional<std::int32_t> Position = 60000, Length = 245000;
  std::int32_t Vol = 100;
  bool ShuffleOn = false, RepeatOn = false;
  std::vector<TEntry> Playlist{{"One", "/music/one.mp3"}, {"", "/music/two.mp3"}};
  std::int32_t Current = 0;
  TPlayerTrack Track;
  // Counts what it adds by its own calls, as an MPRIS player does; a list file holds this many.
  bool CountsItself = false;
  std::int32_t ListEntries = 3;
  TPlayerFigures PlayerFigures;
  TInfoFigures Info{128, 245, 60000};

  bool IsRunning() const override { return Running; }
  bool IsGone() const override { return Gone; }
  bool IsHung() const override { return Hung; }
  std::string Identity() override { return Name; }
  bool Offers(TFeature feature) override { return Lacks.count(feature) == 0; }
  std::string VersionText() override { return Call("VersionText"), Name; }

  void Play() override { Call("Play"), PlayStatus = TPlayStatus::Playing; }
  void Stop() override { Call("Stop"), PlayStatus = TPlayStatus::Stopped; }
  bool TogglePause() override {
    Call("TogglePause");
    PlayStatus = PlayStatus == TPlayStatus::Paused ? TPlayStatus::Playing : TPlayStatus::Paused;
    return PlayStatus == TPlayStatus::Paused;
  }
  void Next() override { Call("Next"); }
  void Previous() override { Call("Previous"); }
  void FadeOut() override { Call("FadeOut"), PlayStatus = TPlayStatus::Stopped; }
  void Close() override { Call("Close"); }

  TPlayStatus Status() override { return Call("Status"), PlayStatus; }
  std::optional<std::int32_t> PositionMs() override { return Call("PositionMs"), Position; }
  std::optional<std::int32_t> LengthMs() override { return Call("LengthMs"), Length; }
  void StepBy(std::int64_t milliseconds) override { Call("StepBy " + std::to_string(milliseconds)); }
  void SeekTo(std::int32_t milliseconds) override {
    Call("SeekTo " + std::to_string(milliseconds));
    Position = milliseconds;
  }

  std::int32_t Volume() override { return Call("Volume"), Vol; }
  void SetVolume(std::int32_t volume) override {
    Call("SetVolume " + std::to_string(volume));
    Vol = volume;
  }
  void StepVolume(std::int32_t steps) override { Call("StepVolume " + std::to_string(steps)); }
  bool Shuffle() override { return Call("Shuffle"), ShuffleOn; }
  void SetShuffle(bool on) override { Call(on ? "SetShuffle on" : "SetShuffle off"), ShuffleOn = on; }
  bool Repeat() override { return Call("Repeat"), RepeatOn; }
  void SetRepeat(bool on) override { Call(on ? "SetRepeat on" : "SetRepeat off"), RepeatOn = on; }

  std::int32_t PlaylistLength() override {
    return Call("PlaylistLength"), static_cast<std::int32_t>(Playlist.size());
  }
  std::int32_t PlaylistPosition() override { return Call("PlaylistPosition"), Current; }
  void GoTo(std::int32_t index) override { Call("GoTo " + std::to_string(index)), Current = index; }
  void ClearPlaylist() override { Call("ClearPlaylist"), Playlist.clear(); }
  std::vector<TEntry> Entries() override { return Call("Entries"), Playlist; }
  std::optional<std::int32_t> Add(const std::vector<std::string>& files) override {
    for (const std::string& file : files) Call("Add " + file), Playlist.push_back({"", file});
    return CountsItself ? std::optional<std::int32_t>(static_cast<std::int32_t>(files.size()))
                        : std::nullopt;
  }
  std::optional<std::int32_t> Open(const std::vector<std::string>& files) override {
    Call("Open");
    Playlist.clear();
    for (const std::string& file : files) Playlist.push_back({"", file});
    return CountsItself ? std::optional<std::int32_t>(static_cast<std::int32_t>(files.size()))
                        : std::nullopt;
  }
  std::optional<std::int32_t> LoadListFile(const std::string& path, bool replace) override {
    Call((replace ? "LoadListFile replace " : "LoadListFile append ") + path);
    return CountsItself ? std::optional<std::int32_t>(ListEntries) : std::nullopt;
  }
  std::int32_t ListedPosition() override { return Call("ListedPosition"), Current; }
  TPlaylist ListedFiles() override {
    Call("ListedFiles");
    TPlaylist list;
    for (const TEntry& entry : Playlist) list.Add(entry.File);
    return list;
  }

  std::string CurrentFile() override {
    Call("CurrentFile");
    return Current >= 0 && Current < static_cast<std::int32_t>(Playlist.size())
               ? Playlist[static_cast<std::size_t>(Current)].File
               : Track.File;
  }
  TPlayerTrack CurrentTrack() override { return Call("CurrentTrack"), Track; }
  TPlayerFigures Figures() override { return Call("Figures"), PlayerFigures; }
  TInfoFigures InfoFigures() override { return Call("InfoFigures"), Info; }
  // A player that tells of its changes (and of none here) waits out the time and says nothing
  // changed; a polled one says something may have at once. It goes after WaitsUntilGone waits.
  bool EventDriven = false;
  int WaitsUntilGone = -1;
  bool WaitForChange(int timeoutMs) override {
    Call("WaitForChange");
    if (--WaitsUntilGone == 0) {
      Gone = true;
      return true;
    }
    if (!EventDriven) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
    return false;
  }

 private:
  void Call(const std::string& call) {
    Calls->push_back(call);
    if (!FailingCall.empty() && call.rfind(FailingCall, 0) == 0) {
      throw EProblem(ProblemStatus, "the player did not answer");
    }
  }
};

}  // namespace jarvet::testing
