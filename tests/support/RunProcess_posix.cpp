// Running a built program as a separate process: POSIX.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "support/RunProcess.h"
#include "WindowMessages.h"

namespace jarvet::testing {

const char kUnwritableOutput[] = "/dev/full";
const char kMissingOutput[] = "*missing*";  // not a path that the tests use

namespace {

std::vector<char*> Argv(const std::string& program, std::vector<std::string>& parameters) {
  parameters.insert(parameters.begin(), program);
  std::vector<char*> argv;
  for (std::string& parameter : parameters) argv.push_back(parameter.data());
  argv.push_back(nullptr);
  return argv;
}

int ExitStatus(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

}  // namespace

TProcessResult RunProcess(const std::string& program, const std::vector<std::string>& parameters,
                          const std::string& standardOutput) {
  std::vector<std::string> copy = parameters;
  const std::vector<char*> argv = Argv(program, copy);
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return {};
  // A file, not a second pipe: read once the program has ended, it cannot fill up meanwhile.
  std::FILE* errors = std::tmpfile();
  if (errors == nullptr) return {};
  const pid_t child = fork();
  if (child == 0) {
    if (standardOutput == kMissingOutput) {
      close(STDOUT_FILENO);
    } else {
      const int target = standardOutput.empty()
                             ? out[1]
                             : open(standardOutput.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(target, STDOUT_FILENO);
    }
    dup2(fileno(errors), STDERR_FILENO);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(out[1]);
  TProcessResult result;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    result.Output.append(buffer, static_cast<std::size_t>(n));
  }
  close(out[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  result.Status = ExitStatus(status);
  std::rewind(errors);
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, errors)) > 0;) {
    result.Errors.append(buffer, n);
  }
  std::fclose(errors);
  return result;
}

long StartProcess(const std::string& program, const std::vector<std::string>& parameters) {
  std::vector<std::string> copy = parameters;
  const std::vector<char*> argv = Argv(program, copy);
  int ready[2];
  if (pipe2(ready, O_CLOEXEC) != 0) return -1;
  const std::string readyFd = std::to_string(ready[1]);
  const pid_t child = fork();
  if (child == 0) {
    fcntl(ready[1], F_SETFD, 0);
    setenv(kReadyFdVariable, readyFd.c_str(), 1);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(ready[1]);
  pollfd entry{ready[0], POLLIN, 0};
  poll(&entry, 1, 10000);
  close(ready[0]);
  return child;
}

void EndProcess(long id) {
  if (id <= 0) return;
  const auto pid = static_cast<pid_t>(id);
  for (int i = 0; i < 100; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

}  // namespace jarvet::testing
