// A temporary directory with a private session bus for real MPRIS players, and runs of jarvet
// on that bus. POSIX only.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/RealPlayers.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace jarvet::testing {

class MprisFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the player with these files (paths or URLs) and waits until it is on the bus.
  void StartMpv(const std::vector<std::string>& files,
                const std::vector<std::string>& options = {});
  void StartVlc(const std::vector<std::string>& files);
  void StartAudacious(const std::vector<std::string>& files);

  // Runs jarvet with the parameters as given, the player's name first.
  TProcessResult Jarvet(const std::vector<std::string>& parameters) const;
  // Copies a file of tests/data (e.g. "players/second-ffmpeg.mp3") into Dir as name; answers
  // its path.
  std::string Track(const std::string& fixture, const std::string& name) const;
  // A file of tests/data.
  std::string FixturePath(const std::string& relative) const;
  std::string ReadFile(const std::string& path) const;

  std::string Dir;
  std::unique_ptr<TPrivateBus> Bus;
  std::unique_ptr<TMpv> Mpv;
  std::unique_ptr<TVlc> Vlc;
  std::unique_ptr<TAudacious> Audacious;

 private:
  std::unique_ptr<TTempDir> Temp_;
};

}  // namespace jarvet::testing
