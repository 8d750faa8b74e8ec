// Decoding of MPRIS metadata, URIs, volumes and player names.
#include "MprisMetadata.h"

#include <cmath>
#include <limits>

#include "Text.h"
#include "Unicode.h"

namespace jarvet {
namespace {

constexpr std::string_view kFileScheme = "file://";
constexpr std::string_view kDataScheme = "data:";
constexpr std::string_view kMprisPrefix = "org.mpris.MediaPlayer2.";
constexpr std::string_view kAnyPlayer = "mpris";
constexpr std::string_view kNamedPlayer = "mpris:";
constexpr std::string_view kInstanceSuffix = ".instance";
constexpr const char* kListSeparator = ", ";

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

const TBusValue* Find(const TBusDictionary& metadata, std::string_view key) {
  // The first of repeated keys, as a dictionary lookup would give.
  for (const auto& [name, value] : metadata) {
    if (name == key) return &value;
  }
  return nullptr;
}

std::string Text(const TBusDictionary& metadata, std::string_view key) {
  const TBusValue* value = Find(metadata, key);
  if (value == nullptr) return {};
  const auto* text = std::get_if<std::string>(value);
  return text != nullptr && IsValidUtf8(*text) ? *text : std::string();
}

// A list joined, or a lone string where players send one instead (a genre, say); entries
// that are not UTF-8 are left out.
std::string JoinedText(const TBusDictionary& metadata, std::string_view key) {
  const TBusValue* value = Find(metadata, key);
  if (value == nullptr) return {};
  if (const auto* text = std::get_if<std::string>(value)) {
    return IsValidUtf8(*text) ? *text : std::string();
  }
  std::string joined;
  if (const auto* list = std::get_if<std::vector<std::string>>(value)) {
    for (const std::string& item : *list) {
      if (item.empty() || !IsValidUtf8(item)) continue;
      if (!joined.empty()) joined += kListSeparator;
      joined += item;
    }
  }
  return joined;
}

std::optional<std::int64_t> Integer(const TBusDictionary& metadata, std::string_view key) {
  const TBusValue* value = Find(metadata, key);
  if (value == nullptr) return std::nullopt;
  if (const auto* integer = std::get_if<std::int64_t>(value)) return *integer;
  return std::nullopt;
}

std::optional<std::uint32_t> PositiveNumber(const TBusDictionary& metadata, std::string_view key) {
  const auto number = Integer(metadata, key);
  if (!number || *number <= 0 || *number > std::numeric_limits<std::uint32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(*number);
}

// Some players send the length as a double.
std::optional<std::int32_t> LengthMs(const TBusDictionary& metadata) {
  const TBusValue* value = Find(metadata, "mpris:length");
  if (value == nullptr) return std::nullopt;
  std::optional<std::int32_t> ms;
  if (const auto* integer = std::get_if<std::int64_t>(value)) {
    ms = MicrosecondsToMs(*integer);
  } else if (const auto* real = std::get_if<double>(value)) {
    if (std::isfinite(*real) && *real >= 0 && *real < 9.0e18) {
      ms = MicrosecondsToMs(static_cast<std::int64_t>(*real));
    }
  }
  if (ms && *ms <= 0) return std::nullopt;  // streams say 0
  return ms;
}

// "2007-04-29T13:56+01:00" or "2007": the year's four digits.
std::string Year(const std::string& created) {
  if (created.size() < 4) return {};
  for (std::size_t i = 0; i < 4; ++i) {
    if (created[i] < '0' || created[i] > '9') return {};
  }
  if (created.size() > 4 && created[4] != '-') return {};
  return created.substr(0, 4);
}

bool HasControlCharacter(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  }
  return false;
}

std::string FileOrUrl(const std::string& url) {
  if (url.empty() || HasControlCharacter(url)) return {};
  if (StartsWith(url, kFileScheme)) return FileUriToPath(url).value_or(std::string());
  if (url[0] == '/' || IsUrl(url)) return url;
  return {};
}

std::string ArtUrl(const std::string& url) {
  if (HasControlCharacter(url)) return {};
  if (StartsWith(url, kFileScheme)) return FileUriToPath(url) ? url : std::string();
  if (StartsWith(url, kDataScheme)) return IsDecodableDataUri(url) ? url : std::string();
  return {};
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> PercentDecoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = HexDigit(text[i + 1]);
    const int low = HexDigit(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

bool IsBase64Character(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '+' || c == '/';
}

bool IsBase64(std::string_view text) {
  std::size_t length = text.size();
  std::size_t padding = 0;
  while (length > 0 && text[length - 1] == '=' && padding < 2) {
    --length;
    ++padding;
  }
  for (std::size_t i = 0; i < length; ++i) {
    if (!IsBase64Character(text[i])) return false;
  }
  // Padding completes a group of four; unpadded, one lone character of a group decodes nothing.
  if (padding > 0) return text.size() % 4 == 0;
  return length % 4 != 1;
}

}  // namespace

TMprisTrack DecodeMetadata(const TBusDictionary& metadata) {
  TMprisTrack result;
  result.TrackId = Text(metadata, "mpris:trackid");
  TPlayerTrack& track = result.Track;
  track.File = FileOrUrl(Text(metadata, "xesam:url"));
  track.Title = Text(metadata, "xesam:title");
  track.Artist = JoinedText(metadata, "xesam:artist");
  track.Album = Text(metadata, "xesam:album");
  track.AlbumArtist = JoinedText(metadata, "xesam:albumArtist");
  track.Genre = JoinedText(metadata, "xesam:genre");
  track.Comment = JoinedText(metadata, "xesam:comment");
  track.Composer = JoinedText(metadata, "xesam:composer");
  track.Year = Year(Text(metadata, "xesam:contentCreated"));
  track.Track = PositiveNumber(metadata, "xesam:trackNumber");
  track.Disc = PositiveNumber(metadata, "xesam:discNumber");
  track.LengthMs = LengthMs(metadata);
  track.ArtUrl = ArtUrl(Text(metadata, "mpris:artUrl"));
  return result;
}

std::optional<std::string> FileUriToPath(std::string_view uri) {
  if (!StartsWith(uri, kFileScheme)) return std::nullopt;
  std::string_view rest = uri.substr(kFileScheme.size());
  const std::size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const std::string_view host = rest.substr(0, slash);
  if (!host.empty() && host != "localhost") return std::nullopt;
  rest = rest.substr(slash);
  // A query or fragment has no place in a local file's URI.
  if (rest.find_first_of("?#") != std::string_view::npos) return std::nullopt;
  // Control characters have no place in a line of output, and no real file name holds one.
  auto path = PercentDecoded(rest);
  if (!path || HasControlCharacter(*path) || !IsValidUtf8(*path)) return std::nullopt;
  return path;
}

std::string PathToFileUri(std::string_view absolutePath) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri(kFileScheme);
  for (char c : absolutePath) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[byte >> 4];
      uri += kHex[byte & 15];
    }
  }
  return uri;
}

bool IsDecodableDataUri(std::string_view uri) {
  if (!StartsWith(uri, kDataScheme)) return false;
  const std::size_t comma = uri.find(',');
  if (comma == std::string_view::npos) return false;
  const std::string_view header = uri.substr(kDataScheme.size(), comma - kDataScheme.size());
  const std::string_view data = uri.substr(comma + 1);
  constexpr std::string_view kBase64 = ";base64";
  const bool base64 = header.size() >= kBase64.size() &&
                      header.substr(header.size() - kBase64.size()) == kBase64;
  if (base64) return !data.empty() && IsBase64(data);
  return PercentDecoded(data).has_value();
}

std::optional<std::int32_t> MicrosecondsToMs(std::int64_t microseconds) {
  const std::int64_t ms = microseconds / 1000;
  if (microseconds < 0 || ms > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return static_cast<std::int32_t>(ms);
}

std::int32_t VolumeFromBus(double volume) {
  if (!(volume > 0)) return 0;  // NaN too
  if (volume >= 1) return 255;
  return static_cast<std::int32_t>(std::floor(volume * 255 + 0.5));
}

double VolumeToBus(std::int32_t volume) {
  if (volume <= 0) return 0;
  if (volume >= 255) return 1;
  return volume / 255.0;
}

std::vector<std::string> MatchingPlayerNames(std::string_view parameter,
                                             const std::vector<std::string>& busNames) {
  std::string_view wanted = parameter;
  if (wanted == kAnyPlayer) wanted = {};
  if (StartsWith(wanted, kNamedPlayer)) wanted = wanted.substr(kNamedPlayer.size());
  std::vector<std::string> matching;
  for (const std::string& name : busNames) {
    if (!StartsWith(name, kMprisPrefix)) continue;
    const std::string_view player = std::string_view(name).substr(kMprisPrefix.size());
    if (player.empty()) continue;
    const bool match =
        wanted.empty() || player == wanted ||
        (StartsWith(player, wanted) && StartsWith(player.substr(wanted.size()), kInstanceSuffix));
    if (match) matching.push_back(name);
  }
  return matching;
}

std::optional<std::size_t> PreferredPlayer(const std::vector<TPlayStatus>& statuses) {
  for (TPlayStatus wanted : {TPlayStatus::Playing, TPlayStatus::Paused}) {
    for (std::size_t i = 0; i < statuses.size(); ++i) {
      if (statuses[i] == wanted) return i;
    }
  }
  if (statuses.empty()) return std::nullopt;
  return 0;
}

TPlayStatus StatusFromBus(std::string_view playbackStatus) {
  if (playbackStatus == "Playing") return TPlayStatus::Playing;
  if (playbackStatus == "Paused") return TPlayStatus::Paused;
  if (playbackStatus == "Stopped") return TPlayStatus::Stopped;
  return TPlayStatus::Unknown;
}

}  // namespace jarvet
