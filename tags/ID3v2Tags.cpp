// ID3v2 (versions 2.2 to 2.4) read into the track record: whole frame texts in
// UTF-8, several values per frame, numeric genres named, and the picture located.
#include <algorithm>
#include <map>

#include "ID3v2Frames.h"
#include "ID3v2Walker.h"
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
    const auto index = DigitsInBlanks(reference);
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
  const auto index = DigitsInBlanks(value);
  const std::string name = index ? GenreName(*index) : std::string();
  genres.emplace_back(name.empty() ? std::string(value) : name);
  return genres;
}

// The frames read so far: the first non-empty one of each text frame, and the comment.
struct TFrames {
  std::map<std::string, std::vector<std::string>, std::less<>> Texts;
  std::string Comment;
  bool CommentDescribed = true;  // whether Comment came from a frame with a description
};

// A frame's data as this reader takes it: behind a group byte and a data-length indicator.
struct TFrameData {
  std::string Id;  // as versions 3 and 4 name it
  std::int64_t DataStart = 0;
  std::int64_t DataEnd = 0;
  bool Unsynchronised = false;  // version 4: the frame's data still needs undoing
};

void StoreText(const TFrameData& frame, std::string_view data, TFrames& frames) {
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
void StorePicture(const TFrameData& frame, TFrameArea& area, bool version2, TTrackTags& tags) {
  const auto size = static_cast<std::uint64_t>(frame.DataEnd - frame.DataStart);
  TCoverLocation cover;
  std::string stored;
  std::optional<std::size_t> pictureStart;
  for (const std::size_t read : {kPictureHeadFirstRead, kPictureHeadRead}) {
    stored =
        area.Read(frame.DataStart, static_cast<std::size_t>(std::min<std::uint64_t>(size, read)));
    const std::string head = frame.Unsynchronised ? RemoveUnsynchronisation(stored) : stored;
    pictureStart = PictureStart(head, version2, cover);
    if (pictureStart || stored.size() < read) break;
  }
  if (!pictureStart) return;
  const std::size_t storedStart =
      frame.Unsynchronised ? StoredIndex(stored, *pictureStart) : *pictureStart;
  cover.Offset = area.FileOffset(frame.DataStart + static_cast<std::int64_t>(storedStart));
  cover.StoredSize = area.FileOffset(frame.DataEnd) - cover.Offset;
  if (cover.StoredSize < 0) return;
  if (frame.Unsynchronised || area.Unsynchronised()) {
    cover.Encoding = TCoverEncoding::Unsynchronised;
  } else {
    cover.Size = cover.StoredSize;
  }
  OfferCover(tags, cover);
}

void StoreFrame(const TFrameData& frame, TFrameArea& area, bool version2, TFrames& frames,
                TTrackTags& tags) {
  const bool text =
      std::find(std::begin(kTextFrames), std::end(kTextFrames), frame.Id) != std::end(kTextFrames);
  if (frame.Id == "APIC") return StorePicture(frame, area, version2, tags);
  if (!text && frame.Id != "COMM") return;
  const std::uint64_t size = static_cast<std::uint64_t>(frame.DataEnd - frame.DataStart);
  std::string data = area.Read(
      frame.DataStart, static_cast<std::size_t>(std::min<std::uint64_t>(size, kFrameTextRead)));
  if (frame.Unsynchronised) data = RemoveUnsynchronisation(data);
  if (text) {
    StoreText(frame, data, frames);
  } else {
    StoreComment(data, frames);
  }
}

// The frame's data as stored behind the flags of versions 3 and 4; empty for a compressed or
// encrypted frame, which is passed over.
std::optional<TFrameData> FrameData(const TFrame& frame, std::uint8_t major,
                                    std::uint8_t tagFlags) {
  TFrameData data;
  data.Id = frame.LaterId;
  data.DataStart = frame.DataStart;
  data.DataEnd = frame.DataEnd;
  if (major == 3) {
    if (frame.Flags & (kCompressed3 | kEncrypted3)) return std::nullopt;
    if (frame.Flags & kGrouped3) data.DataStart += kGroupIdSize;
  } else if (major == 4) {
    if (frame.Flags & (kCompressed4 | kEncrypted4)) return std::nullopt;
    data.Unsynchronised = (frame.Flags & kFrameUnsynchronised) || (tagFlags & kTagUnsynchronised);
    if (frame.Flags & kGrouped4) data.DataStart += kGroupIdSize;
    if (frame.Flags & kFrameDataLength) data.DataStart += kDataLengthSize;
  }
  if (data.Id.empty() || data.DataStart > data.DataEnd) return std::nullopt;
  return data;
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
  TWalk walk;
  walk.Major = header->Major;
  walk.TagFlags = header->Flags;
  walk.FramesEnd = std::min(begin + header->Size, source.Size());
  walk.TagEnd = walk.FramesEnd;
  walk.Rules = TWalkRules::Record;
  // Frame sizes of versions 2 and 3 count the bytes as they were before unsynchronisation: only
  // reading the tag through tells where its frames lie.
  TFrameArea area(source, begin, header->Major < 4 && (header->Flags & kTagUnsynchronised));
  TFrames frames;
  WalkFrames(area, walk, [&](const TFrame& frame) {
    if (const auto data = FrameData(frame, header->Major, header->Flags)) {
      StoreFrame(*data, area, header->Major == 2, frames, tags);
    }
    return true;
  });
  FillFields(frames, tags);
  return true;
}

}  // namespace jarvet::tags
