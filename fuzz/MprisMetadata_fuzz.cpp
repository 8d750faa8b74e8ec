// Fuzzes the decoding of what an MPRIS player says of a track, from values as the bus would
// hand them over, and the URI and volume rules it rests on.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "MprisMetadata.h"

namespace jarvet::fuzz {
namespace {

constexpr const char* kKeys[] = {
    "mpris:trackid", "xesam:url",     "xesam:title",    "xesam:artist",      "xesam:album",
    "xesam:albumArtist", "xesam:genre", "xesam:comment", "xesam:composer",
    "xesam:contentCreated", "xesam:trackNumber", "xesam:discNumber", "mpris:length",
    "mpris:artUrl"};
constexpr char kEntryEnd = '\n';
constexpr char kItemEnd = '\x1e';

template <typename T>
T Raw(std::string_view bytes) {
  T value{};
  std::memcpy(&value, bytes.data(), std::min(sizeof value, bytes.size()));
  return value;
}

// Each line: a key byte (one of kKeys, or the text up to ':' as the key), a kind byte, the value.
TBusDictionary Dictionary(std::string_view input) {
  TBusDictionary metadata;
  while (!input.empty()) {
    std::size_t end = input.find(kEntryEnd);
    if (end == std::string_view::npos) end = input.size();
    std::string_view entry = input.substr(0, end);
    input.remove_prefix(std::min(input.size(), end + 1));
    if (entry.size() < 2) continue;
    const auto keyByte = static_cast<unsigned char>(entry[0]);
    std::string key;
    if (keyByte < std::size(kKeys)) {
      key = kKeys[keyByte];
      entry.remove_prefix(1);
    } else {
      const std::size_t colon = entry.find(':');
      key = std::string(entry.substr(0, colon == std::string_view::npos ? 1 : colon));
      entry.remove_prefix(std::min(entry.size(), key.size() + 1));
    }
    if (entry.empty()) continue;
    const auto kind = static_cast<unsigned char>(entry[0]);
    const std::string_view value = entry.substr(1);
    switch (kind % 6) {
      case 0: metadata.emplace_back(key, std::string(value)); break;
      case 1: metadata.emplace_back(key, Raw<std::int64_t>(value)); break;
      case 2: metadata.emplace_back(key, Raw<double>(value)); break;
      case 3: metadata.emplace_back(key, !value.empty() && value[0] != 0); break;
      case 4: {
        std::vector<std::string> items;
        std::size_t start = 0;
        while (start <= value.size()) {
          std::size_t stop = value.find(kItemEnd, start);
          if (stop == std::string_view::npos) stop = value.size();
          items.emplace_back(value.substr(start, stop - start));
          start = stop + 1;
        }
        metadata.emplace_back(key, std::move(items));
        break;
      }
      default: metadata.emplace_back(key, TBusOther{}); break;
    }
  }
  return metadata;
}

bool HasControlCharacter(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  }
  return false;
}

void CheckTrack(const TMprisTrack& decoded) {
  const TPlayerTrack& t = decoded.Track;
  for (const std::string* text : {&decoded.TrackId, &t.File, &t.Title, &t.Artist, &t.Album,
                                  &t.AlbumArtist, &t.Genre, &t.Comment, &t.Composer, &t.Year,
                                  &t.ArtUrl}) {
    FUZZ_REQUIRE(IsUtf8(*text));
  }
  FUZZ_REQUIRE(!HasControlCharacter(t.File));
  FUZZ_REQUIRE(t.ArtUrl.empty() || t.ArtUrl.rfind("file://", 0) == 0 ||
               (t.ArtUrl.rfind("data:", 0) == 0 && IsDecodableDataUri(t.ArtUrl)));
  FUZZ_REQUIRE(!t.LengthMs || *t.LengthMs > 0);
  FUZZ_REQUIRE(!t.Track || *t.Track > 0);
  FUZZ_REQUIRE(!t.Disc || *t.Disc > 0);
  FUZZ_REQUIRE(t.Year.empty() || (t.Year.size() == 4 &&
                                  t.Year.find_first_not_of("0123456789") == std::string::npos));
}

void CheckUri(std::string_view text) {
  if (const auto path = FileUriToPath(text)) {
    FUZZ_REQUIRE(IsUtf8(*path) && path->find('\0') == std::string::npos);
    FUZZ_REQUIRE(!path->empty() && (*path)[0] == '/');
    FUZZ_REQUIRE(FileUriToPath(PathToFileUri(*path)) == path);
  }
  IsDecodableDataUri(text);
  const std::int32_t volume = VolumeFromBus(Raw<double>(text));
  FUZZ_REQUIRE(volume >= 0 && volume <= 255);
  const std::vector<std::string> names = {"org.mpris.MediaPlayer2.mpv",
                                          "org.mpris.MediaPlayer2.vlc.instance1", ":1.7"};
  for (const std::string& name : MatchingPlayerNames(text, names)) {
    FUZZ_REQUIRE(name != ":1.7");
  }
}

}  // namespace
}  // namespace jarvet::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  jarvet::fuzz::CheckTrack(jarvet::DecodeMetadata(jarvet::fuzz::Dictionary(input)));
  jarvet::fuzz::CheckUri(input);
  return 0;
}
