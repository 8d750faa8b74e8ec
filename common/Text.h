// Text and number rules shared by the front end, the player control and the tag readers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace jarvet {

// Bytes of value 0 to 32: blanks, NUL and the control characters.
inline bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

// Removes bytes of value 0 to 32 from both ends.
std::string TrimControl(std::string_view text);
// Removes bytes of value 0 to 32 from the end only.
std::string TrimControlRight(std::string_view text);

// Equal over the whole length, ignoring the case of the letters a to z only.
bool SameTextAscii(std::string_view a, std::string_view b);

// Decimal digits and nothing else, within 32 bits; empty otherwise. The one digit rule the
// number parsers build on.
std::optional<std::uint32_t> ParseDigits(std::string_view digits);

// Decimal with an optional sign, or hexadecimal after "$", "x", "X", "0x" or "0X"; leading
// spaces allowed, nothing may follow. A NUL byte ends the text. Empty on any failure.
std::optional<std::int32_t> ParseNumber(std::string_view text);

// "seconds" or "minutes:seconds" as seconds, computed without wrap-around; -1 when invalid.
std::int64_t ParseTime(std::string_view text);

std::string IntToStr(std::int64_t value);

// The first count characters of text in the locale's character set, a multi-byte character
// whole; a byte that begins no character counts as one.
std::string FirstCharacters(std::string_view text, std::size_t count);

// The last part of a path, behind its last separator: "/", and on Windows "\\" too.
std::string FileNameOf(std::string_view path);
// The last part of a path without its extension ("a.b.mp3" gives "a.b"; ".hidden" stays).
std::string FileStem(std::string_view path);
// "scheme://...", the scheme two or more letters, digits, "+", "-" or "." ("C://" is a drive).
bool IsUrl(std::string_view text);

// Every backslash doubled, each exactly once.
void DoubleBackslashes(std::string& text);
// The text after the first delimiter; the whole text when there is none.
std::string TextAfter(std::string_view text, char delimiter);
// The text before the first delimiter; empty when there is none.
std::string TextBefore(std::string_view text, char delimiter);

// "MM:SS" of value / divisor seconds; minutes are not wrapped into hours. A negative value
// gives "-" and the text of its absolute value.
std::string FormatTime(std::int32_t value, std::int32_t divisor);
// Two digits at least: "07", "42", "123".
std::string PadTwo(std::int32_t number);

}  // namespace jarvet
