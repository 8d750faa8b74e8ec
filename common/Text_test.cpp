#include "Text.h"

#include <gtest/gtest.h>


namespace jarvet {
namespace {

TEST(ParseNumber, AcceptsDecimalAndHexForms) {
  const struct {
    const char* Text;
    std::int32_t Value;
  } cases[] = {
      {"0", 0},           {"42", 42},           {"007", 7},
      {"+12", 12},        {"-10", -10},         {"   5", 5},
      {"2147483647", 2147483647}, {"-2147483648", INT32_MIN}, {"$A", 10},
      {"x80", 128},       {"X80", 128},         {"0x1f", 31},
      {"0XFF", 255},      {"$FFFFFFFF", -1},    {"$0000000000A", 10},
      {"$80000000", INT32_MIN},
  };
  for (const auto& c : cases) {
    const auto value = ParseNumber(c.Text);
    ASSERT_TRUE(value.has_value()) << c.Text;
    EXPECT_EQ(*value, c.Value) << c.Text;
  }
}

TEST(ParseNumber, RejectsEverythingElse) {
  const char* cases[] = {"",       " ",      "+",          "-",          "1.5",
                         "10s",    "5 ",     "5\t",        "\t5",        "2147483648",
                         "-2147483649", "$",  "0x",         "-$10",       "+0x10",
                         "$100000000", "$G",  "1 2",        "99999999999999999999"};
  for (const char* text : cases) EXPECT_FALSE(ParseNumber(text).has_value()) << '"' << text << '"';
}

TEST(ParseNumber, NulByteEndsTheText) {
  EXPECT_EQ(ParseNumber(std::string("12\0abc", 6)), 12);
  EXPECT_FALSE(ParseNumber(std::string("\0" "12", 3)).has_value());
}

TEST(ParseTime, SecondsOrMinutesAndSeconds) {
  const struct {
    const char* Text;
    std::int64_t Seconds;
  } cases[] = {
      {"90", 90},   {"1:30", 90}, {"1:75", 135}, {"1:-30", 30}, {"-1:30", -30},
      {"0", 0},     {"1:", -1},   {":30", -1},   {"1:2:3", -1}, {"abc", -1},
      {"", -1},     {"$10:0", 960},
      // no wrap-around: the caller decides what is too large
      {"2147483647:0", 2147483647LL * 60},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseTime(c.Text), c.Seconds) << c.Text;
}

TEST(Text, TrimAndCompare) {
  EXPECT_EQ(TrimControl(std::string(" \t\r\n a b \0\x01", 11)), "a b");
  EXPECT_EQ(TrimControl("\xA0x\xA0"), "\xA0x\xA0");
  EXPECT_EQ(TrimControlRight("  x  "), "  x");
  EXPECT_TRUE(SameTextAscii("skipTo", "SKIPTO"));
  EXPECT_FALSE(SameTextAscii("FFF", "FF"));
  EXPECT_FALSE(SameTextAscii("F", "FF"));
  // only a to z fold: accented letters and neighbouring punctuation do not
  EXPECT_FALSE(SameTextAscii("\xE9", "\xC9"));
  EXPECT_FALSE(SameTextAscii("[", "{"));
}

}  // namespace
}  // namespace jarvet

namespace jarvet {
namespace {

TEST(Text, DoubleBackslashesOnce) {
  const struct {
    const char* In;
    const char* Out;
  } cases[] = {{"", ""}, {"C:\\Music", "C:\\\\Music"}, {"\\\\", "\\\\\\\\"}, {"a\\", "a\\\\"},
               {"none", "none"}};
  for (const auto& c : cases) {
    std::string text = c.In;
    DoubleBackslashes(text);
    EXPECT_EQ(text, c.Out) << c.In;
  }
}

// A command line may be a megabyte of backslashes (how long that takes: bench/TextRules_bench).
TEST(Text, DoubleBackslashesInOnePass) {
  constexpr std::size_t kSize = 1024 * 1024;
  std::string text(kSize, '\\');
  DoubleBackslashes(text);
  EXPECT_EQ(text, std::string(2 * kSize, '\\'));
}

TEST(Text, TextAfterAndBefore) {
  EXPECT_EQ(TextAfter("a\"b\"c", '"'), "b\"c");
  EXPECT_EQ(TextAfter("abc", '"'), "abc");
  EXPECT_EQ(TextAfter("abc\"", '"'), "");
  EXPECT_EQ(TextBefore("a\"b", '"'), "a");
  EXPECT_EQ(TextBefore("abc", '"'), "");
}

}  // namespace
}  // namespace jarvet

namespace jarvet {
namespace {

TEST(Text, PathRules) {
  const struct {
    const char* Path;
    const char* Name;
    const char* Stem;
    bool Url;
  } cases[] = {
      {"/m/a.b.mp3", "a.b.mp3", "a.b", false},
#ifdef _WIN32
      {"C:\\Music\\Song.flac", "Song.flac", "Song", false},
      {"/m/back\\slash.mp3", "slash.mp3", "slash", false},
#else
      // A backslash is an ordinary character of a POSIX file name.
      {"/m/back\\slash.mp3", "back\\slash.mp3", "back\\slash", false},
#endif
      {"/m/.hidden", ".hidden", ".hidden", false},
      {"plain", "plain", "plain", false},
      {"http://radio.example/live", "live", "live", true},
      {"svn+ssh://host/x.ogg", "x.ogg", "x", true},
      {"C://x.mp3", "x.mp3", "x", false},  // a drive, not a scheme
      {"a b://x", "x", "x", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileNameOf(c.Path), c.Name) << c.Path;
    EXPECT_EQ(FileStem(c.Path), c.Stem) << c.Path;
    EXPECT_EQ(IsUrl(c.Path), c.Url) << c.Path;
  }
}

}  // namespace
TEST(FormatTime, MinutesAndSeconds) {
  const struct {
    std::int32_t Value;
    std::int32_t Divisor;
    const char* Text;
  } cases[] = {
      {0, 1000, "00:00"},     {83456, 1000, "01:23"}, {999, 1000, "00:00"},
      {-1, 1000, "00:00"},    {59999, 1000, "00:59"}, {60000, 1000, "01:00"},
      {245, 1, "04:05"},      {3725, 1, "62:05"},     {6000, 1, "100:00"},
      {-1, 1, "-00:01"},      {-61, 1, "-01:01"},     {-5000, 1000, "-00:05"},
      {INT32_MIN, 1, "-35791394:08"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatTime(c.Value, c.Divisor), c.Text) << c.Value;
  EXPECT_EQ(PadTwo(0), "00");
  EXPECT_EQ(PadTwo(9), "09");
  EXPECT_EQ(PadTwo(10), "10");
  EXPECT_EQ(PadTwo(100), "100");
}

}  // namespace jarvet
