// Without sd-bus: a libsystemd.so.0 of none of its functions, put first in the library path
// of a second run of this test program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "Failure.h"
#include "MprisPlayer.h"
#include "support/RunProcess.h"

namespace jarvet {
namespace {

constexpr const char* kInnerRun = "JARVET_TEST_WITHOUT_SD_BUS";

TEST(NoSdBus, AnMprisPlayerIsNotRunningAndSaysSo) {
  if (std::getenv(kInnerRun) == nullptr) {
    setenv(kInnerRun, "1", 1);
    setenv("LD_LIBRARY_PATH", JARVET_FAKE_SYSTEMD_DIR, 1);
    const auto result = testing::RunProcess(
        "/proc/self/exe", {"--gtest_filter=NoSdBus.AnMprisPlayerIsNotRunningAndSaysSo"});
    unsetenv(kInnerRun);
    EXPECT_EQ(result.Status, 0) << result.Output << result.Errors;
    EXPECT_NE(result.Output.find("[  PASSED  ] 1 test"), std::string::npos) << result.Output;
    return;
  }
  auto player = ConnectMprisPlayer("mpris");
  EXPECT_FALSE(player->IsRunning());
  try {
    player->Offers(TFeature::Volume);
    ADD_FAILURE() << "no problem raised";
  } catch (const EProblem& problem) {
    EXPECT_EQ(problem.Status(), kExitNoPlayer);
    EXPECT_EQ(problem.Message(), "no player running");
  }
}

}  // namespace
}  // namespace jarvet
