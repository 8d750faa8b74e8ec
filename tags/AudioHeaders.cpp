// The stream headers of Monkey's Audio, WavPack and Musepack, whose tags are APEv2 or ID3:
// their sample rate, channels and length.
#include <algorithm>

#include "TagReaders.h"

namespace jarvet::tags {

namespace {

constexpr std::uint32_t kMonkeysNewHeader = 3980;  // from this version a descriptor comes first
constexpr std::int64_t kMonkeysOldFieldsAt = 6;    // behind "MAC " and the version

// Samples in a frame, by version and compression level.
std::uint32_t MonkeysBlocksPerFrame(std::uint16_t version, std::uint16_t compression) {
  constexpr std::uint16_t kExtraHigh = 4000;
  if (version >= 3950) return 73728 * 4;
  if (version >= 3900 || (version >= 3800 && compression == kExtraHigh)) return 73728;
  return 9216;
}

void SetMonkeysFigures(std::uint16_t channels, std::uint32_t rate, std::uint32_t totalFrames,
                       std::uint32_t blocksPerFrame, std::uint32_t finalFrameBlocks,
                       TTrackTags& tags) {
  TAudioProperties& audio = tags.Audio;
  audio.Channels = Figure(channels, kMaxChannels);
  audio.SampleRate = Figure(rate, kMaxSampleRate);
  if (totalFrames == 0 || !audio.SampleRate) return;
  const double samples =
      static_cast<double>(totalFrames - 1) * blocksPerFrame + static_cast<double>(finalFrameBlocks);
  audio.LengthMs = LengthOf(samples, rate);
}

// The WavPack sample rates by the header flags' index; 15 is a rate stored elsewhere.
constexpr std::uint32_t kWavPackRates[15] = {6000,  8000,  9600,  11025, 12000, 16000, 22050, 24000,
                                             32000, 44100, 48000, 64000, 88200, 96000, 192000};
constexpr std::size_t kWavPackFlagsAt = 24;
constexpr std::uint32_t kWavPackMono = 0x4;
constexpr std::uint32_t kWavPackFinalBlock = 0x1000;
constexpr unsigned kWavPackRateShift = 23;
constexpr int kMaxWavPackBlocks = 64;  // blocks of the first frame looked at, one per stereo pair

constexpr std::uint32_t kMusepackRates[4] = {44100, 48000, 37800, 32000};
constexpr std::uint32_t kMusepackFrameSamples = 1152;

constexpr int kMusepackNumberBytes = 9;  // enough for 64 bits

}  // namespace

void ReadMonkeysAudioProperties(TByteSource& source, std::int64_t offset, TTrackTags& tags) {
  TRangeReader reader(source, offset + 4, source.Size());
  const std::uint16_t version = reader.U16LE();
  if (version >= kMonkeysNewHeader) {
    reader.Skip(2);
    const std::uint32_t descriptorBytes = reader.U32LE();
    TRangeReader header(source, offset + descriptorBytes, source.Size());
    header.Skip(4);  // compression level, format flags
    const std::uint32_t blocksPerFrame = header.U32LE();
    const std::uint32_t finalFrameBlocks = header.U32LE();
    const std::uint32_t totalFrames = header.U32LE();
    header.Skip(2);  // bits per sample
    const std::uint16_t channels = header.U16LE();
    const std::uint32_t rate = header.U32LE();
    if (!reader.Ok() || !header.Ok()) return;
    SetMonkeysFigures(channels, rate, totalFrames, blocksPerFrame, finalFrameBlocks, tags);
  } else {
    TRangeReader header(source, offset + kMonkeysOldFieldsAt, source.Size());
    const std::uint16_t compression = header.U16LE();
    header.Skip(2);  // format flags
    const std::uint16_t channels = header.U16LE();
    const std::uint32_t rate = header.U32LE();
    header.Skip(8);  // header and terminating bytes
    const std::uint32_t totalFrames = header.U32LE();
    const std::uint32_t finalFrameBlocks = header.U32LE();
    if (!reader.Ok() || !header.Ok()) return;
    SetMonkeysFigures(channels, rate, totalFrames, MonkeysBlocksPerFrame(version, compression),
                      finalFrameBlocks, tags);
  }
  FillBitrate(tags, TrailingTagsStart(source) - offset);
}

// The blocks of the first frame: each a mono or stereo pair of channels, the last one marked.
void ReadWavPackProperties(TByteSource& source, TTrackTags& tags) {
  std::int64_t at = 0;
  std::uint32_t channels = 0;
  std::uint32_t flags = 0;
  std::uint32_t totalSamples = 0;
  for (int block = 0; block < kMaxWavPackBlocks; ++block) {
    TRangeReader reader(source, at, source.Size());
    if (reader.Bytes(4, 4) != "wvpk") return;
    const std::uint32_t size = reader.U32LE();  // of the block behind these eight bytes
    reader.Skip(4);                             // version, high bytes of index and total
    const std::uint32_t total = reader.U32LE();
    reader.Skip(kWavPackFlagsAt - 16);
    const std::uint32_t blockFlags = reader.U32LE();
    if (!reader.Ok()) return;
    if (block == 0) {
      flags = blockFlags;
      totalSamples = total;
    }
    channels += (blockFlags & kWavPackMono) ? 1 : 2;
    if (blockFlags & kWavPackFinalBlock) break;
    at += 8 + static_cast<std::int64_t>(size);
  }
  const std::uint32_t rateIndex = (flags >> kWavPackRateShift) & 0xF;
  TAudioProperties& audio = tags.Audio;
  audio.Channels = Figure(channels, kMaxChannels);
  if (rateIndex >= std::size(kWavPackRates)) return;
  audio.SampleRate = kWavPackRates[rateIndex];
  if (totalSamples != 0xFFFFFFFF) audio.LengthMs = LengthOf(totalSamples, *audio.SampleRate);
  FillBitrate(tags, TrailingTagsStart(source));
}

void ReadMusepackProperties(TByteSource& source, TTrackTags& tags) {
  TAudioProperties& audio = tags.Audio;
  const std::string head = ReadBytes(source, 0, 4);
  if (head.compare(0, 3, "MP+") == 0) {
    // Stream version 7: frame count, then the sample rate's index in bits 16 and 17.
    if (head.size() < 4 || (head[3] & 0x0F) != 7) return;
    TRangeReader reader(source, 4, source.Size());
    const std::uint32_t frames = reader.U32LE();
    const std::uint32_t flags = reader.U32LE();
    if (!reader.Ok()) return;
    audio.Channels = 2;
    audio.SampleRate = kMusepackRates[(flags >> 16) & 3];
    audio.LengthMs =
        LengthOf(static_cast<double>(frames) * kMusepackFrameSamples, *audio.SampleRate);
  } else if (head == "MPCK") {
    // Stream version 8: packets of a two-letter key and a size; the stream header "SH" holds a
    // CRC, the version, the sample count, the silence at the start, then the rate's index and
    // the channels.
    std::int64_t at = 4;
    for (int packet = 0; packet < 16; ++packet) {
      TRangeReader reader(source, at, source.Size());
      const std::string key = reader.Bytes(2, 2);
      const std::uint64_t size = SevenBitNumber(reader, kMusepackNumberBytes);
      if (!reader.Ok() || size < 2) return;
      if (key == "SH") {
        reader.Skip(5);  // CRC and version
        const std::uint64_t samples = SevenBitNumber(reader, kMusepackNumberBytes);
        const std::uint64_t silence = SevenBitNumber(reader, kMusepackNumberBytes);
        const std::uint8_t rateByte = reader.U8();
        const std::uint8_t channelByte = reader.U8();
        if (!reader.Ok() || samples < silence || (rateByte >> 5) >= std::size(kMusepackRates)) {
          return;
        }
        audio.SampleRate = kMusepackRates[(rateByte >> 5) & 3];
        audio.Channels = (channelByte >> 4) + 1u;
        audio.LengthMs = LengthOf(static_cast<double>(samples - silence), *audio.SampleRate);
        break;
      }
      at += static_cast<std::int64_t>(
          std::min<std::uint64_t>(size, static_cast<std::uint64_t>(source.Size())));
    }
  }
  FillBitrate(tags, TrailingTagsStart(source));
}

}  // namespace jarvet::tags
