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
  constexpr char kNoAnswer[] = "jarvet: the player did not answer\r\n";
  const struct {
    Strings Parameters;
    int Status;
    const char* Output;
    const char* Errors;
  } cases[] = {
      {{"VERSION"}, 0, "0\r\n", ""},
      {{"STOP"}, 0, "Playback stopped\r\n", ""},
      {{"PAUSE"}, 0, "Playback resumed\r\n", ""},
      {{"FF", "20"}, 0, "Fast forwarding 20 s\r\n", ""},
      {{"STATUS"}, 3, "", kNoAnswer},
      {{"VOLUME", "+5"}, 3, "", kNoAnswer},
      {{"LIST"}, 3, "", kNoAnswer},
      {{"NOW"}, 3, "", kNoAnswer},
      // The fault: WATCH ended with 0, as when the player closes.
      {{"WATCH"}, 3, "", kNoAnswer},
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
    EXPECT_EQ(result.Errors, cases[i].Errors) << cases[i].Parameters[0];
  }
  // Each run waits once, for 10 s at the most; they ran side by side.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(25));
  KillPlayer();
}

// A player that answers a while, then hangs: WATCH has written its line and then says that the
// player did not answer, where a player that closes ends it with 0.
TEST_F(HangTest, WatchSaysThatAPlayerThatHangsPartwayDidNotAnswer) {
  StartPlayer({"--entry", "a.mp3|100|A", "--status", "playing", "--frozen-after", "40"});
  const auto start = std::chrono::steady_clock::now();
  const TProcessResult result = Jarvet({"WATCH", "{title} {status}"});
  EXPECT_EQ(result.Status, 3);
  EXPECT_EQ(result.Output, "A playing\r\n");
  EXPECT_EQ(result.Errors, "jarvet: the player did not answer\r\n");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(25));
  KillPlayer();
}

}  // namespace
}  // namespace jarvet::testing
