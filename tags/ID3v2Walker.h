// The one walk over an ID3v2 tag's frames, the one undoing of unsynchronisation and the one
// table of frame IDs, shared by INFO's reader (TID3v2) and the track record.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "ByteSource.h"

namespace jarvet::id3v2 {

// Unsynchronisation put a zero byte behind each 0xFF; this takes it out again, byte by byte,
// carrying the state across pieces of the stored bytes.
class TResynchroniser {
 public:
  // Whether the stored byte stays.
  bool Keep(std::uint8_t b) {
    if (AfterFF_ && b == 0) {
      AfterFF_ = false;
      return false;
    }
    AfterFF_ = b == 0xFF;
    return true;
  }
  bool AfterFF() const { return AfterFF_; }

 private:
  bool AfterFF_ = false;
};

std::string RemoveUnsynchronisation(std::string_view stored);
// The stored offset of decoded byte `index`; stored.size() when there is none.
std::size_t StoredIndex(std::string_view stored, std::size_t index);

// A frame's ID as versions 3 and 4 name it: version 2.2's three-character IDs through the one
// table (empty for one the readers do not use), the others as they are.
std::string LaterFrameId(std::uint8_t major, std::string_view id);

// The bytes the frames are counted in, from a file offset on: as stored, or, for a tag
// unsynchronised as a whole (versions 2 and 3), with unsynchronisation undone as they are
// read. Offsets count from the start; reading onward is cheap, and so is reading again from
// where the last Read began.
class TFrameArea {
 public:
  TFrameArea(jarvet::tags::TByteSource& source, std::int64_t start, bool unsynchronised)
      : Source_(source), Start_(start), Unsynchronised_(unsynchronised) {}
  // Up to count bytes; fewer only at the file's end or when reading fails.
  std::string Read(std::int64_t offset, std::size_t count);
  // The file offset of the byte at offset.
  std::int64_t FileOffset(std::int64_t offset);
  bool Unsynchronised() const { return Unsynchronised_; }

 private:
  // Moves the cursor to the decoded offset; false at the file's end.
  bool SeekDecoded(std::int64_t offset);
  bool StoredByte(std::int64_t at, std::uint8_t& b);
  bool NextByte(std::uint8_t& b);

  jarvet::tags::TByteSource& Source_;
  const std::int64_t Start_;
  const bool Unsynchronised_;
  struct TCursor {
    std::int64_t Decoded = 0;  // decoded bytes behind the cursor
    std::int64_t Stored = 0;   // stored bytes behind it, counted from Start_
    TResynchroniser State;
  };
  TCursor Cursor_;
  TCursor Mark_;       // where the last Read began: a frame's data is read again from there
  std::string Chunk_;  // stored bytes from ChunkStart_ on
  std::int64_t ChunkStart_ = 0;
};

// Where the frames stop, by the rules of the reader walking them.
enum class TWalkRules {
  // INFO's: a frame begins with A-Z; its data may run past the tag's end into the file; the
  // walk ends where a frame starts at or behind the tag's end.
  Info,
  // The record's: a frame ID of A-Z and 0-9; a frame that runs past the frames' end is damage
  // and ends the walk, the frames before it standing.
  Record,
};

struct TFrame {
  std::string Id;              // as stored: three or four characters
  std::string LaterId;         // as versions 3 and 4 name it (LaterFrameId)
  std::uint8_t Flags = 0;      // versions 3 and 4: the second flags byte
  std::int64_t DataStart = 0;  // area offsets: behind the frame header ...
  std::int64_t DataEnd = 0;    // ... and where the next frame starts
};

struct TWalk {
  std::uint8_t Major = 0;
  std::uint8_t TagFlags = 0;
  std::int64_t TagEnd = 0;     // file offset: the tag's end, a footer included
  std::int64_t FramesEnd = 0;  // file offset: where the frames end (the footer's start)
  TWalkRules Rules = TWalkRules::Record;
};

// Visits the frames in order; visit returns false to end the walk.
void WalkFrames(TFrameArea& area, const TWalk& walk,
                const std::function<bool(const TFrame&)>& visit);

}  // namespace jarvet::id3v2
