// A temporary player directory with the simulated player in it, and runs of jarvet against it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/JournalLines.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace jarvet::testing {

class PlayerFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the simulated player in Dir with these options (see its --help).
  void StartPlayer(const std::vector<std::string>& options);
  // Asks the running player to close and waits for it.
  void StopPlayer();
  // Ends the player at once: one that hangs would not close.
  void KillPlayer();
  // Runs jarvet with the player directory and the further parameters.
  TProcessResult Jarvet(const std::vector<std::string>& parameters) const;
  // The same with UTF-8 parameters, through the wide command line on Windows.
  TProcessResult JarvetUtf8(const std::vector<std::string>& parameters) const;
  // Every message the players started by StartPlayer received, one "message wParam lParam" a
  // line.
  std::vector<std::string> Journal() const;
  // The journal's lines from the first-th on (what a run added, given the size before it).
  std::vector<std::string> JournalFrom(std::size_t first) const;
  std::string JournalPath() const;
  // Sends one message to the running player directly, as a second controller would.
  std::int32_t SendToPlayer(std::int32_t message, std::int32_t wParam, std::int32_t lParam) const;
  void WriteFile(const std::string& path, const std::string& bytes) const;
  std::string ReadFile(const std::string& path) const;
  bool FileExists(const std::string& path) const;

  std::string Dir;        // the player directory
  std::string WindowDir;  // where the player's window lives for this test alone (POSIX)
  long PlayerProcess = -1;

 private:
  std::unique_ptr<TTempDir> Temp_;
};

}  // namespace jarvet::testing
