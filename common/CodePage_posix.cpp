// Text in a known encoding turned into the locale's character set.
#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "CodePage.h"
#include "Unicode.h"

namespace jarvet {

namespace {

constexpr char32_t kReplacement = kReplacementCharacter;
constexpr char kDefaultChar = '?';

// The locale that setlocale(LC_CTYPE, "") would take its character set from.
std::string_view CharacterSetLocale() {
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return "";
}

// Whether the locale's character set is UTF-8. Loading a locale costs a run more than all the
// rest of its start, so it is loaded only where its name leaves the set open: the C locale is
// in force already, and C.UTF-8 is built into the C library.
bool LocaleIsUtf8() {
  const char* current = std::setlocale(LC_CTYPE, nullptr);
  if (current != nullptr && std::strcmp(current, "C") != 0) {  // set by the program already
    const char* codeset = nl_langinfo(CODESET);
    return codeset != nullptr && std::strcmp(codeset, "UTF-8") == 0;
  }
  const std::string_view name = CharacterSetLocale();
  if (name.empty() || name == "C" || name == "POSIX") return false;
  if (name == "C.UTF-8" || name == "C.utf8") return true;
  std::setlocale(LC_CTYPE, "");  // only the character set: each category costs a file
  const char* codeset = nl_langinfo(CODESET);
  return codeset != nullptr && std::strcmp(codeset, "UTF-8") == 0;
}

// Encodes code points into the locale's character set, one at a time, so that a character the
// set lacks costs only itself.
class TLocaleEncoder {
 public:
  TLocaleEncoder() : IsUtf8_(LocaleIsUtf8()) {
    if (!IsUtf8_) {
      const char* codeset = nl_langinfo(CODESET);
      Converter_ = iconv_open(codeset ? codeset : "ASCII", "UTF-32LE");
    }
  }
  ~TLocaleEncoder() {
    if (Converter_ != kNoConverter) iconv_close(Converter_);
    if (Decoder_ != kNoConverter) iconv_close(Decoder_);
  }
  TLocaleEncoder(const TLocaleEncoder&) = delete;
  TLocaleEncoder& operator=(const TLocaleEncoder&) = delete;

  void Append(std::string& out, char32_t c) {
    if (IsUtf8_) {
      if (c == kReplacement) {
        out += kDefaultChar;
      } else {
        AppendUtf8(out, c);
      }
      return;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
      return;
    }
    if (Converter_ == kNoConverter || c == kReplacement) {
      out += kDefaultChar;
      return;
    }
    unsigned char in[4] = {static_cast<unsigned char>(c), static_cast<unsigned char>(c >> 8),
                           static_cast<unsigned char>(c >> 16),
                           static_cast<unsigned char>(c >> 24)};
    char encoded[16];
    char* inPtr = reinterpret_cast<char*>(in);
    char* outPtr = encoded;
    std::size_t inLeft = sizeof in;
    std::size_t outLeft = sizeof encoded;
    iconv(Converter_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(Converter_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
      out += kDefaultChar;
    } else {
      out.append(encoded, static_cast<std::size_t>(outPtr - encoded));
    }
  }

  // Text in the locale's character set as UTF-8; a byte that begins no character gives U+FFFD.
  std::string Decode(std::string_view bytes) {
    if (IsUtf8_) return ValidUtf8(bytes);
    if (Decoder_ == kNoConverter) {
      const char* codeset = nl_langinfo(CODESET);
      Decoder_ = iconv_open("UTF-8", codeset ? codeset : "ASCII");
    }
    std::string out;
    std::string in(bytes);
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char buffer[256];
    if (Decoder_ != kNoConverter) iconv(Decoder_, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
      char* outPtr = buffer;
      std::size_t outLeft = sizeof buffer;
      const bool failed = Decoder_ == kNoConverter ||
                          iconv(Decoder_, &inPtr, &inLeft, &outPtr, &outLeft) ==
                              static_cast<std::size_t>(-1);
      out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
      if (failed && errno != E2BIG) {
        const auto byte = static_cast<unsigned char>(*inPtr);
        AppendUtf8(out, byte < 0x80 ? byte : kReplacement);
        ++inPtr;
        --inLeft;
        if (Decoder_ != kNoConverter) iconv(Decoder_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    return out;
  }

 private:
  static inline const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);
  bool IsUtf8_ = false;
  iconv_t Converter_ = kNoConverter;
  iconv_t Decoder_ = kNoConverter;
};

TLocaleEncoder& Encoder() {
  static TLocaleEncoder encoder;  // the locale is read on first use: most runs convert nothing
  return encoder;
}

}  // namespace

std::string Windows1252ToAnsi(std::string_view bytes) {
  std::string out;
  for (char byte : bytes) {
    Encoder().Append(out, Windows1252Character(static_cast<unsigned char>(byte)));
  }
  return out;
}

std::string Utf16ToAnsi(std::u16string_view units) {
  std::string out;
  ForEachUtf16CodePoint(units, [&](char32_t c) { Encoder().Append(out, c); });
  return out;
}

std::string Utf8ToAnsi(std::string_view bytes) {
  std::string out;
  ForEachUtf8CodePoint(bytes, [&](char32_t c) { Encoder().Append(out, c); });
  return out;
}

std::string AnsiToUtf8(std::string_view bytes) { return Encoder().Decode(bytes); }

}  // namespace jarvet
