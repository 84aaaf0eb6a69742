// The bracket-token reader.
#include <gtest/gtest.h>

#include <string>

#include "foundation/partoken.h"

TEST(BracketToken, TokensRestAndRefusals) {
  struct Case {
    std::string text;
    const char* token;  // null: no token
    const char* rest;   // null: no rest
  } cases[] = {
      {"xx [a] yy [b c]", "a", " yy [b c]"},
      {"[b c]", "b c", ""},
      {"[a[b]", "b", ""},  // an open bracket restarts the token
      {"] x [k\r\n v]tail", "k\r\n v", "tail"},
      {"[]", "", ""},
      {"", nullptr, nullptr},
      {"[open", nullptr, nullptr},
      {"no brackets ]", nullptr, nullptr},
      {"[" + std::string(5000, 'q') + "][next]", "", "[next]"},  // cut to 4095, scanned to its end
  };
  for (const Case& c : cases) {
    const char* rest = "x";
    const char* t = Par_NextBracketToken(c.text.c_str(), &rest);
    if (c.text[1] == 'q') {
      ASSERT_NE(t, nullptr);
      EXPECT_EQ(std::string(t), std::string(4095, 'q'));
    } else if (c.token) {
      ASSERT_NE(t, nullptr) << c.text;
      EXPECT_STREQ(t, c.token) << c.text;
    } else {
      EXPECT_EQ(t, nullptr) << c.text;
    }
    if (c.rest) {
      EXPECT_STREQ(rest, c.rest) << c.text;
    } else {
      EXPECT_EQ(rest, nullptr) << c.text;
    }
  }
  const char* rest = "x";
  EXPECT_EQ(Par_NextBracketToken(nullptr, &rest), nullptr);
  EXPECT_EQ(rest, nullptr);
  char buf[4];
  EXPECT_STREQ(Par_NextBracketTokenTo("[abcdef][g]", &rest, buf, sizeof buf), "abc");
  EXPECT_STREQ(Par_NextBracketTokenTo(rest, &rest, buf, sizeof buf), "g");
}
