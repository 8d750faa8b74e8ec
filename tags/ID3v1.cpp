// The ID3v1 readers: trailer reading, its layout and the 1.0/1.1 test, the fields as INFO
// cleans them and as the track record takes them.
#include "ID3v1.h"

#include <cstring>
#include <string_view>

#include "CodePage.h"
#include "File.h"
#include "TagReaders.h"
#include "Text.h"

namespace jarvet {

namespace {

// Offsets and lengths inside the trailer.
constexpr char kMarker[] = "TAG";
constexpr std::size_t kMarkerSize = 3;
constexpr std::size_t kTitleOffset = 3;
constexpr std::size_t kArtistOffset = 33;
constexpr std::size_t kAlbumOffset = 63;
constexpr std::size_t kTextSize = 30;
constexpr std::size_t kYearOffset = 93;
constexpr std::size_t kYearSize = 4;
constexpr std::size_t kCommentOffset = 97;
constexpr std::size_t kComment10Size = 30;
constexpr std::size_t kComment11Size = 28;
constexpr std::size_t kTrackFlagOffset = 125;
constexpr std::size_t kTrackOffset = 126;
constexpr std::size_t kGenreOffset = 127;

static_assert(kGenreOffset + 1 == kID3v1TrailerSize);
static_assert(kCommentOffset + kComment10Size == kGenreOffset);
static_assert(kCommentOffset + kComment11Size == kTrackFlagOffset);
static_assert(GenreNames[GenreCount - 1] != nullptr, "a genre name is missing");

constexpr unsigned char kSpace = 0x20;

// A NUL inside the area is part of the text; only the writer's padding at the end goes.
std::string CleanArea(std::string_view area) { return Windows1252ToAnsi(TrimControlRight(area)); }

}  // namespace

bool ReadTrailer(const std::string& fileName, unsigned char (&buffer)[kID3v1TrailerSize]) {
  TReadOnlyFile file;
  if (!file.Open(fileName, TShare::ReadWrite)) return false;
  std::int64_t size = 0;
  if (!file.Size(size) || size < static_cast<std::int64_t>(kID3v1TrailerSize)) return false;
  if (!file.Seek(size - static_cast<std::int64_t>(kID3v1TrailerSize))) return false;
  std::size_t got = 0;
  if (!file.Read(buffer, kID3v1TrailerSize, got) || got != kID3v1TrailerSize) return false;
  return file.Close();
}

int DetectVersion(const unsigned char* trailer) {
  const unsigned char flag = trailer[kTrackFlagOffset];
  const unsigned char track = trailer[kTrackOffset];
  const bool hasTrack = (flag == 0 && track != 0) || (flag == kSpace && track != kSpace);
  return hasTrack ? TID3v1::kVersion11 : TID3v1::kVersion10;
}

std::optional<TID3v1Areas> SplitTrailer(const unsigned char (&trailer)[kID3v1TrailerSize]) {
  if (std::memcmp(trailer, kMarker, kMarkerSize) != 0) return std::nullopt;
  const auto area = [&](std::size_t offset, std::size_t size) {
    return std::string_view(reinterpret_cast<const char*>(trailer) + offset, size);
  };
  TID3v1Areas areas;
  areas.Version11 = DetectVersion(trailer) == TID3v1::kVersion11;
  areas.Title = area(kTitleOffset, kTextSize);
  areas.Artist = area(kArtistOffset, kTextSize);
  areas.Album = area(kAlbumOffset, kTextSize);
  areas.Year = area(kYearOffset, kYearSize);
  areas.Comment = area(kCommentOffset, areas.Version11 ? kComment11Size : kComment10Size);
  areas.Track = areas.Version11 ? trailer[kTrackOffset] : 0;
  areas.Genre = trailer[kGenreOffset];
  return areas;
}

void TID3v1::Reset() { *this = TID3v1(); }

bool TID3v1::Load(const std::string& fileName) {
  Reset();
  unsigned char trailer[kID3v1TrailerSize];
  if (!ReadTrailer(fileName, trailer)) return false;
  const auto areas = SplitTrailer(trailer);
  if (!areas) return true;
  TagFound = true;
  Version = areas->Version11 ? kVersion11 : kVersion10;
  Title = CleanArea(areas->Title);
  Artist = CleanArea(areas->Artist);
  Album = CleanArea(areas->Album);
  Year = CleanArea(areas->Year);
  Comment = CleanArea(areas->Comment);
  Track = areas->Track;
  GenreIndex = areas->Genre;
  return true;
}

namespace tags {

bool ReadID3v1Tags(TByteSource& source, TTrackTags& tags) {
  const auto size = static_cast<std::int64_t>(kID3v1TrailerSize);
  if (source.Size() < size) return false;
  unsigned char trailer[kID3v1TrailerSize];
  if (source.ReadAt(source.Size() - size, trailer, kID3v1TrailerSize) != kID3v1TrailerSize) {
    return false;
  }
  const auto areas = SplitTrailer(trailer);
  if (!areas) return false;
  // The record's texts end at their first zero byte.
  const auto text = [](std::string_view area) {
    return Windows1252ToUtf8(TrimControlRight(area.substr(0, area.find('\0'))));
  };
  tags.TagFormat = areas->Version11 ? "ID3v1.1" : "ID3v1";
  tags.Title = text(areas->Title);
  tags.Artist = text(areas->Artist);
  tags.Album = text(areas->Album);
  tags.Year = text(areas->Year);
  tags.Comment = text(areas->Comment);
  tags.Track = areas->Track;
  tags.Genre = GenreName(areas->Genre);
  return true;
}

}  // namespace tags

}  // namespace jarvet
