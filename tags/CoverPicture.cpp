// A track's cover picture, read from where the tag readers found it.
#include "CoverPicture.h"

#include "ByteSource.h"
#include "ID3v2Walker.h"
#include "TagReaders.h"
#include "TagText.h"

namespace jarvet::tags {

namespace {

constexpr std::string_view kOggCapture = "OggS";

std::optional<std::string> StoredBytes(TByteSource& source, const TCoverLocation& cover) {
  if (cover.Offset < 0 || cover.StoredSize < 0 || cover.StoredSize > kMaxCoverBytes ||
      cover.Offset > source.Size() - cover.StoredSize) {
    return std::nullopt;
  }
  std::string bytes(static_cast<std::size_t>(cover.StoredSize), '\0');
  if (source.ReadAt(cover.Offset, bytes.data(), bytes.size()) != bytes.size()) return std::nullopt;
  return bytes;
}

// Base64 of a FLAC picture block: the picture follows the block's header.
std::optional<std::string> FromPictureBlock(TByteSource& source, const TCoverLocation& cover) {
  if (cover.StoredSize < 0 || cover.StoredSize > kMaxCoverBytes * 2) return std::nullopt;
  const std::string capture = ReadBytes(source, 0, kOggCapture.size());
  const std::optional<std::string> text =
      capture == kOggCapture
          ? ReadOggCommentBytes(source, cover.Offset, static_cast<std::uint64_t>(cover.StoredSize))
          : StoredBytes(source, cover);
  if (!text) return std::nullopt;
  const std::string block = Base64Decode(*text, text->size());
  TMemorySource blockSource(block);
  TRangeReader reader(blockSource, 0, blockSource.Size());
  TCoverLocation header;
  if (!ReadPictureBlockHeader(reader, header) || !header.Size) return std::nullopt;
  const std::int64_t start = reader.FileOffset();
  if (static_cast<std::int64_t>(block.size()) - start < *header.Size) return std::nullopt;
  return block.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(*header.Size));
}

}  // namespace

std::optional<std::string> ReadCoverPicture(TByteSource& source, const TCoverLocation& cover) {
  switch (cover.Encoding) {
    case TCoverEncoding::Plain: {
      std::optional<std::string> bytes = StoredBytes(source, cover);
      if (bytes && cover.Size && static_cast<std::int64_t>(bytes->size()) != *cover.Size) {
        return std::nullopt;
      }
      return bytes;
    }
    case TCoverEncoding::Unsynchronised: {
      const std::optional<std::string> bytes = StoredBytes(source, cover);
      if (!bytes) return std::nullopt;
      return id3v2::RemoveUnsynchronisation(*bytes);
    }
    case TCoverEncoding::Base64PictureBlock:
      return FromPictureBlock(source, cover);
  }
  return std::nullopt;
}

std::optional<std::string> ReadCoverPicture(const std::string& fileName,
                                            const TCoverLocation& cover) {
  TFileSource source;
  if (!source.Open(fileName)) return std::nullopt;
  return ReadCoverPicture(source, cover);
}

}  // namespace jarvet::tags
