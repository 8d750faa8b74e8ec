// Text and number rules shared by the front end, the player control and the tag readers.
#include "Text.h"

#include <algorithm>
#include <cwchar>
#include <limits>

#include "File.h"

namespace jarvet {

std::string TrimControl(std::string_view text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && IsBlankOrControl(text[first])) ++first;
  while (last > first && IsBlankOrControl(text[last - 1])) --last;
  return std::string(text.substr(first, last - first));
}

std::string TrimControlRight(std::string_view text) {
  std::size_t last = text.size();
  while (last > 0 && IsBlankOrControl(text[last - 1])) --last;
  return std::string(text.substr(0, last));
}

static char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

static int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

static std::optional<std::int32_t> ParseHexDigits(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : digits) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<unsigned>(digit);
    if (value > 0xFFFFFFFFu) return std::nullopt;  // more than 8 significant digits
  }
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::optional<std::uint32_t> ParseDigits(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

static std::optional<std::int32_t> ParseDecimalDigits(std::string_view digits, bool negative) {
  const auto value = ParseDigits(digits);
  const std::uint64_t limit =
      negative ? std::uint64_t{1} << 31 : std::uint64_t{std::numeric_limits<std::int32_t>::max()};
  if (!value || *value > limit) return std::nullopt;
  return static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(*value) : *value);
}

std::optional<std::int32_t> ParseNumber(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  const std::string_view rest = text.substr(i);
  if (rest.empty()) return std::nullopt;
  if (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X') return ParseHexDigits(rest.substr(1));
  if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
    return ParseHexDigits(rest.substr(2));
  }
  if (rest[0] == '+' || rest[0] == '-') return ParseDecimalDigits(rest.substr(1), rest[0] == '-');
  return ParseDecimalDigits(rest, false);
}

std::int64_t ParseTime(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) {
    const auto seconds = ParseNumber(text);
    return seconds ? *seconds : -1;
  }
  const auto seconds = ParseNumber(text.substr(colon + 1));
  if (!seconds) return -1;
  const auto minutes = ParseNumber(text.substr(0, colon));
  if (!minutes) return -1;
  return static_cast<std::int64_t>(*minutes) * 60 + *seconds;
}

std::string IntToStr(std::int64_t value) { return std::to_string(value); }

std::string FirstCharacters(std::string_view text, std::size_t count) {
  std::mbstate_t state{};
  std::size_t end = 0;
  for (std::size_t n = 0; n < count && end < text.size(); ++n) {
    const std::size_t left = text.size() - end;
    std::size_t length = std::mbrlen(text.data() + end, left, &state);
    if (length == 0) length = 1;  // a NUL byte
    if (length > left) {          // no character, or a cut one
      length = 1;
      state = std::mbstate_t{};
    }
    end += length;
  }
  return std::string(text.substr(0, end));
}

// Built anew rather than inserted into: an argument may hold a megabyte of backslashes.
void DoubleBackslashes(std::string& text) {
  const auto backslashes = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\\'));
  if (backslashes == 0) return;
  std::string doubled;
  doubled.reserve(text.size() + backslashes);
  for (char c : text) {
    doubled += c;
    if (c == '\\') doubled += c;
  }
  text = std::move(doubled);
}

std::string TextAfter(std::string_view text, char delimiter) {
  const std::size_t at = text.find(delimiter);
  return std::string(at == std::string_view::npos ? text : text.substr(at + 1));
}

std::string TextBefore(std::string_view text, char delimiter) {
  const std::size_t at = text.find(delimiter);
  return std::string(at == std::string_view::npos ? std::string_view() : text.substr(0, at));
}

std::string FileNameOf(std::string_view path) {
  const std::size_t slash = path.find_last_of(kPathSeparators);
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string FileStem(std::string_view path) {
  std::string name = FileNameOf(path);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

bool IsUrl(std::string_view text) {
  const std::size_t scheme = text.find("://");
  if (scheme == std::string_view::npos || scheme < 2) return false;
  for (char ch : text.substr(0, scheme)) {
    const bool allowed = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') ||
                         (ch >= '0' && ch <= '9') || ch == '+' || ch == '-' || ch == '.';
    if (!allowed) return false;
  }
  return true;
}

std::string PadTwo(std::int32_t number) {
  return (number >= 0 && number <= 9 ? "0" : "") + IntToStr(number);
}

std::string FormatTime(std::int32_t value, std::int32_t divisor) {
  const std::int64_t seconds = static_cast<std::int64_t>(value) / divisor;
  const std::int64_t magnitude = seconds < 0 ? -seconds : seconds;
  const auto minutes = static_cast<std::int32_t>(magnitude / 60);
  const auto rest = static_cast<std::int32_t>(magnitude % 60);
  return (seconds < 0 ? "-" : "") + PadTwo(minutes) + ":" + PadTwo(rest);
}

}  // namespace jarvet
