// ID3 tags built byte by byte, for the tests and benchmarks that need tagged files.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace jarvet::testing {

inline std::string BigEndian(std::size_t value, int bytes) {
  std::string out;
  for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
    out += static_cast<char>(value >> shift & 0xFF);
  }
  return out;
}

// Four bytes of seven bits each, as ID3v2 writes its sizes.
inline std::string Syncsafe(std::size_t value) {
  std::string out;
  for (int shift = 21; shift >= 0; shift -= 7) out += static_cast<char>(value >> shift & 0x7F);
  return out;
}

// A frame as ID3v2 version 2, 3 or 4 writes it; sizeField replaces the size the version would
// write.
inline std::string Frame(int version, std::string_view id, std::string_view data,
                         char formatFlags = 0, std::string sizeField = "") {
  if (version == 2) return std::string(id) + BigEndian(data.size(), 3) + std::string(data);
  if (sizeField.empty()) {
    sizeField = version == 4 ? Syncsafe(data.size()) : BigEndian(data.size(), 4);
  }
  return std::string(id) + sizeField + '\0' + formatFlags + std::string(data);
}

// A text frame in ISO-8859-1.
inline std::string TextFrame(int version, std::string_view id, std::string_view text) {
  return Frame(version, id, '\0' + std::string(text));
}

// The tag header, the frames and padding zero bytes after them, by default a little, as taggers
// leave room for later edits.
inline std::string Tag(int version, std::string_view body, char flags = 0,
                       std::size_t padding = 16) {
  return "ID3" + std::string{static_cast<char>(version), '\0', flags} +
         Syncsafe(body.size() + padding) + std::string(body) + std::string(padding, '\0');
}

// A zero byte after every 0xFF, which the reader drops again.
inline std::string Unsynchronise(std::string_view data) {
  std::string out;
  for (char c : data) {
    out += c;
    if (c == '\xFF') out += '\0';
  }
  return out;
}

// An ID3v2.3 tag of ISO-8859-1 text frames.
inline std::string Id3v23Tag(const std::vector<std::pair<std::string, std::string>>& frames) {
  std::string body;
  for (const auto& [id, text] : frames) body += TextFrame(3, id, text);
  return Tag(3, body, 0, 0);
}

// A 128-byte ID3v1 trailer; a track above 0 makes it ID3v1.1.
inline std::string Id3v1Trailer(const std::string& title, const std::string& artist,
                                const std::string& album, const std::string& year, int track) {
  const auto area = [](const std::string& text, std::size_t size) {
    return text.substr(0, size) + std::string(size - std::min(size, text.size()), '\0');
  };
  std::string trailer = "TAG" + area(title, 30) + area(artist, 30) + area(album, 30) +
                        area(year, 4) + area("", 28);
  trailer += '\0';
  trailer += static_cast<char>(track);
  trailer += '\x0C';  // genre
  return trailer;
}

// Stands in for the audio between the tags.
inline std::string AudioBytes() { return std::string(2000, '\x55'); }

}  // namespace jarvet::testing
