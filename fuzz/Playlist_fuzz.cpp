// Fuzzes the read-back of the player's playlist dump: from bytes, and through the file that
// GetPlaylist reads after asking the player to write it.
#include <cstdint>
#include <string>
#include <vector>

#include "support/FakePlatform.h"
#include "Failure.h"
#include "FuzzSupport.h"
#include "Text.h"
#include "WinampApi.h"
#include "PlayerProtocol.h"

namespace jarvet::fuzz {
namespace {

constexpr char kCtrlZ = 26;
constexpr char kSentinel[] = "entry already in the list";

// The entries after the one the list held before.
std::vector<std::string> Parsed(const std::string& text) {
  TPlaylist list;
  list.Add(kSentinel);
  ParsePlaylistDump(text, list);
  FUZZ_REQUIRE(list.Count() >= 1 && list.Get(0) == kSentinel);
  std::vector<std::string> entries;
  for (std::int64_t i = 1; i < list.Count(); ++i) entries.push_back(list.Get(i));
  return entries;
}

std::string Dump(const std::vector<std::string>& entries, const char* lineEnd) {
  std::string text = "#EXTM3U";
  text += lineEnd;
  for (const std::string& entry : entries) text += entry + lineEnd;
  return text;
}

bool RaisesListError(const TPlaylist& list, std::int64_t index) {
  try {
    list.Get(index);
  } catch (const EStringListError& error) {
    return error.Message().find("(" + IntToStr(index) + ")") != std::string::npos;
  }
  return false;
}

void CheckDump(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> entries = Parsed(text);

  std::size_t bytes = 0;
  bool ctrlZFirst = false;
  for (const std::string& entry : entries) {
    FUZZ_REQUIRE(entry.find('\n') == std::string::npos && entry.find('\r') == std::string::npos);
    FUZZ_REQUIRE(entry.empty() || entry[0] != '#');
    // Only behind a dropped CR: where the line itself begins, a Ctrl-Z ends the text.
    ctrlZFirst = ctrlZFirst || (!entry.empty() && entry[0] == kCtrlZ);
    bytes += entry.size();
  }
  FUZZ_REQUIRE(bytes <= size);
  // What was read, written out again either way, reads back the same.
  if (!ctrlZFirst) {
    FUZZ_REQUIRE(Parsed(Dump(entries, "\n")) == entries);
    FUZZ_REQUIRE(Parsed(Dump(entries, "\r\n")) == entries);
  }

  TPlaylist list;
  for (const std::string& entry : entries) list.Add(entry);
  FUZZ_REQUIRE(RaisesListError(list, -1));
  FUZZ_REQUIRE(RaisesListError(list, list.Count()));

  // The same bytes as the file in the player directory.
  WriteWholeFile(Scratch().File("winamp.m3u"), data, size);
  testing::TFakePlatform platform;
  TWinampApi player(platform, Scratch().Path());
  TPlaylist fromFile;
  player.GetPlaylist(fromFile);
  FUZZ_REQUIRE(platform.Sent.size() == 1 && platform.Sent[0] == testing::Request(0, kReqWritePlaylist));
  FUZZ_REQUIRE(fromFile.Count() == static_cast<std::int64_t>(entries.size()));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    FUZZ_REQUIRE(fromFile.Get(static_cast<std::int64_t>(i)) == entries[i]);
  }
}

}  // namespace
}  // namespace jarvet::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  jarvet::fuzz::CheckDump(data, size);
  return 0;
}
