// Ogg Vorbis and Ogg Opus: the comment packet of the first logical stream, read across as many
// pages as it spans.
#include <algorithm>
#include <optional>
#include <vector>

#include "TagReaders.h"

namespace jarvet::tags {

namespace {

constexpr std::string_view kCapture = "OggS";
constexpr std::size_t kPageHeaderSize = 27;
constexpr std::size_t kSerialAt = 14;
constexpr std::size_t kSegmentCountAt = 26;
constexpr std::uint8_t kFullSegment = 255;
constexpr std::string_view kVorbisIdentification = "\x01vorbis";
constexpr std::string_view kVorbisComment = "\x03vorbis";
constexpr std::string_view kOpusIdentification = "OpusHead";
constexpr std::string_view kOpusComment = "OpusTags";
constexpr std::size_t kGranuleAt = 6;
constexpr std::int64_t kLastPageSearch = 64 * 1024;  // bytes at the file's end searched
constexpr std::uint32_t kOpusRate = 48000;           // Opus granules count at this rate
constexpr int kMaxHeaderPages = 8192;                // pages walked to find where the audio begins

// The packets of one logical stream, byte by byte, pages of other streams passed over.
class TOggPacketStream : public TSequence {
 public:
  explicit TOggPacketStream(TByteSource& source) : Source_(source) {}

  // Moves to the start of the next packet; false at the end of the stream or at damage.
  bool NextPacket() {
    while (Ok() && Advance()) {
      if (Position_ + static_cast<std::int64_t>(SegmentLeft_) > Source_.Size()) return false;
      Position_ += static_cast<std::int64_t>(SegmentLeft_);
      SegmentLeft_ = 0;
    }
    if (!PacketEnded_) return false;
    PacketEnded_ = LastSegmentOfPacket_ = false;
    return true;
  }

  std::int64_t FileOffset() const override { return Position_; }

  // Moves on in the packet until the byte at the file offset is next; false when the packet
  // does not reach it.
  bool SkipTo(std::int64_t offset) {
    while (Position_ < offset) {
      if (SegmentLeft_ == 0 && !Advance()) return false;
      const auto n = static_cast<std::size_t>(
          std::min<std::int64_t>(offset - Position_, static_cast<std::int64_t>(SegmentLeft_)));
      Consume(n);
    }
    return Position_ == offset;
  }

 protected:
  bool DoRead(void* out, std::size_t count) override {
    auto* bytes = static_cast<char*>(out);
    while (count > 0) {
      if (SegmentLeft_ == 0 && !Advance()) return false;
      const std::size_t n = std::min<std::size_t>(count, SegmentLeft_);
      if (Source_.ReadAt(Position_, bytes, n) != n) return false;
      Consume(n);
      bytes += n;
      count -= n;
    }
    return true;
  }

  bool DoSkip(std::uint64_t count) override {
    while (count > 0) {
      if (SegmentLeft_ == 0 && !Advance()) return false;
      const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(count, SegmentLeft_));
      if (Position_ + static_cast<std::int64_t>(n) > Source_.Size()) return false;
      Consume(n);
      count -= n;
    }
    return true;
  }

 private:
  void Consume(std::size_t n) {
    Position_ += static_cast<std::int64_t>(n);
    SegmentLeft_ -= n;
    // Standing on the next page's first byte keeps FileOffset true at a page boundary.
    if (SegmentLeft_ == 0 && !LastSegmentOfPacket_) Advance();
  }

  // Moves to the next segment of the packet, reading the next page's header when needed;
  // false at the packet's end or at damage.
  bool Advance() {
    if (SegmentLeft_ > 0) return true;
    if (PacketEnded_) return false;
    if (LastSegmentOfPacket_) {
      PacketEnded_ = true;
      return false;
    }
    while (NextSegment_ == Lacing_.size()) {
      if (!ReadPageHeader()) return false;
    }
    const std::uint8_t lacing = Lacing_[NextSegment_++];
    SegmentLeft_ = lacing;
    LastSegmentOfPacket_ = lacing < kFullSegment;
    if (lacing == 0) PacketEnded_ = true;  // a packet that ended on a 255-byte boundary
    return lacing > 0;
  }

  bool ReadPageHeader() {
    for (;;) {
      std::string header = ReadBytes(Source_, Position_, kPageHeaderSize);
      if (header.size() < kPageHeaderSize || header.compare(0, kCapture.size(), kCapture) != 0) {
        return false;
      }
      const auto segments = static_cast<std::uint8_t>(header[kSegmentCountAt]);
      const std::string lacing =
          ReadBytes(Source_, Position_ + static_cast<std::int64_t>(kPageHeaderSize), segments);
      if (lacing.size() < segments) return false;
      const std::string serial = header.substr(kSerialAt, 4);
      const std::int64_t dataStart =
          Position_ + static_cast<std::int64_t>(kPageHeaderSize + segments);
      if (Serial_.empty()) Serial_ = serial;
      if (serial == Serial_) {
        Position_ = dataStart;
        Lacing_.assign(lacing.begin(), lacing.end());
        NextSegment_ = 0;
        return true;
      }
      std::int64_t dataSize = 0;
      for (char c : lacing) dataSize += static_cast<std::uint8_t>(c);
      Position_ = dataStart + dataSize;
    }
  }

  TByteSource& Source_;
  std::int64_t Position_ = 0;
  std::string Serial_;
  std::vector<std::uint8_t> Lacing_;
  std::size_t NextSegment_ = 0;
  std::size_t SegmentLeft_ = 0;
  bool LastSegmentOfPacket_ = false;
  bool PacketEnded_ = false;
};

std::uint64_t U64LEAt(std::string_view bytes, std::size_t at) {
  std::uint64_t value = 0;
  for (std::size_t i = 8; i-- > 0;) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
  return value;
}

// The granule position of the stream's last page that has one, from the file's last 64 KiB.
std::optional<std::uint64_t> LastGranule(TByteSource& source, std::string_view serial) {
  const std::int64_t start = std::max<std::int64_t>(0, source.Size() - kLastPageSearch);
  const std::string tail =
      ReadBytes(source, start, static_cast<std::uint64_t>(source.Size() - start));
  for (std::size_t at = tail.rfind(kCapture); at != std::string::npos;
       at = at == 0 ? std::string::npos : tail.rfind(kCapture, at - 1)) {
    if (at + kPageHeaderSize > tail.size() || tail.compare(at + kSerialAt, 4, serial) != 0)
      continue;
    const std::uint64_t granule = U64LEAt(tail, at + kGranuleAt);
    if (granule != ~std::uint64_t{0}) return granule;
  }
  return std::nullopt;
}

// The offset of the first page behind the stream's header packets, which the audio begins
// on; only page headers are read.
std::optional<std::int64_t> AudioStart(TByteSource& source, std::string_view serial,
                                       int headerPackets) {
  std::int64_t at = 0;
  int packets = 0;
  for (int page = 0; page < kMaxHeaderPages && packets < headerPackets; ++page) {
    const std::string header = ReadBytes(source, at, kPageHeaderSize);
    if (header.size() < kPageHeaderSize || header.compare(0, kCapture.size(), kCapture) != 0) {
      return std::nullopt;
    }
    const auto segments = static_cast<std::uint8_t>(header[kSegmentCountAt]);
    const std::string lacing =
        ReadBytes(source, at + static_cast<std::int64_t>(kPageHeaderSize), segments);
    if (lacing.size() < segments) return std::nullopt;
    std::int64_t dataSize = 0;
    for (char c : lacing) {
      const auto value = static_cast<std::uint8_t>(c);
      dataSize += value;
      if (value < kFullSegment && header.compare(kSerialAt, 4, serial) == 0) ++packets;
    }
    at += static_cast<std::int64_t>(kPageHeaderSize + segments) + dataSize;
  }
  if (packets < headerPackets) return std::nullopt;
  return at;
}

// The identification packet's figures. A stream of its own reads them, so that a short packet
// leaves the comment readable.
void ReadOggProperties(TByteSource& source, bool opus, TTrackTags& tags) {
  TOggPacketStream stream(source);
  stream.Skip(kOpusIdentification.size());
  TAudioProperties& audio = tags.Audio;
  std::uint32_t nominalBitrate = 0;
  std::uint32_t granuleRate = 0;
  std::uint16_t preSkip = 0;
  if (opus) {
    stream.U8();  // version
    audio.Channels = Figure(stream.U8(), kMaxChannels);
    preSkip = stream.U16LE();
    const std::uint32_t inputRate = stream.U32LE();
    audio.SampleRate = Figure(inputRate ? inputRate : kOpusRate, kMaxSampleRate);
    granuleRate = kOpusRate;
  } else {
    stream.Skip(3);  // the rest of the version
    audio.Channels = Figure(stream.U8(), kMaxChannels);
    granuleRate = stream.U32LE();
    audio.SampleRate = Figure(granuleRate, kMaxSampleRate);
    stream.Skip(4);  // the largest bit rate
    nominalBitrate = stream.U32LE();
  }
  if (!stream.Ok()) {
    audio = TAudioProperties();
    return;
  }
  const std::string serial = ReadBytes(source, kSerialAt, 4);
  const auto granule = LastGranule(source, serial);
  if (granule && *granule > preSkip && *granule < (std::uint64_t{1} << 62)) {
    audio.LengthMs = LengthOf(static_cast<double>(*granule - preSkip), granuleRate);
  }
  // Vorbis has identification, comment and setup headers; Opus the first two.
  const auto audioStart = AudioStart(source, serial, opus ? 2 : 3);
  audio.Bitrate =
      BitrateOf(static_cast<double>(source.Size() - audioStart.value_or(0)), audio.LengthMs);
  if (!audio.Bitrate) audio.Bitrate = Figure(nominalBitrate / 1000.0, kMaxBitrate);
}

}  // namespace

std::optional<std::string> ReadOggCommentBytes(TByteSource& source, std::int64_t offset,
                                               std::uint64_t count) {
  TOggPacketStream stream(source);
  if (!stream.NextPacket() || !stream.SkipTo(offset)) return std::nullopt;
  std::string bytes = stream.Bytes(count, static_cast<std::size_t>(count));
  if (!stream.Ok()) return std::nullopt;
  return bytes;
}

void ReadOggTags(TByteSource& source, TTrackTags& tags) {
  TOggPacketStream stream(source);
  const std::string identification =
      stream.Bytes(kOpusIdentification.size(), kOpusIdentification.size());
  std::string_view commentMarker;
  if (identification.compare(0, kVorbisIdentification.size(), kVorbisIdentification) == 0) {
    tags.Format = "Ogg Vorbis";
    commentMarker = kVorbisComment;
    ReadOggProperties(source, false, tags);
  } else if (identification == kOpusIdentification) {
    tags.Format = "Ogg Opus";
    commentMarker = kOpusComment;
    ReadOggProperties(source, true, tags);
  } else {
    tags.Format = "Ogg";
    return;
  }
  if (!stream.NextPacket()) return;
  if (stream.Bytes(commentMarker.size(), commentMarker.size()) != commentMarker) return;
  ReadVorbisComment(stream, tags);
}

}  // namespace jarvet::tags
