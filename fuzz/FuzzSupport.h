// What the fuzz targets share: a check that stops the run with the input saved, a private
// scratch directory, and facts about text in the program's code page.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "support/TempDir.h"

namespace jarvet::fuzz {

// libFuzzer records an abort as a crash and keeps the input that caused it.
[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "invariant broken at %s:%d: %s\n", file, line, what);
  std::abort();
}

#define FUZZ_REQUIRE(condition) \
  ((condition) ? static_cast<void>(0) : ::jarvet::fuzz::Fail(#condition, __FILE__, __LINE__))

// Text is read in a UTF-8 locale, where one input byte may become several output bytes; that
// is the conversion with the most to get wrong.
inline void UseUtf8Locale() {
  if (std::setlocale(LC_ALL, "C.UTF-8") == nullptr) Fail("no C.UTF-8 locale", __FILE__, __LINE__);
}

// Well-formed UTF-8: no stray or missing continuation bytes, no overlong forms, no surrogates.
inline bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2
                               : lead >= 0xE0 && lead <= 0xEF             ? 3
                               : lead >= 0xF0 && lead <= 0xF4             ? 4
                                                                          : 0;
    if (length == 0 || i + length > text.size()) return false;
    char32_t value = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      value = (value << 6) | (next & 0x3F);
    }
    static constexpr char32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000)) {
      return false;
    }
    i += length;
  }
  return true;
}

// Characters of well-formed UTF-8.
inline std::size_t CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return count;
}

inline bool IsBlankOrControlByte(char c) { return static_cast<unsigned char>(c) <= 32; }

inline bool StartsTrimmed(std::string_view text) {
  return text.empty() || !IsBlankOrControlByte(text.front());
}
inline bool EndsTrimmed(std::string_view text) {
  return text.empty() || !IsBlankOrControlByte(text.back());
}

// A directory of this process's own, removed at exit: in memory where the system has a place
// for that, since every execution rewrites its files; else under the temporary directory.
class TScratchDir {
 public:
  TScratchDir() : Temp_("jarvet-fuzz", access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "") {
    if (!Temp_.Ok()) Fail("no scratch directory", __FILE__, __LINE__);
  }

  const std::string& Path() const { return Temp_.Path(); }
  std::string File(const char* name) const { return Temp_.File(name); }

 private:
  testing::TTempDir Temp_;
};

// Replaces the file's content; the readers under test take file names, not bytes.
inline void WriteWholeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) Fail("cannot write the scratch file", __FILE__, __LINE__);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) Fail("cannot write the scratch file", __FILE__, __LINE__);
    done += static_cast<std::size_t>(n);
  }
  close(fd);
}

// One per target process.
inline const TScratchDir& Scratch() {
  static const TScratchDir dir;
  return dir;
}

// A reader's Load lets no exception out, whatever the file holds.
template <typename TTag>
bool LoadWithoutThrowing(TTag& tag, const std::string& path) {
  try {
    return tag.Load(path);
  } catch (...) {
    Fail("Load let an exception out", __FILE__, __LINE__);
  }
}

// Loading again gives the same fields; loading a missing file leaves none of them behind.
template <typename TTag, typename TSame>
void CheckReload(const TTag& tag, const std::string& path, bool loaded, TSame sameFields) {
  TTag again = tag;
  FUZZ_REQUIRE(LoadWithoutThrowing(again, path) == loaded);
  FUZZ_REQUIRE(sameFields(again, tag));
  FUZZ_REQUIRE(!LoadWithoutThrowing(again, Scratch().File("missing.mp3")));
  FUZZ_REQUIRE(sameFields(again, TTag()));
}

}  // namespace jarvet::fuzz

// The entry points of a target whose inputs check runs on, in a UTF-8 locale.
#define JARVET_FUZZ_TARGET(check)                                                 \
  extern "C" int LLVMFuzzerInitialize(int*, char***) {                           \
    ::jarvet::fuzz::UseUtf8Locale();                                              \
    return 0;                                                                     \
  }                                                                               \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { \
    check(data, size);                                                            \
    return 0;                                                                     \
  }
