// Keeps this process from opening an existing file for reading while the object lives.
#pragma once

#include <cstdint>
#include <string>

namespace jarvet::testing {

class TDeniedFile {
 public:
  explicit TDeniedFile(const std::string& path);
  ~TDeniedFile();
  TDeniedFile(const TDeniedFile&) = delete;
  TDeniedFile& operator=(const TDeniedFile&) = delete;

  // Empty when the file is denied; otherwise why this platform could not deny it.
  const std::string& NotDenied() const { return NotDenied_; }

 private:
  std::string Path_;
  std::string NotDenied_;
  std::intptr_t Handle_ = -1;
};

}  // namespace jarvet::testing
