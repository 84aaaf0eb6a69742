#include "foundation/parser.h"

#include <strings.h>

#include <cstring>

#include "foundation/file.h"
#include "foundation/mem.h"

// Deepest nesting of "$def" lines met while the name or value of another is read; deeper ones
// are ordinary tokens, so that no text can exhaust the stack.
constexpr int kMaxDefDepth = 8;

static inline bool IsBlank(char c) { return static_cast<signed char>(c) < 33; }

static inline bool IsPunct(char c) {
  switch (c) {
    case '{': case '}': case '[': case ']': case '<': case '>': case ';': return true;
    default: return false;
  }
}

static void CopyBounded(char* out, size_t size, const char* text) {
  size_t n = std::strlen(text);
  if (n >= size) n = size - 1;
  std::memcpy(out, text, n);
  out[n] = 0;
}

Parser* Par_Create(const char* fileName) {
  if (!fileName || std::strlen(fileName) >= kParserNameSize) return nullptr;
  auto* p = static_cast<Parser*>(Global_MallocZero(sizeof(Parser), "par_all"));
  if (!p) return nullptr;
  std::strcpy(p->fileName, fileName);
  return p;
}

int Par_LoadFile(Parser* p) {
  if (!p) return 0;
  FileHandle* f = File_Open(p->fileName, "rb");
  if (!f) {
    p->error = PAR_ERR_OPEN;
    return 0;
  }
  size_t size = File_Size(f);
  if (size == 0) {
    File_Close(f);
    p->error = PAR_ERR_EMPTY;
    return 0;
  }
  if (!File_WholeSizeAllowed("Par_LoadFile", p->fileName, size)) {
    File_Close(f);
    p->error = PAR_ERR_MEMORY;
    return 0;
  }
  auto* text = static_cast<char*>(Global_Malloc(size + 2, "par_lsf"));
  if (!text) {
    File_Close(f);
    p->error = PAR_ERR_MEMORY;
    return 0;
  }
  size_t got = File_Read(text, 1, size, f);
  File_Close(f);
  if (got != size) {
    Global_Free(text);
    p->error = PAR_ERR_READ;
    return 0;
  }
  text[size] = 0;
  text[size + 1] = 0;
  if (p->buffer) Global_Free(p->buffer);
  p->buffer = text;
  p->cursor = text;
  p->end = text + size;
  p->line = 0;
  p->pushBack = 0;
  return 1;
}

Parser* Par_CreateFromText(const char* text) {
  if (!text) text = "";
  auto* p = static_cast<Parser*>(Global_MallocZero(sizeof(Parser), "par_am"));
  if (!p) return nullptr;
  size_t size = std::strlen(text);
  auto* copy = static_cast<char*>(Global_Malloc(size + 1, "par_dup"));
  if (!copy) {
    Global_Free(p);
    return nullptr;
  }
  std::memcpy(copy, text, size + 1);
  p->buffer = copy;
  p->cursor = copy;
  p->end = copy + size;
  return p;
}

void Par_Free(Parser* p) {
  if (!p) return;
  if (p->buffer) Global_Free(p->buffer);
  Global_Free(p);
}

// Skips blanks and comments. Returns false (error -2) at the end of the text.
static bool SkipBlanks(Parser* p, bool& atLineStart) {
  char* c = p->cursor;
  char* const end = p->end;
  for (;;) {
    while (c < end && IsBlank(*c)) {
      if (*c == '\n') {
        p->line++;
        atLineStart = true;
      }
      c++;
    }
    if (c >= end) break;
    if (c[0] != '/' || c + 1 >= end) {
      p->cursor = c;
      return true;
    }
    if (c[1] == '/') {
      auto* lf = static_cast<char*>(std::memchr(c + 2, '\n', size_t(end - (c + 2))));
      if (!lf) break;
      p->line++;
      c = lf + 1;
    } else if (c[1] == '*') {
      c += 2;
      bool closed = false;
      while (c + 1 < end) {
        if (c[0] == '*' && c[1] == '/') {
          c += 2;
          closed = true;
          break;
        }
        if (*c == '\n') p->line++;
        c++;
      }
      if (!closed) break;
    } else {
      p->cursor = c;
      return true;
    }
  }
  p->cursor = end;
  p->error = PAR_ERR_END;
  return false;
}

// Reads one token at the cursor (which stands on its first byte). Returns false with -1 when it
// is too long.
static bool ReadToken(Parser* p) {
  char* c = p->cursor;
  char* const end = p->end;
  int n = 0;
  auto tooLong = [&] {
    p->token[n] = 0;
    p->writePos = n;
    p->cursor = c;
    p->error = PAR_ERR_TOKEN_TOO_LONG;
    return false;
  };
  if (*c == '"') {
    c++;
    while (c < end && *c != '"') {
      if (n == kParserTokenSize - 1) return tooLong();
      p->token[n++] = *c++;
    }
    if (c < end) c++;  // the closing quote
  } else if (IsPunct(*c)) {
    p->token[n++] = *c++;
  } else {
    while (c < end && !IsBlank(*c) && !IsPunct(*c)) {
      if (n == kParserTokenSize - 1) return tooLong();
      p->token[n++] = *c++;
    }
  }
  p->token[n] = 0;
  p->writePos = n;
  p->cursor = c;
  return true;
}

static inline uint8_t Lower(char c) {
  auto u = static_cast<uint8_t>(c);
  return (u >= 'A' && u <= 'Z') ? uint8_t(u + 32) : u;
}

static int FindMacro(const Parser* p, const char* name, size_t length) {
  if (length >= kParserMacroSize) return -1;
  const uint8_t first = Lower(name[0]);
  for (int i = 0; i < p->macroCount; i++)
    if (p->macroLength[i] == length && p->macroFirst[i] == first && strcasecmp(p->macroNames[i], name) == 0)
      return i;
  return -1;
}

// Reads the name and value of a "$def" line and keeps the first definition of each name.
static int ReadDefinition(Parser* p) {
  char name[kParserMacroSize];
  p->defDepth++;
  int ok = Par_Next(p);
  if (ok) {
    CopyBounded(name, sizeof name, p->token);
    ok = Par_Next(p);
  }
  p->defDepth--;
  if (!ok) return 0;
  size_t length = std::strlen(name);
  if (FindMacro(p, name, length) < 0 && p->macroCount < kParserMacros) {
    int i = p->macroCount++;
    std::memcpy(p->macroNames[i], name, sizeof name);
    p->macroLength[i] = uint8_t(length);
    p->macroFirst[i] = Lower(name[0]);
    CopyBounded(p->macroValues[i], kParserMacroSize, p->token);
  }
  return 1;
}

int Par_Next(Parser* p) {
  if (!p) return 0;
  bool atLineStart = p->cursor == p->buffer;
  if (p->pushBack) {
    p->pushBack = 0;
    return 1;
  }
  for (;;) {
    if (!p->cursor || p->cursor >= p->end) {
      p->error = PAR_ERR_END;
      return 0;
    }
    if (!SkipBlanks(p, atLineStart)) return 0;
    if (!ReadToken(p)) return 0;
    if (atLineStart && p->defDepth < kMaxDefDepth && strcasecmp(p->token, "$def") == 0) {
      if (!ReadDefinition(p)) return 0;
      continue;
    }
    if (p->macroCount) {
      int i = FindMacro(p, p->token, size_t(p->writePos));
      if (i >= 0) {
        std::strcpy(p->token, p->macroValues[i]);
        p->writePos = int32_t(std::strlen(p->token));
        if (!p->token[0]) continue;
      }
    }
    return 1;
  }
}

const char* Par_Token(const Parser* p) { return p ? p->token : ""; }

int Par_TokenIsNot(const Parser* p, const char* word) {
  if (!p || !word) return 1;
  return strcasecmp(p->token, word) != 0;
}

int Par_Expect(Parser* p, const char* word) {
  if (!p || !word) return 0;
  if (!Par_Next(p)) return 0;
  if (std::strcmp(p->token, word) == 0) return 1;
  CopyBounded(p->expected, sizeof p->expected, word);
  p->error = PAR_ERR_EXPECTED;
  return 0;
}

void Par_Unget(Parser* p) {
  if (p) p->pushBack = 1;
}

void Par_SetUnknownKeyword(Parser* p) {
  if (p) p->error = PAR_ERR_UNKNOWN_KEYWORD;
}
