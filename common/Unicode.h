// UTF-8 and UTF-16 turned into each other, platform-free.
#pragma once

#include <string>
#include <string_view>

namespace jarvet {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// Length of the valid UTF-8 sequence at text[at], its code point in value; 0 when none starts
// there (a stray or missing continuation byte, an overlong form, a surrogate).
std::size_t Utf8SequenceAt(std::string_view text, std::size_t at, char32_t& value);

// Calls emit with each code point of bytes; a malformed sequence gives one
// kReplacementCharacter for its first byte and decoding goes on at the next.
template <typename Emit>
void ForEachUtf8CodePoint(std::string_view bytes, Emit emit);

// Each code point of units; an unpaired surrogate gives kReplacementCharacter.
template <typename Emit>
void ForEachUtf16CodePoint(std::u16string_view units, Emit emit);

// The character a Windows-1252 byte stands for; its five undefined bytes keep their own value,
// as Windows does.
char32_t Windows1252Character(unsigned char byte);

void AppendUtf8(std::string& out, char32_t c);
std::string Utf16ToUtf8(std::u16string_view units);
std::u16string Utf8ToUtf16(std::string_view bytes);
// Malformed sequences replaced, so that the text is valid UTF-8.
std::string ValidUtf8(std::string_view bytes);
bool IsValidUtf8(std::string_view bytes);
std::string Windows1252ToUtf8(std::string_view bytes);
// Appends text as a JSON string, quoted and escaped; malformed UTF-8 replaced.
void AppendJsonString(std::string& out, std::string_view text);

template <typename Emit>
void ForEachUtf8CodePoint(std::string_view bytes, Emit emit) {
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t c = kReplacementCharacter;
    const std::size_t length = Utf8SequenceAt(bytes, i, c);
    emit(length == 0 ? kReplacementCharacter : c);
    i += length == 0 ? 1 : length;
  }
}

template <typename Emit>
void ForEachUtf16CodePoint(std::u16string_view units, Emit emit) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = kReplacementCharacter;
    }
    emit(c);
  }
}

}  // namespace jarvet
