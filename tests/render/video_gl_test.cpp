// Videos on a real OpenGL context (Mesa under the test display): a drawn WMV and AVI frame read
// back with its colour and orientation on both texture paths, and ten captured frames decoded
// back from "demo.avi".
#include <gtest/gtest.h>

// Test video specs name only the fields they change.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/sys.h"
#include "foundation/timer.h"
#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "platform/media_ffmpeg.h"
#include "platform/window.h"
#include "render/glext.h"
#include "render/render.h"
#include "render/video.h"
#include "support/render_support.h"
#include "tools/media_writer.h"
#include "world/game.h"

namespace {

struct Rgb {
  int r, g, b;
};

class VideoGl : public ::testing::Test {
 protected:
  // One window and renderer for the whole suite, the log in a private directory.
  static void SetUpTestSuite() {
    if (!tw_test::HaveDisplay()) return;
    suiteDir_ = new tw_test::TempDir;
    Sys_Debug.openLog = 1;
    Log_Open();
    tw_test::StartGlWindow("Tarnwick video test");
  }
  static void TearDownTestSuite() {
    if (!suiteDir_) return;
    tw_test::StopGlWindow();
    Log_Close();
    delete suiteDir_;
    suiteDir_ = nullptr;
  }
  void SetUp() override {
    if (!tw_test::HaveDisplay()) GTEST_SKIP() << "no display";
    ASSERT_EQ(RenderApi, 1u) << "the renderer did not start";
    w_ = Render_ScreenWidth;
    h_ = Render_ScreenHeight;
    TimeScale = 1.0f;
    Timer_FrameDelta = 0;
  }
  void TearDown() override {
    Movie_StopCapture();
    Movie_PlayAvi("", 0, 0, nullptr);
  }
  // The 2D view of the 640 x 480 screen: 90 degrees wide, looking along +y from the origin.
  void Begin2D() {
    Render_BeginFrame(0, 0, w_, h_);
    Render_SetPerspective(90.0f, 1000.0f, 1.0f);
    const float zero[3] = {0, 0, 0};
    Render_SetCamera(zero, zero);
    Render_SetDepthTest(0);
    Render_Clear(1, 0, 0, 0);
  }
  // Pixel at a point of the 640 x 480 screen (y downwards).
  Rgb At(float x, float y) const {
    unsigned char p[4] = {};
    int px = int(x * w_ / 640.0f), py = h_ - 1 - int(y * h_ / 480.0f);
    Render_ReadPixels(px, py, 1, 1, p);
    return {p[2], p[1], p[0]};
  }
  static void ExpectColour(const Rgb& got, int frame, int tolerance) {
    uint8_t want[3];
    Tools_TestFrameColour(frame, want);
    EXPECT_NEAR(got.r, want[0], tolerance);
    EXPECT_NEAR(got.g, want[1], tolerance);
    EXPECT_NEAR(got.b, want[2], tolerance);
  }
  static bool White(const Rgb& c) { return c.r > 230 && c.g > 230 && c.b > 230; }
  static bool Black(const Rgb& c) { return c.r + c.g + c.b < 10; }
  int w_ = 0, h_ = 0;
  static tw_test::TempDir* suiteDir_;
};
tw_test::TempDir* VideoGl::suiteDir_;

}  // namespace

TEST_F(VideoGl, DrawnWmvFrameOnBothTexturePaths) {
  ASSERT_TRUE(Tools_WriteTestVideo("show.wmv", {.container = "asf", .codec = "wmv2", .width = 160, .height = 120, .frames = 4}));
  for (int rectangle = 0; rectangle < 2; rectangle++) {
    SCOPED_TRACE(rectangle ? "rectangle texture" : "power-of-two texture");
    if (rectangle && !GlExtFlags.NV_texture_rectangle) continue;
    uint8_t saved = GlExtFlags.NV_texture_rectangle;
    GlExtFlags.NV_texture_rectangle = uint8_t(rectangle);
    MovieWmv* m = Movie_OpenWmv("show");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->textureWidth, rectangle ? 160u : 256u);
    Timer_FrameDelta = 0.05;
    ASSERT_EQ(Movie_UpdateWmv(m), 1);  // frame 2
    Begin2D();
    Movie_DrawWmv(m, nullptr);
    ExpectColour(At(400, 300), 2, 12);
    // The marker at the top left, not at the bottom left nor at the top right.
    EXPECT_EQ(std::vector<bool>({White(At(20, 20)), White(At(20, 460)), White(At(620, 20))}),
              std::vector<bool>({true, false, false}));
    // Into a rectangle of the screen: outside it stays black.
    Begin2D();
    const float rect[4] = {320, 240, 640, 480};
    Movie_DrawWmv(m, rect);
    ExpectColour(At(500, 400), 2, 12);
    EXPECT_TRUE(White(At(335, 255)));
    EXPECT_TRUE(Black(At(100, 100)));
    Movie_CloseWmv(&m);
    GlExtFlags.NV_texture_rectangle = saved;
  }
}

TEST_F(VideoGl, DrawnAviFrameIsLetterboxed) {
  ASSERT_TRUE(Tools_WriteTestVideo("wide.avi", {.width = 160, .height = 68, .frames = 24}));  // 640 x 272 in shape
  ASSERT_NE(Movie_PlayAvi("wide", 0.5f, 0, nullptr), 0u);  // frame 12
  Begin2D();
  Movie_DrawAvi(nullptr);
  ExpectColour(At(400, 240), 12, 12);
  EXPECT_TRUE(White(At(5, 110)));  // the marker at the top left of the picture
  for (float y : {50.0f, 430.0f}) EXPECT_TRUE(Black(At(320, y))) << "the bar at " << y << " is not black";
}

TEST_F(VideoGl, CapturedFramesDecodeBack) {
  Movie_StartCapture();
  ASSERT_EQ(Movie_IsCapturing(), 1);
  const int marker = 32;
  for (int i = 0; i < 10; i++) {
    uint8_t c[3];
    Tools_TestFrameColour(i, c);
    Render_BeginFrame(0, 0, w_, h_);
    Render_Clear(1, c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f);
    Render_SetScissor(0, h_ - marker, marker, marker);
    Render_Clear(1, 1, 1, 1);
    Render_SetScissor(0, 0, w_, h_);
    Movie_CaptureFrame();
  }
  Movie_StopCapture();
  std::vector<uint8_t> bytes = tw_test::ReadBytes("demo.avi");
  MediaVideo* v = MediaVideo_Open(bytes.data(), uint32_t(bytes.size()), 0, 0);
  ASSERT_NE(v, nullptr);
  MediaVideoInfo info;
  MediaVideo_GetInfo(v, &info);
  EXPECT_DOUBLE_EQ(info.frameRate, 24.0);
  EXPECT_EQ(std::vector<int>({int(info.frameCount), info.width, info.height}), std::vector<int>({10, w_, h_}));
  std::vector<uint8_t> px(size_t(w_) * h_ * 4);
  int frames = 0;
  while (MediaVideo_DecodeNext(v, nullptr, nullptr) == 1) {
    ASSERT_EQ(MediaVideo_ConvertLast(v, px.data()), 1);
    auto pixel = [&](int x, int yFromTop) {
      const uint8_t* p = &px[(size_t(h_ - 1 - yFromTop) * w_ + x) * 4];
      return Rgb{p[2], p[1], p[0]};
    };
    ExpectColour(pixel(w_ / 2, h_ / 2), frames, 6);
    EXPECT_TRUE(White(pixel(marker / 2, marker / 2))) << frames;
    EXPECT_FALSE(White(pixel(marker / 2, h_ - marker / 2))) << frames;
    frames++;
  }
  EXPECT_EQ(frames, 10);
  MediaVideo_Close(v);
}
