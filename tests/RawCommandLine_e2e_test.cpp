// jarvet.exe started with exact raw command-line texts, as Windows hands them over: the argument
// text keeps what the caller typed between and around the parameters.
#include <gtest/gtest.h>

#include "support/PlayerFixture.h"

namespace jarvet::testing {
namespace {

class RawCommandLineTest : public PlayerFixture {};

TEST_F(RawCommandLineTest, ArgumentTextIsCutFromTheTextAsTyped) {
  StartPlayer({"--entry", "C:\\m\\a.mp3|245|A", "--status", "playing", "--volume", "100"});
  const std::string program = "\"" + std::string(JARVET_PROGRAM) + "\"";
  const std::string dir = "\"" + Dir + "\"";
  const struct {
    std::string Tail;  // what follows the program and the player directory
    const char* Output;
    std::size_t Messages;  // how many the player received
  } cases[] = {
      {" SETVOL \t  7 \t", "Setting volume to 7\r\n", 1},
      {"   ff    10", "Fast forwarding 10 s\r\n", 2},
      {" \"SETVOL\" 9", "Setting volume to 9\r\n", 1},  // a quoted command word
      {" FF \"10\"", "", 0},                           // the quotes stay in the argument
      {" VOLUP 1 2", "", 0},                           // so do further parameters
      {" SEEK \"\"", "", 0},
      {" VOLUP", "Increasing volume by 1 units\r\n", 1},
  };
  for (const auto& c : cases) {
    const std::size_t before = Journal().size();
    const TProcessResult result = RunCommandLine(JARVET_PROGRAM, program + " " + dir + c.Tail);
    EXPECT_EQ(result.Status, 0) << c.Tail;
    EXPECT_EQ(result.Output, c.Output) << c.Tail;
    EXPECT_EQ(Journal().size() - before, c.Messages) << c.Tail;
  }
  // The command word's letters earlier in the line, in the player directory and unquoted.
  const TProcessResult earlier =
      RunCommandLine(JARVET_PROGRAM, program + " " + Dir + "\\SETVOL\\x SETVOL 3");
  EXPECT_EQ(earlier.Output, "Setting volume to 3\r\n");
}

}  // namespace
}  // namespace jarvet::testing
