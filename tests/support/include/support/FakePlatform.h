// A stand-in for the platform seam: records every message and answers as told.
#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Platform.h"
#include "PlayerProtocol.h"

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
  // The bytes of every WM_COPYDATA, in order; each is also recorded in Sent as
  // {kWmCopyData, dwData, size}.
  std::vector<std::string> Copied;
  // The player's memory: blocks of bytes by their start address.
  std::map<std::uint32_t, std::string> Memory;
  // Read requests, as (address, size).
  std::vector<std::pair<std::uint32_t, std::size_t>> Reads;
  bool Gone = false;  // the window stopped answering: everything answers 0 from now on
  bool Hung = false;  // with Gone: it hangs, rather than having closed

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
    if (window == 0 || Gone) return 0;
    const TSentMessage sent{message, wParam, lParam};
    Sent.push_back(sent);
    if (OnMessage) OnMessage(sent);
    if (message != kWmUser) return 0;
    const auto answer = Answers.find({wParam, lParam});
    return answer == Answers.end() ? 0 : answer->second;
  }
  std::int32_t SendCopyData(TWindow window, std::int32_t dwData,
                            std::string_view bytes) override {
    if (window == 0 || Gone) return 0;
    const TSentMessage sent{kWmCopyData, dwData, static_cast<std::int32_t>(bytes.size())};
    Sent.push_back(sent);
    Copied.emplace_back(bytes);
    if (OnMessage) OnMessage(sent);
    return 1;
  }
  std::size_t ReadPlayerMemory(TWindow window, std::uint32_t address, void* buffer,
                               std::size_t size) override {
    if (window == 0 || Gone) return 0;
    Reads.emplace_back(address, size);
    auto block = Memory.upper_bound(address);
    if (block == Memory.begin()) return 0;
    --block;
    const std::size_t offset = address - block->first;
    if (offset >= block->second.size()) return 0;
    const std::size_t got = std::min(size, block->second.size() - offset);
    std::memcpy(buffer, block->second.data() + offset, got);
    return got;
  }
  bool IsGone(TWindow window) const override { return window == 0 || Gone; }
  bool IsHung(TWindow window) const override { return window != 0 && Gone && Hung; }
  // Called for every program start after it is recorded.
  std::function<void(const std::string&)> OnStart;
  void StartProgram(const std::string& commandLine) override {
    Started.push_back(commandLine);
    if (OnStart) OnStart(commandLine);
  }
};

}  // namespace jarvet::testing
