// Keeps this process from opening a file for reading: Win32, by holding it open without sharing.
#include <windows.h>

#include "support/DeniedFile.h"

namespace jarvet::testing {

TDeniedFile::TDeniedFile(const std::string& path) : Path_(path) {
  const HANDLE handle =
      CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    NotDenied_ = "cannot open it: error " + std::to_string(GetLastError());
  } else {
    Handle_ = reinterpret_cast<std::intptr_t>(handle);
  }
}

TDeniedFile::~TDeniedFile() {
  if (Handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(Handle_));
}

}  // namespace jarvet::testing
