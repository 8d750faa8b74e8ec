#include "ServeCommands.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/FakePlayer.h"

namespace jarvet {
namespace {

using testing::TFakePlayer;

TEST(ServeCommandsTest, ListenAddresses) {
  const struct {
    const char* Text;
    bool Reads;
    const char* Address;
    int Port;
  } cases[] = {
      {"8080", true, "127.0.0.1", 8080},
      {"0.0.0.0:80", true, "0.0.0.0", 80},
      {"[::1]:65535", true, "::1", 65535},
      {"localhost:1", true, "localhost", 1},
      {"", false, "", 0},
      {"0", false, "", 0},
      {"65536", false, "", 0},
      {"123456", false, "", 0},
      {"+80", false, "", 0},
      {":80", false, "", 0},
      {"127.0.0.1:", false, "", 0},
      {"::1:80", false, "", 0},
      {"[]:80", false, "", 0},
      {"a b:80", false, "", 0},
  };
  for (const auto& c : cases) {
    std::string address;
    int port = 0;
    EXPECT_EQ(ParseListenAddress(c.Text, address, port), c.Reads) << c.Text;
    if (!c.Reads) continue;
    EXPECT_EQ(address, c.Address) << c.Text;
    EXPECT_EQ(port, c.Port) << c.Text;
  }
}

TEST(ServeCommandsTest, PictureTypesByTheirBytesFirst) {
  EXPECT_EQ(PictureMimeType("\x89PNG\r\n\x1A\n", "image/jpeg"), "image/png");
  EXPECT_EQ(PictureMimeType("\xFF\xD8\xFF\xE0", "PNG"), "image/jpeg");
  EXPECT_EQ(PictureMimeType("GIF89a", ""), "image/gif");
  EXPECT_EQ(PictureMimeType(std::string_view("RIFF\x10\0\0\0WEBPVP8 ", 16), ""), "image/webp");
  EXPECT_EQ(PictureMimeType("????", "image/x-icon"), "image/x-icon");
  EXPECT_EQ(PictureMimeType("????", "JPG"), "application/octet-stream");
  EXPECT_EQ(PictureMimeType("", ""), "application/octet-stream");
}

bool Called(const TFakePlayer& player, const std::string& call) {
  return std::find(player.Calls->begin(), player.Calls->end(), call) != player.Calls->end();
}

TEST(ServeCommandsTest, ControlRoutesActAsTheirCommands) {
  const struct {
    TPlayStatus Status;
    const char* Action;
    const char* Value;
    TControlResult Result;
    const char* Does;      // a call it must make
    const char* DoesNot;   // a call it must not make
    bool LacksControl;
  } cases[] = {
      {TPlayStatus::Playing, "pause", "", TControlResult::Done, "TogglePause", "Play", false},
      {TPlayStatus::Paused, "pause", "", TControlResult::Done, "Status", "TogglePause", false},
      {TPlayStatus::Stopped, "toggle", "", TControlResult::Done, "Play", "TogglePause", false},
      {TPlayStatus::Paused, "toggle", "", TControlResult::Done, "TogglePause", "Play", false},
      {TPlayStatus::Playing, "next", "", TControlResult::Done, "Next", "Previous", false},
      {TPlayStatus::Playing, "next", "", TControlResult::NotOffered, "Status", "Next", true},
      {TPlayStatus::Playing, "volume", "+10", TControlResult::Done, "SetVolume 110", "Next",
       false},
      {TPlayStatus::Playing, "volume", "", TControlResult::BadValue, "Status", "SetVolume 100",
       false},
      {TPlayStatus::Playing, "volume", "loud", TControlResult::BadValue, "Status",
       "SetVolume 100", false},
      {TPlayStatus::Playing, "seekby", "-0:05", TControlResult::Done, "SeekTo 55000", "Next",
       false},
      {TPlayStatus::Stopped, "seekby", "+5", TControlResult::NothingPlaying, "PositionMs",
       "SeekTo 5000", false},
      {TPlayStatus::Playing, "dance", "", TControlResult::BadValue, "Status", "Next", false},
  };
  for (const auto& c : cases) {
    auto player = std::make_unique<TFakePlayer>();
    player->PlayStatus = c.Status;
    if (c.Status == TPlayStatus::Stopped) player->Position.reset();
    if (c.LacksControl) player->Lacks.insert(TFeature::Control);
    TFakePlayer& fake = *player;
    std::unique_ptr<TPlayer> handed = std::move(player);
    const std::unique_ptr<TNowSource> source =
        PlayerNowSource([&handed]() -> std::unique_ptr<TPlayer> { return std::move(handed); });
    source->Poll();
    EXPECT_EQ(source->Control(c.Action, c.Value), c.Result) << c.Action << " " << c.Value;
    EXPECT_TRUE(Called(fake, c.Does)) << c.Action << " " << c.Value;
    EXPECT_FALSE(Called(fake, c.DoesNot)) << c.Action << " " << c.Value;
  }
}

TEST(ServeCommandsTest, StatesTellChangesButNotTheMovingPosition) {
  int connects = 0;
  bool running = true;  // what the next player found is
  TFakePlayer* current = nullptr;
  const std::unique_ptr<TNowSource> source =
      PlayerNowSource([&]() -> std::unique_ptr<TPlayer> {
        ++connects;
        auto player = std::make_unique<TFakePlayer>();
        player->Running = running;
        current = player.get();
        return player;
      });
  const TNowState first = source->Poll();
  current->Position = 61000;
  const TNowState moved = source->Poll();
  EXPECT_NE(moved.Json, first.Json);
  EXPECT_EQ(moved.Steady, first.Steady);
  EXPECT_EQ(moved.PositionMs, 61000);
  EXPECT_TRUE(moved.Advancing);
  std::string text, error;
  ASSERT_TRUE(moved.Text->Fill("{position} of {filename}", text, error)) << error;
  EXPECT_EQ(text, "1:01 of one.mp3");
  EXPECT_FALSE(moved.Text->Fill("{titel}", text, error));
  EXPECT_EQ(error, "template: unknown field \"titel\" at character 2");

  current->PlayStatus = TPlayStatus::Paused;
  EXPECT_NE(source->Poll().Steady, first.Steady);
  current->Current = 1;
  const TNowState next = source->Poll();
  EXPECT_NE(next.Json.find("\"filename\":\"two.mp3\""), std::string::npos) << next.Json;

  // A player gone: nothing plays, no control reaches one, and one is looked for at each poll.
  current->Gone = true;
  running = false;
  const TNowState none = source->Poll();
  EXPECT_EQ(connects, 2);
  EXPECT_EQ(none.Json.rfind("{\"title\":null,", 0), 0u) << none.Json;
  EXPECT_NE(none.Json.find("\"status\":\"stopped\""), std::string::npos) << none.Json;
  EXPECT_EQ(none.Cover, nullptr);
  EXPECT_EQ(source->Control("play", ""), TControlResult::NoPlayer);
  running = true;
  EXPECT_NE(source->Poll().Json.find("\"filename\":\"one.mp3\""), std::string::npos);
  EXPECT_EQ(connects, 3);
  EXPECT_EQ(source->Control("play", ""), TControlResult::Done) << "found again";
}

}  // namespace
}  // namespace jarvet
