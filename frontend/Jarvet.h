// One run of the program, from its raw command line to its exit status.
#pragma once

#include <string>
#include <string_view>

#include "Output.h"
#include "Platform.h"

namespace jarvet {

// Writes the banner, or carries out one command; a failure that nothing handles is reported on
// the sink and gives exit status 1.
int RunJarvet(std::string_view rawCommandLine, TPlatform& platform, TOutputSink& sink,
              const std::string& moduleName);

}  // namespace jarvet
