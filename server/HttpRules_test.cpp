#include "HttpRules.h"

#include <gtest/gtest.h>

namespace jarvet {
namespace {

TEST(HttpRulesTest, HostsThatDnsRebindingCannotSend) {
  const struct {
    const char* Host;
    bool Allowed;
  } cases[] = {
      {"", true},  // HTTP/1.0 sends none
      {"127.0.0.1", true},
      {"127.0.0.1:8080", true},
      {"192.168.1.20:80", true},
      {"localhost", true},
      {"LocalHost:8080", true},
      {"[::1]", true},
      {"[::1]:8080", true},
      {"[fe80::1%25eth0]", false},  // a zone is letters: not a plain literal
      {"evil.example", false},
      {"evil.example:8080", false},
      {"localhost.", false},
      {"localhost.evil.example", false},
      {"127.0.0.1.nip.io", false},
      {"1.2.3", false},
      {"256.1.1.1", false},
      {"1.2.3.4.5", false},
      {"127.0.0.1:", false},
      {"127.0.0.1:80x", false},
      {"[::1]x", false},
      {"[::g]", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsAllowedHost(c.Host), c.Allowed) << c.Host;
}

TEST(HttpRulesTest, TokensMatchWhole) {
  EXPECT_TRUE(SameSecret("abc123", "abc123"));
  for (const char* other : {"", "abc12", "abc1234", "abd123", "ABC123"}) {
    EXPECT_FALSE(SameSecret(other, "abc123")) << other;
    EXPECT_FALSE(SameSecret("abc123", other)) << other;
  }
  EXPECT_EQ(BearerToken("Bearer abc"), "abc");
  EXPECT_EQ(BearerToken("bearer  abc "), "abc");
  EXPECT_EQ(BearerToken("Basic YWJj"), std::nullopt);
  EXPECT_EQ(BearerToken("Bearer"), std::nullopt);
  const std::string a = RandomToken(), b = RandomToken();
  EXPECT_EQ(a.size(), 32u);
  EXPECT_NE(a, b);
}

TEST(HttpRulesTest, MembersEventsAndTags) {
  EXPECT_EQ(WithMember("{\"a\":1}", "updated", "5"), "{\"a\":1,\"updated\":5}");
  EXPECT_EQ(WithMember("{}", "text", "\"x\""), "{\"text\":\"x\"}");
  EXPECT_EQ(EventMessage("{\"a\":1}"), "data: {\"a\":1}\n\n");
  EXPECT_EQ(EntityTag(""), "\"cbf29ce484222325\"");
  EXPECT_NE(EntityTag("cover one"), EntityTag("cover two"));
  const std::string_view png = TransparentPng();
  EXPECT_EQ(png.substr(1, 3), "PNG");
  EXPECT_EQ(png.substr(png.size() - 8, 4), "IEND");
}

}  // namespace
}  // namespace jarvet
