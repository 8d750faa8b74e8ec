// The ID3v1 reader: the 128-byte trailer at the end of an audio file, its layout, and the
// genre names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace jarvet {

constexpr std::size_t kID3v1TrailerSize = 128;

// Reads the last 128 bytes of the file; false on any failure, and then nothing is reported.
bool ReadTrailer(const std::string& fileName, unsigned char (&buffer)[kID3v1TrailerSize]);

// 2 for an ID3v1.1 trailer (one that carries a track byte), 1 otherwise.
int DetectVersion(const unsigned char* trailer);

// The trailer's layout, read once for both readers: each field's area as stored, the writer's
// padding still there. Empty when the trailer does not begin with "TAG".
struct TID3v1Areas {
  bool Version11 = false;
  std::string_view Title, Artist, Album, Year, Comment;
  std::uint8_t Track = 0;  // 0 in version 1.0
  std::uint8_t Genre = 0;
};
std::optional<TID3v1Areas> SplitTrailer(const unsigned char (&trailer)[kID3v1TrailerSize]);

class TID3v1 {
 public:
  static constexpr std::uint8_t kVersion10 = 1;
  static constexpr std::uint8_t kVersion11 = 2;
  static constexpr std::uint8_t kNoGenre = 255;

  TID3v1() = default;

  void Reset();
  // True when the trailer could be read, whether or not it holds a tag; see TagFound.
  bool Load(const std::string& fileName);

  bool TagFound = false;
  std::uint8_t Version = kVersion10;
  std::string Title;
  std::string Artist;
  std::string Album;
  std::string Year;
  std::string Comment;
  std::uint8_t Track = 0;
  std::uint8_t GenreIndex = kNoGenre;
};

inline constexpr int GenreCount = 148;

// The ID3v1 genres (0 to 79) and the common extension of them (80 to 147), spelt as the
// tagging programs of the time spelt them.
inline constexpr const char* GenreNames[GenreCount] = {"Blues",
                                                       "Classic Rock",
                                                       "Country",
                                                       "Dance",
                                                       "Disco",
                                                       "Funk",
                                                       "Grunge",
                                                       "Hip-Hop",
                                                       "Jazz",
                                                       "Metal",
                                                       "New Age",
                                                       "Oldies",
                                                       "Other",
                                                       "Pop",
                                                       "R&B",
                                                       "Rap",
                                                       "Reggae",
                                                       "Rock",
                                                       "Techno",
                                                       "Industrial",
                                                       "Alternative",
                                                       "Ska",
                                                       "Death Metal",
                                                       "Pranks",
                                                       "Soundtrack",
                                                       "Euro-Techno",
                                                       "Ambient",
                                                       "Trip-Hop",
                                                       "Vocal",
                                                       "Jazz+Funk",
                                                       "Fusion",
                                                       "Trance",
                                                       "Classical",
                                                       "Instrumental",
                                                       "Acid",
                                                       "House",
                                                       "Game",
                                                       "Sound Clip",
                                                       "Gospel",
                                                       "Noise",
                                                       "AlternRock",
                                                       "Bass",
                                                       "Soul",
                                                       "Punk",
                                                       "Space",
                                                       "Meditative",
                                                       "Instrumental Pop",
                                                       "Instrumental Rock",
                                                       "Ethnic",
                                                       "Gothic",
                                                       "Darkwave",
                                                       "Techno-Industrial",
                                                       "Electronic",
                                                       "Pop-Folk",
                                                       "Eurodance",
                                                       "Dream",
                                                       "Southern Rock",
                                                       "Comedy",
                                                       "Cult",
                                                       "Gangsta",
                                                       "Top 40",
                                                       "Christian Rap",
                                                       "Pop/Funk",
                                                       "Jungle",
                                                       "Native American",
                                                       "Cabaret",
                                                       "New Wave",
                                                       "Psychadelic",
                                                       "Rave",
                                                       "Showtunes",
                                                       "Trailer",
                                                       "Lo-Fi",
                                                       "Tribal",
                                                       "Acid Punk",
                                                       "Acid Jazz",
                                                       "Polka",
                                                       "Retro",
                                                       "Musical",
                                                       "Rock & Roll",
                                                       "Hard Rock",
                                                       "Folk",
                                                       "Folk-Rock",
                                                       "National Folk",
                                                       "Swing",
                                                       "Fast Fusion",
                                                       "Bebob",
                                                       "Latin",
                                                       "Revival",
                                                       "Celtic",
                                                       "Bluegrass",
                                                       "Avantgarde",
                                                       "Gothic Rock",
                                                       "Progessive Rock",
                                                       "Psychedelic Rock",
                                                       "Symphonic Rock",
                                                       "Slow Rock",
                                                       "Big Band",
                                                       "Chorus",
                                                       "Easy Listening",
                                                       "Acoustic",
                                                       "Humour",
                                                       "Speech",
                                                       "Chanson",
                                                       "Opera",
                                                       "Chamber Music",
                                                       "Sonata",
                                                       "Symphony",
                                                       "Booty Bass",
                                                       "Primus",
                                                       "Porn Groove",
                                                       "Satire",
                                                       "Slow Jam",
                                                       "Club",
                                                       "Tango",
                                                       "Samba",
                                                       "Folklore",
                                                       "Ballad",
                                                       "Power Ballad",
                                                       "Rhythmic Soul",
                                                       "Freestyle",
                                                       "Duet",
                                                       "Punk Rock",
                                                       "Drum Solo",
                                                       "A capella",
                                                       "Euro-House",
                                                       "Dance Hall",
                                                       "Goa",
                                                       "Drum & Bass",
                                                       "Club-House",
                                                       "Hardcore",
                                                       "Terror",
                                                       "Indie",
                                                       "BritPop",
                                                       "Negerpunk",
                                                       "Polsk Punk",
                                                       "Beat",
                                                       "Christian Gangsta Rap",
                                                       "Heavy Metal",
                                                       "Black Metal",
                                                       "Crossover",
                                                       "Contemporary Christian",
                                                       "Christian Rock",
                                                       "Merengue",
                                                       "Salsa",
                                                       "Trash Metal",
                                                       "Anime",
                                                       "JPop",
                                                       "Synthpop"};

}  // namespace jarvet
