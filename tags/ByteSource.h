// The seam between the track-tag readers and the file: bytes at an offset, from a file or from
// memory, and sequential readers over a range of them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "File.h"

namespace jarvet::tags {

class TByteSource {
 public:
  virtual ~TByteSource() = default;
  virtual std::int64_t Size() const = 0;
  // Copies up to count bytes from offset; fewer only at the end or when reading fails.
  virtual std::size_t ReadAt(std::int64_t offset, void* out, std::size_t count) = 0;
};

class TMemorySource : public TByteSource {
 public:
  explicit TMemorySource(std::string_view bytes) : Bytes_(bytes) {}
  std::int64_t Size() const override { return static_cast<std::int64_t>(Bytes_.size()); }
  std::size_t ReadAt(std::int64_t offset, void* out, std::size_t count) override;

 private:
  std::string_view Bytes_;
};

// A file opened read-only and shared. Small reads go through one block-sized buffer, since the
// readers ask for headers a few bytes at a time.
class TFileSource : public TByteSource {
 public:
  bool Open(const std::string& fileName, TNameEncoding encoding = TNameEncoding::Utf8);
  std::int64_t Size() const override { return Size_; }
  std::size_t ReadAt(std::int64_t offset, void* out, std::size_t count) override;
  // Bytes asked of the file so far.
  std::uint64_t BytesRead() const { return BytesRead_; }

 private:
  static constexpr std::size_t kBlockSize = 4096;
  static constexpr std::size_t kJumpReadSize = 512;
  std::size_t ReadFile(std::int64_t offset, void* out, std::size_t count);

  TReadOnlyFile File_;
  std::int64_t Size_ = 0;
  std::uint64_t BytesRead_ = 0;
  std::int64_t FilePosition_ = 0;  // where the next read starts without a seek; -1 unknown
  std::array<char, kBlockSize> Block_{};
  std::int64_t BlockStart_ = 0;
  std::size_t BlockLength_ = 0;
};

// Bytes one after another. The first read that runs short fails the sequence for good; from
// then on numbers read as 0 and texts as empty, so a parser may check Ok() once at the end.
class TSequence {
 public:
  virtual ~TSequence() = default;
  bool Ok() const { return Ok_; }
  // The file offset of the next byte.
  virtual std::int64_t FileOffset() const = 0;

  bool Read(void* out, std::size_t count);
  bool Skip(std::uint64_t count);
  std::uint8_t U8();
  std::uint16_t U16LE();
  std::uint16_t U16BE();
  std::uint32_t U32LE();
  std::uint32_t U32BE();
  std::uint64_t U64LE();
  std::uint64_t U64BE();
  // The first `keep` of the next count bytes; the rest is skipped.
  std::string Bytes(std::uint64_t count, std::size_t keep);

 protected:
  virtual bool DoRead(void* out, std::size_t count) = 0;
  virtual bool DoSkip(std::uint64_t count) = 0;

 private:
  std::uint64_t Number(std::size_t bytes, bool bigEndian);
  bool Ok_ = true;
};

// The bytes of [begin, end) of a source.
class TRangeReader : public TSequence {
 public:
  TRangeReader(TByteSource& source, std::int64_t begin, std::int64_t end)
      : Source_(source), Position_(begin), End_(end) {}
  std::int64_t FileOffset() const override { return Position_; }
  std::int64_t End() const { return End_; }
  std::uint64_t Left() const {
    return Position_ < End_ ? static_cast<std::uint64_t>(End_ - Position_) : 0;
  }

 protected:
  bool DoRead(void* out, std::size_t count) override;
  bool DoSkip(std::uint64_t count) override;

 private:
  TByteSource& Source_;
  std::int64_t Position_;
  std::int64_t End_;
};

// Up to count bytes at offset, never more than the source holds.
std::string ReadBytes(TByteSource& source, std::int64_t offset, std::uint64_t count);

}  // namespace jarvet::tags
