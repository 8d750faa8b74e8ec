// Reading a track's tags: the format told by the file's first bytes, and the rules the
// key-value formats share.
#include "TrackTags.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "TagReaders.h"
#include "TagText.h"
#include "Text.h"

namespace jarvet::tags {

namespace {

constexpr std::size_t kSniffSize = 16;
constexpr std::array<std::uint8_t, 16> kAsfHeaderGuid = {
    0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

bool StartsWith(const std::string& bytes, std::string_view prefix, std::size_t at = 0) {
  return bytes.size() >= at + prefix.size() && bytes.compare(at, prefix.size(), prefix) == 0;
}

// Tags at the end of the file, in the order MP3 players look for them; the first one there
// gives every field.
void ReadTrailingTags(TByteSource& source, TTrackTags& tags) {
  if (!ReadApeTags(source, tags)) ReadID3v1Tags(source, tags);
}

void ReadTags(TByteSource& source, TTrackTags& tags) {
  const std::string head = ReadBytes(source, 0, kSniffSize);
  if (StartsWith(head, "ID3")) {
    const std::int64_t behind = ID3v2TagLength(source, 0);
    const std::string next = ReadBytes(source, behind, kSniffSize);
    if (StartsWith(next, "fLaC")) {
      tags.Format = "FLAC";
      ReadFlacTags(source, behind, tags);
      return;
    }
    if (StartsWith(next, "MAC ")) {
      tags.Format = "Monkey's Audio";
      ReadMonkeysAudioProperties(source, behind, tags);
    } else {
      tags.Format = "MPEG";
      ReadMpegProperties(source, behind, tags);
    }
    if (!ReadID3v2Tags(source, 0, tags)) ReadTrailingTags(source, tags);
    return;
  }
  if (StartsWith(head, "fLaC")) {
    tags.Format = "FLAC";
    ReadFlacTags(source, 0, tags);
  } else if (StartsWith(head, "OggS")) {
    ReadOggTags(source, tags);
  } else if (StartsWith(head, "ftyp", 4)) {
    tags.Format = "MP4";
    ReadMp4Tags(source, tags);
  } else if (head.size() >= kAsfHeaderGuid.size() &&
             std::memcmp(head.data(), kAsfHeaderGuid.data(), kAsfHeaderGuid.size()) == 0) {
    tags.Format = "ASF";
    ReadAsfTags(source, tags);
  } else if (StartsWith(head, "RIFF") && StartsWith(head, "WAVE", 8)) {
    tags.Format = "WAVE";
    ReadWaveTags(source, tags);
  } else if (StartsWith(head, "FORM") &&
             (StartsWith(head, "AIFF", 8) || StartsWith(head, "AIFC", 8))) {
    tags.Format = "AIFF";
    ReadAiffTags(source, tags);
  } else {
    if (StartsWith(head, "MAC ")) {
      tags.Format = "Monkey's Audio";
      ReadMonkeysAudioProperties(source, 0, tags);
    } else if (StartsWith(head, "wvpk")) {
      tags.Format = "WavPack";
      ReadWavPackProperties(source, tags);
    } else if (StartsWith(head, "MPCK") || StartsWith(head, "MP+")) {
      tags.Format = "Musepack";
      ReadMusepackProperties(source, tags);
    } else if (head.size() >= 2 && static_cast<std::uint8_t>(head[0]) == 0xFF &&
               (static_cast<std::uint8_t>(head[1]) & 0xE0) == 0xE0) {
      tags.Format = "MPEG";
      ReadMpegProperties(source, 0, tags);
    }
    ReadTrailingTags(source, tags);
  }
}

}  // namespace

TTrackTags ReadTrackTags(TByteSource& source) {
  TTrackTags tags;
  try {
    ReadTags(source, tags);
  } catch (...) {
    // Only running out of memory gets here: what was read before stands.
  }
  return tags;
}

std::optional<TTrackTags> ReadTrackTags(const std::string& fileName, TNameEncoding encoding) {
  TFileSource source;
  if (!source.Open(fileName, encoding)) return std::nullopt;
  return ReadTrackTags(source);
}

std::uint64_t SevenBitNumber(TSequence& sequence, int maxBytes) {
  std::uint64_t value = 0;
  for (int i = 0; i < maxBytes; ++i) {
    const std::uint8_t b = sequence.U8();
    value = value << 7 | (b & 0x7F);
    if (!(b & 0x80)) break;
  }
  return value;
}

std::optional<std::uint32_t> Figure(double value, std::uint64_t bound) {
  if (!(value >= 0.5) || value > static_cast<double>(bound)) return std::nullopt;
  return static_cast<std::uint32_t>(std::lround(value));
}

std::optional<std::uint32_t> LengthOf(double samples, double rate) {
  if (!(rate > 0)) return std::nullopt;
  return Figure(samples * 1000.0 / rate, kMaxLengthMs);
}

std::optional<std::uint32_t> BitrateOf(double bytes, std::optional<std::uint32_t> lengthMs) {
  if (!lengthMs || *lengthMs == 0) return std::nullopt;
  return Figure(bytes * 8.0 / *lengthMs, kMaxBitrate);
}

void FillBitrate(TTrackTags& tags, std::int64_t audioBytes) {
  if (!tags.Audio.Bitrate && audioBytes > 0) {
    tags.Audio.Bitrate = BitrateOf(static_cast<double>(audioBytes), tags.Audio.LengthMs);
  }
}

void OfferCover(TTrackTags& tags, const TCoverLocation& cover) {
  const bool haveFront = tags.Cover && tags.Cover->PictureType == kFrontCover;
  if (!tags.Cover || (!haveFront && cover.PictureType == kFrontCover)) tags.Cover = cover;
}

bool TKeyValues::Uses(std::string_view key) {
  static constexpr std::string_view kUsedKeys[] = {
      "TITLE",          "ARTIST",      "ALBUM",          "ALBUMARTIST",  "ALBUM ARTIST",
      "ALBUM_ARTIST",   "DATE",        "YEAR",           "TRACKNUMBER",  "TRACK",
      "TRACKTOTAL",     "TOTALTRACKS", "DISCNUMBER",     "DISC",         "GENRE",
      "COMMENT",        "DESCRIPTION", "COMPOSER",       "AUTHOR",       "WM/ALBUMTITLE",
      "WM/ALBUMARTIST", "WM/YEAR",     "WM/TRACKNUMBER", "WM/PARTOFSET", "WM/GENRE",
      "WM/COMPOSER"};
  return std::any_of(std::begin(kUsedKeys), std::end(kUsedKeys),
                     [&](std::string_view used) { return SameTextAscii(key, used); });
}

void TKeyValues::Add(std::string key, std::string value) {
  if (value.empty() || Full() || !Uses(key)) return;
  Held_ += sizeof(Fields_[0]) + key.size() + value.size();
  Fields_.emplace_back(std::move(key), std::move(value));
}

std::vector<std::string> TKeyValues::Values(std::string_view key) const {
  std::vector<std::string> values;
  for (const auto& [name, value] : Fields_) {
    if (!value.empty() && SameTextAscii(name, key)) values.push_back(value);
  }
  return values;
}

std::string TKeyValues::First(const std::vector<std::string_view>& keys) const {
  for (std::string_view key : keys) {
    const auto values = Values(key);
    if (!values.empty()) return values.front();
  }
  return std::string();
}

std::string TKeyValues::Joined(const std::vector<std::string_view>& keys) const {
  for (std::string_view key : keys) {
    std::string joined = JoinValues(Values(key));
    if (!joined.empty()) return joined;
  }
  return std::string();
}

const TKeyNames kVorbisKeys = {{"DATE", "YEAR"},
                               {"TRACKNUMBER"},
                               {"TRACKTOTAL", "TOTALTRACKS"},
                               {"DISCNUMBER"},
                               {"COMMENT", "DESCRIPTION"}};
// The key the format names first, then those that other writers use (ffmpeg "date", TagLib's
// writer "DISCNUMBER").
const TKeyNames kApeKeys = {{"YEAR", "DATE"},
                            {"TRACK", "TRACKNUMBER"},
                            {"TRACKTOTAL", "TOTALTRACKS"},
                            {"DISC", "DISCNUMBER"},
                            {"COMMENT"}};

void FillFromKeyValues(const TKeyValues& fields, const TKeyNames& names, TTrackTags& tags) {
  tags.Title = fields.Joined({"TITLE"});
  tags.Artist = fields.Joined({"ARTIST"});
  tags.Album = fields.Joined({"ALBUM"});
  tags.AlbumArtist = fields.Joined({"ALBUMARTIST", "ALBUM ARTIST", "ALBUM_ARTIST"});
  tags.Year = YearOf(fields.First(names.Year));
  const std::string track = fields.First(names.Track);
  tags.Track = NumberBeforeSlash(track);
  tags.TrackTotal = NumberAfterSlash(track);
  if (const std::string total = fields.First(names.TrackTotal); !total.empty()) {
    tags.TrackTotal = NumberBeforeSlash(total);
  }
  tags.Disc = NumberBeforeSlash(fields.First(names.Disc));
  tags.Genre = fields.Joined({"GENRE"});
  tags.Comment = fields.First(names.Comment);
  tags.Composer = fields.Joined({"COMPOSER"});
}

}  // namespace jarvet::tags
