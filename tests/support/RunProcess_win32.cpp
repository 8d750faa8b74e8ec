// Running a built program as a separate process: Win32, with the exact raw command-line text.
#include <windows.h>

#include <cstdio>
#include <map>

#include "CommandLine.h"
#include "support/RunProcess.h"

namespace jarvet::testing {

// Not a path ('*' cannot stand in a file name): RunProcess hands the program a read-only handle.
const char kUnwritableOutput[] = "*unwritable*";
const char kMissingOutput[] = "*missing*";

namespace {

constexpr DWORD kReadyTimeoutMs = 10000;
constexpr DWORD kEndTimeoutMs = 3000;
constexpr DWORD kPollMs = 5;

constexpr char kKeeperClass[] = "jarvet test desktop";

// Wine makes its desktop with the first window of a session and drops it once no program uses
// it. A player started meanwhile goes idle while it waits for the desktop, before its window
// exists, and its starter stops waiting too early. A hidden window of ours keeps the desktop
// there as long as the test runs, as a logged-in session has it.
void KeepDesktop() {
  static const HWND keeper = [] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kKeeperClass;
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, kKeeperClass, kKeeperClass, WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr,
                           nullptr, windowClass.hInstance, nullptr);
  }();
  (void)keeper;
}

// What StartProcess started, by process id, until EndProcess.
std::map<long, HANDLE>& StartedProcesses() {
  static std::map<long, HANDLE> started;
  return started;
}

class THandle {
 public:
  explicit THandle(HANDLE handle = nullptr) : Handle_(handle) {}
  ~THandle() { Close(); }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  HANDLE Get() const { return Handle_; }
  HANDLE* Out() { return &Handle_; }
  bool Ok() const { return Handle_ != nullptr && Handle_ != INVALID_HANDLE_VALUE; }
  void Close() {
    if (Ok()) CloseHandle(Handle_);
    Handle_ = nullptr;
  }

 private:
  HANDLE Handle_;
};

std::string CommandLineOf(const std::string& program, const std::vector<std::string>& parameters) {
  std::vector<std::string> all{program};
  all.insert(all.end(), parameters.begin(), parameters.end());
  return JoinCommandLine(all);
}

// CreateProcessA may write into the command-line buffer.
// Under load, Wine now and then fails to create a process at all (ERROR_INTERNAL_ERROR, seen as a
// run with status -1 and no output): the program under test never ran. Only that failure of the
// start itself is tried again, and it is said in the test's log.
constexpr int kStartTries = 3;

template <typename Start>
bool StartWithWine(const std::string& program, Start start) {
  for (int attempt = 1;; ++attempt) {
    if (start()) return true;
    const DWORD error = GetLastError();
    std::fprintf(stderr, "cannot start %s: error %lu\n", program.c_str(), error);
    if (error != ERROR_INTERNAL_ERROR || attempt == kStartTries) return false;
  }
}

bool Create(const std::string& program, const std::string& commandLine, STARTUPINFOA& startup,
            bool inheritHandles, PROCESS_INFORMATION& process) {
  return StartWithWine(program, [&] {
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    return CreateProcessA(program.c_str(), buffer.data(), nullptr, nullptr, inheritHandles, 0,
                          nullptr, nullptr, &startup, &process) != 0;
  });
}

// Appends what the pipe holds now, without waiting for more.
void Drain(HANDLE pipe, std::string& output) {
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available == 0) return;
    const std::size_t size = output.size();
    output.resize(size + available);
    DWORD got = 0;
    if (!ReadFile(pipe, &output[size], available, &got, nullptr)) got = 0;
    output.resize(size + got);
    if (got == 0) return;
  }
}

}  // namespace

TProcessResult RunProcess(const std::string& program, const std::vector<std::string>& parameters,
                          const std::string& standardOutput) {
  return RunCommandLine(program, CommandLineOf(program, parameters), standardOutput);
}

namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int count = static_cast<int>(utf8.size());
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), count, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), count, &wide[0], size);
  return wide;
}

// commandLine is code-page text, or UTF-8 for the wide command line.
TProcessResult RunText(const std::string& program, const std::string& commandLine,
                       const std::string& standardOutput, bool utf8) {
  KeepDesktop();  // the program may start a player
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  THandle readEnd;
  THandle writeEnd;
  // Standard error to a file, read once the program has ended: it cannot fill up meanwhile.
  char errorsPath[MAX_PATH];
  char tempDir[MAX_PATH];
  if (GetTempPathA(MAX_PATH, tempDir) == 0 || GetTempFileNameA(tempDir, "jrv", 0, errorsPath) == 0) {
    return {};
  }
  const THandle errors(CreateFileA(errorsPath, GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   &inheritable, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!errors.Ok()) return {};
  const bool missing = standardOutput == kMissingOutput;
  if (standardOutput.empty()) {
    CreatePipe(readEnd.Out(), writeEnd.Out(), &inheritable, 0);
    SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);
  } else if (standardOutput == kUnwritableOutput) {
    *writeEnd.Out() = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inheritable, OPEN_EXISTING, 0, nullptr);
  } else if (!missing) {
    *writeEnd.Out() = CreateFileA(standardOutput.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                  &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  if (!missing && !writeEnd.Ok()) {
    std::fprintf(stderr, "no standard output for %s: error %lu\n", program.c_str(), GetLastError());
    return {};
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = missing ? nullptr : writeEnd.Get();
  startup.hStdError = errors.Get();
  PROCESS_INFORMATION process{};
  bool created = false;
  if (utf8) {
    created = StartWithWine(program, [&] {
      std::wstring buffer = Wide(commandLine);  // CreateProcessW may write into it
      return CreateProcessW(Wide(program).c_str(), &buffer[0], nullptr, nullptr, TRUE, 0, nullptr,
                            nullptr, &startup, &process) != 0;
    });
  } else {
    STARTUPINFOA ansi{};
    ansi.cb = sizeof ansi;
    ansi.dwFlags = startup.dwFlags;
    ansi.hStdInput = startup.hStdInput;
    ansi.hStdOutput = startup.hStdOutput;
    ansi.hStdError = startup.hStdError;
    created = Create(program, commandLine, ansi, true, process);
  }
  if (!created) return {};
  CloseHandle(process.hThread);
  const THandle child(process.hProcess);
  writeEnd.Close();  // the child's copy is the only one now

  // Read until the program has exited, not until the pipe closes: a player it started may have
  // been handed the pipe and keep it open.
  TProcessResult result;
  for (;;) {
    const DWORD waited = WaitForSingleObject(child.Get(), readEnd.Ok() ? kPollMs : INFINITE);
    if (readEnd.Ok()) Drain(readEnd.Get(), result.Output);
    if (waited != WAIT_TIMEOUT) break;
  }
  DWORD status = 0;
  if (GetExitCodeProcess(child.Get(), &status)) result.Status = static_cast<int>(status);
  // The child's handle shares the file position with ours.
  SetFilePointer(errors.Get(), 0, nullptr, FILE_BEGIN);
  char buffer[4096];
  for (DWORD got = 0; ReadFile(errors.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0;) {
    result.Errors.append(buffer, got);
  }
  return result;
}

}  // namespace

TProcessResult RunCommandLine(const std::string& program, const std::string& commandLine,
                              const std::string& standardOutput) {
  return RunText(program, commandLine, standardOutput, false);
}

TProcessResult RunProcessUtf8(const std::string& program,
                              const std::vector<std::string>& parameters) {
  return RunText(program, CommandLineOf(program, parameters), std::string(), true);
}

long StartProcess(const std::string& program, const std::vector<std::string>& parameters) {
  KeepDesktop();
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!Create(program, CommandLineOf(program, parameters), startup, false, process)) return -1;
  CloseHandle(process.hThread);
  // The wait of the platform's own starter: until the program's window takes messages, or it
  // has exited.
  WaitForInputIdle(process.hProcess, kReadyTimeoutMs);
  const auto id = static_cast<long>(process.dwProcessId);
  StartedProcesses()[id] = process.hProcess;
  return id;
}

void EndProcess(long id) {
  const auto found = StartedProcesses().find(id);
  if (found == StartedProcesses().end()) return;
  const HANDLE process = found->second;
  StartedProcesses().erase(found);
  if (WaitForSingleObject(process, kEndTimeoutMs) == WAIT_TIMEOUT) {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, INFINITE);
  }
  CloseHandle(process);
}

namespace {

std::string ReadWhole(const std::string& path) {
  std::string text;
  ReadFileAsPoller(path, text);
  return text;
}

}  // namespace

TBackgroundProcess::TBackgroundProcess(const std::string& program,
                                       const std::vector<std::string>& parameters,
                                       const std::string& outputBase)
    : OutputPath_(outputBase + ".out"), ErrorsPath_(outputBase + ".err") {
  KeepDesktop();
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const THandle out(CreateFileA(OutputPath_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  const THandle err(CreateFileA(ErrorsPath_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out.Get();
  startup.hStdError = err.Get();
  PROCESS_INFORMATION process{};
  if (!Create(program, CommandLineOf(program, parameters), startup, true, process)) return;
  CloseHandle(process.hThread);
  Id_ = static_cast<long>(process.dwProcessId);
  StartedProcesses()[Id_] = process.hProcess;
}

TBackgroundProcess::~TBackgroundProcess() {
  if (Id_ > 0) KillProcess(Id_);
}

TProcessResult TBackgroundProcess::Wait(int timeoutMs) {
  const auto found = StartedProcesses().find(Id_);
  if (found == StartedProcesses().end()) return Collect(-1);
  if (WaitForSingleObject(found->second, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
    return Collect(-1);
  }
  DWORD status = 0;
  GetExitCodeProcess(found->second, &status);
  CloseHandle(found->second);
  StartedProcesses().erase(found);
  Id_ = -1;
  return Collect(static_cast<int>(status));
}

// No console of its own to send Ctrl-C to: ended by force, its status then says nothing.
TProcessResult TBackgroundProcess::Stop(int timeoutMs) {
  const long id = Id_;
  KillProcess(id);
  Id_ = -1;
  (void)timeoutMs;
  TProcessResult result = Collect(-1);
  return result;
}

TProcessResult TBackgroundProcess::Collect(int status) const {
  TProcessResult result;
  result.Status = status;
  result.Output = ReadWhole(OutputPath_);
  result.Errors = ReadWhole(ErrorsPath_);
  return result;
}

bool ReadFileAsPoller(const std::string& path, std::string& text) {
  text.clear();
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  CloseHandle(file);
  return true;
}

void KillProcess(long id) {
  const auto found = StartedProcesses().find(id);
  if (found == StartedProcesses().end()) return;
  TerminateProcess(found->second, 1);
  WaitForSingleObject(found->second, INFINITE);
  CloseHandle(found->second);
  StartedProcesses().erase(found);
}

}  // namespace jarvet::testing
