// Running a built program as a separate process, for the end-to-end tests.
#pragma once

#include <string>
#include <vector>

namespace jarvet::testing {

struct TProcessResult {
  int Status = -1;     // exit status; -1 when it did not exit normally
  std::string Output;  // every byte written to standard output
  std::string Errors;  // every byte written to standard error
};

// Runs program with the parameters (the invocation name is the program path) and waits for it.
// standardOutput, when given, is a path that standard output is sent to instead of a pipe.
TProcessResult RunProcess(const std::string& program, const std::vector<std::string>& parameters,
                          const std::string& standardOutput = std::string());

// As RunProcess, with the parameters in UTF-8: on Windows through the wide command line, so
// that any character arrives.
TProcessResult RunProcessUtf8(const std::string& program, const std::vector<std::string>& parameters);

#ifdef _WIN32
// As RunProcess, with commandLine as the exact raw text the program gets (its first parameter
// is the invocation name).
TProcessResult RunCommandLine(const std::string& program, const std::string& commandLine,
                              const std::string& standardOutput = std::string());
#endif

// A program left running while the test goes on; its output goes to files beside outputBase.
class TBackgroundProcess {
 public:
  TBackgroundProcess(const std::string& program, const std::vector<std::string>& parameters,
                     const std::string& outputBase);
  ~TBackgroundProcess();
  TBackgroundProcess(const TBackgroundProcess&) = delete;
  TBackgroundProcess& operator=(const TBackgroundProcess&) = delete;
  bool Started() const { return Id_ > 0; }
  // Waits for its own end, up to timeoutMs; Status stays -1 when it did not end.
  TProcessResult Wait(int timeoutMs);
  // Asks it to end (SIGTERM; on Windows it is ended by force), then as Wait.
  TProcessResult Stop(int timeoutMs);

 private:
  TProcessResult Collect(int status) const;
  long Id_ = -1;
  std::string OutputPath_, ErrorsPath_;
};

// The file's whole contents, as a program that polls it reads them; false when it can't be
// opened. On Windows the file is opened sharing deletion, as a reader of a file that is replaced
// must: any other is refused for the instant of each replacement.
bool ReadFileAsPoller(const std::string& path, std::string& text);

// A standardOutput on which every write fails.
extern const char kUnwritableOutput[];
// A standardOutput that is not there: a closed descriptor, or no handle.
extern const char kMissingOutput[];

// Starts program and returns once it has signalled readiness (or exited); answers its id.
long StartProcess(const std::string& program, const std::vector<std::string>& parameters);
// Waits up to a few seconds for the process to exit, then kills it.
void EndProcess(long id);
// Ends the process at once.
void KillProcess(long id);

}  // namespace jarvet::testing
