// WriteFileContents on POSIX: what the user named is written, never replaced by something else.
// Every target here lives in a temporary directory; a device is only ever one made there.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>
#include <sstream>
#include <thread>

#include "File.h"
#include "support/TempDir.h"

namespace jarvet {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using TResult = TFileWriteResult;

constexpr uid_t kNobody = 65534;

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void Put(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::set<std::string> Names(const std::string& directory) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
  return info.st_mode;
}

// Reads the pipe or socket until its writer closes it.
std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  return text;
}

class WriteFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.Ok());
    std::signal(SIGPIPE, SIG_IGN);  // as jarvet's PrepareProcess does
  }
  std::string At(const std::string& name) const { return Dir.File(name); }
  testing::TTempDir Dir{"jarvet-write"};
};

TEST_F(WriteFileTest, ANewFileAndAReplacedOneLeaveNothingBeside) {
  ASSERT_TRUE(WriteFileContents(At("now.txt"), "first"));
  EXPECT_EQ(Contents(At("now.txt")), "first");
  ASSERT_TRUE(WriteFileContents(At("now.txt"), "second, longer"));
  ASSERT_TRUE(WriteFileContents(At("now.txt"), ""));
  EXPECT_EQ(Contents(At("now.txt")), "");
  EXPECT_EQ(Names(Dir.Path()), std::set<std::string>{"now.txt"}) << "no temporary file left";
  // A name without a folder part is in the working directory.
  const fs::path here = fs::current_path();
  fs::current_path(Dir.Path());
  const TResult relative = WriteFileContents("relative.txt", "r");
  fs::current_path(here);
  EXPECT_TRUE(relative) << relative.Reason;
  EXPECT_EQ(Contents(At("relative.txt")), "r");
}

// The fault: a file of mode 600 came back as 644 (and, written by root, root's).
TEST_F(WriteFileTest, AReplacedFileKeepsItsModeAndOwner) {
  Put(At("private.txt"), "old");
  ASSERT_EQ(chmod(At("private.txt").c_str(), 0600), 0);
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(At("private.txt").c_str(), kNobody, kNobody), 0);
  }
  const TResult result = WriteFileContents(At("private.txt"), "new");
  ASSERT_TRUE(result) << result.Reason;
  EXPECT_EQ(Contents(At("private.txt")), "new");
  EXPECT_EQ(ModeOf(At("private.txt")) & 07777, 0600u);
  Put(At("shared.txt"), "old");
  ASSERT_EQ(chmod(At("shared.txt").c_str(), 0664), 0);
  ASSERT_TRUE(WriteFileContents(At("shared.txt"), "new"));
  EXPECT_EQ(ModeOf(At("shared.txt")) & 07777, 0664u);
  if (!root) GTEST_SKIP() << "the owner is kept only where the program may set it: as root";
  struct stat info {};
  ASSERT_EQ(stat(At("private.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, kNobody);
  EXPECT_EQ(info.st_gid, kNobody);
}

// Replacing a file that may not be written would get round its rights (the folder's rights
// allow the rename). Root may write any file: as root, the write is tried as another user.
TEST_F(WriteFileTest, AFileThatMayNotBeWrittenIsNotReplaced) {
  Put(At("locked.txt"), "old");
  ASSERT_EQ(chmod(At("locked.txt").c_str(), 0444), 0);
  const auto refused = [this] {
    const TResult result = WriteFileContents(At("locked.txt"), "new");
    return result.Problem == TResult::Failed && result.Reason == "access denied" &&
           Contents(At("locked.txt")) == "old";
  };
  if (geteuid() != 0) {
    EXPECT_TRUE(refused());
    return;
  }
  ASSERT_EQ(chown(Dir.Path().c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(chown(At("locked.txt").c_str(), kNobody, kNobody), 0);
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(2);
    _exit(refused() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "cannot become user " << kNobody;
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the read-only file was replaced";
  EXPECT_EQ(Contents(At("locked.txt")), "old");
}

// The fault: the link was replaced by a file, and what it pointed to kept its old text.
TEST_F(WriteFileTest, ALinkIsFollowedAndStaysALink) {
  Put(At("target.txt"), "old");
  ASSERT_EQ(chmod(At("target.txt").c_str(), 0640), 0);
  ASSERT_EQ(symlink("target.txt", At("link").c_str()), 0);  // relative to the link's folder
  ASSERT_EQ(symlink(At("link").c_str(), At("link-to-link").c_str()), 0);
  fs::create_directory(At("sub"));
  ASSERT_EQ(symlink("../target.txt", At("sub/up").c_str()), 0);

  for (const char* name : {"link", "link-to-link", "sub/up"}) {
    const TResult result = WriteFileContents(At(name), std::string("through ") + name);
    ASSERT_TRUE(result) << name << ": " << result.Reason;
    EXPECT_TRUE(S_ISLNK(ModeOf(At(name)))) << name;
    EXPECT_EQ(Contents(At("target.txt")), std::string("through ") + name);
    EXPECT_EQ(ModeOf(At("target.txt")) & 07777, 0640u);
  }
  // A link to nothing makes the file it points to.
  ASSERT_EQ(symlink("made.txt", At("dangling").c_str()), 0);
  ASSERT_TRUE(WriteFileContents(At("dangling"), "made"));
  EXPECT_TRUE(S_ISLNK(ModeOf(At("dangling"))));
  EXPECT_EQ(Contents(At("made.txt")), "made");
  EXPECT_EQ(Names(Dir.Path()), (std::set<std::string>{"dangling", "link", "link-to-link",
                                                      "made.txt", "sub", "target.txt"}));
  // Links that go round in a circle lead nowhere.
  ASSERT_EQ(symlink("circle-b", At("circle-a").c_str()), 0);
  ASSERT_EQ(symlink("circle-a", At("circle-b").c_str()), 0);
  const TResult circle = WriteFileContents(At("circle-a"), "x");
  EXPECT_EQ(circle.Problem, TResult::Failed);
  EXPECT_EQ(circle.Reason, "too many symbolic links");
  EXPECT_TRUE(S_ISLNK(ModeOf(At("circle-a"))));
}

// The fault: the FIFO was replaced by a regular file that nobody reads.
TEST_F(WriteFileTest, AFifoIsWrittenInto) {
  ASSERT_EQ(mkfifo(At("fifo").c_str(), 0600), 0);
  std::string big(200000, 'x');  // more than the pipe holds at once
  big += "end";
  auto reader = std::async(std::launch::async, [this] {
    return ReadAll(open(At("fifo").c_str(), O_RDONLY | O_CLOEXEC));
  });
  const TResult result = WriteFileContents(At("fifo"), big);
  EXPECT_TRUE(result) << result.Reason;
  EXPECT_TRUE(reader.get() == big);
  EXPECT_TRUE(S_ISFIFO(ModeOf(At("fifo"))));
  // A reader that comes a moment late is waited for.
  auto late = std::async(std::launch::async, [this] {
    std::this_thread::sleep_for(300ms);
    return ReadAll(open(At("fifo").c_str(), O_RDONLY | O_CLOEXEC));
  });
  EXPECT_TRUE(WriteFileContents(At("fifo"), "late"));
  EXPECT_EQ(late.get(), "late");
  EXPECT_EQ(Names(Dir.Path()), std::set<std::string>{"fifo"});
}

TEST_F(WriteFileTest, AFifoThatNobodyReadsIsGivenUpWithinTheBound) {
  ASSERT_EQ(mkfifo(At("fifo").c_str(), 0600), 0);
  const auto start = std::chrono::steady_clock::now();
  const TResult result = WriteFileContents(At("fifo"), "text", 300);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(result.Problem, TResult::NoReader);
  EXPECT_EQ(result.Reason, "nothing read it within 300 ms");
  EXPECT_GE(took, 300ms);
  EXPECT_LT(took, 2s);
  EXPECT_TRUE(S_ISFIFO(ModeOf(At("fifo"))));

  // A reader that opens the pipe but never reads: the writes give up at the same bound.
  const int reader = open(At("fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  const TResult stuck = WriteFileContents(At("fifo"), std::string(1 << 20, 'x'), 300);
  EXPECT_EQ(stuck.Problem, TResult::NoReader);
  close(reader);
}

TEST_F(WriteFileTest, ASocketIsWrittenInto) {
  const std::string path = At("socket");
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 1), 0);
  auto reader = std::async(std::launch::async, [listener] {
    return ReadAll(accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
  });
  const TResult result = WriteFileContents(path, "to the socket");
  EXPECT_TRUE(result) << result.Reason;
  EXPECT_EQ(reader.get(), "to the socket");
  EXPECT_TRUE(S_ISSOCK(ModeOf(path)));
  close(listener);
  // Nobody listens any more.
  const TResult refused = WriteFileContents(path, "x");
  EXPECT_EQ(refused.Problem, TResult::Failed);
  EXPECT_EQ(refused.Reason, "nothing listens on the socket");
  EXPECT_TRUE(S_ISSOCK(ModeOf(path)));
}

// A device of our own making: the null device's numbers, in the temporary directory. Were it
// renamed over, only that node would go.
TEST_F(WriteFileTest, ADeviceIsWrittenInto) {
  if (mknod(At("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
    GTEST_SKIP() << "cannot make a device node here: " << std::strerror(errno);
  }
  const TResult result = WriteFileContents(At("null"), "into the device");
  EXPECT_TRUE(result) << result.Reason;
  EXPECT_TRUE(S_ISCHR(ModeOf(At("null"))));
  EXPECT_EQ(Names(Dir.Path()), std::set<std::string>{"null"});
}

TEST_F(WriteFileTest, AFolderOrNoFolderIsSaidInWords) {
  fs::create_directory(At("folder"));
  Put(At("plain.txt"), "x");
  ASSERT_EQ(symlink("folder", At("folder-link").c_str()), 0);
  const struct {
    std::string Name;
    TResult::TProblem Problem;
    const char* Reason;
  } cases[] = {
      {At("folder"), TResult::Folder, "it is a folder"},
      {At("folder") + "/", TResult::Folder, "it is a folder"},
      {At("folder-link"), TResult::Folder, "it is a folder"},
      {At("missing/x.txt"), TResult::NoFolder, "no such folder"},
      {At("missing/deeper/x.txt"), TResult::NoFolder, "no such folder"},
      {At("plain.txt/x.txt"), TResult::NoFolder, "no such folder"},
      {At("new/"), TResult::NoFolder, "no such folder"},
      {"", TResult::NoFolder, "no file name"},
  };
  for (const auto& c : cases) {
    const TResult result = WriteFileContents(c.Name, "x");
    EXPECT_EQ(result.Problem, c.Problem) << c.Name;
    EXPECT_TRUE(result.BadName()) << c.Name;
    EXPECT_EQ(result.Reason, c.Reason) << c.Name;
  }
  EXPECT_TRUE(fs::is_directory(At("folder")));
  EXPECT_TRUE(fs::is_empty(At("folder")));
  EXPECT_EQ(Contents(At("plain.txt")), "x");
}

}  // namespace
}  // namespace jarvet
