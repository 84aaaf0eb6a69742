// The bracket-token reader.
#include <gtest/gtest.h>

#include <string>

#include "foundation/partoken.h"

TEST(BracketToken, TokensRestAndRefusals) {
  const struct {
    std::string text;
    const char* token;  // null: no token, and no rest either
    const char* rest;
  } cases[] = {
      {"xx [a] yy [b c]", "a", " yy [b c]"},
      {"[a[b]", "b", ""},  // an open bracket restarts the token
      {"] x [k\r\n v]tail", "k\r\n v", "tail"},
      {"[]", "", ""},
      {"", nullptr, nullptr},
      {"[open", nullptr, nullptr},
      {"no brackets ]", nullptr, nullptr},
  };
  for (const auto& c : cases) {
    const char* rest = "x";
    const char* t = Par_NextBracketToken(c.text.c_str(), &rest);
    EXPECT_EQ(t ? std::string(t) : "<null>", c.token ? c.token : "<null>") << c.text;
    EXPECT_EQ(rest ? std::string(rest) : "<null>", c.rest ? c.rest : "<null>") << c.text;
  }
  const char* rest = "x";
  EXPECT_EQ(Par_NextBracketToken(nullptr, &rest), nullptr);
  EXPECT_EQ(rest, nullptr);
  // A long token is cut, and the scan goes on from its end.
  std::string text = "[" + std::string(5000, 'q') + "][next]";
  EXPECT_EQ(std::string(Par_NextBracketToken(text.c_str(), &rest)), std::string(4095, 'q'));
  EXPECT_STREQ(Par_NextBracketToken(rest, &rest), "next");
  char buf[4];
  EXPECT_STREQ(Par_NextBracketTokenTo("[abcdef][g]", &rest, buf, sizeof buf), "abc");
  EXPECT_STREQ(Par_NextBracketTokenTo(rest, &rest, buf, sizeof buf), "g");
}
