// The ID3v2 reader: the header probe, the frame walk and the field derivations.
#include "ID3v2.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "File.h"
#include "ID3v2Frames.h"

namespace jarvet {

namespace {

using namespace id3v2;

constexpr char kIdentifier[] = "ID3";
// Tag header byte offsets.
constexpr std::size_t kVersionAt = 3;
constexpr std::size_t kRevisionAt = 4;
constexpr std::size_t kFlagsAt = 5;
constexpr std::size_t kSizeAt = 6;
constexpr std::uint8_t kMaxFrameSizeLead = 0x7F;         // above: negative as a signed 32-bit size
constexpr std::uint32_t kLargestUnambiguousSize = 0x7F;  // syncsafe and plain read alike
constexpr std::size_t kFormatFlagsAt = 9;                // version 4 frame header
constexpr std::size_t kSkipChunkSize = 4096;

// Reads the frame area. A tag unsynchronised as a whole (versions 2 and 3) is read through a
// filter that drops the zero byte behind each 0xFF; its frame sizes count the filtered bytes,
// so skipping a frame there means reading through it.
class TTagReader {
 public:
  TTagReader(TReadOnlyFile& file, bool unsynchronised)
      : File_(file), Unsynchronised_(unsynchronised) {}

  // File offset of the next stored byte.
  std::int64_t Offset() const {
    return Unsynchronised_ ? BufferStart_ + static_cast<std::int64_t>(BufferPos_) : Offset_;
  }

  bool SeekTo(std::int64_t offset) {
    if (!File_.Seek(offset)) return false;
    Offset_ = BufferStart_ = offset;
    BufferPos_ = BufferEnd_ = 0;
    AfterFF_ = false;
    return true;
  }

  // Fewer than count bytes only at the end of the file.
  bool Read(std::uint8_t* out, std::size_t count, std::size_t& got) {
    if (!Unsynchronised_) {
      if (!File_.Read(out, count, got)) return false;
      Offset_ += static_cast<std::int64_t>(got);
      return true;
    }
    got = 0;
    while (got < count) {
      if (BufferPos_ == BufferEnd_ && !Refill()) return false;
      if (BufferPos_ == BufferEnd_) break;  // end of file
      const std::uint8_t b = Buffer_[BufferPos_++];
      if (AfterFF_ && b == 0) {
        AfterFF_ = false;
        continue;
      }
      out[got++] = b;
      AfterFF_ = b == 0xFF;
    }
    return true;
  }

  // Moves count bytes on; through an unsynchronised tag no further than limit, where the walk
  // ends anyway.
  bool Skip(std::int64_t count, std::int64_t limit) {
    if (!Unsynchronised_) return SeekTo(Offset_ + count);
    std::array<std::uint8_t, kSkipChunkSize> scratch;
    while (count > 0 && Offset() < limit) {
      const auto chunk =
          static_cast<std::size_t>(std::min(count, static_cast<std::int64_t>(scratch.size())));
      std::size_t got = 0;
      if (!Read(scratch.data(), chunk, got)) return false;
      if (got == 0) break;
      count -= static_cast<std::int64_t>(got);
    }
    return true;
  }

  // Reads count bytes at offset and comes back; only where the tag is read as stored.
  bool PeekAt(std::int64_t offset, std::uint8_t* out, std::size_t count, std::size_t& got) {
    const std::int64_t back = Offset_;
    got = 0;
    const bool read = File_.Seek(offset) && File_.Read(out, count, got);
    return SeekTo(back) && read;
  }

 private:
  bool Refill() {
    BufferStart_ += static_cast<std::int64_t>(BufferEnd_);
    BufferPos_ = BufferEnd_ = 0;
    return File_.Read(Buffer_.data(), Buffer_.size(), BufferEnd_);
  }

  TReadOnlyFile& File_;
  const bool Unsynchronised_;
  std::int64_t Offset_ = 0;       // read as stored: the file's position
  std::int64_t BufferStart_ = 0;  // unsynchronised: file offset of Buffer_[0]
  std::array<std::uint8_t, kSkipChunkSize> Buffer_{};
  std::size_t BufferPos_ = 0;
  std::size_t BufferEnd_ = 0;
  bool AfterFF_ = false;
};

// The frame layout of a major version.
struct TLayout {
  std::size_t HeaderSize;
  std::size_t IdSize;
  std::size_t SizeBytes;
};

constexpr TLayout kLayout4 = {kFrameHeaderSize, kFrameIdSize, kFrameSizeBytes};
constexpr TLayout kLayout2 = {kFrameHeaderSize2, kFrameIdSize2, kFrameSizeBytes2};

bool ProbeFile(const std::string& fileName, TTagInfo& info) {
  TReadOnlyFile file;
  if (!file.Open(fileName, TShare::ReadWrite)) return false;
  std::array<std::uint8_t, kTagHeaderSize> header{};
  std::size_t got = 0;
  if (!file.Read(header.data(), header.size(), got)) return false;
  if (!file.Size(info.FileLength)) return false;
  std::memcpy(info.Identifier.data(), header.data(), info.Identifier.size());
  info.MajorVersion = header[kVersionAt];
  info.RevisionNumber = header[kRevisionAt];
  info.Flags = header[kFlagsAt];
  std::copy(header.begin() + kSizeAt, header.end(), info.SizeBytes.begin());
  return file.Close() && got == kTagHeaderSize;
}

// Moves the reader, standing behind the tag header, behind the extended header that versions
// 3 and 4 announce by a flag. False when that header cannot be read or makes no sense.
bool SkipExtendedHeader(TTagReader& reader, const TTagInfo& info, std::int64_t tagEnd) {
  if (info.MajorVersion < 3 || !(info.Flags & kTagExtendedHeader)) return true;
  std::array<std::uint8_t, kExtendedSizeBytes> sizeField{};
  std::size_t got = 0;
  if (!reader.Read(sizeField.data(), sizeField.size(), got) || got < sizeField.size()) {
    return false;
  }
  // Version 3 leaves the size field out of the size; version 4 counts the whole header.
  if (info.MajorVersion == 3)
    return reader.Skip(PlainSize(sizeField.data(), kExtendedSizeBytes), tagEnd);
  const auto size = SyncsafeSize(sizeField.data());
  return size && *size >= kExtendedSizeBytes &&
         reader.SeekTo(static_cast<std::int64_t>(kTagHeaderSize + *size));
}

// Whether a frame ending at offset is followed by another frame, padding or the end of the
// frames (the tag's end, or its footer).
bool EndsOnBoundary(TTagReader& reader, std::int64_t offset, std::int64_t frameAreaEnd) {
  if (offset == frameAreaEnd) return true;
  if (offset > frameAreaEnd) return false;
  std::array<std::uint8_t, kFrameIdSize> next{};
  std::size_t got = 0;
  if (!reader.PeekAt(offset, next.data(), next.size(), got) || got == 0) return false;
  if (next[0] == 0) return true;
  return got == next.size() &&
         IsFrameId(std::string_view(reinterpret_cast<const char*>(next.data()), got));
}

// Version 4 sizes are syncsafe, but some writers put plain sizes there: when only the plain
// reading ends on a frame boundary, it is the one meant.
std::int64_t Version4FrameSize(TTagReader& reader, const std::uint8_t* sizeBytes,
                               std::int64_t dataStart, std::int64_t frameAreaEnd) {
  const std::int64_t plain = PlainSize(sizeBytes, kFrameSizeBytes);
  const auto syncsafe = SyncsafeSize(sizeBytes);
  if (!syncsafe) return plain;
  if (*syncsafe <= kLargestUnambiguousSize ||
      EndsOnBoundary(reader, dataStart + *syncsafe, frameAreaEnd) ||
      !EndsOnBoundary(reader, dataStart + plain, frameAreaEnd)) {
    return *syncsafe;
  }
  return plain;
}

// A version 4 frame's data as written before the format flags applied: behind its data-length
// indicator, unsynchronisation undone. Zeros fill the buffer behind it.
void UndoFrameFormat(std::uint8_t formatFlags, bool tagUnsynchronised, std::size_t size,
                     std::array<std::uint8_t, kFrameBufferSize>& buffer) {
  const bool hasDataLength = (formatFlags & kFrameDataLength) != 0;
  const bool unsynchronised = tagUnsynchronised || (formatFlags & kFrameUnsynchronised) != 0;
  if (!hasDataLength && !unsynchronised) return;
  std::string_view data(reinterpret_cast<const char*>(buffer.data()), size);
  if (hasDataLength) data.remove_prefix(std::min(kDataLengthSize, data.size()));
  const std::string plain = unsynchronised ? RemoveUnsynchronisation(data) : std::string(data);
  buffer.fill(0);
  std::copy(plain.begin(), plain.end(), buffer.begin());
}

void WalkFrames(const std::string& fileName, TTagInfo& info) {
  TReadOnlyFile file;
  if (!file.Open(fileName, TShare::ReadWrite)) return;
  const std::int64_t tagEnd = TotalTagSize(info);
  const std::int64_t frameAreaEnd =
      (info.Flags & kTagFooter) ? tagEnd - static_cast<std::int64_t>(kFooterSize) : tagEnd;
  const bool version4 = info.MajorVersion == 4;
  const bool tagUnsynchronised = (info.Flags & kTagUnsynchronised) != 0;
  // Version 4 unsynchronises frame data only, frame by frame.
  const bool readThrough = tagUnsynchronised && !version4;
  const TLayout& layout = info.MajorVersion == 2 ? kLayout2 : kLayout4;

  TTagReader reader(file, readThrough);
  if (!reader.SeekTo(static_cast<std::int64_t>(kTagHeaderSize))) return;
  if (!SkipExtendedHeader(reader, info, tagEnd)) return;

  std::array<std::uint8_t, kFrameBufferSize> buffer;
  std::array<std::uint8_t, kFrameHeaderSize> header{};
  for (;;) {
    if (reader.Offset() >= tagEnd || reader.Offset() >= info.FileLength) break;
    buffer.fill(0);
    std::size_t got = 0;
    if (!reader.Read(header.data(), layout.HeaderSize, got) || got < layout.HeaderSize) break;
    if (header[0] < 'A' || header[0] > 'Z') break;  // padding, footer or not a frame
    const std::int64_t dataStart = reader.Offset();

    const std::uint8_t* sizeBytes = header.data() + layout.IdSize;
    std::int64_t size = 0;
    if (info.MajorVersion == 2) {
      size = PlainSize(sizeBytes, layout.SizeBytes);
    } else if (sizeBytes[0] > kMaxFrameSizeLead) {
      break;
    } else if (version4) {
      size = Version4FrameSize(reader, sizeBytes, dataStart, frameAreaEnd);
    } else {
      size = PlainSize(sizeBytes, layout.SizeBytes);
    }

    const auto wanted = static_cast<std::size_t>(
        std::min<std::int64_t>(size, static_cast<std::int64_t>(kFrameBufferSize)));
    if (!reader.Read(buffer.data(), wanted, got) || got < wanted) break;

    if (version4) UndoFrameFormat(header[kFormatFlagsAt], tagUnsynchronised, wanted, buffer);
    const std::string_view id(reinterpret_cast<const char*>(header.data()), layout.IdSize);
    StoreFrame(id, std::string_view(reinterpret_cast<const char*>(buffer.data()), buffer.size()),
               info);

    // A frame read whole leaves the file where the next one starts: no seek is needed then.
    const std::int64_t next = dataStart + size;
    const bool moved = readThrough ? reader.Skip(size - static_cast<std::int64_t>(wanted), tagEnd)
                                   : reader.Offset() == next || reader.SeekTo(next);
    if (!moved) break;
  }
}

}  // namespace

void TID3v2::Reset() {
  TagFound = false;
  MajorVersion = 0;
  TagSize = 0;
  Title.clear();
  Artist.clear();
  Album.clear();
  Track = 0;
  Year.clear();
  Genre.clear();
  Comment.clear();
  Composer.clear();
  EncodedBy.clear();
  RightsNotice.clear();
  Language.clear();
  UserUrl.clear();
}

bool TID3v2::Load(const std::string& fileName) {
  try {
    Reset();
    TTagInfo info;
    if (!ProbeFile(fileName, info)) return false;
    if (std::memcmp(info.Identifier.data(), kIdentifier, info.Identifier.size()) != 0) {
      return true;
    }
    TagFound = true;
    MajorVersion = info.MajorVersion;
    TagSize = TotalTagSize(info);
    if (MajorVersion < 2 || MajorVersion > 4 || TagSize <= 0) return true;

    WalkFrames(fileName, info);

    const auto& texts = info.FrameTexts;
    Title = TextWithFallback(texts[kTitleSlot], texts[kContentGroupSlot]);
    Artist = TextWithFallback(texts[kArtistSlot], texts[kOriginalArtistSlot]);
    Album = TextWithFallback(texts[kAlbumSlot], texts[kOriginalAlbumSlot]);
    Track = ParseTrack(texts[kTrackSlot]);
    Year = ParseYear(texts[kYearSlot], texts[kRecordingTimeSlot]);
    Genre = StripGenrePrefix(texts[kGenreSlot]);
    Comment = TextAfterDescription(texts[kCommentSlot], TDescribed::Comment);
    Composer = DecodeText(texts[kComposerSlot]);
    EncodedBy = DecodeText(texts[kEncodedBySlot]);
    RightsNotice = DecodeText(texts[kRightsSlot]);
    Language = DecodeText(texts[kLanguageSlot]);
    UserUrl = TextAfterDescription(texts[kUserUrlSlot], TDescribed::Link);
    return true;
  } catch (...) {
    // Only running out of memory gets here; the caller learns no more than "not read".
    Reset();
    return false;
  }
}

}  // namespace jarvet
