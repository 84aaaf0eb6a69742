#include "render/text.h"

#include <algorithm>

#include "foundation/video.h"
#include "render/draw2d.h"
#include "render/font.h"
#include "render/material.h"
#include "render/render.h"

TextState Print_State = {32, 32, {1, 1, 1, 1}, {1, 1, 1, 1}, 0, 0, 0};
uint32_t Print_BitmapPage;
void (*Print_LineObserver)(int from, int to, float lineWidth, float x, float y);

constexpr int kBitmapCellWidth = 8, kBitmapCellHeight = 16;

void Print_SetAlign(int mode) { Print_State.align = mode; }
void Print_SetColor(float r, float g, float b, float a) {
  Print_State.color[0] = r;
  Print_State.color[1] = g;
  Print_State.color[2] = b;
  Print_State.color[3] = a;
}
void Print_SetBackgroundColor(float r, float g, float b, float a) {
  Print_State.background[0] = r;
  Print_State.background[1] = g;
  Print_State.background[2] = b;
  Print_State.background[3] = a;
}
void Print_SetBackground(uint32_t material, uint32_t wrap) {
  Print_State.backgroundMaterial = material;
  Print_State.backgroundWrap = wrap;
}
void Print_SetSize(float size) {
  Print_State.width = size;
  Print_State.height = size;
}
void Print_SetWidthScale(float size) { Print_State.width = size; }

static float ScaleX() { return Video_GetScaleX() * Print_State.width / kFontCellHeight; }
static float ScaleY() { return Video_GetScaleY() * Print_State.height / kFontCellHeight; }
static float LineHeight() { return Video_GetScaleY() * Print_State.height; }
static float Ascent() {
  return Font_TmHeight > 0 ? LineHeight() * Font_TmAscent / Font_TmHeight : 0.0f;
}

// Fixed 640 x 480 screen to 2D view space, without the picture offset.
static void ToView(float px, float py, float out[3]) {
  out[0] = px - kScreen2DWidth / 2;
  out[1] = kScreen2DWidth / 2;
  out[2] = kScreen2DHeight / 2 - py;
}

// One flat-coloured quad of the 2D screen with the texture's corner at (su, sv).
static void DrawScreenQuad(float left, float top, float right, float bottom, float su, float sv,
                           const float color[4], uint32_t material, int wrap) {
  float pos[4][3];
  ToView(left, top, pos[0]);
  ToView(left, bottom, pos[1]);
  ToView(right, top, pos[2]);
  ToView(right, bottom, pos[3]);
  const float uv[4][2] = {{0, 0}, {0, sv}, {su, 0}, {su, sv}};
  float colors[4][4];
  for (auto& c : colors) std::copy(color, color + 4, c);
  Draw2D_Quad(pos, uv, colors, material, wrap);
}

// A material of the table whose first frame has a texture.
static int HasTexture(uint32_t material) {
  return material != 0 && material < static_cast<uint32_t>(Material_Count) &&
         Material_Table[material].frameCount > 0 && Material_Table[material].frameTexture[0] != 0;
}

static void GlyphImpl(float* x, float* y, uint16_t code, float* budget) {
  if (code >= Font_GlyphCount) return;
  const float sx = ScaleX(), sy = ScaleY();
  if (code == 9) {
    Font_RenderGlyph(32);
    const GlyphRecord& space = Font_Glyphs[32];
    *x += 4 * sx * space.advanceX;
    *y += 4 * sy * space.advanceY;
    return;
  }
  Font_RenderGlyph(code);
  const GlyphRecord& g = Font_Glyphs[code];
  if (g.glyph == 0) return;
  if (HasTexture(g.material)) {
    float su = 0, sv = 0;
    Material_GetTexScale(static_cast<int>(g.material), 0.0, &su, &sv);
    const float left = *x + sx * g.originX, right = *x + sx * (g.originX + g.boxWidth);
    const float top = *y - sy * g.originY, bottom = *y - sy * (g.originY - g.boxHeight);
    float color[4] = {Print_State.color[0], Print_State.color[1], Print_State.color[2],
                      Print_State.color[3]};
    float shadowColor[4];
    if (budget) {
      const float f = std::clamp(kRevealFade * *budget, 0.0f, 1.0f);
      *budget -= 1.0f / kRevealRate;
      color[3] *= f;
      shadowColor[0] = shadowColor[1] = shadowColor[2] = 0;
    } else {
      for (int i = 0; i < 3; i++) shadowColor[i] = color[i] <= 0.5f ? color[i] + 0.5f : color[i] - 0.5f;
    }
    shadowColor[3] = color[3];
    const float s = Video_GetTextShadow();
    if (s != 0) DrawScreenQuad(left + s, top + s, right + s, bottom + s, su, sv, shadowColor, g.material, 0);
    DrawScreenQuad(left, top, right, bottom, su, sv, color, g.material, 0);
  }
  *x += sx * g.advanceX;
  *y += sy * g.advanceY;
}

void Print_Glyph(float* x, float* y, uint16_t code) { GlyphImpl(x, y, code, nullptr); }
void Print_Char(float* x, float* y, uint8_t c) { GlyphImpl(x, y, c, nullptr); }
void Print_GlyphReveal(float* x, float* y, uint16_t code, float* budget) {
  GlyphImpl(x, y, code, budget);
}
void Print_CharReveal(float* x, float* y, uint8_t c, float* budget) { GlyphImpl(x, y, c, budget); }

void Font_GetGlyphSize(float* width, float* height, int code) {
  *width = *height = 0;
  if (code < 0 || code >= Font_GlyphCount) return;
  Font_RenderGlyph(code);
  const GlyphRecord& g = Font_Glyphs[code];
  if (g.glyph == 0) return;
  *width = ScaleX() * g.advanceX;
  *height = ScaleY() * g.advanceY;
}

// ---------------------------------------------------------------------------------------------
// Lines, boxes and measuring, the same for byte and 16-bit text.

template <typename Ch>
static unsigned Code(Ch c) {
  if constexpr (sizeof(Ch) == 1)
    return static_cast<uint8_t>(c);
  else
    return static_cast<uint16_t>(c);
}

// Width and height of one character in a line (a tab counts four spaces).
static void CharSize(unsigned code, float* a, float* e) {
  if (code == 9) {
    Font_GetGlyphSize(a, e, 32);
    *a *= 4;
    *e *= 4;
    return;
  }
  Font_GetGlyphSize(a, e, static_cast<int>(code));
}

template <typename Ch>
static void LineImpl(float left, float right, const Ch* text, int from, int to, float lineWidth,
                     float y, float* budget) {
  float x = left;
  if (Print_State.align == 1)
    x = left + (right - left - lineWidth) / 2;
  else if (Print_State.align == 2)
    x = right - lineWidth;
  if (Print_LineObserver) Print_LineObserver(from, to, lineWidth, x, y);
  float baseline = y + Ascent();
  for (int i = from; i < to; i++) GlyphImpl(&x, &baseline, static_cast<uint16_t>(Code(text[i])), budget);
}

// The word-wrap walk. Draws each line when `draw` is set; returns the y below the last line.
template <typename Ch>
static float WrapImpl(float left, float top, float right, float bottom, const Ch* text, int draw,
                      float* budget) {
  const float lineHeight = LineHeight(), boxWidth = right - left;
  int s = 0, p = -1, i = 0;
  float w = 0, d = 0;
  auto emit = [&](int from, int to, float width) {
    if (draw) LineImpl(left, right, text, from, to, width, top + d, budget);
  };
  (void)bottom;
  for (;;) {
    const unsigned c = Code(text[i]);
    if (c == ' ' || c == '\t' || c == '\n') p = i + 1;
    if (c == 0) {
      emit(s, i, w);
      return top + d + lineHeight;
    }
    if (c == '\n') {
      emit(s, i, w);
      i++;
      if (Code(text[i]) == ' ') i++;
      d += lineHeight;
      s = i;
      p = -1;
      w = 0;
      continue;
    }
    float a, e;
    CharSize(c, &a, &e);
    const int end = p > s ? p : i;
    if (w + a <= boxWidth || end == s) {
      // It fits, or the line would stay empty: a glyph wider than the box goes alone.
      w += a;
      d += e;
      i++;
      continue;
    }
    float lineWidth = 0;
    for (int k = s; k < end; k++) {
      float ka, ke;
      CharSize(Code(text[k]), &ka, &ke);
      lineWidth += ka;
    }
    emit(s, end, lineWidth);
    s = end;
    if (Code(text[s]) == ' ') s++;
    d += lineHeight;
    p = -1;
    w = 0;
    i = s;
  }
}

template <typename Ch>
static void MeasureImpl(const Ch* text, float* width, float* height) {
  *width = *height = 0;
  if (!text || !text[0]) return;
  float widest = 0, line = 0;
  int lines = 1;
  for (int i = 0;; i++) {
    const unsigned c = Code(text[i]);
    if (c == 0 || c == '\n') {
      widest = std::max(widest, line);
      line = 0;
      if (c == 0) break;
      lines++;
      continue;
    }
    float a, e;
    CharSize(c, &a, &e);
    line += a;
  }
  *width = widest + 4;
  *height = lines * LineHeight() + 1;
}

// Measuring logs nothing, not even a line per measured character: texts are measured every frame
// they are laid out, so such lines would grow the log by thousands of lines a second.
void Print_MeasureText(const char* text, float* width, float* height) { MeasureImpl(text, width, height); }
void Print_MeasureTextW(const char16_t* text, float* width, float* height) {
  MeasureImpl(text, width, height);
}

void Print_TextLine(float left, float, float right, float, const char* text, int from, int to,
                    float lineWidth, float y) {
  if (text) LineImpl(left, right, text, from, to, lineWidth, y, nullptr);
}
void Print_TextLineW(float left, float, float right, float, const char16_t* text, int from, int to,
                     float lineWidth, float y) {
  if (text) LineImpl(left, right, text, from, to, lineWidth, y, nullptr);
}
void Print_TextLineReveal(float left, float, float right, float, const char* text, int from, int to,
                          float lineWidth, float y, float* budget) {
  if (text && budget) LineImpl(left, right, text, from, to, lineWidth, y, budget);
}
void Print_TextLineRevealW(float left, float, float right, float, const char16_t* text, int from,
                           int to, float lineWidth, float y, float* budget) {
  if (text && budget) LineImpl(left, right, text, from, to, lineWidth, y, budget);
}

void Print_TextBox(float left, float top, float right, float bottom, const char* text) {
  if (!text) return;
  Print_DrawBackground(left, top, right, bottom);
  WrapImpl(left, top, right, bottom, text, 1, nullptr);
}
void Print_TextBoxW(float left, float top, float right, float bottom, const char16_t* text) {
  if (!text) return;
  Print_DrawBackground(left, top, right, bottom);
  WrapImpl(left, top, right, bottom, text, 1, nullptr);
}
void Print_TextBoxReveal(float left, float top, float right, float bottom, const char* text,
                         float* budget) {
  if (!text || !budget) return;
  Print_DrawBackground(left, top, right, bottom);
  WrapImpl(left, top, right, bottom, text, 1, budget);
}
void Print_TextBoxRevealW(float left, float top, float right, float bottom, const char16_t* text,
                          float* budget) {
  if (!text || !budget) return;
  Print_DrawBackground(left, top, right, bottom);
  WrapImpl(left, top, right, bottom, text, 1, budget);
}
float Print_TextBoxBottom(float left, float top, float right, float bottom, const char* text) {
  if (!text) return top;
  Print_DrawBackground(left, top, right, bottom);
  return WrapImpl(left, top, right, bottom, text, 1, nullptr);
}
float Print_TextBoxBottomW(float left, float top, float right, float bottom, const char16_t* text) {
  if (!text) return top;
  Print_DrawBackground(left, top, right, bottom);
  return WrapImpl(left, top, right, bottom, text, 1, nullptr);
}
float Print_TextBoxHeightW(float left, float top, float right, float bottom, const char16_t* text) {
  if (!text) return top;
  return WrapImpl(left, top, right, bottom, text, 0, nullptr);
}

void Print_DrawBackground(float left, float top, float right, float bottom) {
  float su = 0, sv = 0;
  if (Print_State.backgroundMaterial) Material_GetTexScale(static_cast<int>(Print_State.backgroundMaterial), 0.0, &su, &sv);
  DrawScreenQuad(left, top, right, bottom, su, sv, Print_State.background, Print_State.backgroundMaterial,
                 static_cast<int>(Print_State.backgroundWrap));
}

// ---------------------------------------------------------------------------------------------
// Bitmap font

void Print_BitmapChar(int x, int y, uint8_t c) {
  Material_Bind(0, static_cast<int>(Print_BitmapPage), 0.0, 1);
  float offset[2] = {0, 0};
  Render_GetTexelOffset(Material_GetWidth(static_cast<int>(Print_BitmapPage), 0.0),
                        Material_GetHeight(static_cast<int>(Print_BitmapPage), 0.0), offset);
  Render_SetBlend(5);
  const int halfW = Video_ScreenWidth / 2;
  const float halfH = Video_ScreenHeight / 2.0f, depth = Video_ScreenWidth / 2.0f;
  const int px[4] = {x, x + kBitmapCellWidth, x + kBitmapCellWidth, x};
  const int py[4] = {y, y, y + kBitmapCellHeight, y + kBitmapCellHeight};
  ImmVertex v[4];  // top-left, top-right, bottom-right, bottom-left
  for (int i = 0; i < 4; i++) {
    v[i] = ImmVertex{};
    v[i].x = static_cast<float>(px[i] - halfW);
    v[i].y = depth;
    v[i].z = halfH - static_cast<float>(py[i]);
    v[i].r = v[i].g = v[i].b = v[i].a = 255;
    v[i].u = Video_BitmapCells[c][i][0] + offset[0];
    v[i].v = Video_BitmapCells[c][i][1] + offset[1];
  }
  Render_DrawTriangle(&v[0], &v[1], &v[2]);
  Render_DrawTriangle(&v[2], &v[3], &v[0]);
}

void Print_BitmapString(int x, int y, const char* text) {
  if (!text) return;
  for (int i = 0; text[i]; i++) Print_BitmapChar(x + i * kBitmapCellWidth, y, static_cast<uint8_t>(text[i]));
}
