#include "foundation/text.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/timer.h"
#include "foundation/var.h"

float (*Text_PrintBox)(float left, float top, float right, float bottom, const char* text);
float (*Text_PrintBoxW)(float left, float top, float right, float bottom, const char16_t* text);

// A text file larger than this is refused: no text comes near it.
constexpr uint32_t kTextFileLimit = 16u << 20;

static char16_t g_buffers[kTextBuffers][kTextBufferUnits];
static int g_bufferIndex;

static bool BuildName(const char* base, const char* key, char* out) {
  if (!key || !*key) return false;
  const VarRecord* lang = Var_Find("video_lang");
  const char* language = lang ? lang->text : "Eng";
  int n = std::snprintf(out, kTextNameSize, "%s%s\\%s.txt", base ? base : "", language, key);
  if (n < 0 || n >= kTextNameSize) {
    Log_Printf("Text_Get: the name of text %s is too long\n", key);
    return false;
  }
  return true;
}

// The file's bytes from the text cache, with the two zero bytes behind them.
static const uint8_t* ReadText(const char* name, size_t* size) {
  uint32_t fileSize = 0;
  const char* data = TextFile_GetSized(name, &fileSize);
  if (!data || fileSize == 0) return nullptr;
  if (fileSize > kTextFileLimit) {
    Log_Printf("Text_Get: %s is too large (%u bytes)\n", name, fileSize);
    return nullptr;
  }
  if (size) *size = fileSize;
  return reinterpret_cast<const uint8_t*>(data);
}

const uint8_t* Text_GetRaw(const char* base, const char* key, size_t* size) {
  char name[kTextNameSize];
  if (size) *size = 0;
  if (!BuildName(base, key, name)) return nullptr;
  return ReadText(name, size);
}

size_t Text_ToWide(const void* source, size_t sourceSize, char16_t* out, size_t outUnits) {
  if (!out || outUnits == 0) return 0;
  out[0] = 0;
  const auto* src = static_cast<const uint8_t*>(source);
  if (!src || sourceSize == 0 || src[0] == 0) return 0;
  if (outUnits == 1) return 0;
  size_t n = 0;
  out[n++] = kTextMark;
  if (sourceSize >= 2 && (src[0] | (src[1] << 8)) == kTextMark) {
    // Whole units only: an odd last byte is half a unit and is left out.
    size_t units = sourceSize / 2;
    for (size_t i = 1; i < units && n < outUnits - 1; i++) {
      char16_t u = char16_t(src[2 * i] | (src[2 * i + 1] << 8));
      if (u == 0) break;
      out[n++] = u;
    }
  } else {
    for (size_t i = 0; i < sourceSize && src[i] && n < outUnits - 1; i++) out[n++] = char16_t(src[i]);
  }
  out[n] = 0;
  return n;
}

const char16_t* Text_Get(const char* base, const char* key) {
  size_t size = 0;
  const uint8_t* data = Text_GetRaw(base, key, &size);
  if (!data || data[0] == 0) return nullptr;
  g_bufferIndex = (g_bufferIndex + 1) % kTextBuffers;
  char16_t* out = g_buffers[g_bufferIndex];
  Text_ToWide(data, size, out, kTextBufferUnits);
  return out;
}

void Text_Draw(const char* base, const char* key, float left, float top, float right, float bottom) {
  size_t size = 0;
  const uint8_t* data = Text_GetRaw(base, key, &size);
  if (!data || strnlen(reinterpret_cast<const char*>(data), size) <= 1) return;
  if (size >= 2 && (data[0] | (data[1] << 8)) == kTextMark) {
    // Converted into a result buffer, so that the drawing always finds a terminated text.
    g_bufferIndex = (g_bufferIndex + 1) % kTextBuffers;
    char16_t* out = g_buffers[g_bufferIndex];
    Text_ToWide(data, size, out, kTextBufferUnits);
    if (Text_PrintBoxW) Text_PrintBoxW(left, top, right, bottom, out);
  } else if (Text_PrintBox) {
    Text_PrintBox(left, top, right, bottom, reinterpret_cast<const char*>(data));
  }
}

// The message log.
struct ConsoleLine {
  uint32_t offset;
  double expiry;
};

static char16_t g_pool[kConsolePoolUnits];
static uint32_t g_poolUsed;
static ConsoleLine g_lines[kConsoleMaxLines];
static int g_lineCount;

static size_t WideLength(const char16_t* s) {
  size_t n = 0;
  while (s[n]) n++;
  return n;
}

// Drops every line that can never show again: an expired line ends the run of shown lines, so
// it and everything older are gone for good.
static void ReclaimExpired(double now) {
  int last = -1;
  for (int i = g_lineCount - 1; i >= 0; i--)
    if (g_lines[i].expiry <= now) {
      last = i;
      break;
    }
  if (last < 0) return;
  int keep = g_lineCount - (last + 1);
  uint32_t from = keep ? g_lines[last + 1].offset : g_poolUsed;
  std::memmove(g_pool, g_pool + from, (g_poolUsed - from) * sizeof(char16_t));
  g_poolUsed -= from;
  for (int i = 0; i < keep; i++) {
    g_lines[i] = g_lines[last + 1 + i];
    g_lines[i].offset -= from;
  }
  g_lineCount = keep;
}

void Console_AddMessage(const char16_t* text, double expiry) {
  if (!text || !text[0]) return;
  size_t length = WideLength(text);
  auto fits = [&] { return g_lineCount < kConsoleMaxLines && g_poolUsed + length + 1 < size_t(kConsolePoolUnits); };
  if (!fits()) ReclaimExpired(Timer_Now());
  if (!fits()) return;
  std::memcpy(g_pool + g_poolUsed, text, (length + 1) * sizeof(char16_t));
  g_lines[g_lineCount].offset = g_poolUsed;
  g_lines[g_lineCount].expiry = expiry;
  g_lineCount++;
  g_poolUsed += uint32_t(length + 1);
}

int Console_GetLineCount() { return g_lineCount; }

const char16_t* Console_GetLine(int index, double* expiry) {
  if (index < 0 || index >= g_lineCount) return nullptr;
  if (expiry) *expiry = g_lines[index].expiry;
  return g_pool + g_lines[index].offset;
}

int Console_FirstLiveLine(double now) {
  int first = g_lineCount;
  while (first > 0 && g_lines[first - 1].expiry > now) first--;
  return first;
}

void Console_Clear() {
  g_lineCount = 0;
  g_poolUsed = 0;
}
