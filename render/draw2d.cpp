#include "render/draw2d.h"

#include <cmath>

#include "foundation/timer.h"
#include "foundation/video.h"
#include "render/material.h"
#include "render/render.h"

void (*Draw2D_QuadObserver)(const float positions[4][3], const float texCoords[4][2],
                            const float colors[4][4], uint32_t material, int wrap);

int Draw2D_LoadPicture(const char* name, Picture* out) {
  out->width = 0;
  out->height = 0;
  int material = Material_FindByName(name);
  if (material == 0) material = Material_LoadPicture(name);
  out->material = material;
  if (material == 0) return 0;
  out->width = Material_GetWidth(material, 0.0);
  out->height = Material_GetHeight(material, 0.0);
  return out->height;
}

uint8_t Draw2D_ColorByte(float c) {
  float v = c * 255.0f;
  if (!(v > 0)) return 0;  // NaN too
  if (v >= 255) return 255;
  return static_cast<uint8_t>(v);
}

static void ScreenSize(int screen, float* w, float* h) {
  if (screen) {
    *w = kScreen2DWidth;
    *h = kScreen2DHeight;
  } else {
    *w = static_cast<float>(Video_ScreenWidth);
    *h = static_cast<float>(Video_ScreenHeight);
  }
}

static ImmVertex Vertex(float px, float py, float sw, float sh, Color8 c, float u, float v) {
  ImmVertex out{};
  out.x = px + 0.6f - sw / 2;
  out.y = sw / 2;
  out.z = sh / 2 + 0.6f - py;
  out.r = c.r;
  out.g = c.g;
  out.b = c.b;
  out.a = c.a;
  out.u = u;
  out.v = v;
  return out;
}

static int Drawable(const Picture* p) { return p && p->width != 0 && p->height != 0; }

// Corners bottom-left, bottom-right, top-right, top-left in screen pixels, with their texture
// coordinates; binds, clamps, draws two triangles and restores repeat.
static void DrawCorners(const Picture* picture, int screen, Color8 color, const float px[4],
                        const float py[4], const float u[4], const float v[4]) {
  Material_Bind(0, picture->material, static_cast<float>(Timer_FrameTime), 1);
  Render_SetTexWrap(0, 0);
  float sw, sh;
  ScreenSize(screen, &sw, &sh);
  ImmVertex c[4];
  for (int i = 0; i < 4; i++) c[i] = Vertex(px[i], py[i], sw, sh, color, u[i], v[i]);
  Render_DrawTriangle(&c[0], &c[1], &c[2]);
  Render_DrawTriangle(&c[2], &c[3], &c[0]);
  Render_SetTexWrap(0, 1);
}

void Draw2D_Picture(float x, float y, float w, float h, const Picture* picture, int screen,
                    Color8 color, float angle) {
  if (!Drawable(picture)) return;
  // The drawn size is w x h as given: a negative side mirrors the picture.
  float su = 0, sv = 0;
  Material_GetTexScale(picture->material, 0.0, &su, &sv);
  const float c = std::cos(angle), s = std::sin(angle);
  const float cx = x + w / 2, cy = y + h / 2;
  // Offsets of bottom-left, bottom-right, top-right, top-left from the centre (y downwards).
  const float dx[4] = {-w / 2, w / 2, w / 2, -w / 2};
  const float dy[4] = {h / 2, h / 2, -h / 2, -h / 2};
  float px[4], py[4];
  for (int i = 0; i < 4; i++) {
    px[i] = cx + dx[i] * c + dy[i] * s;
    py[i] = cy + dy[i] * c - dx[i] * s;
  }
  const float u[4] = {0, su, su, 0}, v[4] = {0, 0, sv, sv};
  DrawCorners(picture, screen, color, px, py, u, v);
}

void Draw2D_PictureRotated(float x, float y, const Picture* picture, int screen, Color8 color,
                           float angle) {
  if (!Drawable(picture)) return;
  Draw2D_Picture(x, y, static_cast<float>(picture->width), static_cast<float>(picture->height),
                 picture, screen, color, angle);
}

void Draw2D_PictureSized(float x, float y, float w, float h, const Picture* picture, int screen,
                         Color8 color) {
  Draw2D_Picture(x, y, w, h, picture, screen, color, 0.0f);
}

void Draw2D_PictureAt(float x, float y, const Picture* picture, int screen, Color8 color) {
  Draw2D_PictureRotated(x, y, picture, screen, color, 0.0f);
}

void Draw2D_PictureClipped(float x, float y, float w, float h, const Picture* picture, int screen,
                           Color8 color, int32_t kx, int32_t ky, int32_t kw, int32_t kh) {
  if (!Drawable(picture)) return;
  if (!(w > 0) || !(h > 0)) return;
  const float clipRight = static_cast<float>(static_cast<int64_t>(kx) + kw);
  const float clipBottom = static_cast<float>(static_cast<int64_t>(ky) + kh);
  const float left = std::fmax(x, static_cast<float>(kx));
  const float top = std::fmax(y, static_cast<float>(ky));
  const float right = std::fmin(x + w, clipRight);
  const float bottom = std::fmin(y + h, clipBottom);
  if (right < left || bottom < top) return;
  float su = 0, sv = 0;
  Material_GetTexScale(picture->material, 0.0, &su, &sv);
  const float u0 = su * (left - x) / w, u1 = su * (1 - (x + w - right) / w);
  const float v0 = sv * ((y + h) - bottom) / h, v1 = sv * (1 - (top - y) / h);
  const float px[4] = {left, right, right, left}, py[4] = {bottom, bottom, top, top};
  const float u[4] = {u0, u1, u1, u0}, v[4] = {v0, v0, v1, v1};
  DrawCorners(picture, screen, color, px, py, u, v);
}

void Draw2D_Quad(const float positions[4][3], const float texCoords[4][2], const float colors[4][4],
                 uint32_t material, int wrap) {
  if (Draw2D_QuadObserver) Draw2D_QuadObserver(positions, texCoords, colors, material, wrap);
  Material_Bind(0, static_cast<int>(material), 0.0, 1);
  Render_SetBlend(5);
  Render_SetTexWrap(0, wrap);
  ImmVertex c[4];
  for (int i = 0; i < 4; i++) {
    c[i] = ImmVertex{};
    c[i].x = positions[i][0];
    c[i].y = positions[i][1];
    c[i].z = positions[i][2];
    c[i].r = Draw2D_ColorByte(colors[i][0]);
    c[i].g = Draw2D_ColorByte(colors[i][1]);
    c[i].b = Draw2D_ColorByte(colors[i][2]);
    c[i].a = Draw2D_ColorByte(colors[i][3]);
    c[i].u = texCoords[i][0];
    c[i].v = texCoords[i][1];
  }
  Render_DrawTriangle(&c[0], &c[1], &c[2]);
  Render_DrawTriangle(&c[3], &c[2], &c[1]);
}
