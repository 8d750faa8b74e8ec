// Fuzzes the ID3v1 reader with whole files: Load returns, the fields keep to the trailer's
// areas, and every Load starts afresh.
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "ID3v1.h"

namespace jarvet::fuzz {
namespace {

constexpr std::size_t kTextArea = 30;
constexpr std::size_t kYearArea = 4;
constexpr std::size_t kComment11Area = 28;

bool SameFields(const TID3v1& a, const TID3v1& b) {
  return a.TagFound == b.TagFound && a.Version == b.Version && a.Title == b.Title &&
         a.Artist == b.Artist && a.Album == b.Album && a.Year == b.Year &&
         a.Comment == b.Comment && a.Track == b.Track && a.GenreIndex == b.GenreIndex;
}

// Clean text of the code page, no longer than its area, without the writer's padding.
bool FitsArea(const std::string& text, std::size_t area) {
  return IsUtf8(text) && CharacterCount(text) <= area && EndsTrimmed(text);
}

void CheckTrailer(const std::uint8_t* data, std::size_t size) {
  const std::string path = Scratch().File("trailer.mp3");
  WriteWholeFile(path, data, size);

  TID3v1 tag;
  const bool loaded = LoadWithoutThrowing(tag, path);
  FUZZ_REQUIRE(loaded == (size >= kID3v1TrailerSize));
  const std::uint8_t* trailer = loaded ? data + size - kID3v1TrailerSize : nullptr;
  FUZZ_REQUIRE(tag.TagFound == (loaded && std::memcmp(trailer, "TAG", 3) == 0));

  if (!tag.TagFound) {
    FUZZ_REQUIRE(SameFields(tag, TID3v1()));
  } else {
    FUZZ_REQUIRE(tag.Version == TID3v1::kVersion10 || tag.Version == TID3v1::kVersion11);
    FUZZ_REQUIRE(FitsArea(tag.Title, kTextArea));
    FUZZ_REQUIRE(FitsArea(tag.Artist, kTextArea));
    FUZZ_REQUIRE(FitsArea(tag.Album, kTextArea));
    FUZZ_REQUIRE(FitsArea(tag.Year, kYearArea));
    if (tag.Version == TID3v1::kVersion10) {
      FUZZ_REQUIRE(tag.Track == 0);
      FUZZ_REQUIRE(FitsArea(tag.Comment, kTextArea));
    } else {
      // The track byte and the byte that announces it are no part of the comment.
      FUZZ_REQUIRE(tag.Track == trailer[kID3v1TrailerSize - 2]);
      FUZZ_REQUIRE(FitsArea(tag.Comment, kComment11Area));
    }
    FUZZ_REQUIRE(tag.GenreIndex == trailer[kID3v1TrailerSize - 1]);
  }

  CheckReload(tag, path, loaded, SameFields);
}

}  // namespace
}  // namespace jarvet::fuzz

JARVET_FUZZ_TARGET(jarvet::fuzz::CheckTrailer)
