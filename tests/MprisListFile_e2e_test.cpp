// PLAY with a list and ENQUEUE against real MPRIS players: the one fixed list file that the
// caller writes, loaded by mpv in place of its playlist and appended to VLC's.
#include <gtest/gtest.h>

#include <cstdio>

#include "File.h"
#include "support/MprisFixture.h"

namespace jarvet::testing {
namespace {

class MprisListFileTest : public MprisFixture {
 protected:
  void TearDown() override {
    std::remove(kListFilePath);
    MprisFixture::TearDown();
  }
  void WriteList(const std::vector<std::string>& files) const {
    std::string list = "#EXTM3U\n";
    for (const std::string& file : files) list += file + "\n";
    std::FILE* out = std::fopen(kListFilePath, "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(list.data(), 1, list.size(), out);
    std::fclose(out);
  }
};

TEST_F(MprisListFileTest, PlayLoadsTheListInPlaceOfMpvsPlaylist) {
  const std::string first = Track("players/first-cover-ffmpeg.mp3", "Ünïcødé — ♫.mp3");
  const std::string second = Track("players/second-ffmpeg.mp3", "second.mp3");
  const std::string third = Track("players/third-ffmpeg.mp3", "third.mp3");
  StartMpv({third}, {"--pause=yes"});
  WriteList({first, second});
  const TProcessResult result = Jarvet({"mpv", "PLAY", "\"" + Dir + "\"", "*.mp3"});
  EXPECT_EQ(result.Status, 0) << result.Errors;
  EXPECT_EQ(result.Output, "Adding 2 file(s) in \"" + Dir +
                               "\" matching \"*.mp3\" to playlist...\r\n"
                               "Playing...\r\n");
  EXPECT_TRUE(WaitUntil([&] {
    return Mpv->Get("playlist-count") == "2" && Mpv->Get("path") == first &&
           Mpv->Get("pause") == "no";
  })) << "mpv plays "
      << Mpv->Get("path").value_or("nothing") << " of " << Mpv->Get("playlist-count").value_or("?");
  EXPECT_EQ(Mpv->Get("playlist/1/filename"), second);
}

TEST_F(MprisListFileTest, EnqueueAppendsTheListToVlcsInOrder) {
  const std::string first = Track("players/first-cover-ffmpeg.mp3", "Ünïcødé — ♫.mp3");
  const std::string second = Track("players/second-ffmpeg.mp3", "second.mp3");
  const std::string third = Track("players/third-ffmpeg.mp3", "third.mp3");
  StartVlc({third});
  WriteList({second, first});
  const TProcessResult result = Jarvet({"vlc", "ENQUEUE", "\"" + Dir + "\"", "*.mp3"});
  EXPECT_EQ(result.Status, 0) << result.Errors;
  EXPECT_EQ(result.Output,
            "Adding 2 file(s) in \"" + Dir + "\" matching \"*.mp3\" to playlist...\r\n");
  const std::vector<std::string> expected{"Third Song", "Second Song", "Ünïcødé Wålk 日本"};
  EXPECT_TRUE(WaitUntil([&] { return Vlc->PlaylistTitles() == expected; }));
  EXPECT_EQ(Vlc->CurrentInput(), FileUri(third)) << "still playing what it played";
}

}  // namespace
}  // namespace jarvet::testing
