// The check of the report that ends a run with exit status 1.
#pragma once

#include <regex>
#include <string>

namespace jarvet::testing {

// "Exception <kind> in module <module> at <8 hex digits>.\n<message>\r\n", exactly; kind,
// message and module are regular expressions.
inline bool IsFailureReport(const std::string& text, const std::string& kind,
                            const std::string& message,
                            const std::string& module = "jarvet(\\.exe)?") {
  return std::regex_match(text, std::regex("Exception " + kind + " in module " + module +
                                           " at [0-9A-F]{8}\\.\n" + message + "\r\n"));
}

}  // namespace jarvet::testing
