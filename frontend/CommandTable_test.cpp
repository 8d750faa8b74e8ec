// The command table against what documents it: HELP, the README's tables, the manual page.
#include "CommandTable.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace jarvet {
namespace {

std::string ReadSource(const std::string& name) {
  std::ifstream file(std::string(JARVET_SOURCE_DIR) + "/" + name, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::set<std::string> TableNames() {
  std::set<std::string> names;
  for (const TCommand& command : Commands()) names.insert(command.Name);
  return names;
}

// The command names in the first cell of the table rows of the README's "Commands" section.
std::set<std::string> ReadmeNames() {
  const std::string readme = ReadSource("README.md");
  const std::size_t start = readme.find("\n## Commands");
  const std::size_t end = readme.find("\n## ", start + 1);
  std::istringstream section(readme.substr(start, end - start));
  std::set<std::string> names;
  const std::regex name("`([A-Z]+)`");
  for (std::string line; std::getline(section, line);) {
    if (line.rfind("| `", 0) != 0) continue;
    const std::string cell = line.substr(1, line.find('|', 1) - 1);
    for (std::sregex_iterator i(cell.begin(), cell.end(), name), e; i != e; ++i) {
      names.insert((*i)[1]);
    }
  }
  return names;
}

// The names in the tag of each tagged paragraph of the manual page's COMMANDS section: its
// words in capitals outside quotes (".BR SHUFFLE " [on|off], " REPEAT").
std::set<std::string> ManualNames() {
  const std::string manual = ReadSource("docs/jarvet.1");
  const std::size_t start = manual.find("\n.SH COMMANDS");
  const std::size_t end = manual.find("\n.SH ", start + 1);
  std::istringstream section(manual.substr(start, end - start));
  std::set<std::string> names;
  const std::regex quoted("\"[^\"]*\"|^\\.[A-Z]+|:\\s*[A-Z]+");  // and M:SS
  const std::regex name(R"(\b[A-Z]{2,}\b)");
  bool afterTp = false;
  for (std::string line; std::getline(section, line);) {
    if (afterTp) {
      const std::string bare = std::regex_replace(line, quoted, " ");
      for (std::sregex_iterator i(bare.begin(), bare.end(), name), e; i != e; ++i) {
        names.insert(i->str());
      }
    }
    afterTp = line == ".TP";  // a tag is the line after it
  }
  return names;
}

TEST(CommandTable, TheReadmeAndTheManualPageListEveryCommandAndNoOther) {
  EXPECT_EQ(ReadmeNames(), TableNames());
  EXPECT_EQ(ManualNames(), TableNames());
}

TEST(CommandTable, HelpHasALinePerCommandWithinEightyColumns) {
  const std::vector<std::string> lines = HelpLines();
  for (const std::string& line : lines) EXPECT_LT(line.size(), 80u) << line;
  for (const TCommand& command : Commands()) {
    const bool listed = std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.rfind(std::string(command.Name) + " ", 0) == 0;
    });
    EXPECT_TRUE(listed) << command.Name;
  }
}

TEST(CommandTable, FindsNamesIgnoringAsciiCaseOnly) {
  EXPECT_STREQ(FindCommand("watchFile")->Name, "WATCHFILE");
  EXPECT_EQ(FindCommand("WATCHFIL"), nullptr);
  EXPECT_EQ(FindCommand("\xC9NEXT"), nullptr);
  EXPECT_EQ(FindCommand(""), nullptr);
}

}  // namespace
}  // namespace jarvet
