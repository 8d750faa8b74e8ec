// ASF (WMA): the Content Description and the attributes of the Extended Content Description,
// Metadata and Metadata Library objects, pictures among them.
#include <algorithm>
#include <array>

#include "TagReaders.h"
#include "TagText.h"
#include "Text.h"

namespace jarvet::tags {

namespace {

using TGuid = std::array<std::uint8_t, 16>;

// As stored: the first three fields little-endian.
constexpr TGuid kHeaderObject = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr TGuid kContentDescription = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                       0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr TGuid kExtendedContentDescription = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                               0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
constexpr TGuid kHeaderExtension = {0xB5, 0x03, 0xBF, 0x5F, 0x2E, 0xA9, 0xCF, 0x11,
                                    0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr TGuid kMetadata = {0xEA, 0xCB, 0xF8, 0xC5, 0xAF, 0x5B, 0x77, 0x48,
                             0x84, 0x67, 0xAA, 0x8C, 0x44, 0xFA, 0x4C, 0xCA};
constexpr TGuid kMetadataLibrary = {0x94, 0x1C, 0x23, 0x44, 0x98, 0x94, 0xD1, 0x49,
                                    0xA1, 0x41, 0x1D, 0x13, 0x4E, 0x45, 0x70, 0x54};

constexpr TGuid kFileProperties = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                   0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr TGuid kStreamProperties = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                     0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr TGuid kAudioMedia = {0x40, 0x9E, 0x69, 0xF8, 0x4D, 0x5B, 0xCF, 0x11,
                               0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};

constexpr std::size_t kObjectHeaderSize = 24;           // GUID and 64-bit size
constexpr std::size_t kHeaderObjectFieldsSize = 6;      // object count and two reserved bytes
constexpr std::size_t kHeaderExtensionFieldsSize = 22;  // reserved GUID, reserved, data size
constexpr int kMaxObjects = 4096;
constexpr std::size_t kContentDescriptionTexts =
    5;  // title, author, copyright, description, rating
constexpr std::size_t kMaxMimeUnits = 256;

// Attribute value types.
constexpr std::uint16_t kUnicode = 0;
constexpr std::uint16_t kBytes = 1;
constexpr std::uint16_t kDword = 3;
constexpr std::uint16_t kQword = 4;
constexpr std::uint16_t kWord = 5;

struct TObject {
  TGuid Guid{};
  std::int64_t DataStart = 0;
  std::int64_t End = 0;
};

// The objects of [begin, end), each cut to end when it claims more.
class TObjectWalker {
 public:
  TObjectWalker(TByteSource& source, std::int64_t begin, std::int64_t end)
      : Source_(source), Position_(begin), End_(std::min(end, source.Size())) {}

  bool Next(TObject& object) {
    if (++Count_ > kMaxObjects) return false;
    TRangeReader reader(Source_, Position_, End_);
    reader.Read(object.Guid.data(), object.Guid.size());
    const std::uint64_t size = reader.U64LE();
    if (!reader.Ok() || size < kObjectHeaderSize) return false;
    object.DataStart = reader.FileOffset();
    object.End = size > static_cast<std::uint64_t>(End_ - Position_)
                     ? End_
                     : Position_ + static_cast<std::int64_t>(size);
    Position_ = object.End;
    return true;
  }

 private:
  TByteSource& Source_;
  std::int64_t Position_;
  std::int64_t End_;
  int Count_ = 0;
};

std::string Utf16Text(std::string_view bytes) {
  std::string text = Utf16ToUtf8(bytes, false);
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return CutUtf8(text.substr(0, text.find('\0')));
}

// UTF-16LE up to and including a zero unit, at most maxUnits of it.
std::string ReadTerminatedUtf16(TSequence& sequence, std::size_t maxUnits, bool& terminated) {
  std::string bytes;
  terminated = false;
  while (bytes.size() < 2 * maxUnits && sequence.Ok()) {
    const std::uint16_t unit = sequence.U16LE();
    if (!sequence.Ok()) break;
    if (unit == 0) {
      terminated = true;
      break;
    }
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return Utf16ToUtf8(bytes, false);
}

class TAttributes {
 public:
  explicit TAttributes(TTrackTags& tags) : Tags_(tags) {}

  // One attribute whose value lies in [valueStart, valueEnd) of the source.
  void Add(TByteSource& source, const std::string& name, std::uint16_t type,
           std::int64_t valueStart, std::int64_t valueEnd) {
    TRangeReader value(source, valueStart, valueEnd);
    if (name == "WM/Picture") {
      if (type == kBytes) ReadPicture(value);
      return;
    }
    if (!TKeyValues::Uses(name)) return;
    std::string text;
    switch (type) {
      case kUnicode:
        text = Utf16Text(value.Bytes(value.Left(), 2 * kMaxFieldText));
        break;
      case kDword:
        text = std::to_string(value.U32LE());
        break;
      case kQword:
        text = std::to_string(value.U64LE());
        break;
      case kWord:
        text = std::to_string(value.U16LE());
        break;
      default:
        return;
    }
    if (value.Ok()) Fields_.Add(name, std::move(text));
  }

  void Fill(const std::string& title, const std::string& author, const std::string& description) {
    Tags_.TagFormat = "ASF";
    Tags_.Title = title.empty() ? Fields_.Joined({"Title"}) : title;
    Tags_.Artist = author.empty() ? Fields_.Joined({"Author"}) : author;
    Tags_.Album = Fields_.Joined({"WM/AlbumTitle"});
    Tags_.AlbumArtist = Fields_.Joined({"WM/AlbumArtist"});
    Tags_.Year = YearOf(Fields_.First({"WM/Year"}));
    const std::string track = Fields_.First({"WM/TrackNumber"});
    Tags_.Track = NumberBeforeSlash(track);
    Tags_.TrackTotal = NumberAfterSlash(track);
    Tags_.Disc = NumberBeforeSlash(Fields_.First({"WM/PartOfSet"}));
    Tags_.Genre = Fields_.Joined({"WM/Genre"});
    Tags_.Comment = description.empty() ? Fields_.First({"Description"}) : description;
    Tags_.Composer = Fields_.Joined({"WM/Composer"});
  }

 private:
  // Picture type, data size, MIME and description (UTF-16LE, zero-terminated), then the data.
  void ReadPicture(TRangeReader& value) {
    TCoverLocation cover;
    cover.PictureType = value.U8();
    const std::uint32_t size = value.U32LE();
    bool terminated = false;
    cover.Mime = ReadTerminatedUtf16(value, kMaxMimeUnits, terminated);
    if (!terminated) return;
    ReadTerminatedUtf16(value, kMaxFieldText, terminated);
    if (!terminated || !value.Ok() || size > value.Left()) return;
    cover.Offset = value.FileOffset();
    cover.StoredSize = size;
    cover.Size = cover.StoredSize;
    OfferCover(Tags_, cover);
  }

  TTrackTags& Tags_;
  TKeyValues Fields_;
};

// Count, then per attribute: name length, name, type, value length, value.
void ReadExtendedContentDescription(TByteSource& source, const TObject& object,
                                    TAttributes& attributes) {
  TRangeReader reader(source, object.DataStart, object.End);
  const std::uint16_t count = reader.U16LE();
  for (std::uint16_t i = 0; i < count && reader.Ok(); ++i) {
    const std::string name = Utf16Text(reader.Bytes(reader.U16LE(), 2 * kMaxFieldText));
    const std::uint16_t type = reader.U16LE();
    const std::uint16_t length = reader.U16LE();
    const std::int64_t valueStart = reader.FileOffset();
    if (!reader.Skip(length)) break;
    attributes.Add(source, name, type, valueStart, valueStart + length);
  }
}

// Metadata and Metadata Library: count, then per record: language or reserved, stream, name
// length, type, 32-bit value length, name, value.
void ReadMetadata(TByteSource& source, const TObject& object, TAttributes& attributes) {
  TRangeReader reader(source, object.DataStart, object.End);
  const std::uint16_t count = reader.U16LE();
  for (std::uint16_t i = 0; i < count && reader.Ok(); ++i) {
    reader.Skip(4);  // language list index or reserved, stream number
    const std::uint16_t nameLength = reader.U16LE();
    const std::uint16_t type = reader.U16LE();
    const std::uint32_t length = reader.U32LE();
    const std::string name = Utf16Text(reader.Bytes(nameLength, nameLength));
    const std::int64_t valueStart = reader.FileOffset();
    if (!reader.Skip(length)) break;
    attributes.Add(source, name, type, valueStart, valueStart + length);
  }
}

// File Properties: the play duration (100 ns units) less the preroll (ms), both behind the
// file's id, size, creation date and packet count, and the send duration.
void ReadFileProperties(TByteSource& source, const TObject& object, TTrackTags& tags) {
  TRangeReader reader(source, object.DataStart + 40, object.End);
  const std::uint64_t duration = reader.U64LE();
  reader.Skip(8);
  const std::uint64_t preroll = reader.U64LE();
  if (reader.Ok()) {
    tags.Audio.LengthMs = Figure(
        static_cast<double>(duration) / 10000.0 - static_cast<double>(preroll), kMaxLengthMs);
  }
}

// The first audio Stream Properties: its WAVEFORMATEX behind the stream type, error correction
// type, time offset, two data lengths, flags and reserved bytes.
void ReadStreamProperties(TByteSource& source, const TObject& object, TTrackTags& tags) {
  if (tags.Audio.SampleRate) return;
  TRangeReader reader(source, object.DataStart, object.End);
  TGuid type{};
  reader.Read(type.data(), type.size());
  if (type != kAudioMedia) return;
  reader.Skip(16 + 8 + 4 + 4 + 2 + 4 + 2);  // ... and the codec id
  const std::uint16_t channels = reader.U16LE();
  const std::uint32_t rate = reader.U32LE();
  const std::uint32_t bytesPerSecond = reader.U32LE();
  if (!reader.Ok()) return;
  tags.Audio.Channels = Figure(channels, kMaxChannels);
  tags.Audio.SampleRate = Figure(rate, kMaxSampleRate);
  tags.Audio.Bitrate = Figure(bytesPerSecond * 8.0 / 1000.0, kMaxBitrate);
}

}  // namespace

void ReadAsfTags(TByteSource& source, TTrackTags& tags) {
  TObjectWalker top(source, 0, source.Size());
  TObject header;
  if (!top.Next(header) || header.Guid != kHeaderObject) return;
  std::string title, author, description;
  TAttributes attributes(tags);
  TObjectWalker walker(source, header.DataStart + kHeaderObjectFieldsSize, header.End);
  TObject object;
  while (walker.Next(object)) {
    if (object.Guid == kContentDescription) {
      TRangeReader reader(source, object.DataStart, object.End);
      std::array<std::uint16_t, kContentDescriptionTexts> lengths{};
      for (auto& length : lengths) length = reader.U16LE();
      std::array<std::string, kContentDescriptionTexts> texts;
      for (std::size_t i = 0; i < lengths.size(); ++i) {
        texts[i] = Utf16Text(reader.Bytes(lengths[i], lengths[i]));
      }
      title = texts[0];
      author = texts[1];
      description = texts[3];
    } else if (object.Guid == kFileProperties) {
      ReadFileProperties(source, object, tags);
    } else if (object.Guid == kStreamProperties) {
      ReadStreamProperties(source, object, tags);
    } else if (object.Guid == kExtendedContentDescription) {
      ReadExtendedContentDescription(source, object, attributes);
    } else if (object.Guid == kHeaderExtension) {
      TObjectWalker inner(source, object.DataStart + kHeaderExtensionFieldsSize, object.End);
      TObject child;
      while (inner.Next(child)) {
        if (child.Guid == kMetadata || child.Guid == kMetadataLibrary) {
          ReadMetadata(source, child, attributes);
        }
      }
    }
  }
  attributes.Fill(title, author, description);
}

}  // namespace jarvet::tags
