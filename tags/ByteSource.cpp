// Byte sources for the track-tag readers and the sequential readers over them.
#include "ByteSource.h"

#include <algorithm>
#include <cstring>

namespace jarvet::tags {

std::size_t TMemorySource::ReadAt(std::int64_t offset, void* out, std::size_t count) {
  if (offset < 0 || offset >= Size()) return 0;
  const auto at = static_cast<std::size_t>(offset);
  const std::size_t n = std::min(count, Bytes_.size() - at);
  std::memcpy(out, Bytes_.data() + at, n);
  return n;
}

bool TFileSource::Open(const std::string& fileName, TNameEncoding encoding) {
  BytesRead_ = 0;
  BlockLength_ = 0;
  FilePosition_ = 0;
  return File_.Open(fileName, TShare::ReadWrite, encoding) && File_.Size(Size_);
}

std::size_t TFileSource::ReadFile(std::int64_t offset, void* out, std::size_t count) {
  std::size_t got = 0;
  if (!File_.IsOpen() || (offset != FilePosition_ && !File_.Seek(offset))) return 0;
  FilePosition_ = -1;  // unknown until the read has succeeded
  if (!File_.Read(out, count, got)) return 0;
  FilePosition_ = offset + static_cast<std::int64_t>(got);
  BytesRead_ += got;
  return got;
}

std::size_t TFileSource::ReadAt(std::int64_t offset, void* out, std::size_t count) {
  if (offset < 0 || offset >= Size_ || count == 0) return 0;
  const bool inBlock =
      offset >= BlockStart_ && offset + static_cast<std::int64_t>(count) <=
                                   BlockStart_ + static_cast<std::int64_t>(BlockLength_);
  if (!inBlock) {
    if (count >= kBlockSize) return ReadFile(offset, out, count);
    // Reading on from the last block, a whole block; after a jump, a header-sized read.
    const bool onward = offset == BlockStart_ + static_cast<std::int64_t>(BlockLength_);
    BlockStart_ = offset;
    BlockLength_ =
        ReadFile(offset, Block_.data(), onward ? Block_.size() : std::max(count, kJumpReadSize));
  }
  const auto at = static_cast<std::size_t>(offset - BlockStart_);
  const std::size_t n = std::min(count, BlockLength_ - std::min(at, BlockLength_));
  std::memcpy(out, Block_.data() + at, n);
  return n;
}

bool TSequence::Read(void* out, std::size_t count) {
  if (Ok_ && !DoRead(out, count)) Ok_ = false;
  if (!Ok_) std::memset(out, 0, count);
  return Ok_;
}

bool TSequence::Skip(std::uint64_t count) {
  if (Ok_ && !DoSkip(count)) Ok_ = false;
  return Ok_;
}

std::uint8_t TSequence::U8() {
  std::uint8_t b = 0;
  Read(&b, 1);
  return b;
}

std::uint64_t TSequence::Number(std::size_t bytes, bool bigEndian) {
  std::uint8_t b[8] = {};
  Read(b, bytes);
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < bytes; ++i) value = (value << 8) | b[bigEndian ? i : bytes - 1 - i];
  return value;
}

std::uint16_t TSequence::U16LE() { return static_cast<std::uint16_t>(Number(2, false)); }
std::uint16_t TSequence::U16BE() { return static_cast<std::uint16_t>(Number(2, true)); }
std::uint32_t TSequence::U32LE() { return static_cast<std::uint32_t>(Number(4, false)); }
std::uint32_t TSequence::U32BE() { return static_cast<std::uint32_t>(Number(4, true)); }
std::uint64_t TSequence::U64LE() { return Number(8, false); }
std::uint64_t TSequence::U64BE() { return Number(8, true); }

std::string TSequence::Bytes(std::uint64_t count, std::size_t keep) {
  const auto kept = static_cast<std::size_t>(std::min<std::uint64_t>(count, keep));
  std::string out;
  // Grown as it arrives, so that a lying count costs no more than the bytes really there.
  constexpr std::size_t kChunk = 64 * 1024;
  while (Ok_ && out.size() < kept) {
    const std::size_t n = std::min(kChunk, kept - out.size());
    const std::size_t at = out.size();
    out.resize(at + n);
    if (!Read(&out[at], n)) return std::string();
  }
  if (!Ok_) return std::string();
  Skip(count - kept);
  return out;
}

bool TRangeReader::DoRead(void* out, std::size_t count) {
  if (count > Left()) return false;
  if (Source_.ReadAt(Position_, out, count) != count) return false;
  Position_ += static_cast<std::int64_t>(count);
  return true;
}

bool TRangeReader::DoSkip(std::uint64_t count) {
  if (count > Left()) return false;
  Position_ += static_cast<std::int64_t>(count);
  return true;
}

std::string ReadBytes(TByteSource& source, std::int64_t offset, std::uint64_t count) {
  TRangeReader reader(source, offset, source.Size());
  const std::uint64_t available = std::min<std::uint64_t>(count, reader.Left());
  return reader.Bytes(available, static_cast<std::size_t>(available));
}

}  // namespace jarvet::tags
