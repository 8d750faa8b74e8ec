// RIFF WAVE and AIFF: an ID3v2 tag in an "id3 " chunk, else (WAVE) the LIST/INFO texts.
#include <algorithm>
#include <cmath>

#include "TagReaders.h"
#include "TagText.h"

namespace jarvet::tags {

namespace {

constexpr std::size_t kFormHeaderSize = 12;  // "RIFF" or "FORM", size, form type
constexpr std::size_t kChunkHeaderSize = 8;
constexpr int kMaxChunks = 4096;
constexpr std::string_view kInfoList = "INFO";

struct TChunk {
  std::string Id;
  std::int64_t DataStart = 0;
  std::int64_t End = 0;
};

// The chunks of [begin, end), each padded to an even length; a chunk that claims more than the
// file holds is cut to its end.
std::vector<TChunk> Chunks(TByteSource& source, std::int64_t begin, std::int64_t end,
                           bool bigEndian) {
  std::vector<TChunk> chunks;
  end = std::min(end, source.Size());
  std::int64_t pos = begin;
  while (pos + static_cast<std::int64_t>(kChunkHeaderSize) <= end &&
         chunks.size() < static_cast<std::size_t>(kMaxChunks)) {
    TRangeReader reader(source, pos, end);
    TChunk chunk;
    chunk.Id = reader.Bytes(4, 4);
    const std::uint32_t size = bigEndian ? reader.U32BE() : reader.U32LE();
    if (!reader.Ok()) break;
    chunk.DataStart = reader.FileOffset();
    chunk.End = std::min<std::int64_t>(chunk.DataStart + size, end);
    chunks.push_back(chunk);
    pos = chunk.DataStart + size + (size & 1);
  }
  return chunks;
}

bool ReadId3Chunk(TByteSource& source, const std::vector<TChunk>& chunks, TTrackTags& tags) {
  for (const TChunk& chunk : chunks) {
    if ((chunk.Id == "id3 " || chunk.Id == "ID3 ") &&
        ReadID3v2Tags(source, chunk.DataStart, tags)) {
      return true;
    }
  }
  return false;
}

// INFO texts end at their first zero byte; UTF-8 where they are valid UTF-8.
void ReadInfoList(TByteSource& source, const TChunk& list, TTrackTags& tags) {
  tags.TagFormat = "RIFF INFO";
  std::string track;
  for (const TChunk& item : Chunks(source, list.DataStart + 4, list.End, false)) {
    std::string bytes = ReadBytes(source, item.DataStart,
                                  std::min<std::int64_t>(item.End - item.DataStart, kMaxFieldText));
    bytes.resize(std::min(bytes.size(), bytes.find('\0')));
    std::string text = CutUtf8(Utf8OrWindows1252(bytes));
    const auto set = [&](std::string& field) {
      if (field.empty()) field = std::move(text);
    };
    if (item.Id == "INAM") {
      set(tags.Title);
    } else if (item.Id == "IART") {
      set(tags.Artist);
    } else if (item.Id == "IPRD") {
      set(tags.Album);
    } else if (item.Id == "ICRD") {
      if (tags.Year.empty()) tags.Year = YearOf(text);
    } else if (item.Id == "IPRT" || item.Id == "ITRK") {
      if (track.empty()) track = std::move(text);
    } else if (item.Id == "IGNR") {
      set(tags.Genre);
    } else if (item.Id == "ICMT") {
      set(tags.Comment);
    } else if (item.Id == "IMUS") {
      set(tags.Composer);
    }
  }
  tags.Track = NumberBeforeSlash(track);
  tags.TrackTotal = NumberAfterSlash(track);
}

const TChunk* FindChunk(const std::vector<TChunk>& chunks, std::string_view id) {
  for (const TChunk& chunk : chunks) {
    if (chunk.Id == id) return &chunk;
  }
  return nullptr;
}

// fmt: format tag, channels, sample rate, bytes a second; the length from the data's size.
void ReadWaveProperties(TByteSource& source, const std::vector<TChunk>& chunks, TTrackTags& tags) {
  const TChunk* format = FindChunk(chunks, "fmt ");
  if (!format) return;
  TRangeReader reader(source, format->DataStart, format->End);
  reader.Skip(2);
  const std::uint16_t channels = reader.U16LE();
  const std::uint32_t rate = reader.U32LE();
  const std::uint32_t bytesPerSecond = reader.U32LE();
  if (!reader.Ok()) return;
  TAudioProperties& audio = tags.Audio;
  audio.Channels = Figure(channels, kMaxChannels);
  audio.SampleRate = Figure(rate, kMaxSampleRate);
  audio.Bitrate = Figure(bytesPerSecond * 8.0 / 1000.0, kMaxBitrate);
  if (const TChunk* data = FindChunk(chunks, "data"); data && bytesPerSecond > 0) {
    audio.LengthMs = LengthOf(static_cast<double>(data->End - data->DataStart), bytesPerSecond);
  }
}

// An 80-bit IEEE extended number: sign and 15 bits of exponent, 64 bits of mantissa.
double ExtendedToDouble(const std::string& bytes) {
  if (bytes.size() < 10) return 0;
  const auto b = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
  const int exponent = ((b(0) & 0x7F) << 8) | b(1);
  std::uint64_t mantissa = 0;
  for (std::size_t i = 2; i < 10; ++i) mantissa = mantissa << 8 | b(i);
  if ((b(0) & 0x80) || exponent == 0x7FFF) return 0;  // negative, infinite or not a number
  return std::ldexp(static_cast<double>(mantissa), exponent - 16383 - 63);
}

// COMM: channels, sample frames, sample size, the 80-bit sample rate; SSND's size for the bit
// rate.
void ReadAiffProperties(TByteSource& source, const std::vector<TChunk>& chunks, TTrackTags& tags) {
  const TChunk* common = FindChunk(chunks, "COMM");
  if (!common) return;
  TRangeReader reader(source, common->DataStart, common->End);
  const std::uint16_t channels = reader.U16BE();
  const std::uint32_t frames = reader.U32BE();
  const std::uint16_t sampleSize = reader.U16BE();
  const double rate = ExtendedToDouble(reader.Bytes(10, 10));
  if (!reader.Ok()) return;
  TAudioProperties& audio = tags.Audio;
  audio.Channels = Figure(channels, kMaxChannels);
  audio.SampleRate = Figure(rate, kMaxSampleRate);
  if (!audio.SampleRate) return;
  audio.LengthMs = LengthOf(frames, rate);
  if (const TChunk* sound = FindChunk(chunks, "SSND")) {
    audio.Bitrate = BitrateOf(static_cast<double>(sound->End - sound->DataStart), audio.LengthMs);
  }
  if (!audio.Bitrate) audio.Bitrate = Figure(rate * sampleSize * channels / 1000.0, kMaxBitrate);
}

}  // namespace

void ReadWaveTags(TByteSource& source, TTrackTags& tags) {
  const auto chunks = Chunks(source, kFormHeaderSize, source.Size(), false);
  ReadWaveProperties(source, chunks, tags);
  if (ReadId3Chunk(source, chunks, tags)) return;
  for (const TChunk& chunk : chunks) {
    if (chunk.Id == "LIST" && ReadBytes(source, chunk.DataStart, kInfoList.size()) == kInfoList) {
      ReadInfoList(source, chunk, tags);
      return;
    }
  }
}

void ReadAiffTags(TByteSource& source, TTrackTags& tags) {
  const auto chunks = Chunks(source, kFormHeaderSize, source.Size(), true);
  ReadAiffProperties(source, chunks, tags);
  ReadId3Chunk(source, chunks, tags);
}

}  // namespace jarvet::tags
