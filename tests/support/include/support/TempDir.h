// A fresh directory under the system's temporary directory (or under base), removed with all it
// holds.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace jarvet::testing {

class TTempDir {
 public:
  explicit TTempDir(const std::string& prefix, const std::string& base = std::string()) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path parent = base.empty() ? fs::temp_directory_path(error) : fs::path(base);
    if (error) return;
    std::mt19937_64 random(
        std::random_device{}() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int attempt = 0; attempt < 100; ++attempt) {
      const fs::path candidate = parent / (prefix + "-" + std::to_string(random() % 1000000000));
      // create_directory answers false for a directory that was there already.
      if (fs::create_directory(candidate, error)) {
        Path_ = candidate.string();
        return;
      }
      if (error) return;
    }
  }
  ~TTempDir() {
    if (Path_.empty()) return;
    namespace fs = std::filesystem;
    std::error_code ignored;
    // A test may have taken away our own rights; Windows deletes no read-only file.
    fs::permissions(Path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    std::error_code walking;
    fs::recursive_directory_iterator entry(Path_, walking);
    while (!walking && entry != fs::recursive_directory_iterator()) {
      fs::permissions(entry->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
      entry.increment(walking);
    }
    fs::remove_all(Path_, ignored);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  bool Ok() const { return !Path_.empty(); }
  // With the platform's separators, no separator at the end.
  const std::string& Path() const { return Path_; }
  std::string File(const std::string& name) const {
    return (std::filesystem::path(Path_) / name).string();
  }

 private:
  std::string Path_;
};

}  // namespace jarvet::testing
