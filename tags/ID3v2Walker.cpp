// The ID3v2 frame walk, unsynchronisation undone, and the frame ID table.
#include "ID3v2Walker.h"

#include <algorithm>
#include <array>
#include <utility>

#include "ID3v2Frames.h"

namespace jarvet::id3v2 {

namespace {

constexpr std::size_t kChunkSize = 4096;
constexpr std::uint8_t kMaxFrameSizeLead = 0x7F;  // above: negative as a signed 32-bit size
constexpr std::size_t kFlagsAt = 9;               // versions 3 and 4: the second flags byte

// Version 2.2's frames that a reader uses, by the names versions 3 and 4 give them. TOR is the
// original release year there (TORY), as the 2.2 and 2.3 documents name it.
constexpr std::pair<std::string_view, std::string_view> kVersion2Ids[] = {
    {"TT2", "TIT2"}, {"TP1", "TPE1"}, {"TAL", "TALB"}, {"TP2", "TPE2"}, {"TYE", "TYER"},
    {"TOR", "TORY"}, {"TRK", "TRCK"}, {"TPA", "TPOS"}, {"TCO", "TCON"}, {"TCM", "TCOM"},
    {"COM", "COMM"}, {"PIC", "APIC"}, {"TEN", "TENC"}, {"TCR", "TCOP"}, {"TLA", "TLAN"},
    {"WXX", "WXXX"}, {"TOA", "TOPE"}, {"TT1", "TIT1"}, {"TOT", "TOAL"}};

bool IsIdCharacter(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// Whether a version 4 frame ending at offset is followed by another frame, padding or the end
// of the frames.
bool EndsOnBoundary(TFrameArea& area, std::int64_t offset, std::int64_t framesEnd) {
  const std::int64_t at = area.FileOffset(offset);
  if (at == framesEnd) return true;
  if (at > framesEnd) return false;
  const std::string next = area.Read(offset, kFrameIdSize);
  return !next.empty() && (next[0] == '\0' || IsFrameId(next));
}

// Version 4 sizes are syncsafe, but some writers put plain sizes there: when only the plain
// reading ends on a frame boundary, it is the one meant.
std::int64_t Version4FrameSize(TFrameArea& area, const std::uint8_t* sizeBytes,
                               std::int64_t dataStart, std::int64_t framesEnd) {
  const std::int64_t plain = PlainSize(sizeBytes, kFrameSizeBytes);
  const auto syncsafe = SyncsafeSize(sizeBytes);
  if (!syncsafe) return plain;
  if (EndsOnBoundary(area, dataStart + *syncsafe, framesEnd) ||
      !EndsOnBoundary(area, dataStart + plain, framesEnd)) {
    return *syncsafe;
  }
  return plain;
}

}  // namespace

std::string RemoveUnsynchronisation(std::string_view stored) {
  std::string out;
  out.reserve(stored.size());
  TResynchroniser state;
  for (char c : stored) {
    if (state.Keep(static_cast<std::uint8_t>(c))) out += c;
  }
  return out;
}

std::size_t StoredIndex(std::string_view stored, std::size_t index) {
  TResynchroniser state;
  std::size_t decoded = 0;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    if (!state.Keep(static_cast<std::uint8_t>(stored[i]))) continue;
    if (decoded++ == index) return i;
  }
  return stored.size();
}

std::string LaterFrameId(std::uint8_t major, std::string_view id) {
  if (major > 2) return std::string(id);
  for (const auto& [version2, later] : kVersion2Ids) {
    if (version2 == id) return std::string(later);
  }
  return std::string();
}

bool TFrameArea::StoredByte(std::int64_t at, std::uint8_t& b) {
  if (at < ChunkStart_ || at >= ChunkStart_ + static_cast<std::int64_t>(Chunk_.size())) {
    ChunkStart_ = at;
    Chunk_ = tags::ReadBytes(Source_, Start_ + at, kChunkSize);
    if (Chunk_.empty()) return false;
  }
  b = static_cast<std::uint8_t>(Chunk_[static_cast<std::size_t>(at - ChunkStart_)]);
  return true;
}

bool TFrameArea::NextByte(std::uint8_t& b) {
  for (;;) {
    if (!StoredByte(Cursor_.Stored, b)) return false;
    ++Cursor_.Stored;
    if (Cursor_.State.Keep(b)) {
      ++Cursor_.Decoded;
      return true;
    }
  }
}

bool TFrameArea::SeekDecoded(std::int64_t offset) {
  if (offset < Cursor_.Decoded) Cursor_ = Mark_.Decoded <= offset ? Mark_ : TCursor();
  std::uint8_t b = 0;
  while (Cursor_.Decoded < offset) {
    if (!NextByte(b)) return false;
  }
  return true;
}

std::string TFrameArea::Read(std::int64_t offset, std::size_t count) {
  if (offset < 0) return std::string();
  if (!Unsynchronised_) return tags::ReadBytes(Source_, Start_ + offset, count);
  std::string out;
  if (!SeekDecoded(offset)) return out;
  Mark_ = Cursor_;
  std::uint8_t b = 0;
  while (out.size() < count && NextByte(b)) out += static_cast<char>(b);
  return out;
}

std::int64_t TFrameArea::FileOffset(std::int64_t offset) {
  if (!Unsynchronised_) return Start_ + offset;
  if (!SeekDecoded(offset)) return Start_ + Cursor_.Stored;
  // The next stored byte is dropped when it is the zero behind a 0xFF.
  std::uint8_t b = 0;
  const bool dropped = Cursor_.State.AfterFF() && StoredByte(Cursor_.Stored, b) && b == 0;
  return Start_ + Cursor_.Stored + (dropped ? 1 : 0);
}

void WalkFrames(TFrameArea& area, const TWalk& walk,
                const std::function<bool(const TFrame&)>& visit) {
  const bool version2 = walk.Major == 2;
  const bool info = walk.Rules == TWalkRules::Info;
  const std::size_t headerSize = version2 ? kFrameHeaderSize2 : kFrameHeaderSize;
  const std::size_t idSize = version2 ? kFrameIdSize2 : kFrameIdSize;
  std::int64_t pos = 0;
  if (!version2 && (walk.TagFlags & kTagExtendedHeader)) {
    const std::string field = area.Read(pos, kExtendedSizeBytes);
    if (field.size() < kExtendedSizeBytes) return;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(field.data());
    // Version 3 leaves the size field out of the size; version 4 counts the whole header.
    if (walk.Major == 3) {
      pos = static_cast<std::int64_t>(kExtendedSizeBytes + PlainSize(bytes, kExtendedSizeBytes));
    } else {
      const auto size = SyncsafeSize(bytes);
      if (!size || *size < kExtendedSizeBytes) return;
      pos = *size;
    }
  }
  for (;;) {
    if (info && area.FileOffset(pos) >= walk.TagEnd) return;
    const std::string h = area.Read(pos, headerSize);
    if (h.size() < headerSize) return;
    if (!info && area.FileOffset(pos + static_cast<std::int64_t>(headerSize)) > walk.FramesEnd) {
      return;
    }
    const std::string id = h.substr(0, idSize);
    // Padding, a footer, or no frame at all.
    if (info ? (h[0] < 'A' || h[0] > 'Z')
             : (h[0] == '\0' || !std::all_of(id.begin(), id.end(), IsIdCharacter))) {
      return;
    }
    const auto* sizeBytes = reinterpret_cast<const std::uint8_t*>(h.data()) + idSize;
    TFrame frame;
    frame.Id = id;
    frame.LaterId = LaterFrameId(walk.Major, id);
    frame.DataStart = pos + static_cast<std::int64_t>(headerSize);
    std::int64_t size = 0;
    if (version2) {
      size = PlainSize(sizeBytes, kFrameSizeBytes2);
    } else if (sizeBytes[0] > kMaxFrameSizeLead) {
      return;
    } else {
      frame.Flags = static_cast<std::uint8_t>(h[kFlagsAt]);
      size = walk.Major == 4 ? Version4FrameSize(area, sizeBytes, frame.DataStart, walk.FramesEnd)
                             : PlainSize(sizeBytes, kFrameSizeBytes);
    }
    frame.DataEnd = frame.DataStart + size;
    if (!info && area.FileOffset(frame.DataEnd) > walk.FramesEnd) return;  // damaged
    if (!visit(frame)) return;
    pos = frame.DataEnd;
  }
}

}  // namespace jarvet::id3v2
