// What the player fixture does the same way on every platform.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "support/PlayerFixture.h"

namespace jarvet::testing {

void PlayerFixture::TearDown() {
  StopPlayer();
  Temp_.reset();
}

void PlayerFixture::KillPlayer() {
  KillProcess(PlayerProcess);
  PlayerProcess = -1;
}

TProcessResult PlayerFixture::Jarvet(const std::vector<std::string>& parameters) const {
  std::vector<std::string> all{Dir};
  all.insert(all.end(), parameters.begin(), parameters.end());
  TProcessResult result = RunProcess(JARVET_PROGRAM, all);
  // jarvet writes there only a report that standard output did not take: a rare failure should
  // leave its reason in the test's log.
  if (!result.Errors.empty()) std::cerr << "jarvet's standard error: " << result.Errors;
  return result;
}

TProcessResult PlayerFixture::JarvetUtf8(const std::vector<std::string>& parameters) const {
  std::vector<std::string> all{Dir};
  all.insert(all.end(), parameters.begin(), parameters.end());
  return RunProcessUtf8(JARVET_PROGRAM, all);
}

std::vector<std::string> PlayerFixture::JournalFrom(std::size_t first) const {
  const std::vector<std::string> journal = Journal();
  return std::vector<std::string>(
      journal.begin() + static_cast<long>(std::min(first, journal.size())), journal.end());
}

std::string PlayerFixture::JournalPath() const {
  return (std::filesystem::path(Dir) / "journal.log").string();
}

std::vector<std::string> PlayerFixture::Journal() const {
  std::ifstream in(JournalPath());
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void PlayerFixture::WriteFile(const std::string& path, const std::string& bytes) const {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string PlayerFixture::ReadFile(const std::string& path) const {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool PlayerFixture::FileExists(const std::string& path) const {
  std::error_code ignored;
  return std::filesystem::exists(path, ignored);
}

}  // namespace jarvet::testing
