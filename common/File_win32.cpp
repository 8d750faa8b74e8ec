// Reading an existing file without denying other programs reading or writing it: Win32.
#include <windows.h>

#include <algorithm>

#include "File.h"
#include "Unicode.h"

namespace jarvet {

const char kListFilePath[] = "C:\\winamp.m3u";

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

bool ReplaceFileContents(const std::string& fileName, std::string_view contents, int& errorCode) {
  constexpr int kTries = 50;  // a reader without delete sharing holds the name a moment
  constexpr DWORD kRetryMs = 10;
  const std::u16string target = Utf8ToUtf16(fileName);
  const std::u16string temporary =
      Utf8ToUtf16(fileName + ".jarvet-" + std::to_string(GetCurrentProcessId()) + ".tmp");
  const auto* targetName = reinterpret_cast<const wchar_t*>(target.c_str());
  const auto* temporaryName = reinterpret_cast<const wchar_t*>(temporary.c_str());
  const HANDLE file = CreateFileW(temporaryName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    errorCode = static_cast<int>(GetLastError());
    return false;
  }
  DWORD written = 0;
  bool ok = contents.empty() ||
            (WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written,
                       nullptr) &&
             written == contents.size());
  if (!ok) errorCode = static_cast<int>(GetLastError());
  CloseHandle(file);
  for (int i = 0; ok; ++i) {
    if (MoveFileExW(temporaryName, targetName, MOVEFILE_REPLACE_EXISTING)) break;
    if (i + 1 == kTries) {
      ok = false;
      errorCode = static_cast<int>(GetLastError());
    } else {
      Sleep(kRetryMs);
    }
  }
  if (!ok) DeleteFileW(temporaryName);
  return ok;
}

}  // namespace jarvet
