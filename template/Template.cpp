// Now-playing templates: parsing and filling in.
#include "Template.h"

#include <algorithm>

namespace jarvet {

namespace {

// Positions in messages count characters, not bytes: a UTF-8 continuation byte is no character.
std::size_t CharacterPosition(std::string_view text, std::size_t byte) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i <= byte && i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++characters;
  }
  return characters;
}

// A name as a message quotes it: on one line, and not longer than a name can be.
std::string Quoted(std::string_view name) {
  constexpr std::size_t kMaxShown = 32;
  std::string shown(name.substr(0, kMaxShown));
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return "\"" + shown + (name.size() > kMaxShown ? "...\"" : "\"");
}

// The characters that a backslash before them makes themselves.
constexpr char kEscaped[] = "[]{}|\\";

std::size_t Characters(std::string_view text) {
  std::size_t characters = 0;
  for (char c : text) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return characters;
}

std::size_t NestingOf(const std::vector<TTemplate::TNode>& nodes) {
  std::size_t deepest = 0;
  for (const TTemplate::TNode& node : nodes) {
    if (node.Kind == TTemplate::TNode::Group) {
      deepest = std::max(deepest, 1 + NestingOf(node.Children));
    }
  }
  return deepest;
}

bool SameAscii(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
           return lower(x) == lower(y);
         });
}

class TParser {
 public:
  TParser(std::string_view text, const std::vector<std::string>& names,
          std::vector<std::size_t>& fields)
      : Text_(text), Names_(names), Fields_(fields) {}

  // Nodes up to the end of the text, or up to the "]" that closes the group of this depth.
  bool Nodes(std::vector<TTemplate::TNode>& nodes, std::size_t depth, std::size_t groupStart) {
    std::string literal;
    const auto flush = [&] {
      if (literal.empty()) return;
      TTemplate::TNode node;
      node.Text = std::move(literal);
      nodes.push_back(std::move(node));
      literal.clear();
    };
    while (P_ < Text_.size()) {
      const char c = Text_[P_];
      const char next = P_ + 1 < Text_.size() ? Text_[P_ + 1] : '\0';
      if (c == '\\') {
        const bool escapes = std::string_view(kEscaped).find(next) != std::string_view::npos;
        literal += escapes ? next : c;
        P_ += escapes ? 2 : 1;
      } else if ((c == '{' || c == '}') && next == c) {
        literal += c;
        P_ += 2;
      } else if (c == '{') {
        flush();
        TTemplate::TNode node;
        if (!Field(node)) return false;
        nodes.push_back(std::move(node));
      } else if (c == '[') {
        if (depth == TTemplate::kMaxNesting) {
          return Fail("groups nested deeper than " + std::to_string(TTemplate::kMaxNesting), P_);
        }
        flush();
        TTemplate::TNode node;
        node.Kind = TTemplate::TNode::Group;
        const std::size_t start = P_++;
        if (!Nodes(node.Children, depth + 1, start)) return false;
        nodes.push_back(std::move(node));
      } else if (c == ']') {
        if (depth == 0) return Fail("\"]\" without \"[\"", P_);
        ++P_;
        flush();
        return true;
      } else if (c == '}') {
        return Fail("\"}\" without \"{\"", P_);
      } else {
        literal += c;
        ++P_;
      }
    }
    if (depth > 0) return Fail("\"[\" without \"]\"", groupStart);
    flush();
    return true;
  }

  std::string Error;

 private:
  bool Fail(const std::string& what, std::size_t at) {
    Error = what + " at character " + std::to_string(CharacterPosition(Text_, at));
    return false;
  }

  // "{name|name...}" at P_.
  bool Field(TTemplate::TNode& node) {
    const std::size_t start = P_++;
    const std::size_t end = Text_.find('}', P_);
    if (end == std::string_view::npos) return Fail("\"{\" without \"}\"", start);
    node.Kind = TTemplate::TNode::Field;
    std::size_t nameStart = P_;
    for (;;) {
      const std::size_t bar = std::min(Text_.find('|', nameStart), end);
      const std::string_view name = Text_.substr(nameStart, bar - nameStart);
      const auto found = std::find_if(Names_.begin(), Names_.end(),
                                      [&](const std::string& n) { return SameAscii(n, name); });
      if (found == Names_.end()) {
        return Fail(name.empty() ? std::string("empty field name") : "unknown field " + Quoted(name),
                    nameStart);
      }
      const auto index = static_cast<std::size_t>(found - Names_.begin());
      node.Choices.push_back(index);
      if (std::find(Fields_.begin(), Fields_.end(), index) == Fields_.end()) {
        Fields_.push_back(index);
      }
      if (bar == end) break;
      nameStart = bar + 1;
    }
    P_ = end + 1;
    return true;
  }

  std::string_view Text_;
  const std::vector<std::string>& Names_;
  std::vector<std::size_t>& Fields_;
  std::size_t P_ = 0;
};

// Appends the nodes' text; false when a field among them (not in a nested group) is empty.
bool RenderNodes(const std::vector<TTemplate::TNode>& nodes, const TTemplate::TFieldText& text,
                 std::string& out) {
  bool complete = true;
  for (const TTemplate::TNode& node : nodes) {
    switch (node.Kind) {
      case TTemplate::TNode::Literal:
        out += node.Text;
        break;
      case TTemplate::TNode::Field: {
        std::string value;
        for (std::size_t choice : node.Choices) {
          value = text(choice);
          if (!value.empty()) break;
        }
        if (value.empty()) complete = false;
        out += value;
        break;
      }
      case TTemplate::TNode::Group: {
        std::string group;
        if (RenderNodes(node.Children, text, group)) out += group;
        break;
      }
    }
  }
  return complete;
}

}  // namespace

std::unique_ptr<TTemplate> TTemplate::Parse(std::string_view text,
                                            const std::vector<std::string>& fieldNames,
                                            std::string& error) {
  if (Characters(text) > kMaxLength) {
    error = "longer than " + std::to_string(kMaxLength) + " characters";
    return nullptr;
  }
  auto parsed = std::make_unique<TTemplate>();
  TParser parser(text, fieldNames, parsed->Fields_);
  if (!parser.Nodes(parsed->Nodes_, 0, 0)) {
    error = parser.Error;
    return nullptr;
  }
  return parsed;
}

std::size_t TTemplate::Nesting() const { return NestingOf(Nodes_); }

std::string TTemplate::Render(const TFieldText& fieldText) const {
  std::string out;
  RenderNodes(Nodes_, fieldText, out);
  return out;
}

}  // namespace jarvet
