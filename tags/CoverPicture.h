// A track's cover picture, read from where the tag readers found it.
#pragma once

#include <optional>
#include <string>

#include "TrackTags.h"

namespace jarvet::tags {

class TByteSource;

// The largest picture read; a tag that claims more is taken as damaged.
constexpr std::int64_t kMaxCoverBytes = 64 << 20;

// The picture's bytes as stored, undone from the tag's own encoding (ID3v2 unsynchronisation,
// a base64 picture block); none when they can't be read whole. fileName is UTF-8.
std::optional<std::string> ReadCoverPicture(const std::string& fileName,
                                            const TCoverLocation& cover);
std::optional<std::string> ReadCoverPicture(TByteSource& source, const TCoverLocation& cover);

}  // namespace jarvet::tags
