// MP4, M4A and M4B: the iTunes-style item list under moov/udta/meta/ilst, found by walking atom
// headers and seeking over everything else, the media data among it.
#include <algorithm>
#include <tuple>

#include "TagReaders.h"
#include "TagText.h"

namespace jarvet::tags {

namespace {

constexpr std::size_t kFullAtomFieldsSize = 4;  // version and flags
constexpr std::size_t kDataFieldsSize = 8;      // type and locale of a data atom
constexpr int kMaxAtomsPerLevel = 4096;
// Data atom types.
constexpr std::uint32_t kUtf8Data = 1;
constexpr std::uint32_t kUtf16Data = 2;
constexpr std::uint32_t kJpegData = 13;
constexpr std::uint32_t kPngData = 14;
constexpr std::uint32_t kBmpData = 27;
constexpr std::uint32_t kTypeMask = 0x00FFFFFF;
constexpr std::size_t kNumberPairAt = 2;  // trkn and disk: padding, number, total

struct TAtom {
  std::string Type;
  std::int64_t DataStart = 0;
  std::int64_t End = 0;
};

// The atoms of [begin, end) one by one; an atom that claims more than its parent holds is cut
// to the parent's end, as a file cut short leaves it.
class TAtomWalker {
 public:
  TAtomWalker(TByteSource& source, std::int64_t begin, std::int64_t end)
      : Source_(source), Position_(begin), End_(std::min(end, source.Size())) {}

  bool Next(TAtom& atom) {
    if (++Count_ > kMaxAtomsPerLevel) return false;
    TRangeReader reader(Source_, Position_, End_);
    std::uint64_t size = reader.U32BE();
    atom.Type = reader.Bytes(4, 4);
    if (size == 1) size = reader.U64BE();
    if (!reader.Ok()) return false;
    const std::uint64_t headerSize = static_cast<std::uint64_t>(reader.FileOffset() - Position_);
    if (size == 0) size = static_cast<std::uint64_t>(End_ - Position_);  // to the end
    if (size < headerSize) return false;
    atom.DataStart = reader.FileOffset();
    atom.End = size > static_cast<std::uint64_t>(End_ - Position_)
                   ? End_
                   : Position_ + static_cast<std::int64_t>(size);
    Position_ = atom.End;
    return true;
  }

  bool Find(std::string_view type, TAtom& atom) {
    while (Next(atom)) {
      if (atom.Type == type) return true;
    }
    return false;
  }

 private:
  TByteSource& Source_;
  std::int64_t Position_;
  std::int64_t End_;
  int Count_ = 0;
};

struct TDataAtom {
  std::uint32_t Type = 0;
  std::int64_t ValueStart = 0;
  std::int64_t End = 0;
};

// The data atoms of an item.
std::vector<TDataAtom> DataAtoms(TByteSource& source, const TAtom& item) {
  std::vector<TDataAtom> atoms;
  TAtomWalker walker(source, item.DataStart, item.End);
  TAtom atom;
  while (walker.Find("data", atom)) {
    TRangeReader reader(source, atom.DataStart, atom.End);
    TDataAtom data;
    data.Type = reader.U32BE() & kTypeMask;
    reader.Skip(4);  // locale
    if (!reader.Ok()) break;
    data.ValueStart = atom.DataStart + static_cast<std::int64_t>(kDataFieldsSize);
    data.End = atom.End;
    atoms.push_back(data);
  }
  return atoms;
}

std::vector<std::string> TextValues(TByteSource& source, const std::vector<TDataAtom>& atoms) {
  std::vector<std::string> values;
  for (const TDataAtom& data : atoms) {
    const std::string bytes =
        ReadBytes(source, data.ValueStart,
                  std::min<std::int64_t>(data.End - data.ValueStart, 2 * kMaxFieldText));
    if (data.Type == kUtf16Data) {
      values.push_back(CutUtf8(Utf16ToUtf8(bytes, true)));
    } else if (data.Type == kUtf8Data) {
      values.push_back(CutUtf8(ValidUtf8(bytes)));
    }
  }
  return values;
}

// trkn and disk hold 16-bit numbers: the number, then the total.
std::pair<std::uint32_t, std::uint32_t> NumberPair(TByteSource& source,
                                                   const std::vector<TDataAtom>& atoms) {
  if (atoms.empty()) return {0, 0};
  TRangeReader reader(source, atoms.front().ValueStart + kNumberPairAt, atoms.front().End);
  const std::uint16_t number = reader.U16BE();
  const std::uint16_t total = reader.U16BE();
  return {number, total};
}

std::string MimeOfDataType(std::uint32_t type) {
  switch (type) {
    case kJpegData:
      return "image/jpeg";
    case kPngData:
      return "image/png";
    case kBmpData:
      return "image/bmp";
    default:
      return std::string();
  }
}

std::string FirstNonEmpty(const std::vector<std::string>& values) {
  for (const std::string& value : values) {
    if (!value.empty()) return value;
  }
  return std::string();
}

void ReadItemList(TByteSource& source, const TAtom& ilst, TTrackTags& tags) {
  tags.TagFormat = "MP4 ilst";
  std::string genreByNumber;
  TAtomWalker walker(source, ilst.DataStart, ilst.End);
  TAtom item;
  while (walker.Next(item)) {
    const std::vector<TDataAtom> atoms = DataAtoms(source, item);
    const auto text = [&](std::string& field) {
      if (field.empty()) field = JoinValues(TextValues(source, atoms));
    };
    const std::string& type = item.Type;
    if (type == "\xA9nam") {
      text(tags.Title);
    } else if (type ==
               "\xA9"
               "ART") {
      text(tags.Artist);
    } else if (type == "aART") {
      text(tags.AlbumArtist);
    } else if (type ==
               "\xA9"
               "alb") {
      text(tags.Album);
    } else if (type ==
               "\xA9"
               "day") {
      if (tags.Year.empty()) tags.Year = YearOf(FirstNonEmpty(TextValues(source, atoms)));
    } else if (type ==
               "\xA9"
               "gen") {
      text(tags.Genre);
    } else if (type ==
               "\xA9"
               "cmt") {
      if (tags.Comment.empty()) tags.Comment = FirstNonEmpty(TextValues(source, atoms));
    } else if (type ==
               "\xA9"
               "wrt") {
      text(tags.Composer);
    } else if (type == "trkn" && tags.Track == 0) {
      std::tie(tags.Track, tags.TrackTotal) = NumberPair(source, atoms);
    } else if (type == "disk" && tags.Disc == 0) {
      tags.Disc = NumberPair(source, atoms).first;
    } else if (type == "gnre" && !atoms.empty() && genreByNumber.empty()) {
      TRangeReader reader(source, atoms.front().ValueStart, atoms.front().End);
      const std::uint16_t number = reader.U16BE();  // ID3v1's index plus one
      if (reader.Ok() && number > 0) genreByNumber = GenreName(number - 1u);
    } else if (type == "covr") {
      for (const TDataAtom& data : atoms) {
        TCoverLocation cover;
        cover.Mime = MimeOfDataType(data.Type);
        cover.PictureType = kFrontCover;
        cover.Offset = data.ValueStart;
        cover.StoredSize = data.End - data.ValueStart;
        cover.Size = cover.StoredSize;
        if (cover.StoredSize >= 0) OfferCover(tags, cover);
      }
    }
  }
  if (tags.Genre.empty()) tags.Genre = genreByNumber;
}

// mvhd and mdhd: version and flags, then the times, 32 or 64 bits by version, the scale
// between them.
std::optional<std::uint32_t> DurationMs(TByteSource& source, const TAtom& header) {
  TRangeReader reader(source, header.DataStart, header.End);
  const bool wide = reader.U8() == 1;
  reader.Skip(3 + (wide ? 16 : 8));  // flags, creation and modification times
  const std::uint32_t scale = reader.U32BE();
  const std::uint64_t duration = wide ? reader.U64BE() : reader.U32BE();
  if (!reader.Ok()) return std::nullopt;
  return LengthOf(static_cast<double>(duration), scale);
}

constexpr int kDescriptorSizeBytes = 4;

struct TDecoderConfig {
  std::uint32_t AverageBitrate = 0;  // 0 when not given
  std::uint32_t Channels = 0;        // from the AAC configuration; 0 when it does not say
};

// An esds atom's decoder configuration: its average bit rate and, from the AAC configuration
// behind it, the channels. The sample entry's own channel field is a template that writers
// leave at 2 even for mono.
TDecoderConfig ReadEsds(TByteSource& source, const TAtom& esds) {
  constexpr std::uint8_t kEsDescriptor = 0x03, kDecoderConfig = 0x04, kDecoderSpecific = 0x05;
  constexpr std::uint8_t kDependsOn = 0x80, kHasUrl = 0x40, kHasOcr = 0x20;
  constexpr std::uint32_t kChannelsByConfig[8] = {0, 1, 2, 3, 4, 5, 6, 8};
  constexpr std::uint32_t kExplicitRate = 15;
  TDecoderConfig config;
  TRangeReader reader(source, esds.DataStart + kFullAtomFieldsSize, esds.End);
  if (reader.U8() != kEsDescriptor) return config;
  SevenBitNumber(reader, kDescriptorSizeBytes);
  reader.Skip(2);  // ES_ID
  const std::uint8_t flags = reader.U8();
  if (flags & kDependsOn) reader.Skip(2);
  if (flags & kHasUrl) reader.Skip(reader.U8());
  if (flags & kHasOcr) reader.Skip(2);
  if (reader.U8() != kDecoderConfig) return config;
  SevenBitNumber(reader, kDescriptorSizeBytes);
  reader.Skip(5);  // object type, stream type, buffer size
  reader.U32BE();  // the largest bit rate
  const std::uint32_t average = reader.U32BE();
  if (!reader.Ok()) return config;
  config.AverageBitrate = average;
  if (reader.U8() != kDecoderSpecific) return config;
  // Object type (5 bits), rate index (4 bits, then 24 bits of rate when 15), channels (4 bits).
  const std::string specific = reader.Bytes(SevenBitNumber(reader, kDescriptorSizeBytes), 5);
  if (!reader.Ok() || specific.size() < 2) return config;
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < 5; ++i) {
    bits = bits << 8 | (i < specific.size() ? static_cast<std::uint8_t>(specific[i]) : 0);
  }
  const auto rateIndex = static_cast<std::uint32_t>(bits >> 31) & 0xF;
  if (rateIndex == kExplicitRate && specific.size() < 5) return config;
  const auto channels =
      static_cast<std::uint32_t>(bits >> (rateIndex == kExplicitRate ? 3 : 27)) & 0xF;
  if ((bits >> 35) != 31 && channels < std::size(kChannelsByConfig)) {
    config.Channels = kChannelsByConfig[channels];
  }
  return config;
}

// The first sample entry of an audio track: mp4a or alac, their sample rate and channels.
void ReadSampleEntry(TByteSource& source, const TAtom& stsd, TTrackTags& tags) {
  constexpr std::int64_t kEntriesAt = 8;      // version, flags, entry count
  constexpr std::int64_t kChannelsAt = 16;    // behind reserved bytes, index, version, vendor
  constexpr std::int64_t kChildrenAt = 28;    // sound description version 0
  constexpr std::int64_t kVersion1More = 16;  // what version 1 adds before the children
  TAtomWalker entries(source, stsd.DataStart + kEntriesAt, stsd.End);
  TAtom entry;
  if (!entries.Next(entry) || (entry.Type != "mp4a" && entry.Type != "alac")) return;
  TRangeReader reader(source, entry.DataStart + 8, entry.End);
  const std::uint16_t version = reader.U16BE();
  reader.Skip(kChannelsAt - 10);
  const std::uint16_t channels = reader.U16BE();
  reader.Skip(6);                                   // sample size, compression id, packet size
  const std::uint32_t rate = reader.U32BE() >> 16;  // 16.16 fixed point
  if (!reader.Ok() || version > 1) return;
  TAudioProperties& audio = tags.Audio;
  audio.Channels = Figure(channels, kMaxChannels);
  audio.SampleRate = Figure(rate, kMaxSampleRate);
  const std::int64_t children = entry.DataStart + kChildrenAt + (version == 1 ? kVersion1More : 0);
  TAtom child;
  if (entry.Type == "mp4a" && TAtomWalker(source, children, entry.End).Find("esds", child)) {
    const TDecoderConfig config = ReadEsds(source, child);
    audio.Bitrate = Figure(config.AverageBitrate / 1000.0, kMaxBitrate);
    if (config.Channels > 0) audio.Channels = config.Channels;
  } else if (entry.Type == "alac" && TAtomWalker(source, children, entry.End).Find("alac", child)) {
    // Behind version and flags: frame length, compatible version, bit depth, three tuning
    // bytes, channels, largest run, largest frame, average bit rate, sample rate.
    TRangeReader config(source, child.DataStart + kFullAtomFieldsSize + 9, child.End);
    audio.Channels = Figure(config.U8(), kMaxChannels);
    config.Skip(6);
    const std::uint32_t average = config.U32BE();
    const std::uint32_t alacRate = config.U32BE();
    if (config.Ok()) {
      audio.Bitrate = Figure(average / 1000.0, kMaxBitrate);
      audio.SampleRate = Figure(alacRate, kMaxSampleRate);
    }
  }
}

void ReadMp4Properties(TByteSource& source, const TAtom& moov, TTrackTags& tags) {
  TAtomWalker tracks(source, moov.DataStart, moov.End);
  TAtom atom;
  while (tracks.Next(atom)) {
    TAtom mdia, hdlr, mdhd, minf, stbl, stsd;
    if (atom.Type != "trak" || !TAtomWalker(source, atom.DataStart, atom.End).Find("mdia", mdia) ||
        !TAtomWalker(source, mdia.DataStart, mdia.End).Find("hdlr", hdlr) ||
        ReadBytes(source, hdlr.DataStart + 8, 4) != "soun") {
      continue;
    }
    if (TAtomWalker(source, mdia.DataStart, mdia.End).Find("mdhd", mdhd)) {
      tags.Audio.LengthMs = DurationMs(source, mdhd);
    }
    if (TAtomWalker(source, mdia.DataStart, mdia.End).Find("minf", minf) &&
        TAtomWalker(source, minf.DataStart, minf.End).Find("stbl", stbl) &&
        TAtomWalker(source, stbl.DataStart, stbl.End).Find("stsd", stsd)) {
      ReadSampleEntry(source, stsd, tags);
    }
    break;
  }
  TAtom mvhd;
  if (!tags.Audio.LengthMs && TAtomWalker(source, moov.DataStart, moov.End).Find("mvhd", mvhd)) {
    tags.Audio.LengthMs = DurationMs(source, mvhd);
  }
  if (!tags.Audio.Bitrate) {
    std::int64_t mediaBytes = 0;
    TAtomWalker top(source, 0, source.Size());
    while (top.Next(atom)) {
      if (atom.Type == "mdat") mediaBytes += atom.End - atom.DataStart;
    }
    FillBitrate(tags, mediaBytes);
  }
}

}  // namespace

void ReadMp4Tags(TByteSource& source, TTrackTags& tags) {
  TAtom moov, udta, meta, ilst;
  if (!TAtomWalker(source, 0, source.Size()).Find("moov", moov)) return;
  ReadMp4Properties(source, moov, tags);
  if (!TAtomWalker(source, moov.DataStart, moov.End).Find("udta", udta)) return;
  if (!TAtomWalker(source, udta.DataStart, udta.End).Find("meta", meta)) return;
  // meta is a full atom with version and flags, except where QuickTime wrote it without.
  std::int64_t children = meta.DataStart;
  if (ReadBytes(source, meta.DataStart + 4, 4) != "hdlr") children += kFullAtomFieldsSize;
  if (!TAtomWalker(source, children, meta.End).Find("ilst", ilst)) return;
  ReadItemList(source, ilst, tags);
}

}  // namespace jarvet::tags
