// Text rules shared by the track-tag readers.
#include "TagText.h"

#include "ID3v1.h"
#include "Text.h"

namespace jarvet::tags {

std::optional<std::uint32_t> DigitsInBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return ::jarvet::ParseDigits(text);
}

namespace {

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

std::string Utf8OrWindows1252(std::string_view bytes) {
  return IsValidUtf8(bytes) ? std::string(bytes) : Windows1252ToUtf8(bytes);
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    units += static_cast<char16_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
  }
  return Utf16ToUtf8(units);
}

std::string CutUtf8(std::string text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t end = maxBytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

std::string JoinValues(const std::vector<std::string>& values) {
  std::string joined;
  for (const std::string& value : values) {
    if (value.empty()) continue;
    if (!joined.empty()) joined += kValueSeparator;
    joined += value;
  }
  return CutUtf8(std::move(joined));
}

std::uint32_t NumberBeforeSlash(std::string_view text) {
  return DigitsInBlanks(text.substr(0, text.find('/'))).value_or(0);
}

std::uint32_t NumberAfterSlash(std::string_view text) {
  const std::size_t slash = text.find('/');
  return slash == std::string_view::npos ? 0 : DigitsInBlanks(text.substr(slash + 1)).value_or(0);
}

std::string YearOf(std::string_view date) {
  constexpr std::size_t kYearCharacters = 4;
  std::size_t end = 0;
  for (std::size_t n = 0; n < kYearCharacters && end < date.size(); ++n) {
    char32_t ignored = 0;
    const std::size_t length = Utf8SequenceAt(date, end, ignored);
    end += length == 0 ? 1 : length;
  }
  return std::string(date.substr(0, end));
}

std::string GenreName(std::uint32_t index) {
  return index < static_cast<std::uint32_t>(GenreCount) ? GenreNames[index] : std::string();
}

std::string Base64Decode(std::string_view text, std::size_t maxBytes) {
  std::string out;
  std::uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    if (out.size() >= maxBytes) break;
    const int value = Base64Value(c);
    if (value < 0) break;  // "=" padding, or the end of what is base64
    bits = (bits << 6) | static_cast<std::uint32_t>(value);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>((bits >> count) & 0xFF);
    }
  }
  return out;
}

}  // namespace jarvet::tags
