// One run of the program, from its raw command line to its exit status.
#pragma once

#include <string>
#include <string_view>

#include "Output.h"
#include "Platform.h"

namespace jarvet {

// Writes the banner, or carries out one command; a failure that nothing handles is reported on
// the sink (on reportFallback, when given, if the sink can't take it) and gives exit status 1.
int RunJarvet(std::string_view rawCommandLine, TPlatform& platform, TOutputSink& sink,
              const std::string& moduleName, TOutputSink* reportFallback = nullptr);

}  // namespace jarvet
