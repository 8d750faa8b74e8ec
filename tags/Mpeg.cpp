// MPEG audio (layers I to III, MPEG 1, 2 and 2.5): the figures from the first frame that a
// second one confirms, and from its Xing/Info or VBRI header when it carries one.
#include <algorithm>
#include <array>

#include "TagReaders.h"

namespace jarvet::tags {

namespace {

constexpr std::int64_t kSyncSearch = 64 * 1024;  // bytes searched for the first frame
constexpr std::size_t kSearchChunk = 1024;
constexpr std::size_t kHeaderSize = 4;
constexpr std::size_t kVbriAt = 36;  // from the frame's start, every version
constexpr std::uint32_t kXingFrames = 0x1;
constexpr std::uint32_t kXingBytes = 0x2;

enum TVersion { kMpeg25 = 0, kMpeg2 = 2, kMpeg1 = 3 };  // as the header's two bits say

// kbps by [MPEG 1 or not][layer - 1][index]; 0 free format (not read here).
constexpr std::uint16_t kBitrates[2][3][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
constexpr std::uint32_t kSampleRates[3] = {44100, 48000, 32000};  // MPEG 1; halved for 2, 2.5

struct TFrameHeader {
  int Version = 0;
  int Layer = 0;  // 1 to 3
  std::uint32_t Bitrate = 0;
  std::uint32_t SampleRate = 0;
  std::uint32_t Channels = 0;
  std::uint32_t Length = 0;  // bytes of the whole frame
  std::uint32_t SamplesPerFrame = 0;
};

std::optional<TFrameHeader> ParseHeader(const std::uint8_t* b) {
  if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) return std::nullopt;
  TFrameHeader h;
  h.Version = (b[1] >> 3) & 3;
  const int layerBits = (b[1] >> 1) & 3;
  const int bitrateIndex = b[2] >> 4;
  const int rateIndex = (b[2] >> 2) & 3;
  if (h.Version == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
      rateIndex == 3) {
    return std::nullopt;
  }
  h.Layer = 4 - layerBits;
  const bool mpeg1 = h.Version == kMpeg1;
  h.Bitrate = kBitrates[mpeg1 ? 0 : 1][h.Layer - 1][bitrateIndex];
  h.SampleRate = kSampleRates[rateIndex] >> (mpeg1 ? 0 : h.Version == kMpeg2 ? 1 : 2);
  h.Channels = (b[3] >> 6) == 3 ? 1 : 2;
  const std::uint32_t padding = (b[2] >> 1) & 1;
  if (h.Layer == 1) {
    h.SamplesPerFrame = 384;
    h.Length = (12 * h.Bitrate * 1000 / h.SampleRate + padding) * 4;
  } else {
    h.SamplesPerFrame = h.Layer == 3 && !mpeg1 ? 576 : 1152;
    h.Length = h.SamplesPerFrame / 8 * h.Bitrate * 1000 / h.SampleRate + padding;
  }
  return h;
}

bool SameStream(const TFrameHeader& a, const TFrameHeader& b) {
  return a.Version == b.Version && a.Layer == b.Layer && a.SampleRate == b.SampleRate;
}

// The first frame at or behind offset, within the search window, whose successor lies where
// its length says; a lone frame that ends the audio counts too.
std::optional<std::pair<std::int64_t, TFrameHeader>> FirstFrame(TByteSource& source,
                                                                std::int64_t offset,
                                                                std::int64_t audioEnd) {
  const std::int64_t searchEnd = std::min(audioEnd, offset + kSyncSearch);
  for (std::int64_t chunk = offset; chunk < searchEnd;
       chunk += static_cast<std::int64_t>(kSearchChunk)) {
    const std::string bytes = ReadBytes(source, chunk, kSearchChunk + kHeaderSize - 1);
    for (std::size_t i = 0; i + kHeaderSize <= bytes.size() && i < kSearchChunk; ++i) {
      const auto* b = reinterpret_cast<const std::uint8_t*>(bytes.data()) + i;
      const auto header = ParseHeader(b);
      if (!header || chunk + static_cast<std::int64_t>(i) >= searchEnd) continue;
      const std::int64_t at = chunk + static_cast<std::int64_t>(i);
      const std::int64_t next = at + header->Length;
      if (next == audioEnd) return std::make_pair(at, *header);
      const std::string nextBytes = ReadBytes(source, next, kHeaderSize);
      if (nextBytes.size() < kHeaderSize) continue;
      const auto second = ParseHeader(reinterpret_cast<const std::uint8_t*>(nextBytes.data()));
      if (second && SameStream(*header, *second)) return std::make_pair(at, *header);
    }
  }
  return std::nullopt;
}

std::uint32_t U32BEAt(const std::string& bytes, std::size_t at) {
  if (at + 4 > bytes.size()) return 0;
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
  return value;
}

// The frame count and byte count of a Xing/Info or VBRI header in the first frame; 0 where
// absent.
std::pair<std::uint32_t, std::uint32_t> VbrCounts(const std::string& frame, const TFrameHeader& h) {
  // The Xing header follows the side information, whose size depends on version and channels.
  const std::size_t sideInfo =
      h.Version == kMpeg1 ? (h.Channels == 1 ? 17 : 32) : (h.Channels == 1 ? 9 : 17);
  const std::size_t xing = kHeaderSize + sideInfo;
  const auto has = [&](std::size_t at, std::string_view text) {
    return frame.size() >= at + text.size() && frame.compare(at, text.size(), text) == 0;
  };
  if (has(xing, "Xing") || has(xing, "Info")) {
    const std::uint32_t flags = U32BEAt(frame, xing + 4);
    std::size_t at = xing + 8;
    std::uint32_t frames = 0, bytes = 0;
    if (flags & kXingFrames) {
      frames = U32BEAt(frame, at);
      at += 4;
    }
    if (flags & kXingBytes) bytes = U32BEAt(frame, at);
    return {frames, bytes};
  }
  if (has(kVbriAt, "VBRI")) {
    // Version, delay and quality (two bytes each), then the byte and frame counts.
    return {U32BEAt(frame, kVbriAt + 14), U32BEAt(frame, kVbriAt + 10)};
  }
  return {0, 0};
}

}  // namespace

void ReadMpegProperties(TByteSource& source, std::int64_t audioStart, TTrackTags& tags) {
  const std::int64_t audioEnd = TrailingTagsStart(source);
  const auto first = FirstFrame(source, audioStart, audioEnd);
  if (!first) return;
  const auto& [offset, h] = *first;
  TAudioProperties& audio = tags.Audio;
  audio.SampleRate = Figure(h.SampleRate, kMaxSampleRate);
  audio.Channels = h.Channels;
  const std::string frame = ReadBytes(source, offset, std::min<std::uint32_t>(h.Length, 256));
  const auto [frames, bytes] = VbrCounts(frame, h);
  const std::int64_t audioBytes = audioEnd - offset;
  if (frames > 0) {
    audio.LengthMs = LengthOf(static_cast<double>(frames) * h.SamplesPerFrame, h.SampleRate);
    audio.Bitrate = BitrateOf(bytes > 0 ? bytes : static_cast<double>(audioBytes), audio.LengthMs);
  } else {
    audio.Bitrate = h.Bitrate;
    audio.LengthMs = Figure(static_cast<double>(audioBytes) * 8.0 / h.Bitrate, kMaxLengthMs);
  }
}

}  // namespace jarvet::tags
