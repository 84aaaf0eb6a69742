// The script tokenizer (tokens, comments, line counter, push-back, "$def" macros, errors, the
// bounds of names, tokens and macros) and the bracket-token reader.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/parser.h"
#include "foundation/partoken.h"
#include "support/test_support.h"

namespace {

struct ParserPtr {
  Parser* p;
  explicit ParserPtr(const std::string& text) : p(Par_CreateFromText(text.c_str())) {}
  ~ParserPtr() { Par_Free(p); }
  Parser* operator->() const { return p; }
  operator Parser*() const { return p; }
};

using Tokens = std::vector<std::string>;

// Every token up to the first error; the error code is left in the parser.
Tokens AllTokens(Parser* p) {
  Tokens out;
  while (Par_Next(p)) out.push_back(Par_Token(p));
  return out;
}

}  // namespace

TEST(Parser, TokensCommentsMacrosExpectAndUnget) {
  struct Case {
    const char* text;
    Tokens tokens;
  } cases[] = {
      {"menu { item \"Start Game\" ; }", {"menu", "{", "item", "Start Game", ";", "}"}},
      // Punctuation splits words, but a slash starts one.
      {"a<b>[c]x;y / /z a/b \"\"", {"a", "<", "b", ">", "[", "c", "]", "x", ";", "y", "/", "/z", "a/b", ""}},
      {"a\xC3\xA9" "b\tc\x01" "d", {"a", "b", "c", "d"}},  // high and control bytes are blanks
      {"x /* one\ntwo\n*/ y\n\"q\nq\" z", {"x", "y", "q\nq", "z"}},
      {"a /* never closed", {"a"}},
      {"/*/ x", {}},
      {"\"open quote", {"open quote"}},
      // The value is the single token after the name; a second definition of RED defines "1".
      {"$def RED 1 0 0\nRED\n$def RED 2\nRED 1", {"0", "0", "1", "1", "2"}},
      {"$DEF a b\n$def B c\nA b", {"b", "c"}},  // case-insensitive, replaced once
      {"$def GONE \"\"\nx GONE y", {"x", "y"}},  // an empty value removes the token
      // "$def" only at a line start; a comment eats its line end without starting a line.
      {"x $def A 1\nA", {"x", "$def", "A", "1", "A"}},
      {"x // note\n$def A 1\nA", {"x", "$def", "A", "1", "A"}},
      {"x\n// note\n$def A 1\nA", {"x", "1"}},
  };
  for (const Case& c : cases) {
    ParserPtr p(c.text);
    EXPECT_EQ(AllTokens(p), c.tokens) << c.text;
    EXPECT_EQ(p->error, PAR_ERR_END) << c.text;
  }
  // Line ends inside a quoted token are not counted.
  ParserPtr q("x /* one\ntwo\n*/ y\n\"q\nq\" z // c\n");
  AllTokens(q);
  EXPECT_EQ(q->line, 4);
  // Comparing, expecting and pushing back a token.
  ParserPtr p("menu menu x");
  ASSERT_TRUE(Par_Next(p));
  EXPECT_EQ(Par_TokenIsNot(p, "MENU"), 0);
  EXPECT_EQ(Par_Expect(p, "MENU"), 0);
  EXPECT_EQ(p->error, PAR_ERR_EXPECTED);
  EXPECT_STREQ(p->expected, "MENU");
  p->error = 0;
  Par_Unget(p);
  ASSERT_TRUE(Par_Next(p));
  EXPECT_STREQ(Par_Token(p), "menu");
  EXPECT_EQ(Par_Expect(p, "x"), 1);
}

TEST(Parser, TokenMacroAndNestingBounds) {
  std::string ok(1023, 'w');
  ParserPtr a(ok + " next");
  EXPECT_EQ(AllTokens(a), (Tokens{ok, "next"}));
  ParserPtr b(std::string(1024, 'w'));
  EXPECT_FALSE(Par_Next(b));
  EXPECT_EQ(b->error, PAR_ERR_TOKEN_TOO_LONG);
  EXPECT_EQ(std::string(Par_Token(b)).size(), 1023u);

  std::string text;
  for (int i = 0; i < 101; i++) text += "$def M" + std::to_string(i) + " v" + std::to_string(i) + "\n";
  text += "M0 M99 M100 $def";
  ParserPtr p(text);
  EXPECT_EQ(AllTokens(p), (Tokens{"v0", "v99", "M100", "$def"}));
  EXPECT_EQ(p->macroCount, kParserMacros);
  std::string longName(40, 'N'), longValue(40, 'V');
  ParserPtr q("$def " + longName + " " + longValue + "\n" + longName.substr(0, 31) + " " + longName);
  EXPECT_EQ(AllTokens(q), (Tokens{longValue.substr(0, 31), longName}));

  std::string nested;
  for (int i = 0; i < 100000; i++) nested += "$def\n";
  ParserPtr n(nested);
  AllTokens(n);
  EXPECT_EQ(n->error, PAR_ERR_END);
}

TEST(Parser, LoadFileErrors) {
  tw_test::TempDir dir;
  tw_test::WriteFile("empty.txt", "");
  tw_test::WriteFile("script.txt", "menu\n{ }");
  const struct {
    const char* name;
    int loaded, error;
  } cases[] = {{"missing.txt", 0, PAR_ERR_OPEN}, {"empty.txt", 0, PAR_ERR_EMPTY}, {"script.txt", 1, 0}};
  for (const auto& c : cases) {
    Parser* p = Par_Create(c.name);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Par_LoadFile(p), c.loaded) << c.name;
    EXPECT_EQ(p->error, c.error) << c.name;
    EXPECT_EQ(AllTokens(p).size(), c.loaded ? 3u : 0u) << c.name;
    Par_Free(p);
  }
  EXPECT_EQ(Par_Create(std::string(300, 'n').c_str()), nullptr);
}

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
