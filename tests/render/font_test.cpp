// The "cmap" reader on hand-built and hostile tables, and glyphs of a real TrueType font.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "foundation/mem.h"
#include "foundation/var.h"
#include "foundation/video.h"
#include "render/draw2d.h"
#include "render/font.h"
#include "render/material.h"
#include "render/texture.h"
#include "render/text.h"
#include "support/test_support.h"
#include "tools/cmap_writer.h"

namespace {

const char kDejaVu[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

std::vector<uint8_t> SimpleSubtable(uint16_t delta) {
  return CmapWriter_Format4({{0x41, 0x5A, delta, {}}, {0xFFFF, 0xFFFF, 1, {}}});
}

uint32_t MapWith(const std::vector<uint8_t>& table, uint16_t code) {
  if (!Font_LoadCmap(table.data(), table.size())) return 0xDEAD;
  uint32_t g = Font_CharToGlyph(code);
  Font_FreeCmap();
  return g;
}

TEST(Cmap, LastWindowsUnicodeRecordWins) {
  auto table = CmapWriter_Table({{0, 3, SimpleSubtable(1)}, {1, 0, SimpleSubtable(2)}, {3, 1, SimpleSubtable(3)}});
  EXPECT_EQ(MapWith(table, 'A'), 'A' + 3u);
  auto both = CmapWriter_Table({{3, 0, SimpleSubtable(5)}, {3, 1, SimpleSubtable(6)}});
  EXPECT_EQ(MapWith(both, 'B'), 'B' + 6u);
  auto reversed = CmapWriter_Table({{3, 1, SimpleSubtable(6)}, {3, 0, SimpleSubtable(5)}});
  EXPECT_EQ(MapWith(reversed, 'B'), 'B' + 5u);
}

TEST(Cmap, NoWindowsRecordOrOtherFormatIsRefused) {
  auto mac = CmapWriter_Table({{1, 0, SimpleSubtable(1)}, {3, 10, SimpleSubtable(1)}});
  EXPECT_EQ(Font_LoadCmap(mac.data(), mac.size()), 0);
  std::vector<uint8_t> format6 = {0, 6, 0, 12, 0, 0, 0, 0x41, 0, 1, 0, 7, 0, 0};
  auto table = CmapWriter_Table({{3, 1, format6}});
  EXPECT_EQ(Font_LoadCmap(table.data(), table.size()), 0);
  EXPECT_EQ(Font_CharToGlyph('A'), 0u);
}

TEST(Cmap, DeltaAndGlyphArrayMapping) {
  auto sub = CmapWriter_Format4({{0x20, 0x22, 0xFFF0, {}},          // wraps modulo 65536
                                 {0x41, 0x43, 100, {7, 0, 9}},       // glyph array, a 0 entry
                                 {0xFFFF, 0xFFFF, 1, {}}});
  auto table = CmapWriter_Table({{3, 1, sub}});
  ASSERT_EQ(Font_LoadCmap(table.data(), table.size()), 1);
  EXPECT_EQ(Font_CharToGlyph(0x20), (0x20u + 0xFFF0u) & 0xFFFF);
  EXPECT_EQ(Font_CharToGlyph(0x41), 107u);
  EXPECT_EQ(Font_CharToGlyph(0x42), 0u);  // 0 stays 0 whatever the delta
  EXPECT_EQ(Font_CharToGlyph(0x43), 109u);
  EXPECT_EQ(Font_CharToGlyph(0x30), 0u);  // between segments
  EXPECT_EQ(Font_CharToGlyph(0x1F), 0u);
  Font_FreeCmap();
  EXPECT_EQ(Font_CharToGlyph(0x41), 0u);
}

TEST(Cmap, SizeQueryThenRead) {
  auto sub = SimpleSubtable(1);
  auto table = CmapWriter_Table({{3, 1, sub}});
  size_t need = 0;
  EXPECT_EQ(Font_ReadCmap(table.data(), table.size(), nullptr, 0, &need), 0);
  EXPECT_EQ(need, sub.size() / 2);
  std::vector<uint16_t> words(need);
  ASSERT_EQ(Font_ReadCmap(table.data(), table.size(), words.data(), words.size(), &need), 1);
  EXPECT_EQ(words[0], 4);  // the format, in host order
  EXPECT_EQ(words[1], sub.size());
}

TEST(Cmap, HostileTablesAreRefusedOrMapToZero) {
  auto good = CmapWriter_Table({{3, 1, SimpleSubtable(1)}});
  // Every truncation of a valid table is refused or maps safely.
  for (size_t n = 0; n < good.size(); n++) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + n);
    EXPECT_EQ(Font_LoadCmap(cut.data(), cut.size()), 0) << n;
  }
  // A record offset past the table.
  auto far = good;
  far[8] = 0x7F;
  EXPECT_EQ(Font_LoadCmap(far.data(), far.size()), 0);
  // A length too short for its segments, and an odd segment count.
  auto shortLen = good;
  shortLen[12 + 3] = 16;
  EXPECT_EQ(Font_LoadCmap(shortLen.data(), shortLen.size()), 0);
  auto odd = good;
  odd[12 + 7] = 3;
  EXPECT_EQ(Font_LoadCmap(odd.data(), odd.size()), 0);
  // An idRangeOffset pointing outside the subtable.
  auto sub = CmapWriter_Format4({{0x41, 0x43, 0, {1, 2, 3}}, {0xFFFF, 0xFFFF, 1, {}}});
  auto table = CmapWriter_Table({{3, 1, sub}});
  const size_t rangeAt = 12 + 16 + 3 * 4;  // idRangeOffset[0]
  table[rangeAt] = 0x7F;
  ASSERT_EQ(Font_LoadCmap(table.data(), table.size()), 1);
  EXPECT_EQ(Font_CharToGlyph(0x43), 0u);
  Font_FreeCmap();
  // A numTables that the table cannot hold.
  auto many = good;
  many[2] = 0xFF;
  EXPECT_EQ(Font_LoadCmap(many.data(), many.size()), 0);
}

class RealFont : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Video_Init(0);
  }
  void SetUp() override {
    if (!tw_test::FileExists(kDejaVu)) GTEST_SKIP() << "fonts-dejavu-core is not installed";
    tw_test::WriteBytes("TestFace.ttf", tw_test::ReadBytes(kDejaVu));
    SetVar("video_font", "TestFace", 0);
    SetVar("video_unicode", "0", 0);
  }
  void TearDown() override { Font_Shutdown(); }
  static void SetVar(const char* name, const char* text, float value) {
    VarRecord* r = Var_Find(name);
    ASSERT_NE(r, nullptr);
    std::strcpy(r->text, text);
    r->value = value;
  }
  tw_test::TempDir dir_;
};

TEST_F(RealFont, MetricsFillTheCell) {
  Font_Init();
  EXPECT_FLOAT_EQ(Font_TmHeight, 32.0f);
  EXPECT_NEAR(Font_TmAscent + Font_TmDescent, 32.0f, 0.01f);
  EXPECT_GT(Font_TmAscent, Font_TmDescent);
  EXPECT_EQ(Font_GlyphCount, 256);
  EXPECT_NE(Font_Glyphs['A'].glyph, 0u);
  EXPECT_NE(Font_Glyphs[0xE9].glyph, 0u);  // byte codes are Unicode code points 0..255
  EXPECT_EQ(Font_Glyphs['A'].material, kGlyphNotRendered);
}

TEST_F(RealFont, LetterAFillsItsTextureWithATransparentBorder) {
  Font_Init();
  uint8_t px[32 * 32 * 4];
  int w = 0, h = 0;
  ASSERT_EQ(Font_RasterizeGlyph('A', px, &w, &h), 1);
  EXPECT_EQ(w, 32);
  EXPECT_EQ(h, 32);
  const GlyphRecord& g = Font_Glyphs['A'];
  EXPECT_GT(g.boxWidth, 10);
  EXPECT_LT(g.boxWidth, 30);
  EXPECT_GT(g.boxHeight, 15);
  EXPECT_NEAR(g.originY, g.boxHeight, 1.0f);  // sits on the baseline
  EXPECT_GE(g.advanceX, g.boxWidth);
  auto alpha = [&](int x, int y) { return px[(y * 32 + x) * 4 + 3]; };
  int peak = 0;
  for (int i = 0; i < 32; i++) {
    EXPECT_EQ(alpha(i, 0), 0);
    EXPECT_EQ(alpha(i, 31), 0);
    EXPECT_EQ(alpha(0, i), 0);
    EXPECT_EQ(alpha(31, i), 0);
  }
  for (int y = 1; y < 31; y++)
    for (int x = 1; x < 31; x++) {
      peak = std::max<int>(peak, alpha(x, y));
      EXPECT_EQ(px[(y * 32 + x) * 4 + 0], 255);
    }
  EXPECT_EQ(peak, 255);
  // The apex is at the top (first rows), the legs spread at the bottom.
  int topLeft = 0, topMiddle = 0, bottomLeft = 0, bottomRight = 0, bottomMiddle = 0;
  for (int y = 1; y < 5; y++) {
    for (int x = 1; x < 6; x++) topLeft += alpha(x, y);
    for (int x = 13; x < 19; x++) topMiddle += alpha(x, y);
  }
  for (int y = 27; y < 31; y++) {
    for (int x = 1; x < 5; x++) bottomLeft += alpha(x, y);
    for (int x = 27; x < 31; x++) bottomRight += alpha(x, y);
    for (int x = 13; x < 19; x++) bottomMiddle += alpha(x, y);
  }
  EXPECT_GT(topMiddle, 1000);
  EXPECT_EQ(topLeft, 0);
  EXPECT_GT(bottomLeft, 1000);
  EXPECT_GT(bottomRight, 1000);
  EXPECT_LT(bottomMiddle, bottomLeft);
}

TEST_F(RealFont, SpaceHasNoPictureButAdvances) {
  Font_Init();
  uint8_t px[32 * 32 * 4];
  int w = 0, h = 0;
  EXPECT_EQ(Font_RasterizeGlyph(' ', px, &w, &h), 0);
  EXPECT_GT(Font_Glyphs[' '].advanceX, 4);
  Font_RenderGlyph(' ');
  EXPECT_EQ(Font_Glyphs[' '].material, 0u);
  float gw = 0, gh = 0;
  Print_SetSize(32);
  Font_GetGlyphSize(&gw, &gh, ' ');
  EXPECT_FLOAT_EQ(gw, Font_Glyphs[' '].advanceX);
}

TEST_F(RealFont, CodesPastTheTableHaveNoGlyph) {
  Font_Init();
  float w = 1, h = 1;
  Font_GetGlyphSize(&w, &h, 0x416);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  Font_GetGlyphSize(&w, &h, 70000);
  EXPECT_EQ(w, 0);
  SetVar("video_unicode", "1", 1);
  Font_Init();
  EXPECT_EQ(Font_GlyphCount, 65536);
  EXPECT_NE(Font_Glyphs[0x416].glyph, 0u);
  Font_GetGlyphSize(&w, &h, 0x416);
  EXPECT_GT(w, 0);
}

TEST_F(RealFont, InvalidationKeepsMetrics) {
  Font_Init();
  Font_RenderGlyph('A');
  const float advance = Font_Glyphs['A'].advanceX;
  EXPECT_NE(Font_Glyphs['A'].material, kGlyphNotRendered);
  Font_InvalidateGlyphs();
  EXPECT_EQ(Font_Glyphs['A'].material, kGlyphNotRendered);
  EXPECT_EQ(Font_Glyphs['A'].advanceX, advance);
}

TEST_F(RealFont, AFullMaterialTableLeavesGlyphsUndrawnButAdvancing) {
  Tex_FreeAll();
  Font_Init();
  const uint8_t px[4] = {255, 255, 255, 255};
  char name[32];
  for (int i = 0; i < kMaxMaterials + 8; i++) {
    std::snprintf(name, sizeof name, "fill%d", i);
    Material_CreateFromPixels(name, 1, 1, 32, px, 1, 0, 0);
  }
  Font_RenderGlyph('A');
  EXPECT_EQ(Font_Glyphs['A'].material, 0u);
  static int quads;
  quads = 0;
  Draw2D_QuadObserver = [](const float(*)[3], const float(*)[2], const float(*)[4], uint32_t, int) { quads++; };
  float x = 0, y = 100;
  Print_SetSize(32);
  Print_Char(&x, &y, 'A');
  Draw2D_QuadObserver = nullptr;
  EXPECT_EQ(quads, 0);
  EXPECT_FLOAT_EQ(x, Font_Glyphs['A'].advanceX);
  Tex_FreeAll();
}

// Offset of an sfnt table in a font file, 0 when absent.
size_t TableOffset(const std::vector<uint8_t>& font, const char* tag) {
  if (font.size() < 12) return 0;
  const int n = (font[4] << 8) | font[5];
  for (int i = 0; i < n; i++) {
    const size_t at = 12 + 16 * static_cast<size_t>(i);
    if (at + 16 > font.size()) return 0;
    if (std::memcmp(&font[at], tag, 4) == 0)
      return (size_t(font[at + 8]) << 24) | (size_t(font[at + 9]) << 16) | (size_t(font[at + 10]) << 8) |
             font[at + 11];
  }
  return 0;
}

TEST_F(RealFont, AFontWithoutHeightIsRefused) {
  auto bytes = tw_test::ReadBytes(kDejaVu);
  size_t os2 = TableOffset(bytes, "OS/2"), hhea = TableOffset(bytes, "hhea");
  ASSERT_NE(os2, 0u);
  ASSERT_NE(hhea, 0u);
  for (size_t k = 0; k < 4; k++) bytes[os2 + 68 + k] = 0;   // sTypoAscender, sTypoDescender
  for (size_t k = 0; k < 4; k++) bytes[os2 + 74 + k] = 0;   // usWinAscent, usWinDescent
  for (size_t k = 0; k < 4; k++) bytes[hhea + 4 + k] = 0;   // ascender, descender
  tw_test::WriteBytes("Flat.ttf", bytes);
  SetVar("video_font", "Flat", 0);
  Sys_Debug.openLog = 0;  // each line goes straight to "log" in the test's directory
  Font_Init();
  Sys_Debug.openLog = 1;
  EXPECT_NE(tw_test::ReadFile("log").find("has no height, refused"), std::string::npos);
  // Another face took its place, with a usable height.
  EXPECT_NEAR(Font_TmAscent + Font_TmDescent, 32.0f, 0.01f);
}

}  // namespace
