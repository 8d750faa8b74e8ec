// RIFF WAVE and AIFF: an ID3v2 tag in an "id3 " chunk, else (WAVE) the LIST/INFO texts.
#include <algorithm>

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

}  // namespace

void ReadWaveTags(TByteSource& source, TTrackTags& tags) {
  const auto chunks = Chunks(source, kFormHeaderSize, source.Size(), false);
  if (ReadId3Chunk(source, chunks, tags)) return;
  for (const TChunk& chunk : chunks) {
    if (chunk.Id == "LIST" && ReadBytes(source, chunk.DataStart, kInfoList.size()) == kInfoList) {
      ReadInfoList(source, chunk, tags);
      return;
    }
  }
}

void ReadAiffTags(TByteSource& source, TTrackTags& tags) {
  ReadId3Chunk(source, Chunks(source, kFormHeaderSize, source.Size(), true), tags);
}

}  // namespace jarvet::tags
