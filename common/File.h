// Reading an existing file without denying other programs reading or writing it meanwhile.
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

// Gives the file (UTF-8 name) these contents whole: they are written beside it, then renamed
// over it, so that a reader sees the old contents or the new, never a part or no file. On
// failure answers false with the error code as LastError counts them.
bool ReplaceFileContents(const std::string& fileName, std::string_view contents, int& errorCode);

}  // namespace jarvet
