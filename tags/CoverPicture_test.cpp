#include "CoverPicture.h"

#include <gtest/gtest.h>

#include "ByteSource.h"

namespace jarvet::tags {
namespace {

std::string Base64(const std::string& bytes) {
  static const char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t n = static_cast<std::uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) n |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) n |= static_cast<std::uint8_t>(bytes[i + 2]);
    out += kDigits[n >> 18 & 63];
    out += kDigits[n >> 12 & 63];
    out += i + 1 < bytes.size() ? kDigits[n >> 6 & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
  }
  return out;
}

std::string Be32(std::uint32_t n) {
  return {static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
          static_cast<char>(n)};
}

TCoverLocation At(std::int64_t offset, std::int64_t stored, TCoverEncoding encoding,
                  std::optional<std::int64_t> size = std::nullopt) {
  TCoverLocation cover;
  cover.Offset = offset;
  cover.StoredSize = stored;
  cover.Size = size;
  cover.Encoding = encoding;
  return cover;
}

TEST(CoverPicture, UndoesTheTagsOwnEncodings) {
  const std::string picture("\x89PNG\xFF\x00\xFF\xE0 end", 12);
  const std::string unsynchronised("\x89PNG\xFF\x00\x00\xFF\x00\xE0 end", 14);
  const std::string block = Be32(3) + Be32(9) + "image/png" + Be32(0) + std::string(16, '\0') +
                            Be32(static_cast<std::uint32_t>(picture.size())) + picture;
  const std::string text = Base64(block);
  const std::string file = "head" + picture + unsynchronised + text + "tail";
  const std::int64_t unsyncAt = 4 + 12;
  const std::int64_t textAt = unsyncAt + 14;
  const struct {
    const char* Name;
    TCoverLocation Cover;
    std::optional<std::string> Expected;
  } cases[] = {
      {"plain", At(4, 12, TCoverEncoding::Plain, 12), picture},
      {"unsynchronised", At(unsyncAt, 14, TCoverEncoding::Unsynchronised), picture},
      {"base64 block", At(textAt, static_cast<std::int64_t>(text.size()),
                          TCoverEncoding::Base64PictureBlock),
       picture},
      {"beyond the end", At(4, 1000, TCoverEncoding::Plain), std::nullopt},
      {"negative offset", At(-1, 4, TCoverEncoding::Plain), std::nullopt},
      {"size that disagrees", At(4, 12, TCoverEncoding::Plain, 11), std::nullopt},
      {"base64 of a cut block", At(textAt, 20, TCoverEncoding::Base64PictureBlock), std::nullopt},
      {"too large", At(0, kMaxCoverBytes + 1, TCoverEncoding::Plain), std::nullopt},
  };
  for (const auto& c : cases) {
    TMemorySource source(file);
    EXPECT_EQ(ReadCoverPicture(source, c.Cover), c.Expected) << c.Name;
  }
}

}  // namespace
}  // namespace jarvet::tags
