// Text layout on a made-up glyph table (wrapping, alignment, measuring, shadow and reveal); the
// font's "cmap" reader and real glyphs; 2D picture corners and wrap state.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/mem.h"
#include "foundation/var.h"
#include "foundation/video.h"
#include "platform/gl_dispatch.h"
#include "render/draw2d.h"
#include "render/font.h"
#include "render/material.h"
#include "render/render.h"
#include "render/text.h"
#include "render/texture.h"
#include "support/test_support.h"
#include "tools/cmap_writer.h"
#include "tools/image_writer.h"

namespace {

struct Line {
  int from, to;
  float width, x, y;
};
std::vector<Line> g_lines;
struct Quad {
  float pos[4][3];
  float color[4][4];
};
std::vector<Quad> g_quads;

void RecordLine(int from, int to, float width, float x, float y) { g_lines.push_back({from, to, width, x, y}); }
void RecordQuad(const float p[4][3], const float(*)[2], const float c[4][4], uint32_t, int) {
  Quad q;
  std::memcpy(q.pos, p, sizeof q.pos);
  std::memcpy(q.color, c, sizeof q.color);
  g_quads.push_back(q);
}

void SetVar(const char* name, float value) {
  VarRecord* r = Var_Find(name);
  ASSERT_NE(r, nullptr);
  r->value = value;
}

// Letters 10 wide, the space 5, code 0xE9 7; nothing has a picture unless a test gives it one.
class Layout : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Video_Init(0); }
  void SetUp() override {
    for (auto& g : Font_Glyphs) g = GlyphRecord{};
    Font_GlyphCount = 256;
    Font_TmHeight = 32;
    Font_TmAscent = 24;
    Font_TmDescent = 8;
    for (int c = 'a'; c <= 'z'; c++) Glyph(c, 10);
    Glyph(' ', 5);
    Glyph(0xE9, 7);
    Print_SetSize(32);
    Print_SetAlign(0);
    Print_SetColor(1, 1, 1, 1);
    Print_SetBackground(0, 0);
    SetVar("video_text_shadow", 0);
    SetVar("video_scalex", 1);
    SetVar("video_scaley", 1);
    g_lines.clear();
    g_quads.clear();
    Print_LineObserver = RecordLine;
    Draw2D_QuadObserver = RecordQuad;
  }
  void TearDown() override {
    Print_LineObserver = nullptr;
    Draw2D_QuadObserver = nullptr;
  }
  static void Glyph(int code, float advance) {
    GlyphRecord& g = Font_Glyphs[code];
    g.glyph = static_cast<uint32_t>(code);
    g.advanceX = advance;
    g.material = 0;
  }
  // Gives letters a picture: box 8 x 20 at origin (1, 18).
  static void Pictures() {
    static uint8_t px[32 * 32 * 4];
    const uint32_t m = Material_CreateFromPixels("testglyph", 32, 32, 32, px, 1, 0, 0);
    for (int c = 'a'; c <= 'z'; c++) {
      GlyphRecord& g = Font_Glyphs[c];
      g.material = m;
      g.originX = 1;
      g.originY = 18;
      g.boxWidth = 8;
      g.boxHeight = 20;
    }
  }
  tw_test::TempDir dir_;
};

// The same layout rules for byte and 16-bit text.
template <typename Ch>
std::basic_string<Ch> S(const char* s) {
  std::basic_string<Ch> out;
  for (; *s; s++) out.push_back(static_cast<Ch>(static_cast<unsigned char>(*s)));
  return out;
}
void Box(float l, float t, float r, float b, const std::string& s) { Print_TextBox(l, t, r, b, s.c_str()); }
void Box(float l, float t, float r, float b, const std::u16string& s) { Print_TextBoxW(l, t, r, b, s.c_str()); }

template <typename Ch>
void CheckWrapRules() {
  // Overflowing at the t: the first line keeps the space.
  Box(100, 50, 140, 400, S<Ch>("one two"));
  ASSERT_EQ(g_lines.size(), 2u);
  EXPECT_EQ(std::vector<float>({g_lines[0].width, g_lines[1].width, g_lines[1].y}), std::vector<float>({35, 30, 82}));
  // Box right edge, text, and each line's [from, to): a newline followed by one space drops it
  // (a second one stays); a word wider than the box is cut between characters; a glyph wider
  // than the box still goes, alone on its line, even in a box of no width.
  const struct {
    float right;
    const char* text;
    std::vector<std::pair<int, int>> lines;
  } cases[] = {{40, "one two", {{0, 4}, {4, 7}}}, {300, "ab\n c", {{0, 2}, {4, 5}}},
               {300, "ab\n  c", {{0, 2}, {4, 6}}}, {25, "abcdef", {{0, 2}, {2, 4}, {4, 6}}},
               {5, "ab", {{0, 1}, {1, 2}}}, {-10, "a b", {{0, 2}, {2, 3}}}};
  for (const auto& c : cases) {
    g_lines.clear();
    Box(0, 0, c.right, 100, S<Ch>(c.text));
    std::vector<std::pair<int, int>> got;
    for (const Line& l : g_lines) got.push_back({l.from, l.to});
    EXPECT_EQ(got, c.lines) << c.text;
  }
}

TEST_F(Layout, WrapRulesBytes) { CheckWrapRules<char>(); }
TEST_F(Layout, WrapRules16Bit) { CheckWrapRules<char16_t>(); }

// A code past the table or without a glyph leaves the pen where it was; a tab moves it four
// spaces and draws nothing.
TEST_F(Layout, PenSkipsCodesWithoutGlyphsAndATabMovesFourSpaces) {
  // Both carry an advance that must not be taken.
  Font_Glyphs[300] = GlyphRecord{};
  Font_Glyphs[300].glyph = 300;
  Font_Glyphs[300].advanceX = 6;
  Font_Glyphs['#'].advanceX = 6;
  float x = 10, y = 20;
  Print_Glyph(&x, &y, 300);  // outside the 256-code table
  Print_Glyph(&x, &y, '#');  // no glyph in the font
  EXPECT_EQ(x, 10);
  Print_Char(&x, &y, 0xE9);
  Print_Glyph(&x, &y, '\t');
  EXPECT_EQ(x, 37);
  EXPECT_TRUE(g_quads.empty());
}

// Alignment uses the advance sum; measuring; the height of wrapped text and the box bottom.
TEST_F(Layout, AlignmentMeasuringAndHeights) {
  for (auto [align, x] : {std::pair{2, 180.0f}, {1, 140.0f}, {7, 100.0f}}) {
    g_lines.clear();
    Print_SetAlign(align);
    Print_TextBoxW(100, 0, 200, 50, u"ab");
    ASSERT_EQ(g_lines.size(), 1u);
    EXPECT_FLOAT_EQ(g_lines[0].x, x) << align;
  }
  g_lines.clear();
  // Widths add a 4 margin; heights are lines x size + 1; a tab counts four spaces; a byte is its
  // own code, not UTF-8.
  const struct {
    const char* text;
    float size, w, h;
  } cases[] = {{"", 32, 0, 0}, {"a\n", 32, 14, 65}, {"\t", 32, 24, 33}, {"\xE9", 32, 11, 33}, {"ab", 16, 14, 17}};
  float w = 1, h = 1;
  for (const auto& c : cases) {
    Print_SetSize(c.size);
    Print_MeasureText(c.text, &w, &h);
    EXPECT_EQ(std::vector<float>({w, h}), std::vector<float>({c.w, c.h})) << c.text;
  }
  Print_MeasureText(nullptr, &w, &h);
  EXPECT_EQ(w, 0);
  Print_SetSize(32);
  Print_MeasureTextW(u"ab\nabc", &w, &h);
  EXPECT_EQ(std::vector<float>({w, h}), std::vector<float>({34, 65}));
  EXPECT_EQ(std::vector<float>({Print_TextBoxHeightW(0, 10, 40, 20, nullptr), Print_TextBoxHeightW(0, 10, 40, 20, u"one two"),
                                 Print_TextBoxHeightW(0, 10, 400, 20, u"x\ny\nz")}),
            std::vector<float>({10, 10 + 64, 10 + 96}));
  EXPECT_TRUE(g_lines.empty());  // draws nothing
  // The bottom the text hooks get: the same height, with the text drawn.
  EXPECT_EQ(std::vector<float>({Print_TextBoxBottomW(0, 10, 40, 20, u"one two"), Print_TextBoxBottom(0, 10, 400, 20, "x\ny"),
                                 Print_TextBoxBottom(0, 10, 400, 20, nullptr)}),
            std::vector<float>({10 + 64, 10 + 64, 10}));
  EXPECT_EQ(g_lines.size(), 4u);
}

TEST_F(Layout, GlyphQuadShadowAndReveal) {
  Pictures();
  if (Font_Glyphs['a'].material == 0) GTEST_SKIP() << "no material table";
  SetVar("video_text_shadow", 1);
  Print_SetColor(1, 1, 1, 1);
  float x = 100, y = 200;
  Print_Char(&x, &y, 'a');
  ASSERT_EQ(g_quads.size(), 2u);
  const Quad& shadow = g_quads[0];
  const Quad& glyph = g_quads[1];
  // The glyph's black box: left 101, right 109, top 182, bottom 202 on the 640 x 480 screen; the
  // shadow one pixel right and down, half bright.
  EXPECT_EQ(std::vector<float>({glyph.pos[0][0], glyph.pos[0][2], glyph.pos[3][0], glyph.pos[3][2], x}),
            std::vector<float>({101 - 320.0f, 240 - 182.0f, 109 - 320.0f, 240 - 202.0f, 110}));
  EXPECT_EQ(std::vector<float>({shadow.pos[0][0], shadow.pos[0][2], shadow.color[0][0]}),
            std::vector<float>({glyph.pos[0][0] + 1, glyph.pos[0][2] - 1, 0.5f}));
  // Revealed: half alpha at a budget of 0.1, a black shadow, and 1/30 spent per drawn glyph.
  g_quads.clear();
  float budget = 0.1f;
  x = 100;
  Print_CharReveal(&x, &y, 'a', &budget);
  ASSERT_EQ(g_quads.size(), 2u);
  EXPECT_EQ(std::vector<float>({g_quads[1].color[0][3], g_quads[0].color[0][0]}), std::vector<float>({0.5f, 0.0f}));
  EXPECT_FLOAT_EQ(budget, 0.1f - 1.0f / 30);
  Print_CharReveal(&x, &y, ' ', &budget);  // a space spends nothing
  EXPECT_FLOAT_EQ(budget, 0.1f - 1.0f / 30);
}

}  // namespace

// ---- The "cmap" reader on hand-built and hostile tables, and glyphs of a real TrueType font.

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

// The font table is read as the driver hands it out: a size query first, then the words of the
// Windows Unicode subtable in host order.
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

TEST(Cmap, TheLastWindowsUnicodeRecordWins) {
  const struct {
    std::vector<CmapRecord> records;
    uint32_t glyphOfB;
  } cases[] = {{{{0, 3, SimpleSubtable(1)}, {1, 0, SimpleSubtable(2)}, {3, 1, SimpleSubtable(3)}}, 'B' + 3u},
               {{{3, 0, SimpleSubtable(5)}, {3, 1, SimpleSubtable(6)}}, 'B' + 6u},
               {{{3, 1, SimpleSubtable(6)}, {3, 0, SimpleSubtable(5)}}, 'B' + 5u},
               {{{1, 0, SimpleSubtable(1)}, {3, 10, SimpleSubtable(1)}}, 0xDEAD}};  // no Windows record
  for (const auto& c : cases) EXPECT_EQ(MapWith(CmapWriter_Table(c.records), 'B'), c.glyphOfB);
}

TEST(Cmap, DeltaAndGlyphArrayMapping) {
  auto sub = CmapWriter_Format4({{0x20, 0x22, 0xFFF0, {}},          // wraps modulo 65536
                                 {0x41, 0x43, 100, {7, 0, 9}},       // glyph array, a 0 entry
                                 {0xFFFF, 0xFFFF, 1, {}}});
  auto table = CmapWriter_Table({{3, 1, sub}});
  ASSERT_EQ(Font_LoadCmap(table.data(), table.size()), 1);
  // 0x42's array entry 0 stays 0 whatever the delta; 0x30 lies between segments.
  std::vector<uint32_t> got;
  for (uint16_t c : {0x20, 0x41, 0x42, 0x43, 0x30, 0x1F}) got.push_back(Font_CharToGlyph(c));
  EXPECT_EQ(got, std::vector<uint32_t>({(0x20u + 0xFFF0u) & 0xFFFF, 107, 0, 109, 0, 0}));
  Font_FreeCmap();
  EXPECT_EQ(Font_CharToGlyph(0x41), 0u);
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
  // A numTables that the table cannot hold; a format other than 4.
  auto many = good;
  many[2] = 0xFF;
  EXPECT_EQ(Font_LoadCmap(many.data(), many.size()), 0);
  std::vector<uint8_t> format6 = {0, 6, 0, 12, 0, 0, 0, 0x41, 0, 1, 0, 7, 0, 0};
  auto six = CmapWriter_Table({{3, 1, format6}});
  EXPECT_EQ(Font_LoadCmap(six.data(), six.size()), 0);
  EXPECT_EQ(Font_CharToGlyph('A'), 0u);
}

class RealFont : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Video_Init(0);
  }
  void SetUp() override {
    ASSERT_TRUE(tw_test::PutTestFont("TestFace.ttf")) << "fonts-dejavu-core is not installed";
    SetVar("video_font", "TestFace");
    SetVar("video_unicode", "0");
  }
  void TearDown() override { Font_Shutdown(); }
  static void SetVar(const char* name, const char* text) { ASSERT_TRUE(Var_SetText(Var_Find(name), text)); }
  tw_test::TempDir dir_;
};

TEST_F(RealFont, MetricsFillTheCellLetterAFillsItsTextureAndAFullMaterialTableLeavesItUndrawn) {
  Font_Init();
  EXPECT_FLOAT_EQ(Font_TmHeight, 32.0f);
  EXPECT_NEAR(Font_TmAscent + Font_TmDescent, 32.0f, 0.01f);
  EXPECT_NE(Font_Glyphs[0xE9].glyph, 0u);  // byte codes are Unicode code points 0..255
  EXPECT_EQ(Font_Glyphs['A'].material, kGlyphNotRendered);
  uint8_t px[32 * 32 * 4];
  int w = 0, h = 0;
  ASSERT_EQ(Font_RasterizeGlyph('A', px, &w, &h), 1);
  EXPECT_EQ(w, 32);
  const GlyphRecord& g = Font_Glyphs['A'];
  EXPECT_GT(g.boxWidth, 10);
  EXPECT_NEAR(g.originY, g.boxHeight, 1.0f);  // sits on the baseline
  EXPECT_GE(g.advanceX, g.boxWidth);
  // White texels, alpha 0 on the border; the apex at the top middle, the legs at the bottom sides.
  auto alpha = [&](int x, int y) { return px[(y * 32 + x) * 4 + 3]; };
  int border = 0, topLeft = 0, topMiddle = 0, bottomLeft = 0;
  for (int i = 0; i < 32; i++) border += alpha(i, 0) + alpha(i, 31) + alpha(0, i) + alpha(31, i);
  for (int y = 1; y < 31; y++)
    for (int x = 1; x < 6; x++) topLeft += y < 5 ? alpha(x, y) : 0, bottomLeft += y >= 27 ? alpha(x, y) : 0;
  for (int y = 1; y < 5; y++)
    for (int x = 13; x < 19; x++) topMiddle += alpha(x, y);
  EXPECT_EQ(px[(16 * 32 + 16) * 4], 255);
  EXPECT_EQ(border, 0);
  EXPECT_EQ(topLeft, 0);
  EXPECT_GT(topMiddle, 1000);
  EXPECT_GT(bottomLeft, 1000);
  // The space has no picture but advances.
  EXPECT_EQ(Font_RasterizeGlyph(' ', px, &w, &h), 0);
  float gw = 0, gh = 0;
  Print_SetSize(32);
  Font_GetGlyphSize(&gw, &gh, ' ');
  EXPECT_GT(gw, 4);
  // Invalidation drops the pictures and keeps the metrics.
  Font_RenderGlyph('A');
  const float advance = g.advanceX;
  EXPECT_NE(g.material, kGlyphNotRendered);
  Font_InvalidateGlyphs();
  EXPECT_EQ(g.material, kGlyphNotRendered);
  EXPECT_EQ(g.advanceX, advance);
  // A full material table leaves glyphs undrawn but advancing.
  Tex_FreeAll();
  Font_Init();
  const uint8_t white[4] = {255, 255, 255, 255};
  char name[32];
  for (int i = 0; i < kMaxMaterials + 8; i++) {
    std::snprintf(name, sizeof name, "fill%d", i);
    Material_CreateFromPixels(name, 1, 1, 32, white, 1, 0, 0);
  }
  Font_RenderGlyph('A');
  EXPECT_EQ(Font_Glyphs['A'].material, 0u);
  static int quads;
  quads = 0;
  Draw2D_QuadObserver = [](const float(*)[3], const float(*)[2], const float(*)[4], uint32_t, int) { quads++; };
  float x = 0, y = 100;
  Print_Char(&x, &y, 'A');
  Draw2D_QuadObserver = nullptr;
  EXPECT_EQ(quads, 0);
  EXPECT_FLOAT_EQ(x, Font_Glyphs['A'].advanceX);
  Tex_FreeAll();
}

TEST_F(RealFont, OnlyTheFamilyAskedForIsTakenElseTheShippedFile) {
  // The shipped fallback file here holds the mono face, which no lookup of another name yields.
  ASSERT_TRUE(tw_test::PutTestFont("DejaVuSans.ttf", "DejaVuSansMono.ttf"));
  const struct {
    const char* face;
    const char* family;
  } cases[] = {
      {"TestFace", "DejaVu Sans"},               // "<face>.ttf" in the game's folder
      {"dejavu sans", "DejaVu Sans"},            // a system face of that family, any letter case
      {"Tarnwick No Such Face", "DejaVu Sans Mono"},  // fontconfig's substitute is not taken
  };
  for (const auto& c : cases) {
    SetVar("video_font", c.face);
    std::remove("log");
    Sys_Debug.openLog = 0;
    Font_Init();
    Sys_Debug.openLog = 1;
    EXPECT_NE(tw_test::ReadFile("log").find(std::string("familyName=") + c.family + "\n"), std::string::npos)
        << c.face << "\n" << tw_test::ReadFile("log");
  }
}

TEST_F(RealFont, NoMemoryForTheFaceRefusesItAndCodesPastTheTableHaveNoGlyph) {
  DebugSwitches saved = Sys_Debug;
  Sys_Debug.debugMem = 1;  // tracked blocks: a full table refuses every allocation
  Global_ResetTracking();
  std::vector<void*> blocks;
  while (void* p = Global_Malloc(1, "fill")) blocks.push_back(p);
  Font_Init();
  for (void* p : blocks) Global_Free(p);
  Global_ResetTracking();
  Sys_Debug = saved;
  EXPECT_EQ(Font_Glyphs['A'].glyph, 0u);
  Font_Init();  // with memory again the face loads
  EXPECT_NE(Font_Glyphs['A'].glyph, 0u);
  // Codes past the table have no glyph.
  float w = 1, h = 1;
  Font_GetGlyphSize(&w, &h, 0x416);
  EXPECT_EQ(w + h, 0);
  Font_GetGlyphSize(&w, &h, 70000);
  EXPECT_EQ(w, 0);
  SetVar("video_unicode", "1");
  Font_Init();
  EXPECT_EQ(Font_GlyphCount, 65536);
  EXPECT_NE(Font_Glyphs[0x416].glyph, 0u);
  Font_GetGlyphSize(&w, &h, 0x416);
  EXPECT_GT(w, 0);
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
  SetVar("video_font", "Flat");
  Sys_Debug.openLog = 0;  // each line goes straight to "log" in the test's directory
  Font_Init();
  Sys_Debug.openLog = 1;
  EXPECT_NE(tw_test::ReadFile("log").find("has no height, refused"), std::string::npos);
  // Another face took its place, with a usable height.
  EXPECT_NEAR(Font_TmAscent + Font_TmDescent, 32.0f, 0.01f);
}

}  // namespace

// ---- Empty pictures and wrap state, read from the recording GL table (the
// pictures on real pixels are in screen_gl_test).

namespace {

// The last wrap mode set on GL_TEXTURE_WRAP_S.
long LastWrap() {
  long mode = -1;
  const std::string prefix = "glTexParameteri(" + std::to_string(GL_TEXTURE_2D) + ", " +
                             std::to_string(GL_TEXTURE_WRAP_S) + ", ";
  for (const std::string& call : GlRecord_Calls())
    if (call.rfind(prefix, 0) == 0) mode = std::stol(call.substr(prefix.size()));
  return mode;
}

class Pictures : public ::testing::Test {
 protected:
  void SetUp() override {
    GlDispatch_InstallRecording();
    RenderApi = RENDER_API_OPENGL;
    Tex_FreeAll();
    Video_ScreenWidth = 800;
    Video_ScreenHeight = 600;
    // 100 x 50, padded into a 128 x 64 texture.
    ImageTool_Save("pic.tga", ImageTool_WriteTGA(ImageTool_Pattern(100, 50, 1, false), 32));
    ASSERT_EQ(Draw2D_LoadPicture("pic", &pic_), 50);
    ASSERT_EQ(pic_.width, 100);
    GlRecord_Clear();
  }
  void TearDown() override {
    Tex_FreeAll();
    RenderApi = RENDER_API_NONE;
    GlDispatch_Clear();
  }
  tw_test::TempDir dir_;
  Picture pic_{};
  Color8 white_{255, 255, 255, 255};
};

// Only the stored size gates a picture; the clipped one also refuses an empty drawn size (it
// divides by it).
TEST_F(Pictures, EmptyPicturesAndEmptyClippedSizesDrawNothingWrapIsRepeatAfterPicturesAndTheCallersAfterQuads) {
  Picture none{7, 7, 7};
  EXPECT_EQ(Draw2D_LoadPicture("missing", &none), 0);
  EXPECT_EQ(none.width + none.material, 0);
  Picture zero{0, 50, pic_.material};
  Draw2D_PictureAt(0, 0, nullptr, 1, white_);
  Draw2D_PictureAt(0, 0, &zero, 1, white_);
  Draw2D_PictureRotated(0, 0, &zero, 1, white_, 1.0f);
  Draw2D_PictureSized(0, 0, 100, 100, &zero, 1, white_);
  Draw2D_PictureClipped(0, 0, 0, 100, &pic_, 1, white_, 0, 0, 640, 480);
  Draw2D_PictureClipped(0, 0, 100, 0, &pic_, 1, white_, 0, 0, 640, 480);
  Draw2D_PictureClipped(0, 0, 100, 100, nullptr, 1, white_, 0, 0, 640, 480);
  for (auto& c : GlRecord_Calls()) EXPECT_TRUE(c.find("nan") == std::string::npos && c.rfind("glVertex", 0)) << c;
  // The wrap is repeat after pictures and the caller's after quads.
  Draw2D_PictureAt(0, 0, &pic_, 1, white_);
  EXPECT_EQ(LastWrap(), GL_REPEAT);
  Draw2D_PictureClipped(0, 0, 100, 50, &pic_, 1, white_, 0, 0, 50, 50);
  EXPECT_EQ(LastWrap(), GL_REPEAT);
  const float pos[4][3] = {{0, 1, 0}, {0, 1, 1}, {1, 1, 0}, {1, 1, 1}};
  const float uv[4][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};
  const float colors[4][4] = {{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}};
  GlRecord_Clear();
  Draw2D_Quad(pos, uv, colors, static_cast<uint32_t>(pic_.material), 0);
  EXPECT_EQ(LastWrap(), GL_CLAMP_TO_EDGE);
}

TEST(ColorBytes, ClampedAndTruncated) {
  const std::pair<float, int> cases[] = {{0.5f, 127}, {1.0f, 255}, {7.0f, 255}, {-1.0f, 0}, {std::nanf(""), 0}};
  for (const auto& [f, b] : cases) EXPECT_EQ(Draw2D_ColorByte(f), b) << f;
}

}  // namespace
