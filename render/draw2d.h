// The 2D layer: pictures drawn at pixel coordinates on the 2D screen (from the top-left corner,
// y downwards), either the fixed 640 x 480 screen (screen flag set) or the display mode's own size.
#pragma once
#include <cstdint>

struct Picture {
  int32_t width;     // pixels; 0 = never drawn
  int32_t height;
  int32_t material;  // 0 = none
};

struct Color8 {
  uint8_t r, g, b, a;
};

constexpr float kScreen2DWidth = 640.0f;
constexpr float kScreen2DHeight = 480.0f;

// Fills the picture from a loaded material of that name or loads it as a picture; returns its
// height (0 when nothing was found).
int Draw2D_LoadPicture(const char* name, Picture* out);
void Draw2D_Picture(float x, float y, float width, float height, const Picture* picture, int screen,
                    Color8 color, float angle);
void Draw2D_PictureRotated(float x, float y, const Picture* picture, int screen, Color8 color,
                           float angle);
void Draw2D_PictureSized(float x, float y, float width, float height, const Picture* picture,
                         int screen, Color8 color);
void Draw2D_PictureAt(float x, float y, const Picture* picture, int screen, Color8 color);
void Draw2D_PictureClipped(float x, float y, float width, float height, const Picture* picture,
                           int screen, Color8 color, int32_t clipX, int32_t clipY, int32_t clipWidth,
                           int32_t clipHeight);
// A textured, coloured quad with corners already in 2D view space, in strip order; colours 0..1.
void Draw2D_Quad(const float positions[4][3], const float texCoords[4][2], const float colors[4][4],
                 uint32_t material, int wrap);

// Observer of every Draw2D_Quad (tests read what the text code draws through it).
extern void (*Draw2D_QuadObserver)(const float positions[4][3], const float texCoords[4][2],
                                   const float colors[4][4], uint32_t material, int wrap);

// A colour channel 0..1 as a byte (outside values clamped).
uint8_t Draw2D_ColorByte(float c);
