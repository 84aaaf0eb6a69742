// Display-mode listing and selection on made-up mode lists, the gamma ramp, the bitmap-font cells.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "foundation/mem.h"
#include "foundation/sys.h"
#include "foundation/var.h"
#include "foundation/video.h"
#include "platform/window.h"
#include "render/render.h"
#include "support/test_support.h"

namespace {

class Modes : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Video_Init(0); }
  void SetUp() override {
    Var_Find("video_windowed")->value = 1;  // no display switching in unit tests
    std::strcpy(Var_Find("video_mode")->text, "800 600 60");
  }
  static void List(std::vector<DisplayMode> rows) { Video_SetModeList(rows.data(), static_cast<int>(rows.size())); }
  static DisplayMode Current() {
    DisplayMode m{};
    EXPECT_EQ(Video_GetDisplayMode(Video_GetCurrentDisplayMode(), &m.bitsPerPixel, &m.width, &m.height, &m.refresh), 1);
    return m;
  }
  tw_test::TempDir dir_;
};

TEST_F(Modes, OnlyDeepModesOfTheSixSizesAreListedOnceAndSelectionFallsBackInOrder) {
  List({{32, 1024, 768, 60},
        {16, 800, 600, 60},   // too shallow
        {32, 1152, 864, 60},  // not an allowed size
        {24, 640, 480, 60},
        {32, 1024, 768, 60},  // the same row again
        {32, 1920, 1200, 60},
        {32, 512, 384, 75},
        {32, 1600, 1200, 60}});
  ASSERT_EQ(Video_GetModeCount(), 4);
  uint32_t bpp, w, h, hz;
  ASSERT_EQ(Video_GetMode(1, &bpp, &w, &h, &hz), 1);
  EXPECT_EQ(std::vector<uint32_t>({bpp, w}), std::vector<uint32_t>({24, 640}));
  EXPECT_EQ(Video_GetMode(4, &bpp, &w, &h, &hz), 0);
  std::vector<DisplayMode> rows(1100, DisplayMode{32, 640, 480, 60});
  for (uint32_t hz = 0; hz < 1100; hz++) rows[hz].refresh = hz;
  List(rows);
  EXPECT_EQ(Video_GetModeCount(), 1024);  // at most 1024 rows
  // Selection falls back in the fixed order.
  List({{32, 640, 480, 60}, {16, 1024, 768, 60}, {32, 1024, 768, 75}, {32, 1024, 768, 60},
        {24, 800, 600, 60}, {32, 800, 600, 60}});
  EXPECT_EQ(Video_FindMode("1024 768 60"), 2);  // the 16-bit row is not listed
  EXPECT_EQ(Video_FindMode("1024 768 85"), 1);   // same size, any refresh: the first listed
  EXPECT_EQ(Video_FindMode("1152 864 60"), 3);   // 800 x 600 at 60, the first listed (24 bits)
  EXPECT_EQ(Video_FindMode(nullptr), 3);
  EXPECT_EQ(Video_FindMode("640"), 3);           // 640 x 600 does not exist
  List({{32, 640, 480, 60}, {32, 1024, 768, 75}});
  EXPECT_EQ(Video_FindMode("1152 864 60"), 0);
}

TEST_F(Modes, SettingAModeRewritesTheSetting) {
  List({{32, 640, 480, 60}, {32, 1024, 768, 60}, {32, 1024, 768, 75}});
  Video_SetModeFromText("1024 768 85");
  EXPECT_STREQ(Var_Find("video_mode")->text, "1024 768 60");
  EXPECT_EQ(Video_ScreenWidth, 1024);
  EXPECT_EQ(Video_ScreenHeight, 768);
  Video_SetMode(99);  // clamped to the last row
  EXPECT_EQ(Current().refresh, 75u);
  EXPECT_STREQ(Var_Find("video_mode")->text, "1024 768 75");
  // No listed mode: the desktop and the setting are kept.
  List({{16, 640, 480, 60}});
  std::strcpy(Var_Find("video_mode")->text, "1024 768 60");
  Video_SetModeFromText("1024 768 60");
  EXPECT_STREQ(Var_Find("video_mode")->text, "1024 768 60");
  EXPECT_GT(Video_ScreenWidth, 0);
  EXPECT_EQ(Video_ChangeDisplayMode(0), 0);
  // A resized window sizes the frame and the 2D screen.
  List({{32, 800, 600, 60}});
  Video_SetModeFromText("800 600 60");
  const struct {
    int w, h, wantW, wantH;
  } cases[] = {{1000, 700, 1000, 700}, {0, 500, 1000, 700}, {640, -1, 1000, 700}, {800, 600, 800, 600}};
  for (const auto& c : cases) {
    PlatEvent ev{};
    ev.kind = PLATEV_RESIZED;
    ev.x = c.w;
    ev.y = c.h;
    Sys_WndProc(&ev);
    EXPECT_EQ(std::vector<int>({Video_ScreenWidth, Video_ScreenHeight, Render_ScreenWidth, Render_ScreenHeight}),
              std::vector<int>({c.wantW, c.wantH, c.wantW, c.wantH})) << c.w << "x" << c.h;
  }
}

TEST(Gamma, RampsStayInRangeAndOrderedBadSettingsAndRefusalsLogged) {
  uint16_t one[256], two[256];
  Video_BuildGammaRamp(1.0f, one);
  for (int i = 0; i < 255; i++) EXPECT_NEAR(one[i], (i + 0.5) / 255.5 * 65535, 1.0) << i;
  EXPECT_EQ(one[255], 65535);
  Video_BuildGammaRamp(2.0f, two);
  EXPECT_LT(two[128], one[128] * 0.6);  // darker in the middle
  EXPECT_EQ(two[255], 65535);
  // A setting of zero or less is ignored; a refused ramp is logged once.
  tw_test::TempDir dir;
  Video_Init(0);
  Sys_Debug.openLog = 0;  // each line goes straight to "log"
  VarRecord* gamma = Var_Find("render_gamma");
  ASSERT_NE(gamma, nullptr);
  for (float bad : {0.0f, -3.0f}) {
    gamma->value = bad;
    EXPECT_EQ(Video_ApplyGamma(), 0);
  }
  EXPECT_EQ(tw_test::CountOccurrences(tw_test::ReadFile("log"), "ignored (must be above 0)"), 2);
  gamma->value = 1.3f;  // no window here: the display refuses every ramp
  EXPECT_EQ(Video_ApplyGamma(), 0);
  EXPECT_EQ(Video_ApplyGamma(), 0);
  Sys_Debug.openLog = 1;
  std::string log = tw_test::ReadFile("log");
  EXPECT_EQ(tw_test::CountOccurrences(log, "refused the gamma ramp"), 1) << log;
  gamma->value = 1;
}

// The bitmap page's 256 cells: 8 x 16 texels on a 256 x 128 page, 32 to a row, corners in the
// order left top, right top, right bottom, left bottom.
TEST(BitmapFont, CellCoordinates) {
  Video_BuildBitmapCells();
  for (int i = 0; i < 256; i++) {
    const float left = 8.0f * float(i % 32) / 256.0f, right = 8.0f * float(i % 32 + 1) / 256.0f;
    const float top = 1.0f - 16.0f * float(i / 32) / 128.0f, bottom = 1.0f - 16.0f * float(i / 32 + 1) / 128.0f;
    const float want[4][2] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
    for (int k = 0; k < 4; k++) {
      EXPECT_FLOAT_EQ(Video_BitmapCells[i][k][0], want[k][0]) << i << " " << k;
      EXPECT_FLOAT_EQ(Video_BitmapCells[i][k][1], want[k][1]) << i << " " << k;
    }
  }
  EXPECT_FLOAT_EQ(Video_BitmapCells[65][0][0], 8.0f / 256);  // column 1, row 2
  EXPECT_FLOAT_EQ(Video_BitmapCells[65][0][1], 1.0f - 32.0f / 128);
  EXPECT_FLOAT_EQ(Video_BitmapCells[255][2][0], 1.0f);
  EXPECT_FLOAT_EQ(Video_BitmapCells[255][2][1], 0.0f);
}

}  // namespace
