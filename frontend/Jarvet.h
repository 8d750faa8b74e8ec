// One run of the program, from its raw command line to its exit status.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Commands.h"
#include "Output.h"

namespace jarvet {

// The raw command line twice: in the code page, as the eighteen commands read it, and in UTF-8,
// as the newer ones read their files and texts (the same bytes where the platform has no other).
struct TRawCommandLine {
  std::string_view Ansi;
  std::string_view Utf8;
  // The parameters as the platform passed them (POSIX), invocation name first, in the code page:
  // the commands that take files take the words after the command word from here. None where the
  // platform passes only the text (Windows).
  const std::vector<std::string>* Words = nullptr;
};

// Writes the banner, or carries out one command on the player that connect finds; a failure
// that nothing handles is reported on the sink (on errors, when the sink can't take it) and
// gives exit status 1. The newer commands report their problems on errors.
int RunJarvet(TRawCommandLine raw, const TConnect& connect, TOutputSink& sink,
              TOutputSink& errors, const std::string& moduleName);

}  // namespace jarvet
