#include "render/font.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/video.h"
#include "platform/font_freetype.h"
#include "render/material.h"

GlyphRecord Font_Glyphs[kGlyphTableSize];
int Font_GlyphCount = 256;
float Font_TmHeight, Font_TmAscent, Font_TmDescent;

static PlatFont* g_font;
static double g_unitScale;  // pixels of the 32-pixel cell per font unit

// ---------------------------------------------------------------------------------------------
// "cmap"

static uint16_t* g_cmap;  // the chosen format-4 subtable in host order ("FNTPUM")
static size_t g_cmapWords;

static uint16_t ReadBE16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
static uint32_t ReadBE32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

int Font_ReadCmap(const uint8_t* table, size_t tableSize, uint16_t* words, size_t wordCapacity,
                  size_t* wordCount) {
  *wordCount = 0;
  if (!table || tableSize < 4) return 0;
  uint32_t numTables = ReadBE16(table + 2);
  // The last record of platform 3, encoding 1 or 0 wins.
  uint64_t chosen = UINT64_MAX;
  for (uint32_t i = 0; i < numTables; i++) {
    size_t at = 4 + 8 * static_cast<size_t>(i);
    if (at + 8 > tableSize) return 0;
    uint16_t platform = ReadBE16(table + at), encoding = ReadBE16(table + at + 2);
    if (platform == 3 && (encoding == 1 || encoding == 0)) chosen = ReadBE32(table + at + 4);
  }
  if (chosen == UINT64_MAX || chosen + 14 > tableSize) return 0;
  const uint8_t* sub = table + chosen;
  if (ReadBE16(sub) != 4) return 0;
  size_t length = ReadBE16(sub + 2);
  uint32_t segCountX2 = ReadBE16(sub + 6);
  uint32_t segCount = segCountX2 / 2;
  if (segCountX2 == 0 || (segCountX2 & 1) || length < 16 + 8 * static_cast<size_t>(segCount) ||
      chosen + length > tableSize)
    return 0;
  size_t count = length / 2;
  *wordCount = count;
  if (!words || wordCapacity < count) return 0;
  for (size_t i = 0; i < count; i++) words[i] = ReadBE16(sub + 2 * i);
  return 1;
}

int Font_LoadCmap(const uint8_t* table, size_t tableSize) {
  Font_FreeCmap();
  size_t need = 0;
  Font_ReadCmap(table, tableSize, nullptr, 0, &need);
  if (need == 0) return 0;
  auto* words = static_cast<uint16_t*>(Global_MallocZero(need * 2, "FNTPUM"));
  if (!words || !Font_ReadCmap(table, tableSize, words, need, &need)) {
    Global_Free(words);
    return 0;
  }
  g_cmap = words;
  g_cmapWords = need;
  return 1;
}

void Font_FreeCmap() {
  Global_Free(g_cmap);
  g_cmap = nullptr;
  g_cmapWords = 0;
}

uint32_t Font_CharToGlyph(uint16_t code) {
  if (!g_cmap) return 0;
  size_t segCount = g_cmap[3] / 2;
  const size_t endAt = 7, startAt = 8 + segCount, deltaAt = 8 + 2 * segCount,
               rangeAt = 8 + 3 * segCount;
  for (size_t i = 0; i < segCount; i++) {
    if (g_cmap[endAt + i] < code) continue;
    if (g_cmap[startAt + i] > code) return 0;
    uint16_t delta = g_cmap[deltaAt + i], range = g_cmap[rangeAt + i];
    if (range == 0) return static_cast<uint16_t>(delta + code);
    size_t at = rangeAt + i + range / 2 + (code - g_cmap[startAt + i]);
    if (at >= g_cmapWords) return 0;
    uint16_t g = g_cmap[at];
    return g == 0 ? 0 : static_cast<uint16_t>(delta + g);
  }
  return 0;
}

// ---------------------------------------------------------------------------------------------
// Face selection

static PlatFont* OpenThroughFiles(const std::string& name) {
  uint32_t size = 0;
  auto* data = static_cast<uint8_t*>(File_LoadWhole(name.c_str(), &size, "FNTFILE"));
  PlatFont* font = data ? PlatFont_OpenMemory(data, size) : nullptr;
  Global_Free(data);
  return font;
}

static PlatFont* OpenPath(const char* path) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return nullptr;
  PlatFont* font = nullptr;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    long size = std::ftell(f);
    if (size > 0 && std::fseek(f, 0, SEEK_SET) == 0) {
      auto* data = static_cast<uint8_t*>(Global_Malloc(static_cast<size_t>(size), "FNTFILE"));
      if (!data)
        Log_Printf("Font_Init: no memory for %s (%ld bytes)\n", path, size);
      else if (std::fread(data, 1, static_cast<size_t>(size), f) == static_cast<size_t>(size))
        font = PlatFont_OpenMemory(data, static_cast<size_t>(size));
      Global_Free(data);
    }
  }
  std::fclose(f);
  return font;
}

static PlatFont* OpenMatch(const char* family) {
  char path[4096];
  if (!PlatFont_MatchFile(family, path, sizeof path)) return nullptr;
  return OpenPath(path);
}

// Takes the face when its metrics are usable; closes it and returns 0 otherwise.
static int SelectFont(PlatFont* font) {
  if (!font) return 0;
  int unitsPerEm = 0, ascent = 0, descent = 0;
  if (!PlatFont_GetMetrics(font, &unitsPerEm, &ascent, &descent) || ascent + descent <= 0) {
    Log_Printf("Font_Init: %s %s has no height, refused\n", PlatFont_FamilyName(font),
               PlatFont_StyleName(font));
    PlatFont_Close(font);
    return 0;
  }
  g_font = font;
  g_unitScale = kFontCellHeight / (ascent + descent);
  Font_TmHeight = kFontCellHeight;
  Font_TmAscent = static_cast<float>(ascent * g_unitScale);
  Font_TmDescent = static_cast<float>(descent * g_unitScale);
  Log_Printf("\nSelected font:\n");
  Log_Printf("familyName=%s\n", PlatFont_FamilyName(font));
  Log_Printf("styleName=%s\n", PlatFont_StyleName(font));
  Log_Printf("unitsPerEm=%i\n", unitsPerEm);
  Log_Printf("winAscent=%i\n", ascent);
  Log_Printf("winDescent=%i\n", descent);
  return 1;
}

// The face the sample game ships and the family standing in for the system font.
static const char kShippedFont[] = "DejaVuSans.ttf";
static const char kSystemFamily[] = "DejaVu Sans";

void Font_Init() {
  Font_Shutdown();
  const char* face = Video_GetFontName();
  Font_GlyphCount = Video_GetUnicode() ? kGlyphTableSize : 256;
  if (face && *face) {
    if (!SelectFont(OpenThroughFiles(std::string(face) + ".ttf"))) SelectFont(OpenMatch(face));
  }
  if (!g_font && !SelectFont(OpenThroughFiles(kShippedFont)) && !SelectFont(OpenMatch(kSystemFamily))) {
    Log_Printf("Font_Init: no TrueType font for \"%s\"\n", face ? face : "");
    return;
  }
  size_t size = 0;
  uint8_t* cmap = PlatFont_LoadTable(g_font, "cmap", &size);
  if (!Font_LoadCmap(cmap, size)) Log_Printf("Font_Init: no usable cmap\n");
  Global_Free(cmap);
  for (int code = 0; code < Font_GlyphCount; code++) {
    Font_Glyphs[code] = GlyphRecord{};
    Font_Glyphs[code].glyph = Font_CharToGlyph(static_cast<uint16_t>(code));
    Font_Glyphs[code].material = kGlyphNotRendered;
  }
  Font_FreeCmap();
}

void Font_Shutdown() {
  if (g_font) PlatFont_Close(g_font);
  g_font = nullptr;
  for (auto& g : Font_Glyphs) g.glyph = 0;
}

void Font_InvalidateGlyphs() {
  for (int code = 0; code < Font_GlyphCount; code++) Font_Glyphs[code].material = kGlyphNotRendered;
}

// ---------------------------------------------------------------------------------------------
// Glyph rendering

int Font_RasterizeGlyph(int code, uint8_t* pixels, int* width, int* height) {
  *width = *height = 0;
  if (code < 1 || code >= Font_GlyphCount || !g_font) return 0;
  GlyphRecord& rec = Font_Glyphs[code];
  if (rec.glyph == 0) return 0;
  PlatGlyphBox box;
  if (!PlatFont_GetGlyphBox(g_font, rec.glyph, &box)) {
    Log_Printf("Font_RenderGlyph: glyph %u of code %d does not load\n", rec.glyph, code);
    rec.glyph = 0;
    return 0;
  }
  const double s = g_unitScale;
  rec.advanceX = static_cast<float>(std::round(box.advance * s));
  rec.advanceY = 0;
  if (box.empty || box.xMax <= box.xMin || box.yMax <= box.yMin) {
    rec.originX = rec.originY = rec.boxWidth = rec.boxHeight = 0;
    return 0;
  }
  // The black box on the pixel grid of the 32-pixel cell.
  double left = std::floor(box.xMin * s), right = std::ceil(box.xMax * s);
  double bottom = std::floor(box.yMin * s), top = std::ceil(box.yMax * s);
  rec.originX = static_cast<float>(left);
  rec.originY = static_cast<float>(top);
  rec.boxWidth = static_cast<float>(right - left);
  rec.boxHeight = static_cast<float>(top - bottom);
  // The box stretched to 30 x 30.
  constexpr int kInner = kGlyphTextureSize - 2;
  uint8_t coverage[kInner * kInner];
  double fx = kInner / (right - left), fy = kInner / (top - bottom);
  if (!PlatFont_RenderGlyph(g_font, rec.glyph, s * fx, s * fy, -left * fx, -bottom * fy, kInner, kInner,
                            coverage))
    return 0;
  int any = 0;
  for (uint8_t c : coverage) any |= c;
  if (!any) return 0;
  std::memset(pixels, 0, kGlyphTextureSize * kGlyphTextureSize * 4);
  for (int r = 0; r < kInner; r++) {
    for (int c = 0; c < kInner; c++) {
      uint8_t* p = pixels + ((r + 1) * kGlyphTextureSize + (c + 1)) * 4;
      p[0] = p[1] = p[2] = 255;
      p[3] = coverage[r * kInner + c];
    }
  }
  *width = *height = kGlyphTextureSize;
  return 1;
}

void Font_RenderGlyph(int code) {
  if (code < 1 || code >= Font_GlyphCount) return;
  GlyphRecord& rec = Font_Glyphs[code];
  if (rec.glyph == 0 || rec.material != kGlyphNotRendered) return;
  rec.material = 0;
  auto* pixels =
      static_cast<uint8_t*>(Global_MallocZero(kGlyphTextureSize * kGlyphTextureSize * 4, "FNTBMP"));
  int w = 0, h = 0;
  if (pixels && Font_RasterizeGlyph(code, pixels, &w, &h)) {
    char name[16];
    std::snprintf(name, sizeof name, "font%04X", static_cast<unsigned>(code));
    const int material = Material_CreateFromPixels(name, w, h, 32, pixels, 1, 0, 0);
    rec.material = material > 0 ? static_cast<uint32_t>(material) : 0;
  }
  Global_Free(pixels);
}
