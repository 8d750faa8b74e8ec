// The newer commands run as a process against the simulated player: exact lines, problems on
// standard error, exit statuses and the messages the player received.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/PlayerFixture.h"

namespace jarvet::testing {
namespace {

using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

class ControlTest : public PlayerFixture {
 protected:
  void StartWithThreeTracks(const Strings& more = {}) {
    Strings options{"--entry", "/m/a.mp3|245|Song A", "--entry", "/m/b.mp3|100|B", "--entry",
                    "/m/c.ogg",  "--status", "playing", "--time", "60000", "--volume", "100",
                    "--shuffle", "on"};
    options.insert(options.end(), more.begin(), more.end());
    StartPlayer(options);
  }
};

TEST_F(ControlTest, EachCommandReachesThePlayer) {
  StartWithThreeTracks();
  const struct {
    Strings Parameters;
    const char* Output;
    Strings Journal;
  } cases[] = {
      {{"STATUS"}, "playing\r\n", {"1024 0 104"}},
      {{"volume"}, "100\r\n", {"1024 -666 122"}},
      {{"VOLUME", "50%"}, "128\r\n", {"1024 128 122", "1024 -666 122"}},
      {{"VOLUME", "+200"}, "255\r\n", {"1024 -666 122", "1024 255 122", "1024 -666 122"}},
      {{"VOLUME", "-5"}, "250\r\n", {"1024 -666 122", "1024 250 122", "1024 -666 122"}},
      {{"SHUFFLE"}, "on\r\n", {"1024 0 250"}},
      {{"SHUFFLE", "Off"}, "off\r\n", {"1024 0 252", "1024 0 250"}},
      {{"REPEAT", "toggle"}, "on\r\n", {"1024 0 251", "1024 1 253", "1024 0 251"}},
      {{"TOGGLE"}, "paused\r\n", {"1024 0 104", "273 40046 0", "1024 0 104"}},
      {{"TOGGLE"}, "playing\r\n", {"1024 0 104", "273 40046 0", "1024 0 104"}},
      {{"SEEKBY", "+1:30"}, "02:30\r\n", {"1024 0 105", "1024 2 105", "1024 150000 106"}},
      {{"SEEKBY", "-200"}, "00:00\r\n", {"1024 0 105", "1024 2 105", "1024 0 106"}},
      {{"SEEKBY", "+9:00"}, "04:05\r\n", {"1024 0 105", "1024 2 105", "1024 245000 106"}},
      {{"FADEOUT"}, "stopped\r\n", {"273 40147 0"}},
      {{"STATUS"}, "stopped\r\n", {"1024 0 104"}},
      {{"TOGGLE"}, "playing\r\n", {"1024 0 104", "273 40045 0", "1024 0 104"}},
      {{"LIST"},
       "1\tSong A\t/m/a.mp3\r\n2\tB\t/m/b.mp3\r\n3\tc\t/m/c.ogg\r\n",
       {"1024 0 124", "1024 0 214", "1024 0 213", "1024 1 214", "1024 1 213", "1024 2 214",
        "1024 2 213"}},
  };
  for (const auto& c : cases) {
    const std::size_t before = Journal().size();
    const TProcessResult result = Jarvet(c.Parameters);
    EXPECT_EQ(result.Status, 0) << c.Parameters[0] << ": " << result.Errors;
    EXPECT_EQ(result.Output, c.Output) << c.Parameters[0];
    EXPECT_EQ(result.Errors, "") << c.Parameters[0];
    EXPECT_EQ(JournalFrom(before), c.Journal) << c.Parameters[0];
  }
}

TEST_F(ControlTest, UnicodeFileNamesArriveIntactThroughAddAndList) {
  StartWithThreeTracks();
  const std::string name = "M\xC3\xABt\xC3\xA0l \xE6\x97\xA5\xE6\x9C\xAC";  // Mëtàl 日本
  const fs::path file = fs::u8path(Dir) / fs::u8path(name + ".mp3");
  std::ofstream(file) << "not really audio";
  const std::string path = file.u8string();

  std::size_t before = Journal().size();
  const TProcessResult added = JarvetUtf8({"ADD", path});
  EXPECT_EQ(added.Status, 0) << added.Errors;
  EXPECT_EQ(added.Output, "1\r\n");
  const Strings journal = JournalFrom(before);
  ASSERT_EQ(journal.size(), 4u);
  EXPECT_EQ(journal[0], "1024 0 124");
  EXPECT_EQ(journal[1], "1024 0 0") << "the version decides between ANSI and wide";
  EXPECT_EQ(journal[2].rfind("74 1100 ", 0), 0u);
  EXPECT_EQ(journal[2].substr(journal[2].size() - path.size()), path);

  const TProcessResult listed = Jarvet({"LIST"});
  EXPECT_EQ(listed.Status, 0);
  const std::string last = "4\t" + name + "\t" + path + "\r\n";
  ASSERT_GE(listed.Output.size(), last.size());
  EXPECT_EQ(listed.Output.substr(listed.Output.size() - last.size()), last);

  // OPEN replaces the playlist and plays it.
  before = Journal().size();
  const TProcessResult opened = JarvetUtf8({"OPEN", path, "http://radio.example/live"});
  EXPECT_EQ(opened.Output, "2\r\n");
  const Strings openJournal = JournalFrom(before);
  ASSERT_EQ(openJournal.size(), 7u);
  EXPECT_EQ(openJournal[0], "1024 0 101");
  EXPECT_EQ(openJournal[3], "74 1100 52 http://radio.example/live");
  EXPECT_EQ(Strings(openJournal.begin() + 4, openJournal.end()),
            (Strings{"1024 0 121", "273 40045 0", "1024 0 124"}));
  EXPECT_EQ(Jarvet({"STATUS"}).Output, "playing\r\n");
}

#ifndef _WIN32
// The fault: the shell's word was split again, by the Windows rules ("no such file: it's"), and
// no quoting brought a double quote through.
TEST_F(ControlTest, AddTakesEachWordAsTheShellGaveIt) {
  StartWithThreeTracks();
  const std::string file = Dir + "/it's \"quoted\" & name.mp3";
  WriteFile(file, "x");
  const std::string second = Dir + "/two  blanks.mp3";
  WriteFile(second, "x");
  const std::size_t before = Journal().size();
  const TProcessResult added = Jarvet({"ADD", file, second});
  EXPECT_EQ(added.Status, 0) << added.Errors;
  EXPECT_EQ(added.Output, "2\r\n");
  const Strings journal = JournalFrom(before);
  ASSERT_EQ(journal.size(), 5u);
  EXPECT_EQ(journal[2].substr(journal[2].size() - file.size()), file);
  EXPECT_EQ(journal[3].substr(journal[3].size() - second.size()), second);
  const TProcessResult missing = Jarvet({"OPEN", Dir + "/a \"b\" c.mp3"});
  EXPECT_EQ(missing.Status, 2);
  EXPECT_EQ(missing.Errors, "jarvet: no such file: " + Dir + "/a \"b\" c.mp3\r\n");
}
#endif

TEST_F(ControlTest, OlderPlayersGetAnsiPathsAndImitatorsTheDump) {
  StartWithThreeTracks({"--version", "0x2095", "--basic"});
  std::ofstream(Dir + "/plain.mp3") << "x";
  std::size_t before = Journal().size();
  EXPECT_EQ(Jarvet({"ADD", Dir + "/plain.mp3"}).Output, "1\r\n");
  const std::string fileName = fs::path(Dir + "/plain.mp3").lexically_normal().string();
  EXPECT_EQ(JournalFrom(before)[2], "74 100 " + std::to_string(fileName.size() + 1) + " " + fileName);

  // A player that answers no pointer request: the playlist dump, titled by its #EXTINF lines.
  before = Journal().size();
  const TProcessResult listed = Jarvet({"LIST"});
  EXPECT_EQ(listed.Output.rfind("1\tSong A\t/m/a.mp3\r\n2\tB\t/m/b.mp3\r\n3\tc\t/m/c.ogg\r\n4\tplain\t", 0),
            0u)
      << listed.Output;
  EXPECT_EQ(JournalFrom(before).back(), "1024 0 120");
  // Nor the length in ms: the seconds stand in.
  EXPECT_EQ(Jarvet({"SEEKBY", "+5:00"}).Output, "04:05\r\n");
}

TEST_F(ControlTest, ProblemsSendNothingAndSayWhy) {
  const struct {
    Strings Parameters;
    int Status;
  } cases[] = {
      {{"VOLUME", "256"}, 2}, {{"VOLUME", "50 %"}, 2}, {{"SHUFFLE", "1"}, 2},
      {{"REPEAT", "onn"}, 2}, {{"SEEKBY", "10"}, 2},   {{"SEEKBY", "+1:2:3"}, 2},
      {{"STATUS", "x"}, 2},   {{"LIST", "all"}, 2},    {{"ADD"}, 2},
      {{"ADD", "/no/such/file.mp3"}, 2},               {{"OPEN"}, 2},
      {{"FADEOUT", "now"}, 2}, {{"TOGGLE", "1"}, 2},
  };
  // Without a player a bad argument still gives 2; a good one gives 3.
  for (const auto& c : cases) {
    const TProcessResult result = Jarvet(c.Parameters);
    EXPECT_EQ(result.Status, c.Status) << c.Parameters[0];
    EXPECT_EQ(result.Output, "");
    EXPECT_EQ(result.Errors.rfind("jarvet: ", 0), 0u) << c.Parameters[0];
  }
  const TProcessResult none = Jarvet({"STATUS"});
  EXPECT_EQ(none.Status, 3);
  EXPECT_EQ(none.Errors, "jarvet: no player running\r\n");

  StartWithThreeTracks();
  for (const auto& c : cases) {
    EXPECT_EQ(Jarvet(c.Parameters).Status, c.Status) << c.Parameters[0];
  }
  EXPECT_TRUE(Journal().empty()) << "no bad argument sends anything";
  const TProcessResult help = Jarvet({"HELP"});
  EXPECT_EQ(help.Status, 0);
  EXPECT_NE(help.Output.find("\r\nSEEKBY "), std::string::npos);
}

}  // namespace
}  // namespace jarvet::testing
