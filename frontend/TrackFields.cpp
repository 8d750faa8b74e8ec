// What the now-playing commands know of the current track and the player, and how it is shown.
#include "TrackFields.h"

#include <algorithm>
#include <cstdio>

#include "Text.h"
#include "Unicode.h"

namespace jarvet {

namespace {

constexpr std::int64_t kMsPerSecond = 1000;

bool IsTrackField(TField field) { return field <= TField::Format; }


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

// Times are values of ms; in a template they read as clock times, except the ms fields.
bool IsClockField(TField field) {
  return field == TField::Position || field == TField::Length || field == TField::Remaining;
}

TValue ValueOf(const TTrackFacts& f, TField field) {
  if (IsTrackField(field) && f.File.empty()) return {};
  switch (field) {
    case TField::Title: {
      const std::string title = TagText(f, &tags::TTrackTags::Title, &TPlayerTrack::Title);
      return TextValue(title.empty() ? FileStem(f.File) : title);
    }
    case TField::Artist: return TextValue(TagText(f, &tags::TTrackTags::Artist, &TPlayerTrack::Artist));
    case TField::Album: return TextValue(TagText(f, &tags::TTrackTags::Album, &TPlayerTrack::Album));
    case TField::AlbumArtist:
      return TextValue(TagText(f, &tags::TTrackTags::AlbumArtist, &TPlayerTrack::AlbumArtist));
    case TField::Year: return TextValue(TagText(f, &tags::TTrackTags::Year, &TPlayerTrack::Year));
    case TField::Track:
      return IntValue(Positive(TagNumber(f, &tags::TTrackTags::Track, &TPlayerTrack::Track)));
    case TField::TrackTotal:
      return IntValue(Positive(TagNumber(f, &tags::TTrackTags::TrackTotal)));
    case TField::Disc:
      return IntValue(Positive(TagNumber(f, &tags::TTrackTags::Disc, &TPlayerTrack::Disc)));
    case TField::Genre: return TextValue(TagText(f, &tags::TTrackTags::Genre, &TPlayerTrack::Genre));
    case TField::Comment:
      return TextValue(TagText(f, &tags::TTrackTags::Comment, &TPlayerTrack::Comment));
    case TField::Composer:
      return TextValue(TagText(f, &tags::TTrackTags::Composer, &TPlayerTrack::Composer));
    case TField::File: return TextValue(f.File);
    case TField::FileName: return TextValue(FileNameOf(f.File));
    case TField::Format: return TextValue(FileTagText(f, &tags::TTrackTags::Format));
    case TField::Status: return TextValue(StatusWord(f.Status));
    case TField::Position:
    case TField::PositionMs: return IntValue(Optional(f.PositionMs));
    case TField::Length:
    case TField::LengthMs: return IntValue(Length(f));
    case TField::Remaining: return IntValue(Remaining(f));
    case TField::Bitrate:
      return IntValue(AudioFigure(f, f.Figures.BitrateKbps, &tags::TAudioProperties::Bitrate));
    case TField::SampleRate:
      return IntValue(AudioFigure(f, f.Figures.SampleRateHz, &tags::TAudioProperties::SampleRate));
    case TField::Channels:
      return IntValue(AudioFigure(f, f.Figures.Channels, &tags::TAudioProperties::Channels));
    case TField::Volume: return IntValue(Optional(f.Volume));
    case TField::Shuffle: return FlagValue(f.Shuffle);
    case TField::Repeat: return FlagValue(f.Repeat);
    case TField::PlaylistPos:
      return IntValue(f.PlaylistPos && f.PlaylistLength && *f.PlaylistPos >= 0 &&
                              *f.PlaylistPos < *f.PlaylistLength
                          ? std::optional<std::int64_t>(*f.PlaylistPos + 1)
                          : std::nullopt);
    case TField::PlaylistLength: return IntValue(Optional(f.PlaylistLength));
  }
  return {};
}

void AppendJsonString(std::string& out, const std::string& text) {
  out += '"';
  for (char c : ValidUtf8(text)) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

}  // namespace

const std::vector<std::string>& FieldNames() {
  static const std::vector<std::string> names{
      "title",    "artist",     "album",      "albumartist", "year",        "track",
      "tracktotal", "disc",     "genre",      "comment",     "composer",    "file",
      "filename", "format",     "status",     "position",    "length",      "remaining",
      "positionms", "lengthms", "bitrate",    "samplerate",  "channels",    "volume",
      "shuffle",  "repeat",     "playlistpos", "playlistlength"};
  return names;
}

TFactNeeds NeedsOf(const std::vector<std::size_t>& fields) {
  TFactNeeds needs;
  for (std::size_t index : fields) {
    const auto field = static_cast<TField>(index);
    if (IsTrackField(field)) needs.Track = true;
    switch (field) {
      case TField::Status: needs.Status = true; break;
      case TField::Position: case TField::PositionMs: needs.Times = true; break;
      // The file's headers fill what the player does not give.
      case TField::Length: case TField::Remaining: case TField::LengthMs:
        needs.Times = needs.Track = true;
        break;
      case TField::Bitrate: case TField::SampleRate: case TField::Channels:
        needs.Info = needs.Track = true;
        break;
      case TField::Volume: needs.Volume = true; break;
      case TField::Shuffle: case TField::Repeat: needs.Flags = true; break;
      case TField::PlaylistPos: case TField::PlaylistLength: needs.Playlist = true; break;
      default: break;
    }
  }
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

std::string FieldText(const TTrackFacts& facts, TField field) {
  const TValue value = ValueOf(facts, field);
  switch (value.Kind) {
    case TValue::None: return std::string();
    case TValue::Text: return value.String;
    case TValue::Flag: return value.Bool ? "on" : "off";
    case TValue::Integer: return IsClockField(field) ? ClockTime(value.Int) : IntToStr(value.Int);
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
    const TValue value = ValueOf(facts, static_cast<TField>(i));
    switch (value.Kind) {
      case TValue::None: out += "null"; break;
      case TValue::Text: AppendJsonString(out, value.String); break;
      case TValue::Integer: out += IntToStr(value.Int); break;
      case TValue::Flag: out += value.Bool ? "true" : "false"; break;
    }
  }
  return out + "}";
}

}  // namespace jarvet
