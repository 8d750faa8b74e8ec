// Reading an existing file without denying other programs reading or writing it, and writing
// the whole of a file the user named: POSIX.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "File.h"
#include "PlatformError.h"

namespace jarvet {

const char kListFilePath[] = "/tmp/winamp.m3u";
using TResult = TFileWriteResult;

const char kPathSeparators[] = "/";

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

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxLinks = 40;  // as many as the kernel follows in one path
constexpr int kRetryMs = 20;   // between tries to open a pipe that has no reader yet
constexpr int kMaxTemporaries = 100;


// An errno value in words that follow "cannot write FILE: ".
std::string ErrorWords(int error) {
  switch (error) {
    case EACCES:
    case EPERM: return "access denied";
    case ENOSPC:
    case EDQUOT: return "disk full";
    case EROFS: return "read-only file system";
    case ELOOP: return "too many symbolic links";
    case ENAMETOOLONG: return "name too long";
    case EPIPE:
    case ECONNRESET: return "the reader closed it";
    case ECONNREFUSED: return "nothing listens on the socket";
    case ENXIO: return "no device behind it";
    case EMSGSIZE: return "too long for the socket";
    case EMFILE:
    case ENFILE: return "too many open files";
    case EIO: return "device failure";
    default: {
      std::string text = std::strerror(error);
      if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') {
        text[0] = static_cast<char>(text[0] + 32);
      }
      return text;
    }
  }
}

TFileWriteResult Failed(int error) { return TResult::Because(TResult::Failed, ErrorWords(error)); }


std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// What a symbolic link holds; false when it can't be read.
bool ReadLink(const std::string& path, std::string& target) {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size());
    if (n < 0) return false;
    if (static_cast<std::size_t>(n) < buffer.size()) {
      target.assign(buffer.data(), static_cast<std::size_t>(n));
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
}

// Follows the symbolic links that the path's last part names until it names none (the folders
// on the way are the system's to follow); info then describes what it names. Answers 0 or the
// errno of the failure: ENOENT when the last part names nothing (yet).
int FollowLinks(std::string& path, struct stat& info) {
  for (int links = 0;; ++links) {
    if (lstat(path.c_str(), &info) != 0) return errno;
    if (!S_ISLNK(info.st_mode)) return 0;
    std::string target;
    if (links == kMaxLinks) return ELOOP;
    if (!ReadLink(path, target)) return errno;
    if (target.empty()) return ENOENT;
    if (target[0] != '/') {
      const std::string directory = DirectoryOf(path);
      if (directory != ".") target = (directory == "/" ? "" : directory) + "/" + target;
    }
    path = std::move(target);
  }
}

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  if (left <= 0) return 0;
  return static_cast<int>(std::min<long long>(left, std::numeric_limits<int>::max()));
}

// Waits until fd takes more bytes; false when the deadline passed first.
bool WaitWritable(int fd, Clock::time_point deadline) {
  for (;;) {
    pollfd entry{fd, POLLOUT, 0};
    const int ready = poll(&entry, 1, MillisecondsLeft(deadline));
    if (ready < 0 && errno == EINTR) continue;
    return ready > 0;
  }
}

void Pause(Clock::time_point deadline) {
  std::this_thread::sleep_for(
      std::chrono::milliseconds(std::min(kRetryMs, MillisecondsLeft(deadline))));
}

// Writes all of contents into fd, which does not block; 0, ETIMEDOUT past the deadline, or the
// errno of the failure.
int WriteAll(int fd, std::string_view contents, bool socket, Clock::time_point deadline) {
  while (!contents.empty()) {
    const ssize_t n = socket ? send(fd, contents.data(), contents.size(), MSG_NOSIGNAL)
                             : write(fd, contents.data(), contents.size());
    if (n > 0) {
      contents.remove_prefix(static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitWritable(fd, deadline)) return ETIMEDOUT;
    } else {
      return n < 0 ? errno : EIO;
    }
  }
  return 0;
}

// A connection to the Unix-domain socket at path, of the type it listens with; -1 with errno set.
int ConnectSocket(const std::string& path, Clock::time_point deadline) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    errno = ENAMETOOLONG;
    return -1;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  for (const int type : {SOCK_STREAM, SOCK_DGRAM, SOCK_SEQPACKET}) {
    const int fd = socket(AF_UNIX, type | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    for (;;) {
      if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return fd;
      if (errno == EINTR) continue;
      // A listener whose queue is full: it may take us in a moment.
      if (errno == EAGAIN && MillisecondsLeft(deadline) > 0) {
        Pause(deadline);
        continue;
      }
      if (errno == EINPROGRESS && WaitWritable(fd, deadline)) {
        int error = 0;
        socklen_t size = sizeof error;
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
        if (error == 0) return fd;
        errno = error;
      } else if (errno == EINPROGRESS || errno == EAGAIN) {
        errno = ETIMEDOUT;
      }
      break;
    }
    const int error = errno;
    ::close(fd);
    errno = error;
    if (error != EPROTOTYPE) return -1;
  }
  return -1;
}

// A device, a FIFO or a socket: opened (connected) and written into, never renamed over. A FIFO
// that no one reads yet refuses a writer that does not block; it is asked again until one comes.
TFileWriteResult WriteInto(const std::string& path, const struct stat& info,
                           std::string_view contents, Clock::time_point deadline, int timeoutMs) {
  const bool socket = S_ISSOCK(info.st_mode);
  int fd = -1;
  if (socket) {
    fd = ConnectSocket(path, deadline);
    if (fd < 0) return errno == ETIMEDOUT ? TResult::NobodyRead(timeoutMs) : Failed(errno);
  } else {
    for (;;) {
      fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
      if (fd >= 0) break;
      if (errno == EINTR) continue;
      if (errno != ENXIO || !S_ISFIFO(info.st_mode)) return Failed(errno);
      if (MillisecondsLeft(deadline) == 0) return TResult::NobodyRead(timeoutMs);
      Pause(deadline);
    }
  }
  const int error = WriteAll(fd, contents, socket, deadline);
  const int closed = ::close(fd) == 0 || errno == EINTR ? 0 : errno;
  if (error == ETIMEDOUT) return TResult::NobodyRead(timeoutMs);
  if (error != 0 || closed != 0) return Failed(error != 0 ? error : closed);
  return {};
}

// A regular file (old describes it), or none yet: the contents go into a new file beside it,
// which takes its mode and owner and is renamed over it.
TFileWriteResult ReplaceRegular(const std::string& path, const struct stat* old,
                                std::string_view contents) {
  // Replacing it would get round its rights: a file that may not be written is refused.
  if (old != nullptr && faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
    return Failed(errno);
  }
  const std::string stem = DirectoryOf(path) + "/.jarvet-" + std::to_string(getpid()) + "-";
  std::string temporary;
  int fd = -1;
  for (int n = 0; fd < 0; ++n) {
    temporary = stem + std::to_string(n) + ".tmp";
    // Never through a link or into a file that someone else put there.
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                old != nullptr ? 0600 : 0666);
    if (fd < 0 && (errno != EEXIST || n + 1 == kMaxTemporaries)) return Failed(errno);
  }
  int error = 0;
  if (old != nullptr) {
    // The owner first: a change of owner clears the set-user-ID bits that the mode then sets.
    if (fchown(fd, old->st_uid, old->st_gid) != 0) {
      [[maybe_unused]] const int groupOnly = fchown(fd, static_cast<uid_t>(-1), old->st_gid);
    }
    if (fchmod(fd, old->st_mode & 07777) != 0) error = errno;
  }
  if (error == 0) error = WriteAll(fd, contents, false, Clock::time_point::max());
  if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
  if (error == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    return Failed(error);
  }
  return {};
}

}  // namespace

TFileWriteResult WriteFileContents(const std::string& fileName, std::string_view contents,
                                   int timeoutMs) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  const TFileWriteResult noFolder = TResult::Because(TResult::NoFolder, "no such folder");
  if (fileName.empty()) return TResult::Because(TResult::NoFolder, "no file name");
  std::string path = fileName;
  struct stat info {};
  const int error = FollowLinks(path, info);
  if (error == 0) {
    if (S_ISDIR(info.st_mode)) return TResult::Because(TResult::Folder, "it is a folder");
    if (S_ISREG(info.st_mode)) return ReplaceRegular(path, &info, contents);
    return WriteInto(path, info, contents, deadline, timeoutMs);
  }
  if (error == ENOTDIR) return noFolder;
  if (error != ENOENT) return Failed(error);
  // Nothing there yet: a new file, in a folder that must exist ("name/" names a folder).
  if (path.back() == '/') return noFolder;
  struct stat folder {};
  if (stat(DirectoryOf(path).c_str(), &folder) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? noFolder : Failed(errno);
  }
  if (!S_ISDIR(folder.st_mode)) return noFolder;
  return ReplaceRegular(path, nullptr, contents);
}

}  // namespace jarvet
