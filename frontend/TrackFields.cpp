// What the now-playing commands know of the current track and the player, and how it is shown.
#include "TrackFields.h"

#include <algorithm>
#include <cstdio>

#include "Text.h"
#include "Unicode.h"

namespace jarvet {

namespace {

constexpr std::int64_t kMsPerSecond = 1000;


// The file's tag where it has one, else what the player says.
std::string TagText(const TTrackFacts& f, std::string tags::TTrackTags::*member,
                    std::string TPlayerTrack::*fromPlayer) {
  if (f.Tags && !((*f.Tags).*member).empty()) return (*f.Tags).*member;
  return f.Player.*fromPlayer;
}

std::int64_t TagNumber(const TTrackFacts& f, std::uint32_t tags::TTrackTags::*member,
                       std::optional<std::uint32_t> TPlayerTrack::*fromPlayer = nullptr) {
  if (f.Tags && (*f.Tags).*member != 0) return (*f.Tags).*member;
  return fromPlayer != nullptr ? (f.Player.*fromPlayer).value_or(0) : 0;
}

std::string FileTagText(const TTrackFacts& f, std::string tags::TTrackTags::*member) {
  return f.Tags ? (*f.Tags).*member : std::string();
}

// A field's value: text, a number, or a flag; none when it has no value.
struct TValue {
  enum { None, Text, Integer, Flag } Kind = None;
  std::string String;
  std::int64_t Int = 0;
  bool Bool = false;
};

TValue TextValue(std::string text) {
  TValue v;
  if (!text.empty()) {
    v.Kind = TValue::Text;
    v.String = std::move(text);
  }
  return v;
}

TValue IntValue(std::optional<std::int64_t> number) {
  TValue v;
  if (number) {
    v.Kind = TValue::Integer;
    v.Int = *number;
  }
  return v;
}

std::optional<std::int64_t> Positive(std::int64_t number) {
  return number > 0 ? std::optional<std::int64_t>(number) : std::nullopt;
}

std::optional<std::int64_t> Optional(std::optional<std::int32_t> number) {
  return number ? std::optional<std::int64_t>(*number) : std::nullopt;
}

TValue FlagValue(std::optional<bool> flag) {
  TValue v;
  if (flag) {
    v.Kind = TValue::Flag;
    v.Bool = *flag;
  }
  return v;
}

// The player's figure where it gives one (it knows the stream), else the one the file's
// headers give, else what the player said.
std::optional<std::int64_t> AudioFigure(const TTrackFacts& f, std::optional<std::int32_t> player,
                                        std::optional<std::uint32_t> tags::TAudioProperties::*file) {
  if (player && *player > 0) return *player;
  if (f.Tags && f.Tags->Audio.*file) return *(f.Tags->Audio.*file);
  return Optional(player);
}

std::optional<std::int64_t> Length(const TTrackFacts& f) {
  return AudioFigure(f, f.LengthMs ? f.LengthMs : f.Player.LengthMs,
                     &tags::TAudioProperties::LengthMs);
}

std::optional<std::int64_t> Remaining(const TTrackFacts& f) {
  const std::optional<std::int64_t> length = Length(f);
  if (!f.PositionMs || !length) return std::nullopt;
  return std::max<std::int64_t>(0, *length - *f.PositionMs);
}

TValue TrackText(const TTrackFacts& f, std::string tags::TTrackTags::*member,
                 std::string TPlayerTrack::*fromPlayer) {
  return TextValue(TagText(f, member, fromPlayer));
}

TValue Title(const TTrackFacts& f) {
  const std::string title = TagText(f, &tags::TTrackTags::Title, &TPlayerTrack::Title);
  return TextValue(title.empty() ? FileStem(f.File) : title);
}

TValue PlaylistPosition(const TTrackFacts& f) {
  return IntValue(f.PlaylistPos && f.PlaylistLength && *f.PlaylistPos >= 0 &&
                          *f.PlaylistPos < *f.PlaylistLength
                      ? std::optional<std::int64_t>(*f.PlaylistPos + 1)
                      : std::nullopt);
}

// What a field needs of the player, as bits of TFactNeeds.
enum TNeed : unsigned {
  kNeedTrack = 1,
  kNeedStatus = 2,
  kNeedTimes = 4,
  kNeedInfo = 8,
  kNeedVolume = 16,
  kNeedFlags = 32,
  kNeedPlaylist = 64,
};

// How a field's number reads in a template.
enum class TShown { AsIs, Clock };

struct TFieldInfo {
  const char* Name;
  TJsonType Json;
  unsigned Needs;  // TNeed bits; the file's own fields need the track
  const char* Help;
  TValue (*Value)(const TTrackFacts&);
  TShown Shown = TShown::AsIs;
};

using T = tags::TTrackTags;
using P = TPlayerTrack;
constexpr unsigned kTrack = kNeedTrack;

// The fields in their documented order, the JSON object's key order. Length, bit rate, sample
// rate and channels need the track too: the file's headers fill what the player does not give.
const TFieldInfo kFields[] = {
    {"title", TJsonType::Text, kTrack, "the title; the file's stem where there is none",
     Title},
    {"artist", TJsonType::Text, kTrack, "the artist",
     [](const TTrackFacts& f) { return TrackText(f, &T::Artist, &P::Artist); }},
    {"album", TJsonType::Text, kTrack, "the album",
     [](const TTrackFacts& f) { return TrackText(f, &T::Album, &P::Album); }},
    {"albumartist", TJsonType::Text, kTrack, "the album artist",
     [](const TTrackFacts& f) { return TrackText(f, &T::AlbumArtist, &P::AlbumArtist); }},
    {"year", TJsonType::Text, kTrack, "the year",
     [](const TTrackFacts& f) { return TrackText(f, &T::Year, &P::Year); }},
    {"track", TJsonType::Number, kTrack, "the track number",
     [](const TTrackFacts& f) { return IntValue(Positive(TagNumber(f, &T::Track, &P::Track))); }},
    {"tracktotal", TJsonType::Number, kTrack, "the number of tracks",
     [](const TTrackFacts& f) { return IntValue(Positive(TagNumber(f, &T::TrackTotal))); }},
    {"disc", TJsonType::Number, kTrack, "the disc number",
     [](const TTrackFacts& f) { return IntValue(Positive(TagNumber(f, &T::Disc, &P::Disc))); }},
    {"genre", TJsonType::Text, kTrack, "the genre",
     [](const TTrackFacts& f) { return TrackText(f, &T::Genre, &P::Genre); }},
    {"comment", TJsonType::Text, kTrack, "the comment",
     [](const TTrackFacts& f) { return TrackText(f, &T::Comment, &P::Comment); }},
    {"composer", TJsonType::Text, kTrack, "the composer",
     [](const TTrackFacts& f) { return TrackText(f, &T::Composer, &P::Composer); }},
    {"file", TJsonType::Text, kTrack, "the whole path or URL",
     [](const TTrackFacts& f) { return TextValue(f.File); }},
    {"filename", TJsonType::Text, kTrack, "the path's last part",
     [](const TTrackFacts& f) { return TextValue(FileNameOf(f.File)); }},
    {"format", TJsonType::Text, kTrack, "the container: MPEG, FLAC, Ogg Vorbis, MP4, ...",
     [](const TTrackFacts& f) { return TextValue(FileTagText(f, &T::Format)); }},
    {"status", TJsonType::Text, kNeedStatus, "playing, paused or stopped",
     [](const TTrackFacts& f) { return TextValue(StatusWord(f.Status)); }},
    {"position", TJsonType::Number, kNeedTimes, "the play position, M:SS",
     [](const TTrackFacts& f) { return IntValue(Optional(f.PositionMs)); }, TShown::Clock},
    {"length", TJsonType::Number, kNeedTimes | kTrack, "the length, M:SS",
     [](const TTrackFacts& f) { return IntValue(Length(f)); }, TShown::Clock},
    {"remaining", TJsonType::Number, kNeedTimes | kTrack, "the time left, M:SS",
     [](const TTrackFacts& f) { return IntValue(Remaining(f)); }, TShown::Clock},
    {"positionms", TJsonType::Number, kNeedTimes, "the play position in ms",
     [](const TTrackFacts& f) { return IntValue(Optional(f.PositionMs)); }},
    {"lengthms", TJsonType::Number, kNeedTimes | kTrack, "the length in ms",
     [](const TTrackFacts& f) { return IntValue(Length(f)); }},
    {"bitrate", TJsonType::Number, kNeedInfo | kTrack, "the bit rate in kbps",
     [](const TTrackFacts& f) {
       return IntValue(AudioFigure(f, f.Figures.BitrateKbps, &tags::TAudioProperties::Bitrate));
     }},
    {"samplerate", TJsonType::Number, kNeedInfo | kTrack, "the sample rate in Hz",
     [](const TTrackFacts& f) {
       return IntValue(
           AudioFigure(f, f.Figures.SampleRateHz, &tags::TAudioProperties::SampleRate));
     }},
    {"channels", TJsonType::Number, kNeedInfo | kTrack, "the number of channels",
     [](const TTrackFacts& f) {
       return IntValue(AudioFigure(f, f.Figures.Channels, &tags::TAudioProperties::Channels));
     }},
    {"volume", TJsonType::Number, kNeedVolume, "the volume, 0 to 255",
     [](const TTrackFacts& f) { return IntValue(Optional(f.Volume)); }},
    {"shuffle", TJsonType::Flag, kNeedFlags, "on or off",
     [](const TTrackFacts& f) { return FlagValue(f.Shuffle); }},
    {"repeat", TJsonType::Flag, kNeedFlags, "on or off",
     [](const TTrackFacts& f) { return FlagValue(f.Repeat); }},
    {"playlistpos", TJsonType::Number, kNeedPlaylist, "the entry's number, from 1",
     PlaylistPosition},
    {"playlistlength", TJsonType::Number, kNeedPlaylist, "the playlist's length",
     [](const TTrackFacts& f) { return IntValue(Optional(f.PlaylistLength)); }},
};

// A field of the file's own (the tags, the path, the format): none without a current file.
bool IsFileField(const TFieldInfo& field) { return field.Needs == kNeedTrack; }

TValue ValueOf(const TTrackFacts& f, std::size_t index) {
  if (index >= std::size(kFields)) return {};
  const TFieldInfo& field = kFields[index];
  if (IsFileField(field) && f.File.empty()) return {};
  // With nothing loaded the player's figures are the last track's or its defaults.
  if ((field.Needs & kNeedInfo) != 0 && !HasTrack(f)) return {};
  return field.Value(f);
}

}  // namespace

const std::vector<std::string>& FieldNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> all;
    for (const TFieldInfo& field : kFields) all.emplace_back(field.Name);
    return all;
  }();
  return names;
}

std::vector<std::pair<std::string, std::string>> FieldHelp() {
  std::vector<std::pair<std::string, std::string>> help;
  for (const TFieldInfo& field : kFields) help.emplace_back(field.Name, field.Help);
  return help;
}

TFactNeeds NeedsOf(const std::vector<std::size_t>& fields) {
  unsigned bits = 0;
  for (std::size_t index : fields) {
    if (index < std::size(kFields)) bits |= kFields[index].Needs;
  }
  TFactNeeds needs;
  needs.Track = bits & kNeedTrack;
  needs.Status = bits & kNeedStatus;
  needs.Times = bits & kNeedTimes;
  needs.Info = bits & kNeedInfo;
  needs.Volume = bits & kNeedVolume;
  needs.Flags = bits & kNeedFlags;
  needs.Playlist = bits & kNeedPlaylist;
  return needs;
}

TFactNeeds EveryNeed() { return {true, true, true, true, true, true, true}; }

const std::optional<tags::TTrackTags>& TTagCache::For(const std::string& file) {
  if (!File_ || *File_ != file) {
    File_ = file;
    Tags_ = file.empty() || IsUrl(file) ? std::nullopt : tags::ReadTrackTags(file);
  }
  return Tags_;
}

TTrackFacts GatherFacts(TPlayer& player, const TFactNeeds& needs, TTagCache& tags) {
  TTrackFacts f;
  f.Status = player.Status();
  const bool playlist = player.Offers(TFeature::Playlist);
  if ((needs.Track || needs.Playlist) && playlist) {
    f.PlaylistLength = player.PlaylistLength();
    f.PlaylistPos = player.PlaylistPosition();
  }
  if (needs.Track && (!playlist || f.PlaylistLength.value_or(0) > 0)) {
    f.File = player.CurrentFile();
    f.Tags = tags.For(f.File);
    // The window player names a track by its title alone: it is asked only where the file
    // leaves the title open.
    if (!f.Tags || f.Tags->Title.empty() || player.Offers(TFeature::TrackTexts)) {
      f.Player = player.CurrentTrack();
      if (f.File.empty()) f.File = f.Player.File;
    }
  }
  if (needs.Times) {
    f.PositionMs = player.PositionMs();
    f.LengthMs = player.LengthMs();
  }
  if (needs.Info) f.Figures = player.Figures();
  if (needs.Volume && player.Offers(TFeature::Volume)) f.Volume = player.Volume();
  if (needs.Flags) {
    if (player.Offers(TFeature::Shuffle)) f.Shuffle = player.Shuffle();
    if (player.Offers(TFeature::Repeat)) f.Repeat = player.Repeat();
  }
  return f;
}

bool HasTrack(const TTrackFacts& facts) {
  return !facts.File.empty() || facts.PlaylistLength.value_or(0) > 0;
}

std::string ClockTime(std::int64_t milliseconds) {
  const std::int64_t seconds = milliseconds / kMsPerSecond;
  const std::int64_t hours = seconds / 3600;
  const std::int64_t minutes = seconds / 60 % 60;
  char text[32];
  if (hours > 0) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(hours),
                  static_cast<long long>(minutes), static_cast<long long>(seconds % 60));
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(minutes),
                  static_cast<long long>(seconds % 60));
  }
  return text;
}

std::string FieldText(const TTrackFacts& facts, std::size_t field) {
  const TValue value = ValueOf(facts, field);
  switch (value.Kind) {
    case TValue::None: return std::string();
    case TValue::Text: return value.String;
    case TValue::Flag: return value.Bool ? "on" : "off";
    case TValue::Integer:
      return kFields[field].Shown == TShown::Clock ? ClockTime(value.Int) : IntToStr(value.Int);
  }
  return std::string();
}

std::string FactsJson(const TTrackFacts& facts) {
  std::string out = "{";
  const std::vector<std::string>& names = FieldNames();
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) out += ',';
    AppendJsonString(out, names[i]);
    out += ':';
    const TValue value = ValueOf(facts, i);
    if (value.Kind == TValue::None) {
      out += "null";
      continue;
    }
    switch (kFields[i].Json) {
      case TJsonType::Text: AppendJsonString(out, value.String); break;
      case TJsonType::Number: out += IntToStr(value.Int); break;
      case TJsonType::Flag: out += value.Bool ? "true" : "false"; break;
    }
  }
  return out + "}";
}

}  // namespace jarvet
