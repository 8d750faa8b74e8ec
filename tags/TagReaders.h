// Internal to the track-tag readers: one reader per format, each filling the record from a
// byte source, and what several of them share.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ByteSource.h"
#include "TagText.h"
#include "TrackTags.h"

namespace jarvet::tags {

// The ID3v2 tag at offset: its whole length, header and footer included; 0 when none is there.
std::int64_t ID3v2TagLength(TByteSource& source, std::int64_t offset);
// False when no ID3v2 tag of version 2, 3 or 4 is at offset.
bool ReadID3v2Tags(TByteSource& source, std::int64_t offset, TTrackTags& tags);
// False when the last 128 bytes are no ID3v1 trailer.
bool ReadID3v1Tags(TByteSource& source, TTrackTags& tags);
// False when no APEv2 tag ends the file (before an ID3v1 trailer, if any) or begins it.
bool ReadApeTags(TByteSource& source, TTrackTags& tags);

void ReadFlacTags(TByteSource& source, std::int64_t offset, TTrackTags& tags);
void ReadOggTags(TByteSource& source, TTrackTags& tags);
// count bytes of the comment packet from the file offset on, page headers passed over.
std::optional<std::string> ReadOggCommentBytes(TByteSource& source, std::int64_t offset,
                                               std::uint64_t count);
void ReadMp4Tags(TByteSource& source, TTrackTags& tags);
void ReadAsfTags(TByteSource& source, TTrackTags& tags);
void ReadWaveTags(TByteSource& source, TTrackTags& tags);
void ReadAiffTags(TByteSource& source, TTrackTags& tags);

// The audio properties of each format, read from its headers.
void ReadMpegProperties(TByteSource& source, std::int64_t audioStart, TTrackTags& tags);
void ReadMonkeysAudioProperties(TByteSource& source, std::int64_t offset, TTrackTags& tags);
void ReadWavPackProperties(TByteSource& source, TTrackTags& tags);
void ReadMusepackProperties(TByteSource& source, TTrackTags& tags);
// Where the tags at the file's end (APEv2, ID3v1) begin; the file's size when there are none.
std::int64_t TrailingTagsStart(TByteSource& source);

// A number of up to maxBytes bytes of seven bits each, the high bit saying another follows
// (MP4 descriptor sizes, Musepack 8's numbers).
std::uint64_t SevenBitNumber(TSequence& sequence, int maxBytes);

// The figure rules every format shares: a figure of 0 or beyond its bound stays absent.
std::optional<std::uint32_t> Figure(double value, std::uint64_t bound);
// Milliseconds of count samples at rate, rounded.
std::optional<std::uint32_t> LengthOf(double samples, double rate);
// Average kbps of bytes over the length, rounded.
std::optional<std::uint32_t> BitrateOf(double bytes, std::optional<std::uint32_t> lengthMs);
// The bit rate from the audio's bytes, where the format gave a length but no bit rate.
void FillBitrate(TTrackTags& tags, std::int64_t audioBytes);

// A Vorbis comment block (vendor, count, KEY=value fields) from the sequence.
void ReadVorbisComment(TSequence& sequence, TTrackTags& tags);
// A FLAC picture block's header, leaving the sequence at the picture; false when damaged.
bool ReadPictureBlockHeader(TSequence& sequence, TCoverLocation& cover);

// Keeps the first front cover, else the first picture.
void OfferCover(TTrackTags& tags, const TCoverLocation& cover);

// The fields of a key-value tag (Vorbis comment, APEv2, ASF attributes) that the record uses, in
// file order; keys are compared ignoring ASCII case. It holds at most a comment block's bound.
class TKeyValues {
 public:
  // Keeps the field when its key is one the record uses and its value is not empty.
  void Add(std::string key, std::string value);
  bool Full() const { return Held_ > kMaxCommentBlock; }
  static bool Uses(std::string_view key);
  std::vector<std::string> Values(std::string_view key) const;
  std::string First(const std::vector<std::string_view>& keys) const;
  std::string Joined(const std::vector<std::string_view>& keys) const;
  bool Empty() const { return Fields_.empty(); }

 private:
  std::vector<std::pair<std::string, std::string>> Fields_;
  std::size_t Held_ = 0;  // bytes, the entries' own among them
};

// Key names of one key-value format, where the formats differ.
struct TKeyNames {
  std::vector<std::string_view> Year, Track, TrackTotal, Disc, Comment;
};
extern const TKeyNames kVorbisKeys;
extern const TKeyNames kApeKeys;
void FillFromKeyValues(const TKeyValues& fields, const TKeyNames& names, TTrackTags& tags);

}  // namespace jarvet::tags
