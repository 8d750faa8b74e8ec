// FLAC: the metadata blocks ahead of the audio, with the Vorbis comment and picture blocks
// that Ogg Vorbis and Opus use too.
#include <algorithm>

#include "TagReaders.h"
#include "TagText.h"
#include "Text.h"

namespace jarvet::tags {

namespace {

constexpr std::string_view kFlacMarker = "fLaC";
constexpr std::uint8_t kLastBlock = 0x80;
constexpr std::uint8_t kBlockTypeMask = 0x7F;
constexpr std::uint8_t kStreamInfoBlock = 0;
constexpr std::size_t kStreamInfoRateAt = 10;  // behind the block and frame size bounds
constexpr std::uint8_t kVorbisCommentBlock = 4;
constexpr std::uint8_t kPictureBlock = 6;
constexpr std::uint8_t kInvalidBlock = 127;
constexpr std::size_t kMaxMimeLength = 256;
constexpr std::size_t kPictureDimensionsSize = 16;  // width, height, depth, colours
constexpr std::string_view kPictureKey = "METADATA_BLOCK_PICTURE=";
constexpr std::size_t kPictureTextFirstRead = 1024;

// The picture field's value, base64 of a picture block: only enough of it is read to decode
// the block's header, a short read first and a longer one for a long description.
void ReadBase64Picture(TSequence& sequence, std::uint64_t textLength, TTrackTags& tags) {
  TCoverLocation cover;
  cover.Offset = sequence.FileOffset();
  cover.StoredSize = static_cast<std::int64_t>(textLength);
  cover.Encoding = TCoverEncoding::Base64PictureBlock;
  std::string head;
  bool found = false;
  for (const std::size_t read : {kPictureTextFirstRead, kMaxFieldText}) {
    const std::uint64_t more =
        std::min<std::uint64_t>(textLength - head.size(), read - head.size());
    head += sequence.Bytes(more, static_cast<std::size_t>(more));
    const std::string block = Base64Decode(head, head.size());
    TMemorySource blockSource(block);
    TRangeReader blockReader(blockSource, 0, blockSource.Size());
    found = ReadPictureBlockHeader(blockReader, cover);
    if (found || head.size() == textLength) break;
  }
  sequence.Skip(textLength - head.size());
  if (sequence.Ok() && found) OfferCover(tags, cover);
}

// Sample rate (20 bits), channels less one (3), bits per sample less one (5), total samples (36).
void ReadStreamInfo(TRangeReader& block, TTrackTags& tags) {
  block.Skip(kStreamInfoRateAt);
  const std::uint64_t packed = block.U64BE();
  if (!block.Ok()) return;
  const auto rate = static_cast<std::uint32_t>(packed >> 44);
  const std::uint64_t samples = packed & 0xFFFFFFFFFull;
  tags.Audio.SampleRate = Figure(rate, kMaxSampleRate);
  tags.Audio.Channels = static_cast<std::uint32_t>((packed >> 41) & 7) + 1;
  if (tags.Audio.SampleRate) {
    tags.Audio.LengthMs = LengthOf(static_cast<double>(samples), *tags.Audio.SampleRate);
  }
}

}  // namespace

bool ReadPictureBlockHeader(TSequence& sequence, TCoverLocation& cover) {
  const std::uint32_t type = sequence.U32BE();
  cover.PictureType = type <= 0xFF ? static_cast<std::uint8_t>(type) : 0;
  cover.Mime = ValidUtf8(sequence.Bytes(sequence.U32BE(), kMaxMimeLength));
  sequence.Skip(sequence.U32BE());  // description
  sequence.Skip(kPictureDimensionsSize);
  cover.Size = sequence.U32BE();
  return sequence.Ok();
}

void ReadVorbisComment(TSequence& sequence, TTrackTags& tags) {
  sequence.Skip(sequence.U32LE());  // vendor
  const std::uint32_t count = sequence.U32LE();
  if (!sequence.Ok()) return;
  tags.TagFormat = "Vorbis comment";
  TKeyValues fields;
  for (std::uint32_t i = 0; i < count && !fields.Full(); ++i) {
    const std::uint32_t length = sequence.U32LE();
    const std::string start =
        sequence.Bytes(std::min<std::uint64_t>(length, kPictureKey.size()), kPictureKey.size());
    if (!sequence.Ok()) break;
    if (SameTextAscii(start, kPictureKey)) {
      ReadBase64Picture(sequence, length - kPictureKey.size(), tags);
      continue;
    }
    const std::string field = start + sequence.Bytes(length - start.size(), 2 * kMaxFieldText);
    if (!sequence.Ok()) break;
    const std::size_t equals = field.find('=');
    if (equals == std::string::npos) continue;
    std::string value = CutUtf8(ValidUtf8(std::string_view(field).substr(equals + 1)));
    fields.Add(field.substr(0, equals), std::move(value));
  }
  FillFromKeyValues(fields, kVorbisKeys, tags);
}

void ReadFlacTags(TByteSource& source, std::int64_t offset, TTrackTags& tags) {
  TRangeReader reader(source, offset, source.Size());
  if (reader.Bytes(kFlacMarker.size(), kFlacMarker.size()) != kFlacMarker) return;
  bool commentRead = false;
  // The audio follows the last block; its bytes, less an ID3v1 trailer, give the bit rate.
  const auto fillBitrate = [&] {
    FillBitrate(tags, TrailingTagsStart(source) - reader.FileOffset());
  };
  for (;;) {
    const std::uint8_t flags = reader.U8();
    const std::uint32_t length = static_cast<std::uint32_t>(reader.U8()) << 16 | reader.U16BE();
    const std::uint8_t type = flags & kBlockTypeMask;
    if (!reader.Ok() || type == kInvalidBlock) return;
    const std::int64_t blockStart = reader.FileOffset();
    const std::int64_t blockEnd = std::min(reader.End(), blockStart + length);
    if (type == kStreamInfoBlock && !tags.Audio.SampleRate) {
      TRangeReader block(source, blockStart, blockEnd);
      ReadStreamInfo(block, tags);
    } else if (type == kVorbisCommentBlock && !commentRead) {
      TRangeReader block(source, blockStart, blockEnd);
      ReadVorbisComment(block, tags);
      commentRead = true;
    } else if (type == kPictureBlock) {
      TRangeReader block(source, blockStart, blockEnd);
      TCoverLocation cover;
      if (ReadPictureBlockHeader(block, cover) &&
          *cover.Size <= static_cast<std::int64_t>(block.Left())) {
        cover.Offset = block.FileOffset();
        cover.StoredSize = *cover.Size;
        OfferCover(tags, cover);
      }
    }
    if (!reader.Skip(length)) return;
    if (flags & kLastBlock) return fillBitrate();
  }
}

}  // namespace jarvet::tags
