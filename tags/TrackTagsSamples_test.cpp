// Samples written by real tagging tools (tests/data/make-fixtures.sh) read back: every field as
// the tool wrote it, and the located cover picture's bytes equal to the picture written.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "TrackTags.h"

namespace jarvet::tags {
namespace {

const std::string kData = JARVET_TEST_DATA;

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct TSample {
  const char* Path;
  const char* Format;
  const char* TagFormat;
  const char* Title;
  const char* Artist;
  const char* Album;
  const char* AlbumArtist;
  const char* Year;
  std::uint32_t Track, TrackTotal, Disc;
  const char* Genre;
  const char* Comment;
  const char* Composer;
  const char* Picture;  // under pictures/; empty: no cover
  TCoverEncoding Encoding;
};

constexpr auto kPlain = TCoverEncoding::Plain;
constexpr auto kBase64 = TCoverEncoding::Base64PictureBlock;

// The values make-fixtures.sh writes; a sample leaves out what its tool cannot write.
const TSample kSamples[] = {
    {"flac/vorbis-comment-cover-metaflac.flac", "FLAC", "Vorbis comment", "Café au lait",
     "Sól og Rós", "Ágæt plata", "Ýmsir", "1999", 3, 12, 2, "Rock", "Eng comment", "Jón Þór",
     "cover-small.png", kPlain},
    {"flac/id3v2-in-front-id3v2tool-metaflac.flac", "FLAC", "Vorbis comment", "Café au lait",
     "Sól og Rós", "", "Ýmsir", "", 3, 12, 0, "", "", "", "", kPlain},
    {"ogg/vorbis-oggenc.ogg", "Ogg Vorbis", "Vorbis comment", "Café au lait", "Sól og Rós",
     "Ágæt plata", "Ýmsir", "1999", 3, 12, 2, "Rock", "Eng comment", "Jón Þór", "", kPlain},
    {"ogg/vorbis-two-artists-cover-spanning-pages-mutagen.ogg", "Ogg Vorbis", "Vorbis comment",
     "Café au lait", "Sól og Rós; Second Artist", "", "", "", 0, 0, 0, "", "Only a description", "",
     "cover-noise.png", kBase64},
    {"ogg/opus-cover-spanning-pages-opusenc.opus", "Ogg Opus", "Vorbis comment", "Café au lait",
     "Sól og Rós", "Ágæt plata", "Ýmsir", "1999", 3, 0, 2, "Rock", "Eng comment", "",
     "cover-noise.png", kBase64},
    {"mp4/moov-last-ffmpeg.m4a", "MP4", "MP4 ilst", "Café au lait", "Sól og Rós", "Ágæt plata",
     "Ýmsir", "1999", 3, 12, 2, "Rock", "Eng comment", "Jón Þór", "", kPlain},
    {"mp4/faststart-ffmpeg.m4a", "MP4", "MP4 ilst", "Café au lait", "Sól og Rós", "Ágæt plata",
     "Ýmsir", "1999", 3, 12, 2, "Rock", "Eng comment", "Jón Þór", "", kPlain},
    {"mp4/cover-atomicparsley.m4a", "MP4", "MP4 ilst", "Café au lait", "Sól og Rós", "Ágæt plata",
     "Ýmsir", "1999", 3, 12, 2, "Rock", "Eng comment", "Jón Þór", "cover-small.png", kPlain},
    // ffmpeg stores the date under "date", which is no ASF attribute of the year.
    {"asf/content-description-ffmpeg.wma", "ASF", "ASF", "Café au lait", "Sól og Rós", "Ágæt plata",
     "Ýmsir", "", 3, 0, 0, "Rock", "Eng comment", "Jón Þór", "", kPlain},
    {"asf/picture-dword-track-mutagen.wma", "ASF", "ASF", "Café au lait", "Sól og Rós",
     "Ágæt plata", "", "", 7, 0, 0, "", "", "", "cover-small.png", kPlain},
    {"wav/info-ffmpeg.wav", "WAVE", "RIFF INFO", "Café au lait", "Sól og Rós", "Ágæt plata", "",
     "1999", 3, 0, 0, "Rock", "Eng comment", "", "", kPlain},
    {"wav/id3-chunk-mutagen.wav", "WAVE", "ID3v2.4", "Café au lait", "Sól og Rós", "", "Ýmsir",
     "1999", 3, 12, 0, "", "", "", "cover-small.png", kPlain},
    {"aiff/id3-chunk-mutagen.aiff", "AIFF", "ID3v2.4", "Café au lait", "Sól og Rós", "", "Ýmsir",
     "1999", 3, 12, 0, "", "", "", "cover-small.png", kPlain},
    // APEv2 keeps "17" as it is: only ID3 and MP4 number their genres.
    {"ape/apev2-cover-before-id3v1-mutagen.mp3", "MPEG", "APEv2", "Café au lait",
     "Sól og Rós; Second Artist", "", "Ýmsir", "1999", 3, 12, 2, "17", "", "", "cover-small.png",
     kPlain},
    {"mp3/id3v2-before-apev2-and-id3v1-kid3.mp3", "MPEG", "ID3v2.3", "ID3v2 title", "ID3v2 artist",
     "", "", "", 0, 0, 4, "", "", "", "cover-small.png", kPlain},
    {"id3v2/v24-utf8-mid3v2.mp3", "MPEG", "ID3v2.4", "Café au lait", "Sól og Rós", "Ágæt plata", "",
     "1999", 3, 12, 0, "Rock", "Eng comment", "Jón Þór", "", kPlain},
    {"id3v2/v23-latin1-id3v2.mp3", "MPEG", "ID3v2.3", "Café au lait", "Sól og Rós", "Ágæt plata",
     "", "1999", 3, 12, 0, "Rock", "Eng comment", "Jón Þór", "", kPlain},
    {"id3v1/v11-track5-latin1-lame.mp3", "MPEG", "ID3v1.1", "Café Noir", "Lame Artist",
     "Lame Album", "", "1987", 5, 0, 0, "Blues", "lame comment", "", "", kPlain},
};

TEST(TrackTagsSamples, EveryFieldAsItsToolWroteIt) {
  for (const TSample& sample : kSamples) {
    SCOPED_TRACE(sample.Path);
    const std::string path = kData + "/" + sample.Path;
    const auto tags = ReadTrackTags(path);
    ASSERT_TRUE(tags);
    EXPECT_EQ(tags->Format, sample.Format);
    EXPECT_EQ(tags->TagFormat, sample.TagFormat);
    EXPECT_EQ(tags->Title, sample.Title);
    EXPECT_EQ(tags->Artist, sample.Artist);
    EXPECT_EQ(tags->Album, sample.Album);
    EXPECT_EQ(tags->AlbumArtist, sample.AlbumArtist);
    EXPECT_EQ(tags->Year, sample.Year);
    EXPECT_EQ(tags->Track, sample.Track);
    EXPECT_EQ(tags->TrackTotal, sample.TrackTotal);
    EXPECT_EQ(tags->Disc, sample.Disc);
    EXPECT_EQ(tags->Genre, sample.Genre);
    EXPECT_EQ(tags->Comment, sample.Comment);
    EXPECT_EQ(tags->Composer, sample.Composer);
    if (*sample.Picture == '\0') {
      EXPECT_FALSE(tags->Cover);
      continue;
    }
    ASSERT_TRUE(tags->Cover);
    const std::string picture = FileBytes(kData + "/pictures/" + sample.Picture);
    EXPECT_EQ(tags->Cover->Mime, "image/png");
    EXPECT_EQ(tags->Cover->PictureType, kFrontCover);
    EXPECT_EQ(tags->Cover->Encoding, sample.Encoding);
    EXPECT_EQ(tags->Cover->Size, static_cast<std::int64_t>(picture.size()));
    if (sample.Encoding == kPlain) {
      const std::string file = FileBytes(path);
      EXPECT_EQ(file.substr(static_cast<std::size_t>(tags->Cover->Offset),
                            static_cast<std::size_t>(tags->Cover->StoredSize)),
                picture);
    }
  }
}

TEST(TrackTagsSamples, MissingFileIsNotRead) {
  EXPECT_FALSE(ReadTrackTags(kData + "/no-such-file.flac"));
}

}  // namespace
}  // namespace jarvet::tags
