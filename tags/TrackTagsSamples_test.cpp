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
    // ffmpeg keeps the date under "date"; TagLib's writer (kid3) the disc under DISCNUMBER.
    {"properties/apev2-date-ffmpeg.wv", "WavPack", "APEv2", "Wave", "", "", "", "2001", 4, 0, 0, "",
     "", "", "", kPlain},
    {"properties/apev2-discnumber-kid3.wv", "WavPack", "APEv2", "Kid", "", "", "", "2001", 4, 0, 3,
     "", "", "", "", kPlain},
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

struct TFiguresSample {
  const char* Path;
  std::uint32_t LengthMs, Bitrate, SampleRate, Channels;
};

// What the encoders were asked for (two seconds, one for the lossless ones); lame resamples
// -V 7 to 32 kHz. Length and bit rate as TagLib reads them too (tags/TagLibAgreement_test.cpp).
const TFiguresSample kFiguresSamples[] = {
    {"properties/vbr-xing-lame.mp3", 2052, 57, 32000, 2},
    // Without a Xing header the first frame's bit rate stands for the whole file.
    {"properties/vbr-no-xing-lame.mp3", 704, 160, 32000, 2},
    {"properties/cbr-128-no-info-lame.mp3", 2038, 128, 44100, 2},
    {"properties/mpeg2-layer3-22khz-lame.mp3", 2064, 32, 22050, 2},
    {"properties/mono-vbr-lame.mp3", 2052, 54, 32000, 1},
    {"properties/layer2-ffmpeg.mp2", 2011, 96, 44100, 2},
    {"properties/96khz-flac.flac", 1000, 242, 96000, 2},
    {"properties/5.1-flac.flac", 1000, 142, 48000, 6},
    {"properties/5.1-oggenc.ogg", 1000, 25, 48000, 6},
    {"properties/opus-from-44khz-opusenc.opus", 2000, 28, 44100, 2},
    {"properties/aac-48k-ffmpeg.m4a", 2023, 47, 44100, 2},
    {"properties/alac-mono-ffmpeg.m4a", 2000, 706, 44100, 1},
    {"properties/wma-48k-ffmpeg.wma", 2042, 48, 44100, 2},
    {"properties/pcm-8khz-mono-ffmpeg.wav", 2000, 64, 8000, 1},
    {"properties/pcm-8khz-mono-ffmpeg.aiff", 2000, 128, 8000, 1},
    {"properties/apev2-date-ffmpeg.wv", 2000, 162, 44100, 1},
};

TEST(TrackTagsSamples, AudioFiguresAsEncoded) {
  for (const TFiguresSample& sample : kFiguresSamples) {
    SCOPED_TRACE(sample.Path);
    const auto tags = ReadTrackTags(kData + "/" + sample.Path);
    ASSERT_TRUE(tags);
    EXPECT_EQ(tags->Audio.LengthMs, sample.LengthMs);
    EXPECT_EQ(tags->Audio.Bitrate, sample.Bitrate);
    EXPECT_EQ(tags->Audio.SampleRate, sample.SampleRate);
    EXPECT_EQ(tags->Audio.Channels, sample.Channels);
  }
}

TEST(TrackTagsSamples, MissingFileIsNotRead) {
  EXPECT_FALSE(ReadTrackTags(kData + "/no-such-file.flac"));
}

}  // namespace
}  // namespace jarvet::tags
