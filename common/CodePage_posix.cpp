// Text in a known encoding turned into the locale's character set.
#include <iconv.h>
#include <langinfo.h>

#include <clocale>
#include <cstdint>
#include <cstring>

#include "CodePage.h"

namespace jarvet {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char kDefaultChar = '?';

// Windows-1252 0x80 to 0x9F; the five undefined bytes keep their own value, as Windows does.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Encodes code points into the locale's character set, one at a time, so that a character the
// set lacks costs only itself.
class TLocaleEncoder {
 public:
  TLocaleEncoder() {
    const char* codeset = nl_langinfo(CODESET);
    IsUtf8_ = codeset != nullptr && (std::strcmp(codeset, "UTF-8") == 0);
    if (!IsUtf8_) Converter_ = iconv_open(codeset ? codeset : "ASCII", "UTF-32LE");
  }
  ~TLocaleEncoder() {
    if (Converter_ != kNoConverter) iconv_close(Converter_);
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

 private:
  static inline const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);
  bool IsUtf8_ = false;
  iconv_t Converter_ = kNoConverter;
};

TLocaleEncoder& Encoder() {
  static TLocaleEncoder encoder;  // after InitCodePage has set the locale
  return encoder;
}

}  // namespace

// Only the character set is used: each further category would cost every run a file to open
// and map.
void InitCodePage() { std::setlocale(LC_CTYPE, ""); }

std::string Windows1252ToAnsi(std::string_view bytes) {
  std::string out;
  for (char byte : bytes) {
    const auto b = static_cast<unsigned char>(byte);
    const char32_t c = (b >= 0x80 && b < 0xA0) ? kWindows1252High[b - 0x80] : b;
    Encoder().Append(out, c);
  }
  return out;
}

std::string Utf16ToAnsi(std::u16string_view units) {
  std::string out;
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = kReplacement;
    }
    Encoder().Append(out, c);
  }
  return out;
}

std::string Utf8ToAnsi(std::string_view bytes) {
  std::string out;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3
                                                              : (lead >> 3) == 30   ? 4
                                                                                    : 0;
    char32_t c = kReplacement;
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
    Encoder().Append(out, c);
    i += length;
  }
  return out;
}

}  // namespace jarvet
