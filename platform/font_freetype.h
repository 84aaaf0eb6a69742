// TrueType faces through FreeType, and face lookup by name through fontconfig.
#pragma once
#include <cstddef>
#include <cstdint>

struct PlatFont;

// Opens a face from font file bytes (copied; the caller may release them). Null when FreeType
// refuses the data or the font is not scalable.
PlatFont* PlatFont_OpenMemory(const uint8_t* data, size_t size);
void PlatFont_Close(PlatFont* font);
// Path of the installed face of family `family` (any of the face's family names, letter case
// ignored) into `out`; 0 when the system has no face of that family (fontconfig's substitutes
// for other families do not count).
int PlatFont_MatchFile(const char* family, char* out, size_t outSize);

// Font units per em and the full-height metrics: OS/2 winAscent and winDescent (hhea ascender and
// descender when the font has no OS/2 table).
int PlatFont_GetMetrics(PlatFont* font, int* unitsPerEm, int* ascent, int* descent);
// Family and style names for the log.
const char* PlatFont_FamilyName(PlatFont* font);
const char* PlatFont_StyleName(PlatFont* font);
// A whole sfnt table by tag ("cmap"); a Global_Malloc block (tag "FNTPUM") and its size, or null.
uint8_t* PlatFont_LoadTable(PlatFont* font, const char* tag, size_t* size);

// Outline metrics of a glyph in font units: the bounding box (0 box for an empty glyph) and the
// horizontal advance. 0 when the glyph cannot be loaded.
struct PlatGlyphBox {
  int xMin, yMin, xMax, yMax;
  int advance;
  int empty;  // no outline points
};
int PlatFont_GetGlyphBox(PlatFont* font, uint32_t glyph, PlatGlyphBox* box);
// Renders the glyph's outline, with font unit (x, y) going to pixel
// ((x * scaleX + offsetX), height - (y * scaleY + offsetY)), anti-aliased into `coverage`
// (width x height bytes, top row first, 0..255). 0 on failure.
int PlatFont_RenderGlyph(PlatFont* font, uint32_t glyph, double scaleX, double scaleY,
                         double offsetX, double offsetY, int width, int height, uint8_t* coverage);
