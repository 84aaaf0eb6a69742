// The texture table and the picture arithmetic of the upload path, without OpenGL.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/sys.h"
#include "render/image.h"
#include "render/material.h"
#include "render/render.h"
#include "render/texture.h"
#include "support/test_support.h"

namespace {

TEST(TextureMath, Log2Ceil) {
  EXPECT_EQ(OPENGL_Log2Ceil(0), 0);
  EXPECT_EQ(OPENGL_Log2Ceil(1), 0);
  EXPECT_EQ(OPENGL_Log2Ceil(2), 1);
  EXPECT_EQ(OPENGL_Log2Ceil(3), 2);
  EXPECT_EQ(OPENGL_Log2Ceil(2048), 11);
  EXPECT_EQ(OPENGL_Log2Ceil(4096), 12);
  EXPECT_EQ(OPENGL_Log2Ceil(4097), 13);
}

std::vector<uint8_t> Picture(int w, int h, int bpp) {
  std::vector<uint8_t> p(size_t(w) * size_t(h) * size_t(bpp));
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
      for (int k = 0; k < bpp; k++) p[(size_t(y) * size_t(w) + size_t(x)) * size_t(bpp) + size_t(k)] = uint8_t(x * 2 + y * 7 + k * 50);
  return p;
}

TEST(TextureMath, PadRepeatsTheLastColumnAndRow) {
  const int w = 100, h = 60, dw = 128, dh = 64;
  for (int bpp : {1, 2, 3, 4}) {
    std::vector<uint8_t> src = Picture(w, h, bpp), dst(size_t(dw) * dh * size_t(bpp));
    Tex_PadPicture(src.data(), w, h, dst.data(), dw, dh, bpp);
    auto at = [&](const std::vector<uint8_t>& v, int stride, int x, int y) {
      return &v[(size_t(y) * size_t(stride) + size_t(x)) * size_t(bpp)];
    };
    for (int y = 0; y < dh; y++)
      for (int x = 0; x < dw; x++) {
        int sx = x < w ? x : w - 1, sy = y < h ? y : h - 1;
        ASSERT_EQ(0, std::memcmp(at(dst, dw, x, y), at(src, w, sx, sy), size_t(bpp))) << x << "," << y;
      }
  }
}

TEST(TextureMath, StretchSamplesNearest) {
  std::vector<uint8_t> src = Picture(100, 60, 4), dst(128 * 64 * 4);
  Tex_StretchPicture(src.data(), 100, 60, dst.data(), 128, 64, 4);
  for (int y = 0; y < 64; y += 5)
    for (int x = 0; x < 128; x += 3) {
      int sx = x * 100 / 128, sy = y * 60 / 64;
      ASSERT_EQ(0, std::memcmp(&dst[(size_t(y) * 128 + size_t(x)) * 4], &src[(size_t(sy) * 100 + size_t(sx)) * 4], 4));
    }
  // Shrinking works too (a picture larger than the texture can be).
  std::vector<uint8_t> small(16 * 8 * 3);
  std::vector<uint8_t> big = Picture(3000, 20, 3);
  Tex_StretchPicture(big.data(), 3000, 20, small.data(), 16, 8, 3);
  EXPECT_EQ(0, std::memcmp(&small[3 * 3], &big[size_t(3 * 3000 / 16) * 3], 3));
}

TEST(TextureMath, BoxFilterTruncates) {
  // 2 x 2 -> 1 x 1: (1 + 2 + 2 + 2) / 4 = 1 (truncated).
  uint8_t a[4] = {1, 2, 2, 2}, out[4] = {};
  Tex_BoxFilter(a, 2, 2, out, 1);
  EXPECT_EQ(out[0], 1);
  // 4 x 1 -> 2 x 1: pairs.
  uint8_t row[4 * 3] = {0, 0, 0, 255, 255, 255, 10, 20, 30, 11, 21, 31};
  uint8_t half[2 * 3];
  Tex_BoxFilter(row, 4, 1, half, 3);
  EXPECT_EQ(half[0], 127);
  EXPECT_EQ(half[3], 10);
  EXPECT_EQ(half[5], 30);
  // 1 x 4 -> 1 x 2: columns.
  uint8_t col[4 * 2] = {9, 1, 10, 2, 100, 3, 101, 4};
  uint8_t halfCol[2 * 2];
  Tex_BoxFilter(col, 1, 4, halfCol, 2);
  EXPECT_EQ(halfCol[0], 9);
  EXPECT_EQ(halfCol[1], 1);
  EXPECT_EQ(halfCol[2], 100);
  EXPECT_EQ(halfCol[3], 3);
}

TEST(TextureMath, Dxt1RepackOnlyForFourColourBlocks) {
  uint8_t four[16] = {0x00, 0xF8, 0x1F, 0x00, 1, 2, 3, 4, 0xFF, 0xFF, 0x00, 0x00, 5, 6, 7, 8};
  EXPECT_TRUE(Tex_Dxt1AllFourColour(four, 2));
  uint8_t three[16] = {0x00, 0xF8, 0x1F, 0x00, 1, 2, 3, 4, 0x1F, 0x00, 0x00, 0xF8, 5, 6, 7, 8};
  EXPECT_FALSE(Tex_Dxt1AllFourColour(three, 2));
  uint8_t equal[8] = {0x34, 0x12, 0x34, 0x12, 0, 0, 0, 0};
  EXPECT_FALSE(Tex_Dxt1AllFourColour(equal, 1));
  uint8_t out[32];
  Tex_Dxt1ToDxt3(four, 2, out);
  for (int i = 0; i < 8; i++) EXPECT_EQ(out[i], 0xFF);
  EXPECT_EQ(0, std::memcmp(out + 8, four, 8));
  for (int i = 16; i < 24; i++) EXPECT_EQ(out[i], 0xFF);
  EXPECT_EQ(0, std::memcmp(out + 24, four + 8, 8));
}

class TextureTable : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = Sys_Debug;
    Sys_Debug.openLog = 1;
    Log_Open();
    RenderApi = RENDER_API_NONE;
    Tex_FreeAll();
  }
  void TearDown() override {
    Tex_FreeAll();
    Log_Close();
    Sys_Debug = saved_;
  }
  tw_test::TempDir dir_;
  DebugSwitches saved_{};
};

TEST_F(TextureTable, FreeAllLeavesTheEmptyTexture) {
  uint32_t g = Tex_GetGeneration();
  EXPECT_GT(Tex_Create("a", 0x0DE1), 0);
  Tex_FreeAll();
  EXPECT_EQ(Tex_GetGeneration(), g + 1);
  EXPECT_EQ(Tex_Count, 1);
  EXPECT_EQ(Tex_Table[0].name[0], 0);
  EXPECT_EQ(Tex_Table[0].handle, 0u);
  EXPECT_EQ(Tex_Table[0].texWidth, 32);
  EXPECT_EQ(Tex_Table[0].texHeight, 32);
  EXPECT_EQ(Tex_Table[0].target, 0x0DE1u);
  EXPECT_EQ(Material_Count, 1);
  EXPECT_EQ(Material_Table[0].frameCount, 1);
  EXPECT_EQ(Material_Table[0].frameTexture[0], 0u);
}

TEST_F(TextureTable, FindByNameIgnoresCase) {
  int a = Tex_Create("Sky\\Clouds", 0x0DE1);
  int b = Tex_Create("ground", 0x0DE1);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(Tex_FindByName("sky\\clouds"), a);
  EXPECT_EQ(Tex_FindByName("GROUND"), b);
  EXPECT_EQ(Tex_FindByName(""), 0);
  EXPECT_EQ(Tex_FindByName(nullptr), 0);
  EXPECT_EQ(Tex_FindByName("nothing"), 0);
  // Tex_Create does not search: a second record of the same name; the lowest index is found.
  int c = Tex_Create("GROUND", 0x0DE1);
  EXPECT_EQ(c, 3);
  EXPECT_EQ(Tex_FindByName("ground"), b);
  uint32_t handle = 99;
  int32_t fromDds = 7;
  EXPECT_EQ(Tex_GetBindInfo(b, &handle, &fromDds), 1);
  EXPECT_EQ(Tex_GetBindInfo(5000, &handle, &fromDds), 0);
  EXPECT_EQ(handle, 0u);
  EXPECT_EQ(Tex_GetBindInfo(-1, &handle, &fromDds), 0);
}

TEST_F(TextureTable, FullTableAndLongNamesAreRefused) {
  char name[32];
  for (int i = 1; i < kMaxTextures; i++) {
    std::snprintf(name, sizeof name, "t%d", i);
    ASSERT_EQ(Tex_Create(name, 0x0DE1), i);
  }
  EXPECT_EQ(Tex_Create("one too many", 0x0DE1), 0);
  EXPECT_EQ(Tex_Count, kMaxTextures);
  EXPECT_NE(tw_test::ReadFile("log").find("Tex_Create: no room for one too many"), std::string::npos);
  Tex_FreeAll();
  EXPECT_EQ(Tex_Create(std::string(256, 'x').c_str(), 0x0DE1), 0);
  EXPECT_GT(Tex_Create(std::string(255, 'x').c_str(), 0x0DE1), 0);
}

}  // namespace
