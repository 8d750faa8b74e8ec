// Bad input that only a POSIX system can hand jarvet: standard output on a full device or on a
// pipe nobody reads, a dump that another user's rights keep closed, and command lines far beyond
// the 32767 characters that Windows takes.
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "File.h"
#include "Platform.h"
#include "support/FailureReport.h"
#include "support/PlayerFixture.h"

namespace jarvet::testing {
namespace {

using Strings = std::vector<std::string>;

constexpr auto kRunTimeout = std::chrono::seconds(20);
constexpr uid_t kSameUser = static_cast<uid_t>(-1);
constexpr uid_t kNobody = 65534;
// Exit statuses of the child before it is jarvet, as a shell gives them.
constexpr int kCannotSwitchUser = 126;
constexpr int kCannotStart = 127;

struct TRun {
  bool TimedOut = false;
  int Status = -1;  // exit status; -1 when it did not exit
  int Signal = 0;   // the signal that ended it, if one did
  std::string Output;
  std::string Errors;  // standard error, where it was asked for
};

// Runs jarvet with the parameters and waits for it, but no longer than kRunTimeout. Standard
// output goes to outputFd, or, when that is -1, to a pipe whose bytes come back in Output. With
// a uid, jarvet runs as that user; the descriptors in closed are closed. SIGPIPE is as the system
// starts a program: deadly. With errorsPath, standard error goes to that file and comes back in
// Errors.
TRun RunJarvet(const Strings& parameters, int outputFd = -1, uid_t uid = kSameUser,
               const std::vector<int>& closed = {}, const std::string& errorsPath = "") {
  const int errorsFd =
      errorsPath.empty() ? -1
                         : open(errorsPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  Strings argvText{JARVET_PROGRAM};
  argvText.insert(argvText.end(), parameters.begin(), parameters.end());
  std::vector<char*> argv;
  for (std::string& text : argvText) argv.push_back(text.data());
  argv.push_back(nullptr);

  int pipeFds[2] = {-1, -1};
  if (outputFd < 0) {
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return {};
    outputFd = pipeFds[1];
  }
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGPIPE, SIG_DFL);
    dup2(outputFd, STDOUT_FILENO);
    if (errorsFd >= 0) dup2(errorsFd, STDERR_FILENO);
    for (const int fd : closed) close(fd);
    if (uid != kSameUser && (setgroups(0, nullptr) != 0 || setgid(uid) != 0 || setuid(uid) != 0)) {
      _exit(kCannotSwitchUser);
    }
    execv(argv[0], argv.data());
    _exit(kCannotStart);
  }
  TRun run;
  if (pipeFds[1] >= 0) close(pipeFds[1]);
  const auto deadline = std::chrono::steady_clock::now() + kRunTimeout;
  int status = 0;
  for (;;) {
    if (pipeFds[0] >= 0) {
      pollfd entry{pipeFds[0], POLLIN, 0};
      if (poll(&entry, 1, 10) > 0) {
        char buffer[65536];
        const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n > 0) run.Output.append(buffer, static_cast<std::size_t>(n));
        if (n > 0) continue;
        close(pipeFds[0]);
        pipeFds[0] = -1;
      }
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (waitpid(child, &status, WNOHANG) == child) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      run.TimedOut = true;
      break;
    }
  }
  if (pipeFds[0] >= 0) close(pipeFds[0]);
  if (WIFEXITED(status)) run.Status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.Signal = WTERMSIG(status);
  if (errorsFd >= 0) {
    close(errorsFd);
    std::ifstream in(errorsPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    run.Errors = text.str();
  }
  return run;
}


class BadInputPosixTest : public PlayerFixture {
 protected:
  void TearDown() override {
    std::remove(kListFilePath);
    PlayerFixture::TearDown();
  }
};

// Whatever the run had to write, its line or the failure report, it ends with status 1 and
// neither hangs nor dies of the signal.
TEST_F(BadInputPosixTest, OutputThatCannotBeWritten) {
  const Strings runs[] = {
      {},             // the banner
      {Dir, "STOP"},  // a command's line, no player needed
      {Dir, "INFO"},  // the failure report: no dump
  };
  const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(full, 0);
  int unread[2];
  ASSERT_EQ(pipe2(unread, O_CLOEXEC), 0);
  close(unread[0]);
  for (const Strings& parameters : runs) {
    const std::string what = parameters.empty() ? "banner" : parameters[1];
    for (const int fd : {full, unread[1]}) {
      const TRun run = RunJarvet(parameters, fd);
      const char* where = fd == full ? " to /dev/full" : " to a closed pipe";
      EXPECT_FALSE(run.TimedOut) << what << where;
      EXPECT_EQ(run.Signal, 0) << what << where;
      EXPECT_EQ(run.Status, 1) << what << where;
    }
  }
  close(full);
  close(unread[1]);
}

// The newer commands say in words what standard output did: the fault was "I/O error 6" for a
// closed one and "I/O error 32" for a pipe that nobody reads.
TEST_F(BadInputPosixTest, StandardOutputThatFailsIsSaidInWords) {
  StartPlayer({});
  const std::string errors = Dir + "/errors.txt";
  const TRun closed = RunJarvet({Dir, "STATUS"}, -1, kSameUser, {STDOUT_FILENO}, errors);
  EXPECT_EQ(closed.Status, 1);
  EXPECT_EQ(closed.Errors, "jarvet: cannot write standard output: it is closed\r\n");
  int unread[2];
  ASSERT_EQ(pipe2(unread, O_CLOEXEC), 0);
  close(unread[0]);
  const TRun broken = RunJarvet({Dir, "STATUS"}, unread[1], kSameUser, {}, errors);
  close(unread[1]);
  EXPECT_EQ(broken.Signal, 0);
  EXPECT_EQ(broken.Status, 1);
  EXPECT_EQ(broken.Errors,
            "jarvet: cannot write standard output: the pipe is closed (nothing reads it)\r\n");
}

// The player's connection must not take the place of a closed standard descriptor.
TEST_F(BadInputPosixTest, ClosedStandardDescriptors) {
  StartPlayer({});
  const struct {
    std::vector<int> Closed;
    int Status;
    const char* Output;
  } cases[] = {
      {{STDIN_FILENO, STDERR_FILENO}, 0, "Playback stopped\r\n"},
      {{STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}, 1, ""},
      {{STDIN_FILENO, STDOUT_FILENO}, 1, ""},
  };
  for (const auto& c : cases) {
    const std::size_t before = Journal().size();
    const TRun run = RunJarvet({Dir, "STOP"}, -1, kSameUser, c.Closed);
    EXPECT_EQ(run.Status, c.Status) << c.Closed.size();
    EXPECT_EQ(run.Output, c.Output) << c.Closed.size();
    EXPECT_EQ(JournalFrom(before), Strings{JournalCommand(kCmdStop)}) << c.Closed.size();
  }
}

// Taken away from the file as non-root; as root, jarvet runs as another user, whom the file's
// mode keeps out (root's rights would not).
TEST_F(BadInputPosixTest, DumpWithoutReadPermissionIsReported) {
  const std::string dump = Dir + "/winamp.m3u";
  WriteFile(dump, "/m/a.mp3\r\n");
  ASSERT_EQ(chmod(dump.c_str(), 0), 0);
  ASSERT_EQ(chmod(Dir.c_str(), 0755), 0);
  const uid_t uid = geteuid() == 0 ? kNobody : kSameUser;
  const TRun run = RunJarvet({Dir, "INFO"}, -1, uid);
  if (run.Status == kCannotSwitchUser) GTEST_SKIP() << "cannot run as user " << uid;
  // A checkout in a private directory keeps the other user from the program itself.
  if (run.Status == kCannotStart) {
    GTEST_SKIP() << "user " << uid << " cannot start " << JARVET_PROGRAM
                 << " (is a directory above it closed to them?)";
  }
  EXPECT_EQ(run.Status, 1);
  EXPECT_TRUE(IsFailureReport(run.Output, "EInOutError", "File access denied\\.", "jarvet")) << run.Output;
}

TEST_F(BadInputPosixTest, EnormousCommandLines) {
  StartPlayer({"--entry", "/m/a.mp3|100", "--entry", "/m/b.mp3|100"});
  // 1 MB in 16 parameters: Linux takes no single one longer than 128 KiB.
  constexpr std::size_t kParts = 16;
  constexpr std::size_t kPartSize = 65536;
  std::string part;
  while (part.size() < kPartSize) part += "a\\";
  Strings enqueue{Dir, "ENQUEUE"};
  Strings ff{Dir, "FF"};
  std::string pattern;
  for (std::size_t i = 0; i < kParts; ++i) {
    enqueue.push_back(part);
    ff.push_back(std::string(kPartSize, '0'));
    for (char c : part) pattern += c == '\\' ? "\\\\" : std::string(1, c);
    if (i + 1 < kParts) pattern += ' ';
  }

  std::size_t before = Journal().size();
  const TRun listed = RunJarvet(enqueue);
  EXPECT_FALSE(listed.TimedOut);
  EXPECT_EQ(listed.Status, 0);
  EXPECT_EQ(listed.Output, "Adding 0 file(s) in \"\" matching \"" + pattern + "\" to playlist...\r\n")
      << "a line of " << listed.Output.size() << " bytes";
  std::size_t lengthAsked = 0;
  for (const std::string& line : JournalFrom(before)) lengthAsked += line == JournalRequest(0, kReqGetPlaylistLength) ? 1 : 0;
  EXPECT_EQ(lengthAsked, 2u) << "before and after the list";

  before = Journal().size();
  const TRun blanks = RunJarvet(ff);
  EXPECT_EQ(blanks.Status, 0);
  EXPECT_EQ(blanks.Output, "") << "blanks between the parts: not a number";
  EXPECT_EQ(JournalFrom(before), Strings{});

  // One parameter as long as Linux takes, in each place of the command line.
  const std::string zeros(100000, '0');
  const TRun seconds = RunJarvet({Dir, "FF", zeros + "12"});
  EXPECT_EQ(seconds.Output, "Fast forwarding " + zeros + "12 s\r\n");
  const TRun volume = RunJarvet({Dir, "SETVOL", zeros + "255"});
  EXPECT_EQ(volume.Output, "Setting volume to 255\r\n");
  const TRun word = RunJarvet({Dir, std::string(100000, 'F'), "10"});
  EXPECT_EQ(word.Status, 0);
  EXPECT_EQ(word.Output, "");
  // Not a directory: the name of an MPRIS player, which no player has.
  const TRun directory = RunJarvet({Dir + "/" + std::string(100000, 'd'), "INFO"});
  EXPECT_EQ(directory.Status, 3);
  EXPECT_EQ(directory.Output, "");
}

}  // namespace
}  // namespace jarvet::testing
