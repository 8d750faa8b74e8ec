// Text rules shared by the track-tag readers: every encoding a tag uses turned into UTF-8, the
// number and year rules, and the bounds on how much text is kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Unicode.h"

namespace jarvet::tags {

constexpr std::size_t kMaxFieldText = 64 * 1024;            // bytes of UTF-8 kept per field
constexpr std::size_t kMaxCommentBlock = 16 * 1024 * 1024;  // bytes of one comment block read
constexpr std::string_view kValueSeparator = "; ";

// The conversions every layer uses (malformed UTF-8 and unpaired surrogates become U+FFFD).
using ::jarvet::AppendUtf8;
using ::jarvet::IsValidUtf8;
using ::jarvet::Utf16ToUtf8;
using ::jarvet::ValidUtf8;
using ::jarvet::Windows1252ToUtf8;
// Valid UTF-8 stays as it is; anything else is taken as Windows-1252.
std::string Utf8OrWindows1252(std::string_view bytes);
// Whole code units up to the end (a last odd byte is dropped).
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);
// At most maxBytes, never cutting a character.
std::string CutUtf8(std::string text, std::size_t maxBytes = kMaxFieldText);

// The values that are not empty, joined with "; ".
std::string JoinValues(const std::vector<std::string>& values);

// Decimal digits with blanks around them allowed; empty for anything else or beyond 32 bits.
std::optional<std::uint32_t> DigitsInBlanks(std::string_view text);
// The number formed by the digits before any "/" (blanks around them allowed); 0 when there are
// none, anything else stands there, or it does not fit 32 bits.
std::uint32_t NumberBeforeSlash(std::string_view text);
// The same rule for what follows the first "/"; 0 when there is no "/".
std::uint32_t NumberAfterSlash(std::string_view text);
// The first four characters of a date.
std::string YearOf(std::string_view date);

// The ID3v1 genre list's name for an index; empty beyond the list.
std::string GenreName(std::uint32_t index);

// Decodes base64 until maxBytes are out, the text ends or a character is not base64.
std::string Base64Decode(std::string_view text, std::size_t maxBytes);

}  // namespace jarvet::tags
