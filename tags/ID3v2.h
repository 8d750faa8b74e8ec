// The ID3v2 tag reader: the tag at the start of an audio file turned into text fields.
#pragma once

#include <cstdint>
#include <string>

namespace jarvet {

class TID3v2 {
 public:
  TID3v2() { Reset(); }

  void Reset();
  // False only when the file's first 10 bytes cannot be read; whether a tag was there is
  // TagFound. Never throws.
  bool Load(const std::string& fileName);

  bool TagFound;
  std::uint8_t MajorVersion;
  std::int32_t TagSize;
  std::string Title, Artist, Album;
  std::uint16_t Track;
  std::string Year, Genre, Comment, Composer, EncodedBy, RightsNotice, Language, UserUrl;
};

}  // namespace jarvet
