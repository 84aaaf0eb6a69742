#include "platform/font_freetype.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_BITMAP_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <cmath>
#include <cstring>

#include "foundation/log.h"
#include "foundation/mem.h"

struct PlatFont {
  FT_Face face;
  uint8_t* data;  // FreeType reads the face from this block for the face's whole life
};

static FT_Library g_library;
static int g_libraryUsers;

PlatFont* PlatFont_OpenMemory(const uint8_t* data, size_t size) {
  if (!data || size == 0 || size > 0x7FFFFFFF) return nullptr;
  if (!g_library && FT_Init_FreeType(&g_library) != 0) {
    g_library = nullptr;
    Log_Printf("PlatFont_OpenMemory: FreeType did not start\n");
    return nullptr;
  }
  auto* font = static_cast<PlatFont*>(Global_MallocZero(sizeof(PlatFont), "FNTFACE"));
  if (font) font->data = static_cast<uint8_t*>(Global_Malloc(size, "FNTFILE"));
  if (!font || !font->data) {
    Log_Printf("PlatFont_OpenMemory: no memory for %zu bytes\n", size);
    if (font) Global_Free(font);
    return nullptr;
  }
  g_libraryUsers++;
  std::memcpy(font->data, data, size);
  if (FT_New_Memory_Face(g_library, font->data, static_cast<FT_Long>(size), 0, &font->face) != 0 ||
      !FT_IS_SCALABLE(font->face)) {
    if (font->face) FT_Done_Face(font->face);
    font->face = nullptr;
    PlatFont_Close(font);
    return nullptr;
  }
  return font;
}

void PlatFont_Close(PlatFont* font) {
  if (!font) return;
  if (font->face) FT_Done_Face(font->face);
  Global_Free(font->data);
  Global_Free(font);
  if (--g_libraryUsers == 0 && g_library) {
    FT_Done_FreeType(g_library);
    g_library = nullptr;
  }
}

int PlatFont_MatchFile(const char* family, char* out, size_t outSize) {
  if (!family || !*family || !out || outSize == 0) return 0;
  if (!FcInit()) return 0;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return 0;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  int found = 0;
  // fontconfig always offers its nearest substitute; only a face of the family asked for counts.
  bool sameFamily = false;
  FcChar8* name = nullptr;
  for (int i = 0; match && !sameFamily && FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; i++)
    sameFamily = name && FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8*>(family)) == 0;
  if (match && sameFamily) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file &&
        std::strlen(reinterpret_cast<const char*>(file)) < outSize) {
      std::strcpy(out, reinterpret_cast<const char*>(file));
      found = 1;
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return found;
}

int PlatFont_GetMetrics(PlatFont* font, int* unitsPerEm, int* ascent, int* descent) {
  if (!font || !font->face) return 0;
  FT_Face face = font->face;
  *unitsPerEm = face->units_per_EM;
  auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 && os2->version != 0xFFFF && (os2->usWinAscent || os2->usWinDescent)) {
    *ascent = os2->usWinAscent;
    *descent = os2->usWinDescent;
  } else {
    *ascent = face->ascender;
    *descent = -face->descender;
  }
  return 1;
}

const char* PlatFont_FamilyName(PlatFont* font) {
  return font && font->face && font->face->family_name ? font->face->family_name : "";
}

const char* PlatFont_StyleName(PlatFont* font) {
  return font && font->face && font->face->style_name ? font->face->style_name : "";
}

uint8_t* PlatFont_LoadTable(PlatFont* font, const char* tag, size_t* size) {
  *size = 0;
  if (!font || !font->face || !tag || std::strlen(tag) != 4) return nullptr;
  FT_ULong t = FT_MAKE_TAG(tag[0], tag[1], tag[2], tag[3]);
  FT_ULong length = 0;
  if (FT_Load_Sfnt_Table(font->face, t, 0, nullptr, &length) != 0 || length == 0) return nullptr;
  auto* block = static_cast<uint8_t*>(Global_MallocZero(length, "FNTPUM"));
  if (!block) return nullptr;
  if (FT_Load_Sfnt_Table(font->face, t, 0, block, &length) != 0) {
    Global_Free(block);
    return nullptr;
  }
  *size = length;
  return block;
}

static int LoadOutline(PlatFont* font, uint32_t glyph) {
  if (!font || !font->face || glyph >= static_cast<uint32_t>(font->face->num_glyphs)) return 0;
  if (FT_Load_Glyph(font->face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0)
    return 0;
  return font->face->glyph->format == FT_GLYPH_FORMAT_OUTLINE;
}

int PlatFont_GetGlyphBox(PlatFont* font, uint32_t glyph, PlatGlyphBox* box) {
  *box = PlatGlyphBox{};
  if (!LoadOutline(font, glyph)) return 0;
  FT_GlyphSlot slot = font->face->glyph;
  box->advance = static_cast<int>(slot->advance.x);
  if (slot->outline.n_points <= 0) {
    box->empty = 1;
    return 1;
  }
  FT_BBox cbox;
  FT_Outline_Get_CBox(&slot->outline, &cbox);
  box->xMin = static_cast<int>(cbox.xMin);
  box->yMin = static_cast<int>(cbox.yMin);
  box->xMax = static_cast<int>(cbox.xMax);
  box->yMax = static_cast<int>(cbox.yMax);
  return 1;
}

int PlatFont_RenderGlyph(PlatFont* font, uint32_t glyph, double scaleX, double scaleY,
                         double offsetX, double offsetY, int width, int height, uint8_t* coverage) {
  if (width <= 0 || height <= 0 || !coverage) return 0;
  std::memset(coverage, 0, static_cast<size_t>(width) * height);
  if (!LoadOutline(font, glyph)) return 0;
  FT_Outline& outline = font->face->glyph->outline;
  for (int i = 0; i < outline.n_points; i++) {
    double x = (outline.points[i].x * scaleX + offsetX) * 64.0;
    double y = (outline.points[i].y * scaleY + offsetY) * 64.0;
    if (!(std::fabs(x) < 1e7 && std::fabs(y) < 1e7)) return 0;
    outline.points[i].x = static_cast<FT_Pos>(std::lround(x));
    outline.points[i].y = static_cast<FT_Pos>(std::lround(y));
  }
  FT_Bitmap bitmap;
  FT_Bitmap_Init(&bitmap);
  bitmap.rows = static_cast<unsigned>(height);
  bitmap.width = static_cast<unsigned>(width);
  bitmap.pitch = width;
  bitmap.buffer = coverage;
  bitmap.num_grays = 256;
  bitmap.pixel_mode = FT_PIXEL_MODE_GRAY;
  return FT_Outline_Get_Bitmap(g_library, &outline, &bitmap) == 0;
}
