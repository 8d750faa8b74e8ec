// For the fully static program: a directory names a window-message player, served here; any
// other word an MPRIS player, which the companion program jarvet-mpris beside this one serves
// (it can load the D-Bus library, which a static program cannot). The run is handed over whole.
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "Connect.h"
#include "Failure.h"
#include "File.h"

namespace jarvet {

namespace {

constexpr char kCompanionName[] = "jarvet-mpris";

// What a run has where no player can be reached: it says so to every question.
class TNoPlayer : public TPlayer {
 public:
  bool IsRunning() const override { return false; }
  bool IsGone() const override { return true; }
  bool IsHung() const override { return false; }
  std::string Identity() override { return Fail(), ""; }
  bool Offers(TFeature) override { return Fail(), false; }
  std::string VersionText() override { return Fail(), ""; }
  void Play() override { Fail(); }
  void Stop() override { Fail(); }
  bool TogglePause() override { return Fail(), false; }
  void Next() override { Fail(); }
  void Previous() override { Fail(); }
  void FadeOut() override { Fail(); }
  void Close() override { Fail(); }
  TPlayStatus Status() override { return Fail(), TPlayStatus::Unknown; }
  std::optional<std::int32_t> PositionMs() override { return Fail(), std::nullopt; }
  std::optional<std::int32_t> LengthMs() override { return Fail(), std::nullopt; }
  void StepBy(std::int64_t) override { Fail(); }
  void SeekTo(std::int32_t) override { Fail(); }
  std::int32_t Volume() override { return Fail(), 0; }
  void SetVolume(std::int32_t) override { Fail(); }
  void StepVolume(std::int32_t) override { Fail(); }
  bool Shuffle() override { return Fail(), false; }
  void SetShuffle(bool) override { Fail(); }
  bool Repeat() override { return Fail(), false; }
  void SetRepeat(bool) override { Fail(); }
  std::int32_t PlaylistLength() override { return Fail(), 0; }
  std::int32_t PlaylistPosition() override { return Fail(), 0; }
  void GoTo(std::int32_t) override { Fail(); }
  void ClearPlaylist() override { Fail(); }
  std::vector<TEntry> Entries() override { return Fail(), std::vector<TEntry>(); }
  std::optional<std::int32_t> Add(const std::vector<std::string>&) override {
    return Fail(), std::nullopt;
  }
  std::optional<std::int32_t> Open(const std::vector<std::string>&) override {
    return Fail(), std::nullopt;
  }
  std::optional<std::int32_t> LoadListFile(const std::string&, bool) override {
    return Fail(), std::nullopt;
  }
  TPlaylist ListedFiles() override { return Fail(), TPlaylist(); }
  std::int32_t ListedPosition() override { return Fail(), 0; }
  std::string CurrentFile() override { return Fail(), ""; }
  TPlayerTrack CurrentTrack() override { return Fail(), TPlayerTrack(); }
  TPlayerFigures Figures() override { return Fail(), TPlayerFigures(); }
  TInfoFigures InfoFigures() override { return Fail(), TInfoFigures(); }
  bool WaitForChange(int) override { return Fail(), false; }

 private:
  [[noreturn]] static void Fail() { throw EProblem(kExitNoPlayer, "no player running"); }
};

// This run's own arguments, as the kernel holds them: handed on unchanged.
std::vector<std::string> OwnArguments() {
  std::ifstream file("/proc/self/cmdline", std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  std::vector<std::string> arguments;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find('\0', start);
    arguments.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return arguments;
}

std::string CompanionPath() {
  char self[4096];
  const ssize_t size = readlink("/proc/self/exe", self, sizeof self - 1);
  if (size <= 0) return kCompanionName;
  const std::string path(self, static_cast<std::size_t>(size));
  return path.substr(0, path.rfind('/') + 1) + kCompanionName;
}

}  // namespace

std::unique_ptr<TPlayer> ConnectPlayer(const std::string& parameter, TPlatform& platform) {
  if (IsDirectory(parameter)) return ConnectWindowPlayer(parameter, platform);
  const std::vector<std::string> arguments = OwnArguments();
  if (!arguments.empty()) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const std::string companion = CompanionPath();
    execv(companion.c_str(), argv.data());  // returns only where it could not start
  }
  return std::make_unique<TNoPlayer>();
}

}  // namespace jarvet
