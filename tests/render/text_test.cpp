// Text layout on a made-up glyph table: wrapping, alignment, measuring, shadow and reveal.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/mem.h"
#include "foundation/var.h"
#include "foundation/video.h"
#include "render/draw2d.h"
#include "render/font.h"
#include "render/material.h"
#include "render/text.h"
#include "support/test_support.h"

namespace {

struct Line {
  int from, to;
  float width, x, y;
};
std::vector<Line> g_lines;
struct Quad {
  float pos[4][3];
  float uv[4][2];
  float color[4][4];
  uint32_t material;
  int wrap;
};
std::vector<Quad> g_quads;

void RecordLine(int from, int to, float width, float x, float y) { g_lines.push_back({from, to, width, x, y}); }
void RecordQuad(const float p[4][3], const float uv[4][2], const float c[4][4], uint32_t m, int w) {
  Quad q;
  std::memcpy(q.pos, p, sizeof q.pos);
  std::memcpy(q.uv, uv, sizeof q.uv);
  std::memcpy(q.color, c, sizeof q.color);
  q.material = m;
  q.wrap = w;
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
  using Str = std::basic_string<Ch>;
  // Overflowing at the t: the first line keeps the space.
  g_lines.clear();
  Box(100, 50, 140, 400, Str(S<Ch>("one two")));
  ASSERT_EQ(g_lines.size(), 2u);
  EXPECT_EQ(g_lines[0].from, 0);
  EXPECT_EQ(g_lines[0].to, 4);
  EXPECT_FLOAT_EQ(g_lines[0].width, 35);
  EXPECT_FLOAT_EQ(g_lines[0].y, 50);
  EXPECT_EQ(g_lines[1].from, 4);
  EXPECT_EQ(g_lines[1].to, 7);
  EXPECT_FLOAT_EQ(g_lines[1].width, 30);
  EXPECT_FLOAT_EQ(g_lines[1].y, 82);
  // A newline followed by one space drops it; a second space stays.
  g_lines.clear();
  Box(0, 0, 300, 100, Str(S<Ch>("ab\n c")));
  ASSERT_EQ(g_lines.size(), 2u);
  EXPECT_EQ(g_lines[1].from, 4);
  g_lines.clear();
  Box(0, 0, 300, 100, Str(S<Ch>("ab\n  c")));
  ASSERT_EQ(g_lines.size(), 2u);
  EXPECT_EQ(g_lines[1].from, 4);
  EXPECT_EQ(g_lines[1].to, 6);
  // A word wider than the box is cut between characters.
  g_lines.clear();
  Box(0, 0, 25, 100, Str(S<Ch>("abcdef")));
  ASSERT_EQ(g_lines.size(), 3u);
  EXPECT_EQ(g_lines[0].to, 2);
  EXPECT_EQ(g_lines[1].to, 4);
  EXPECT_EQ(g_lines[2].to, 6);
  // A glyph wider than the box still goes, alone on its line (and the walk ends even for a box
  // of no width).
  g_lines.clear();
  Box(0, 0, 5, 100, Str(S<Ch>("ab")));
  ASSERT_EQ(g_lines.size(), 2u);
  EXPECT_EQ(g_lines[0].to, 1);
  EXPECT_EQ(g_lines[1].to, 2);
  g_lines.clear();
  Box(0, 0, -10, 100, Str(S<Ch>("a b")));
  EXPECT_EQ(g_lines.back().to, 3);
}

TEST_F(Layout, WrapRulesBytes) { CheckWrapRules<char>(); }
TEST_F(Layout, WrapRules16Bit) { CheckWrapRules<char16_t>(); }

TEST_F(Layout, AlignmentUsesTheAdvanceSum) {
  Print_SetAlign(2);
  Print_TextBox(100, 0, 200, 50, "ab");
  ASSERT_EQ(g_lines.size(), 1u);
  EXPECT_FLOAT_EQ(g_lines[0].x, 180);
  g_lines.clear();
  Print_SetAlign(1);
  Print_TextBoxW(100, 0, 200, 50, u"ab");
  EXPECT_FLOAT_EQ(g_lines[0].x, 140);
  g_lines.clear();
  Print_SetAlign(7);
  Print_TextBox(100, 0, 200, 50, "ab");
  EXPECT_FLOAT_EQ(g_lines[0].x, 100);
}

TEST_F(Layout, Measuring) {
  float w = 1, h = 1;
  Print_MeasureText("", &w, &h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  Print_MeasureText(nullptr, &w, &h);
  EXPECT_EQ(w, 0);
  Print_MeasureText("a\n", &w, &h);
  EXPECT_FLOAT_EQ(w, 14);
  EXPECT_FLOAT_EQ(h, 2 * 32 + 1);
  Print_MeasureTextW(u"ab\nabc", &w, &h);
  EXPECT_FLOAT_EQ(w, 34);
  EXPECT_FLOAT_EQ(h, 65);
  Print_MeasureText("\t", &w, &h);  // a tab counts four spaces
  EXPECT_FLOAT_EQ(w, 24);
  Print_MeasureText("\xE9", &w, &h);  // a byte is its own code, not UTF-8
  EXPECT_FLOAT_EQ(w, 11);
  Print_SetSize(16);
  Print_MeasureText("ab", &w, &h);
  EXPECT_FLOAT_EQ(w, 14);
  EXPECT_FLOAT_EQ(h, 17);
}

TEST_F(Layout, MeasuringWritesNoLogLines) {
  Sys_Debug.openLog = 0;
  float w, h;
  for (int i = 0; i < 50; i++) Print_MeasureText("measure me", &w, &h);
  Sys_Debug.openLog = 1;
  EXPECT_FALSE(tw_test::FileExists("log") && !tw_test::ReadFile("log").empty());
}

TEST_F(Layout, HeightOfWrappedText) {
  EXPECT_FLOAT_EQ(Print_TextBoxHeightW(0, 10, 40, 20, nullptr), 10);
  EXPECT_FLOAT_EQ(Print_TextBoxHeightW(0, 10, 40, 20, u"one two"), 10 + 64);
  EXPECT_TRUE(g_lines.empty());  // draws nothing
  EXPECT_FLOAT_EQ(Print_TextBoxHeightW(0, 10, 400, 20, u"x\ny\nz"), 10 + 96);
}

TEST_F(Layout, BoxBottomForTheTextHooks) {
  EXPECT_FLOAT_EQ(Print_TextBoxBottomW(0, 10, 40, 20, u"one two"), Print_TextBoxHeightW(0, 10, 40, 20, u"one two"));
  EXPECT_EQ(g_lines.size(), 2u);
  EXPECT_FLOAT_EQ(Print_TextBoxBottom(0, 10, 400, 20, "x\ny"), 10 + 64);
  EXPECT_FLOAT_EQ(Print_TextBoxBottom(0, 10, 400, 20, nullptr), 10);
}

TEST_F(Layout, PenSkipsCodesWithoutGlyphs) {
  float x = 10, y = 20;
  Print_Glyph(&x, &y, 300);  // outside the 256-code table
  EXPECT_EQ(x, 10);
  Print_Glyph(&x, &y, '#');  // no glyph in the font
  EXPECT_EQ(x, 10);
  Print_Char(&x, &y, 0xE9);
  EXPECT_EQ(x, 17);
  Print_Glyph(&x, &y, '\t');
  EXPECT_EQ(x, 37);
  EXPECT_TRUE(g_quads.empty());
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
  // The glyph's black box: left 101, right 109, top 182, bottom 202 on the 640 x 480 screen.
  EXPECT_FLOAT_EQ(glyph.pos[0][0], 101 - 320.0f);
  EXPECT_FLOAT_EQ(glyph.pos[0][2], 240 - 182.0f);
  EXPECT_FLOAT_EQ(glyph.pos[3][0], 109 - 320.0f);
  EXPECT_FLOAT_EQ(glyph.pos[3][2], 240 - 202.0f);
  EXPECT_FLOAT_EQ(glyph.pos[0][1], 320.0f);
  EXPECT_FLOAT_EQ(shadow.pos[0][0], glyph.pos[0][0] + 1);
  EXPECT_FLOAT_EQ(shadow.pos[0][2], glyph.pos[0][2] - 1);
  EXPECT_FLOAT_EQ(shadow.color[0][0], 0.5f);
  EXPECT_FLOAT_EQ(glyph.color[0][0], 1.0f);
  EXPECT_EQ(glyph.wrap, 0);
  EXPECT_EQ(x, 110);
  // Revealed: half alpha at a budget of 0.1, a black shadow, and 1/30 spent per drawn glyph.
  g_quads.clear();
  float budget = 0.1f;
  x = 100;
  Print_CharReveal(&x, &y, 'a', &budget);
  ASSERT_EQ(g_quads.size(), 2u);
  EXPECT_FLOAT_EQ(g_quads[1].color[0][3], 0.5f);
  EXPECT_FLOAT_EQ(g_quads[0].color[0][0], 0.0f);
  EXPECT_FLOAT_EQ(g_quads[0].color[0][3], 0.5f);
  EXPECT_FLOAT_EQ(budget, 0.1f - 1.0f / 30);
  Print_CharReveal(&x, &y, ' ', &budget);  // a space spends nothing
  EXPECT_FLOAT_EQ(budget, 0.1f - 1.0f / 30);
}

}  // namespace
