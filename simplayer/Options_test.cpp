#include "Options.h"

#include <gtest/gtest.h>

#include <vector>

namespace jarvet::simplayer {
namespace {

std::optional<std::string> Parse(std::vector<const char*> arguments, TOptions& options) {
  arguments.insert(arguments.begin(), "winamp.exe");
  return ParseCommandLine(static_cast<int>(arguments.size()), arguments.data(), "/player",
                          options);
}

TEST(SimPlayerOptions, ReadsTheStateAndTheFile) {
  TOptions options;
  ASSERT_EQ(Parse({"--entry", "/m/a.mp3|61|Song A", "--entry", "/m/b.mp3", "--position", "1",
                   "--status", "paused", "--time", "5000", "--volume", "255", "--version",
                   "0x5094", "--journal", "/j/journal.log", "--frozen-after", "40", "/add",
                   "list.m3u"},
                  options),
            std::nullopt);
  ASSERT_EQ(options.State.Entries.size(), 2u);
  EXPECT_EQ(options.State.Entries[0].Length, 61);
  EXPECT_EQ(options.State.Entries[0].Title, "Song A");
  EXPECT_EQ(options.State.Entries[1].Length, -1);
  EXPECT_EQ(options.State.Position, 1);
  EXPECT_EQ(options.State.Status, TStatus::Paused);
  EXPECT_EQ(options.State.Time, 5000);
  EXPECT_EQ(options.State.Volume, 255);
  EXPECT_EQ(options.State.Version, 0x5094);
  EXPECT_TRUE(options.Add);
  EXPECT_EQ(options.File, "list.m3u");
  EXPECT_EQ(options.State.Directory, "/player");
  EXPECT_EQ(options.JournalPath, "/j/journal.log");
  EXPECT_EQ(options.FrozenAfter, 40);

  TOptions empty;  // position 0 of an empty playlist, and the directory given
  ASSERT_EQ(Parse({"--position", "0", "--dir", "/d"}, empty), std::nullopt);
  EXPECT_EQ(empty.State.Directory, "/d");
  EXPECT_EQ(empty.JournalPath, "") << "a journal only where asked for";
  EXPECT_EQ(StartMessage("W", empty),
            "winamp.exe: serving the window W for the player directory /d, journal none\n");
  EXPECT_EQ(empty.File, std::nullopt);
}

TEST(SimPlayerOptions, RefusesWhatItCannotRead) {
  const std::vector<std::vector<const char*>> bad = {
      {"--volume", "256"},
      {"--volume", " 1"},
      {"--time", "-1"},
      {"--frozen-after", "-1"},
      {"--bitrate", "2147483648"},
      {"--version", "5094h"},
      {"--status", "Playing"},
      {"--entry", "|12"},
      {"--entry", "a.mp3|x"},
      {"--position", "1"},  // no entry there
      {"--speed", "2"},
      {"--dir"},
      {"/ADD"},
      {"a.m3u", "b.m3u"},
  };
  for (const auto& arguments : bad) {
    TOptions options;
    EXPECT_NE(Parse(arguments, options), std::nullopt) << arguments[0];
  }
}

TEST(SimPlayerOptions, ParseIntTakesWholeNumbersOnly) {
  EXPECT_EQ(ParseInt("-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseInt("0xFFFFFFFF", true), -1);
  EXPECT_EQ(ParseInt("0x10"), std::nullopt);  // hex only where asked for
  EXPECT_EQ(ParseInt("+1"), std::nullopt);
  EXPECT_EQ(ParseInt("12 "), std::nullopt);
  EXPECT_EQ(ParseInt(""), std::nullopt);
}

}  // namespace
}  // namespace jarvet::simplayer
