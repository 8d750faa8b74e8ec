// Fuzzes the ID3v2 reader with whole files: whatever the bytes, Load returns, the fields are
// clean text of the code page within the 500-byte frame read, and every Load starts afresh.
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

#include "FuzzSupport.h"
#include "ID3v2.h"

namespace jarvet::fuzz {
namespace {

constexpr std::size_t kHeaderSize = 10;
constexpr std::size_t kMaxFieldCharacters = 499;  // 500 frame bytes less the encoding byte

static_assert(std::is_same_v<decltype(TID3v2::Track), std::uint16_t>, "Track is 16 bits");

template <typename Visit>
void ForEachText(const TID3v2& tag, Visit visit) {
  visit("Title", tag.Title);
  visit("Artist", tag.Artist);
  visit("Album", tag.Album);
  visit("Year", tag.Year);
  visit("Genre", tag.Genre);
  visit("Comment", tag.Comment);
  visit("Composer", tag.Composer);
  visit("EncodedBy", tag.EncodedBy);
  visit("RightsNotice", tag.RightsNotice);
  visit("Language", tag.Language);
  visit("UserUrl", tag.UserUrl);
}

bool SameFields(const TID3v2& a, const TID3v2& b) {
  return a.TagFound == b.TagFound && a.MajorVersion == b.MajorVersion &&
         a.TagSize == b.TagSize && a.Track == b.Track && a.Title == b.Title &&
         a.Artist == b.Artist && a.Album == b.Album && a.Year == b.Year && a.Genre == b.Genre &&
         a.Comment == b.Comment && a.Composer == b.Composer && a.EncodedBy == b.EncodedBy &&
         a.RightsNotice == b.RightsNotice && a.Language == b.Language && a.UserUrl == b.UserUrl;
}

// The fields that only a walked tag fills, all as Reset leaves them.
bool NothingDerived(const TID3v2& tag) {
  TID3v2 fresh;
  fresh.TagFound = tag.TagFound;
  fresh.MajorVersion = tag.MajorVersion;
  fresh.TagSize = tag.TagSize;
  return SameFields(tag, fresh);
}

void CheckTag(const std::uint8_t* data, std::size_t size) {
  const std::string path = Scratch().File("tag.mp3");
  WriteWholeFile(path, data, size);

  TID3v2 tag;
  const bool loaded = LoadWithoutThrowing(tag, path);
  FUZZ_REQUIRE(loaded == (size >= kHeaderSize));
  const bool marker = size >= kHeaderSize && std::memcmp(data, "ID3", 3) == 0;
  FUZZ_REQUIRE(tag.TagFound == marker);
  if (!tag.TagFound) {
    FUZZ_REQUIRE(SameFields(tag, TID3v2()));
  } else {
    FUZZ_REQUIRE(tag.MajorVersion == data[3]);
    FUZZ_REQUIRE(tag.TagSize == 0 || (tag.TagSize >= static_cast<std::int32_t>(kHeaderSize) &&
                                      static_cast<std::size_t>(tag.TagSize) <= size));
    if (tag.MajorVersion < 2 || tag.MajorVersion > 4 || tag.TagSize == 0) {
      FUZZ_REQUIRE(NothingDerived(tag));
    }
  }

  ForEachText(tag, [](const char* name, const std::string& text) {
    if (!IsUtf8(text)) Fail(name, __FILE__, __LINE__);
    if (CharacterCount(text) > kMaxFieldCharacters) Fail(name, __FILE__, __LINE__);
  });
  // Decoded texts lose their blanks at both ends; a genre keeps what follows its ")" as it is,
  // and a year cut from a recording time may end where the cut fell.
  for (const std::string* text : {&tag.Title, &tag.Artist, &tag.Album, &tag.Comment, &tag.Composer,
                                  &tag.EncodedBy, &tag.RightsNotice, &tag.Language, &tag.UserUrl}) {
    FUZZ_REQUIRE(StartsTrimmed(*text) && EndsTrimmed(*text));
  }
  FUZZ_REQUIRE(EndsTrimmed(tag.Genre));
  FUZZ_REQUIRE(StartsTrimmed(tag.Year));

  CheckReload(tag, path, loaded, SameFields);
}

}  // namespace
}  // namespace jarvet::fuzz

JARVET_FUZZ_TARGET(jarvet::fuzz::CheckTag)
