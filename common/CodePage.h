// Text in a known encoding turned into the program's 8-bit code page: the ANSI code page on
// Windows, the locale's character set elsewhere. What the code page lacks becomes its default
// character ("?" outside Windows).
#pragma once

#include <string>
#include <string_view>

namespace jarvet {

// Single bytes as Windows-1252 (which ISO-8859-1 text is in practice). Kept as they are on
// Windows, whose ANSI code page they are taken to be.
std::string Windows1252ToAnsi(std::string_view bytes);
// Unpaired surrogates become the default character.
std::string Utf16ToAnsi(std::u16string_view units);
// Malformed sequences become the default character.
std::string Utf8ToAnsi(std::string_view bytes);
// Text in the code page as UTF-8, losslessly where the code page defines the bytes.
std::string AnsiToUtf8(std::string_view bytes);

}  // namespace jarvet
