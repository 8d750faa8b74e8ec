// POSIX errno values turned into the Windows error codes that the failure messages count by.
#include <sys/stat.h>

#include <cerrno>

#include "PlatformError.h"

namespace jarvet {

static bool DirectoryOfExists(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return true;  // the current directory
  const std::string directory = slash == 0 ? "/" : path.substr(0, slash);
  struct stat info {};
  return stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

int WindowsErrorCode(int posixError, const std::string& path) {
  switch (posixError) {
    case ENOENT: return DirectoryOfExists(path) ? 2 : 3;
    case ENOTDIR:
    case ENAMETOOLONG: return 3;
    case EBADF: return 6;  // the invalid handle of a closed standard output
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM:
    case EISDIR: return 5;
    case ENOSPC:
    case EDQUOT: return 101;
    // errno 5 would read as "File access denied": report the device failure Windows would.
    case EIO: return 31;
    // errno 32 would be a sharing violation: report what writing into a closed pipe gives there.
    case EPIPE: return 232;
    default: return posixError;
  }
}

}  // namespace jarvet
