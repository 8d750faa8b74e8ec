// ID3v2 (versions 2.2 to 2.4) and ID3v1 read into the track record: whole frame texts in
// UTF-8, several values per frame, numeric genres named, and the picture located.
#include <algorithm>
#include <map>

#include "ID3v1.h"
#include "ID3v2Frames.h"
#include "TagReaders.h"
#include "TagText.h"
#include "Text.h"

namespace jarvet::tags {

namespace {

using namespace id3v2;

constexpr std::string_view kIdentifier = "ID3";
constexpr std::size_t kVersionAt = 3;
constexpr std::size_t kRevisionAt = 4;
constexpr std::size_t kFlagsAt = 5;
constexpr std::size_t kSizeAt = 6;
constexpr std::size_t kFrameFlagsAt = 9;
constexpr std::size_t kGroupIdSize = 1;
constexpr std::size_t kPictureFormatSize = 3;  // version 2.2: "JPG", "PNG"
// UTF-16 takes two bytes a character, so this many bytes can fill a field's 64 KiB.
constexpr std::size_t kFrameTextRead = 2 * kMaxFieldText + 16;
// A picture frame's MIME type, picture type and description: most fit the first read.
constexpr std::size_t kPictureHeadFirstRead = 512;
constexpr std::size_t kPictureHeadRead = kMaxFieldText + 512;

// Version 3 frame flags (byte 9).
constexpr std::uint8_t kCompressed3 = 0x80;
constexpr std::uint8_t kEncrypted3 = 0x40;
constexpr std::uint8_t kGrouped3 = 0x20;
// Version 4 frame flags (byte 9); unsynchronisation and data length are in ID3v2Frames.h.
constexpr std::uint8_t kGrouped4 = 0x40;
constexpr std::uint8_t kCompressed4 = 0x08;
constexpr std::uint8_t kEncrypted4 = 0x04;

constexpr std::pair<std::string_view, std::string_view> kVersion2Ids[] = {
    {"TT2", "TIT2"}, {"TP1", "TPE1"}, {"TAL", "TALB"}, {"TP2", "TPE2"},
    {"TYE", "TYER"}, {"TOR", "TORY"}, {"TRK", "TRCK"}, {"TPA", "TPOS"},
    {"TCO", "TCON"}, {"TCM", "TCOM"}, {"COM", "COMM"}, {"PIC", "APIC"}};
constexpr std::string_view kTextFrames[] = {"TIT2", "TPE1", "TALB", "TPE2", "TDRC", "TYER", "TDRL",
                                            "TORY", "TDOR", "TRCK", "TPOS", "TCON", "TCOM"};
// Recording time first; the original release last.
constexpr std::string_view kYearFrames[] = {"TDRC", "TYER", "TDRL", "TORY", "TDOR"};

struct THeader {
  std::uint8_t Major = 0;
  std::uint8_t Flags = 0;
  std::int64_t Size = 0;  // behind the header, a footer not counted
};

std::optional<THeader> ReadHeader(TByteSource& source, std::int64_t offset) {
  const std::string h = ReadBytes(source, offset, kTagHeaderSize);
  if (h.size() < kTagHeaderSize || h.compare(0, kIdentifier.size(), kIdentifier) != 0) {
    return std::nullopt;
  }
  const auto major = static_cast<std::uint8_t>(h[kVersionAt]);
  const auto size = SyncsafeSize(reinterpret_cast<const std::uint8_t*>(h.data()) + kSizeAt);
  if (major < 2 || major > 4 || static_cast<std::uint8_t>(h[kRevisionAt]) == 0xFF || !size) {
    return std::nullopt;
  }
  return THeader{major, static_cast<std::uint8_t>(h[kFlagsAt]), *size};
}

bool IsWideEncoding(std::uint8_t encoding) {
  return encoding == kUtf16 || encoding == kUtf16BigEndian;
}

// Where the value behind the first terminator starts; npos when there is none. UTF-16
// terminators lie on even offsets.
std::size_t AfterTerminator(std::string_view data, bool wide) {
  if (!wide) {
    const std::size_t end = data.find('\0');
    return end == std::string_view::npos ? end : end + 1;
  }
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    if (data[i] == '\0' && data[i + 1] == '\0') return i + 2;
  }
  return std::string_view::npos;
}

std::string DecodeValue(std::string_view bytes, std::uint8_t encoding) {
  switch (encoding) {
    case kLatin1:
      return CutUtf8(Windows1252ToUtf8(bytes));
    case kUtf8:
      return CutUtf8(ValidUtf8(bytes));
    default:
      return CutUtf8(Utf16ToUtf8(Utf16Units(bytes, encoding == kUtf16BigEndian)));
  }
}

// The values of a text frame's data, encoding byte first; each terminator ends one.
std::vector<std::string> TextValues(std::string_view data) {
  std::vector<std::string> values;
  if (data.empty() || static_cast<std::uint8_t>(data[0]) > kUtf8) return values;
  const auto encoding = static_cast<std::uint8_t>(data[0]);
  data.remove_prefix(1);
  while (!data.empty()) {
    const std::size_t next = AfterTerminator(data, IsWideEncoding(encoding));
    const std::size_t valueEnd =
        next == std::string_view::npos ? data.size() : next - (IsWideEncoding(encoding) ? 2 : 1);
    values.push_back(DecodeValue(data.substr(0, valueEnd), encoding));
    if (next == std::string_view::npos) break;
    data.remove_prefix(next);
  }
  return values;
}

// The genres one TCON value names: "(17)", "17" and "(17)Rock" forms, "((" for a bracket.
std::vector<std::string> GenreValues(std::string_view value) {
  std::vector<std::string> genres;
  while (value.size() >= 2 && value[0] == '(' && value[1] != '(') {
    const std::size_t close = value.find(')');
    if (close == std::string_view::npos) break;
    const std::string_view reference = value.substr(1, close - 1);
    const auto index = ParseDigits(reference);
    if (reference == "RX") {
      genres.emplace_back("Remix");
    } else if (reference == "CR") {
      genres.emplace_back("Cover");
    } else if (!index) {
      break;
    } else if (const std::string name = GenreName(*index); !name.empty()) {
      genres.push_back(name);
    }
    value.remove_prefix(close + 1);
  }
  if (value.size() >= 2 && value[0] == '(' && value[1] == '(') value.remove_prefix(1);
  const auto index = ParseDigits(value);
  const std::string name = index ? GenreName(*index) : std::string();
  genres.emplace_back(name.empty() ? std::string(value) : name);
  return genres;
}

// The stored offset of decoded byte `index` of unsynchronised bytes.
std::size_t StoredIndex(std::string_view stored, std::size_t index) {
  std::size_t decoded = 0;
  bool afterFF = false;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    const auto b = static_cast<std::uint8_t>(stored[i]);
    if (afterFF && b == 0) {
      afterFF = false;
      continue;
    }
    if (decoded == index) return i;
    ++decoded;
    afterFF = b == 0xFF;
  }
  return stored.size();
}

// Where the frame area's offsets lie in the file: the same offsets, or, for a tag
// unsynchronised as a whole and read into memory, through its stored bytes.
struct TAreaMap {
  std::int64_t FileStart = 0;
  const std::string* Stored = nullptr;
  std::int64_t ToFile(std::int64_t offset) const {
    if (!Stored) return offset;
    return FileStart +
           static_cast<std::int64_t>(StoredIndex(*Stored, static_cast<std::size_t>(offset)));
  }
};

// The frames read so far: the first non-empty one of each text frame, and the comment.
struct TFrames {
  std::map<std::string, std::vector<std::string>, std::less<>> Texts;
  std::string Comment;
  bool CommentDescribed = true;  // whether Comment came from a frame with a description
};

struct TFrame {
  std::string Id;  // as version 3 and 4 name it
  std::int64_t DataStart = 0;
  std::int64_t DataEnd = 0;
  bool Unsynchronised = false;
};

void StoreText(const TFrame& frame, std::string_view data, TFrames& frames) {
  if (frames.Texts.count(frame.Id)) return;
  std::vector<std::string> values = TextValues(data);
  if (!JoinValues(values).empty()) frames.Texts.emplace(frame.Id, std::move(values));
}

// Encoding byte, language, description, terminator, text: an empty description wins, else
// the first frame.
void StoreComment(std::string_view data, TFrames& frames) {
  if (data.size() < 1 + kLanguageSize || !frames.CommentDescribed) return;
  const auto encoding = static_cast<std::uint8_t>(data[0]);
  if (encoding > kUtf8) return;
  const std::string_view described = data.substr(1 + kLanguageSize);
  const std::size_t textStart = AfterTerminator(described, IsWideEncoding(encoding));
  if (textStart == std::string_view::npos) return;
  std::string text(1, static_cast<char>(encoding));
  text += described.substr(textStart);
  const std::vector<std::string> values = TextValues(text);
  if (values.empty() || values.front().empty()) return;
  const std::size_t terminatorSize = IsWideEncoding(encoding) ? 2 : 1;
  const bool hasDescription =
      !DecodeValue(described.substr(0, textStart - terminatorSize), encoding).empty();
  if (frames.Comment.empty() || !hasDescription) {
    frames.Comment = values.front();
    frames.CommentDescribed = hasDescription;
  }
}

// Version 2.2 names a picture's format by three ISO-8859-1 characters.
std::string MimeOfFormat(std::string_view format) {
  if (format == "JPG") return "image/jpeg";
  if (format == "PNG") return "image/png";
  std::string lower;
  for (char c : format) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return "image/" + Windows1252ToUtf8(lower);
}

// The picture's start in an APIC (PIC in version 2.2) frame's data, with the MIME and picture
// types; empty when the head holds no whole header.
std::optional<std::size_t> PictureStart(std::string_view head, bool version2,
                                        TCoverLocation& cover) {
  if (head.empty() || static_cast<std::uint8_t>(head[0]) > kUtf8) return std::nullopt;
  const auto encoding = static_cast<std::uint8_t>(head[0]);
  std::size_t at = 1;
  if (version2) {
    if (head.size() < at + kPictureFormatSize) return std::nullopt;
    cover.Mime = MimeOfFormat(head.substr(at, kPictureFormatSize));
    at += kPictureFormatSize;
  } else {
    const std::size_t mimeEnd = head.find('\0', at);
    if (mimeEnd == std::string_view::npos) return std::nullopt;
    cover.Mime = Windows1252ToUtf8(head.substr(at, mimeEnd - at));
    at = mimeEnd + 1;
  }
  if (at >= head.size()) return std::nullopt;
  cover.PictureType = static_cast<std::uint8_t>(head[at++]);
  const std::size_t descriptionEnd = AfterTerminator(head.substr(at), IsWideEncoding(encoding));
  if (descriptionEnd == std::string_view::npos) return std::nullopt;
  return at + descriptionEnd;
}

// The picture located from its frame's header, the picture itself unread: a short read first,
// a longer one only for a long description.
void StorePicture(const TFrame& frame, TByteSource& area, const TAreaMap& map, bool version2,
                  TTrackTags& tags) {
  const auto size = static_cast<std::uint64_t>(frame.DataEnd - frame.DataStart);
  TCoverLocation cover;
  std::string stored;
  std::optional<std::size_t> pictureStart;
  for (const std::size_t read : {kPictureHeadFirstRead, kPictureHeadRead}) {
    stored = ReadBytes(area, frame.DataStart, std::min<std::uint64_t>(size, read));
    const std::string head = frame.Unsynchronised ? RemoveUnsynchronisation(stored) : stored;
    pictureStart = PictureStart(head, version2, cover);
    if (pictureStart || stored.size() < read) break;
  }
  if (!pictureStart) return;
  const std::size_t storedStart =
      frame.Unsynchronised ? StoredIndex(stored, *pictureStart) : *pictureStart;
  cover.Offset = map.ToFile(frame.DataStart + static_cast<std::int64_t>(storedStart));
  cover.StoredSize = map.ToFile(frame.DataEnd) - cover.Offset;
  if (cover.StoredSize < 0) return;
  if (frame.Unsynchronised || map.Stored) {
    cover.Encoding = TCoverEncoding::Unsynchronised;
  } else {
    cover.Size = cover.StoredSize;
  }
  OfferCover(tags, cover);
}

void StoreFrame(const TFrame& frame, TByteSource& area, const TAreaMap& map, bool version2,
                TFrames& frames, TTrackTags& tags) {
  const bool text =
      std::find(std::begin(kTextFrames), std::end(kTextFrames), frame.Id) != std::end(kTextFrames);
  if (frame.Id == "APIC") return StorePicture(frame, area, map, version2, tags);
  if (!text && frame.Id != "COMM") return;
  const std::uint64_t size = static_cast<std::uint64_t>(frame.DataEnd - frame.DataStart);
  std::string data =
      ReadBytes(area, frame.DataStart, std::min<std::uint64_t>(size, kFrameTextRead));
  if (frame.Unsynchronised) data = RemoveUnsynchronisation(data);
  if (text) {
    StoreText(frame, data, frames);
  } else {
    StoreComment(data, frames);
  }
}

// Whether a version 4 frame ending at offset is followed by another frame, padding or the end.
bool EndsOnBoundary(TByteSource& area, std::int64_t offset, std::int64_t end) {
  if (offset == end) return true;
  if (offset > end) return false;
  const std::string next = ReadBytes(area, offset, kFrameIdSize);
  return !next.empty() && (next[0] == '\0' || IsFrameId(next));
}

// Version 4 sizes are syncsafe, but some writers put plain sizes there: when only the plain
// reading ends on a frame boundary, it is the one meant.
std::int64_t Version4FrameSize(TByteSource& area, const std::uint8_t* sizeBytes,
                               std::int64_t dataStart, std::int64_t end) {
  const std::int64_t plain = PlainSize(sizeBytes, kFrameSizeBytes);
  const auto syncsafe = SyncsafeSize(sizeBytes);
  if (!syncsafe) return plain;
  if (EndsOnBoundary(area, dataStart + *syncsafe, end) ||
      !EndsOnBoundary(area, dataStart + plain, end)) {
    return *syncsafe;
  }
  return plain;
}

bool IsVersion2FrameId(std::string_view id) {
  return std::all_of(id.begin(), id.end(),
                     [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

void WalkFrames(TByteSource& area, std::int64_t begin, std::int64_t end, const THeader& header,
                const TAreaMap& map, TFrames& frames, TTrackTags& tags) {
  const bool version2 = header.Major == 2;
  const std::size_t headerSize = version2 ? kFrameHeaderSize2 : kFrameHeaderSize;
  const std::size_t idSize = version2 ? kFrameIdSize2 : kFrameIdSize;
  std::int64_t pos = begin;
  if (!version2 && (header.Flags & kTagExtendedHeader)) {
    const std::string field = ReadBytes(area, pos, kExtendedSizeBytes);
    if (field.size() < kExtendedSizeBytes) return;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(field.data());
    if (header.Major == 3) {
      pos += static_cast<std::int64_t>(kExtendedSizeBytes + PlainSize(bytes, kExtendedSizeBytes));
    } else {
      const auto size = SyncsafeSize(bytes);
      if (!size || *size < kExtendedSizeBytes) return;
      pos += *size;
    }
  }
  while (pos + static_cast<std::int64_t>(headerSize) <= end) {
    const std::string h = ReadBytes(area, pos, headerSize);
    if (h.size() < headerSize || h[0] == '\0') return;  // padding
    std::string id = h.substr(0, idSize);
    if (version2 ? !IsVersion2FrameId(id) : !IsFrameId(id)) return;
    const auto* sizeBytes = reinterpret_cast<const std::uint8_t*>(h.data()) + idSize;
    TFrame frame;
    frame.DataStart = pos + static_cast<std::int64_t>(headerSize);
    std::int64_t size = 0;
    bool skip = false;
    if (version2) {
      size = PlainSize(sizeBytes, kFrameSizeBytes2);
      const auto* later = std::find_if(std::begin(kVersion2Ids), std::end(kVersion2Ids),
                                       [&](const auto& ids) { return ids.first == id; });
      frame.Id = later == std::end(kVersion2Ids) ? std::string() : std::string(later->second);
    } else {
      const auto flags = static_cast<std::uint8_t>(h[kFrameFlagsAt]);
      frame.Id = id;
      if (header.Major == 3) {
        size = PlainSize(sizeBytes, kFrameSizeBytes);
        skip = (flags & (kCompressed3 | kEncrypted3)) != 0;
        if (flags & kGrouped3) frame.DataStart += kGroupIdSize;
      } else {
        size = Version4FrameSize(area, sizeBytes, frame.DataStart, end);
        skip = (flags & (kCompressed4 | kEncrypted4)) != 0;
        frame.Unsynchronised =
            (flags & kFrameUnsynchronised) || (header.Flags & kTagUnsynchronised);
        if (flags & kGrouped4) frame.DataStart += kGroupIdSize;
        if (flags & kFrameDataLength) frame.DataStart += kDataLengthSize;
      }
    }
    const std::int64_t next = pos + static_cast<std::int64_t>(headerSize) + size;
    if (next > end) return;  // damaged: the frames before it stand
    frame.DataEnd = next;
    if (!skip && !frame.Id.empty() && frame.DataStart <= frame.DataEnd) {
      StoreFrame(frame, area, map, version2, frames, tags);
    }
    pos = next;
  }
}

const std::vector<std::string>* TextOf(const TFrames& frames, std::string_view id) {
  const auto found = frames.Texts.find(id);
  return found == frames.Texts.end() ? nullptr : &found->second;
}

std::string JoinedText(const TFrames& frames, std::string_view id) {
  const auto* values = TextOf(frames, id);
  return values ? JoinValues(*values) : std::string();
}

std::string FirstText(const TFrames& frames, std::string_view id) {
  const auto* values = TextOf(frames, id);
  if (!values) return std::string();
  for (const std::string& value : *values) {
    if (!value.empty()) return value;
  }
  return std::string();
}

void FillFields(const TFrames& frames, TTrackTags& tags) {
  tags.Title = JoinedText(frames, "TIT2");
  tags.Artist = JoinedText(frames, "TPE1");
  tags.Album = JoinedText(frames, "TALB");
  tags.AlbumArtist = JoinedText(frames, "TPE2");
  for (std::string_view id : kYearFrames) {
    if (tags.Year.empty()) tags.Year = YearOf(FirstText(frames, id));
  }
  const std::string track = FirstText(frames, "TRCK");
  tags.Track = NumberBeforeSlash(track);
  tags.TrackTotal = NumberAfterSlash(track);
  tags.Disc = NumberBeforeSlash(FirstText(frames, "TPOS"));
  if (const auto* genres = TextOf(frames, "TCON")) {
    std::vector<std::string> names;
    for (const std::string& value : *genres) {
      for (std::string& name : GenreValues(value)) {
        if (std::find(names.begin(), names.end(), name) == names.end())
          names.push_back(std::move(name));
      }
    }
    tags.Genre = JoinValues(names);
  }
  tags.Comment = frames.Comment;
  tags.Composer = JoinedText(frames, "TCOM");
}

}  // namespace

std::int64_t ID3v2TagLength(TByteSource& source, std::int64_t offset) {
  const auto header = ReadHeader(source, offset);
  if (!header) return 0;
  const bool footer = header->Major == 4 && (header->Flags & kTagFooter);
  return static_cast<std::int64_t>(kTagHeaderSize + (footer ? kFooterSize : 0)) + header->Size;
}

bool ReadID3v2Tags(TByteSource& source, std::int64_t offset, TTrackTags& tags) {
  const auto header = ReadHeader(source, offset);
  if (!header) return false;
  tags.TagFormat = "ID3v2." + std::to_string(header->Major);
  const std::int64_t begin = offset + static_cast<std::int64_t>(kTagHeaderSize);
  const std::int64_t end = std::min(begin + header->Size, source.Size());
  TFrames frames;
  if (header->Major < 4 && (header->Flags & kTagUnsynchronised)) {
    // Frame sizes count the bytes as they were before unsynchronisation: only reading the
    // tag through tells where its frames lie.
    const std::string stored =
        ReadBytes(source, begin, std::min<std::int64_t>(end - begin, kMaxCommentBlock));
    const std::string plain = RemoveUnsynchronisation(stored);
    TMemorySource area(plain);
    WalkFrames(area, 0, area.Size(), *header, TAreaMap{begin, &stored}, frames, tags);
  } else {
    WalkFrames(source, begin, end, *header, TAreaMap{}, frames, tags);
  }
  FillFields(frames, tags);
  return true;
}

bool ReadID3v1Tags(TByteSource& source, TTrackTags& tags) {
  constexpr std::size_t kTitleAt = 3, kArtistAt = 33, kAlbumAt = 63, kYearAt = 93, kCommentAt = 97;
  constexpr std::size_t kTextSize = 30, kYearSize = 4, kComment11Size = 28;
  constexpr std::size_t kTrackAt = 126, kGenreAt = 127;
  const auto size = static_cast<std::int64_t>(kID3v1TrailerSize);
  if (source.Size() < size) return false;
  const std::string trailer = ReadBytes(source, source.Size() - size, kID3v1TrailerSize);
  if (trailer.size() < kID3v1TrailerSize || trailer.compare(0, 3, "TAG") != 0) return false;
  const auto area = [&](std::size_t at, std::size_t length) {
    const std::string_view text = std::string_view(trailer).substr(at, length);
    return Windows1252ToUtf8(TrimControlRight(text.substr(0, text.find('\0'))));
  };
  const auto* bytes = reinterpret_cast<const unsigned char*>(trailer.data());
  const bool version11 = DetectVersion(bytes) == TID3v1::kVersion11;
  tags.TagFormat = version11 ? "ID3v1.1" : "ID3v1";
  tags.Title = area(kTitleAt, kTextSize);
  tags.Artist = area(kArtistAt, kTextSize);
  tags.Album = area(kAlbumAt, kTextSize);
  tags.Year = area(kYearAt, kYearSize);
  tags.Comment = area(kCommentAt, version11 ? kComment11Size : kTextSize);
  tags.Track = version11 ? bytes[kTrackAt] : 0;
  tags.Genre = GenreName(bytes[kGenreAt]);
  return true;
}

}  // namespace jarvet::tags
