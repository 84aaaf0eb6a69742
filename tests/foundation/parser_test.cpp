// The script tokenizer: tokens, comments, line counter, push-back, "$def" macros, errors and
// the bounds of names, tokens and macros.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/parser.h"
#include "support/test_support.h"

namespace {

struct ParserPtr {
  Parser* p;
  explicit ParserPtr(const std::string& text) : p(Par_CreateFromText(text.c_str())) {}
  ~ParserPtr() { Par_Free(p); }
  Parser* operator->() const { return p; }
  operator Parser*() const { return p; }
};

// Every token up to the first error; the error code is left in the parser.
std::vector<std::string> AllTokens(Parser* p) {
  std::vector<std::string> out;
  while (Par_Next(p)) out.push_back(Par_Token(p));
  return out;
}

using Tokens = std::vector<std::string>;

}  // namespace

TEST(Parser, WordsQuotesAndPunctuation) {
  ParserPtr p("menu { item \"Start Game\" ; }");
  EXPECT_EQ(AllTokens(p), (Tokens{"menu", "{", "item", "Start Game", ";", "}"}));
  EXPECT_EQ(p->error, PAR_ERR_END);
}

TEST(Parser, PunctuationSplitsWordsButSlashStartsOne) {
  ParserPtr p("a<b>[c]x;y / /z a/b \"\"");
  EXPECT_EQ(AllTokens(p), (Tokens{"a", "<", "b", ">", "[", "c", "]", "x", ";", "y", "/", "/z", "a/b", ""}));
}

TEST(Parser, HighBytesAndControlBytesAreBlanks) {
  ParserPtr p("a\xC3\xA9" "b\tc\x01" "d");
  EXPECT_EQ(AllTokens(p), (Tokens{"a", "b", "c", "d"}));
}

TEST(Parser, CommentsAndLineCounter) {
  ParserPtr p("a // note\nb");
  ASSERT_TRUE(Par_Next(p));
  EXPECT_STREQ(Par_Token(p), "a");
  ASSERT_TRUE(Par_Next(p));
  EXPECT_STREQ(Par_Token(p), "b");
  EXPECT_EQ(p->line, 1);

  ParserPtr q("x /* one\ntwo\n*/ y\n\"q\nq\" z");
  EXPECT_EQ(AllTokens(q), (Tokens{"x", "y", "q\nq", "z"}));
  // Line ends inside a quoted token are not counted.
  EXPECT_EQ(q->line, 3);
}

TEST(Parser, EndInsideCommentsAndTexts) {
  ParserPtr a("a /* never closed");
  EXPECT_EQ(AllTokens(a), (Tokens{"a"}));
  EXPECT_EQ(a->error, PAR_ERR_END);
  ParserPtr b("a // no line end");
  EXPECT_EQ(AllTokens(b), (Tokens{"a"}));
  EXPECT_EQ(b->error, PAR_ERR_END);
  ParserPtr c("/*/ x");
  EXPECT_EQ(AllTokens(c), Tokens{});
  ParserPtr d("\"open quote");
  EXPECT_EQ(AllTokens(d), (Tokens{"open quote"}));
  ParserPtr e("");
  EXPECT_FALSE(Par_Next(e));
  EXPECT_EQ(e->error, PAR_ERR_END);
}

TEST(Parser, TokenLimit) {
  std::string ok(1023, 'w');
  ParserPtr a(ok + " next");
  EXPECT_EQ(AllTokens(a), (Tokens{ok, "next"}));
  ParserPtr b(std::string(1024, 'w'));
  EXPECT_FALSE(Par_Next(b));
  EXPECT_EQ(b->error, PAR_ERR_TOKEN_TOO_LONG);
  EXPECT_EQ(std::string(Par_Token(b)).size(), 1023u);
  ParserPtr c("\"" + std::string(5000, 'q') + "\"");
  EXPECT_FALSE(Par_Next(c));
  EXPECT_EQ(c->error, PAR_ERR_TOKEN_TOO_LONG);
}

TEST(Parser, MacroDefinitions) {
  ParserPtr p("$def RED 1 0 0\nRED\n$def RED 2\nRED 1");
  // The value is the single token after the name; a second definition of RED defines "1".
  EXPECT_EQ(AllTokens(p), (Tokens{"0", "0", "1", "1", "2"}));
  EXPECT_EQ(p->macroCount, 2);
  EXPECT_STREQ(p->macroNames[1], "1");
}

TEST(Parser, MacrosAreCaseInsensitiveAndReplacedOnce) {
  ParserPtr p("$DEF a b\n$def B c\nA b");
  // a -> b is not looked up again; b -> c.
  EXPECT_EQ(AllTokens(p), (Tokens{"b", "c"}));
}

TEST(Parser, EmptyMacroValueRemovesToken) {
  ParserPtr p("$def GONE \"\"\nx GONE y");
  EXPECT_EQ(AllTokens(p), (Tokens{"x", "y"}));
}

TEST(Parser, DefOnlyAtLineStart) {
  ParserPtr a("x $def A 1\nA");
  EXPECT_EQ(AllTokens(a), (Tokens{"x", "$def", "A", "1", "A"}));
  // A comment eats its line end without starting a line.
  ParserPtr b("x // note\n$def A 1\nA");
  EXPECT_EQ(AllTokens(b), (Tokens{"x", "$def", "A", "1", "A"}));
  // Another line end before the comment does start one.
  ParserPtr d("x\n// note\n$def A 1\nA");
  EXPECT_EQ(AllTokens(d), (Tokens{"x", "1"}));
  // The very start of the text is a line start.
  ParserPtr c("$def A 1\nA");
  EXPECT_EQ(AllTokens(c), (Tokens{"1"}));
}

TEST(Parser, MacroBounds) {
  std::string text;
  for (int i = 0; i < 101; i++) text += "$def M" + std::to_string(i) + " v" + std::to_string(i) + "\n";
  text += "M0 M99 M100 $def";
  ParserPtr p(text);
  EXPECT_EQ(AllTokens(p), (Tokens{"v0", "v99", "M100", "$def"}));
  EXPECT_EQ(p->macroCount, kParserMacros);

  std::string longName(40, 'N'), longValue(40, 'V');
  ParserPtr q("$def " + longName + " " + longValue + "\n" + longName.substr(0, 31) + " " + longName);
  Tokens got = AllTokens(q);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], longValue.substr(0, 31));
  EXPECT_EQ(got[1], longName);
}

TEST(Parser, NestedDefinitionsStayBounded) {
  std::string text;
  for (int i = 0; i < 100000; i++) text += "$def\n";
  ParserPtr p(text);
  while (Par_Next(p)) {
  }
  EXPECT_EQ(p->error, PAR_ERR_END);
}

TEST(Parser, TokenIsNotExpectAndUnget) {
  ParserPtr p("menu menu x");
  ASSERT_TRUE(Par_Next(p));
  EXPECT_EQ(Par_TokenIsNot(p, "MENU"), 0);
  EXPECT_EQ(Par_TokenIsNot(p, "item"), 1);
  EXPECT_EQ(Par_Expect(p, "MENU"), 0);
  EXPECT_EQ(p->error, PAR_ERR_EXPECTED);
  EXPECT_STREQ(p->expected, "MENU");
  p->error = 0;
  char* before = p->cursor;
  Par_Unget(p);
  ASSERT_TRUE(Par_Next(p));
  EXPECT_STREQ(Par_Token(p), "menu");
  EXPECT_EQ(p->cursor, before);
  EXPECT_EQ(Par_Expect(p, "x"), 1);
  Par_SetUnknownKeyword(p);
  EXPECT_EQ(p->error, PAR_ERR_UNKNOWN_KEYWORD);
}

TEST(Parser, LoadFileErrors) {
  tw_test::TempDir dir;
  Parser* p = Par_Create("missing.txt");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(Par_LoadFile(p), 0);
  EXPECT_EQ(p->error, PAR_ERR_OPEN);
  Par_Free(p);

  tw_test::WriteFile("empty.txt", "");
  p = Par_Create("empty.txt");
  EXPECT_EQ(Par_LoadFile(p), 0);
  EXPECT_EQ(p->error, PAR_ERR_EMPTY);
  Par_Free(p);

  tw_test::WriteFile("script.txt", "menu\n{ }");
  p = Par_Create("script.txt");
  ASSERT_EQ(Par_LoadFile(p), 1);
  EXPECT_EQ(AllTokens(p), (Tokens{"menu", "{", "}"}));
  EXPECT_EQ(p->line, 1);
  Par_Free(p);

  EXPECT_EQ(Par_Create(std::string(300, 'n').c_str()), nullptr);
  p = Par_Create(std::string(259, 'n').c_str());
  EXPECT_NE(p, nullptr);
  Par_Free(p);
}
