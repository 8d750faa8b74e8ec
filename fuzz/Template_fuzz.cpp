// The now-playing template parser and filler on any text: it never crashes, however deep its
// groups nest, a template that parses fills in to the same text every time and nests no deeper
// than the bound, literal text comes through, any text comes through with its special
// characters escaped, and an error names a character inside the template (or its length).
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "Template.h"

namespace jarvet::fuzz {
namespace {

const std::vector<std::string> kNames{"title", "artist", "album", "year", "empty"};

// Every field's text, empty ones among them, so that groups and choices go both ways.
std::string FieldText(std::size_t field) {
  static const char* const kTexts[] = {"T", "A\xC3\xAF", "[x]", "", ""};
  return kTexts[field];
}

std::size_t Characters(std::string_view text) {
  std::size_t characters = 0;
  for (char c : text) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return characters;
}

// A backslash before each of the characters that have a meaning.
std::string Escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (std::string_view("[]{}|\\").find(c) != std::string_view::npos) out += '\\';
    out += c;
  }
  return out;
}

void Check(std::string_view text) {
  std::string error;
  const auto parsed = TTemplate::Parse(text, kNames, error);
  const bool tooLong = Characters(text) > TTemplate::kMaxLength;
  FUZZ_REQUIRE(!tooLong || (!parsed && error == "longer than 4096 characters"));
  const std::string escaped = Escaped(text);
  if (Characters(escaped) <= TTemplate::kMaxLength) {
    std::string escapedError;
    const auto literal = TTemplate::Parse(escaped, kNames, escapedError);
    FUZZ_REQUIRE(literal && literal->Fields().empty() && literal->Nesting() == 0);
    FUZZ_REQUIRE(literal->Render(FieldText) == text);
  }
  if (tooLong) return;
  if (!parsed) {
    const std::string where = " at character ";
    const std::size_t at = error.rfind(where);
    FUZZ_REQUIRE(at != std::string::npos);
    const unsigned long position = std::stoul(error.substr(at + where.size()));
    FUZZ_REQUIRE(position >= 1 && position <= text.size());
    return;
  }
  for (std::size_t field : parsed->Fields()) FUZZ_REQUIRE(field < kNames.size());
  FUZZ_REQUIRE(parsed->Nesting() <= TTemplate::kMaxNesting);
  const std::string filled = parsed->Render(FieldText);
  FUZZ_REQUIRE(filled == parsed->Render(FieldText));
  // Without any field, bracket or backslash the template is its own text.
  if (text.find_first_of("{}[]\\") == std::string_view::npos) FUZZ_REQUIRE(filled == text);
  // Filled in with empty fields, nothing but the literal text can come out: never longer.
  const std::string empty = parsed->Render([](std::size_t) { return std::string(); });
  FUZZ_REQUIRE(empty.size() <= text.size());
}

}  // namespace
}  // namespace jarvet::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  jarvet::fuzz::Check(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
