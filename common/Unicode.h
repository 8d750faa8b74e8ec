// UTF-8 and UTF-16 turned into each other, platform-free.
#pragma once

#include <string>
#include <string_view>

namespace jarvet {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// Calls emit with each code point of bytes; a malformed sequence gives one
// kReplacementCharacter for its first byte and decoding goes on at the next.
template <typename Emit>
void ForEachUtf8CodePoint(std::string_view bytes, Emit emit);

// Each code point of units; an unpaired surrogate gives kReplacementCharacter.
template <typename Emit>
void ForEachUtf16CodePoint(std::u16string_view units, Emit emit);

void AppendUtf8(std::string& out, char32_t c);
std::string Utf16ToUtf8(std::u16string_view units);
std::u16string Utf8ToUtf16(std::string_view bytes);
// Malformed sequences replaced, so that the text is valid UTF-8.
std::string ValidUtf8(std::string_view bytes);
bool IsValidUtf8(std::string_view bytes);

template <typename Emit>
void ForEachUtf8CodePoint(std::string_view bytes, Emit emit) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t length = lead < 0x80           ? 1
                         : (lead >> 5) == 6    ? 2
                         : (lead >> 4) == 14   ? 3
                         : (lead >> 3) == 30   ? 4
                                               : 0;
    char32_t c = kReplacementCharacter;
    if (length == 1) {
      c = lead;
    } else if (length > 1 && i + length <= bytes.size()) {
      char32_t value = lead & (0x7F >> length);
      bool valid = true;
      for (std::size_t k = 1; k < length && valid; ++k) {
        const auto next = static_cast<unsigned char>(bytes[i + k]);
        valid = (next & 0xC0) == 0x80;
        value = (value << 6) | (next & 0x3F);
      }
      static constexpr char32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
      if (valid && value >= kSmallest[length] && value <= 0x10FFFF &&
          !(value >= 0xD800 && value < 0xE000)) {
        c = value;
      } else {
        length = 1;
      }
    } else {
      length = 1;
    }
    emit(c);
    i += length;
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
