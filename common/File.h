// Reading an existing file without denying other programs reading or writing it meanwhile, and
// writing the whole of a file that the user named.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace jarvet {

// What other programs may do with the file while it is open here.
enum class TShare { ReadWrite, ReadOnly };
// How a file name is written: in the code page, or in UTF-8 (any character, also on Windows).
enum class TNameEncoding { CodePage, Utf8 };

class TReadOnlyFile {
 public:
  TReadOnlyFile() = default;
  ~TReadOnlyFile() { Close(); }
  TReadOnlyFile(const TReadOnlyFile&) = delete;
  TReadOnlyFile& operator=(const TReadOnlyFile&) = delete;

  // Every operation answers false on failure and leaves the error code in LastError.
  bool Open(const std::string& fileName, TShare share = TShare::ReadWrite,
            TNameEncoding encoding = TNameEncoding::CodePage);
  // Reads up to count bytes; got tells how many arrived (fewer only at the end of the file).
  bool Read(void* buffer, std::size_t count, std::size_t& got);
  bool Seek(std::int64_t offset);  // from the start of the file
  bool Position(std::int64_t& offset);
  bool Size(std::int64_t& size);
  bool Close();

  bool IsOpen() const { return Handle_ != kClosed; }
  // The failure as the Windows error codes count it (2 file not found, 3 path not found,
  // 4 too many open files, 5 access denied, 101 disk full); otherwise the platform's own code.
  int LastError() const { return LastError_; }

 private:
  static constexpr std::intptr_t kClosed = -1;
  std::intptr_t Handle_ = kClosed;
  int LastError_ = 0;
  std::string FileName_;
};

// Whether the path (UTF-8) names an existing directory.
bool IsDirectory(const std::string& path);

// The one list file that a caller prepares for the player to load.
extern const char kListFilePath[];

// The characters that separate the parts of a path: "/", and on Windows "\\" too (on POSIX a
// backslash is a character of a name).
extern const char kPathSeparators[];

// How long a write into a pipe or device may wait for its reader, at the most: the bound that
// no run exceeds (a player's message waits as long).
constexpr int kFileWriteTimeoutMs = 10000;

// What came of WriteFileContents.
struct TFileWriteResult {
  enum TProblem {
    None,      // written
    NoFolder,  // the folder the name points into does not exist (or is no folder)
    Folder,    // the name is a folder
    NoReader,  // a pipe or device did not take the contents within the timeout
    Failed,    // the system refused (rights, a full disk, ...)
  };
  TProblem Problem = None;
  // Why not, in words that follow "cannot write FILE: "; empty when written.
  std::string Reason;

  static TFileWriteResult Because(TProblem problem, std::string reason);
  static TFileWriteResult NobodyRead(int timeoutMs);  // NoReader, with the wait in words

  explicit operator bool() const { return Problem == None; }
  // The name itself is wrong (a folder, or inside none): the caller's argument, not the system.
  bool BadName() const { return Problem == NoFolder || Problem == Folder; }
};

// Writes contents as the whole of the file the user named (UTF-8), without ever replacing what
// the name stands for by something else. The one writer of every file a command produces (ART,
// WATCHFILE, WATCHART, the overlay server's cover file):
// - A symbolic link (a reparse point on Windows) is followed: what it points to is the file, and
//   the link stays a link. A link to nothing creates the file it points to.
// - A regular file, or none yet, is replaced whole: the contents are written beside it and
//   renamed over it, so that a reader sees the old contents or the new, never a part or no file.
//   The new file keeps the old one's mode and, where the program may set it, its owner (on
//   Windows its attributes); a file the program may not write is refused, not replaced.
// - Anything else that exists (a device, a FIFO, a socket; a device name or pipe on Windows) is
//   written into directly, never renamed over. A pipe or socket that nobody reads gives up after
//   timeoutMs (Problem NoReader). On POSIX the caller ignores SIGPIPE (PrepareProcess does).
// - A folder, or a name inside a folder that does not exist, is refused (Folder, NoFolder).
TFileWriteResult WriteFileContents(const std::string& fileName, std::string_view contents,
                                   int timeoutMs = kFileWriteTimeoutMs);

}  // namespace jarvet
