// Small ID3 tags built byte by byte, for tests that need tagged files.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace jarvet::testing {

// An ID3v2.3 tag of text frames, each with text-encoding byte 0 (ISO-8859-1).
inline std::string Id3v23Tag(const std::vector<std::pair<std::string, std::string>>& frames) {
  std::string body;
  for (const auto& [id, text] : frames) {
    const std::size_t size = text.size() + 1;
    body += id;
    for (int shift = 24; shift >= 0; shift -= 8) body += static_cast<char>((size >> shift) & 0xFF);
    body += std::string(2, '\0');  // flags
    body += '\0';                  // ISO-8859-1
    body += text;
  }
  std::string header = "ID3";
  header += '\x03';
  header += std::string(2, '\0');
  for (int shift = 21; shift >= 0; shift -= 7) {
    header += static_cast<char>((body.size() >> shift) & 0x7F);
  }
  return header + body;
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
