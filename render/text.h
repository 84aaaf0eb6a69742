// Text in the 2D layer: TrueType glyphs from the glyph cache (sizes, colour, alignment, word wrap,
// background panel, drop shadow, typewriter reveal) and the fixed-cell bitmap font.
// 8-bit strings are byte codes 0..255 (never UTF-8); 16-bit strings are char16_t codes.
// TrueType text is placed on the fixed 640 x 480 2D screen; bitmap text in display pixels.
#pragma once
#include <cstdint>

struct TextState {
  float height;  // pixels
  float width;
  float color[4];       // r, g, b, a, 0..1
  float background[4];  // background panel colour
  uint32_t backgroundMaterial;  // 0: untextured panel
  uint32_t backgroundWrap;      // 0 clamp, 1 repeat
  int32_t align;                // 0 left, 1 centred, 2 right; others draw as left
};

extern TextState Print_State;
extern uint32_t Print_BitmapPage;  // material of the bitmap-font page

constexpr float kRevealRate = 30.0f;  // glyphs per unit of budget
constexpr float kRevealFade = 5.0f;   // alpha factor per unit of budget found

void Print_SetAlign(int mode);
void Print_SetColor(float r, float g, float b, float a);
void Print_SetBackgroundColor(float r, float g, float b, float a);
void Print_SetBackground(uint32_t material, uint32_t wrap);
void Print_SetSize(float size);
void Print_SetWidthScale(float size);

void Print_Glyph(float* x, float* y, uint16_t code);
void Print_Char(float* x, float* y, uint8_t c);
void Print_GlyphReveal(float* x, float* y, uint16_t code, float* budget);
void Print_CharReveal(float* x, float* y, uint8_t c, float* budget);
void Font_GetGlyphSize(float* width, float* height, int code);

void Print_MeasureText(const char* text, float* width, float* height);
void Print_MeasureTextW(const char16_t* text, float* width, float* height);
void Print_TextLine(float left, float top, float right, float bottom, const char* text, int from,
                    int to, float lineWidth, float y);
void Print_TextLineW(float left, float top, float right, float bottom, const char16_t* text,
                     int from, int to, float lineWidth, float y);
void Print_TextLineReveal(float left, float top, float right, float bottom, const char* text,
                          int from, int to, float lineWidth, float y, float* budget);
void Print_TextLineRevealW(float left, float top, float right, float bottom, const char16_t* text,
                           int from, int to, float lineWidth, float y, float* budget);
void Print_TextBox(float left, float top, float right, float bottom, const char* text);
void Print_TextBoxW(float left, float top, float right, float bottom, const char16_t* text);
void Print_TextBoxReveal(float left, float top, float right, float bottom, const char* text,
                         float* budget);
void Print_TextBoxRevealW(float left, float top, float right, float bottom, const char16_t* text,
                          float* budget);
float Print_TextBoxHeightW(float left, float top, float right, float bottom, const char16_t* text);
void Print_DrawBackground(float left, float top, float right, float bottom);
// Print_TextBox and Print_TextBoxW returning the y just below the last line (the drawing hooks of
// the localized texts).
float Print_TextBoxBottom(float left, float top, float right, float bottom, const char* text);
float Print_TextBoxBottomW(float left, float top, float right, float bottom, const char16_t* text);

// Observer of every text line drawn by the line and box operations (tests read the layout
// through it): characters [from, to) of the text, the line's width, its pen start and top.
extern void (*Print_LineObserver)(int from, int to, float lineWidth, float x, float y);

void Print_BitmapChar(int x, int y, uint8_t c);
void Print_BitmapString(int x, int y, const char* text);
