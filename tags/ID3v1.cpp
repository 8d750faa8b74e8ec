// The ID3v1 reader: trailer reading, the 1.0/1.1 test and the field cleaning.
#include "ID3v1.h"

#include <cstring>
#include <string_view>

#include "CodePage.h"
#include "File.h"
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
std::string CleanArea(const unsigned char* trailer, std::size_t offset, std::size_t size) {
  const std::string_view area(reinterpret_cast<const char*>(trailer) + offset, size);
  return Windows1252ToAnsi(TrimControlRight(area));
}

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

void TID3v1::Reset() { *this = TID3v1(); }

bool TID3v1::Load(const std::string& fileName) {
  Reset();
  unsigned char trailer[kID3v1TrailerSize];
  if (!ReadTrailer(fileName, trailer)) return false;
  if (std::memcmp(trailer, kMarker, kMarkerSize) != 0) return true;

  TagFound = true;
  Version = static_cast<std::uint8_t>(DetectVersion(trailer));
  Title = CleanArea(trailer, kTitleOffset, kTextSize);
  Artist = CleanArea(trailer, kArtistOffset, kTextSize);
  Album = CleanArea(trailer, kAlbumOffset, kTextSize);
  Year = CleanArea(trailer, kYearOffset, kYearSize);
  if (Version == kVersion11) {
    Comment = CleanArea(trailer, kCommentOffset, kComment11Size);
    Track = trailer[kTrackOffset];
  } else {
    Comment = CleanArea(trailer, kCommentOffset, kComment10Size);
  }
  GenreIndex = trailer[kGenreOffset];
  return true;
}

}  // namespace jarvet
