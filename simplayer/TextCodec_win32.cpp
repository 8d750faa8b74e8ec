// The simulated player's text conversions: Win32, by the system's own functions.
#include <windows.h>

#include "PlayerEngine.h"

namespace jarvet::simplayer {

namespace {

std::wstring ToWide(UINT codePage, const std::string& text) {
  if (text.empty()) return std::wstring();
  const int count = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(codePage, 0, text.data(), count, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0) MultiByteToWideChar(codePage, 0, text.data(), count, &wide[0], size);
  return wide;
}

std::string FromWide(UINT codePage, const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int count = static_cast<int>(wide.size());
  const int size =
      WideCharToMultiByte(codePage, 0, wide.data(), count, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    WideCharToMultiByte(codePage, 0, wide.data(), count, &text[0], size, nullptr, nullptr);
  }
  return text;
}

}  // namespace

std::string AnsiToUtf8(const std::string& ansi) { return FromWide(CP_UTF8, ToWide(CP_ACP, ansi)); }
std::string Utf8ToAnsi(const std::string& utf8) { return FromWide(CP_ACP, ToWide(CP_UTF8, utf8)); }

std::string Utf16LeToUtf8(const std::string& bytes) {
  std::wstring wide(bytes.size() / 2, L'\0');
  for (std::size_t i = 0; i < wide.size(); ++i) {
    wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  }
  return FromWide(CP_UTF8, wide.substr(0, wide.find(L'\0')));
}

std::string Utf8ToUtf16Le(const std::string& utf8) {
  const std::wstring wide = ToWide(CP_UTF8, utf8);
  std::string bytes;
  for (wchar_t unit : wide) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>((unit >> 8) & 0xFF);
  }
  return bytes;
}

}  // namespace jarvet::simplayer
