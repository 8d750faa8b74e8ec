#include "Template.h"

#include <gtest/gtest.h>

#include <map>

namespace jarvet {
namespace {

const std::vector<std::string> kNames{"title", "artist", "album", "year", "empty"};

std::string Fill(const std::string& text) {
  const std::map<std::size_t, std::string> values{
      {0, "Song"}, {1, "Art\xC3\xAFst"}, {2, "Album"}, {3, "2001"}, {4, ""}};
  std::string error;
  const auto parsed = TTemplate::Parse(text, kNames, error);
  if (!parsed) return "error: " + error;
  return parsed->Render([&](std::size_t field) { return values.at(field); });
}

TEST(Template, FillsFieldsGroupsAndChoices) {
  const struct {
    const char* Text;
    const char* Result;
  } cases[] = {
      {"", ""},
      {"{title}", "Song"},
      {"{TITLE} by {Artist}", "Song by Art\xC3\xAFst"},
      {"[{artist} - ]{title}", "Art\xC3\xAFst - Song"},
      {"[{empty} - ]{title}", "Song"},
      {"[{album} ({year})]", "Album (2001)"},
      {"[{album} ({empty})]", ""},
      {"[{album}[ ({empty})] ]!", "Album !"},  // an inner group is judged on its own
      {"[{artist}[ ({year})]]", "Art\xC3\xAFst (2001)"},  // "]]" closes two groups
      {"[{album}[ ({empty})]]", "Album"},
      {"[[{year}]]", "2001"},
      {"[[{empty}]x]", "x"},
      {"{empty|artist|title}", "Art\xC3\xAFst"},
      {"[{empty|empty}x]y", "y"},
      {"{{{title}}} \\[{year}\\]", "{Song} [2001]"},
      {"\\{title\\} \\| \\[x\\] \\\\{year}", "{title} | [x] \\2001"},
      {"{album}\\]", "Album]"},
      {"C:\\Music\\Song.txt", "C:\\Music\\Song.txt"},  // a backslash before others is itself
      {"C:\\Music\\\\{title}", "C:\\Music\\Song"},
      {"\\n\\{ \\", "\\n{ \\"},
      {"100% {title}", "100% Song"},
      {"\xE6\x97\xA5 {title}", "\xE6\x97\xA5 Song"},
  };
  for (const auto& c : cases) EXPECT_EQ(Fill(c.Text), c.Result) << c.Text;
}

TEST(Template, SaysWhatIsWrongAndWhere) {
  const struct {
    const char* Text;
    const char* Error;
  } cases[] = {
      {"{titel}", "error: unknown field \"titel\" at character 2"},
      {"\xE6\x97\xA5{nope}", "error: unknown field \"nope\" at character 3"},
      {"{title|}", "error: empty field name at character 8"},
      {"{}", "error: empty field name at character 2"},
      {"{a\nb}", "error: unknown field \"a b\" at character 2"},  // a message is one line
      {"{abcdefghijklmnopqrstuvwxyz0123456789}",
       "error: unknown field \"abcdefghijklmnopqrstuvwxyz012345...\" at character 2"},
      {"ab{title", "error: \"{\" without \"}\" at character 3"},
      {"ab}", "error: \"}\" without \"{\" at character 3"},
      {"[{title}", "error: \"[\" without \"]\" at character 1"},
      {"x]", "error: \"]\" without \"[\" at character 2"},
      {"[[{title}]", "error: \"[\" without \"]\" at character 1"},
      {"{title}]]", "error: \"]\" without \"[\" at character 8"},
      {"\\[{title}]", "error: \"]\" without \"[\" at character 10"},
  };
  for (const auto& c : cases) EXPECT_EQ(Fill(c.Text), c.Error) << c.Text;
}

std::string Nested(std::size_t depth, const std::string& inside) {
  return std::string(depth, '[') + inside + std::string(depth, ']');
}

// Each group is a level of recursion, in parsing and in filling in: their depth and the
// template's length are bounded, so that no template takes the stack.
TEST(Template, NestingAndLengthAreBounded) {
  EXPECT_EQ(Fill(Nested(TTemplate::kMaxNesting, "{title}")), "Song");
  EXPECT_EQ(Fill(Nested(TTemplate::kMaxNesting + 1, "{title}")),
            "error: groups nested deeper than 32 at character 33");
  std::string error;
  const auto deepest = TTemplate::Parse(Nested(TTemplate::kMaxNesting, "x"), kNames, error);
  ASSERT_TRUE(deepest);
  EXPECT_EQ(deepest->Nesting(), TTemplate::kMaxNesting);
  // The command line of the fault: 25,000 levels.
  std::string deep;
  for (int i = 0; i < 25000; ++i) deep += "[a";
  for (int i = 0; i < 25000; ++i) deep += "b]";
  EXPECT_EQ(Fill(deep), "error: longer than 4096 characters");
  EXPECT_EQ(Fill(deep.substr(0, 2000) + deep.substr(deep.size() - 2000)),
            "error: groups nested deeper than 32 at character 65");

  const std::string longest(TTemplate::kMaxLength, 'x');
  EXPECT_EQ(Fill(longest), longest);
  EXPECT_EQ(Fill(longest + "y"), "error: longer than 4096 characters");
  // Characters, not bytes.
  std::string wide;
  for (std::size_t i = 0; i < TTemplate::kMaxLength; ++i) wide += "\xE6\x97\xA5";
  EXPECT_EQ(Fill(wide), wide);
}

TEST(Template, ListsEachFieldItNamesOnce) {
  std::string error;
  const auto parsed = TTemplate::Parse("[{year}] {title|year} {title}", kNames, error);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->Fields(), (std::vector<std::size_t>{3, 0}));
}

}  // namespace
}  // namespace jarvet
