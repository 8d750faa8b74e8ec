// A stand-in for the platform seam: records every message and answers as told.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "Platform.h"
#include "WindowMessages.h"

namespace jarvet::testing {

struct TSentMessage {
  std::int32_t Message;
  std::int32_t WParam;
  std::int32_t LParam;
  bool operator==(const TSentMessage& other) const {
    return Message == other.Message && WParam == other.WParam && LParam == other.LParam;
  }
};

inline TSentMessage Command(std::int32_t id) { return {kWmCommand, id, 0}; }
inline TSentMessage Request(std::int32_t wParam, std::int32_t request) {
  return {kWmUser, wParam, request};
}

class TFakePlatform : public TPlatform {
 public:
  TWindow Window = 0x1234;  // what FindTopWindow answers; 0 for no player
  std::vector<std::string> LookedUp;
  std::vector<TSentMessage> Sent;
  std::vector<std::string> Started;
  // Answers by (wParam, request) of WM_USER; everything else answers 0.
  std::map<std::pair<std::int32_t, std::int32_t>, std::int32_t> Answers;
  // Called for every message after it is recorded, to act as the player would.
  std::function<void(const TSentMessage&)> OnMessage;

  void Answer(std::int32_t wParam, std::int32_t request, std::int32_t answer) {
    Answers[{wParam, request}] = answer;
  }
  std::size_t CountOf(const TSentMessage& message) const {
    std::size_t n = 0;
    for (const TSentMessage& sent : Sent) n += sent == message ? 1 : 0;
    return n;
  }

  TWindow FindTopWindow(const std::string& className) override {
    LookedUp.push_back(className);
    return Window;
  }
  std::int32_t SendWindowMessage(TWindow window, std::int32_t message, std::int32_t wParam,
                                 std::int32_t lParam) override {
    if (window == 0) return 0;
    const TSentMessage sent{message, wParam, lParam};
    Sent.push_back(sent);
    if (OnMessage) OnMessage(sent);
    if (message != kWmUser) return 0;
    const auto answer = Answers.find({wParam, lParam});
    return answer == Answers.end() ? 0 : answer->second;
  }
  // Called for every program start after it is recorded.
  std::function<void(const std::string&)> OnStart;
  void StartProgram(const std::string& commandLine) override {
    Started.push_back(commandLine);
    if (OnStart) OnStart(commandLine);
  }
};

}  // namespace jarvet::testing
