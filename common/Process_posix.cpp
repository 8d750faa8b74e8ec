// Facts about the running process: POSIX.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <vector>

#include "CodePage.h"
#include "CommandLine.h"
#include "Process.h"

namespace jarvet {

std::string RawCommandLine(int argc, char** argv) {
  return JoinCommandLine(std::vector<std::string>(argv, argv + argc));
}

std::string RawCommandLineUtf8(int argc, char** argv) {
  return AnsiToUtf8(RawCommandLine(argc, argv));
}

std::optional<std::vector<std::string>> CommandWords(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

// A standard descriptor that the caller closed would be taken by the first file or socket the run
// opens, and a line meant for standard output would go there. /dev/null opened for reading fills
// the gap: reads find nothing and writes fail, as they would on the closed descriptor.
void PrepareProcess() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int filler = open("/dev/null", O_RDONLY);
    // open() takes the lowest free descriptor, which is fd; anything else means no filler.
    if (filler != fd && filler >= 0) close(filler);
  }
  std::signal(SIGPIPE, SIG_IGN);
}

std::string ModuleFileName() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0) return "jarvet";
  const std::string full(path, static_cast<std::size_t>(length));
  return full.substr(full.find_last_of('/') + 1);
}

std::uint32_t ModuleOffset(const void* codeAddress) {
  Dl_info info{};
  const auto address = reinterpret_cast<std::uintptr_t>(codeAddress);
  if (dladdr(codeAddress, &info) != 0 && info.dli_fbase != nullptr) {
    return static_cast<std::uint32_t>(address - reinterpret_cast<std::uintptr_t>(info.dli_fbase));
  }
  return static_cast<std::uint32_t>(address);
}

}  // namespace jarvet
