// The Win32 code-page conversions, on the bytes of code page 1252 (an English Windows; the Wine
// wrapper runs the tests with it).
#include <gtest/gtest.h>
#include <windows.h>

#include "CodePage.h"

namespace jarvet {
namespace {

class CodePageWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (GetACP() != 1252) GTEST_SKIP() << "the expected bytes are code page 1252's";
  }
};

TEST_F(CodePageWin32, Utf16UnitsBecomeAnsiBytes) {
  const struct {
    std::u16string Units;
    const char* Ansi;
  } cases[] = {
      {u"Caf\u00E9", "Caf\xE9"},
      {u"\u20AC\u2019", "\x80\x92"},  // 1252's own letters above 0x7F
      {u"\u0100\u4E2D", "??"},        // lacking, and no best-fit look-alike either
      {u"a\xD800"
       u"b",
       "a?b"},  // an unpaired surrogate
      {u"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf16ToAnsi(c.Units), c.Ansi) << c.Ansi;
  EXPECT_EQ(Utf16ToAnsi(std::u16string(u"x\0y", 3)), std::string("x\0y", 3)) << "NUL inside";
}

TEST_F(CodePageWin32, Utf8BecomesAnsiBytes) {
  const struct {
    const char* Utf8;
    const char* Ansi;
  } cases[] = {
      {"Caf\xC3\xA9", "Caf\xE9"},
      {"\xE2\x82\xAC", "\x80"},
      {"\xC4\x80", "?"},  // U+0100
      {"a\xC3"
       "b",
       "a?b"},  // a lead byte without its continuation
      {"\xFF"
       "z",
       "?z"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToAnsi(c.Utf8), c.Ansi) << c.Utf8;
}

TEST_F(CodePageWin32, Windows1252BytesStayAsTheyAre) {
  EXPECT_EQ(Windows1252ToAnsi("\x80\x92\xE9\x81"), "\x80\x92\xE9\x81");
}

}  // namespace
}  // namespace jarvet
