// Tests of the ID3v1 reader on byte-built trailers and on files written by tagging tools.
#include "ID3v1.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "support/DeniedFile.h"
#include "support/TempDir.h"
#include "CodePage.h"

namespace jarvet {
namespace {

// The encoder fixes its character set at its first use, so this must run before any test.
const bool kLocaleSet = std::setlocale(LC_ALL, "C.UTF-8") != nullptr;

using TBytes = std::vector<unsigned char>;

// A trailer with the marker and every area filled with NUL, as most tools leave it.
TBytes EmptyTag() {
  TBytes trailer(kID3v1TrailerSize, 0);
  std::memcpy(trailer.data(), "TAG", 3);
  return trailer;
}

void Put(TBytes& trailer, std::size_t offset, const std::string& bytes) {
  std::memcpy(trailer.data() + offset, bytes.data(), bytes.size());
}

// What the reader makes of Windows-1252 bytes in this build.
std::string Ansi(const std::string& bytes) { return Windows1252ToAnsi(bytes); }

class TTagFiles {
 public:
  bool Ok() const { return Dir_.Ok(); }
  std::string File(const std::string& name) const { return Dir_.File(name); }

  std::string Write(const std::string& name, const TBytes& bytes) const {
    const std::string path = File(name);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return path;
  }

 private:
  testing::TTempDir Dir_{"id3v1"};
};

class ID3v1Test : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Dir.Ok()) << "no temporary directory"; }

  // Loads a file that consists of prefix followed by the trailer.
  TID3v1 LoadTrailer(const TBytes& trailer, const TBytes& prefix = TBytes()) {
    TBytes file = prefix;
    file.insert(file.end(), trailer.begin(), trailer.end());
    TID3v1 tag;
    EXPECT_TRUE(tag.Load(Dir.Write("file.mp3", file)));
    return tag;
  }

  TTagFiles Dir;
};

void ExpectInitial(const TID3v1& tag) {
  EXPECT_FALSE(tag.TagFound);
  EXPECT_EQ(tag.Version, 1);
  EXPECT_EQ(tag.Title, "");
  EXPECT_EQ(tag.Artist, "");
  EXPECT_EQ(tag.Album, "");
  EXPECT_EQ(tag.Year, "");
  EXPECT_EQ(tag.Comment, "");
  EXPECT_EQ(tag.Track, 0);
  EXPECT_EQ(tag.GenreIndex, 255);
}

TEST(ID3v1, DetectVersionLooksAtBytes125And126) {
  struct TCase {
    unsigned char Flag, Track;
    int Version;
  };
  const TCase cases[] = {
      {0, 7, 2},   {0, 0, 1},   {' ', 'x', 2}, {' ', ' ', 1}, {'a', 5, 1},
      {0, ' ', 2}, {' ', 0, 2}, {1, 1, 1},     {0, 255, 2},   {0xFF, 3, 1},
  };
  for (const TCase& c : cases) {
    TBytes trailer = EmptyTag();
    trailer[125] = c.Flag;
    trailer[126] = c.Track;
    EXPECT_EQ(DetectVersion(trailer.data()), c.Version)
        << "bytes " << int(c.Flag) << ", " << int(c.Track);
  }
}

// Full areas, so that reading a byte too many or too few shows in a neighbour.
TEST_F(ID3v1Test, FillsEveryFieldOfAVersion11Tag) {
  TBytes trailer = EmptyTag();
  Put(trailer, 3, std::string(30, 't') + std::string(30, 'a') + std::string(30, 'l') + "19  ");
  Put(trailer, 97, std::string(28, 'c'));
  trailer[126] = 7;
  trailer[127] = 17;
  const TID3v1 tag = LoadTrailer(trailer, TBytes(1000, 'x'));
  EXPECT_TRUE(tag.TagFound);
  EXPECT_EQ(tag.Version, 2);
  EXPECT_EQ(tag.Title, std::string(30, 't'));
  EXPECT_EQ(tag.Artist, std::string(30, 'a'));
  EXPECT_EQ(tag.Album, std::string(30, 'l'));
  EXPECT_EQ(tag.Year, "19");
  EXPECT_EQ(tag.Comment, std::string(28, 'c'));
  EXPECT_EQ(tag.Track, 7);
  EXPECT_EQ(tag.GenreIndex, 17);
}

TEST_F(ID3v1Test, VersionDecidesCommentLengthAndTrack) {
  struct TCase {
    unsigned char Flag, Track;
    int Version;
    std::string Comment;
    int TrackNumber;
  };
  const std::string c28(28, 'c');
  const TCase cases[] = {
      {0, 0, 1, c28, 0},            // two zeros: 1.0, and cleaning drops them
      {' ', 'x', 2, c28, 'x'},      // a space announces any track byte but a space
      {' ', ' ', 1, c28, 0},        // trailing spaces of a 1.0 comment are padding
      {'a', 5, 1, c28 + "a", 0},    // the control byte 5 at the end is cleaned away
      {'a', 'b', 1, c28 + "ab", 0}  // all 30 bytes belong to a 1.0 comment
  };
  for (const TCase& c : cases) {
    TBytes trailer = EmptyTag();
    Put(trailer, 97, c28);
    trailer[125] = c.Flag;
    trailer[126] = c.Track;
    const TID3v1 tag = LoadTrailer(trailer);
    SCOPED_TRACE(::testing::Message() << "bytes " << int(c.Flag) << ", " << int(c.Track));
    EXPECT_EQ(tag.Version, c.Version);
    EXPECT_EQ(tag.Comment, c.Comment);
    EXPECT_EQ(tag.Track, c.TrackNumber);
  }
}

TEST_F(ID3v1Test, CleaningRemovesOnlyTrailingBlanksAndControls) {
  struct TCase {
    std::string Area, Title;
  };
  const std::string nul(1, '\0');
  const TCase cases[] = {
      {"Abcd" + std::string(26, ' '), "Abcd"},
      {"Abcd" + std::string(26, '\0'), "Abcd"},
      {"  Abcd", "  Abcd"},
      {"One" + nul + "Two", "One" + nul + "Two"},
      {"Mid \x01 dle\t\r\n \x1f", "Mid \x01 dle"},
      {"NBSP\xA0", Ansi("NBSP\xA0")},
      {"\xE9t\xE9\x80 ", Ansi("\xE9t\xE9\x80")},
      {" \t\r\n" + std::string(26, '\0'), ""},
  };
  for (const TCase& c : cases) {
    TBytes trailer = EmptyTag();
    Put(trailer, 3, c.Area);
    EXPECT_EQ(LoadTrailer(trailer).Title, c.Title) << "area \"" << c.Area << "\"";
  }
}

#ifndef _WIN32
TEST_F(ID3v1Test, TextIsReadAsWindows1252) {
  ASSERT_TRUE(kLocaleSet) << "no C.UTF-8 locale";
  TBytes trailer = EmptyTag();
  Put(trailer, 3, "Caf\xE9 \x80\x99\xA0");
  EXPECT_EQ(LoadTrailer(trailer).Title, "Caf\xC3\xA9 \xE2\x82\xAC\xE2\x84\xA2\xC2\xA0");
}
#endif

TEST_F(ID3v1Test, GenreByteIsKeptBeyondTheTable) {
  for (const int genre : {0, 147, 148, 200, 255}) {
    TBytes trailer = EmptyTag();
    trailer[127] = static_cast<unsigned char>(genre);
    EXPECT_EQ(LoadTrailer(trailer).GenreIndex, genre);
  }
}

TEST_F(ID3v1Test, MarkerIsCaseSensitive) {
  for (const char* marker : {"tag", "Tag", "TAg", "TA\0"}) {
    TBytes trailer = EmptyTag();
    Put(trailer, 0, std::string(marker, 3));
    Put(trailer, 3, "Title");
    SCOPED_TRACE(marker);
    ExpectInitial(LoadTrailer(trailer));
  }
}

TEST_F(ID3v1Test, OnlyTheLast128BytesCount) {
  TBytes tagged = EmptyTag();
  Put(tagged, 3, "Exact");
  const TID3v1 exact = LoadTrailer(tagged);
  EXPECT_TRUE(exact.TagFound);
  EXPECT_EQ(exact.Title, "Exact");

  // A tag one byte short of the end is no trailer.
  ExpectInitial(LoadTrailer(TBytes(127, 0), tagged));
  ExpectInitial(LoadTrailer(TBytes(128, 0), tagged));
}

TEST_F(ID3v1Test, ReadTrailerReturnsTheFilesLastBytes) {
  TBytes file(300);
  for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<unsigned char>(i);
  unsigned char buffer[kID3v1TrailerSize] = {};
  ASSERT_TRUE(ReadTrailer(Dir.Write("bytes", file), buffer));
  EXPECT_EQ(TBytes(buffer, buffer + sizeof buffer), TBytes(file.end() - 128, file.end()));
}

TEST_F(ID3v1Test, UnreadableFilesFailWithInitialValues) {
  TBytes tagged = EmptyTag();
  Put(tagged, 3, "Title");
  tagged.resize(127);
  std::filesystem::create_directory(Dir.File("folder"));
  const std::string files[] = {Dir.Write("short", tagged), Dir.Write("empty", TBytes()),
                               Dir.File("missing"), Dir.File("folder")};
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    TID3v1 tag;
    EXPECT_FALSE(tag.Load(file));
    ExpectInitial(tag);
    unsigned char buffer[kID3v1TrailerSize];
    EXPECT_FALSE(ReadTrailer(file, buffer));
  }
}

TEST_F(ID3v1Test, FileWithoutReadPermissionFails) {
  const std::string file = Dir.Write("locked", EmptyTag());
  const testing::TDeniedFile denied(file);
  if (!denied.NotDenied().empty()) GTEST_SKIP() << denied.NotDenied();
  TID3v1 tag;
  EXPECT_FALSE(tag.Load(file));
  ExpectInitial(tag);
}

TEST_F(ID3v1Test, ReadOnlyFileAndFileOpenForWritingAreRead) {
  TBytes trailer = EmptyTag();
  Put(trailer, 3, "Shared");
  const std::string readOnly = Dir.Write("read-only", trailer);
  namespace fs = std::filesystem;
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const std::string busy = Dir.Write("busy", trailer);
  std::ofstream writer(busy, std::ios::binary | std::ios::in | std::ios::out);
  ASSERT_TRUE(writer.is_open());
  for (const std::string& file : {readOnly, busy}) {
    TID3v1 tag;
    EXPECT_TRUE(tag.Load(file));
    EXPECT_EQ(tag.Title, "Shared");
  }
}

TEST_F(ID3v1Test, ReloadStartsFromInitialValues) {
  TBytes trailer = EmptyTag();
  Put(trailer, 3, "First");
  trailer[126] = 9;
  trailer[127] = 3;
  const std::string tagged = Dir.Write("tagged", trailer);
  const std::string untagged = Dir.Write("untagged", TBytes(200, ' '));

  TID3v1 tag;
  ASSERT_TRUE(tag.Load(tagged));
  ASSERT_TRUE(tag.TagFound);
  EXPECT_TRUE(tag.Load(untagged));
  ExpectInitial(tag);

  ASSERT_TRUE(tag.Load(tagged));
  EXPECT_FALSE(tag.Load(Dir.File("missing")));
  ExpectInitial(tag);

  ASSERT_TRUE(tag.Load(tagged));
  tag.Reset();
  ExpectInitial(tag);
}

TEST_F(ID3v1Test, ReadsTheTrailerOfAFileBeyond4GiB) {
  constexpr std::int64_t kSize = (std::int64_t{4} << 30) + 4096;  // past 32 bits, signed or not
  TBytes trailer = EmptyTag();
  Put(trailer, 3, "Huge");
  const std::string file = Dir.Write("huge.mp3", TBytes());
  std::error_code error;
  std::filesystem::resize_file(file, kSize, error);
  if (error) GTEST_SKIP() << "no sparse file of 4 GiB here";
  {
    std::fstream out(file, std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(kSize - 128);
    out.write(reinterpret_cast<const char*>(trailer.data()),
              static_cast<std::streamsize>(trailer.size()));
    ASSERT_TRUE(out.good());
  }
  TID3v1 tag;
  EXPECT_TRUE(tag.Load(file));
  EXPECT_TRUE(tag.TagFound);
  EXPECT_EQ(tag.Title, "Huge");
}

TEST(ID3v1, GenreNamesAreDistinctAndPresent) {
  std::set<std::string> seen;
  for (const char* name : GenreNames) {
    ASSERT_NE(name, nullptr);
    EXPECT_NE(std::string(name), "");
    EXPECT_TRUE(seen.insert(name).second) << "twice: " << name;
  }
}

// Files tagged by lame, id3v2 and eyeD3 (see tests/data/id3v1/make-fixtures.sh).
TEST(ID3v1, ReadsWhatTaggingToolsWrote) {
  struct TCase {
    const char* File;
    int Version;
    std::string Title, Artist, Album, Year, Comment;
    int Track, Genre;
  };
  const TCase cases[] = {
      {"v11-track7-id3v2tool.mp3", 2, "Quiet Start", "Test Artist", "Fixture Album", "2003",
       "made by id3v2", 7, 17},
      {"v10-comment30-genre200-id3v2tool.mp3", 1, "No Track", "Test Artist", "", "",
       "a comment that fills thirty by", 0, 200},
      {"v11-track12-eyed3.mp3", 2, "Eyed Title", "Eyed Artist", "Eyed Album", "1999",
       "eyed comment", 12, 8},
      {"v11-track3-after-v24-eyed3.mp3", 2, "Both Tags", "V2 Artist", "", "", "", 3, 12},
      {"v11-track5-latin1-lame.mp3", 2, Ansi("Caf\xE9 Noir"), "Lame Artist", "Lame Album", "1987",
       "lame comment", 5, 0},
  };
  const std::string dir = std::string(JARVET_TEST_DATA) + "/id3v1/";
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.File);
    TID3v1 tag;
    ASSERT_TRUE(tag.Load(dir + c.File));
    EXPECT_TRUE(tag.TagFound);
    EXPECT_EQ(tag.Version, c.Version);
    EXPECT_EQ(tag.Title, c.Title);
    EXPECT_EQ(tag.Artist, c.Artist);
    EXPECT_EQ(tag.Album, c.Album);
    EXPECT_EQ(tag.Year, c.Year);
    EXPECT_EQ(tag.Comment, c.Comment);
    EXPECT_EQ(tag.Track, c.Track);
    EXPECT_EQ(tag.GenreIndex, c.Genre);
  }

  TID3v1 untagged;
  EXPECT_TRUE(untagged.Load(dir + "no-tag-lame.mp3"));
  ExpectInitial(untagged);
}

}  // namespace
}  // namespace jarvet
