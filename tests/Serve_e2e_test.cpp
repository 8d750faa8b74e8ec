// SERVE and WATCHART run as processes against the simulated player: the answers beside JSON's
// and ART's, the event stream, the token, the bounds, and the cover file kept current.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "support/PlayerFixture.h"
#include "support/RawConnection.h"

namespace jarvet::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kEndMs = 10000;
constexpr std::int32_t kCommand = 273;  // the window message that carries a button press
constexpr std::int32_t kPauseButton = 40046, kStopButton = 40047, kNextButton = 40048,
                       kPrevButton = 40044;
constexpr char kNextSent[] = "273 40048 0";

std::string Fixture(const std::string& name) {
  std::ifstream in(std::string(JARVET_TEST_DATA) + "/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string WithoutUpdated(const std::string& json) {
  return std::regex_replace(json, std::regex(",\"updated\":[0-9]+\\}$"), "}");
}

void SetToken(const char* token) {
#ifdef _WIN32
  _putenv_s("JARVET_TOKEN", token);
#else
  setenv("JARVET_TOKEN", token, 1);
#endif
}

class ServeTest : public PlayerFixture {
 protected:
  void TearDown() override {
    if (Server_) Server_->Stop(kEndMs);
    PlayerFixture::TearDown();
  }
  std::string Track(const std::string& fixture) {
    const std::string path = Dir + kSeparator + fixture.substr(fixture.rfind('/') + 1);
    WriteFile(path, Fixture(fixture));
    return path;
  }
  // Starts SERVE on a free port and waits for its start line.
  void Serve() {
    Port = FreeLoopbackPort();
    ASSERT_GT(Port, 0);
    Server_ = std::make_unique<TBackgroundProcess>(
        JARVET_PROGRAM, std::vector<std::string>{Dir, "SERVE", std::to_string(Port)},
        Dir + kSeparator + "serve");
    ASSERT_TRUE(Server_->Started());
    const auto deadline = Clock::now() + 10s;
    while (Clock::now() < deadline) {
      ReadFileAsPoller(Dir + kSeparator + "serve.err", StartLine);
      if (StartLine.find("\r\n") != std::string::npos) return;
      std::this_thread::sleep_for(20ms);
    }
    FAIL() << "no start line: " << StartLine;
  }
  THttpAnswer Get(const std::string& target) { return HttpRequest(Port, "GET", target); }

#ifdef _WIN32
  static constexpr char kSeparator = '\\';
#else
  static constexpr char kSeparator = '/';
#endif
  int Port = 0;
  std::string StartLine;

 private:
  std::unique_ptr<TBackgroundProcess> Server_;
};

constexpr char kFlac[] = "flac/vorbis-comment-cover-metaflac.flac";

TEST_F(ServeTest, AnswersAsJsonAndArtDo) {
  SetToken("");
  const std::string flac = Track(kFlac);
  StartPlayer({"--entry", flac + "|200", "--entry", Dir + kSeparator + "b.mp3|100|B", "--status",
               "paused", "--time", "20000", "--volume", "99"});
  Serve();
  EXPECT_TRUE(std::regex_match(StartLine,
                               std::regex("jarvet: serving http://127\\.0\\.0\\.1:" +
                                          std::to_string(Port) +
                                          "/ \\(control token: [0-9a-f]{32}\\)\r\n")))
      << StartLine;

  const TProcessResult json = Jarvet({"JSON"});
  ASSERT_EQ(json.Status, 0);
  const THttpAnswer now = Get("/now.json");
  EXPECT_EQ(now.Status, 200);
  EXPECT_NE(now.Head.find("Content-Type: application/json"), std::string::npos);
  EXPECT_NE(now.Head.find("Access-Control-Allow-Origin: *"), std::string::npos);
  EXPECT_TRUE(std::regex_search(now.Body, std::regex(",\"updated\":[0-9]{13}\\}$"))) << now.Body;
  EXPECT_EQ(WithoutUpdated(now.Body) + "\r\n", json.Output);

  const std::string picture = Dir + kSeparator + "cover.png";
  ASSERT_EQ(Jarvet({"ART", picture}).Status, 0);
  const THttpAnswer art = Get("/art");
  EXPECT_EQ(art.Status, 200);
  EXPECT_NE(art.Head.find("Content-Type: image/png"), std::string::npos) << art.Head;
  EXPECT_TRUE(art.Body == ReadFile(picture));

  const THttpAnswer page = Get("/?template=%7Btitle%7D&color=red");
  EXPECT_EQ(page.Status, 200);
  EXPECT_NE(page.Body.find("<!doctype html>"), std::string::npos);

  // An entry without a cover: none, or the transparent picture when asked for a fallback.
  SendToPlayer(kCommand, kNextButton, 0);
  std::this_thread::sleep_for(600ms);
  EXPECT_EQ(Get("/art").Status, 404);
  const THttpAnswer fallback = Get("/art?fallback=1");
  EXPECT_EQ(fallback.Status, 200);
  EXPECT_EQ(fallback.Body.substr(1, 3), "PNG");
}

TEST_F(ServeTest, EventsTellEachChangeWithinAPollAndAPlayerThatComesBack) {
  StartPlayer({"--entry", Dir + kSeparator + "a.mp3|100|A", "--entry",
               Dir + kSeparator + "b.mp3|100|B", "--status", "playing"});
  Serve();
  TRawConnection viewer(Port);
  viewer.Send("GET /events?template=%7Btitle%7D HTTP/1.1\r\nHost: localhost\r\n\r\n");
  std::string stream = viewer.ReceiveUntil("\"text\":\"A\"}", 2000);
  EXPECT_NE(stream.find("data: {\"title\":\"A\""), std::string::npos) << stream;

  const struct {
    std::int32_t Button;
    const char* Shows;
  } changes[] = {{kNextButton, "\"title\":\"B\""},
                 {kPauseButton, "\"status\":\"paused\""},
                 {kStopButton, "\"status\":\"stopped\""}};
  for (const auto& change : changes) {
    const auto sent = Clock::now();
    SendToPlayer(kCommand, change.Button, 0);
    stream = viewer.ReceiveUntil(change.Shows, 3000);
    const auto took = Clock::now() - sent;
    EXPECT_NE(stream.find(change.Shows), std::string::npos) << stream;
    EXPECT_LT(took, 250ms + 350ms) << change.Shows;
  }

  StopPlayer();
  stream = viewer.ReceiveUntil("\"text\":\"\"}", 3000);
  EXPECT_NE(stream.find("\"title\":null"), std::string::npos) << "no player: " << stream;
  StartPlayer({"--entry", Dir + kSeparator + "c.mp3|100|Back again", "--status", "playing"});
  stream = viewer.ReceiveUntil("\"text\":\"Back again\"}", 5000);
  EXPECT_NE(stream.find("\"text\":\"Back again\"}"), std::string::npos) << stream;
}

TEST_F(ServeTest, ControlNeedsTheTokenAndForeignHostsAreRefused) {
  SetToken("e2e-token");
  StartPlayer({"--entry", Dir + kSeparator + "a.mp3|100|A", "--entry",
               Dir + kSeparator + "b.mp3|100|B", "--status", "playing"});
  Serve();
  EXPECT_EQ(StartLine, "jarvet: serving http://127.0.0.1:" + std::to_string(Port) + "/\r\n")
      << "a token of one's own is not shown";
  const struct {
    const char* Target;
    const char* Headers;
    const char* Host;
    int Status;
  } refused[] = {
      {"/control/next", "", "127.0.0.1", 401},
      {"/control/next", "Authorization: Bearer wrong\r\n", "127.0.0.1", 401},
      {"/control/next?token=wrong", "", "localhost", 401},
      {"/control/next?token=e2e-token", "", "rebind.example", 421},
      {"/control/next", "Authorization: Bearer e2e-token\r\n", "rebind.example:80", 421},
  };
  for (const auto& r : refused) {
    const THttpAnswer answer = HttpRequest(Port, "POST", r.Target, r.Headers, r.Host);
    EXPECT_EQ(answer.Status, r.Status) << r.Target << " " << r.Headers;
    EXPECT_EQ(answer.Head.find("Access-Control-Allow-Origin"), std::string::npos);
  }
  EXPECT_EQ(HttpRequest(Port, "GET", "/now.json", "", "rebind.example").Status, 421);
  std::this_thread::sleep_for(300ms);
  std::vector<std::string> journal = Journal();
  EXPECT_EQ(std::count(journal.begin(), journal.end(), kNextSent), 0) << "nothing was sent";

  EXPECT_EQ(HttpRequest(Port, "POST", "/control/next", "Authorization: Bearer e2e-token\r\n").Status,
            204);
  journal = Journal();
  EXPECT_EQ(std::count(journal.begin(), journal.end(), kNextSent), 1);
  EXPECT_EQ(HttpRequest(Port, "POST", "/control/volume?value=300&token=e2e-token").Status, 400);
  EXPECT_EQ(HttpRequest(Port, "POST", "/control/volume?value=50%25&token=e2e-token").Status, 204);
  EXPECT_EQ(Jarvet({"VOLUME"}).Output, "128\r\n");
  EXPECT_EQ(HttpRequest(Port, "POST", "/control/stop?token=e2e-token").Status, 204);
  EXPECT_EQ(HttpRequest(Port, "POST", "/control/seekby?by=%2B5&token=e2e-token").Status, 409);
  EXPECT_EQ(HttpRequest(Port, "GET", "/control/stop?token=e2e-token").Status, 405);
  StopPlayer();
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(HttpRequest(Port, "POST", "/control/play?token=e2e-token").Status, 503);
}

TEST_F(ServeTest, HalfRequestsCannotStarveTheOthers) {
  StartPlayer({"--entry", Dir + kSeparator + "a.mp3|100|A", "--status", "playing"});
  Serve();
  std::vector<std::unique_ptr<TRawConnection>> halves;
  for (int i = 0; i < 200; ++i) {
    halves.push_back(std::make_unique<TRawConnection>(Port));
    ASSERT_TRUE(halves.back()->Send("GET /now.json HTTP/1.1\r\nHost: loc"));
  }
  const auto start = Clock::now();
  const THttpAnswer now = Get("/now.json");
  EXPECT_EQ(now.Status, 200);
  EXPECT_LT(Clock::now() - start, 1s);
  int closed = 0;
  for (auto& half : halves) {
    bool ended = false;
    half->Receive(8000, ended);
    closed += ended;
  }
  const auto took = Clock::now() - start;
  EXPECT_EQ(closed, 200);
  EXPECT_GE(took, 4s);
  EXPECT_LT(took, 6s) << "the deadline, not the library's own timeout a second later";
}

TEST_F(ServeTest, AHundredViewersCostThePlayerNoMoreMessagesThanOne) {
  StartPlayer({"--entry", Dir + kSeparator + "a.mp3|100|A", "--status", "playing"});
  Serve();
  auto messagesIn = [&](std::chrono::milliseconds time) {
    const std::size_t before = Journal().size();
    std::this_thread::sleep_for(time);
    return Journal().size() - before;
  };
  std::vector<std::unique_ptr<TRawConnection>> viewers;
  auto watch = [&](int count) {
    for (int i = 0; i < count; ++i) {
      viewers.push_back(std::make_unique<TRawConnection>(Port));
      viewers.back()->Send("GET /events HTTP/1.1\r\nHost: localhost\r\n\r\n");
    }
    int told = 0;
    for (auto& viewer : viewers) told += viewer->ReceiveUntil("}\n\n", 5000).find("\"A\"") != std::string::npos;
    return told;
  };
  EXPECT_EQ(watch(1), 1);
  const std::size_t one = messagesIn(3000ms);
  EXPECT_EQ(watch(99), 99);
  const std::size_t hundred = messagesIn(3000ms);
  // Three seconds are twelve polls; the two counts may differ by a poll at either end.
  EXPECT_GT(one, 0u);
  EXPECT_LE(hundred, one + 2 * (one / 12 + 1)) << "one viewer: " << one;
}

TEST_F(ServeTest, APortInUseOrABadArgumentEndsWithStatusTwo) {
  StartPlayer({});
  Serve();
  const TProcessResult second = Jarvet({"SERVE", std::to_string(Port)});
  EXPECT_EQ(second.Status, 2);
  EXPECT_EQ(second.Errors, "jarvet: cannot listen on 127.0.0.1:" + std::to_string(Port) +
                               ": the port is in use, or the address is not this machine's\r\n");
  for (const char* bad : {"", "0", "65536", "http", "::1:80", "127.0.0.1:"}) {
    const TProcessResult result = Jarvet({"SERVE", bad});
    EXPECT_EQ(result.Status, 2) << bad;
    EXPECT_EQ(result.Errors,
              "jarvet: SERVE takes PORT or ADDRESS:PORT, the port from 1 to 65535\r\n")
        << bad;
  }
  const TProcessResult foreign = Jarvet({"SERVE", "192.0.2.1:" + std::to_string(Port)});
  EXPECT_EQ(foreign.Status, 2) << "an address not of this machine";
}

TEST_F(ServeTest, WatchArtIsNeverSeenHalfWrittenOrMissing) {
  const std::string small = Fixture("pictures/cover-small.png");
  const std::string noise = Fixture("pictures/cover-noise.png");
  StartPlayer({"--entry", Track(kFlac), "--entry",
               Track("ogg/opus-cover-spanning-pages-opusenc.opus"), "--entry",
               Track("mp4/faststart-ffmpeg.m4a"), "--status", "playing"});
  const std::string file = Dir + kSeparator + "cover now";
  TBackgroundProcess watch(JARVET_PROGRAM, {Dir, "WATCHART", file},
                           Dir + kSeparator + "watchart");
  ASSERT_TRUE(watch.Started());
  const auto deadline = Clock::now() + 20s;
  while (!FileExists(file) && Clock::now() < deadline) std::this_thread::sleep_for(10ms);
  std::string png;
  ASSERT_TRUE(ReadFileAsPoller(file, png));

  std::atomic<bool> reading{true};
  std::thread changer([&] {
    const std::int32_t buttons[] = {kNextButton, kNextButton, kPrevButton, kPrevButton};
    for (int i = 0; reading; ++i) {
      SendToPlayer(kCommand, buttons[i % 4], 0);
      std::this_thread::sleep_for(300ms);
    }
  });
  std::set<std::string> seen;
  int bad = 0;
  for (int i = 0; i < 5000 || (seen.size() < 3 && Clock::now() < deadline); ++i) {
    std::string bytes;
    if (!ReadFileAsPoller(file, bytes)) {
      ++bad;
      continue;
    }
    if (bytes != small && bytes != noise && bytes.substr(1, 3) != "PNG") ++bad;
    seen.insert(bytes);
  }
  reading = false;
  changer.join();
  EXPECT_EQ(bad, 0);
  EXPECT_EQ(seen.size(), 3u) << "each cover and the stand-in for none";

  SendToPlayer(kCommand, kStopButton, 0);
  std::this_thread::sleep_for(1200ms);
  std::string stopped;
  ASSERT_TRUE(ReadFileAsPoller(file, stopped));
  EXPECT_EQ(stopped.size(), 68u) << "the 1x1 transparent PNG while stopped";
  EXPECT_EQ(stopped.substr(1, 3), "PNG");
  watch.Stop(kEndMs);
}

}  // namespace
}  // namespace jarvet::testing
