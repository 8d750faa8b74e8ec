// jarvet against a player that hangs: every run ends within its bound.
#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "support/PlayerFixture.h"

namespace jarvet::testing {
namespace {

using Strings = std::vector<std::string>;
using HangTest = PlayerFixture;

// The player window takes messages but never answers them.
TEST_F(HangTest, AFrozenPlayerHoldsNoRunBeyondItsBound) {
  StartPlayer({"--frozen"});
  const struct {
    Strings Parameters;
    int Status;
    const char* Output;
  } cases[] = {
      {{"VERSION"}, 0, "0\r\n"},
      {{"STOP"}, 0, "Playback stopped\r\n"},
      {{"PAUSE"}, 0, "Playback resumed\r\n"},
      {{"FF", "20"}, 0, "Fast forwarding 20 s\r\n"},
      {{"STATUS"}, 3, ""},
      {{"VOLUME", "+5"}, 3, ""},
      {{"LIST"}, 3, ""},
  };
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::future<TProcessResult>> runs;
  for (const auto& c : cases) {
    runs.push_back(std::async(std::launch::async, [this, &c] { return Jarvet(c.Parameters); }));
  }
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const TProcessResult result = runs[i].get();
    EXPECT_EQ(result.Status, cases[i].Status) << cases[i].Parameters[0];
    EXPECT_EQ(result.Output, cases[i].Output) << cases[i].Parameters[0];
  }
  // Each run waits once, for 10 s at the most; they ran side by side.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(25));
  KillPlayer();
}

}  // namespace
}  // namespace jarvet::testing
