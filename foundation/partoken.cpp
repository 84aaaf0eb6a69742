#include "foundation/partoken.h"

static char g_token[kParTokenSize];

const char* Par_NextBracketTokenTo(const char* text, const char** rest, char* buffer, size_t size) {
  if (rest) *rest = nullptr;
  if (!text || !*text || !buffer || size < 1) return nullptr;
  bool started = false;
  size_t n = 0;
  for (const char* p = text; *p; p++) {
    char c = *p;
    if (c == '[') {
      started = true;
      n = 0;
    } else if (!started) {
      continue;
    } else if (c == ']') {
      buffer[n] = 0;
      if (rest) *rest = p + 1;
      return buffer;
    } else if (n + 1 < size) {
      buffer[n++] = c;
    }
  }
  return nullptr;
}

const char* Par_NextBracketToken(const char* text, const char** rest) {
  return Par_NextBracketTokenTo(text, rest, g_token, sizeof g_token);
}
