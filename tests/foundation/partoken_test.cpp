// The bracket-token reader.
#include <gtest/gtest.h>

#include <string>

#include "foundation/partoken.h"

TEST(BracketToken, AlternateKeysAndValues) {
  const char* text = "xx [a] yy [b c]";
  const char* rest = nullptr;
  const char* t = Par_NextBracketToken(text, &rest);
  ASSERT_NE(t, nullptr);
  EXPECT_STREQ(t, "a");
  t = Par_NextBracketToken(rest, &rest);
  ASSERT_NE(t, nullptr);
  EXPECT_STREQ(t, "b c");
  EXPECT_STREQ(rest, "");
  EXPECT_EQ(Par_NextBracketToken(rest, &rest), nullptr);
  EXPECT_EQ(rest, nullptr);
}

TEST(BracketToken, OpenBracketRestartsTheToken) {
  const char* rest = nullptr;
  EXPECT_STREQ(Par_NextBracketToken("[a[b]", &rest), "b");
  EXPECT_STREQ(Par_NextBracketToken("] x [k\r\n v]tail", &rest), "k\r\n v");
  EXPECT_STREQ(rest, "tail");
}

TEST(BracketToken, EmptyNullAndUnterminated) {
  const char* rest = "x";
  EXPECT_EQ(Par_NextBracketToken(nullptr, &rest), nullptr);
  EXPECT_EQ(rest, nullptr);
  rest = "x";
  EXPECT_EQ(Par_NextBracketToken("", &rest), nullptr);
  EXPECT_EQ(rest, nullptr);
  rest = "x";
  EXPECT_EQ(Par_NextBracketToken("[open", &rest), nullptr);
  EXPECT_EQ(rest, nullptr);
  EXPECT_EQ(Par_NextBracketToken("no brackets ]", nullptr), nullptr);
  EXPECT_STREQ(Par_NextBracketToken("[]", nullptr), "");
}

TEST(BracketToken, LongTokenIsCutAndTheScanReachesItsEnd) {
  std::string text = "[" + std::string(5000, 'q') + "][next]";
  const char* rest = nullptr;
  const char* t = Par_NextBracketToken(text.c_str(), &rest);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(std::string(t), std::string(4095, 'q'));
  EXPECT_STREQ(Par_NextBracketToken(rest, &rest), "next");
}

TEST(BracketToken, CallerBuffer) {
  char buf[4];
  const char* rest = nullptr;
  EXPECT_STREQ(Par_NextBracketTokenTo("[abcdef][g]", &rest, buf, sizeof buf), "abc");
  EXPECT_STREQ(Par_NextBracketTokenTo(rest, &rest, buf, sizeof buf), "g");
}
