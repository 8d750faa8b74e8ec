// Splitting a raw command-line text into parameters, by the Windows rules for quotes and blanks.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace jarvet {

struct TParameter {
  std::string Text;  // quotes removed
  std::size_t End;   // offset in the raw text just behind the parameter (behind a closing quote)
};

// Every parameter of the raw text, the invocation name first; stops at the first empty one.
std::vector<TParameter> SplitCommandLine(std::string_view raw);

// The reverse for a platform that passes a parameter list: quotes each parameter that is empty
// or holds a blank or control character (unless it holds a quote) and joins them by blanks.
std::string JoinCommandLine(const std::vector<std::string>& parameters);

}  // namespace jarvet
