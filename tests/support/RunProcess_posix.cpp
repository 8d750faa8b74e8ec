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

#include "WindowWire_posix.h"
#include "support/RunProcess.h"

namespace jarvet::testing {

const char kUnwritableOutput[] = "/dev/full";
const char kMissingOutput[] = "*missing*";  // not a path that the tests use

constexpr int kStartTimeoutMs = 10000;

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

TProcessResult RunProcessUtf8(const std::string& program,
                              const std::vector<std::string>& parameters) {
  return RunProcess(program, parameters);
}

long StartProcess(const std::string& program, const std::vector<std::string>& parameters) {
  std::vector<std::string> argv = parameters;
  argv.insert(argv.begin(), program);
  return StartAndWaitReady(argv, false, kStartTimeoutMs);
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

namespace jarvet::testing {

TBackgroundProcess::TBackgroundProcess(const std::string& program,
                                       const std::vector<std::string>& parameters,
                                       const std::string& outputBase)
    : OutputPath_(outputBase + ".out"), ErrorsPath_(outputBase + ".err") {
  std::vector<std::string> copy = parameters;
  const std::vector<char*> argv = Argv(program, copy);
  const pid_t child = fork();
  if (child == 0) {
    dup2(open(OutputPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
    dup2(open(ErrorsPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  Id_ = child;
}

TBackgroundProcess::~TBackgroundProcess() {
  if (Id_ > 0) KillProcess(Id_);
}

TProcessResult TBackgroundProcess::Wait(int timeoutMs) {
  int status = 0;
  for (int waited = 0; Id_ > 0; waited += 10) {
    const pid_t done = waitpid(static_cast<pid_t>(Id_), &status, WNOHANG);
    if (done == Id_) {
      Id_ = -1;
      return Collect(ExitStatus(status));
    }
    if (waited >= timeoutMs) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return Collect(-1);
}

TProcessResult TBackgroundProcess::Stop(int timeoutMs) {
  if (Id_ > 0) kill(static_cast<pid_t>(Id_), SIGTERM);
  return Wait(timeoutMs);
}

TProcessResult TBackgroundProcess::Collect(int status) const {
  TProcessResult result;
  result.Status = status;
  ReadFileAsPoller(OutputPath_, result.Output);
  ReadFileAsPoller(ErrorsPath_, result.Errors);
  return result;
}

bool ReadFileAsPoller(const std::string& path, std::string& text) {
  text.clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[4096];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) {
    text.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  return true;
}

void KillProcess(long id) {
  if (id <= 0) return;
  kill(static_cast<pid_t>(id), SIGKILL);
  waitpid(static_cast<pid_t>(id), nullptr, 0);
}

}  // namespace jarvet::testing
