// APEv2: the tag at the end of the file (before an ID3v1 trailer, if any) or, header first, at
// its start; as Monkey's Audio, WavPack, Musepack and some MP3 files carry it.
#include <algorithm>

#include "ID3v1.h"
#include "TagReaders.h"
#include "TagText.h"
#include "Text.h"

namespace jarvet::tags {

namespace {

constexpr std::string_view kPreamble = "APETAGEX";
constexpr std::size_t kFooterSize = 32;
constexpr std::uint32_t kVersion1 = 1000;
constexpr std::uint32_t kVersion2 = 2000;
constexpr std::uint32_t kHasHeader = 1u << 31;
constexpr std::uint32_t kHasNoFooter = 1u << 30;
constexpr std::uint32_t kIsHeader = 1u << 29;
constexpr std::uint32_t kItemTypeMask = 0x06;
constexpr std::uint32_t kBinaryItem = 0x02;
constexpr std::size_t kMaxKeySize = 256;  // 255 characters and the terminator
constexpr std::size_t kMaxPictureNameSize = 4096;
constexpr std::string_view kCoverPrefix = "Cover Art (";
constexpr std::string_view kFrontCoverKey = "Cover Art (Front)";

// The picture's type as its file name tells it; APEv2 stores no MIME type.
std::string MimeOfName(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return std::string();
  const std::string extension = name.substr(dot + 1);
  if (SameTextAscii(extension, "jpg") || SameTextAscii(extension, "jpeg")) return "image/jpeg";
  if (SameTextAscii(extension, "png")) return "image/png";
  if (SameTextAscii(extension, "gif")) return "image/gif";
  return std::string();
}

struct TFooter {
  std::uint32_t Size = 0;  // items and footer, not the header
  std::uint32_t Count = 0;
  std::uint32_t Flags = 0;
};

std::optional<TFooter> ReadFooter(TByteSource& source, std::int64_t offset) {
  TRangeReader reader(source, offset, offset + static_cast<std::int64_t>(kFooterSize));
  if (offset < 0 || reader.Bytes(kPreamble.size(), kPreamble.size()) != kPreamble)
    return std::nullopt;
  const std::uint32_t version = reader.U32LE();
  TFooter footer;
  footer.Size = reader.U32LE();
  footer.Count = reader.U32LE();
  footer.Flags = reader.U32LE();
  if (!reader.Ok() || (version != kVersion1 && version != kVersion2)) return std::nullopt;
  return footer;
}

// Text up to the first zero byte, at most limit bytes of it; the sequence moves behind it.
std::string ReadTerminated(TSequence& sequence, std::uint64_t limit) {
  std::string text;
  while (text.size() < limit) {
    const char c = static_cast<char>(sequence.U8());
    if (!sequence.Ok() || c == '\0') return text;
    text += c;
  }
  return text;
}

void ReadItems(TByteSource& source, std::int64_t begin, std::int64_t end, std::uint32_t count,
               TTrackTags& tags) {
  TRangeReader reader(source, begin, end);
  TKeyValues fields;
  for (std::uint32_t i = 0; i < count && !fields.Full(); ++i) {
    const std::uint32_t size = reader.U32LE();
    const std::uint32_t flags = reader.U32LE();
    const std::string key = ReadTerminated(reader, kMaxKeySize);
    if (!reader.Ok()) break;
    const std::int64_t valueStart = reader.FileOffset();
    if ((flags & kItemTypeMask) == kBinaryItem) {
      if (key.size() > kCoverPrefix.size() &&
          SameTextAscii(key.substr(0, kCoverPrefix.size()), kCoverPrefix)) {
        // A file name, a zero byte, then the picture.
        const std::string name =
            ReadTerminated(reader, std::min<std::uint64_t>(size, kMaxPictureNameSize));
        const bool named =
            reader.FileOffset() == valueStart + static_cast<std::int64_t>(name.size()) + 1;
        TCoverLocation cover;
        cover.Mime = MimeOfName(name);
        cover.PictureType = SameTextAscii(key, kFrontCoverKey) ? kFrontCover : 0;
        cover.Offset = reader.FileOffset();
        cover.StoredSize = valueStart + size - cover.Offset;
        cover.Size = cover.StoredSize;
        if (reader.Ok() && named && cover.StoredSize >= 0 && valueStart + size <= end) {
          OfferCover(tags, cover);
        }
      }
      if (!reader.Skip(static_cast<std::uint64_t>(
              std::max<std::int64_t>(0, valueStart + size - reader.FileOffset()))))
        break;
      continue;
    }
    const std::string value = reader.Bytes(size, 2 * kMaxFieldText);
    if (!reader.Ok()) break;
    // Several values are separated by zero bytes.
    std::vector<std::string> values;
    std::string_view rest = value;
    for (std::size_t zero; (zero = rest.find('\0')) != std::string_view::npos;
         rest.remove_prefix(zero + 1)) {
      values.push_back(ValidUtf8(rest.substr(0, zero)));
    }
    values.push_back(ValidUtf8(rest));
    std::string joined = JoinValues(values);
    fields.Add(key, std::move(joined));
  }
  FillFromKeyValues(fields, kApeKeys, tags);
}

}  // namespace

std::int64_t TrailingTagsStart(TByteSource& source) {
  const std::int64_t size = source.Size();
  std::int64_t end = size;
  if (size >= static_cast<std::int64_t>(kID3v1TrailerSize) &&
      ReadBytes(source, size - static_cast<std::int64_t>(kID3v1TrailerSize), 3) == "TAG") {
    end -= static_cast<std::int64_t>(kID3v1TrailerSize);
  }
  const auto footer = ReadFooter(source, end - static_cast<std::int64_t>(kFooterSize));
  if (footer && !(footer->Flags & kIsHeader)) {
    const std::int64_t length =
        static_cast<std::int64_t>(footer->Size) + ((footer->Flags & kHasHeader) ? kFooterSize : 0);
    end = std::max<std::int64_t>(0, end - length);
  }
  return end;
}

bool ReadApeTags(TByteSource& source, TTrackTags& tags) {
  const std::int64_t size = source.Size();
  const auto footerSize = static_cast<std::int64_t>(kFooterSize);
  std::int64_t footerAt = size - footerSize;
  auto footer = ReadFooter(source, footerAt);
  const std::string trailer =
      ReadBytes(source, size - static_cast<std::int64_t>(kID3v1TrailerSize), 3);
  if (!footer && size >= static_cast<std::int64_t>(kID3v1TrailerSize) && trailer == "TAG") {
    footerAt -= static_cast<std::int64_t>(kID3v1TrailerSize);
    footer = ReadFooter(source, footerAt);
  }
  if (footer && !(footer->Flags & kIsHeader) && footer->Size >= kFooterSize) {
    tags.TagFormat = "APEv2";
    const std::int64_t itemsStart = std::max<std::int64_t>(0, footerAt + footerSize - footer->Size);
    ReadItems(source, itemsStart, footerAt, footer->Count, tags);
    return true;
  }
  // A tag that begins the file with its header, whether or not a footer follows.
  const auto header = ReadFooter(source, 0);
  if (!header || !(header->Flags & kIsHeader)) return false;
  tags.TagFormat = "APEv2";
  const std::int64_t itemsEnd =
      footerSize + header->Size - ((header->Flags & kHasNoFooter) ? 0 : footerSize);
  ReadItems(source, footerSize, std::min(itemsEnd, size), header->Count, tags);
  return true;
}

}  // namespace jarvet::tags
