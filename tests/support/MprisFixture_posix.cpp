// The MPRIS fixture: a private bus per test, its players ended before the bus and the directory.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "support/MprisFixture.h"

namespace jarvet::testing {

namespace fs = std::filesystem;

void MprisFixture::SetUp() {
  Temp_ = std::make_unique<TTempDir>("jarvet-mpris");
  ASSERT_TRUE(Temp_->Ok());
  Dir = Temp_->Path();
  Bus = std::make_unique<TPrivateBus>(Dir);
  ASSERT_TRUE(Bus->Ok()) << "dbus-daemon did not start; see " << Dir << "/bus.log";
  // jarvet and the tools inherit it; this test's process is its own.
  setenv("DBUS_SESSION_BUS_ADDRESS", Bus->Address().c_str(), 1);
}

void MprisFixture::TearDown() {
  Mpv.reset();
  Vlc.reset();
  Audacious.reset();
  Bus.reset();
  Temp_.reset();
}

void MprisFixture::StartMpv(const std::vector<std::string>& files,
                            const std::vector<std::string>& options) {
  Mpv = std::make_unique<TMpv>(TPlayerSetup{Dir, Bus.get()}, files, options);
  ASSERT_TRUE(Mpv->Ready()) << "mpv did not start; see " << Dir << "/mpv.log";
}

void MprisFixture::StartVlc(const std::vector<std::string>& files) {
  Vlc = std::make_unique<TVlc>(TPlayerSetup{Dir, Bus.get()}, files);
  ASSERT_TRUE(Vlc->Ready()) << "VLC did not start; see " << Dir << "/vlc.log";
}

void MprisFixture::StartAudacious(const std::vector<std::string>& files) {
  Audacious = std::make_unique<TAudacious>(TPlayerSetup{Dir, Bus.get()}, files);
  ASSERT_TRUE(Audacious->Ready()) << "Audacious did not start; see " << Dir << "/audacious.log";
}

TProcessResult MprisFixture::Jarvet(const std::vector<std::string>& parameters) const {
  TProcessResult result = RunProcess(JARVET_PROGRAM, parameters);
  if (!result.Errors.empty()) std::cerr << "jarvet's standard error: " << result.Errors;
  return result;
}

std::string MprisFixture::FixturePath(const std::string& relative) const {
  return std::string(JARVET_TEST_DATA) + "/" + relative;
}

std::string MprisFixture::Track(const std::string& fixture, const std::string& name) const {
  const fs::path target = fs::u8path(Dir) / fs::u8path(name);
  std::error_code error;
  fs::copy_file(FixturePath(fixture), target, fs::copy_options::overwrite_existing, error);
  EXPECT_FALSE(error) << fixture << ": " << error.message();
  // VLC may run as another user, whatever the umask.
  fs::permissions(target, fs::perms::group_read | fs::perms::others_read, fs::perm_options::add,
                  error);
  return target.u8string();
}

std::string MprisFixture::ReadFile(const std::string& path) const {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace jarvet::testing
