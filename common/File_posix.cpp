// Reading an existing file without denying other programs reading or writing it: POSIX.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>

#include "File.h"
#include "PlatformError.h"

namespace jarvet {

const char kListFilePath[] = "/tmp/winamp.m3u";

// POSIX has no share modes: another program's writing never stops the open here.
// File names are bytes here, whatever their encoding.
bool TReadOnlyFile::Open(const std::string& fileName, TShare, TNameEncoding) {
  Close();
  FileName_ = fileName;
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    LastError_ = WindowsErrorCode(errno, fileName);
    return false;
  }
  struct stat info {};
  if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    LastError_ = WindowsErrorCode(EISDIR, fileName);
    return false;
  }
  Handle_ = fd;
  return true;
}

bool TReadOnlyFile::Read(void* buffer, std::size_t count, std::size_t& got) {
  got = 0;
  auto* bytes = static_cast<char*>(buffer);
  while (got < count) {
    const ssize_t n = ::read(static_cast<int>(Handle_), bytes + got, count - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      LastError_ = WindowsErrorCode(errno, FileName_);
      return false;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

bool TReadOnlyFile::Seek(std::int64_t offset) {
  if (offset < 0 || lseek(static_cast<int>(Handle_), offset, SEEK_SET) < 0) {
    LastError_ = WindowsErrorCode(offset < 0 ? EINVAL : errno, FileName_);
    return false;
  }
  return true;
}

bool TReadOnlyFile::Position(std::int64_t& offset) {
  const off_t at = lseek(static_cast<int>(Handle_), 0, SEEK_CUR);
  if (at < 0) {
    LastError_ = WindowsErrorCode(errno, FileName_);
    return false;
  }
  offset = at;
  return true;
}

bool TReadOnlyFile::Size(std::int64_t& size) {
  struct stat info {};
  if (fstat(static_cast<int>(Handle_), &info) != 0) {
    LastError_ = WindowsErrorCode(errno, FileName_);
    return false;
  }
  size = info.st_size;
  return true;
}

bool TReadOnlyFile::Close() {
  if (Handle_ == kClosed) return true;
  const int fd = static_cast<int>(Handle_);
  Handle_ = kClosed;
  if (::close(fd) != 0 && errno != EINTR) {
    LastError_ = WindowsErrorCode(errno, FileName_);
    return false;
  }
  return true;
}

bool IsDirectory(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool ReplaceFileContents(const std::string& fileName, std::string_view contents, int& errorCode) {
  const std::string temporary = fileName + ".jarvet-" + std::to_string(getpid()) + ".tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    errorCode = WindowsErrorCode(errno, temporary);
    return false;
  }
  bool ok = true;
  for (std::size_t done = 0; ok && done < contents.size();) {
    const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  if (!ok) errorCode = WindowsErrorCode(errno, temporary);
  if (::close(fd) != 0 && ok) {
    ok = false;
    errorCode = WindowsErrorCode(errno, temporary);
  }
  if (ok && std::rename(temporary.c_str(), fileName.c_str()) != 0) {
    ok = false;
    errorCode = WindowsErrorCode(errno, fileName);
  }
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

}  // namespace jarvet
