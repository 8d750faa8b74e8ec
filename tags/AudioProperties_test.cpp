// Tests of the audio figures read from each format's headers, on byte-built files: a table of
// cases per format, and damaged or absurd headers giving absent figures.
#include <gtest/gtest.h>

#include "ByteSource.h"
#include "TrackTags.h"
#include "support/TrackTagBytes.h"

namespace jarvet::tags {
namespace {

using namespace jarvet::testing;
using namespace std::string_literals;

// "length bitrate samplerate channels", "-" for an absent figure.
std::string Figures(const TAudioProperties& a) {
  const auto text = [](std::optional<std::uint32_t> v) { return v ? std::to_string(*v) : "-"; };
  return text(a.LengthMs) + " " + text(a.Bitrate) + " " + text(a.SampleRate) + " " +
         text(a.Channels);
}

struct TCase {
  const char* Name;
  std::string Bytes;
  const char* Expected;
};

void CheckCases(const std::vector<TCase>& cases) {
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TMemorySource source(c.Bytes);
    EXPECT_EQ(Figures(ReadTrackTags(source).Audio), c.Expected);
  }
}

// count frames of MPEG 1 layer III, 128 kbps, 44.1 kHz, joint stereo: 417 bytes each.
std::string CbrFrames(int count, const std::string& firstBody = "") {
  std::string frames;
  for (int i = 0; i < count; ++i) {
    const std::string body = i == 0 ? firstBody : "";
    frames += "\xFF\xFB\x90\x44"s + body + std::string(413 - body.size(), '\0');
  }
  return frames;
}

TEST(AudioPropertiesMpeg, FramesXingVbriAndTags) {
  // Side information of 32 bytes (MPEG 1, stereo), then the Xing header: flags, frames, bytes.
  const std::string xing = std::string(32, '\0') + "Xing" + BigEndian(3, 4) + BigEndian(1000, 4) +
                           BigEndian(2'000'000, 4);
  const std::string xingFramesOnly =
      std::string(32, '\0') + "Info" + BigEndian(1, 4) + BigEndian(100, 4);
  // VBRI 32 bytes behind the header: version, delay, quality, bytes, frames.
  const std::string vbri = std::string(32, '\0') + "VBRI" + BigEndian(1, 2) + BigEndian(0, 2) +
                           BigEndian(75, 2) + BigEndian(1'000'000, 4) + BigEndian(500, 4);
  // MPEG 2 layer III, 32 kbps, 22.05 kHz, mono: 72 * 32000 / 22050 = 104 bytes.
  std::string mpeg2;
  for (int i = 0; i < 10; ++i) mpeg2 += "\xFF\xF3\x40\xC0"s + std::string(100, '\0');
  const std::string id3v1 = "TAG" + std::string(125, '\0');
  CheckCases({
      // 10 frames: 4170 bytes at 128 kbps.
      {"constant bit rate over the audio bytes", CbrFrames(10), "261 128 44100 2"},
      {"behind an ID3v2 tag, an ID3v1 trailer not counted",
       Id3Tag(3, Id3Frame(3, "TIT2", "\0T"s)) + CbrFrames(10) + id3v1, "261 128 44100 2"},
      {"junk behind the ID3v2 tag is searched over",
       Id3Tag(3, Id3Frame(3, "TIT2", "\0T"s)) + std::string(3000, '\x01') + CbrFrames(10),
       "261 128 44100 2"},
      {"a Xing header's frames and bytes", CbrFrames(10, xing), "26122 613 44100 2"},
      {"an Info header without bytes: the audio bytes", CbrFrames(10, xingFramesOnly),
       "2612 13 44100 2"},
      {"a VBRI header", CbrFrames(10, vbri), "13061 613 44100 2"},
      {"MPEG 2 layer III at 22.05 kHz, mono", mpeg2, "260 32 22050 1"},
      {"a header whose successor is not where it says", "\xFF\xFB\x90\x44"s + std::string(600, 'x'),
       "- - - -"},
      {"a sync with a bad bit rate index is no frame", "\xFF\xFB\xF0\x44"s + CbrFrames(2),
       "52 128 44100 2"},
  });
}

TEST(AudioPropertiesLossless, FlacWaveAiff) {
  // STREAMINFO: block sizes and frame sizes, then 44100 Hz, 2 channels, 16 bits, 88200 samples.
  const auto streamInfo = [](std::uint64_t rate, std::uint64_t samples) {
    const std::uint64_t packed = rate << 44 | 1ull << 41 | 15ull << 36 | samples;
    return FlacBlock(0, std::string(10, '\0') + BigEndian(packed, 8) + std::string(16, '\0'), true);
  };
  const auto wave = [](std::uint16_t channels, std::uint32_t rate, std::uint32_t dataSize) {
    const std::string fmt = LittleEndian(1, 2) + LittleEndian(channels, 2) + LittleEndian(rate, 4) +
                            LittleEndian(rate * channels * 2, 4) + LittleEndian(channels * 2, 2) +
                            LittleEndian(16, 2);
    const std::string body =
        "WAVE" + RiffChunk("fmt ", fmt) + RiffChunk("data", std::string(dataSize, '\0'));
    return "RIFF" + LittleEndian(body.size(), 4) + body;
  };
  // 44100 as an 80-bit extended number: exponent 16383 + 15, mantissa 44100 << 48.
  const std::string rate44100 = "\x40\x0E\xAC\x44"s + std::string(6, '\0');
  const auto aiff = [&](const std::string& rate) {
    const std::string common = BigEndian(2, 2) + BigEndian(44100, 4) + BigEndian(16, 2) + rate;
    const std::string body = "AIFF" + RiffChunk("COMM", common, true) +
                             RiffChunk("SSND", std::string(8 + 44100 * 4, '\0'), true);
    return "FORM" + BigEndian(body.size(), 4) + body;
  };
  CheckCases({
      {"FLAC: STREAMINFO, the bit rate from the audio bytes",
       "fLaC" + streamInfo(44100, 88200) + std::string(100'000, '\0'), "2000 400 44100 2"},
      {"FLAC: a sample rate of 0 gives no length", "fLaC" + streamInfo(0, 88200), "- - - 2"},
      {"FLAC: a sample rate beyond 768 kHz is absent", "fLaC" + streamInfo(1'000'000, 88200),
       "- - - 2"},
      {"FLAC: a length beyond a day is absent",
       "fLaC" + streamInfo(8000, 8000ull * 86401) + std::string(1000, '\0'), "- - 8000 2"},
      {"WAVE: fmt and the data size", wave(2, 8000, 64000), "2000 256 8000 2"},
      {"WAVE: no channels is absent", wave(0, 8000, 64000), "- - 8000 -"},
      {"AIFF: COMM's 80-bit sample rate", aiff(rate44100), "1000 1411 44100 2"},
      {"AIFF: a negative sample rate is absent", aiff("\xC0\x0E\xAC\x44"s + std::string(6, '\0')),
       "- - - 2"},
  });
}

// A page of the stream whose granule position is given.
std::string OggPageAt(std::uint64_t granule, const std::string& data) {
  std::string page = OggPage(1, 9, {static_cast<std::uint8_t>(data.size())}, data);
  page.replace(6, 8, LittleEndian(granule, 8));
  return page;
}

TEST(AudioPropertiesOgg, HeadersAndTheLastGranule) {
  const std::string vorbisId = "\x01vorbis"s + LittleEndian(0, 4) + "\x02" +
                               LittleEndian(44100, 4) + LittleEndian(0, 4) +
                               LittleEndian(128000, 4) + LittleEndian(0, 4) + "\xB8\x01";
  const std::string comment = "\x03vorbis" + VorbisComment({"TITLE=T"}) + '\1';
  const std::string setup = "\x05vorbis" + std::string(100, 's');
  const std::string headers = OggStream({vorbisId, comment, setup}, 1);
  const std::string audio = std::string(100, 'a');
  const std::string opusHead =
      "OpusHead\x01\x06"s + LittleEndian(312, 2) + LittleEndian(44100, 4) + std::string(3, '\0');
  const std::string opusHeaders = OggStream({opusHead, "OpusTags" + VorbisComment({})}, 1);
  CheckCases({
      // 88200 samples: 2 s; 2 pages of 128 bytes behind the headers.
      {"Vorbis: the last page's granule",
       headers + OggPageAt(44100, audio) + OggPageAt(88200, audio), "2000 1 44100 2"},
      {"Vorbis: no granule, the nominal bit rate", headers, "- 128 44100 2"},
      // 96312 granules less 312 of pre-skip at 48 kHz: 2 s.
      {"Opus: pre-skip, 48 kHz granules, the input's rate shown",
       opusHeaders + OggPageAt(96312, audio), "2000 1 44100 6"},
      {"Opus: no input rate given", OggStream({"OpusHead\x01\x02"s + std::string(9, '\0')}, 1),
       "- - 48000 2"},
  });
}

TEST(AudioPropertiesContainers, Mp4AndAsf) {
  // mdhd version 0: times, scale 1000, duration 3000; the track's handler "soun"; an mp4a
  // entry of 2 channels at 44100 Hz whose esds gives 96 kbps and mono AAC.
  const std::string mdhd = Mp4Atom("mdhd", std::string(12, '\0') + BigEndian(1000, 4) +
                                               BigEndian(3000, 4) + std::string(4, '\0'));
  const std::string hdlr = Mp4Atom("hdlr", std::string(8, '\0') + "soun" + std::string(12, '\0'));
  const std::string esds = Mp4Atom(
      "esds", std::string(4, '\0') + "\x03\x19\x00\x01\x00"s + "\x04\x11\x40\x15\x00\x00\x00"s +
                  BigEndian(128000, 4) + BigEndian(96000, 4) + "\x05\x02\x12\x08"s);
  const auto trak = [&](const std::string& entryChild) {
    const std::string mp4a = Mp4Atom(
        "mp4a", std::string(8, '\0') + BigEndian(0, 8) + BigEndian(2, 2) + BigEndian(16, 2) +
                    std::string(4, '\0') + BigEndian(44100u << 16, 4) + entryChild);
    const std::string stsd = Mp4Atom("stsd", std::string(4, '\0') + BigEndian(1, 4) + mp4a);
    const std::string minf = Mp4Atom("minf", Mp4Atom("stbl", stsd));
    return Mp4Atom("trak", Mp4Atom("mdia", mdhd + hdlr + minf));
  };
  const auto m4a = [&](const std::string& entryChild) {
    return Mp4Ftyp() + Mp4Atom("moov", trak(entryChild)) +
           Mp4Atom("mdat", std::string(12'000, '\0'));
  };
  const std::string asfFile = "\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65"s;
  const std::string asfStream = "\x91\x07\xDC\xB7\xB7\xA9\xCF\x11\x8E\xE6\x00\xC0\x0C\x20\x53\x65"s;
  const std::string asfAudio = "\x40\x9E\x69\xF8\x4D\x5B\xCF\x11\xA8\xFD\x00\x80\x5F\x5C\x44\x2B"s;
  const std::string asfHeader = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"s;
  // 3.5 s of play, 1500 ms of it preroll; a WAVEFORMATEX of 2 channels, 48 kHz, 8000 bytes/s.
  const std::string fileProperties =
      AsfObject(asfFile, std::string(40, '\0') + LittleEndian(35'000'000, 8) + LittleEndian(0, 8) +
                             LittleEndian(1500, 8) + std::string(16, '\0'));
  const std::string streamProperties = AsfObject(
      asfStream, asfAudio + std::string(16, '\0') + std::string(8 + 4 + 4 + 2 + 4, '\0') +
                     LittleEndian(0x161, 2) + LittleEndian(2, 2) + LittleEndian(48000, 4) +
                     LittleEndian(8000, 4) + std::string(4, '\0'));
  CheckCases({
      {"MP4: mdhd, the entry, esds's bit rate and AAC's channels", m4a(esds), "3000 96 44100 1"},
      {"MP4: without esds, the entry's channels and mdat's bit rate", m4a(""), "3000 32 44100 2"},
      {"ASF: play duration less preroll, the stream's format",
       AsfObject(asfHeader, LittleEndian(2, 4) + "\1\2" + fileProperties + streamProperties),
       "2000 64 48000 2"},
  });
}

TEST(AudioPropertiesOthers, MonkeysAudioWavPackMusepack) {
  // Monkey's Audio 3.99: a 52-byte descriptor, then compression, flags, blocks per frame, final
  // frame's blocks, frames, bits, channels, rate. 2 frames of 44100 blocks: 2 s.
  const std::string monkeys = "MAC "s + LittleEndian(3990, 2) + LittleEndian(0, 2) +
                              LittleEndian(52, 4) + std::string(40, '\0') + LittleEndian(2000, 2) +
                              LittleEndian(0, 2) + LittleEndian(44100, 4) + LittleEndian(44100, 4) +
                              LittleEndian(2, 4) + LittleEndian(16, 2) + LittleEndian(2, 2) +
                              LittleEndian(44100, 4) + std::string(24'910, '\0');
  // WavPack: one block, mono, rate index 9 (44100), 88200 samples, initial and final block.
  const auto wavPack = [](std::uint32_t flags) {
    return "wvpk"s + LittleEndian(24, 4) + LittleEndian(0x410, 2) + "\0\0"s +
           LittleEndian(88200, 4) + LittleEndian(0, 4) + LittleEndian(88200, 4) +
           LittleEndian(flags, 4) + LittleEndian(0, 4) + std::string(49'968, '\0');
  };
  // Musepack 8: "SH" of size 12: CRC, version 8, 96000 samples, no silence, 48 kHz, stereo.
  const std::string musepack =
      "MPCK"
      "SH\x0C"s +
      std::string(4, '\0') + "\x08"s + "\x85\xEE\x00"s + "\x00"s + "\x20\x10"s +
      std::string(48'000, '\0');
  CheckCases({
      {"Monkey's Audio 3.99 header", monkeys, "2000 100 44100 2"},
      {"WavPack: mono, rate by index", wavPack(9u << 23 | 0x1800 | 0x4), "2000 200 44100 1"},
      {"WavPack: a custom rate is not read", wavPack(15u << 23 | 0x1800), "- - - 2"},
      {"Musepack 8: the stream header", musepack, "2000 192 48000 2"},
  });
}

}  // namespace
}  // namespace jarvet::tags
