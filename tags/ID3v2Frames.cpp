// The pure ID3v2 rules: tag and frame sizes, text decoding and the field derivations.
#include "ID3v2Frames.h"

#include <algorithm>

#include "CodePage.h"
#include "Text.h"

namespace jarvet::id3v2 {

namespace {

constexpr std::uint8_t kHighBit = 0x80;
constexpr unsigned kSyncsafeBits = 7;
constexpr char16_t kHighSurrogateFirst = 0xD800;
constexpr char16_t kHighSurrogateLast = 0xDBFF;

std::uint8_t Byte(char c) { return static_cast<std::uint8_t>(c); }

// Drops a character that the 500-byte read cut in two, instead of showing it as a default
// character.
std::string_view WithoutCutUtf8(std::string_view data) {
  for (std::size_t back = 1; back <= 4 && back <= data.size(); ++back) {
    const std::uint8_t b = Byte(data[data.size() - back]);
    if ((b & 0xC0) == 0x80) continue;  // continuation byte
    const std::size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    return length > back && b < 0xF8 ? data.substr(0, data.size() - back) : data;
  }
  return data;
}

bool IsWide(std::uint8_t encoding) { return encoding == kUtf16 || encoding == kUtf16BigEndian; }

}  // namespace

std::u16string Utf16Units(std::string_view data, bool bigEndian) {
  if (data.size() >= 2 && Byte(data[0]) == 0xFF && Byte(data[1]) == 0xFE) {
    bigEndian = false;
    data.remove_prefix(2);
  } else if (data.size() >= 2 && Byte(data[0]) == 0xFE && Byte(data[1]) == 0xFF) {
    bigEndian = true;
    data.remove_prefix(2);
  }
  std::u16string units;
  bool ended = false;
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    const unsigned first = Byte(data[i]);
    const unsigned second = Byte(data[i + 1]);
    const auto unit =
        static_cast<char16_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
    if (unit == 0) {
      ended = true;
      break;
    }
    units += unit;
  }
  // A pair cut in two by the 500-byte read.
  if (!ended && !units.empty() && units.back() >= kHighSurrogateFirst &&
      units.back() <= kHighSurrogateLast) {
    units.pop_back();
  }
  return units;
}

std::int32_t TotalTagSize(const TTagInfo& info) {
  // The size bytes count whole, top bit included, as the header was always read here.
  std::int64_t size = 0;
  for (std::uint8_t b : info.SizeBytes) size = (size << kSyncsafeBits) + b;
  size += static_cast<std::int64_t>(kTagHeaderSize);
  if (info.Flags & kTagFooter) size += static_cast<std::int64_t>(kFooterSize);
  return size > info.FileLength ? 0 : static_cast<std::int32_t>(size);
}

std::uint32_t PlainSize(const std::uint8_t* bytes, std::size_t count) {
  std::uint32_t size = 0;
  for (std::size_t i = 0; i < count; ++i) size = (size << 8) | bytes[i];
  return size;
}

std::optional<std::uint32_t> SyncsafeSize(const std::uint8_t* bytes) {
  std::uint32_t size = 0;
  for (std::size_t i = 0; i < kFrameSizeBytes; ++i) {
    if (bytes[i] & kHighBit) return std::nullopt;
    size = (size << kSyncsafeBits) | bytes[i];
  }
  return size;
}

bool IsFrameId(std::string_view bytes) {
  return bytes.size() == kFrameIdSize && std::all_of(bytes.begin(), bytes.end(), [](char c) {
           return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
         });
}

void StoreFrame(std::string_view laterId, std::string_view text, TTagInfo& info) {
  // Version 2.2 has no recording time: INFO's year falls back on its original release year.
  if (info.MajorVersion == 2 && laterId == "TORY") laterId = kSlotFrames[kRecordingTimeSlot];
  const auto match = std::find(kSlotFrames.begin(), kSlotFrames.end(), laterId);
  if (match == kSlotFrames.end() || text.empty() || Byte(text[0]) > kUtf8) return;
  info.FrameTexts[static_cast<std::size_t>(match - kSlotFrames.begin())] = std::string(text);
}

std::string DecodeText(std::string_view raw) {
  if (raw.empty()) return std::string();
  const std::uint8_t encoding = Byte(raw[0]);
  const std::string_view data = raw.substr(1);
  // The 8-bit encodings keep a zero byte inside the text; UTF-16 ends at its first zero unit.
  switch (encoding) {
    case kLatin1:
      // Trimmed before the conversion as well, so that the zero bytes filling the rest of the
      // frame buffer are not converted one by one; they would be trimmed off anyway.
      return TrimControl(Windows1252ToAnsi(TrimControl(data)));
    case kUtf8:
      return TrimControl(Utf8ToAnsi(WithoutCutUtf8(data)));
    case kUtf16:
    case kUtf16BigEndian:
      return TrimControl(Utf16ToAnsi(Utf16Units(data, encoding == kUtf16BigEndian)));
    default:
      return std::string();
  }
}

std::string TextWithFallback(std::string_view raw, std::string_view fallbackRaw) {
  std::string text = DecodeText(raw);
  return text.empty() ? DecodeText(fallbackRaw) : text;
}

std::uint16_t ParseTrack(std::string_view raw) {
  const std::string text = DecodeText(raw);
  const auto number = ParseNumber(std::string_view(text).substr(0, text.find('/')));
  return static_cast<std::uint16_t>(number.value_or(0));
}

std::string ParseYear(std::string_view yearRaw, std::string_view recordingTimeRaw) {
  constexpr std::size_t kYearLength = 4;
  std::string year = DecodeText(yearRaw);
  if (year.empty()) year = FirstCharacters(DecodeText(recordingTimeRaw), kYearLength);
  return year;
}

std::string StripGenrePrefix(std::string_view raw) {
  const std::string genre = DecodeText(raw);
  const std::size_t close = genre.rfind(')');
  return close == std::string::npos ? genre : genre.substr(close + 1);
}

std::string TextAfterDescription(std::string_view raw, TDescribed frame) {
  if (raw.empty()) return std::string();
  const std::uint8_t encoding = Byte(raw[0]);
  std::string_view rest = raw.substr(1);
  if (frame == TDescribed::Comment) rest.remove_prefix(std::min(kLanguageSize, rest.size()));
  if (IsWide(encoding)) {
    for (std::size_t i = 0; i + 1 < rest.size(); i += 2) {
      if (rest[i] == '\0' && rest[i + 1] == '\0') {
        rest.remove_prefix(i + 2);
        break;
      }
    }
  } else if (const std::size_t end = rest.find('\0'); end != std::string_view::npos) {
    rest.remove_prefix(end + 1);
  }
  // A link's URL is ISO-8859-1 whatever the description's encoding.
  std::string value(1, static_cast<char>(frame == TDescribed::Link ? kLatin1 : encoding));
  value += rest;
  return DecodeText(value);
}

}  // namespace jarvet::id3v2
