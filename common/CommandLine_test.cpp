#include "CommandLine.h"

#include <gtest/gtest.h>

namespace jarvet {
namespace {

std::vector<std::string> Texts(std::string_view raw) {
  std::vector<std::string> texts;
  for (const TParameter& p : SplitCommandLine(raw)) texts.push_back(p.Text);
  return texts;
}

using Strings = std::vector<std::string>;

TEST(SplitCommandLine, QuotesBlanksAndEmptyPairs) {
  EXPECT_EQ(Texts("jarvet C:\\Player seek 1:30"), (Strings{"jarvet", "C:\\Player", "seek", "1:30"}));
  EXPECT_EQ(Texts("  jarvet \"C:\\Program Files\\Player\"  ff"),
            (Strings{"jarvet", "C:\\Program Files\\Player", "ff"}));
  EXPECT_EQ(Texts("a b\"c d\"e"), (Strings{"a", "bc de"}));
  EXPECT_EQ(Texts("a \"\" \"\"b"), (Strings{"a", "b"}));  // "" pairs before a parameter
  EXPECT_EQ(Texts("a \"open to the end"), (Strings{"a", "open to the end"}));
  EXPECT_EQ(Texts("a\tb\x01" "c"), (Strings{"a", "b", "c"}));
  EXPECT_EQ(Texts("a \xC3\xA9t\xC3\xA9"), (Strings{"a", "\xC3\xA9t\xC3\xA9"}));
  EXPECT_TRUE(Texts("   ").empty());
}

TEST(SplitCommandLine, StopsAtTheFirstEmptyParameter) {
  // The "" pair is skipped, then a lone quote opens an empty stretch to the end.
  EXPECT_EQ(Texts("a b \"\"\""), (Strings{"a", "b"}));
  EXPECT_EQ(Texts("a b \"\"\" c"), (Strings{"a", "b", " c"}));
}

TEST(SplitCommandLine, EndIsBehindTheClosingQuote) {
  const std::string raw = "j dir \"ff\" 10";
  const auto parameters = SplitCommandLine(raw);
  ASSERT_EQ(parameters.size(), 4u);
  EXPECT_EQ(raw.substr(parameters[2].End), " 10");
  EXPECT_EQ(parameters[3].End, raw.size());
}

TEST(JoinCommandLine, SplitsBackIntoTheSameParameters) {
  const Strings cases[] = {
      {"jarvet", "/opt/my player", "FF", "10"},
      {"jarvet", "dir\twith tab", "SEEK", "1:30"},
  };
  for (const Strings& parameters : cases) EXPECT_EQ(Texts(JoinCommandLine(parameters)), parameters);
  EXPECT_EQ(JoinCommandLine({"j", "", "x y", "say \"hi there\""}),
            "j \"\" \"x y\" say \"hi there\"");
}

}  // namespace
}  // namespace jarvet
