// The live now-playing server for stream overlays, and the cover picture kept in a file.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "Commands.h"
#include "NowServer.h"

namespace jarvet {

void Serve(TCommandContext& c);      // SERVE
void WatchArt(TCommandContext& c);   // WATCHART

// The server's source of states and control sink over the player that connect finds, found
// again whenever it is not running.
std::unique_ptr<TNowSource> PlayerNowSource(std::function<std::unique_ptr<TPlayer>()> connect);

// SERVE's argument, "PORT" or "ADDRESS:PORT" ("[::1]:PORT" for an IPv6 address); false when it
// does not read.
bool ParseListenAddress(std::string_view text, std::string& address, int& port);

// The MIME type of a picture by its first bytes, else by what its tag says; never empty.
std::string PictureMimeType(std::string_view bytes, const std::string& tagMime);

}  // namespace jarvet
