// The small rules of the now-playing server, free of any socket.
#include "HttpRules.h"

#include <cctype>
#include <cstdio>
#include <random>

#include "Text.h"

namespace jarvet {

namespace {

bool IsIpv4Literal(std::string_view host) {
  int parts = 0;
  std::size_t i = 0;
  while (true) {
    std::size_t digits = 0;
    int value = 0;
    while (i < host.size() && std::isdigit(static_cast<unsigned char>(host[i])) && digits < 4) {
      value = value * 10 + (host[i] - '0');
      ++i;
      ++digits;
    }
    if (digits == 0 || digits > 3 || value > 255) return false;
    ++parts;
    if (i == host.size()) return parts == 4;
    if (host[i] != '.' || parts == 4) return false;
    ++i;
  }
}

bool IsPort(std::string_view text) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

}  // namespace

bool IsAllowedHost(std::string_view host) {
  if (host.empty()) return true;
  if (host.front() == '[') {
    // An IPv6 literal: hex digits, colons and dots only, so never a name.
    const std::size_t close = host.find(']');
    if (close == std::string_view::npos || close < 2) return false;
    for (char c : host.substr(1, close - 1)) {
      if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return false;
    }
    const std::string_view rest = host.substr(close + 1);
    return rest.empty() || (rest.front() == ':' && IsPort(rest.substr(1)));
  }
  const std::size_t colon = host.find(':');
  const std::string_view name = host.substr(0, colon);
  if (colon != std::string_view::npos && !IsPort(host.substr(colon + 1))) return false;
  return IsIpv4Literal(name) || SameTextAscii(name, "localhost");
}

bool SameSecret(std::string_view a, std::string_view b) {
  unsigned difference = a.size() == b.size() ? 0u : 1u;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const char other = i < b.size() ? b[i] : '\0';
    difference |= static_cast<unsigned char>(a[i] ^ other);
  }
  return difference == 0;
}

std::optional<std::string> BearerToken(std::string_view authorization) {
  constexpr std::string_view kScheme = "Bearer ";
  if (authorization.size() < kScheme.size() ||
      !SameTextAscii(authorization.substr(0, kScheme.size()), kScheme)) {
    return std::nullopt;
  }
  return TrimControl(authorization.substr(kScheme.size()));
}

std::string WithMember(std::string_view object, std::string_view name,
                       std::string_view valueJson) {
  std::string out(object.substr(0, object.rfind('}')));
  if (out.size() > 1) out += ',';
  out += '"';
  out += name;
  out += "\":";
  out += valueJson;
  out += '}';
  return out;
}

std::string EventMessage(std::string_view data) {
  std::string out = "data: ";
  out += data;
  out += "\n\n";
  return out;
}

std::string EntityTag(std::string_view bytes) {
  // FNV-1a: a cache key, not a defence.
  std::uint64_t hash = 14695981039346656037ull;
  for (char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  char text[20];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return "\"" + std::string(text) + "\"";
}

std::string_view TransparentPng() {
  static constexpr unsigned char kPng[] = {
      0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
      0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00,
      0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00, 0x00, 0x00, 0x0B, 0x49, 0x44, 0x41, 0x54, 0x78,
      0xDA, 0x63, 0x60, 0x00, 0x02, 0x00, 0x00, 0x05, 0x00, 0x01, 0xE9, 0xFA, 0xDC, 0xD8,
      0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
  return std::string_view(reinterpret_cast<const char*>(kPng), sizeof kPng);
}

std::string RandomToken() {
  std::random_device entropy;
  std::string token;
  char digit[3];
  for (int i = 0; i < 16; ++i) {
    std::snprintf(digit, sizeof digit, "%02x", static_cast<unsigned>(entropy() & 0xFFu));
    token += digit;
  }
  return token;
}

}  // namespace jarvet
