// POSIX errno values turned into the Windows error codes that the failure messages count by.
#pragma once

#include <string>

namespace jarvet {

// path, when given, tells a missing file (2) from a missing directory (3).
int WindowsErrorCode(int posixError, const std::string& path = std::string());

}  // namespace jarvet
