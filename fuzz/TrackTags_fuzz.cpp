// Fuzzes the track-tag readers with whole files, dispatched by content as ReadTrackTags does:
// whatever the bytes, it returns; every text is well-formed UTF-8 within the field bound; the
// cover lies inside the file; the audio figures within their bounds; and the file read from
// disk gives the record the bytes gave.
#include <cstdint>
#include <string>

#include "ByteSource.h"
#include "FuzzSupport.h"
#include "TagText.h"
#include "TrackTags.h"

namespace jarvet::fuzz {
namespace {

using tags::TTrackTags;

bool SameRecord(const TTrackTags& a, const TTrackTags& b) {
  const bool sameCover =
      a.Cover.has_value() == b.Cover.has_value() &&
      (!a.Cover ||
       (a.Cover->Mime == b.Cover->Mime && a.Cover->PictureType == b.Cover->PictureType &&
        a.Cover->Offset == b.Cover->Offset && a.Cover->StoredSize == b.Cover->StoredSize &&
        a.Cover->Size == b.Cover->Size && a.Cover->Encoding == b.Cover->Encoding));
  return a.Format == b.Format && a.TagFormat == b.TagFormat && a.Title == b.Title &&
         a.Artist == b.Artist && a.Album == b.Album && a.AlbumArtist == b.AlbumArtist &&
         a.Year == b.Year && a.Track == b.Track && a.TrackTotal == b.TrackTotal &&
         a.Disc == b.Disc && a.Genre == b.Genre && a.Comment == b.Comment &&
         a.Composer == b.Composer && sameCover && a.Audio.LengthMs == b.Audio.LengthMs &&
         a.Audio.Bitrate == b.Audio.Bitrate && a.Audio.SampleRate == b.Audio.SampleRate &&
         a.Audio.Channels == b.Audio.Channels;
}

void CheckTags(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  tags::TMemorySource source(bytes);
  const TTrackTags record = tags::ReadTrackTags(source);

  for (const std::string* text :
       {&record.Format, &record.TagFormat, &record.Title, &record.Artist, &record.Album,
        &record.AlbumArtist, &record.Year, &record.Genre, &record.Comment, &record.Composer}) {
    FUZZ_REQUIRE(IsUtf8(*text));
    FUZZ_REQUIRE(text->size() <= tags::kMaxFieldText);
  }
  if (record.Cover) {
    const auto& cover = *record.Cover;
    FUZZ_REQUIRE(IsUtf8(cover.Mime));
    FUZZ_REQUIRE(cover.Offset >= 0 && cover.StoredSize >= 0);
    FUZZ_REQUIRE(cover.Offset + cover.StoredSize <= static_cast<std::int64_t>(size));
    FUZZ_REQUIRE(!cover.Size || *cover.Size >= 0);
    // A picture stored as it is has the size of its stored bytes.
    FUZZ_REQUIRE(cover.Encoding != tags::TCoverEncoding::Plain || cover.Size == cover.StoredSize);
  }
  // The audio figures are absent or within their bounds, never 0.
  const auto within = [](std::optional<std::uint32_t> value, std::uint64_t bound) {
    return !value || (*value > 0 && *value <= bound);
  };
  FUZZ_REQUIRE(within(record.Audio.LengthMs, tags::kMaxLengthMs));
  FUZZ_REQUIRE(within(record.Audio.Bitrate, tags::kMaxBitrate));
  FUZZ_REQUIRE(within(record.Audio.SampleRate, tags::kMaxSampleRate));
  FUZZ_REQUIRE(within(record.Audio.Channels, tags::kMaxChannels));
  // A year is at most four characters; a track at most what 32 bits hold (by its type).
  FUZZ_REQUIRE(CharacterCount(record.Year) <= 4);

  const std::string path = Scratch().File("track");
  WriteWholeFile(path, data, size);
  const auto fromFile = tags::ReadTrackTags(path);
  FUZZ_REQUIRE(fromFile.has_value());
  FUZZ_REQUIRE(SameRecord(*fromFile, record));
}

}  // namespace
}  // namespace jarvet::fuzz

JARVET_FUZZ_TARGET(jarvet::fuzz::CheckTags)
