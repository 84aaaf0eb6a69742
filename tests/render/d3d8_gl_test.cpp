// The Direct3D 8 back end on its device layer, under a real display: the same scene drawn through
// the OpenGL back end and through the Direct3D 8 back end must give the same picture; start-up
// failures, device loss, viewports, read-back and texture files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/sys.h"
#include "foundation/var.h"
#include "foundation/video.h"
#include "platform/d3d8dev.h"
#include "platform/gl_context_sdl.h"
#include "platform/gl_dispatch.h"
#include "platform/window.h"
#include "render/image.h"
#include "render/material.h"
#include "render/render.h"
#include "render/draw2d.h"
#include "render/font.h"
#include "render/render_d3d8.h"
#include "render/text.h"
#include "scene/view.h"
#include "render/texture.h"
#include "support/test_support.h"
#include "tools/image_writer.h"

namespace {

bool g_window;

struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> bgra;
};

bool StartApi(const char* api) {
  Var_SetText(&render_api, api);
  Render_Start();
  if (RenderApi == RENDER_API_NONE) return false;
  Render_SetScreenSize(Plat_WindowWidth(), Plat_WindowHeight());
  Tex_FreeAll();
  return true;
}

void StopApi() {
  Tex_FreeAll();
  Render_Stop();
}

ImmVertex V(float x, float y, float z, uint32_t rgba, float u, float v) {
  ImmVertex r{};
  r.x = x;
  r.y = y;
  r.z = z;
  r.r = uint8_t(rgba >> 24);
  r.g = uint8_t(rgba >> 16);
  r.b = uint8_t(rgba >> 8);
  r.a = uint8_t(rgba);
  r.u = u;
  r.v = v;
  return r;
}

// A quad facing the camera at distance `depth` (world y), x from x0 to x1, z from z0 to z1, with
// texture coordinates (0, 0) to (uMax, vMax), drawn a little inside so that the pixels of an edge,
// which the back ends may cover differently (their pixel centres are half a pixel apart), do not
// sample the texel beyond the edge.
void Quad(float x0, float z0, float x1, float z1, float depth, uint32_t rgba, float uMax = 1, float vMax = 1) {
  const float e = 0.02f;
  ImmVertex a = V(x0, depth, z0, rgba, e, e), b = V(x1, depth, z0, rgba, uMax - e, e);
  ImmVertex c = V(x1, depth, z1, rgba, uMax - e, vMax - e), d = V(x0, depth, z1, rgba, e, vMax - e);
  Render_DrawTriangle(&a, &b, &c);
  Render_DrawTriangle(&a, &c, &d);
}

// One cell of the 8 x 5 grid over the screen at depth 10 (the view is 20 x 15 units there).
void Cell(int col, int row, float* x0, float* z0, float* x1, float* z1) {
  *x0 = -10.0f + 2.5f * float(col) + 0.2f;
  *x1 = *x0 + 2.1f;
  *z1 = 7.5f - 3.0f * float(row) - 0.2f;
  *z0 = *z1 - 2.6f;
}

// A picture whose neighbouring texels differ little (so that sampling half a pixel away, as one of
// the back ends does, changes a filtered or minified picture only a little).
std::vector<uint8_t> Smooth(int w, int h) {
  std::vector<uint8_t> px(size_t(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &px[(size_t(y) * w + x) * 4];
      p[0] = uint8_t(128 + 100 * std::sin(x / 8.0));
      p[1] = uint8_t(128 + 100 * std::cos(y / 10.0));
      p[2] = uint8_t((x + y) * 255 / (w + h));
      p[3] = 255;
    }
  return px;
}

void WriteTextureFiles() {
  ToolImage pattern = ImageTool_Pattern(32, 32, 7, false);
  ImageTool_Save("both.tga", ImageTool_WriteTGA(pattern, 32));
  ImageTool_Save("both.dds", ImageTool_MakeDDS(ImageTool_Pattern(32, 32, 9, false), kImgDXT1, 0));
  ImageTool_Save("tgaonly.tga", ImageTool_WriteTGA(ImageTool_Pattern(16, 16, 11, true), 32));
  ImageTool_Save("bmponly.bmp", ImageTool_WriteBMP(ImageTool_Pattern(64, 32, 13, false)));
  ToolImage smooth;
  smooth.width = smooth.height = 64;
  smooth.bgra = Smooth(64, 64);
  ImageTool_Save("mipped.dds", ImageTool_MakeDDS(smooth, kImgDXT5, 7));
}

// The scene, through the render operations only.
Picture DrawScene() {
  int w = Render_ScreenWidth, h = Render_ScreenHeight;
  Render_BeginFrame(0, 0, w, h);
  Render_Clear(1, 0.2f, 0.3f, 0.4f);
  RenderFogWanted = 0;

  ToolImage alphaPic = ImageTool_Pattern(8, 8, 3, true);
  int alphaMat = Material_CreateFromPixels("alpha8", 8, 8, 32, alphaPic.bgra.data(), 1, 0, 0);
  std::vector<uint8_t> big = Smooth(64, 64);
  int bigMat = Material_CreateFromPixels("big64", 64, 64, 32, big.data(), 0, 0, 0);
  std::vector<uint8_t> grey(16 * 16);
  for (size_t i = 0; i < grey.size(); ++i) grey[i] = uint8_t(i * 7);
  int greyMat = Material_CreateFromPixels("grey16", 16, 16, 8, grey.data(), 0, 0, 0);
  std::vector<uint8_t> bgr(4 * 4 * 3);
  for (size_t i = 0; i < bgr.size(); ++i) bgr[i] = uint8_t(i * 23);
  int bgrMat = Material_CreateFromPixels("bgr4", 4, 4, 24, bgr.data(), 0, 0, 0);
  int both = Material_Load("both");
  int tgaOnly = Material_LoadPicture("tgaonly");
  int bmpOnly = Material_Load("bmponly");
  int mipped = Material_Load("mipped");

  float x0, z0, x1, z1;
  // Row 0: every blend mode over a white-to-black vertex-coloured backing.
  for (int mode = 0; mode < 8; ++mode) {
    Cell(mode, 0, &x0, &z0, &x1, &z1);
    Tex_Bind(0, 0, 0);
    Render_SetBlend(0);
    // The backing reaches well beyond the quad in front of it.
    Quad(x0 - 0.3f, z0 - 0.3f, x1 + 0.3f, z1 + 0.3f, 10.5f, 0x806040FF);
    Material_Bind(0, alphaMat, 0, 0);
    Render_SetBlend(mode);
    Quad(x0, z0, x1, z1, 10.0f, mode == 3 ? 0xFFFFFFFF : 0xC0E0FFC0);
  }
  // Row 1: filter kinds 0, 1, 2 on a magnified and a minified texture; wrap and clamp.
  Render_SetBlend(0);
  for (int kind = 0; kind < 3; ++kind) {
    Cell(kind, 1, &x0, &z0, &x1, &z1);
    Material_Bind(0, alphaMat, 0, kind);
    Render_SetBlend(5);
    Quad(x0, z0, x1, z1, 10.0f, 0xFFFFFFFF);
    Cell(kind + 3, 1, &x0, &z0, &x1, &z1);
    Material_Bind(0, bigMat, 0, kind);
    Render_SetBlend(0);
    Quad(x0, z0, x0 + 0.6f, z0 + 0.6f, 10.0f, 0xFFFFFFFF);
    Quad(x0 + 0.8f, z0, x1, z1, 10.0f, 0xFFFFFFFF);
  }
  Cell(6, 1, &x0, &z0, &x1, &z1);
  Material_Bind(0, greyMat, 0, 0);
  Render_SetTexWrap(0, 1);
  Quad(x0, z0, x1, z1, 10.0f, 0xFF8080FF, 2.0f, 2.0f);
  Cell(7, 1, &x0, &z0, &x1, &z1);
  Material_Bind(0, bgrMat, 0, 0);
  Render_SetTexWrap(0, 0);
  Quad(x0, z0, x1, z1, 10.0f, 0xFFFFFFFF, 1.5f, 1.5f);
  Render_SetTexWrap(0, 1);

  // Row 2: textures from files: DDS over TGA, TGA alone, BMP, a DDS with its mipmaps minified.
  int files[4] = {both, tgaOnly, bmpOnly, mipped};
  for (int i = 0; i < 4; ++i) {
    Cell(i, 2, &x0, &z0, &x1, &z1);
    Material_Bind(0, files[i], 0, i == 3 ? 2 : 0);
    Render_SetBlend(0);
    if (i == 3) Quad(x0, z0, x0 + 1.0f, z0 + 1.0f, 10.0f, 0xFFFFFFFF);
    else Quad(x0, z0, x1, z1, 10.0f, 0xFFFFFFFF);
  }
  // Untextured: vertex colours, depth test, points and lines.
  Tex_Bind(0, 0, 0);
  Cell(4, 2, &x0, &z0, &x1, &z1);
  ImmVertex a = V(x0, 10, z0, 0xFF0000FF, 0, 0), b = V(x1, 10, z0, 0x00FF00FF, 0, 0), c = V(x0, 10, z1, 0x0000FFFF, 0, 0);
  Render_DrawTriangle(&a, &b, &c);
  Cell(5, 2, &x0, &z0, &x1, &z1);
  Quad(x0, z0, x1, z1, 9.0f, 0x20C020FF);
  Quad(x0 + 0.5f, z0 + 0.5f, x1 + 0.5f, z1 + 0.5f, 12.0f, 0xC02020FF);  // behind: hidden where they overlap
  Cell(6, 2, &x0, &z0, &x1, &z1);
  ImmVertex l0 = V(x0, 10, z0, 0xFFFF00FF, 0, 0), l1 = V(x1, 10, z1, 0xFFFF00FF, 0, 0);
  Render_DrawLine(&l0, &l1);
  Render_SetPointSize(3.0f);
  ImmVertex p = V(0.5f * (x0 + x1), 10, z1, 0x00FFFFFF, 0, 0);
  Render_DrawPoint(&p);
  // Culling: of two quads with opposite winding only one stays with each cull mode.
  Cell(7, 2, &x0, &z0, &x1, &z1);
  Render_SetCull(2);
  Quad(x0, z0, 0.5f * (x0 + x1), z1, 10.0f, 0xFF00FFFF);
  Quad(x1, z0, 0.5f * (x0 + x1), z1, 10.0f, 0x00FFFFFF);
  Render_SetCull(0);

  // Row 3: fog over depth, on textured and untextured quads.
  RenderFogWanted = 1;
  static const float kFog[4] = {0.9f, 0.5f, 0.1f, 1.0f};
  Render_SetFog(5.0f, 60.0f, kFog);
  Render_SetBlend(-1);
  Render_SetBlend(0);
  for (int i = 0; i < 8; ++i) {
    Cell(i, 3, &x0, &z0, &x1, &z1);
    float depth = 8.0f + 7.0f * float(i);
    float s = depth / 10.0f;
    if (i % 2) Material_Bind(0, bigMat, 0, 1);
    else Tex_Bind(0, 0, 0);
    Quad(x0 * s, z0 * s, x1 * s, z1 * s, depth, 0xE0E0E0FF);
  }
  RenderFogWanted = 0;
  Render_SetFogEnable(0);

  // Row 4: lit geometry (material colours) and the texel offset of the 2D layer.
  Tex_Bind(0, 0, 0);
  Render_SetLighting(1);
  Render_EnableLight(0, 1);
  Cell(0, 4, &x0, &z0, &x1, &z1);
  Quad(x0, z0, x1, z1, 10.0f, 0xFFFFFFFF);
  Render_SetLighting(0);
  Render_EnableLight(0, 0);
  // Colour mask: only red and alpha written.
  Cell(1, 4, &x0, &z0, &x1, &z1);
  Render_SetColorMask(1, 0, 0, 1);
  Quad(x0, z0, x1, z1, 10.0f, 0xFFFFFFFF);
  Render_SetColorMask(1, 1, 1, 1);
  // Wireframe.
  Cell(2, 4, &x0, &z0, &x1, &z1);
  Render_SetPolygonMode(1);
  Quad(x0, z0, x1, z1, 10.0f, 0xFFFF00FF);
  Render_SetPolygonMode(2);
  // Depth compare "always": the far quad covers the near one; "equal" draws nothing new.
  Cell(3, 4, &x0, &z0, &x1, &z1);
  Quad(x0, z0, x1, z1, 9.0f, 0x2020E0FF);
  Render_SetDepthFunc(2);
  Quad(x0 * 1.2f, z0 * 1.2f, (x0 + 1.0f) * 1.2f, z1 * 1.2f, 12.0f, 0xE0E020FF);
  Render_SetDepthFunc(3);
  Quad(x0 * 1.5f, z0 * 1.5f, x1 * 1.5f, z1 * 1.5f, 15.0f, 0xFF0000FF);
  Render_SetDepthFunc(1);
  // Depth writes off: a later quad behind still shows.
  Cell(4, 4, &x0, &z0, &x1, &z1);
  Render_SetDepthWrite(0);
  Quad(x0, z0, x1, z1, 9.0f, 0x808080FF);
  Render_SetDepthWrite(1);
  Quad(x0 * 1.2f, z0 * 1.2f, (x0 + 1.0f) * 1.2f, z1 * 1.2f, 12.0f, 0x20E020FF);
  // Depth test off: a far quad over a near one.
  Cell(5, 4, &x0, &z0, &x1, &z1);
  Quad(x0, z0, x1, z1, 9.0f, 0x808080FF);
  Render_SetDepthTest(0);
  Quad(x0 * 1.2f, z0 * 1.2f, (x0 + 1.0f) * 1.2f, z1 * 1.2f, 12.0f, 0xE020E0FF);
  Render_SetDepthTest(1);
  // Matrices: a pushed, translated, rotated and scaled quad, then the matrix popped.
  Cell(6, 4, &x0, &z0, &x1, &z1);
  Render_PushMatrix();
  Render_Translate(0.5f * (x0 + x1), 10.0f, 0.5f * (z0 + z1));
  Render_Rotate(30.0f, 0, 1, 0);
  Render_Scale(0.8f, 1.0f, 0.5f);
  static const float kRot[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  static const float kMove[3] = {0.2f, 0, 0};
  Render_MultMatrix(kRot, kMove);
  Quad(-1, -1, 1, 1, 0.0f, 0xE08020FF);
  Render_PopMatrix();
  // A directional light from above (the quads' normal is the default, straight up): lit on both.
  Cell(7, 4, &x0, &z0, &x1, &z1);
  static const float kFromAbove[4] = {0, 0, 1, 0};
  static const float kDim[4] = {0.1f, 0.1f, 0.1f, 1}, kOrange[4] = {0.9f, 0.5f, 0.1f, 1}, kNone[4] = {0, 0, 0, 1};
  Render_SetLight(1, kFromAbove, kDim, kOrange, kNone);
  Render_SetLighting(1);
  Render_EnableLight(1, 1);
  Quad(x0, z0, x1, z1, 10.0f, 0xFFFFFFFF);
  Render_EnableLight(1, 0);
  Render_SetLighting(0);

  Picture pic;
  pic.width = w;
  pic.height = h;
  pic.bgra.assign(size_t(w) * size_t(h) * 4, 0);
  Render_ReadPixels(0, 0, w, h, pic.bgra.data());
  Render_EndFrame(1, 1);
  return pic;
}

// The 2D layer: pictures at their pixel size and stretched, on the fixed 640 x 480 screen and the
// display's own, the bitmap-font page and TrueType text.
Picture Draw2DScene() {
  int w = Render_ScreenWidth, h = Render_ScreenHeight;
  Render_BeginFrame(0, 0, w, h);
  Render_Clear(1, 0.1f, 0.1f, 0.1f);
  Video_ScreenWidth = w;
  Video_ScreenHeight = h;
  View_ResetRenderState();
  ::Picture pic{}, pic2{};
  Draw2D_LoadPicture("panel", &pic);
  Draw2D_LoadPicture("icon", &pic2);
  Color8 white{255, 255, 255, 255}, tint{255, 128, 64, 200};
  Draw2D_PictureAt(10, 10, &pic, 0, white);
  Draw2D_PictureAt(200, 10, &pic2, 0, white);
  Draw2D_PictureSized(300, 10, 150, 90, &pic, 0, tint);
  Draw2D_PictureAt(20, 150, &pic, 1, white);
  Draw2D_PictureClipped(480, 10, 100, 100, &pic, 0, white, 490, 20, 60, 50);
  Video_BuildBitmapCells();
  Print_BitmapPage = uint32_t(Material_LoadPicture("sprites\\win866"));
  Print_BitmapString(20, 300, "BITMAP 0123");
  if (Font_Glyphs['A'].glyph != 0) {
    Print_SetBackgroundColor(0, 0, 0, 0);
    Print_SetColor(1, 1, 0.5f, 1);
    Print_SetSize(24);
    Print_TextBox(20, 400, 780, 470, "Text through both back ends");
  }
  Picture out;
  out.width = w;
  out.height = h;
  out.bgra.assign(size_t(w) * size_t(h) * 4, 0);
  Render_ReadPixels(0, 0, w, h, out.bgra.data());
  Render_EndFrame(1, 1);
  return out;
}

void Write2DFiles() {
  ToolImage panel, icon;
  panel.width = 100;
  panel.height = 60;
  panel.bgra = Smooth(100, 60);
  for (size_t i = 3; i < panel.bgra.size(); i += 4) panel.bgra[i] = uint8_t(128 + (i / 4) % 100);
  icon.width = icon.height = 32;
  icon.bgra = Smooth(32, 32);
  ImageTool_Save("panel.tga", ImageTool_WriteTGA(panel, 32));
  ImageTool_Save("icon.tga", ImageTool_WriteTGA(icon, 24));
  // The bitmap-font page: 16 x 16 cells of 16 pixels, each a different block.
  ToolImage page = ImageTool_Solid(256, 256, 0, 0, 0, 0);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      uint8_t* p = page.At(x, y);
      bool ink = ((x % 16) > 2 && (x % 16) < 12 && (y % 16) > 3 && (y % 16) < 13 && ((x / 16 + y / 16 + x % 3) % 2));
      p[0] = p[1] = p[2] = 255;
      p[3] = ink ? 255 : 0;
    }
  ::mkdir("sprites", 0755);
  // As a DDS file: its rows keep their order on both back ends.
  ImageTool_Save("sprites/win866.dds", ImageTool_MakeDDS(page, kImgDXT3, 0));
}

// Pictures agree when every pixel of the Direct3D 8 picture `b` lies, channel by channel and within
// `tol`, inside the range of the OpenGL picture's pixels at the same place and one pixel around it.
// The back ends put pixel centres half a pixel apart (the Direct3D convention), so an edge may move
// by one pixel and a filtered texture is sampled half a pixel away: between the OpenGL picture's
// neighbouring values. Returns the number of pixels that do not agree; `meanDiff` gets the mean
// same-place difference per channel.
int Disagreements(const Picture& a, const Picture& b, int tol, std::string* where, double* meanDiff = nullptr) {
  if (a.width != b.width || a.height != b.height) return -1;
  int bad = 0;
  auto inside = [&](const Picture& p, const Picture& q, int x, int y) {
    const uint8_t* c = &p.bgra[(size_t(y) * p.width + x) * 4];
    for (int ch = 0; ch < 3; ++ch) {
      int lo = 255, hi = 0;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          int qx = x + dx, qy = y + dy;
          if (qx < 0 || qy < 0 || qx >= q.width || qy >= q.height) continue;
          int v = q.bgra[(size_t(qy) * q.width + qx) * 4 + ch];
          lo = v < lo ? v : lo;
          hi = v > hi ? v : hi;
        }
      if (c[ch] < lo - tol || c[ch] > hi + tol) return false;
    }
    return true;
  };
  double sum = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      const uint8_t* c = &a.bgra[(size_t(y) * a.width + x) * 4];
      const uint8_t* d = &b.bgra[(size_t(y) * b.width + x) * 4];
      sum += std::abs(c[0] - d[0]) + std::abs(c[1] - d[1]) + std::abs(c[2] - d[2]);
      if (inside(b, a, x, y)) continue;
      if (bad++ < 5 && where) {
        char line[160];
        std::snprintf(line, sizeof line, "(%d,%d) gl %d,%d,%d d3d8 %d,%d,%d\n", x, y, c[2], c[1], c[0], d[2], d[1], d[0]);
        *where += line;
      }
    }
  if (meanDiff) *meanDiff = sum / (3.0 * a.width * a.height);
  return bad;
}

// Same-place difference (no neighbour allowance) at one pixel.
const uint8_t* At(const Picture& p, int x, int y) { return &p.bgra[(size_t(y) * p.width + x) * 4]; }

void SavePpm(const Picture& p, const char* path) {
  FILE* f = std::fopen(path, "wb");
  if (!f) return;
  std::fprintf(f, "P6 %d %d 255\n", p.width, p.height);
  for (int y = p.height - 1; y >= 0; --y)
    for (int x = 0; x < p.width; ++x) {
      const uint8_t* c = At(p, x, y);
      uint8_t rgb[3] = {c[2], c[1], c[0]};
      std::fwrite(rgb, 1, 3, f);
    }
  std::fclose(f);
}

class D3d8Gl : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!tw_test::HaveDisplay()) return;
    setenv("TW_UNATTENDED", "1", 1);
    g_window = Plat_WindowCreate("d3d8 test") != 0;
  }
  static void TearDownTestSuite() {
    if (RenderApi) StopApi();
    Var_SetText(&render_api, "OPENGL");
    if (g_window) Plat_WindowDestroy();
  }
  void SetUp() override {
    if (!g_window) GTEST_SKIP() << "no display";
    saved_ = Sys_Debug;
    Sys_Debug.openLog = 1;
    Log_Open();
  }
  void TearDown() override {
    if (!g_window) return;
    if (RenderApi) StopApi();
    Plat_GlRestoreDefaults();
    Dev_RestorePlatformDefaults();
    Var_SetText(&render_api, "OPENGL");
    Log_Close();
    Sys_Debug = saved_;
  }
  std::string Log() { return tw_test::ReadFile("log"); }
  tw_test::TempDir dir_;
  DebugSwitches saved_{};
};

TEST_F(D3d8Gl, SceneMatchesOpenGl) {
  WriteTextureFiles();
  ASSERT_TRUE(StartApi("OPENGL"));
  Picture glPic = DrawScene();
  StopApi();
  Material_ResetTable();
  ASSERT_TRUE(StartApi("D3D8")) << Log();
  EXPECT_EQ(RenderApi, RENDER_API_D3D8);
  Picture dPic = DrawScene();
  StopApi();
  std::string where;
  double mean = 0;
  int bad = Disagreements(glPic, dPic, 8, &where, &mean);
  if (std::getenv("TW_D3D8_DUMP")) {
    SavePpm(glPic, "/tmp/d3d8_gl.ppm");
    SavePpm(dPic, "/tmp/d3d8_d3d.ppm");
  }
  EXPECT_EQ(bad, 0) << where;
  EXPECT_LT(mean, 3.0);
  // The scene is not empty: the clear colour is not everywhere.
  int clearPixels = 0;
  for (int y = 0; y < dPic.height; ++y)
    for (int x = 0; x < dPic.width; ++x) {
      const uint8_t* c = At(dPic, x, y);
      if (std::abs(c[2] - 51) <= 1 && std::abs(c[1] - 76) <= 1 && std::abs(c[0] - 102) <= 1) ++clearPixels;
    }
  EXPECT_LT(clearPixels, dPic.width * dPic.height * 3 / 4);
  EXPECT_GT(clearPixels, dPic.width * dPic.height / 10);
}

TEST_F(D3d8Gl, PicturesAndTextMatchOpenGl) {
  Write2DFiles();
  Font_Init();
  bool haveFont = Font_Glyphs['A'].glyph != 0;
  if (!haveFont) std::fprintf(stderr, "no TrueType font: pictures only\n");
  Picture pics[2];
  const char* apis[2] = {"OPENGL", "D3D8"};
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(StartApi(apis[i])) << Log();
    Font_InvalidateGlyphs();
    pics[i] = Draw2DScene();
    StopApi();
    Material_ResetTable();
  }
  Font_Shutdown();
  // Text: glyph edges move with the half-pixel difference of the back ends, so the text band is
  // compared by its ink (amount and centre); the rest pixel by pixel.
  // The band: everything below the bitmap string (which sits 300 pixels from the top).
  int h = pics[0].height, bandTop = 0, bandBottom = h - 1 - 350;
  double ink[2] = {0, 0}, cx[2] = {0, 0}, cy[2] = {0, 0};
  for (int i = 0; i < 2; ++i) {
    // The clear colour rounds differently on the two back ends: ink is measured from each one's.
    const uint8_t bg[3] = {pics[i].bgra[0], pics[i].bgra[1], pics[i].bgra[2]};
    for (int y = bandTop; y <= bandBottom; ++y)
      for (int x = 0; x < pics[i].width; ++x) {
        uint8_t* p = &pics[i].bgra[(size_t(y) * pics[i].width + x) * 4];
        double v = std::abs(p[2] - bg[2]) + std::abs(p[1] - bg[1]) + std::abs(p[0] - bg[0]);
        ink[i] += v;
        cx[i] += v * x;
        cy[i] += v * y;
        if (!std::getenv("TW_D3D8_DUMP")) std::memset(p, 0, 3);  // out of the pixel comparison
      }
  }
  if (haveFont) {
    ASSERT_GT(ink[0], 0.0);
    EXPECT_NEAR(ink[1] / ink[0], 1.0, 0.1);
    EXPECT_NEAR(cx[1] / ink[1], cx[0] / ink[0], 1.5);
    EXPECT_NEAR(cy[1] / ink[1], cy[0] / ink[0], 1.5);
  }
  std::string where;
  double mean = 0;
  int bad = Disagreements(pics[0], pics[1], 8, &where, &mean);
  if (std::getenv("TW_D3D8_DUMP")) {
    SavePpm(pics[0], "/tmp/d3d8_gl.ppm");
    SavePpm(pics[1], "/tmp/d3d8_d3d.ppm");
  }
  EXPECT_EQ(bad, 0) << where;
  EXPECT_LT(mean, 2.0);
  int lit = 0;
  for (size_t k = 0; k < pics[1].bgra.size(); k += 4) lit += pics[1].bgra[k + 1] > 40;
  EXPECT_GT(lit, 20000);  // the pictures are there
}

TEST_F(D3d8Gl, StartsOnTheGameWindowAndStops) {
  ASSERT_TRUE(StartApi("d3d8"));
  EXPECT_NE(Log().find("D3D8: OK\n"), std::string::npos);
  EXPECT_EQ(Dev_BackBufferWidth(), Plat_WindowWidth());
  uint32_t old = Render_CreateVertexBuffer(64, 1);
  ASSERT_NE(old, 0u);
  StopApi();
  EXPECT_EQ(RenderApi, RENDER_API_NONE);
  EXPECT_EQ(gl.glClear, nullptr);
  EXPECT_EQ(Dev_HaveDevice(), 0);
  // It starts again after a stop; a handle of the old device names nothing on the new one.
  ASSERT_TRUE(StartApi("D3D8"));
  uint32_t fresh = Render_CreateVertexBuffer(64, 1);
  EXPECT_NE(fresh, old);
  EXPECT_FALSE(Dev_IsObject(old));
  Render_ReleaseBuffer(old);
  EXPECT_TRUE(Dev_IsObject(fresh));
}

namespace fail {
int LoadLibrary() { return -1; }
void* NoProc(const char*) { return nullptr; }
int NoVideo() { return 0; }
int NoMode(DevDisplayMode*) { return -1; }
void* NoContext() { return nullptr; }
}  // namespace fail

TEST_F(D3d8Gl, EachFailedStartStepLogsItsLineAndLeavesNoBackEnd) {
  struct Step {
    const char* line;
    void (*break_)();
  };
  const Step steps[] = {
      {"D3D8: Unable found D3D8.DLL\n", [] { Plat_Gl.loadLibrary = fail::LoadLibrary; }},
      {"D3D8: Unable found Direct3DCreate8\n", [] { Plat_Gl.getProcAddress = fail::NoProc; }},
      {"D3D8: Unable Direct3DCreate8\n", [] { Dev_Platform.haveVideo = fail::NoVideo; }},
      {"D3D8: Unable GetAdapterDisplayMode\n", [] { Dev_Platform.displayMode = fail::NoMode; }},
      {"D3D8: Unable CreateDevice\n", [] { Plat_Gl.createContext = fail::NoContext; }},
  };
  for (const Step& s : steps) {
    Plat_GlRestoreDefaults();
    Dev_RestorePlatformDefaults();
    s.break_();
    Var_SetText(&render_api, "D3D8");
    Render_Start();
    EXPECT_EQ(RenderApi, RENDER_API_NONE) << s.line;
    EXPECT_EQ(gl.glClear, nullptr) << s.line;
    EXPECT_EQ(Dev_HaveDevice(), 0);
    EXPECT_NE(Log().find(s.line), std::string::npos) << s.line;
    // The game runs on: every operation does nothing.
    Render_BeginFrame(0, 0, 100, 100);
    Render_Clear(1, 1, 1, 1);
    ImmVertex v = V(0, 10, 0, 0xFFFFFFFF, 0, 0);
    Render_DrawTriangle(&v, &v, &v);
    EXPECT_EQ(Render_CreateVertexBuffer(64, 0), 0u);
    Render_EndFrame(1, 1);
  }
  EXPECT_EQ(Log().find("D3D8: OK"), std::string::npos);
  Plat_GlRestoreDefaults();
  Dev_RestorePlatformDefaults();
  ASSERT_TRUE(StartApi("D3D8"));
}

TEST_F(D3d8Gl, ViewportOriginIsConvertedBothWays) {
  ASSERT_TRUE(StartApi("D3D8"));
  Render_SetScreenSize(800, 600);
  if (Dev_BackBufferWidth() != 800 || Dev_BackBufferHeight() != 600) GTEST_SKIP() << "display not 800 x 600";
  DevViewport v{};
  D3D8_SetViewport(0, 0, 800, 600);
  Dev_GetViewport(&v);
  EXPECT_EQ(v.x, 0);
  EXPECT_EQ(v.y, 0);
  D3D8_SetViewport(0, 0, 400, 300);
  Dev_GetViewport(&v);
  EXPECT_EQ(v.y, 300);
  EXPECT_EQ(v.height, 300);
  int x, y, w, h;
  Render_SetViewport(10, 20, 300, 200);
  Render_GetViewport(&x, &y, &w, &h);
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 20);  // the callers' bottom-left origin again
  EXPECT_EQ(w, 300);
  EXPECT_EQ(h, 200);
  Dev_GetViewport(&v);
  EXPECT_EQ(v.y, 600 - 20 - 200);
}

TEST_F(D3d8Gl, ReadPixelsFillsOnlyTheAskedRectangle) {
  ASSERT_TRUE(StartApi("D3D8"));
  int w = Render_ScreenWidth, h = Render_ScreenHeight;
  Render_BeginFrame(0, 0, w, h);
  Render_Clear(1, 0, 0, 0);
  // A red square over the lower-left 100 x 50 pixels through a viewport of that size.
  Render_SetViewport(0, 0, 100, 50);
  Render_Clear(1, 1.0f, 0.0f, 0.0f);
  Render_SetViewport(0, 0, w, h);
  std::vector<uint8_t> small(10 * 10 * 4 + 64, 0xAB);
  Render_ReadPixels(95, 45, 10, 10, small.data());
  for (size_t i = 10 * 10 * 4; i < small.size(); ++i) ASSERT_EQ(small[i], 0xAB) << "written past the rectangle";
  // Row 0 of the rectangle is y 45: red for x < 100, black beyond; rows from y 50 are black.
  auto px = [&](int cx, int cy) { return &small[(size_t(cy) * 10 + cx) * 4]; };
  EXPECT_EQ(px(0, 0)[2], 255);
  EXPECT_EQ(px(0, 0)[1], 0);
  EXPECT_EQ(px(4, 4)[2], 255);
  EXPECT_EQ(px(5, 0)[2], 0);
  EXPECT_EQ(px(0, 5)[2], 0);
  Render_EndFrame(1, 1);
}

TEST_F(D3d8Gl, LostDeviceIsResetOnlyWhenItCanBe) {
  ASSERT_TRUE(StartApi("D3D8"));
  ToolImage img = ImageTool_Pattern(4, 4, 1, false);
  int mat = Material_CreateFromPixels("keep", 4, 4, 32, img.bgra.data(), 0, 0, 0);
  uint32_t tex = Tex_Table[Material_Table[mat].frameTexture[0]].handle;
  uint32_t vb = Render_CreateVertexBuffer(320, 0);
  ASSERT_NE(tex, 0u);
  ASSERT_NE(vb, 0u);
  int resets = Dev_ResetCount();
  Dev_SetLostState(1);
  Render_BeginFrame(0, 0, 64, 64);
  Render_EndFrame(1, 1);
  Render_BeginFrame(0, 0, 64, 64);
  Render_EndFrame(1, 1);
  EXPECT_EQ(Dev_ResetCount(), resets);
  EXPECT_EQ(Dev_TestCooperativeLevel(), DEV_ERR_DEVICELOST);
  Dev_SetLostState(2);
  Render_BeginFrame(0, 0, 64, 64);
  Render_EndFrame(1, 1);
  EXPECT_EQ(Dev_ResetCount(), resets + 1);
  EXPECT_EQ(Dev_TestCooperativeLevel(), DEV_OK);
  EXPECT_TRUE(Dev_IsObject(tex));
  EXPECT_TRUE(Dev_IsObject(vb));
  Render_ReleaseBuffer(vb);
  EXPECT_FALSE(Dev_IsObject(vb));
}

TEST_F(D3d8Gl, DdsWinsOverTgaAndKeepsItsRowOrder) {
  WriteTextureFiles();
  ASSERT_TRUE(StartApi("D3D8"));
  EXPECT_EQ(D3D8_TextureFileExists("both"), 1);
  EXPECT_EQ(D3D8_TextureFileExists("none"), 0);
  int both = Material_Load("both");
  int tga = Material_LoadPicture("tgaonly");
  const TextureRecord& b = Tex_Table[Material_Table[both].frameTexture[0]];
  const TextureRecord& t = Tex_Table[Material_Table[tga].frameTexture[0]];
  EXPECT_EQ(b.fromDds, 1);
  EXPECT_EQ(t.fromDds, 0);
  EXPECT_EQ(b.width, 32);
  EXPECT_EQ(b.texWidth, 32);
  EXPECT_EQ(t.hasAlpha, 1);
  EXPECT_FLOAT_EQ(t.scaleU, 1.0f);
  uint32_t fmt = 0;
  Dev_GetLevelDesc(b.handle, 0, nullptr, nullptr, &fmt);
  EXPECT_EQ(fmt, uint32_t(DEVFMT_DXT1));
  std::string log = Log();
  EXPECT_NE(log.find("Load [both.dds]\n"), std::string::npos);
  EXPECT_EQ(log.find("Load [both.tga]"), std::string::npos);
  EXPECT_NE(log.find("Load [tgaonly.tga]\n"), std::string::npos);
  // The TGA texture holds the picture's top row first.
  ToolImage pic = ImageTool_Pattern(16, 16, 11, true);
  uint8_t* bits = nullptr;
  int pitch = 0;
  ASSERT_EQ(Dev_LockRect(t.handle, 0, &bits, &pitch, DEVLOCK_READONLY), DEV_OK);
  EXPECT_EQ(0, std::memcmp(bits, pic.At(0, 15), 16 * 4));
  Dev_UnlockRect(t.handle, 0);
  // A non-power-of-two picture is stretched; its record keeps the file's size.
  int bmp = Material_Load("bmponly");
  const TextureRecord& m = Tex_Table[Material_Table[bmp].frameTexture[0]];
  EXPECT_EQ(m.width, 64);
  EXPECT_EQ(m.height, 32);
  EXPECT_EQ(Dev_TextureLevelCount(m.handle), 7);  // mipmapped: 64 x 32 down to 1 x 1
}

TEST_F(D3d8Gl, BrokenTextureFileLeavesAnEmptyRecord) {
  tw_test::WriteBytes("junk.tga", std::vector<uint8_t>(40, 0x11));
  tw_test::WriteBytes("junk.dds", {'D', 'D', 'S', ' ', 1, 2});
  ASSERT_TRUE(StartApi("D3D8"));
  int tex = Tex_Create("junk", 0x0DE1);
  D3D8_LoadTexture(tex, "junk", 1);
  EXPECT_EQ(Tex_Table[tex].handle, 0u);
  EXPECT_EQ(Tex_Table[tex].texWidth, 0);
  EXPECT_FLOAT_EQ(Tex_Table[tex].scaleU, 1.0f);
  EXPECT_EQ(Log().find("Load [junk"), std::string::npos);
}

TEST_F(D3d8Gl, OpaqueModeSkipsTransparentTexels) {
  ASSERT_TRUE(StartApi("D3D8"));
  // Left half transparent, right half opaque white.
  std::vector<uint8_t> px(2 * 1 * 4, 255);
  px[3] = 0;
  int mat = Material_CreateFromPixels("halfclear", 2, 1, 32, px.data(), 1, 0, 0);
  Render_BeginFrame(0, 0, Render_ScreenWidth, Render_ScreenHeight);
  Render_Clear(1, 0, 0, 1);
  Material_Bind(0, mat, 0, 0);
  Render_SetBlend(0);
  Quad(-10, -7.5f, 10, 7.5f, 10.0f, 0xFFFFFFFF);
  std::vector<uint8_t> out(4 * 4);
  Render_ReadPixels(Render_ScreenWidth / 4, Render_ScreenHeight / 2, 1, 1, out.data());
  Render_ReadPixels(3 * Render_ScreenWidth / 4, Render_ScreenHeight / 2, 1, 1, out.data() + 4);
  EXPECT_EQ(out[0], 255);  // the clear's blue shows through
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(out[4], 255);  // white
  EXPECT_EQ(out[6], 255);
  Render_EndFrame(1, 1);
}

TEST_F(D3d8Gl, SubImageUpdateLandsWhereOpenGlPutsIt) {
  // A 2 x 2 update at (1, 1) of a 4 x 4 black texture, read back through a drawn quad.
  Picture pics[2];
  const char* apis[2] = {"OPENGL", "D3D8"};
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(StartApi(apis[i]));
    std::vector<uint8_t> black(4 * 4 * 4, 0);
    int mat = Material_CreateFromPixels("sub", 4, 4, 32, black.data(), 0, 0, 0);
    int tex = int(Material_Table[mat].frameTexture[0]);
    std::vector<uint8_t> red(2 * 2 * 3, 0);
    red[2] = red[5] = 255;  // bottom row red, top row black
    Render_UpdateTexSubImage(tex, 1, 1, 2, 2, 24, red.data());
    Render_BeginFrame(0, 0, Render_ScreenWidth, Render_ScreenHeight);
    Render_Clear(1, 0, 0, 0);
    Material_Bind(0, mat, 0, 1);
    Render_SetBlend(0);
    Quad(-7.5f, -7.5f, 7.5f, 7.5f, 10.0f, 0xFFFFFFFF);
    pics[i].width = Render_ScreenWidth;
    pics[i].height = Render_ScreenHeight;
    pics[i].bgra.assign(size_t(pics[i].width) * pics[i].height * 4, 0);
    Render_ReadPixels(0, 0, pics[i].width, pics[i].height, pics[i].bgra.data());
    Render_EndFrame(1, 1);
    StopApi();
    Material_ResetTable();
  }
  std::string where;
  EXPECT_EQ(Disagreements(pics[0], pics[1], 6, &where), 0) << where;
}

TEST_F(D3d8Gl, VertexAndIndexBuffersDraw) {
  ASSERT_TRUE(StartApi("D3D8"));
  // Layout 0: position, normal, one texture pair; a quad of two triangles.
  float verts[4][8] = {{-5, 10, -5, 0, -1, 0, 0, 0}, {5, 10, -5, 0, -1, 0, 1, 0},
                       {5, 10, 5, 0, -1, 0, 1, 1},   {-5, 10, 5, 0, -1, 0, 0, 1}};
  uint16_t idx[6] = {0, 1, 2, 0, 2, 3};
  uint32_t vb = Render_CreateVertexBuffer(sizeof verts, 0);
  uint32_t ib = Render_CreateIndexBuffer(sizeof idx);
  ASSERT_NE(vb, 0u);
  ASSERT_NE(ib, 0u);
  Render_FillVertexBuffer(vb, 0, 0, sizeof verts, verts);
  Render_FillIndexBuffer(ib, 0, sizeof idx, idx);
  // A fill past the end is refused with the error's name, nothing written.
  Render_FillIndexBuffer(ib, 8, sizeof idx, idx);
  EXPECT_NE(Log().find("D3DERR_INVALIDCALL\n"), std::string::npos);
  Render_BeginFrame(0, 0, Render_ScreenWidth, Render_ScreenHeight);
  Render_Clear(1, 0, 0, 0);
  Tex_Bind(0, 0, 0);
  Render_SetBlend(0);
  Render_SetVertexBuffer(vb, 0);
  Render_SetIndexBuffer(ib, 0);
  Render_DrawIndexedTriangles(4, 0, 2);
  Render_SetVertexBuffer(0, 0);
  std::vector<uint8_t> out(4);
  Render_ReadPixels(Render_ScreenWidth / 2, Render_ScreenHeight / 2, 1, 1, out.data());
  EXPECT_EQ(out[0], 255);  // no diffuse colour in the layout: white
  EXPECT_EQ(out[1], 255);
  EXPECT_EQ(out[2], 255);
  Render_EndFrame(1, 1);
  Render_ReleaseBuffer(vb);
  Render_ReleaseBuffer(ib);
}

TEST_F(D3d8Gl, EnvironmentMapStagesBlendByTheBaseAlpha) {
  ASSERT_TRUE(StartApi("D3D8"));
  // Base texture: red with alpha 0 (full reflection); reflection texture: solid green.
  std::vector<uint8_t> base = {0, 0, 255, 0};
  std::vector<uint8_t> env = {0, 255, 0, 255};
  int baseMat = Material_CreateFromPixels("envbase", 1, 1, 32, base.data(), 1, 0, 0);
  int envMat = Material_CreateFromPixels("envmap", 1, 1, 32, env.data(), 1, 0, 0);
  Render_BeginFrame(0, 0, Render_ScreenWidth, Render_ScreenHeight);
  Render_Clear(1, 0, 0, 0);
  Material_Bind(0, baseMat, 0, 0);
  Material_Bind(1, envMat, 0, 0);
  Render_SetBlend(-1);
  Render_SetBlend(1);  // additive, so the zero alpha does not hide the result
  Render_BeginEnvMapStages(1);
  Quad(-5, -5, 5, 5, 10.0f, 0xFFFFFFFF);
  Render_EndEnvMapStages(1);
  std::vector<uint8_t> out(4);
  Render_ReadPixels(Render_ScreenWidth / 2, Render_ScreenHeight / 2, 1, 1, out.data());
  EXPECT_EQ(out[1], 255);  // the reflection
  EXPECT_EQ(out[2], 0);    // none of the base
  Render_EndFrame(1, 1);
  EXPECT_EQ(Dev_GetTextureStageState(1, DEVTSS_TEXCOORDINDEX), 1u);
}

}  // namespace

namespace {

TEST_F(D3d8Gl, TextureMatrixAndDoubledModulation) {
  ASSERT_TRUE(StartApi("D3D8"));
  // A 2 x 1 texture: black on the left, white on the right.
  std::vector<uint8_t> px = {0, 0, 0, 255, 255, 255, 255, 255};
  int mat = Material_CreateFromPixels("halves", 2, 1, 32, px.data(), 0, 0, 0);
  int w = Render_ScreenWidth, h = Render_ScreenHeight;
  auto centreRow = [&](std::vector<uint8_t>& row) {
    row.assign(size_t(w) * 4, 0);
    Render_ReadPixels(0, h / 2, w, 1, row.data());
  };
  Render_BeginFrame(0, 0, w, h);
  Render_Clear(1, 0, 0, 0);
  Material_Bind(0, mat, 0, 0);
  Render_SetBlend(0);
  // u doubled by the texture matrix: black, white, black, white across the screen.
  static const float kScaleU[9] = {2, 0, 0, 0, 1, 0, 0, 0, 1};
  static const float kNoOffset[3] = {0, 0, 0};
  Render_SetTextureMatrix(0, kScaleU, kNoOffset, 2, 0);
  ImmVertex a = V(-10, 10, -7.5f, 0xFFFFFFFF, 0, 0), b = V(10, 10, -7.5f, 0xFFFFFFFF, 1, 0);
  ImmVertex c = V(10, 10, 7.5f, 0xFFFFFFFF, 1, 1), d = V(-10, 10, 7.5f, 0xFFFFFFFF, 0, 1);
  Render_DrawTriangle(&a, &b, &c);
  Render_DrawTriangle(&a, &c, &d);
  std::vector<uint8_t> row;
  centreRow(row);
  EXPECT_EQ(row[size_t(w / 8) * 4], 0);
  EXPECT_EQ(row[size_t(3 * w / 8) * 4], 255);
  EXPECT_EQ(row[size_t(5 * w / 8) * 4], 0);
  EXPECT_EQ(row[size_t(7 * w / 8) * 4], 255);
  // Switched off: one black and one white half again. Grey vertices doubled become white.
  Render_SetTextureMatrix(0, kScaleU, kNoOffset, 0, 0);
  Render_SetStageModulate(0, 2.0f);
  a.r = a.g = a.b = b.r = b.g = b.b = c.r = c.g = c.b = d.r = d.g = d.b = 128;
  Render_DrawTriangle(&a, &b, &c);
  Render_DrawTriangle(&a, &c, &d);
  centreRow(row);
  EXPECT_EQ(row[size_t(w / 8) * 4], 0);
  EXPECT_EQ(row[size_t(5 * w / 8) * 4], 255);
  EXPECT_EQ(row[size_t(7 * w / 8) * 4], 255);
  Render_SetStageModulate(0, 1.0f);
  Render_DrawTriangle(&a, &b, &c);
  Render_DrawTriangle(&a, &c, &d);
  centreRow(row);
  EXPECT_NEAR(row[size_t(7 * w / 8) * 4], 128, 1);
  Render_EndFrame(1, 1);
}

}  // namespace
