// A first parameter that is not a directory names an MPRIS player, which the program serves
// through its companion where it has one; with no bus, no such player or no companion beside
// it, every command, the eighteen included, ends with exit 3 and nothing on standard output.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace jarvet::testing {
namespace {

namespace fs = std::filesystem;

TEST(MprisHandOver, NoPlayerToReachEndsEveryCommandWithThree) {
  // No session bus: the user's own players stay out of the test.
  setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
  TTempDir alone("jarvet-alone");
  ASSERT_FALSE(alone.Path().empty());
  const fs::path lonely = fs::path(alone.Path()) / "jarvet";
  fs::copy_file(JARVET_PROGRAM, lonely);
  for (const std::string& program : {std::string(JARVET_PROGRAM), lonely.string()}) {
    for (const char* command : {"NEXT", "VERSION", "STATUS", "INFO"}) {
      const TProcessResult run = RunProcess(program, {"no-such-player", command});
      EXPECT_EQ(run.Status, 3) << program << " " << command;
      EXPECT_EQ(run.Output, "") << program << " " << command;
      EXPECT_EQ(run.Errors, "jarvet: no player running\r\n") << program << " " << command;
    }
  }
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

}  // namespace
}  // namespace jarvet::testing
