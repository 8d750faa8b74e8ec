// Reading an existing file without denying other programs reading or writing it, and writing
// the whole of a file the user named: Win32.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <vector>

#include "File.h"
#include "Unicode.h"

namespace jarvet {

const char kListFilePath[] = "C:\\winamp.m3u";
using TResult = TFileWriteResult;

const char kPathSeparators[] = "/\\";

static HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

bool TReadOnlyFile::Open(const std::string& fileName, TShare share, TNameEncoding encoding) {
  Close();
  FileName_ = fileName;
  const DWORD shareMode =
      share == TShare::ReadWrite ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
  HANDLE handle =
      encoding == TNameEncoding::Utf8
          ? CreateFileW(reinterpret_cast<const wchar_t*>(Utf8ToUtf16(fileName).c_str()),
                        GENERIC_READ, shareMode, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                        nullptr)
          : CreateFileA(fileName.c_str(), GENERIC_READ, shareMode, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    LastError_ = static_cast<int>(GetLastError());
    return false;
  }
  Handle_ = reinterpret_cast<std::intptr_t>(handle);
  return true;
}

bool TReadOnlyFile::Read(void* buffer, std::size_t count, std::size_t& got) {
  got = 0;
  auto* bytes = static_cast<char*>(buffer);
  while (got < count) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - got, 1u << 30));
    DWORD n = 0;
    if (!ReadFile(AsHandle(Handle_), bytes + got, chunk, &n, nullptr)) {
      LastError_ = static_cast<int>(GetLastError());
      return false;
    }
    if (n == 0) break;
    got += n;
  }
  return true;
}

bool TReadOnlyFile::Seek(std::int64_t offset) {
  LARGE_INTEGER to;
  to.QuadPart = offset;
  if (offset < 0) {
    LastError_ = ERROR_NEGATIVE_SEEK;
    return false;
  }
  if (!SetFilePointerEx(AsHandle(Handle_), to, nullptr, FILE_BEGIN)) {
    LastError_ = static_cast<int>(GetLastError());
    return false;
  }
  return true;
}

bool TReadOnlyFile::Position(std::int64_t& offset) {
  LARGE_INTEGER zero{};
  LARGE_INTEGER at{};
  if (!SetFilePointerEx(AsHandle(Handle_), zero, &at, FILE_CURRENT)) {
    LastError_ = static_cast<int>(GetLastError());
    return false;
  }
  offset = at.QuadPart;
  return true;
}

bool TReadOnlyFile::Size(std::int64_t& size) {
  LARGE_INTEGER length{};
  if (!GetFileSizeEx(AsHandle(Handle_), &length)) {
    LastError_ = static_cast<int>(GetLastError());
    return false;
  }
  size = length.QuadPart;
  return true;
}

bool TReadOnlyFile::Close() {
  if (Handle_ == kClosed) return true;
  HANDLE handle = AsHandle(Handle_);
  Handle_ = kClosed;
  if (!CloseHandle(handle)) {
    LastError_ = static_cast<int>(GetLastError());
    return false;
  }
  return true;
}

bool IsDirectory(const std::string& path) {
  const std::u16string name = Utf8ToUtf16(path);
  const DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t*>(name.c_str()));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

namespace {

constexpr int kMoveTries = 50;  // a reader without delete sharing holds the name a moment
constexpr DWORD kRetryMs = 10;
constexpr int kMaxTemporaries = 100;
// What a replacement keeps of the old file's attributes; a read-only one is not replaced.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

using Clock = std::chrono::steady_clock;


// A Windows error code in words that follow "cannot write FILE: ".
std::string ErrorWords(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED: return "access denied";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return "another program holds it open";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return "disk full";
    case ERROR_WRITE_PROTECT: return "the medium is write-protected";
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY: return "not a valid file name";
    case ERROR_FILENAME_EXCED_RANGE: return "name too long";
    case ERROR_CANT_RESOLVE_FILENAME: return "too many symbolic links";
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA: return "the reader closed it";
    case ERROR_TOO_MANY_OPEN_FILES: return "too many open files";
    default: return "Windows error " + std::to_string(error);
  }
}

TFileWriteResult Failed(DWORD error) {
  return TResult::Because(TResult::Failed, ErrorWords(error));
}


const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

DWORD MillisecondsLeft(Clock::time_point deadline) {
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<DWORD>(std::min<long long>(left, 0x7FFFFFFF)) : 0;
}

// "\\.\pipe\name" (also "\\?\" and forward slashes): a named pipe, which is not to be opened but
// to write into: each open takes one of the server's instances.
bool IsPipeName(const std::string& name) {
  if (name.size() < 9) return false;
  std::string start = name.substr(0, 9);
  for (char& c : start) {
    c = c == '/' ? '\\' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return start == "\\\\.\\pipe\\" || start == "\\\\?\\pipe\\";
}

bool WriteWhole(HANDLE file, std::string_view contents, DWORD& error) {
  while (!contents.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(contents.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, contents.data(), chunk, &written, nullptr)) {
      error = GetLastError();
      return false;
    }
    if (written == 0) {
      error = ERROR_WRITE_FAULT;
      return false;
    }
    contents.remove_prefix(written);
  }
  return true;
}

// A named pipe: its server may not have an instance free yet; the writes wait for its reading,
// all of it within the deadline.
TFileWriteResult WriteIntoPipe(const std::u16string& name, std::string_view contents,
                               Clock::time_point deadline, int timeoutMs) {
  HANDLE pipe = INVALID_HANDLE_VALUE;
  for (;;) {
    pipe = CreateFileW(Wide(name), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                       nullptr);
    if (pipe != INVALID_HANDLE_VALUE) break;
    const DWORD error = GetLastError();
    if (error != ERROR_PIPE_BUSY && error != ERROR_FILE_NOT_FOUND) return Failed(error);
    if (MillisecondsLeft(deadline) == 0) return TResult::NobodyRead(timeoutMs);
    if (error == ERROR_PIPE_BUSY) {
      WaitNamedPipeW(Wide(name), std::max<DWORD>(1, MillisecondsLeft(deadline)));
    } else {
      Sleep(std::min(kRetryMs, MillisecondsLeft(deadline)));
    }
  }
  OVERLAPPED overlapped{};
  overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  TFileWriteResult result;
  while (!contents.empty() && result) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(contents.size(), 1u << 20));
    DWORD written = 0;
    if (!WriteFile(pipe, contents.data(), chunk, &written, &overlapped)) {
      const DWORD error = GetLastError();
      if (error != ERROR_IO_PENDING) {
        result = Failed(error);
        break;
      }
      if (WaitForSingleObject(overlapped.hEvent, MillisecondsLeft(deadline)) != WAIT_OBJECT_0) {
        CancelIo(pipe);
        GetOverlappedResult(pipe, &overlapped, &written, TRUE);
        result = TResult::NobodyRead(timeoutMs);
        break;
      }
      if (!GetOverlappedResult(pipe, &overlapped, &written, FALSE)) {
        result = Failed(GetLastError());
        break;
      }
    }
    contents.remove_prefix(written);
  }
  if (overlapped.hEvent != nullptr) CloseHandle(overlapped.hEvent);
  CloseHandle(pipe);
  return result;
}

// A device (NUL, CON, COM1, ...): opened and written into. Also a link to nothing, whose file is
// made where it points, through it (creation CREATE_ALWAYS).
TFileWriteResult WriteInto(const std::u16string& name, std::string_view contents,
                           DWORD creation = OPEN_EXISTING) {
  const HANDLE device = CreateFileW(Wide(name), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, creation, 0, nullptr);
  if (device == INVALID_HANDLE_VALUE) return Failed(GetLastError());
  DWORD error = 0;
  const bool ok = WriteWhole(device, contents, error);
  CloseHandle(device);
  return ok ? TFileWriteResult() : Failed(error);
}

// A regular file, or none yet: the contents go into a new file beside it, with its attributes,
// which is renamed over it.
TFileWriteResult ReplaceRegular(const std::u16string& target, DWORD attributes,
                                std::string_view contents) {
  std::u16string temporary;
  HANDLE file = INVALID_HANDLE_VALUE;
  const std::u16string stem =
      target + Utf8ToUtf16(".jarvet-" + std::to_string(GetCurrentProcessId()) + "-");
  for (int n = 0; file == INVALID_HANDLE_VALUE; ++n) {
    temporary = stem + Utf8ToUtf16(std::to_string(n) + ".tmp");
    file = CreateFileW(Wide(temporary), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes, nullptr);
    const DWORD error = GetLastError();
    if (file == INVALID_HANDLE_VALUE &&
        ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) ||
         n + 1 == kMaxTemporaries)) {
      return Failed(error);
    }
  }
  DWORD error = 0;
  bool ok = WriteWhole(file, contents, error);
  CloseHandle(file);
  for (int i = 0; ok; ++i) {
    if (MoveFileExW(Wide(temporary), Wide(target), MOVEFILE_REPLACE_EXISTING)) break;
    error = GetLastError();
    if (i + 1 == kMoveTries) {
      ok = false;
    } else {
      Sleep(kRetryMs);
    }
  }
  if (!ok) {
    // A hidden or system temporary file is deleted like any other.
    SetFileAttributesW(Wide(temporary), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(Wide(temporary));
    return Failed(error);
  }
  return {};
}

// The path of the open file, reparse points (symbolic links, junctions) followed, in the "\\?\"
// form; empty when the system can't tell it. Wine shows a POSIX symbolic link as a plain file,
// but follows it here too.
std::u16string FinalPath(HANDLE file) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetFinalPathNameByHandleW(file, buffer.data(),
                                                   static_cast<DWORD>(buffer.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return std::u16string();
    if (length < buffer.size()) {
      return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()), length);
    }
    buffer.resize(length + 1);
  }
}

}  // namespace

TFileWriteResult WriteFileContents(const std::string& fileName, std::string_view contents,
                                   int timeoutMs) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  const TFileWriteResult noFolder = TResult::Because(TResult::NoFolder, "no such folder");
  if (fileName.empty()) return TResult::Because(TResult::NoFolder, "no file name");
  const std::u16string name = Utf8ToUtf16(fileName);
  if (IsPipeName(fileName)) return WriteIntoPipe(name, contents, deadline, timeoutMs);
  // Opened only to ask what it is, following reparse points (and opening a folder too).
  const HANDLE probe = CreateFileW(Wide(name), 0,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    const DWORD own = GetFileAttributesW(Wide(name));
    if (error == ERROR_FILE_NOT_FOUND && own != INVALID_FILE_ATTRIBUTES &&
        (own & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      return WriteInto(name, contents, CREATE_ALWAYS);  // a link to nothing
    }
    if (error == ERROR_PATH_NOT_FOUND) return noFolder;
    if (error != ERROR_FILE_NOT_FOUND) return Failed(error);
    const char last = fileName.back();
    if (last == '\\' || last == '/') return noFolder;
    return ReplaceRegular(name, 0, contents);
  }
  const DWORD type = GetFileType(probe);
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = type == FILE_TYPE_DISK && GetFileInformationByHandle(probe, &info);
  const DWORD error = GetLastError();
  // The file itself is replaced, wherever the name's links lead: the links stay.
  std::u16string target = known ? FinalPath(probe) : std::u16string();
  if (target.empty()) target = name;
  CloseHandle(probe);
  if (type != FILE_TYPE_DISK) return WriteInto(name, contents);
  if (!known) return Failed(error);
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return TResult::Because(TResult::Folder, "it is a folder");
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) return Failed(ERROR_ACCESS_DENIED);
  return ReplaceRegular(target, info.dwFileAttributes & kKeptAttributes, contents);
}

}  // namespace jarvet
