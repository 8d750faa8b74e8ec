// Byte builders for the track-tag formats: tags and containers made from a few fields, for
// tests, fuzz seeds and benchmarks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace jarvet::testing {

inline std::string LittleEndian(std::uint64_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  return out;
}

inline std::string BigEndian(std::uint64_t value, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  return out;
}

inline std::string SyncsafeBytes(std::uint32_t value) {
  return {static_cast<char>(value >> 21 & 0x7F), static_cast<char>(value >> 14 & 0x7F),
          static_cast<char>(value >> 7 & 0x7F), static_cast<char>(value & 0x7F)};
}

// UTF-16 of ASCII text.
inline std::string Utf16Le(std::string_view ascii) {
  std::string out;
  for (char c : ascii) out += std::string{c, '\0'};
  return out;
}

// An ID3v2 frame as version 2, 3 or 4 lays it out (version 4 with a syncsafe size).
inline std::string Id3Frame(int version, std::string_view id, std::string_view data,
                            char formatFlags = 0) {
  if (version == 2) return std::string(id) + BigEndian(data.size(), 3) + std::string(data);
  const std::string size = version == 4 ? SyncsafeBytes(static_cast<std::uint32_t>(data.size()))
                                        : BigEndian(data.size(), 4);
  return std::string(id) + size + '\0' + formatFlags + std::string(data);
}

inline std::string Id3Tag(int version, std::string_view frames, char flags = 0,
                          std::size_t padding = 8) {
  std::string tag = "ID3";
  tag += static_cast<char>(version);
  tag += '\0';
  tag += flags;
  tag += SyncsafeBytes(static_cast<std::uint32_t>(frames.size() + padding));
  return tag + std::string(frames) + std::string(padding, '\0');
}

// A Vorbis comment: vendor, count, then each field's length and "KEY=value".
inline std::string VorbisComment(const std::vector<std::string>& fields) {
  std::string out = LittleEndian(6, 4) + "jarvet" + LittleEndian(fields.size(), 4);
  for (const std::string& field : fields) out += LittleEndian(field.size(), 4) + field;
  return out;
}

inline std::string FlacBlock(int type, std::string_view data, bool last) {
  return static_cast<char>(type | (last ? 0x80 : 0)) + BigEndian(data.size(), 3) +
         std::string(data);
}

// The first block a FLAC stream must have; its content does not matter to tags.
inline std::string FlacStreamInfo() { return FlacBlock(0, std::string(34, '\0'), false); }

// A FLAC picture block's content.
inline std::string FlacPicture(int type, std::string_view mime, std::string_view picture) {
  return BigEndian(static_cast<std::uint64_t>(type), 4) + BigEndian(mime.size(), 4) +
         std::string(mime) + BigEndian(0, 4) + std::string(16, '\0') +
         BigEndian(picture.size(), 4) + std::string(picture);
}

// One Ogg page; lacing gives the segment sizes.
inline std::string OggPage(std::uint32_t serial, std::uint32_t sequence,
                           const std::vector<std::uint8_t>& lacing, std::string_view data,
                           char type = 0) {
  std::string page = "OggS";
  page += '\0';
  page += type;
  page += std::string(8, '\0') + LittleEndian(serial, 4) + LittleEndian(sequence, 4) +
          std::string(4, '\0');
  page += static_cast<char>(lacing.size());
  for (std::uint8_t l : lacing) page += static_cast<char>(l);
  return page + std::string(data);
}

// Packets laid into pages of at most segmentsPerPage segments each.
inline std::string OggStream(const std::vector<std::string>& packets, std::uint32_t serial,
                             std::size_t segmentsPerPage = 255) {
  std::vector<std::uint8_t> lacing;
  std::string data;
  std::string out;
  std::uint32_t sequence = 0;
  const auto flush = [&] {
    out += OggPage(serial, sequence++, lacing, data);
    lacing.clear();
    data.clear();
  };
  for (const std::string& packet : packets) {
    std::size_t left = packet.size();
    std::size_t at = 0;
    for (;;) {
      const std::size_t segment = left < 255 ? left : 255;
      lacing.push_back(static_cast<std::uint8_t>(segment));
      data += packet.substr(at, segment);
      at += segment;
      left -= segment;
      if (lacing.size() == segmentsPerPage) flush();
      if (segment < 255) break;
    }
  }
  if (!lacing.empty()) flush();
  return out;
}

inline std::string Mp4Atom(std::string_view type, std::string_view body) {
  return BigEndian(body.size() + 8, 4) + std::string(type) + std::string(body);
}

// An ilst item of one data atom.
inline std::string Mp4Item(std::string_view type, std::uint32_t dataType, std::string_view value) {
  return Mp4Atom(type,
                 Mp4Atom("data", BigEndian(dataType, 4) + BigEndian(0, 4) + std::string(value)));
}

// moov/udta/meta/ilst around the items.
inline std::string Mp4Moov(std::string_view items) {
  const std::string hdlr =
      Mp4Atom("hdlr", std::string(8, '\0') + "mdirappl" + std::string(9, '\0'));
  const std::string meta = Mp4Atom("meta", std::string(4, '\0') + hdlr + Mp4Atom("ilst", items));
  return Mp4Atom("moov", Mp4Atom("udta", meta));
}

inline std::string Mp4Ftyp() { return Mp4Atom("ftyp", "M4A " + BigEndian(0, 4) + "M4A isom"); }

inline std::string AsfObject(std::string_view guid, std::string_view body) {
  return std::string(guid) + LittleEndian(body.size() + 24, 8) + std::string(body);
}

inline std::string RiffChunk(std::string_view id, std::string_view data, bool bigEndian = false) {
  std::string chunk = std::string(id) +
                      (bigEndian ? BigEndian(data.size(), 4) : LittleEndian(data.size(), 4)) +
                      std::string(data);
  if (data.size() % 2) chunk += '\0';
  return chunk;
}

// An APEv2 tag of text items; withHeader puts the header in front.
inline std::string ApeTag(const std::vector<std::pair<std::string, std::string>>& items,
                          bool withHeader = false, std::uint32_t itemFlags = 0) {
  std::string body;
  for (const auto& [key, value] : items) {
    body += LittleEndian(value.size(), 4) + LittleEndian(itemFlags, 4) + key + '\0' + value;
  }
  const auto frame = [&](std::uint32_t flags) {
    return "APETAGEX" + LittleEndian(2000, 4) + LittleEndian(body.size() + 32, 4) +
           LittleEndian(items.size(), 4) + LittleEndian(flags, 4) + std::string(8, '\0');
  };
  const std::uint32_t hasHeader = withHeader ? 1u << 31 : 0;
  return (withHeader ? frame(hasHeader | 1u << 29) : "") + body + frame(hasHeader);
}

}  // namespace jarvet::testing
