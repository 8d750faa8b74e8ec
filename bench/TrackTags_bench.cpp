// ReadTrackTags beside TagLib on the same files, one sample per format with 1 KB, 1 MB and 1 GB
// (sparse) of audio and with a 5 MB cover picture. Each of our runs reports the bytes it read
// from the file: they should not grow with the audio or the picture. TagLib opens the file
// without its audio properties and reads its property map, the nearest thing it does to ours.
#include <benchmark/benchmark.h>
#include <fileref.h>
#include <tpropertymap.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "ByteSource.h"
#include "TempDir.h"
#include "TrackTagBytes.h"
#include "TrackTags.h"

namespace jarvet::bench {

namespace {

using namespace jarvet::testing;
using namespace std::string_literals;

constexpr char kTitle[] = "Evening Song";
constexpr std::int64_t kKilobyte = 1024;
constexpr std::int64_t kMegabyte = 1024 * kKilobyte;
constexpr std::int64_t kGigabyte = 1024 * kMegabyte;
constexpr std::size_t kPictureSize = 5 * 1024 * 1024;

// A file in three parts: bytes, a gap of zeros (sparse where the file system allows), bytes.
struct TLayout {
  std::string Head;
  std::int64_t Gap = 0;
  std::string Tail;
};

struct TVariant {
  const char* Name;
  std::int64_t Audio;
  bool Picture;
};

const TVariant kVariants[] = {{"audio-1kb", kKilobyte, false},
                              {"audio-1mb", kMegabyte, false},
                              {"audio-1gb-sparse", kGigabyte, false},
                              {"audio-1mb-picture-5mb", kMegabyte, true}};

std::string Picture(bool wanted) { return wanted ? std::string(kPictureSize, '\x89') : "PNG"; }

std::string L1(const std::string& text) { return '\0' + text; }

TLayout Mp3(std::int64_t audio, bool picture) {
  const std::string frames = Id3Frame(3, "APIC", L1("image/png\0\3\0"s) + Picture(picture)) +
                             Id3Frame(3, "TIT2", L1(kTitle)) + Id3Frame(3, "TPE1", L1("Artist")) +
                             Id3Frame(3, "TRCK", L1("3/12"));
  return {Id3Tag(3, frames, 0, 1024) + "\xFF\xFB", audio, ""};
}

TLayout Flac(std::int64_t audio, bool picture) {
  return {"fLaC" + FlacStreamInfo() +
              FlacBlock(6, FlacPicture(3, "image/png", Picture(picture)), false) +
              FlacBlock(4, VorbisComment({std::string("TITLE=") + kTitle, "TRACKNUMBER=3"}), true),
          audio, ""};
}

std::string Base64(const std::string& bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const auto n = static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i]) << 16 |
                                              static_cast<std::uint8_t>(bytes[i + 1]) << 8 |
                                              static_cast<std::uint8_t>(bytes[i + 2]));
    for (int shift = 18; shift >= 0; shift -= 6) out += kDigits[(n >> shift) & 63];
  }
  if (i < bytes.size()) {  // one or two bytes left
    std::uint32_t n = static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i]) << 16);
    if (i + 1 < bytes.size())
      n |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i + 1]) << 8);
    out += kDigits[(n >> 18) & 63];
    out += kDigits[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(n >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

TLayout OggVorbis(std::int64_t audio, bool picture) {
  const std::string identification = "\x01vorbis" + std::string(23, '\0');
  const std::string comment =
      "\x03vorbis" +
      VorbisComment(
          {"METADATA_BLOCK_PICTURE=" + Base64(FlacPicture(3, "image/png", Picture(picture))),
           std::string("TITLE=") + kTitle, "TRACKNUMBER=3"}) +
      '\1';
  return {OggStream({identification, comment}, 1), audio, ""};
}

TLayout M4a(std::int64_t audio, bool picture) {
  const std::string items =
      Mp4Item("covr", 14, Picture(picture)) + Mp4Item("\xA9nam", 1, kTitle) +
      Mp4Item("trkn", 0, BigEndian(3, 4) + BigEndian(12, 2) + BigEndian(0, 2));
  // moov last, behind the media data, as a file not made for streaming has it.
  const std::string mdat =
      BigEndian(1, 4) + "mdat" + BigEndian(16 + static_cast<std::uint64_t>(audio), 8);
  return {Mp4Ftyp() + mdat, audio, Mp4Moov(items)};
}

TLayout Wave(std::int64_t audio, bool picture) {
  const std::string id3 =
      Id3Tag(3, Id3Frame(3, "APIC", L1("image/png\0\3\0"s) + Picture(picture)) +
                    Id3Frame(3, "TIT2", L1(kTitle)) + Id3Frame(3, "TRCK", L1("3")));
  const std::string tail = RiffChunk("id3 ", id3);
  const std::string head = "WAVE" + RiffChunk("fmt ", std::string(16, '\0')) + "data" +
                           LittleEndian(static_cast<std::uint64_t>(audio), 4);
  const std::uint64_t riffSize = head.size() + static_cast<std::uint64_t>(audio) + tail.size();
  return {"RIFF" + LittleEndian(riffSize, 4) + head, audio, tail};
}

TLayout MpegWithApe(std::int64_t audio, bool picture) {
  std::string tag = ApeTag({{"Title", kTitle}, {"Track", "3"}});
  {
    // The picture item, with the footer's size and count raised to take it in.
    const std::string cover = "cover.png\0"s + Picture(picture);
    const std::string item =
        LittleEndian(cover.size(), 4) + LittleEndian(2, 4) + "Cover Art (Front)" + '\0' + cover;
    const std::string items = item + tag.substr(0, tag.size() - 32);
    tag = items + "APETAGEX" + LittleEndian(2000, 4) + LittleEndian(items.size() + 32, 4) +
          LittleEndian(3, 4) + LittleEndian(0, 4) + std::string(8, '\0');
  }
  return {"\xFF\xFB", audio, tag};
}

struct TFormat {
  const char* Name;
  const char* Extension;
  TLayout (*Make)(std::int64_t audio, bool picture);
};

// TagLib tells the format by the file name's extension.
const TFormat kFormats[] = {{"mp3-id3v2", ".mp3", Mp3},        {"flac", ".flac", Flac},
                            {"ogg-vorbis", ".ogg", OggVorbis}, {"m4a-moov-last", ".m4a", M4a},
                            {"wav-id3", ".wav", Wave},         {"mp3-apev2", ".mp3", MpegWithApe}};

bool WriteLayout(const std::string& path, const TLayout& layout) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(layout.Head.data(), static_cast<std::streamsize>(layout.Head.size()));
    if (!out) return false;
  }
  std::error_code error;
  std::filesystem::resize_file(path, layout.Head.size() + static_cast<std::uintmax_t>(layout.Gap),
                               error);
  if (error) return false;
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out.write(layout.Tail.data(), static_cast<std::streamsize>(layout.Tail.size()));
  return static_cast<bool>(out);
}

// The sample files, written once on first use.
class TSamples {
 public:
  static TSamples& Get() {
    static TSamples samples;
    return samples;
  }
  const std::string& Path(const TFormat& format, const TVariant& variant) {
    const std::string name = std::string(format.Name) + "-" + variant.Name;
    auto found = Paths_.find(name);
    if (found == Paths_.end()) {
      const std::string path = Dir_.Path() + "/" + name + format.Extension;
      const bool written =
          Dir_.Ok() && WriteLayout(path, format.Make(variant.Audio, variant.Picture));
      found = Paths_.emplace(name, written ? path : "").first;
    }
    return found->second;
  }

 private:
  TSamples() : Dir_("jarvet-tracktags-bench") {}
  TTempDir Dir_;
  std::map<std::string, std::string> Paths_;
};

void Ours(benchmark::State& state, const TFormat& format, const TVariant& variant) {
  const std::string& path = TSamples::Get().Path(format, variant);
  if (path.empty()) return state.SkipWithError("cannot write the sample file");
  std::uint64_t bytesRead = 0;
  tags::TTrackTags record;
  for (auto _ : state) {
    tags::TFileSource source;
    if (!source.Open(path)) return state.SkipWithError("cannot open the sample file");
    record = tags::ReadTrackTags(source);
    bytesRead = source.BytesRead();
    benchmark::DoNotOptimize(record);
  }
  // A reader that found nothing would be measured doing too little.
  if (record.Title != kTitle || record.Track != 3 || !record.Cover) {
    return state.SkipWithError("the tags were not read");
  }
  state.counters["bytes_read"] = static_cast<double>(bytesRead);
}

void TagLibProperties(benchmark::State& state, const TFormat& format, const TVariant& variant) {
  const std::string& path = TSamples::Get().Path(format, variant);
  if (path.empty()) return state.SkipWithError("cannot write the sample file");
  std::string title;
  for (auto _ : state) {
    TagLib::FileRef file(path.c_str(), false);
    if (file.isNull()) return state.SkipWithError("TagLib cannot read the sample file");
    const TagLib::PropertyMap properties = file.file()->properties();
    title = properties.contains("TITLE") ? properties["TITLE"].front().to8Bit(true) : "";
    benchmark::DoNotOptimize(title);
  }
  if (title != kTitle) state.SkipWithError("TagLib did not read the title");
}

const bool kRegistered = [] {
  for (const TFormat& format : kFormats) {
    for (const TVariant& variant : kVariants) {
      const std::string name = std::string(format.Name) + "/" + variant.Name;
      benchmark::RegisterBenchmark(("Ours/" + name).c_str(), Ours, format, variant);
      // TagLib looks for MPEG frames through the whole gigabyte of zeros: two minutes a run.
      if (std::string_view(format.Name) == "mp3-apev2" && variant.Audio == kGigabyte) continue;
      benchmark::RegisterBenchmark(("TagLib/" + name).c_str(), TagLibProperties, format, variant);
    }
  }
  return true;
}();

}  // namespace

}  // namespace jarvet::bench
