// The share modes of TReadOnlyFile on Win32: what another program's open handle allows; and
// WriteFileContents: what the name stands for is written, never replaced by something else.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <fstream>
#include <future>
#include <sstream>

#include "support/TempDir.h"
#include "File.h"

namespace jarvet {
namespace {

TEST(ReadOnlyFileWin32, AWriterStopsOnlyTheOpenThatDeniesWriting) {
  const testing::TTempDir dir("file-share");
  ASSERT_TRUE(dir.Ok());
  const std::string path = dir.File("dump.m3u");
  std::ofstream(path, std::ios::binary) << "abc";
  const HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);

  TReadOnlyFile shared;
  ASSERT_TRUE(shared.Open(path, TShare::ReadWrite)) << shared.LastError();
  char bytes[8];
  std::size_t got = 0;
  EXPECT_TRUE(shared.Read(bytes, sizeof bytes, got));
  EXPECT_EQ(std::string(bytes, got), "abc");

  TReadOnlyFile exclusive;
  EXPECT_FALSE(exclusive.Open(path, TShare::ReadOnly));
  EXPECT_EQ(exclusive.LastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(writer);
  EXPECT_TRUE(exclusive.Open(path, TShare::ReadOnly)) << "the writer has gone";
}

TEST(ReadOnlyFileWin32, ErrorCodesAreThePlatformsOwn) {
  const testing::TTempDir dir("file-errors");
  ASSERT_TRUE(dir.Ok());
  const struct {
    std::string Path;
    int Code;
  } cases[] = {
      {dir.File("missing"), ERROR_FILE_NOT_FOUND},
      {dir.File("no-such-dir\\file"), ERROR_PATH_NOT_FOUND},
      {dir.Path(), ERROR_ACCESS_DENIED},  // a directory
      {dir.File("bad\"name"), ERROR_INVALID_NAME},
  };
  for (const auto& c : cases) {
    TReadOnlyFile file;
    EXPECT_FALSE(file.Open(c.Path));
    EXPECT_EQ(file.LastError(), c.Code) << c.Path;
  }
}

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(WriteFileWin32, AReplacedFileKeepsItsAttributes) {
  const testing::TTempDir dir("write-attributes");
  ASSERT_TRUE(dir.Ok());
  const std::string path = dir.File("now.txt");
  ASSERT_TRUE(WriteFileContents(path, "first"));
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  const TFileWriteResult result = WriteFileContents(path, "second");
  ASSERT_TRUE(result) << result.Reason;
  EXPECT_EQ(Contents(path), "second");
  const DWORD attributes = GetFileAttributesA(path.c_str());
  EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u) << "the file is no longer hidden";
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  // A read-only file is not replaced.
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  const TFileWriteResult readOnly = WriteFileContents(path, "third");
  EXPECT_EQ(readOnly.Problem, TFileWriteResult::Failed);
  EXPECT_EQ(readOnly.Reason, "access denied");
  EXPECT_EQ(Contents(path), "second");
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  // Nothing is left beside it.
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(dir.File("*").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  std::vector<std::string> names;
  do {
    if (std::string(found.cFileName) != "." && std::string(found.cFileName) != "..") {
      names.push_back(found.cFileName);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  EXPECT_EQ(names, std::vector<std::string>{"now.txt"});
}

TEST(WriteFileWin32, AFolderOrNoFolderIsSaidInWords) {
  const testing::TTempDir dir("write-folders");
  ASSERT_TRUE(dir.Ok());
  const struct {
    std::string Name;
    TFileWriteResult::TProblem Problem;
    const char* Reason;
  } cases[] = {
      {dir.Path(), TFileWriteResult::Folder, "it is a folder"},
      {dir.File("missing\\x.txt"), TFileWriteResult::NoFolder, "no such folder"},
      {dir.File("missing\\deeper\\x.txt"), TFileWriteResult::NoFolder, "no such folder"},
      {"", TFileWriteResult::NoFolder, "no file name"},
  };
  for (const auto& c : cases) {
    const TFileWriteResult result = WriteFileContents(c.Name, "x");
    EXPECT_EQ(result.Problem, c.Problem) << c.Name;
    EXPECT_EQ(result.Reason, c.Reason) << c.Name;
  }
}

// A named pipe is written into; one that no server offers is waited for, within the bound.
TEST(WriteFileWin32, ANamedPipeIsWrittenInto) {
  const std::string name = "\\\\.\\pipe\\jarvet-write-" + std::to_string(GetCurrentProcessId());
  const HANDLE server = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE, 1, 0,
                                         1 << 16, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  auto reader = std::async(std::launch::async, [server] {
    ConnectNamedPipe(server, nullptr);
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(server, buffer, sizeof buffer, &got, nullptr) && got > 0) {
      text.append(buffer, got);
    }
    return text;
  });
  const std::string big = std::string(200000, 'x') + "end";
  const TFileWriteResult result = WriteFileContents(name, big);
  EXPECT_TRUE(result) << result.Reason;
  EXPECT_TRUE(reader.get() == big);
  CloseHandle(server);

  const auto start = std::chrono::steady_clock::now();
  const TFileWriteResult none = WriteFileContents(name + "-none", "x", 300);
  EXPECT_EQ(none.Problem, TFileWriteResult::NoReader);
  EXPECT_EQ(none.Reason, "nothing read it within 300 ms");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// Wine's name of the POSIX file behind a Windows one; empty outside Wine.
std::string UnixName(const std::string& path) {
  using TUnixName = char*(CDECL*)(LPCWSTR);
  // Through void*: a FARPROC is no function of this type to the compiler.
  const auto unixName = reinterpret_cast<TUnixName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (unixName == nullptr) return std::string();
  const std::wstring wide(path.begin(), path.end());  // the temporary paths here are ASCII
  char* name = unixName(wide.c_str());
  if (name == nullptr) return std::string();
  std::string text = name;
  HeapFree(GetProcessHeap(), 0, name);
  return text;
}

// A symbolic link at link to the file target beside it: a reparse point on Windows; under Wine,
// whose CreateSymbolicLink makes nothing, a POSIX link made by ln, which Wine shows as a file.
bool MakeLink(const std::string& link, const std::string& target, bool& posix) {
  posix = false;
  if (CreateSymbolicLinkA(link.c_str(), target.c_str(),
                          SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
      GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES) {
    return true;
  }
  // Asked of the folder, which exists: Wine names a missing file as it would be spelt.
  const std::size_t slash = link.find_last_of('\\');
  const std::string unixFolder = UnixName(link.substr(0, slash));
  if (unixFolder.empty()) return false;
  std::string command = "/bin/ln -s " + target.substr(target.find_last_of('\\') + 1) + " \"" +
                        unixFolder + "/" + link.substr(slash + 1) + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  posix = true;
  // Wine's handle of a POSIX program does not wait for its end: the link is waited for.
  for (int i = 0; i < 200; ++i) {
    if (GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    Sleep(25);
  }
  return false;
}

// Deletes the link while what it leads to is still there: removing the folder would not end on a
// POSIX link to nothing under Wine.
struct TLinkRemover {
  std::string Link;
  ~TLinkRemover() { DeleteFileA(Link.c_str()); }
};

// The file the name leads to, links followed.
std::string FinalName(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  char name[MAX_PATH * 2];
  const DWORD length = GetFinalPathNameByHandleA(file, name, sizeof name, 0);
  CloseHandle(file);
  return std::string(name, length < sizeof name ? length : 0);
}

// A symbolic link is followed and stays a link.
TEST(WriteFileWin32, ALinkIsFollowedAndStaysALink) {
  const testing::TTempDir dir("write-link");
  ASSERT_TRUE(dir.Ok());
  const std::string target = dir.File("target.txt");
  const std::string link = dir.File("link.txt");
  std::ofstream(target, std::ios::binary) << "old";
  ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_HIDDEN));
  const TLinkRemover remover{link};
  bool posix = false;
  if (!MakeLink(link, target, posix)) {
    GTEST_SKIP() << "no symbolic link made here: error " << GetLastError();
  }
  const TFileWriteResult result = WriteFileContents(link, "new");
  ASSERT_TRUE(result) << result.Reason;
  EXPECT_EQ(Contents(target), "new") << "the link was replaced by a file";
  EXPECT_NE(GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  const std::string final = FinalName(link);
  ASSERT_GE(final.size(), 10u);
  EXPECT_EQ(final.substr(final.size() - 10), "target.txt") << "the link no longer leads there";
  if (!posix) {
    EXPECT_NE(GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
  }
}

}  // namespace
}  // namespace jarvet
