// The now-playing template parser and filler on any text: it never crashes, a template that
// parses fills in to the same text every time, literal text comes through, and an error names a
// character inside the template.
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

void Check(std::string_view text) {
  std::string error;
  const auto parsed = TTemplate::Parse(text, kNames, error);
  if (!parsed) {
    const std::string where = " at character ";
    const std::size_t at = error.rfind(where);
    FUZZ_REQUIRE(at != std::string::npos);
    const unsigned long position = std::stoul(error.substr(at + where.size()));
    FUZZ_REQUIRE(position >= 1 && position <= text.size());
    return;
  }
  for (std::size_t field : parsed->Fields()) FUZZ_REQUIRE(field < kNames.size());
  const std::string filled = parsed->Render(FieldText);
  FUZZ_REQUIRE(filled == parsed->Render(FieldText));
  // Without any field or bracket the template is its own text.
  if (text.find_first_of("{}[]") == std::string_view::npos) FUZZ_REQUIRE(filled == text);
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
