// Now-playing templates: "{field}" is a field's text, "{a|b}" the first of them that is not
// empty, "[ ... ]" a group left out whole when a field in it is empty. A backslash makes the next
// of "[ ] { } | \" the character itself; before any other character it is itself (a Windows path
// needs no doubling). "{{" and "}}" are the braces themselves (fields do not nest); "[[" and "]]"
// are two brackets of groups. No "%", so a template is safe in a batch file.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace jarvet {

class TTemplate {
 public:
  // Fields are numbered by their place in the list of names given to Parse.
  using TFieldText = std::function<std::string(std::size_t field)>;

  // Groups nest this deep at the most, and a template is this many characters long at the most:
  // beyond them it does not parse.
  static constexpr std::size_t kMaxNesting = 32;
  static constexpr std::size_t kMaxLength = 4096;

  // Empty when the text does not parse; error then says what and where (1-based character).
  static std::unique_ptr<TTemplate> Parse(std::string_view text,
                                          const std::vector<std::string>& fieldNames,
                                          std::string& error);

  std::string Render(const TFieldText& fieldText) const;
  // How deep its groups nest: 0 without any.
  std::size_t Nesting() const;
  // Every field the template names, so that a caller asks only for those.
  const std::vector<std::size_t>& Fields() const { return Fields_; }

  struct TNode {
    enum { Literal, Field, Group } Kind = Literal;
    std::string Text;                   // Literal
    std::vector<std::size_t> Choices;   // Field: the first one that is not empty
    std::vector<TNode> Children;        // Group
  };

 private:
  std::vector<TNode> Nodes_;
  std::vector<std::size_t> Fields_;
};

}  // namespace jarvet
