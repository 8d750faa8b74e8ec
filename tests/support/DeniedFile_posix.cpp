// Keeps this process from opening a file for reading: POSIX, by taking away every permission.
#include <sys/stat.h>
#include <unistd.h>

#include "support/DeniedFile.h"

namespace jarvet::testing {

TDeniedFile::TDeniedFile(const std::string& path) : Path_(path) {
  if (geteuid() == 0) {
    NotDenied_ = "root reads a file of mode 000";
  } else if (chmod(path.c_str(), 0) != 0) {
    NotDenied_ = "chmod failed";
  }
}

TDeniedFile::~TDeniedFile() {
  if (NotDenied_.empty()) chmod(Path_.c_str(), S_IRUSR | S_IWUSR);
}

}  // namespace jarvet::testing
