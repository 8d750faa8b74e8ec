// The benchmarks' audio files: ID3 tags built byte by byte, filler audio, sparse large files.
#include "SampleFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>

#include "support/TagBytes.h"

namespace jarvet::bench {

namespace {

using testing::Frame;
using testing::Tag;
using testing::TextFrame;
using testing::Unsynchronise;

constexpr std::size_t kAudioSize = 1024 * 1024;
constexpr std::size_t kTypicalPadding = 2048;  // what taggers leave for later edits
constexpr std::size_t kCoverPadding = 1024;
constexpr std::size_t kSmallFileSize = 1024;
constexpr std::size_t kTrailerSize = 128;
constexpr char kUnsynchronisedFlag = '\x80';
constexpr std::int64_t kTagHeaderSize = 10;
constexpr std::int64_t kFrameHeaderSize = 10;
constexpr std::int64_t kFrameReadLimit = 500;
constexpr std::int64_t kTypicalFrames = 8;
constexpr std::int64_t kCoverFrames = 6;  // the picture and five text frames

// Varied bytes, 0xFF among them, with a JPEG start marker.
std::string Picture(std::size_t size) {
  std::string bytes(size, '\0');
  std::uint32_t state = 0x12345678;
  for (char& c : bytes) {
    state = state * 1664525u + 1013904223u;
    c = static_cast<char>(state >> 24);
  }
  const char marker[] = {'\xFF', '\xD8', '\xFF', '\xE0'};
  bytes.replace(0, sizeof marker, marker, sizeof marker);
  return bytes;
}

std::string TextFrames(int majorVersion) {
  return TextFrame(majorVersion, "TIT2", "Evening Song") +
         TextFrame(majorVersion, "TPE1", "The Harbour Lights") +
         TextFrame(majorVersion, "TALB", "Tides") + TextFrame(majorVersion, "TYER", "2001") +
         TextFrame(majorVersion, "TRCK", "3/12");
}

std::string Audio(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(0x55 ^ (i & 0x3F));
  return bytes;
}

bool WriteAt(int fd, const std::string& bytes, off_t offset) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n =
        pwrite(fd, bytes.data() + done, bytes.size() - done, offset + static_cast<off_t>(done));
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// head at the start, trailer at the very end, a hole between when size asks for more.
bool WriteFile(const std::string& path, const std::string& head, const std::string& trailer,
               std::int64_t size) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok =
      WriteAt(fd, head, 0) && ftruncate(fd, static_cast<off_t>(size)) == 0 &&
      WriteAt(fd, trailer, static_cast<off_t>(size - static_cast<std::int64_t>(trailer.size())));
  ok = close(fd) == 0 && ok;
  return ok;
}

std::int64_t SizeOf(const std::string& head, const std::string& trailer) {
  return static_cast<std::int64_t>(head.size() + trailer.size());
}

std::string TypicalTag() {
  const std::string body =
      TextFrames(3) + TextFrame(3, "TCON", "(13)Pop") +
      Frame(3, "COMM", std::string("\0eng\0Recorded live at the harbour", 33)) +
      TextFrame(3, "TENC", "studio encoder 1.0");
  return Tag(3, body, 0, kTypicalPadding);
}

std::string CoverTag(int majorVersion, bool unsynchronised, std::size_t coverSize) {
  const std::string apic =
      Frame(majorVersion, "APIC", std::string("\0image/jpeg\0\x03\0", 14) + Picture(coverSize));
  const std::string body = apic + TextFrames(majorVersion) + std::string(kCoverPadding, '\0');
  if (!unsynchronised) return Tag(majorVersion, body, 0, 0);
  return Tag(majorVersion, Unsynchronise(body), kUnsynchronisedFlag, 0);
}

std::string TypicalTrailer() {
  std::string trailer = "TAG";
  const auto area = [&trailer](const std::string& text, std::size_t size) {
    trailer += text + std::string(size - text.size(), '\0');
  };
  area("Evening Song", 30);
  area("The Harbour Lights", 30);
  area("Tides", 30);
  area("2001", 4);
  area("", 28);
  trailer += '\0';
  trailer += '\x03';  // track
  trailer += '\x0D';  // genre
  return trailer;
}

}  // namespace

const std::vector<TSample>& AllSamples() {
  static const std::vector<TSample> all = {TSample::Typical,         TSample::Cover23,
                                           TSample::Cover23Small,    TSample::Cover24,
                                           TSample::Cover23Unsynced, TSample::TypicalSparse1GB,
                                           TSample::Trailer1KB,      TSample::TrailerSparse1GB};
  return all;
}

const char* SampleName(TSample kind) {
  switch (kind) {
    case TSample::Typical:
      return "v23-typical.mp3";
    case TSample::Cover23:
      return "v23-cover5mb-first.mp3";
    case TSample::Cover23Small:
      return "v23-cover64kb-first.mp3";
    case TSample::Cover24:
      return "v24-cover5mb-first.mp3";
    case TSample::Cover23Unsynced:
      return "v23-unsync-cover5mb-first.mp3";
    case TSample::TypicalSparse1GB:
      return "v23-typical-sparse1gb.mp3";
    case TSample::Trailer1KB:
      return "v11-only-1kb.mp3";
    case TSample::TrailerSparse1GB:
      return "v11-only-sparse1gb.mp3";
  }
  return "";
}

std::int64_t ReadBound(TSample kind) {
  const auto id3v2 = [](std::int64_t frames) {
    return kTagHeaderSize + (frames + 1) * kFrameHeaderSize + frames * kFrameReadLimit;
  };
  switch (kind) {
    case TSample::Typical:
    case TSample::TypicalSparse1GB:
      return id3v2(kTypicalFrames);
    case TSample::Cover23:
    case TSample::Cover23Small:
    case TSample::Cover24:
    case TSample::Cover23Unsynced:
      return id3v2(kCoverFrames);
    case TSample::Trailer1KB:
    case TSample::TrailerSparse1GB:
      return kTagHeaderSize + static_cast<std::int64_t>(kTrailerSize);
  }
  return 0;
}

std::string WriteSample(const std::string& dir, TSample kind) {
  const std::string path = dir + "/" + SampleName(kind);
  const std::string trailer = TypicalTrailer();
  std::string head;
  std::int64_t size = 0;
  switch (kind) {
    case TSample::Typical:
      head = TypicalTag() + Audio(kAudioSize);
      break;
    case TSample::Cover23:
      head = CoverTag(3, false, kCoverSize) + Audio(kAudioSize);
      break;
    case TSample::Cover23Small:
      head = CoverTag(3, false, kSmallCoverSize) + Audio(kAudioSize);
      break;
    case TSample::Cover24:
      head = CoverTag(4, false, kCoverSize) + Audio(kAudioSize);
      break;
    case TSample::Cover23Unsynced:
      head = CoverTag(3, true, kCoverSize) + Audio(kAudioSize);
      break;
    case TSample::TypicalSparse1GB:
      head = TypicalTag();
      size = kOneGigabyte;
      break;
    case TSample::Trailer1KB:
      head = Audio(kSmallFileSize - kTrailerSize);
      break;
    case TSample::TrailerSparse1GB:
      size = kOneGigabyte;
      break;
  }
  if (size == 0) size = SizeOf(head, trailer);
  return WriteFile(path, head, trailer, size) ? path : std::string();
}

}  // namespace jarvet::bench
