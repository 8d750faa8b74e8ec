// The ID3v2 reader: the header probe, the frames INFO uses and the field derivations.
#include "ID3v2.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "ByteSource.h"
#include "ID3v2Frames.h"
#include "ID3v2Walker.h"

namespace jarvet {

namespace {

using namespace id3v2;

constexpr char kIdentifier[] = "ID3";
// Tag header byte offsets.
constexpr std::size_t kVersionAt = 3;
constexpr std::size_t kRevisionAt = 4;
constexpr std::size_t kFlagsAt = 5;
constexpr std::size_t kSizeAt = 6;

bool ProbeFile(tags::TByteSource& source, TTagInfo& info) {
  std::array<std::uint8_t, kTagHeaderSize> header{};
  if (source.ReadAt(0, header.data(), header.size()) != header.size()) return false;
  info.FileLength = source.Size();
  std::memcpy(info.Identifier.data(), header.data(), info.Identifier.size());
  info.MajorVersion = header[kVersionAt];
  info.RevisionNumber = header[kRevisionAt];
  info.Flags = header[kFlagsAt];
  std::copy(header.begin() + kSizeAt, header.end(), info.SizeBytes.begin());
  return true;
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

// Keeps the first 500 bytes of each frame INFO uses, the last such frame of an ID winning.
void ReadFrames(tags::TByteSource& source, TTagInfo& info) {
  const std::int64_t tagEnd = TotalTagSize(info);
  const bool version4 = info.MajorVersion == 4;
  const bool tagUnsynchronised = (info.Flags & kTagUnsynchronised) != 0;
  TWalk walk;
  walk.Major = info.MajorVersion;
  walk.TagFlags = info.Flags;
  walk.TagEnd = tagEnd;
  walk.FramesEnd =
      (info.Flags & kTagFooter) ? tagEnd - static_cast<std::int64_t>(kFooterSize) : tagEnd;
  walk.Rules = TWalkRules::Info;
  // Version 4 unsynchronises frame data only, frame by frame.
  TFrameArea area(source, static_cast<std::int64_t>(kTagHeaderSize),
                  tagUnsynchronised && !version4);
  std::array<std::uint8_t, kFrameBufferSize> buffer;
  WalkFrames(area, walk, [&](const TFrame& frame) {
    const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(
        frame.DataEnd - frame.DataStart, static_cast<std::int64_t>(kFrameBufferSize)));
    const std::string data = area.Read(frame.DataStart, wanted);
    if (data.size() < wanted) return false;
    buffer.fill(0);
    std::copy(data.begin(), data.end(), buffer.begin());
    if (version4) UndoFrameFormat(frame.Flags, tagUnsynchronised, wanted, buffer);
    StoreFrame(frame.LaterId,
               std::string_view(reinterpret_cast<const char*>(buffer.data()), buffer.size()), info);
    return true;
  });
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
    tags::TFileSource source;
    TTagInfo info;
    if (!source.Open(fileName, TNameEncoding::CodePage) || !ProbeFile(source, info)) return false;
    if (std::memcmp(info.Identifier.data(), kIdentifier, info.Identifier.size()) != 0) {
      return true;
    }
    TagFound = true;
    MajorVersion = info.MajorVersion;
    TagSize = TotalTagSize(info);
    if (MajorVersion < 2 || MajorVersion > 4 || TagSize <= 0) return true;

    ReadFrames(source, info);

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
