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

}  // namespace

void ReadMp4Tags(TByteSource& source, TTrackTags& tags) {
  TAtom moov, udta, meta, ilst;
  if (!TAtomWalker(source, 0, source.Size()).Find("moov", moov)) return;
  if (!TAtomWalker(source, moov.DataStart, moov.End).Find("udta", udta)) return;
  if (!TAtomWalker(source, udta.DataStart, udta.End).Find("meta", meta)) return;
  // meta is a full atom with version and flags, except where QuickTime wrote it without.
  std::int64_t children = meta.DataStart;
  if (ReadBytes(source, meta.DataStart + 4, 4) != "hdlr") children += kFullAtomFieldsSize;
  if (!TAtomWalker(source, children, meta.End).Find("ilst", ilst)) return;
  ReadItemList(source, ilst, tags);
}

}  // namespace jarvet::tags
