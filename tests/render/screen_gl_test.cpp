// The display module on the test display: start-up on a mode, a mode change, gamma, and pictures
// and text drawn and read back as real pixels.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "foundation/text.h"
#include "foundation/var.h"
#include "foundation/video.h"
#include "platform/display_sdl.h"
#include "platform/window.h"
#include "render/draw2d.h"
#include "render/font.h"
#include "render/render.h"
#include "render/text.h"
#include "support/test_support.h"
#include "tools/image_writer.h"

namespace {

class Screen : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!tw_test::HaveDisplay()) return;
    dir_ = new tw_test::TempDir();
    haveFont_ = tw_test::PutTestFont("Face.ttf");
    up_ = Plat_WindowCreate("display test") != 0;
    if (!up_) return;
    Video_EnumDisplayModes(1);
    Video_Init(0);
    std::strcpy(Var_Find("video_font")->text, "Face");
    Var_Find("video_windowed")->value = 1;
    Video_Init(1);
  }
  static void TearDownTestSuite() {
    if (up_) {
      Video_Shutdown();
      Video_RestoreDisplayMode();
      Plat_WindowDestroy();
    }
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    if (!up_ || RenderApi != RENDER_API_OPENGL) GTEST_SKIP() << "no display or no OpenGL";
    Begin();
  }
  static void Begin() {
    Render_BeginFrame(0, 0, Video_ScreenWidth, Video_ScreenHeight);
    Render_Clear(1, 0, 0, 0);
    Render_SetDepthTest(0);
    Render_SetCull(0);
    Render_SetBlend(5);
  }
  // B, G, R, A of the display pixel (x, y) counted from the top-left corner.
  static std::vector<uint8_t> Read() {
    std::vector<uint8_t> px(size_t(Video_ScreenWidth) * Video_ScreenHeight * 4);
    Render_ReadPixels(0, 0, Video_ScreenWidth, Video_ScreenHeight, px.data());
    return px;
  }
  static const uint8_t* At(const std::vector<uint8_t>& px, int x, int y) {
    return &px[(size_t(Video_ScreenHeight - 1 - y) * Video_ScreenWidth + x) * 4];
  }
  static bool Is(const uint8_t* p, int r, int g, int b) {
    return std::abs(p[2] - r) < 8 && std::abs(p[1] - g) < 8 && std::abs(p[0] - b) < 8;
  }
  // The display shows these colours at these points (x, y, r, g, b).
  static void ExpectPixels(std::initializer_list<std::array<int, 5>> probes) {
    auto px = Read();
    for (const auto& p : probes) EXPECT_TRUE(Is(At(px, p[0], p[1]), p[2], p[3], p[4])) << p[0] << "," << p[1];
  }
  static tw_test::TempDir* dir_;
  static bool up_, haveFont_;
};
tw_test::TempDir* Screen::dir_;
bool Screen::up_, Screen::haveFont_;

// 100 x 50: red bottom-left, green bottom-right, blue top-left, white top-right.
Picture Quadrants() {
  ToolImage img = ImageTool_Solid(100, 50, 0, 0, 0, 255);
  for (int y = 0; y < 50; y++)
    for (int x = 0; x < 100; x++) {
      uint8_t* p = img.At(x, y);  // bottom row first; B, G, R
      const bool right = x >= 50, top = y >= 25;
      const uint8_t r = (!top && !right) || (top && right) ? 255 : 0;
      const uint8_t g = right ? 255 : 0;
      const uint8_t bl = top ? 255 : 0;
      p[0] = bl;
      p[1] = g;
      p[2] = r;
    }
  ImageTool_Save("quads.tga", ImageTool_WriteTGA(img, 32));
  Picture pic{};
  Draw2D_LoadPicture("quads", &pic);
  return pic;
}

// A black frame clears colour and depth; pictures keep their colours and orientation.
TEST_F(Screen, BlackFramesAndPictureColoursAndOrientation) {
  Render_Clear(1, 1, 0, 0);
  Video_BlackFrame();
  ExpectPixels({{10, 10, 0, 0, 0}, {Video_ScreenWidth / 2, Video_ScreenHeight / 2, 0, 0, 0}});
  Begin();
  Picture pic = Quadrants();
  ASSERT_EQ(pic.width, 100);
  const Color8 white{255, 255, 255, 255};
  Draw2D_PictureAt(100, 100, &pic, 0, white);  // blue, white / red, green; black around
  ExpectPixels({{125, 112, 0, 0, 255}, {175, 112, 255, 255, 255}, {125, 137, 255, 0, 0}, {175, 137, 0, 255, 0},
                {95, 125, 0, 0, 0}, {205, 125, 0, 0, 0}});
  // A quarter turn counter-clockwise: the left edge goes down.
  Begin();
  Draw2D_PictureRotated(100, 100, &pic, 0, white, static_cast<float>(M_PI / 2));
  ExpectPixels({{137, 162, 0, 0, 255}, {162, 162, 255, 0, 0}, {137, 87, 255, 255, 255}, {162, 87, 0, 255, 0}});
  // Tinted by the colour (blue times red is black), clipped to the left half.
  Begin();
  Draw2D_PictureClipped(100, 100, 100, 50, &pic, 0, Color8{255, 0, 0, 255}, 0, 0, 150, 600);
  ExpectPixels({{125, 137, 255, 0, 0}, {125, 112, 0, 0, 0}, {175, 137, 0, 0, 0}});
  // A negative width draws the picture mirrored over [x + w, x].
  Begin();
  Draw2D_PictureSized(200, 100, -100, 50, &pic, 0, white);
  ExpectPixels({{125, 112, 255, 255, 255}, {175, 112, 0, 0, 255}, {125, 137, 0, 255, 0}, {175, 137, 255, 0, 0}});
}

TEST_F(Screen, TextLineReadBack) {
  ASSERT_TRUE(haveFont_) << "fonts-dejavu-core is not installed";
  // The localized texts draw through the text printer too.
  EXPECT_EQ(Text_PrintBox, &Print_TextBoxBottom);
  EXPECT_EQ(Text_PrintBoxW, &Print_TextBoxBottomW);
  Print_SetSize(64);
  Print_SetColor(1, 1, 1, 1);
  Print_SetAlign(0);
  Var_Find("video_text_shadow")->value = 0;
  Print_TextLine(100, 0, 640, 480, "H", 0, 1, 0, 100);
  auto px = Read();
  // The fixed 640 x 480 screen is stretched over the display.
  const float kx = Video_ScreenWidth / 640.0f, ky = Video_ScreenHeight / 480.0f;
  const GlyphRecord& g = Font_Glyphs['H'];
  const float ascent = 64 * Font_TmAscent / Font_TmHeight;
  const float left = 100 + 2 * g.originX, right = 100 + 2 * (g.originX + g.boxWidth);
  const float top = 100 + ascent - 2 * g.originY, bottom = top + 2 * g.boxHeight;
  int inside = 0, outside = 0;
  for (int y = 0; y < Video_ScreenHeight; y++)
    for (int x = 0; x < Video_ScreenWidth; x++) {
      const uint8_t* p = At(px, x, y);
      if (p[1] < 128) continue;
      const float sx = x / kx, sy = y / ky;
      if (sx >= left - 2 && sx <= right + 2 && sy >= top - 2 && sy <= bottom + 2)
        inside++;
      else
        outside++;
    }
  EXPECT_GT(inside, 200);
  EXPECT_EQ(outside, 0);
  // An H: the middle of its top edge is open, the middle of the crossbar is lit.
  const int midX = static_cast<int>((left + right) / 2 * kx);
  EXPECT_LT(At(px, midX, static_cast<int>((top + 3) * ky))[1], 64);
  int lit = 0;
  for (int y = static_cast<int>(top * ky); y < static_cast<int>(bottom * ky); y++) lit += At(px, midX, y)[1] > 128;
  EXPECT_GT(lit, 2);
}

TEST_F(Screen, ModeChangeResizesWindowAndRenderer) {
  const DisplayMode modes[] = {{32, 640, 480, 60}, {32, 800, 600, 60}};
  Video_SetModeList(modes, 2);
  Video_SetMode(0);
  EXPECT_EQ(std::vector<int>({Video_ScreenWidth, Render_ScreenWidth, Render_ScreenHeight, Plat_WindowWidth(),
                              Plat_WindowHeight()}),
            std::vector<int>({640, 640, 480, 640, 480}));
  EXPECT_STREQ(Var_Find("video_mode")->text, "640 480 60");
  // Drawing goes on at the new size.
  Begin();
  Picture pic = Quadrants();
  Draw2D_PictureSized(0, 0, 640, 480, &pic, 1, Color8{255, 255, 255, 255});
  ExpectPixels({{600, 20, 255, 255, 255}, {20, 460, 255, 0, 0}});
  Video_SetMode(1);
  EXPECT_EQ(Render_ScreenWidth + Plat_WindowWidth(), 1600);
}

TEST_F(Screen, GammaAppliedAndRestored) {
  uint16_t r[256], g[256], b[256];
  if (!PlatDisplay_GetGammaRamp(r, g, b)) GTEST_SKIP() << "the display has no gamma ramp";
  Video_SaveGamma();
  Var_Find("render_gamma")->value = 2.0f;
  Video_ApplyGamma();
  uint16_t want[256], now[256], ng[256], nb[256];
  Video_BuildGammaRamp(2.0f, want);
  if (PlatDisplay_GetGammaRamp(now, ng, nb)) {
    EXPECT_NEAR(now[128], want[128], 512);
  }
  Video_RestoreGamma();
  if (PlatDisplay_GetGammaRamp(now, ng, nb)) {
    EXPECT_NEAR(now[128], r[128], 512);
  }
  Var_Find("render_gamma")->value = 1.0f;
}

}  // namespace
