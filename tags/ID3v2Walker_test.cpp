// Tests of the shared ID3v2 pieces on byte literals: unsynchronisation undone, the frame area's
// offsets, the two readers' walking rules and the frame ID table.
#include "ID3v2Walker.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/TrackTagBytes.h"

namespace jarvet::id3v2 {
namespace {

using namespace std::string_literals;
using jarvet::testing::Id3Frame;

TEST(ID3v2Unsynchronisation, ZeroBehindEachFFGoes) {
  const std::pair<std::string, std::string> cases[] = {
      {"A\xFF\0B"s,
       "A\xFF"
       "B"s},
      {"\xFF\0\0"s, "\xFF\0"s},  // only the first zero behind it
      {"\xFF\xFF\0\0"s, "\xFF\xFF\0"s},
      {"\xFF"s, "\xFF"s},
      {"\0\xFF\x01"s, "\0\xFF\x01"s},
  };
  for (const auto& [stored, decoded] : cases) EXPECT_EQ(RemoveUnsynchronisation(stored), decoded);
  const std::string stored = "A\xFF\0B\xFF\0\0C"s;  // decodes to A FF B FF 00 C
  const std::size_t expected[] = {0, 1, 3, 4, 6, 7, 8};
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(StoredIndex(stored, i), expected[i]) << i;
  }
}

TEST(ID3v2FrameArea, UnsynchronisedOffsetsAndReadingBack) {
  const std::string file =
      "HEAD"
      "A\xFF\0B\xFF\0\0C"s;
  jarvet::tags::TMemorySource source(file);
  TFrameArea area(source, 4, true);
  EXPECT_EQ(area.Read(0, 100),
            "A\xFF"
            "B\xFF\0C"s);
  // File offsets of decoded bytes 0 to 6, the last one behind the end.
  const std::int64_t offsets[] = {4, 5, 7, 8, 10, 11, 12};
  for (std::int64_t i = 0; i < 7; ++i) EXPECT_EQ(area.FileOffset(i), offsets[i]) << i;
  EXPECT_EQ(area.Read(2, 2), "B\xFF"s);  // back behind the cursor
  EXPECT_EQ(area.Read(4, 1), "\0"s);
  EXPECT_EQ(area.Read(1, 3),
            "\xFF"
            "B\xFF"s);
  TFrameArea plain(source, 4, false);
  EXPECT_EQ(plain.Read(1, 3), "\xFF\0B"s);
  EXPECT_EQ(plain.FileOffset(3), 7);
}

// The frames each rule visits, as "ID:size" joined by blanks.
std::string Visited(const std::string& frames, TWalkRules rules, std::uint8_t major = 3,
                    std::int64_t framesEnd = -1) {
  const std::string file = std::string(10, 'H') + frames + std::string(20, 'x');
  jarvet::tags::TMemorySource source(file);
  TFrameArea area(source, 10, false);
  TWalk walk;
  walk.Major = major;
  walk.FramesEnd = walk.TagEnd =
      framesEnd >= 0 ? framesEnd : 10 + static_cast<std::int64_t>(frames.size());
  walk.Rules = rules;
  std::string seen;
  WalkFrames(area, walk, [&](const TFrame& frame) {
    seen += (seen.empty() ? "" : " ") + frame.LaterId + ":" +
            std::to_string(frame.DataEnd - frame.DataStart);
    return true;
  });
  return seen;
}

TEST(ID3v2Walk, WhereEachReaderStops) {
  const std::string two = Id3Frame(3, "TIT2", "\0a"s) + Id3Frame(3, "TPE1", "\0bc"s);
  struct TCase {
    const char* Name;
    std::string Frames;
    std::string Info, Record;
  };
  const TCase cases[] = {
      {"two frames", two, "TIT2:2 TPE1:3", "TIT2:2 TPE1:3"},
      {"padding ends both", two + std::string(10, '\0'), "TIT2:2 TPE1:3", "TIT2:2 TPE1:3"},
      // INFO asks only for a capital first; the record for a whole ID of capitals and digits.
      {"an ID with a small letter", Id3Frame(3, "Tit2", "\0a"s) + two, "Tit2:2 TIT2:2 TPE1:3", ""},
      // The last frame claims 30 bytes where the tag holds 3: INFO reads on into the file, the
      // record takes it for damage.
      {"a frame past the tag's end", two + "TCON" + jarvet::testing::BigEndian(30, 4) + "\0\0\0ab"s,
       "TIT2:2 TPE1:3 TCON:30", "TIT2:2 TPE1:3"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(Visited(c.Frames, TWalkRules::Info), c.Info);
    EXPECT_EQ(Visited(c.Frames, TWalkRules::Record), c.Record);
  }
  // Version 2.2: three-character IDs named as later versions name them.
  EXPECT_EQ(Visited(Id3Frame(2, "TT2", "\0a"s) + Id3Frame(2, "TOR", "\0001970"s) +
                        Id3Frame(2, "XYZ", "\0z"s),
                    TWalkRules::Record, 2),
            "TIT2:2 TORY:5 :2");
}

TEST(ID3v2FrameIds, OneTableForVersion2) {
  const std::pair<const char*, const char*> cases[] = {
      {"TT2", "TIT2"}, {"TOR", "TORY"}, {"PIC", "APIC"}, {"COM", "COMM"},
      {"TYE", "TYER"}, {"TCR", "TCOP"}, {"WXX", "WXXX"}, {"TDA", ""}};
  for (const auto& [id, later] : cases) EXPECT_EQ(LaterFrameId(2, id), later) << id;
  EXPECT_EQ(LaterFrameId(3, "TORY"), "TORY");
}

}  // namespace
}  // namespace jarvet::id3v2
