// The share modes of TReadOnlyFile on Win32: what another program's open handle allows.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>

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

}  // namespace
}  // namespace jarvet
