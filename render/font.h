// The TrueType font and its glyph cache: one record per character code, glyphs rendered on first
// use into small white textures whose alpha is the coverage.
#pragma once
#include <cstddef>
#include <cstdint>

struct GlyphRecord {
  uint32_t glyph;     // the font's glyph index; 0 = no glyph (neither drawn nor advanced)
  float originX;      // left edge of the black box from the pen, in pixels of the 32-pixel cell
  float originY;      // top edge of the black box above the baseline (up is positive)
  float boxWidth;     // black box
  float boxHeight;
  float advanceX;     // pen advance
  float advanceY;
  uint32_t material;  // kGlyphNotRendered, 0 = nothing to draw, else the glyph's material
};

constexpr uint32_t kGlyphNotRendered = 0xFFFFFFFFu;
constexpr int kGlyphTableSize = 65536;
constexpr int kGlyphTextureSize = 32;  // rendered black box 30 x 30 inside a one-pixel border
constexpr float kFontCellHeight = 32.0f;

extern GlyphRecord Font_Glyphs[kGlyphTableSize];
extern int Font_GlyphCount;  // 256, or 65536 with "video_unicode"
// Full height, ascent and descent of the font (pixels of the font as selected).
extern float Font_TmHeight, Font_TmAscent, Font_TmDescent;

// Opens the face named by "video_font" and fills the glyph indices from its "cmap".
void Font_Init();
void Font_Shutdown();
// Renders the glyph of one code into the cache unless it is there already.
void Font_RenderGlyph(int code);
// Marks every record in use as not rendered (the glyph materials were released).
void Font_InvalidateGlyphs();
// The glyph picture of one code without touching the cache: (w + 2) x (h + 2) pixels of blue,
// green, red, alpha (top row first) into `pixels` (room for 32 x 32). Returns 1 with the size;
// 0 when the glyph has nothing to draw. The record's metrics are filled on the way (a glyph that
// does not load loses its glyph index).
int Font_RasterizeGlyph(int code, uint8_t* pixels, int* width, int* height);

// The "cmap" reader, over a whole "cmap" table held in memory. Picks the last (3,1) or (3,0)
// encoding record with a format-4 subtable. Returns 1 and the subtable as host-order 16-bit
// words (the header included) when `words` holds at least `wordCapacity` >= the subtable's word
// count; 0 otherwise, with *wordCount the size needed (0 when the table is unusable).
int Font_ReadCmap(const uint8_t* table, size_t tableSize, uint16_t* words, size_t wordCapacity,
                  size_t* wordCount);
// Loads the subtable from a "cmap" table for Font_CharToGlyph; 0 when unusable.
int Font_LoadCmap(const uint8_t* table, size_t tableSize);
void Font_FreeCmap();
// The format-4 mapping; 0 without a table or glyph.
uint32_t Font_CharToGlyph(uint16_t code);
