// The Direct3D 8 back end on its device layer, under a real display: the same scene drawn through
// the OpenGL back end and through the Direct3D 8 back end must give the same picture; start-up
// failures, device loss, viewports, read-back, buffers and texture files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/sys.h"
#include "foundation/var.h"
#include "foundation/video.h"
#include "platform/d3d8dev.h"
#include "platform/gl_context_sdl.h"
#include "platform/gl_dispatch.h"
#include "platform/window.h"
#include "render/draw2d.h"
#include "render/font.h"
#include "render/image.h"
#include "render/material.h"
#include "render/render.h"
#include "render/render_d3d8.h"
#include "render/text.h"
#include "render/texture.h"
#include "scene/view.h"
#include "support/render_support.h"
#include "support/test_support.h"
#include "tools/image_writer.h"
#include "tools/media_writer.h"
#include "foundation/timer.h"
#include "render/video.h"

namespace {

bool g_window;

using tw_test::Picture;

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

std::vector<uint8_t> ReadPixels(int x, int y, int w, int h) {
  std::vector<uint8_t> out(size_t(w) * h * 4);
  Render_ReadPixels(x, y, w, h, out.data());
  return out;
}
std::vector<uint8_t> ReadPixel(int x, int y) { return ReadPixels(x, y, 1, 1); }

// The whole screen, read back; ends the frame.
Picture ReadScreen() {
  Picture p{Render_ScreenWidth, Render_ScreenHeight, ReadPixels(0, 0, Render_ScreenWidth, Render_ScreenHeight)};
  Render_EndFrame(1, 1);
  return p;
}

void BeginFrame(float r, float g, float b) {
  Render_BeginFrame(0, 0, Render_ScreenWidth, Render_ScreenHeight);
  Render_Clear(1, r, g, b);
}

// The same drawing through the OpenGL back end, then through the Direct3D 8 back end.
template <class Draw>
bool DrawOnBoth(Picture pics[2], Draw draw) {
  const char* apis[2] = {"OPENGL", "D3D8"};
  for (int i = 0; i < 2; ++i) {
    if (!StartApi(apis[i])) return false;
    pics[i] = draw();
    StopApi();
    Material_ResetTable();
  }
  return true;
}

ImmVertex V(float x, float y, float z, uint32_t rgba, float u = 0, float v = 0) {
  return {x, y, z, uint8_t(rgba >> 24), uint8_t(rgba >> 16), uint8_t(rgba >> 8), uint8_t(rgba), u, v};
}

struct Box {
  float x0, z0, x1, z1;
  Box Scaled(float s) const { return {x0 * s, z0 * s, x1 * s, z1 * s}; }
  Box Narrow() const { return {x0, z0, x0 + 1.0f, z1}; }
};

// A quad facing the camera at distance `depth` (world y), with texture coordinates (0, 0) to
// (uMax, vMax), drawn a little inside so that the pixels of an edge, which the back ends may cover
// differently (their pixel centres are half a pixel apart), do not sample the texel beyond it.
void Quad(Box b, float depth, uint32_t rgba, float uMax = 1, float vMax = 1) {
  const float e = 0.02f;
  ImmVertex a = V(b.x0, depth, b.z0, rgba, e, e), c = V(b.x1, depth, b.z0, rgba, uMax - e, e);
  ImmVertex d = V(b.x1, depth, b.z1, rgba, uMax - e, vMax - e), f = V(b.x0, depth, b.z1, rgba, e, vMax - e);
  Render_DrawTriangle(&a, &c, &d);
  Render_DrawTriangle(&a, &d, &f);
}

// One cell of the 8 x 5 grid over the screen at depth 10 (the view is 20 x 15 units there).
Box Cell(int col, int row) {
  float x0 = -10.0f + 2.5f * float(col) + 0.2f, z1 = 7.5f - 3.0f * float(row) - 0.2f;
  return {x0, z1 - 2.6f, x0 + 2.1f, z1};
}

// A picture whose neighbouring texels differ little (so that sampling half a pixel away, as one of
// the back ends does, changes a filtered or minified picture only a little).
ToolImage Smooth(int w, int h) {
  ToolImage img;
  img.width = w;
  img.height = h;
  img.bgra.resize(size_t(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = img.At(x, y);
      p[0] = uint8_t(128 + 100 * std::sin(x / 8.0));
      p[1] = uint8_t(128 + 100 * std::cos(y / 10.0));
      p[2] = uint8_t((x + y) * 255 / (w + h));
      p[3] = 255;
    }
  return img;
}

void WriteTextureFiles() {
  ImageTool_Save("both.tga", ImageTool_WriteTGA(ImageTool_Pattern(32, 32, 7, false), 32));
  ImageTool_Save("both.dds", ImageTool_MakeDDS(ImageTool_Pattern(32, 32, 9, false), kImgDXT1, 0));
  ImageTool_Save("tgaonly.tga", ImageTool_WriteTGA(ImageTool_Pattern(16, 16, 11, true), 32));
  ImageTool_Save("bmponly.bmp", ImageTool_WriteBMP(ImageTool_Pattern(64, 32, 13, false)));
  ImageTool_Save("mipped.dds", ImageTool_MakeDDS(Smooth(64, 64), kImgDXT5, 7));
}

// The scene, through the render operations only.
Picture DrawScene() {
  BeginFrame(0.2f, 0.3f, 0.4f);
  RenderFogWanted = 0;
  ToolImage alphaPic = ImageTool_Pattern(8, 8, 3, true), big = Smooth(64, 64);
  std::vector<uint8_t> grey(16 * 16), bgr(4 * 4 * 3);
  for (size_t i = 0; i < grey.size(); ++i) grey[i] = uint8_t(i * 7);
  for (size_t i = 0; i < bgr.size(); ++i) bgr[i] = uint8_t(i * 23);
  int alphaMat = Material_CreateFromPixels("alpha8", 8, 8, 32, alphaPic.bgra.data(), 1, 0, 0);
  int bigMat = Material_CreateFromPixels("big64", 64, 64, 32, big.bgra.data(), 0, 0, 0);
  int greyMat = Material_CreateFromPixels("grey16", 16, 16, 8, grey.data(), 0, 0, 0);
  int bgrMat = Material_CreateFromPixels("bgr4", 4, 4, 24, bgr.data(), 0, 0, 0);
  const int files[4] = {Material_Load("both"), Material_LoadPicture("tgaonly"), Material_Load("bmponly"),
                        Material_Load("mipped")};
  Box b;
  // Row 0: every blend mode over a vertex-coloured backing reaching well beyond the quad in front.
  for (int mode = 0; mode < 8; ++mode) {
    b = Cell(mode, 0);
    Tex_Bind(0, 0, 0);
    Render_SetBlend(0);
    Quad({b.x0 - 0.3f, b.z0 - 0.3f, b.x1 + 0.3f, b.z1 + 0.3f}, 10.5f, 0x806040FF);
    Material_Bind(0, alphaMat, 0, 0);
    Render_SetBlend(mode);
    Quad(b, 10.0f, mode == 3 ? 0xFFFFFFFF : 0xC0E0FFC0);
  }
  // Row 1: filter kinds 0, 1, 2 on a magnified and a minified texture; wrap and clamp.
  for (int kind = 0; kind < 3; ++kind) {
    Material_Bind(0, alphaMat, 0, kind);
    Render_SetBlend(5);
    Quad(Cell(kind, 1), 10.0f, 0xFFFFFFFF);
    b = Cell(kind + 3, 1);
    Material_Bind(0, bigMat, 0, kind);
    Render_SetBlend(0);
    Quad({b.x0, b.z0, b.x0 + 0.6f, b.z0 + 0.6f}, 10.0f, 0xFFFFFFFF);
    Quad({b.x0 + 0.8f, b.z0, b.x1, b.z1}, 10.0f, 0xFFFFFFFF);
  }
  Material_Bind(0, greyMat, 0, 0);
  Render_SetTexWrap(0, 1);
  Quad(Cell(6, 1), 10.0f, 0xFF8080FF, 2.0f, 2.0f);
  Material_Bind(0, bgrMat, 0, 0);
  Render_SetTexWrap(0, 0);
  Quad(Cell(7, 1), 10.0f, 0xFFFFFFFF, 1.5f, 1.5f);
  Render_SetTexWrap(0, 1);
  // Row 2: textures from files: DDS over TGA, TGA alone, BMP, a DDS with its mipmaps minified.
  for (int i = 0; i < 4; ++i) {
    b = Cell(i, 2);
    Material_Bind(0, files[i], 0, i == 3 ? 2 : 0);
    Quad(i == 3 ? Box{b.x0, b.z0, b.x0 + 1.0f, b.z0 + 1.0f} : b, 10.0f, 0xFFFFFFFF);
  }
  // Untextured: vertex colours, depth test, points and lines.
  Tex_Bind(0, 0, 0);
  b = Cell(4, 2);
  ImmVertex t0 = V(b.x0, 10, b.z0, 0xFF0000FF), t1 = V(b.x1, 10, b.z0, 0x00FF00FF), t2 = V(b.x0, 10, b.z1, 0x0000FFFF);
  Render_DrawTriangle(&t0, &t1, &t2);
  b = Cell(5, 2);
  Quad(b, 9.0f, 0x20C020FF);
  Quad({b.x0 + 0.5f, b.z0 + 0.5f, b.x1 + 0.5f, b.z1 + 0.5f}, 12.0f, 0xC02020FF);  // behind: hidden in the overlap
  b = Cell(6, 2);
  ImmVertex l0 = V(b.x0, 10, b.z0, 0xFFFF00FF), l1 = V(b.x1, 10, b.z1, 0xFFFF00FF);
  Render_DrawLine(&l0, &l1);
  Render_SetPointSize(3.0f);
  ImmVertex p = V(0.5f * (b.x0 + b.x1), 10, b.z1, 0x00FFFFFF);
  Render_DrawPoint(&p);
  // Culling: of two quads with opposite winding only one stays.
  b = Cell(7, 2);
  Render_SetCull(2);
  Quad({b.x0, b.z0, 0.5f * (b.x0 + b.x1), b.z1}, 10.0f, 0xFF00FFFF);
  Quad({b.x1, b.z0, 0.5f * (b.x0 + b.x1), b.z1}, 10.0f, 0x00FFFFFF);
  Render_SetCull(0);
  // Row 3: fog over depth, on textured and untextured quads.
  RenderFogWanted = 1;
  static const float kFog[4] = {0.9f, 0.5f, 0.1f, 1.0f};
  Render_SetFog(5.0f, 60.0f, kFog);
  Render_SetBlend(-1);
  Render_SetBlend(0);
  for (int i = 0; i < 8; ++i) {
    float depth = 8.0f + 7.0f * float(i);
    if (i % 2) Material_Bind(0, bigMat, 0, 1);
    else Tex_Bind(0, 0, 0);
    Quad(Cell(i, 3).Scaled(depth / 10.0f), depth, 0xE0E0E0FF);
  }
  RenderFogWanted = 0;
  Render_SetFogEnable(0);
  // Row 4: lit geometry (material colours); colour mask (red and alpha); wireframe.
  Tex_Bind(0, 0, 0);
  Render_SetLighting(1);
  Render_EnableLight(0, 1);
  Quad(Cell(0, 4), 10.0f, 0xFFFFFFFF);
  Render_SetLighting(0);
  Render_EnableLight(0, 0);
  Render_SetColorMask(1, 0, 0, 1);
  Quad(Cell(1, 4), 10.0f, 0xFFFFFFFF);
  Render_SetColorMask(1, 1, 1, 1);
  Render_SetPolygonMode(1);
  Quad(Cell(2, 4), 10.0f, 0xFFFF00FF);
  Render_SetPolygonMode(2);
  // Depth compare "always": the far quad covers the near one; "equal" draws nothing new.
  b = Cell(3, 4);
  Quad(b, 9.0f, 0x2020E0FF);
  Render_SetDepthFunc(2);
  Quad(b.Narrow().Scaled(1.2f), 12.0f, 0xE0E020FF);
  Render_SetDepthFunc(3);
  Quad(b.Scaled(1.5f), 15.0f, 0xFF0000FF);
  Render_SetDepthFunc(1);
  // Depth writes off: a later quad behind still shows. Depth test off: a far quad over a near one.
  b = Cell(4, 4);
  Render_SetDepthWrite(0);
  Quad(b, 9.0f, 0x808080FF);
  Render_SetDepthWrite(1);
  Quad(b.Narrow().Scaled(1.2f), 12.0f, 0x20E020FF);
  b = Cell(5, 4);
  Quad(b, 9.0f, 0x808080FF);
  Render_SetDepthTest(0);
  Quad(b.Narrow().Scaled(1.2f), 12.0f, 0xE020E0FF);
  Render_SetDepthTest(1);
  // Matrices: a pushed, translated, rotated and scaled quad, then the matrix popped.
  b = Cell(6, 4);
  Render_PushMatrix();
  Render_Translate(0.5f * (b.x0 + b.x1), 10.0f, 0.5f * (b.z0 + b.z1));
  Render_Rotate(30.0f, 0, 1, 0);
  Render_Scale(0.8f, 1.0f, 0.5f);
  static const float kRot[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1}, kMove[3] = {0.2f, 0, 0};
  Render_MultMatrix(kRot, kMove);
  Quad({-1, -1, 1, 1}, 0.0f, 0xE08020FF);
  Render_PopMatrix();
  // A directional light from above (the quads' normal is the default, straight up): lit on both.
  static const float kFromAbove[4] = {0, 0, 1, 0};
  static const float kDim[4] = {0.1f, 0.1f, 0.1f, 1}, kOrange[4] = {0.9f, 0.5f, 0.1f, 1}, kNone[4] = {0, 0, 0, 1};
  Render_SetLight(1, kFromAbove, kDim, kOrange, kNone);
  Render_SetLighting(1);
  Render_EnableLight(1, 1);
  Quad(Cell(7, 4), 10.0f, 0xFFFFFFFF);
  Render_EnableLight(1, 0);
  Render_SetLighting(0);
  return ReadScreen();
}

// The 2D layer: pictures at their pixel size and stretched, on the fixed 640 x 480 screen and the
// display's own, the bitmap-font page and TrueType text.
Picture Draw2DScene() {
  Font_InvalidateGlyphs();
  BeginFrame(0.1f, 0.1f, 0.1f);
  Video_ScreenWidth = Render_ScreenWidth;
  Video_ScreenHeight = Render_ScreenHeight;
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
  return ReadScreen();
}

void Write2DFiles() {
  ToolImage panel = Smooth(100, 60);
  for (size_t i = 3; i < panel.bgra.size(); i += 4) panel.bgra[i] = uint8_t(128 + (i / 4) % 100);
  ImageTool_Save("panel.tga", ImageTool_WriteTGA(panel, 32));
  ImageTool_Save("icon.tga", ImageTool_WriteTGA(Smooth(32, 32), 24));
  // The bitmap-font page: 16 x 16 cells of 16 pixels, each a different block; as a DDS file, whose
  // rows keep their order on both back ends.
  ToolImage page = ImageTool_Solid(256, 256, 255, 255, 255, 0);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x)
      page.At(x, y)[3] = ((x % 16) > 2 && (x % 16) < 12 && (y % 16) > 3 && (y % 16) < 13 && ((x / 16 + y / 16 + x % 3) % 2)) ? 255 : 0;
  ::mkdir("sprites", 0755);
  ImageTool_Save("sprites/win866.dds", ImageTool_MakeDDS(page, kImgDXT3, 0));
}

class D3d8Gl : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("TW_UNATTENDED", "1", 1);
    g_window = tw_test::HaveDisplay() && Plat_WindowCreate("d3d8 test");
  }
  static void TearDownTestSuite() {
    if (g_window) Plat_WindowDestroy();
  }
  void SetUp() override {
    if (!g_window) GTEST_SKIP() << "no display";
    Log_Open();
  }
  void TearDown() override {
    if (!g_window) return;
    if (RenderApi) StopApi();
    Plat_GlRestoreDefaults();
    Dev_RestorePlatformDefaults();
    Var_SetText(&render_api, "OPENGL");
    Log_Close();
  }
  std::string Log() { return tw_test::ReadFile("log"); }
  tw_test::TempDir dir_;
};

TEST_F(D3d8Gl, SceneMatchesOpenGl) {
  WriteTextureFiles();
  Picture pics[2];
  ASSERT_TRUE(DrawOnBoth(pics, DrawScene)) << Log();
  std::string where;
  double mean = 0;
  EXPECT_EQ(tw_test::PictureDisagreements(pics[0], pics[1], 8, &where, &mean), 0) << where;
  EXPECT_LT(mean, 3.0);
  // The scene is not empty: the clear colour is not everywhere.
  int clearPixels = 0, all = pics[1].width * pics[1].height;
  for (const uint8_t* c = pics[1].bgra.data(); c < pics[1].bgra.data() + 4 * all; c += 4)
    clearPixels += std::abs(c[2] - 51) <= 1 && std::abs(c[1] - 76) <= 1 && std::abs(c[0] - 102) <= 1;
  EXPECT_LT(clearPixels, all * 3 / 4);
}

TEST_F(D3d8Gl, PicturesAndTextMatchOpenGl) {
  Write2DFiles();
  ASSERT_TRUE(tw_test::PutTestFont("TestFace.ttf")) << "fonts-dejavu-core is not installed";
  Var_SetText(Var_Find("video_font"), "TestFace");
  Font_Init();
  ASSERT_NE(Font_Glyphs['A'].glyph, 0u);
  Picture pics[2];
  ASSERT_TRUE(DrawOnBoth(pics, Draw2DScene)) << Log();
  Font_Shutdown();
  // Glyph edges move with the half-pixel difference of the back ends and each glyph's texture is
  // sampled half a texel apart, so the text band (everything below the bitmap string, which sits
  // 300 pixels from the top) is compared glyph by glyph: the ink (measured from each one's clear
  // colour, which rounds differently) of each run of inked columns, its amount and its centre. A
  // centre over the whole line would weigh the small per-glyph ink differences by their distance.
  const int w = pics[0].width;
  std::vector<double> ink[2] = {std::vector<double>(w), std::vector<double>(w)}, cy[2] = {ink[0], ink[1]};
  for (int i = 0; i < 2; ++i) {
    const uint8_t bg[3] = {pics[i].bgra[0], pics[i].bgra[1], pics[i].bgra[2]};
    for (int y = 0; y < pics[i].height - 350; ++y)
      for (int x = 0; x < w; ++x) {
        uint8_t* p = &pics[i].bgra[(size_t(y) * w + x) * 4];
        double v = std::abs(p[2] - bg[2]) + std::abs(p[1] - bg[1]) + std::abs(p[0] - bg[0]);
        ink[i][x] += v;
        cy[i][x] += v * y;
        std::memset(p, 0, 3);  // out of the pixel comparison
      }
  }
  int glyphs = 0;
  double shift[2] = {0, 0};
  for (int x = 0; x < w;) {
    if (ink[0][x] == 0 && ink[1][x] == 0) {
      ++x;
      continue;
    }
    double sum[2] = {0, 0}, cx[2] = {0, 0}, sy[2] = {0, 0};
    for (; x < w && (ink[0][x] > 0 || ink[1][x] > 0); ++x)
      for (int i = 0; i < 2; ++i) sum[i] += ink[i][x], cx[i] += ink[i][x] * x, sy[i] += cy[i][x];
    ASSERT_GT(sum[0], 0.0) << "column " << x;
    ASSERT_GT(sum[1], 0.0) << "column " << x;
    ++glyphs;
    const double dx = cx[1] / sum[1] - cx[0] / sum[0], dy = sy[1] / sum[1] - sy[0] / sum[0];
    EXPECT_NEAR(sum[1] / sum[0], 1.0, 0.2) << "glyph ending at column " << x;
    EXPECT_LT(std::hypot(dx, dy), 1.5) << "glyph ending at column " << x;
    shift[0] += dx;
    shift[1] += dy;
  }
  ASSERT_GE(glyphs, 20);  // "Text through both back ends" without its blanks: 23 letters
  // On average the Direct3D 8 text lies half a pixel right and half a pixel down (rows count
  // upwards here), like every other picture of that back end.
  EXPECT_NEAR(shift[0] / glyphs, 0.5, 0.25);
  EXPECT_NEAR(shift[1] / glyphs, -0.5, 0.25);
  std::string where;
  double mean = 0;
  EXPECT_EQ(tw_test::PictureDisagreements(pics[0], pics[1], 8, &where, &mean), 0) << where;
  EXPECT_LT(mean, 2.0);
  int lit = 0;
  for (size_t k = 0; k < pics[1].bgra.size(); k += 4) lit += pics[1].bgra[k + 1] > 40;
  EXPECT_GT(lit, 20000);  // the pictures are there
}

TEST_F(D3d8Gl, EachFailedStartStepLogsItsLineAndLeavesNoBackEnd) {
  const struct {
    const char* line;
    void (*break_)();
  } steps[] = {
      {"D3D8: Unable found D3D8.DLL\n", [] { Plat_Gl.loadLibrary = [] { return -1; }; }},
      {"D3D8: Unable found Direct3DCreate8\n", [] { Plat_Gl.getProcAddress = [](const char*) -> void* { return nullptr; }; }},
      {"D3D8: Unable Direct3DCreate8\n", [] { Dev_Platform.haveVideo = [] { return 0; }; }},
      {"D3D8: Unable GetAdapterDisplayMode\n", [] { Dev_Platform.displayMode = [](DevDisplayMode*) { return -1; }; }},
      {"D3D8: Unable CreateDevice\n", [] { Plat_Gl.createContext = []() -> void* { return nullptr; }; }},
  };
  for (const auto& s : steps) {
    Plat_GlRestoreDefaults();
    Dev_RestorePlatformDefaults();
    s.break_();
    EXPECT_FALSE(StartApi("D3D8")) << s.line;
    EXPECT_EQ(gl.glClear, nullptr) << s.line;
    EXPECT_NE(Log().find(s.line), std::string::npos) << s.line;
    // The game runs on: every operation does nothing.
    Render_BeginFrame(0, 0, 100, 100);
    EXPECT_EQ(Render_CreateVertexBuffer(64, 0), 0u);
    Render_EndFrame(1, 1);
  }
  EXPECT_EQ(Log().find("D3D8: OK"), std::string::npos);
  Plat_GlRestoreDefaults();
  Dev_RestorePlatformDefaults();
  ASSERT_TRUE(StartApi("d3d8"));
}

TEST_F(D3d8Gl, LostDeviceResetsOnlyWhenItCanARestartKnowsNoOldHandleABrokenTextureFileLeavesAnEmptyRecord) {
  ASSERT_TRUE(StartApi("D3D8"));
  ToolImage img = ImageTool_Pattern(4, 4, 1, false);
  int mat = Material_CreateFromPixels("keep", 4, 4, 32, img.bgra.data(), 0, 0, 0);
  uint32_t tex = Tex_Table[Material_Table[mat].frameTexture[0]].handle;
  uint32_t vb = Render_CreateVertexBuffer(320, 0);
  int resets = Dev_ResetCount();
  for (int state : {1, 1, 2}) {
    Dev_SetLostState(state);
    Render_BeginFrame(0, 0, 64, 64);
    Render_EndFrame(1, 1);
    EXPECT_EQ(Dev_ResetCount(), resets + (state == 2));
    EXPECT_EQ(Dev_TestCooperativeLevel(), state == 2 ? DEV_OK : DEV_ERR_DEVICELOST);
  }
  EXPECT_TRUE(Dev_IsObject(tex));
  EXPECT_TRUE(Dev_IsObject(vb));
  StopApi();
  EXPECT_EQ(Dev_HaveDevice(), 0);
  ASSERT_TRUE(StartApi("D3D8"));
  uint32_t fresh = Render_CreateVertexBuffer(64, 1);
  EXPECT_FALSE(Dev_IsObject(vb));
  Render_ReleaseBuffer(vb);  // an old handle: ignored
  EXPECT_TRUE(Dev_IsObject(fresh));
  // Which file is read shows in the scene; a broken file leaves an empty record, quietly.
  tw_test::WriteBytes("junk.tga", std::vector<uint8_t>(40, 0x11));
  tw_test::WriteBytes("junk.dds", {'D', 'D', 'S', ' ', 1, 2});
  int junk = Tex_Create("junk", 0x0DE1);
  D3D8_LoadTexture(junk, "junk", 1);
  EXPECT_EQ(Tex_Table[junk].handle + uint32_t(Tex_Table[junk].texWidth), 0u);
  EXPECT_EQ(Log().find("Load [junk"), std::string::npos);
}

// Texture files on Direct3D 8: a ".dds" is taken before the ".tga" of the same name, and a
// picture file loaded with mipmaps has its whole chain, 64 x 32 down to 1 x 1.
TEST_F(D3d8Gl, TextureFilesDdsFirstAndPictureFilesMipmappedToOneTexel) {
  WriteTextureFiles();
  ASSERT_TRUE(StartApi("D3D8"));
  EXPECT_EQ(Tex_Table[Material_Table[Material_Load("both")].frameTexture[0]].fromDds, 1);
  const TextureRecord& m = Tex_Table[Material_Table[Material_Load("bmponly")].frameTexture[0]];
  EXPECT_EQ(m.fromDds, 0);
  EXPECT_EQ(Dev_TextureLevelCount(m.handle), 7);
}

TEST_F(D3d8Gl, ViewportOriginIsConvertedAndReadPixelsFillsOnlyTheAskedRectangle) {
  ASSERT_TRUE(StartApi("D3D8"));
  Render_SetScreenSize(800, 600);
  if (Dev_BackBufferWidth() != 800 || Dev_BackBufferHeight() != 600) GTEST_SKIP() << "display not 800 x 600";
  DevViewport v{};
  int x, y, w, h;
  Render_SetViewport(10, 20, 300, 200);
  Render_GetViewport(&x, &y, &w, &h);
  EXPECT_EQ(std::vector<int>({x, y, w, h}), std::vector<int>({10, 20, 300, 200}));  // bottom-left origin again
  Dev_GetViewport(&v);
  EXPECT_EQ(v.y, 600 - 20 - 200);
  BeginFrame(0, 0, 0);
  // A red square over the lower-left 100 x 50 pixels through a viewport of that size.
  Render_SetViewport(0, 0, 100, 50);
  Render_Clear(1, 1.0f, 0.0f, 0.0f);
  Render_SetViewport(0, 0, Render_ScreenWidth, Render_ScreenHeight);
  std::vector<uint8_t> small(10 * 10 * 4 + 64, 0xAB);
  Render_ReadPixels(95, 45, 10, 10, small.data());
  for (size_t i = 10 * 10 * 4; i < small.size(); ++i) ASSERT_EQ(small[i], 0xAB) << "written past the rectangle";
  // Row 0 of the rectangle is y 45: red for x < 100, black beyond; rows from y 50 are black.
  auto red = [&](int cx, int cy) { return small[(size_t(cy) * 10 + cx) * 4 + 2]; };
  EXPECT_EQ(std::vector<int>({red(0, 0), red(4, 4), red(5, 0), red(0, 5), small[1]}), std::vector<int>({255, 255, 0, 0, 0}));
  Render_EndFrame(1, 1);
}

TEST_F(D3d8Gl, SubImageUpdateLandsWhereOpenGlPutsIt) {
  // A 2 x 2 update at (1, 1) of a 4 x 4 black texture, read back through a drawn quad.
  Picture pics[2];
  ASSERT_TRUE(DrawOnBoth(pics, [] {
    std::vector<uint8_t> black(4 * 4 * 4, 0), red(2 * 2 * 3, 0);
    red[2] = red[5] = 255;  // bottom row red, top row black
    int mat = Material_CreateFromPixels("sub", 4, 4, 32, black.data(), 0, 0, 0);
    Render_UpdateTexSubImage(int(Material_Table[mat].frameTexture[0]), 1, 1, 2, 2, 24, red.data());
    BeginFrame(0, 0, 0);
    Material_Bind(0, mat, 0, 1);
    Render_SetBlend(0);
    Quad({-7.5f, -7.5f, 7.5f, 7.5f}, 10.0f, 0xFFFFFFFF);
    return ReadScreen();
  }));
  std::string where;
  EXPECT_EQ(tw_test::PictureDisagreements(pics[0], pics[1], 6, &where), 0) << where;
}

// A movie's material outlives no emptying of the texture table: its frames never land in the
// texture that now holds the same material index.
TEST_F(D3d8Gl, MovieOpenAcrossTexFreeAllLeavesTheNewTexturesAlone) {
  ASSERT_TRUE(Tools_WriteTestVideo("m.wmv", {.container = "asf", .codec = "wmv2", .width = 32, .height = 32, .frames = 4}));
  ASSERT_TRUE(StartApi("D3D8"));
  MovieWmv* movie = Movie_OpenWmv("m");
  ASSERT_NE(movie, nullptr);
  ASSERT_NE(movie->texture, 0u);
  Tex_FreeAll();
  std::vector<uint8_t> white(32 * 32 * 4, 255);
  int mat = Material_CreateFromPixels("white", 32, 32, 32, white.data(), 0, 0, 0);
  ASSERT_EQ(uint32_t(mat), movie->texture);  // the same index, another texture
  Timer_FrameDelta = 0.1;
  Movie_UpdateWmv(movie);
  BeginFrame(0, 0, 0);
  Movie_DrawWmv(movie, nullptr);  // draws nothing: its material is gone
  Material_Bind(0, mat, 0, 1);
  Render_SetBlend(0);
  Quad({-2, -2, 2, 2}, 10.0f, 0xFFFFFFFF);
  std::vector<uint8_t> centre = ReadPixel(Render_ScreenWidth / 2, Render_ScreenHeight / 2);
  EXPECT_EQ(centre[0] + centre[1] + centre[2], 3 * 255);
  Movie_CloseWmv(&movie);
  Timer_FrameDelta = 0;
}

// What only the Direct3D 8 back end draws: vertex and index buffers, the environment map, the
// texture matrix and modulate 2x.
TEST_F(D3d8Gl, BuffersEnvironmentMapTextureMatrixAndDoubledModulation) {
  ASSERT_TRUE(StartApi("D3D8"));
  int w = Render_ScreenWidth, h = Render_ScreenHeight;
  auto centre = [&] { return ReadPixel(w / 2, h / 2); };
  // Layout 0: position, normal, one texture pair; a quad of two triangles.
  float verts[4][8] = {{-5, 10, -5, 0, -1, 0, 0, 0}, {5, 10, -5, 0, -1, 0, 1, 0},
                       {5, 10, 5, 0, -1, 0, 1, 1},   {-5, 10, 5, 0, -1, 0, 0, 1}};
  uint16_t idx[6] = {0, 1, 2, 0, 2, 3};
  uint32_t vb = Render_CreateVertexBuffer(sizeof verts, 0), ib = Render_CreateIndexBuffer(sizeof idx);
  Render_FillVertexBuffer(vb, 0, 0, sizeof verts, verts);
  Render_FillIndexBuffer(ib, 0, sizeof idx, idx);
  Render_FillIndexBuffer(ib, 8, sizeof idx, idx);  // past the end: refused, nothing written
  EXPECT_NE(Log().find("D3DERR_INVALIDCALL\n"), std::string::npos);
  BeginFrame(0, 0, 0);
  Tex_Bind(0, 0, 0);
  Render_SetBlend(0);
  Render_SetVertexBuffer(vb, 0);
  Render_SetIndexBuffer(ib, 0);
  Render_DrawIndexedTriangles(4, 0, 2);
  Render_SetVertexBuffer(0, 0);
  EXPECT_EQ(centre(), std::vector<uint8_t>({255, 255, 255, 255})) << "no colour in the layout: white";
  // Base texture: red with alpha 0 (full reflection); reflection texture: solid green.
  const uint8_t base[4] = {0, 0, 255, 0}, env[4] = {0, 255, 0, 255};
  Material_Bind(0, Material_CreateFromPixels("envbase", 1, 1, 32, base, 1, 0, 0), 0, 0);
  Material_Bind(1, Material_CreateFromPixels("envmap", 1, 1, 32, env, 1, 0, 0), 0, 0);
  Render_Clear(1, 0, 0, 0);
  Render_SetBlend(1);  // additive, so the zero alpha does not hide the result
  Render_BeginEnvMapStages(1);
  Quad({-5, -5, 5, 5}, 10.0f, 0xFFFFFFFF);
  Render_EndEnvMapStages(1);
  EXPECT_EQ(centre(), std::vector<uint8_t>({0, 255, 0, 255}));
  Tex_Bind(1, 0, 0);
  // A 2 x 1 texture, black on the left and white on the right, over the whole screen.
  const uint8_t px[8] = {0, 0, 0, 255, 255, 255, 255, 255};
  Material_Bind(0, Material_CreateFromPixels("halves", 2, 1, 32, px, 0, 0, 0), 0, 0);
  Render_SetBlend(0);
  const Box screen = {-10, -7.5f, 10, 7.5f};
  auto eighths = [&] {  // blue at 1/8, 3/8, 5/8, 7/8 of the centre row
    std::vector<int> v;
    for (int k = 1; k < 8; k += 2) v.push_back(ReadPixel(k * w / 8, h / 2)[0]);
    return v;
  };
  // u doubled by the texture matrix: black, white, black, white across the screen.
  static const float kScaleU[9] = {2, 0, 0, 0, 1, 0, 0, 0, 1}, kNoOffset[3] = {0, 0, 0};
  Render_SetTextureMatrix(0, kScaleU, kNoOffset, 2, 0);
  Quad(screen, 10.0f, 0xFFFFFFFF);
  EXPECT_EQ(eighths(), std::vector<int>({0, 255, 0, 255}));
  // Switched off: one black and one white half again. Grey vertices doubled become white.
  Render_SetTextureMatrix(0, kScaleU, kNoOffset, 0, 0);
  Render_SetStageModulate(0, 2.0f);
  Quad(screen, 10.0f, 0x808080FF);
  EXPECT_EQ(eighths(), std::vector<int>({0, 0, 255, 255}));
  Render_EndFrame(1, 1);
}

}  // namespace
