// Text in a known encoding turned into the ANSI code page, by the platform's own conversion.
#include <windows.h>

#include "CodePage.h"
#include "Unicode.h"

namespace jarvet {

std::string Windows1252ToAnsi(std::string_view bytes) { return std::string(bytes); }

std::string Utf16ToAnsi(std::u16string_view units) {
  if (units.empty()) return std::string();
  const auto* wide = reinterpret_cast<const wchar_t*>(units.data());
  const int count = static_cast<int>(units.size());
  // A character the code page lacks becomes its default character, not a look-alike.
  constexpr DWORD kFlags = WC_NO_BEST_FIT_CHARS;
  const int size = WideCharToMultiByte(CP_ACP, kFlags, wide, count, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) WideCharToMultiByte(CP_ACP, kFlags, wide, count, &out[0], size, nullptr, nullptr);
  return out;
}

namespace {

std::u16string ToUtf16(UINT codePage, std::string_view bytes) {
  if (bytes.empty()) return std::u16string();
  const int count = static_cast<int>(bytes.size());
  const int size = MultiByteToWideChar(codePage, 0, bytes.data(), count, nullptr, 0);
  std::u16string wide(static_cast<std::size_t>(size > 0 ? size : 0), u'\0');
  if (size > 0) {
    MultiByteToWideChar(codePage, 0, bytes.data(), count, reinterpret_cast<wchar_t*>(&wide[0]),
                        size);
  }
  return wide;
}

}  // namespace

std::string Utf8ToAnsi(std::string_view bytes) { return Utf16ToAnsi(ToUtf16(CP_UTF8, bytes)); }

std::string AnsiToUtf8(std::string_view bytes) { return Utf16ToUtf8(ToUtf16(CP_ACP, bytes)); }

}  // namespace jarvet
