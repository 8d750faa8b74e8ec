// Splitting a raw command-line text into parameters, by the Windows rules for quotes and blanks.
#include "CommandLine.h"

#include "Text.h"

namespace jarvet {

std::vector<TParameter> SplitCommandLine(std::string_view raw) {
  std::vector<TParameter> parameters;
  std::size_t p = 0;
  const auto at = [&](std::size_t i) { return i < raw.size() ? raw[i] : '\0'; };
  for (;;) {
    // Blanks and "" pairs may alternate before a parameter.
    for (;;) {
      while (p < raw.size() && IsBlankOrControl(raw[p])) ++p;
      if (at(p) == '"' && at(p + 1) == '"') {
        p += 2;
      } else {
        break;
      }
    }
    TParameter parameter;
    while (p < raw.size() && !IsBlankOrControl(raw[p])) {
      if (raw[p] == '"') {
        ++p;
        while (p < raw.size() && raw[p] != '"') parameter.Text += raw[p++];
        if (p < raw.size()) ++p;
      } else {
        parameter.Text += raw[p++];
      }
    }
    if (parameter.Text.empty()) break;
    parameter.End = p;
    parameters.push_back(std::move(parameter));
  }
  return parameters;
}

static bool NeedsQuotes(const std::string& parameter) {
  if (parameter.find('"') != std::string::npos) return false;
  if (parameter.empty()) return true;
  for (char c : parameter) {
    if (IsBlankOrControl(c)) return true;
  }
  return false;
}

std::string JoinCommandLine(const std::vector<std::string>& parameters) {
  std::string raw;
  for (const std::string& parameter : parameters) {
    if (!raw.empty()) raw += ' ';
    raw += NeedsQuotes(parameter) ? '"' + parameter + '"' : parameter;
  }
  return raw;
}

}  // namespace jarvet
