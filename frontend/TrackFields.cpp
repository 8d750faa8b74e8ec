// What the now-playing commands know of the current track and the player, and how it is shown.
#include "TrackFields.h"

#include <algorithm>
#include <cstdio>

#include "CodePage.h"
#include "PlayerProtocol.h"
#include "Text.h"
#include "Unicode.h"

namespace jarvet {

namespace {

constexpr std::int64_t kMsPerSecond = 1000;

bool IsTrackField(TField field) { return field <= TField::Format; }

// The player's figures of the playing track: with an empty playlist they are the last track's,
// or the player's defaults, and stand for nothing.
bool IsTrackFigure(TField field) {
  return field == TField::Bitrate || field == TField::SampleRate || field == TField::Channels;
}


std::string TagText(const TTrackFacts& f, std::string tags::TTrackTags::*member) {
  return f.Tags ? (*f.Tags).*member : std::string();
}

std::int64_t TagNumber(const TTrackFacts& f, std::uint32_t tags::TTrackTags::*member) {
  return f.Tags ? (*f.Tags).*member : 0;
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

TValue FlagValue(std::optional<bool> flag) {
  TValue v;
  if (flag) {
    v.Kind = TValue::Flag;
    v.Bool = *flag;
  }
  return v;
}

std::optional<std::int64_t> Remaining(const TTrackFacts& f) {
  if (!f.PositionMs || !f.LengthMs) return std::nullopt;
  return std::max<std::int64_t>(0, std::int64_t{*f.LengthMs} - *f.PositionMs);
}

// Times are values of ms; in a template they read as clock times, except the ms fields.
bool IsClockField(TField field) {
  return field == TField::Position || field == TField::Length || field == TField::Remaining;
}

TValue ValueOf(const TTrackFacts& f, TField field) {
  if (IsTrackField(field) && f.File.empty()) return {};
  if (IsTrackFigure(field) && f.PlaylistLength <= 0) return {};
  switch (field) {
    case TField::Title: {
      const std::string tagged = TagText(f, &tags::TTrackTags::Title);
      if (!tagged.empty()) return TextValue(tagged);
      if (!f.PlayerTitle.empty()) return TextValue(f.PlayerTitle);
      return TextValue(FileStem(f.File));
    }
    case TField::Artist: return TextValue(TagText(f, &tags::TTrackTags::Artist));
    case TField::Album: return TextValue(TagText(f, &tags::TTrackTags::Album));
    case TField::AlbumArtist: return TextValue(TagText(f, &tags::TTrackTags::AlbumArtist));
    case TField::Year: return TextValue(TagText(f, &tags::TTrackTags::Year));
    case TField::Track: return IntValue(Positive(TagNumber(f, &tags::TTrackTags::Track)));
    case TField::TrackTotal:
      return IntValue(Positive(TagNumber(f, &tags::TTrackTags::TrackTotal)));
    case TField::Disc: return IntValue(Positive(TagNumber(f, &tags::TTrackTags::Disc)));
    case TField::Genre: return TextValue(TagText(f, &tags::TTrackTags::Genre));
    case TField::Comment: return TextValue(TagText(f, &tags::TTrackTags::Comment));
    case TField::Composer: return TextValue(TagText(f, &tags::TTrackTags::Composer));
    case TField::File: return TextValue(f.File);
    case TField::FileName: return TextValue(FileNameOf(f.File));
    case TField::Format: return TextValue(TagText(f, &tags::TTrackTags::Format));
    case TField::Status: return TextValue(f.Status);
    case TField::Position:
    case TField::PositionMs:
      return IntValue(f.PositionMs ? std::optional<std::int64_t>(*f.PositionMs) : std::nullopt);
    case TField::Length:
    case TField::LengthMs:
      return IntValue(f.LengthMs ? std::optional<std::int64_t>(*f.LengthMs) : std::nullopt);
    case TField::Remaining: return IntValue(Remaining(f));
    case TField::Bitrate: return IntValue(Positive(f.Bitrate));
    case TField::SampleRate: return IntValue(Positive(f.SampleRate));
    case TField::Channels: return IntValue(Positive(f.Channels));
    case TField::Volume:
      return IntValue(f.Volume >= 0 ? std::optional<std::int64_t>(f.Volume) : std::nullopt);
    case TField::Shuffle: return FlagValue(f.Shuffle);
    case TField::Repeat: return FlagValue(f.Repeat);
    case TField::PlaylistPos:
      return IntValue(f.PlaylistPos >= 0 && f.PlaylistPos < f.PlaylistLength
                          ? std::optional<std::int64_t>(f.PlaylistPos + 1)
                          : std::nullopt);
    case TField::PlaylistLength: return IntValue(std::int64_t{f.PlaylistLength});
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
      case TField::Position: case TField::Length: case TField::Remaining:
      case TField::PositionMs: case TField::LengthMs: needs.Times = true; break;
      case TField::Bitrate: case TField::SampleRate: case TField::Channels:
        needs.Info = true;
        needs.Playlist = true;  // they stand for nothing with an empty playlist
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

std::string CurrentFile(TWinampApi& player, std::int32_t position) {
  if (std::optional<std::string> playing = player.GetPlayingFile()) {
    if (!playing->empty()) return *playing;
  }
  if (player.IsGone()) return std::string();
  if (std::optional<std::string> entry = player.GetPlaylistFile(position)) return *entry;
  if (player.IsGone()) return std::string();
  TPlaylist dump;
  player.GetPlaylist(dump);
  return position >= 0 && position < dump.Count() ? AnsiToUtf8(dump.Get(position))
                                                  : std::string();
}

TTrackFacts GatherFacts(TWinampApi& player, const TFactNeeds& needs, TTagCache& tags) {
  TTrackFacts f;
  f.Status = player.GetStatus();
  if (needs.Track || needs.Playlist) {
    f.PlaylistLength = player.GetPlaylistLength();
    f.PlaylistPos = player.GetPlaylistPos();
  }
  if (needs.Track && f.PlaylistLength > 0) {
    f.File = CurrentFile(player, f.PlaylistPos);
    f.Tags = tags.For(f.File);
    if (!f.Tags || f.Tags->Title.empty()) {
      std::optional<std::string> title = player.GetPlayingTitle();
      if (!title || title->empty()) title = player.GetPlaylistTitle(f.PlaylistPos);
      f.PlayerTitle = title.value_or("");
    }
  }
  if (needs.Times) {
    const std::int32_t position = player.GetPositionMs();
    if (position >= 0) f.PositionMs = position;
    const std::int32_t length = player.GetLengthMs();
    if (length >= 0) f.LengthMs = length;
  }
  if (needs.Info) {
    f.Bitrate = player.GetInfo(kInfoBitrate);
    f.SampleRate = player.GetSampleRateHz();
    f.Channels = player.GetInfo(kInfoChannels);
  }
  if (needs.Volume) f.Volume = player.GetVolume();
  if (needs.Flags) {
    f.Shuffle = player.GetShuffle();
    f.Repeat = player.GetRepeat();
  }
  return f;
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
