// The script tokenizer of the block-structured scripts (menu script, AI scripts): words, quoted
// strings and the single-character tokens { } [ ] < > ;, "//" and "/*" "*/" comments, a line
// counter, one token of push-back and "$def" text macros. It never logs: it leaves an error code
// in the record and its callers report.
#pragma once
#include <cstdint>

enum ParserError : int32_t {
  PAR_ERR_TOKEN_TOO_LONG = -1,  // a token longer than 1023 characters
  PAR_ERR_END = -2,             // end of text reached (also inside a comment)
  PAR_ERR_EXPECTED = -3,        // the next token was not the expected word (see expected)
  PAR_ERR_OPEN = -4,            // opening the file failed
  PAR_ERR_MEMORY = -5,          // no memory for the text
  PAR_ERR_READ = -6,            // reading the file failed
  PAR_ERR_EMPTY = -7,           // the file is empty
  PAR_ERR_UNKNOWN_KEYWORD = -8, // the caller met a keyword it does not know
};

constexpr int kParserNameSize = 260;
constexpr int kParserTokenSize = 1024;
constexpr int kParserMacros = 100;
constexpr int kParserMacroSize = 32;  // macro names and values keep at most 31 characters

struct Parser {
  char fileName[kParserNameSize];
  char* buffer;  // owned
  char* cursor;
  char* end;     // one past the last byte
  int32_t line;  // line ends passed so far
  int32_t writePos;
  int32_t pushBack;
  char token[kParserTokenSize];
  char expected[kParserTokenSize];
  int32_t error;
  char macroNames[kParserMacros][kParserMacroSize];
  char macroValues[kParserMacros][kParserMacroSize];
  int32_t macroCount;
  int32_t defDepth;  // nesting of "$def" lines being read (internal)
  // Quick filter of the macro compares (internal): length and lower-cased first byte of each name.
  uint8_t macroLength[kParserMacros];
  uint8_t macroFirst[kParserMacros];
};

// A parser for the named file, with no text yet; null when the name does not fit (259
// characters at most) or no memory is left.
Parser* Par_Create(const char* fileName);
// Reads the named file whole. 1, or 0 with the error code -4, -7, -5 or -6.
int Par_LoadFile(Parser* parser);
// A parser over its own copy of the text, ready to read.
Parser* Par_CreateFromText(const char* text);
void Par_Free(Parser* parser);
// 1 when a token was read; 0 with the error code -1 or -2.
int Par_Next(Parser* parser);
const char* Par_Token(const Parser* parser);
// 1 when the current token differs from word without regard to case, 0 when they are equal.
int Par_TokenIsNot(const Parser* parser, const char* word);
// Reads the next token and compares it case-sensitively with word; on a difference stores word
// as expected, sets -3 and returns 0.
int Par_Expect(Parser* parser, const char* word);
// The next Par_Next returns the current token again.
void Par_Unget(Parser* parser);
void Par_SetUnknownKeyword(Parser* parser);
