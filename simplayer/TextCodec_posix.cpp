// The simulated player's text conversions: POSIX, where its code page is UTF-8.
#include <iconv.h>

#include <cerrno>

#include "PlayerEngine.h"

namespace jarvet::simplayer {

namespace {

// Malformed input is dropped a byte at a time.
std::string Convert(const char* to, const char* from, const std::string& text) {
  const iconv_t converter = iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::string();
  std::string in = text;
  std::string out(text.size() * 2 + 16, '\0');
  char* inPtr = in.data();
  std::size_t inLeft = in.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  while (inLeft > 0) {
    if (iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1)) {
      break;
    }
    if (errno == E2BIG) break;  // cannot happen: twice the input always fits
    ++inPtr;
    --inLeft;
  }
  out.resize(out.size() - outLeft);
  iconv_close(converter);
  return out;
}

}  // namespace

std::string AnsiToUtf8(const std::string& ansi) { return ansi; }
std::string Utf8ToAnsi(const std::string& utf8) { return utf8; }

std::string Utf16LeToUtf8(const std::string& bytes) {
  std::string units = bytes.substr(0, bytes.size() / 2 * 2);
  for (std::size_t i = 0; i + 1 < units.size(); i += 2) {
    if (units[i] == '\0' && units[i + 1] == '\0') {
      units.resize(i);
      break;
    }
  }
  return Convert("UTF-8", "UTF-16LE", units);
}

std::string Utf8ToUtf16Le(const std::string& utf8) { return Convert("UTF-16LE", "UTF-8", utf8); }

}  // namespace jarvet::simplayer
