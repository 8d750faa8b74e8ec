// Internal to the ID3v2 reader: the tag's working record, the frame tables and the pure rules
// that turn raw frame bytes into field values.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace jarvet::id3v2 {

constexpr std::size_t kTagHeaderSize = 10;
constexpr std::size_t kFooterSize = 10;
constexpr std::size_t kFrameHeaderSize = 10;   // versions 3 and 4
constexpr std::size_t kFrameHeaderSize2 = 6;   // version 2
constexpr std::size_t kFrameIdSize = 4;        // versions 3 and 4
constexpr std::size_t kFrameIdSize2 = 3;       // version 2
constexpr std::size_t kFrameSizeBytes = 4;     // versions 3 and 4
constexpr std::size_t kFrameSizeBytes2 = 3;    // version 2
constexpr std::size_t kFrameBufferSize = 500;  // frame bytes read at most, encoding byte included
constexpr std::size_t kExtendedSizeBytes = 4;  // the extended header's size field
constexpr std::size_t kDataLengthSize = 4;     // version 4 data-length indicator
constexpr std::size_t kLanguageSize = 3;       // comment frames
constexpr std::size_t kFrameCount = 16;

// Tag header flags (byte 5).
constexpr std::uint8_t kTagUnsynchronised = 0x80;
constexpr std::uint8_t kTagExtendedHeader = 0x40;
constexpr std::uint8_t kTagFooter = 0x10;
// Version 4 frame format flags (frame header byte 9).
constexpr std::uint8_t kFrameUnsynchronised = 0x02;
constexpr std::uint8_t kFrameDataLength = 0x01;

// Text-encoding bytes.
constexpr std::uint8_t kLatin1 = 0;
constexpr std::uint8_t kUtf16 = 1;  // with byte-order mark
constexpr std::uint8_t kUtf16BigEndian = 2;
constexpr std::uint8_t kUtf8 = 3;

// Slots of FrameTexts.
enum TFrameSlot : std::size_t {
  kTitleSlot,
  kArtistSlot,
  kAlbumSlot,
  kTrackSlot,
  kYearSlot,
  kGenreSlot,
  kCommentSlot,
  kComposerSlot,
  kEncodedBySlot,
  kRightsSlot,
  kLanguageSlot,
  kUserUrlSlot,
  kRecordingTimeSlot,
  kOriginalArtistSlot,
  kContentGroupSlot,
  kOriginalAlbumSlot,
};

// The frame of each slot, as versions 3 and 4 name it; version 2.2's IDs come through the one
// table (LaterFrameId).
inline constexpr std::array<std::string_view, kFrameCount> kSlotFrames = {
    "TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON", "COMM", "TCOM",
    "TENC", "TCOP", "TLAN", "WXXX", "TDRC", "TOPE", "TIT1", "TOAL"};

// The working record of one Load: the first 10 file bytes as read, the file's length, and per
// slot the raw 500 bytes of the last accepted frame (empty when none was).
struct TTagInfo {
  std::array<char, 3> Identifier{};
  std::uint8_t MajorVersion = 0;
  std::uint8_t RevisionNumber = 0;
  std::uint8_t Flags = 0;
  std::array<std::uint8_t, 4> SizeBytes{};
  std::int64_t FileLength = 0;
  std::array<std::string, kFrameCount> FrameTexts;
};

// The tag's total length, footer included; 0 when it would run past the end of the file.
std::int32_t TotalTagSize(const TTagInfo& info);

// Big-endian, every bit counting.
std::uint32_t PlainSize(const std::uint8_t* bytes, std::size_t count);
// Four bytes of 7 bits each; empty when a byte has its top bit set.
std::optional<std::uint32_t> SyncsafeSize(const std::uint8_t* bytes);
// Four characters of A-Z and 0-9.
bool IsFrameId(std::string_view bytes);
// UTF-16 code units up to the first zero unit. A leading byte-order mark picks the order and is
// dropped; without one, bigEndian does. A high surrogate cut off at the end is dropped.
std::u16string Utf16Units(std::string_view data, bool bigEndian);
// Keeps text as the slot of the frame (named as versions 3 and 4 name it) when its encoding
// byte is one this reader decodes.
void StoreFrame(std::string_view laterId, std::string_view text, TTagInfo& info);

std::string DecodeText(std::string_view raw);
std::string TextWithFallback(std::string_view raw, std::string_view fallbackRaw);
std::uint16_t ParseTrack(std::string_view raw);
std::string ParseYear(std::string_view yearRaw, std::string_view recordingTimeRaw);
std::string StripGenrePrefix(std::string_view raw);

// Frames laid out as encoding byte, [language,] description, terminator, value.
enum class TDescribed { Comment, Link };
std::string TextAfterDescription(std::string_view raw, TDescribed frame);

}  // namespace jarvet::id3v2
