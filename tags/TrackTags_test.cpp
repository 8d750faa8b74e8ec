// Tests of the track-tag readers on byte-built files: each format's rules in a table, hostile
// structures, damaged real samples, and the text rules the readers share.
#include "TrackTags.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "ByteSource.h"
#include "TagText.h"
#include "support/TrackTagBytes.h"

namespace jarvet::tags {
namespace {

using namespace jarvet::testing;
using namespace std::string_literals;

const std::string kAudio(64, '\x55');
const std::string kAsfHeader = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"s;
const std::string kAsfContent = "\x33\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"s;
const std::string kAsfExtended =
    "\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50"s;

// The record's invariants on any input: valid UTF-8 everywhere, the cover inside the file.
void ExpectSound(const TTrackTags& t, std::int64_t fileSize) {
  for (const std::string* text : {&t.Format, &t.TagFormat, &t.Title, &t.Artist, &t.Album,
                                  &t.AlbumArtist, &t.Year, &t.Genre, &t.Comment, &t.Composer}) {
    EXPECT_TRUE(IsValidUtf8(*text)) << *text;
    EXPECT_LE(text->size(), kMaxFieldText);
  }
  if (t.Cover) {
    EXPECT_TRUE(IsValidUtf8(t.Cover->Mime));
    EXPECT_GE(t.Cover->Offset, 0);
    EXPECT_GE(t.Cover->StoredSize, 0);
    EXPECT_LE(t.Cover->Offset + t.Cover->StoredSize, fileSize);
  }
}

// The record's non-empty fields on one line; the cover as the stored bytes it points at.
std::string Summary(const TTrackTags& t, const std::string& file) {
  std::string s;
  const auto add = [&](const char* name, const std::string& value) {
    if (!value.empty()) s += (s.empty() ? "" : " ") + std::string(name) + "=" + value;
  };
  add("title", t.Title);
  add("artist", t.Artist);
  add("album", t.Album);
  add("aa", t.AlbumArtist);
  add("year", t.Year);
  if (t.Track || t.TrackTotal)
    add("track", std::to_string(t.Track) + "/" + std::to_string(t.TrackTotal));
  if (t.Disc) add("disc", std::to_string(t.Disc));
  add("genre", t.Genre);
  add("comment", t.Comment);
  add("composer", t.Composer);
  if (t.Cover) {
    const auto& c = *t.Cover;
    std::string cover =
        c.Mime + "," + std::to_string(c.PictureType) + "," +
        file.substr(static_cast<std::size_t>(c.Offset), static_cast<std::size_t>(c.StoredSize));
    if (c.Size != c.StoredSize) cover += ",size=" + (c.Size ? std::to_string(*c.Size) : "?");
    add("cover", cover);
  }
  return s;
}

struct TCase {
  const char* Name;
  std::string Bytes;
  std::string Expected;  // Summary of the record
  const char* TagFormat = nullptr;
};

void CheckCases(const std::vector<TCase>& cases) {
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TMemorySource source(c.Bytes);
    const TTrackTags tags = ReadTrackTags(source);
    EXPECT_EQ(Summary(tags, c.Bytes), c.Expected);
    if (c.TagFormat) {
      EXPECT_EQ(tags.TagFormat, c.TagFormat);
    }
    ExpectSound(tags, source.Size());
  }
}

// A zero byte behind every 0xFF, as an unsynchronised tag stores its bytes.
std::string Unsynchronise(const std::string& data) {
  std::string out;
  for (char c : data) out += c == '\xFF' ? "\xFF\0"s : std::string(1, c);
  return out;
}

std::string Mp3(const std::string& tag) { return tag + "\xFF\xFB" + kAudio; }
std::string L1(const std::string& text) { return '\0' + text; }
std::string U8(const std::string& text) { return '\3' + text; }

TEST(TrackTagsID3v2, FieldsByFrameAndVersion) {
  const std::string frames22 = Id3Frame(2, "TT2", L1("Title")) + Id3Frame(2, "TP1", L1("Artist")) +
                               Id3Frame(2, "TP2", L1("Band")) + Id3Frame(2, "TYE", L1("1999")) +
                               Id3Frame(2, "TRK", L1("3/12")) + Id3Frame(2, "TPA", L1("2/3")) +
                               Id3Frame(2, "TCO", L1("(17)")) + Id3Frame(2, "COM", L1("eng\0Hi"s)) +
                               Id3Frame(2, "PIC", L1("PNG\3desc\0PICTURE"s));
  const std::string wideValues =
      "\1\xFF\xFE"
      "A\0\0\0\xFE\xFF\0B"s;
  CheckCases({
      {"2.2 frames, picture by format name", Mp3(Id3Tag(2, frames22)),
       "title=Title artist=Artist aa=Band year=1999 track=3/12 disc=2 genre=Rock comment=Hi "
       "cover=image/png,3,PICTURE",
       "ID3v2.2"},
      {"2.4 several values, each UTF-16 value with its own mark",
       Mp3(Id3Tag(4, Id3Frame(4, "TPE1", U8("A\0B\0"s)) + Id3Frame(4, "TCOM", wideValues))),
       "artist=A; B composer=A; B"},
      {"genre references named, text kept, duplicates dropped",
       Mp3(Id3Tag(4, Id3Frame(4, "TCON", U8("17\0(17)Hard\0(200)\0((Odd)\0Rock"s)))),
       "genre=Rock; Hard; (Odd)"},
      {"year from the recording time, else the year, release, original",
       Mp3(Id3Tag(4, Id3Frame(4, "TDRC", U8("")) + Id3Frame(4, "TDRL", U8("2001-02")) +
                         Id3Frame(4, "TYER", L1("1998")))),
       "year=1998"},
      {"original release year last", Mp3(Id3Tag(3, Id3Frame(3, "TORY", L1("1970")))), "year=1970"},
      // 2.2's TOR is the original release year, as TORY is later: it comes after TYE.
      {"2.2 TOR after TYE",
       Mp3(Id3Tag(2, Id3Frame(2, "TOR", L1("1970")) + Id3Frame(2, "TYE", L1("1999")))),
       "year=1999"},
      {"2.2 TOR alone", Mp3(Id3Tag(2, Id3Frame(2, "TOR", L1("1970")))), "year=1970"},
      {"an empty first frame counts as absent",
       Mp3(Id3Tag(3, Id3Frame(3, "TIT2", L1("")) + Id3Frame(3, "TIT2", L1("Later")))),
       "title=Later"},
      {"comment with an empty description wins over an earlier one",
       Mp3(Id3Tag(3, Id3Frame(3, "COMM", L1("engiTunNORM\0 0001"s)) +
                         Id3Frame(3, "COMM", "\1eng\xFF\xFE\0\0\xFF\xFEO\0K\0"s))),
       "comment=OK"},
      {"else the first comment",
       Mp3(Id3Tag(3, Id3Frame(3, "COMM", L1("engone\0First"s)) +
                         Id3Frame(3, "COMM", L1("engtwo\0Second"s)))),
       "comment=First"},
      {"track not a number", Mp3(Id3Tag(3, Id3Frame(3, "TRCK", L1("three")))), ""},
      {"compressed and encrypted frames passed over",
       Mp3(Id3Tag(4, Id3Frame(4, "TIT2", U8("Zipped"), '\x08') +
                         Id3Frame(4, "TPE1", U8("Secret"), '\x04') +
                         Id3Frame(4, "TALB", U8("Plain")))),
       "album=Plain"},
      {"data length indicator and unsynchronised frame",
       Mp3(Id3Tag(4, Id3Frame(4, "TIT2",
                              "\0\0\0\x05"
                              "\0A\xFF\0B"s,
                              '\x03'))),
       "title=A\xC3\xBF"
       "B"},
      {"version 3 extended header skipped",
       Mp3(Id3Tag(3, BigEndian(6, 4) + std::string(6, '\0') + Id3Frame(3, "TIT2", L1("T")),
                  '\x40')),
       "title=T"},
      {"tag unsynchronised as a whole: picture located in the stored bytes",
       Mp3(Id3Tag(3,
                  Unsynchronise(Id3Frame(3, "TIT2", L1("\xFFT")) +
                                Id3Frame(3, "APIC", L1("image/png\0\3\0\xFF\xFFP"s))),
                  '\x80')),
       "title=\xC3\xBFT cover=image/png,3,\xFF\0\xFF\0P,size=?"s},
      {"version 4 picture frame unsynchronised by itself, a 0xFF in its description",
       Mp3(Id3Tag(4, Id3Frame(4, "APIC", Unsynchronise(L1("image/png\0\3\xFF\0\xFFP"s)), '\x02'))),
       "cover=image/png,3,\xFF\0P,size=?"s},
      {"a 2.2 picture format outside ASCII still gives a UTF-8 MIME type",
       Mp3(Id3Tag(2, Id3Frame(2, "PIC", L1("J\xC0G\3\0DATA"s)))), "cover=image/j\xC3\x80g,3,DATA"},
      {"an ISO-8859-1 MIME type", Mp3(Id3Tag(3, Id3Frame(3, "APIC", L1("image/\xE9\0\3\0PIC"s)))),
       "cover=image/\xC3\xA9,3,PIC"},
      {"a frame running past the tag ends the walk, earlier frames stand",
       Mp3(Id3Tag(3, Id3Frame(3, "TIT2", L1("Kept")) + "TPE1" + BigEndian(5000, 4) + "\0\0\0Lost"s,
                  0, 0)),
       "title=Kept"},
      {"a description longer than the first read of a picture frame",
       Mp3(Id3Tag(3, Id3Frame(3, "APIC", L1("image/png\0\3"s + std::string(700, 'd') + "\0PIC"s)))),
       "cover=image/png,3,PIC"},
      {"front cover wins over an earlier other picture",
       Mp3(Id3Tag(3, Id3Frame(3, "APIC", L1("image/jpeg\0\4\0BACK"s)) +
                         Id3Frame(3, "APIC", L1("image/png\0\3\0FRONT"s)) +
                         Id3Frame(3, "APIC", L1("image/png\0\3\0LATER"s)))),
       "cover=image/png,3,FRONT"},
  });
}

TEST(TrackTagsMp3, FirstTagPresentGivesEveryField) {
  const std::string id3v2 = Id3Tag(3, Id3Frame(3, "TIT2", L1("v2")));
  const std::string ape = ApeTag({{"Title", "ape"}, {"ARTIST", "ape artist"}});
  const std::string id3v1 = "TAG" + ("v1" + std::string(28, '\0')) +
                            ("v1 artist" + std::string(21, '\0')) + std::string(30, '\0') + "2000" +
                            std::string(28, '\0') + "\0\x05\x11"s;
  CheckCases({
      {"ID3v2 first, nothing merged from the others", Mp3(id3v2) + ape + id3v1, "title=v2",
       "ID3v2.3"},
      {"then APEv2 before the ID3v1 trailer", Mp3("") + ape + id3v1, "title=ape artist=ape artist",
       "APEv2"},
      {"then ID3v1 with its genre name", Mp3("") + id3v1,
       "title=v1 artist=v1 artist year=2000 track=5/0 genre=Rock", "ID3v1.1"},
      {"APEv2 header first, at the start of a file", ApeTag({{"title", "head"}}, true) + kAudio,
       "title=head", "APEv2"},
  });
}

std::string Flac(const std::vector<std::string>& fields, const std::string& more = "") {
  return "fLaC" + FlacStreamInfo() + more + FlacBlock(4, VorbisComment(fields), true) + kAudio;
}

TEST(TrackTagsVorbis, WhichValueWins) {
  CheckCases({
      {"keys ignore case; track and total in one",
       Flac({"title=T", "TrackNumber=3/12", "DATE=1999-05-17"}), "title=T year=1999 track=3/12",
       "Vorbis comment"},
      {"track total field", Flac({"TRACKNUMBER=3", "TOTALTRACKS=9", "DISCNUMBER=2/2"}),
       "track=3/9 disc=2"},
      {"album artist by the first key present",
       Flac({"ALBUM_ARTIST=c", "ALBUM ARTIST=b", "ALBUMARTIST=a"}), "aa=a"},
      {"album artist, second key", Flac({"ALBUM_ARTIST=c", "ALBUM ARTIST=b"}), "aa=b"},
      {"several values joined, empty ones absent",
       Flac({"ARTIST=", "ARTIST=A", "ARTIST=B", "GENRE=17"}), "artist=A; B genre=17"},
      {"comment first value, else description",
       Flac({"DESCRIPTION=d", "COMMENT=", "COMMENT=c1", "COMMENT=c2"}), "comment=c1"},
      {"description when no comment", Flac({"DESCRIPTION=d", "NOEQUALS"}), "comment=d"},
      {"front cover block wins",
       Flac({}, FlacBlock(6, FlacPicture(0, "image/gif", "OTHER"), false) +
                    FlacBlock(6, FlacPicture(3, "image/png", "FRONT"), false)),
       "cover=image/png,3,FRONT"},
      {"an ID3v2 tag ahead of the stream is passed over",
       Id3Tag(3, Id3Frame(3, "TIT2", L1("id3"))) + Flac({"TITLE=flac"}), "title=flac",
       "Vorbis comment"},
  });
}

std::string VorbisIdentification() { return "\x01vorbis" + std::string(23, '\0'); }

TEST(TrackTagsOgg, CommentPacketAcrossPages) {
  const std::string comment =
      "\x03vorbis" + VorbisComment({"TITLE=" + std::string(600, 't'), "ARTIST=A"}) + '\1';
  const std::string picture = FlacPicture(3, "image/png", "FRONT");
  const std::string opusTags =
      "OpusTags" +
      VorbisComment(
          {"TITLE=Opus",
           "METADATA_BLOCK_PICTURE=" +
               std::string("AAAAAwAAAAlpbWFnZS9wbmcAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAVGUk9OVA==")});
  ASSERT_EQ(Base64Decode("AAAAAwAAAAlpbWFnZS9wbmcAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAVGUk9OVA==", 100),
            picture);
  // A page of another stream between the two packets' pages.
  const std::string first = OggStream({VorbisIdentification()}, 7);
  const std::string other = OggPage(9, 0, {3}, "xyz");
  const std::string rest = OggStream({comment}, 7, 1);
  CheckCases({
      {"one segment a page, another stream between", first + other + rest,
       "title=" + std::string(600, 't') + " artist=A", "Vorbis comment"},
      {"Opus, picture in base64", OggStream({"OpusHead" + std::string(11, '\0'), opusTags}, 3),
       "title=Opus "
       "cover=image/png,3,AAAAAwAAAAlpbWFnZS9wbmcAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAVGUk9OVA==,size=5"},
      {"stream cut inside the comment packet: nothing half-read",
       (first + rest).substr(0, first.size() + 8 * 28), ""},
  });
}

std::string M4a(const std::string& items, bool moovLast = true) {
  // The media data with a 64-bit size, as large files have it.
  const std::string mdat = BigEndian(1, 4) + "mdat" + BigEndian(16 + kAudio.size(), 8) + kAudio;
  return Mp4Ftyp() + (moovLast ? mdat + Mp4Moov(items) : Mp4Moov(items) + mdat);
}

TEST(TrackTagsMp4, ItemList) {
  const std::string numbers =
      Mp4Item("trkn", 0, BigEndian(3, 4) + BigEndian(12, 2) + BigEndian(0, 2)) +
      Mp4Item("disk", 0, BigEndian(2, 4) + BigEndian(2, 2));
  CheckCases({
      {"moov behind a 64-bit mdat",
       M4a(Mp4Item("\xA9nam", 1, "Title") +
           Mp4Item("\xA9"
                   "ART",
                   2, "\0A\0r\0t"s) +
           Mp4Item("aART", 1, "Band") +
           Mp4Item("\xA9"
                   "day",
                   1, "1999-05-17T00:00:00Z") +
           Mp4Item("\xA9"
                   "cmt",
                   1, "Note") +
           Mp4Item("\xA9wrt", 1, "Writer") + numbers),
       "title=Title artist=Art aa=Band year=1999 track=3/12 disc=2 comment=Note composer=Writer",
       "MP4 ilst"},
      {"gnre is the ID3v1 index plus one", M4a(Mp4Item("gnre", 0, BigEndian(18, 2)), false),
       "genre=Rock"},
      {"a text genre wins over gnre",
       M4a(Mp4Item("gnre", 0, BigEndian(18, 2)) + Mp4Item("\xA9gen", 1, "Jazzy")), "genre=Jazzy"},
      {"first cover of several",
       M4a(Mp4Atom("covr", Mp4Atom("data", BigEndian(13, 4) + BigEndian(0, 4) + "JPEG") +
                               Mp4Atom("data", BigEndian(14, 4) + BigEndian(0, 4) + "PNG"))),
       "cover=image/jpeg,3,JPEG"},
      {"an atom smaller than its header ends the walk",
       Mp4Ftyp() + BigEndian(4, 4) + "junk" + Mp4Moov(Mp4Item("\xA9nam", 1, "T")), ""},
  });
}

std::string Asf(const std::string& objects) {
  return AsfObject(kAsfHeader, LittleEndian(3, 4) + "\1\2" + objects) + kAudio;
}

std::string AsfContent(const std::string& title, const std::string& author,
                       const std::string& description) {
  const std::string t = Utf16Le(title), a = Utf16Le(author), d = Utf16Le(description);
  return AsfObject(kAsfContent, LittleEndian(t.size(), 2) + LittleEndian(a.size(), 2) +
                                    LittleEndian(0, 2) + LittleEndian(d.size(), 2) +
                                    LittleEndian(0, 2) + t + a + d);
}

std::string AsfAttributes(
    const std::vector<std::tuple<std::string, int, std::string>>& attributes) {
  std::string body = LittleEndian(attributes.size(), 2);
  for (const auto& [name, type, value] : attributes) {
    const std::string n = Utf16Le(name + '\0');
    body += LittleEndian(n.size(), 2) + n + LittleEndian(static_cast<std::uint64_t>(type), 2) +
            LittleEndian(value.size(), 2) + value;
  }
  return AsfObject(kAsfExtended, body);
}

TEST(TrackTagsAsf, ContentDescriptionThenAttributes) {
  const std::string picture =
      "\3" + LittleEndian(5, 4) + Utf16Le("image/png\0"s) + Utf16Le("\0"s) + "FRONT";
  CheckCases({
      {"content description first",
       Asf(AsfContent("Title", "Author", "Note") +
           AsfAttributes({{"Title", 0, Utf16Le("Other"s)},
                          {"WM/AlbumTitle", 0, Utf16Le("Album\0"s)},
                          {"WM/TrackNumber", 3, LittleEndian(5, 4)},
                          {"WM/Year", 0, Utf16Le("1999")},
                          {"Description", 0, Utf16Le("Other note")},
                          {"WM/Picture", 1, picture}})),
       "title=Title artist=Author album=Album year=1999 track=5/0 comment=Note "
       "cover=image/png,3,FRONT",
       "ASF"},
      {"attributes when the content description is empty",
       Asf(AsfContent("", "", "") + AsfAttributes({{"Title", 0, Utf16Le("Other")},
                                                   {"Author", 0, Utf16Le("By")},
                                                   {"WM/TrackNumber", 0, Utf16Le("4/9")},
                                                   {"Description", 0, Utf16Le("Other note")}})),
       "title=Other artist=By track=4/9 comment=Other note"},
      {"an attribute claiming more than its object: earlier ones stand",
       Asf(kAsfExtended + LittleEndian(24 + 2 + 30 + 26, 8) + LittleEndian(2, 2) +
           LittleEndian(18, 2) + Utf16Le("WM/Genre\0"s) + LittleEndian(0, 2) + LittleEndian(6, 2) +
           Utf16Le("Pop") + LittleEndian(16, 2) + Utf16Le("WM/Year\0"s) + LittleEndian(0, 2) +
           LittleEndian(60000, 2) + Utf16Le("1999")),
       "genre=Pop"},
  });
}

std::string Wave(const std::string& chunks) {
  const std::string body =
      "WAVE" + RiffChunk("fmt ", std::string(16, '\0')) + chunks + RiffChunk("data", kAudio);
  return "RIFF" + LittleEndian(body.size(), 4) + body;
}

TEST(TrackTagsRiff, InfoListAndId3Chunk) {
  const std::string info =
      RiffChunk("LIST", "INFO" + RiffChunk("INAM", "Title\0junk"s) +
                            RiffChunk("IART", "Caf\xE9\0"s) + RiffChunk("ICRD", "1999-05-17") +
                            RiffChunk("IPRT", "3/12") + RiffChunk("ICMT", "Hi"));
  const std::string id3 = RiffChunk("id3 ", Id3Tag(3, Id3Frame(3, "TIT2", L1("ID3 title"))));
  const std::string aiffBody = "AIFF" + RiffChunk("COMM", std::string(18, '\0'), true) +
                               RiffChunk("ID3 ", Id3Tag(4, Id3Frame(4, "TIT2", U8("Aiff"))), true);
  CheckCases({
      {"INFO texts end at a zero byte; UTF-8 where valid, else Windows-1252", Wave(info),
       "title=Title artist=Caf\xC3\xA9 year=1999 track=3/12 comment=Hi", "RIFF INFO"},
      {"an ID3 chunk wins over INFO", Wave(info + id3), "title=ID3 title", "ID3v2.3"},
      {"AIFF ID3 chunk", "FORM" + BigEndian(aiffBody.size(), 4) + aiffBody, "title=Aiff",
       "ID3v2.4"},
  });
}

// Sizes and counts that lie: each read must end with what came before the lie.
TEST(TrackTagsHostile, LyingSizesAndCounts) {
  const std::string hugeCount = LittleEndian(0, 4) + LittleEndian(0xFFFFFFFF, 4) +
                                LittleEndian(3, 4) + "A=a" + LittleEndian(0xFFFFFFF0, 4) + "B=b";
  CheckCases({
      {"Vorbis comment count and length beyond the block",
       "fLaC" + FlacStreamInfo() + FlacBlock(4, hugeCount, true), ""},
      {"FLAC block longer than the file",
       "fLaC" + FlacStreamInfo() + "\x84\xFF\xFF\xFF" + VorbisComment({"TITLE=T"}), "title=T"},
      {"Ogg page with more lacing than bytes", OggPage(1, 0, {255, 255, 255}, "\x01vorbis"), ""},
      {"MP4 atom of size 0 runs to the end",
       Mp4Ftyp() + BigEndian(0, 4) + "moov" +
           Mp4Atom("udta", Mp4Atom("meta", std::string(4, '\0') +
                                               Mp4Atom("ilst", Mp4Item("\xA9nam", 1, "T")))),
       "title=T"},
      {"MP4 64-bit size beyond the file",
       Mp4Ftyp() + BigEndian(1, 4) + "mdat" + BigEndian(1ULL << 62, 8), ""},
      {"ASF header object smaller than its header", kAsfHeader + LittleEndian(3, 8) + kAudio, ""},
      {"APEv2 size beyond the file",
       Mp3("") + ApeTag({{"Title", "T"}}).substr(0, 12) + LittleEndian(1u << 30, 4) +
           LittleEndian(1u << 31, 4) + std::string(12, '\0'),
       ""},
      {"ID3v2 frame size beyond the tag", Mp3(Id3Tag(4, "TIT2\x7F\x7F\x7F\x7F\0\0\0T"s)), ""},
  });
}

TEST(TrackTagsHostile, FieldTextBounded) {
  const std::string longTitle(3 * kMaxFieldText, 'x');
  const std::string file =
      Flac({"TITLE=" + longTitle, "ARTIST=" + std::string(kMaxFieldText - 1, 'y') + "\xC3\xA9"});
  TMemorySource source(file);
  const TTrackTags tags = ReadTrackTags(source);
  EXPECT_EQ(tags.Title, std::string(kMaxFieldText, 'x'));
  EXPECT_EQ(tags.Artist, std::string(kMaxFieldText - 1, 'y'));  // "é" would cross the bound
}

// Counts the bytes the readers ask for.
class TCountingSource : public TMemorySource {
 public:
  using TMemorySource::TMemorySource;
  std::size_t ReadAt(std::int64_t offset, void* out, std::size_t count) override {
    Asked += count;
    return TMemorySource::ReadAt(offset, out, count);
  }
  std::uint64_t Asked = 0;
};

// A megabyte of audio and a megabyte of picture: what the readers ask for stays a few headers.
TEST(TrackTagsBounds, NeitherAudioNorPictureIsRead) {
  // MPEG 1 layer III frames of 128 kbps at 44.1 kHz, 417 bytes each.
  std::string audio;
  while (audio.size() < (1 << 20)) audio += "\xFF\xFB\x90\x64"s + std::string(413, '\0');
  const std::string picture(1 << 20, '\x89');
  const std::string ape = ApeTag({{"Title", "T"}});
  const std::string apeCover = LittleEndian(picture.size() + 4, 4) + LittleEndian(2, 4) +
                               "Cover Art (Front)\0c.p\0"s + picture;
  const std::string apeItems = apeCover + ape.substr(0, ape.size() - 32);
  const std::string waveBody =
      "WAVE" + RiffChunk("data", audio) +
      RiffChunk("id3 ", Id3Tag(3, Id3Frame(3, "TIT2", L1("T")) +
                                      Id3Frame(3, "APIC", L1("image/png\0\3\0"s) + picture)));
  const std::pair<const char*, std::string> files[] = {
      {"MP3", Mp3(Id3Tag(3, Id3Frame(3, "APIC", L1("image/png\0\3\0"s) + picture) +
                                Id3Frame(3, "TIT2", L1("T")))) +
                  audio},
      {"FLAC", "fLaC" + FlacStreamInfo() +
                   FlacBlock(6, FlacPicture(3, "image/png", picture), false) +
                   FlacBlock(4, VorbisComment({"TITLE=T"}), true) + audio},
      {"M4A", Mp4Ftyp() + Mp4Atom("mdat", audio) +
                  Mp4Moov(Mp4Item("covr", 14, picture) + Mp4Item("\xA9nam", 1, "T"))},
      {"WAVE", "RIFF" + LittleEndian(waveBody.size(), 4) + waveBody},
      {"APEv2", "\xFF\xFB" + audio + apeItems + "APETAGEX" + LittleEndian(2000, 4) +
                    LittleEndian(apeItems.size() + 32, 4) + LittleEndian(2, 4) +
                    std::string(12, '\0')},
  };
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    TCountingSource source(bytes);
    const TTrackTags tags = ReadTrackTags(source);
    EXPECT_EQ(tags.Title, "T");
    ASSERT_TRUE(tags.Cover);
    EXPECT_EQ(tags.Cover->Size, static_cast<std::int64_t>(picture.size()));
    EXPECT_LT(source.Asked, 4096u) << name;
  }
}

std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every sample cut short and with bytes flipped: the readers end, and what they give is sound.
TEST(TrackTagsHostile, DamagedSamples) {
  std::mt19937 random(14);
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(JARVET_TEST_DATA)) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file() || entry.path().extension() == ".sh" ||
        entry.path().extension() == ".cpp")
      continue;
    ++files;
    SCOPED_TRACE(entry.path().string());
    const std::string whole = FileBytes(entry.path());
    for (int cut = 0; cut < 32; ++cut) {
      const std::string part = whole.substr(0, whole.size() * static_cast<std::size_t>(cut) / 32);
      TMemorySource source(part);
      ExpectSound(ReadTrackTags(source), source.Size());
    }
    for (int flip = 0; flip < 32 && !whole.empty(); ++flip) {
      std::string damaged = whole;
      for (int k = 0; k < 4; ++k) damaged[random() % damaged.size()] = static_cast<char>(random());
      TMemorySource source(damaged);
      ExpectSound(ReadTrackTags(source), source.Size());
    }
  }
  EXPECT_GT(files, 20);
}

TEST(TagText, Rules) {
  EXPECT_EQ(NumberBeforeSlash("3/12"), 3u);
  EXPECT_EQ(NumberBeforeSlash(" 07 "), 7u);
  EXPECT_EQ(NumberBeforeSlash("/12"), 0u);
  EXPECT_EQ(NumberBeforeSlash("3 of 12"), 0u);
  EXPECT_EQ(NumberBeforeSlash("4294967296"), 0u);
  EXPECT_EQ(NumberAfterSlash("3/12"), 12u);
  EXPECT_EQ(NumberAfterSlash("3"), 0u);
  EXPECT_EQ(YearOf("1999-05-17"), "1999");
  EXPECT_EQ(YearOf("\xC3\xA9t\xC3\xA9s"), "\xC3\xA9t\xC3\xA9s");  // characters, not bytes
  EXPECT_EQ(ValidUtf8("a\xC3(\xED\xA0\x80z"),
            "a\xEF\xBF\xBD(\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDz");
  EXPECT_EQ(Utf8OrWindows1252("\x80 \xE9"), "\xE2\x82\xAC \xC3\xA9");
  EXPECT_EQ(Utf8OrWindows1252("\xC3\xA9"), "\xC3\xA9");
  EXPECT_EQ(Utf16ToUtf8("\x3C\xD8\xB5\xDF\x00\xD8"s, false), "\xF0\x9F\x8E\xB5\xEF\xBF\xBD");
  EXPECT_EQ(CutUtf8("a\xC3\xA9", 2), "a");
  EXPECT_EQ(JoinValues({"", "A", "", "B"}), "A; B");
  EXPECT_EQ(Base64Decode("SGVsbG8=", 100), "Hello");
  EXPECT_EQ(Base64Decode("SGVsbG8=", 2), "He");
  EXPECT_EQ(GenreName(17), "Rock");
  EXPECT_EQ(GenreName(148), "");
}

}  // namespace
}  // namespace jarvet::tags
