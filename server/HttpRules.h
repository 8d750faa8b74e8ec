// The small rules of the now-playing server, free of any socket: which Host a request may name,
// the control token, the members it adds to the JSON object, the event stream's framing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace jarvet {

// A Host header a page reached through DNS rebinding cannot send: an IP address literal,
// "localhost" or "[::1]"-style brackets, each with or without a port; no header at all too.
bool IsAllowedHost(std::string_view host);

// Equal, in a time that does not tell where they first differ.
bool SameSecret(std::string_view a, std::string_view b);

// The token of "Bearer TOKEN"; empty when the header is of another kind.
std::optional<std::string> BearerToken(std::string_view authorization);

// The object with one more member at its end; valueJson is already JSON.
std::string WithMember(std::string_view object, std::string_view name, std::string_view valueJson);

// One Server-Sent Events message carrying a line of data.
std::string EventMessage(std::string_view data);

// An entity tag that changes with the bytes: "\"" + 16 hex digits + "\"".
std::string EntityTag(std::string_view bytes);

// A 1x1 transparent PNG: what an image source shows while there is no cover.
std::string_view TransparentPng();

// A random token of 32 hex digits.
std::string RandomToken();

}  // namespace jarvet
