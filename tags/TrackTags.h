// One record of a track's tags, whatever the file's format, read from the file's content.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "File.h"

namespace jarvet::tags {

class TByteSource;

// How the stored bytes of a cover picture turn into the picture.
enum class TCoverEncoding {
  Plain,           // they are the picture
  Unsynchronised,  // ID3v2: drop the zero byte behind each 0xFF
  // Ogg: base64 text of a FLAC picture block, the packet's bytes continued across pages; the
  // picture follows the block's header.
  Base64PictureBlock,
};

struct TCoverLocation {
  std::string Mime;
  std::uint8_t PictureType = 0;      // numbered as ID3v2 and FLAC number them; 3 the front cover
  std::int64_t Offset = 0;           // of the first stored byte in the file
  std::int64_t StoredSize = 0;       // Ogg: packet bytes, the page headers among them not counted
  std::optional<std::int64_t> Size;  // of the picture itself, when known without reading it
  TCoverEncoding Encoding = TCoverEncoding::Plain;
};

constexpr std::uint8_t kFrontCover = 3;

// Figures read from the audio's headers; absent where the file does not give them or they make
// no sense.
struct TAudioProperties {
  std::optional<std::uint32_t> LengthMs;
  std::optional<std::uint32_t> Bitrate;  // average, kbps
  std::optional<std::uint32_t> SampleRate;
  std::optional<std::uint32_t> Channels;
};

constexpr std::uint64_t kMaxLengthMs = 24ull * 60 * 60 * 1000;
constexpr std::uint64_t kMaxBitrate = 10000;
constexpr std::uint64_t kMaxSampleRate = 768000;
constexpr std::uint64_t kMaxChannels = 255;

// All text is UTF-8; absent fields are empty or 0. Several values of a field are joined with
// "; ".
struct TTrackTags {
  std::string Format;     // the container: "MPEG", "FLAC", "Ogg Vorbis", "MP4", ...
  std::string TagFormat;  // the tag the fields came from: "ID3v2.4", "APEv2", "Vorbis comment", ...
  std::string Title, Artist, Album, AlbumArtist, Year;
  std::uint32_t Track = 0, TrackTotal = 0, Disc = 0;
  std::string Genre, Comment, Composer;
  std::optional<TCoverLocation> Cover;
  TAudioProperties Audio;
};

// Empty when the file cannot be opened. Never throws.
std::optional<TTrackTags> ReadTrackTags(const std::string& fileName,
                                        TNameEncoding encoding = TNameEncoding::Utf8);
TTrackTags ReadTrackTags(TByteSource& source);

}  // namespace jarvet::tags
