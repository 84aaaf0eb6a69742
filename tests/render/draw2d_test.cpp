// Picture corners, rotation, clipping and wrap state, read from the recording GL table.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/video.h"
#include "platform/gl_dispatch.h"
#include "render/draw2d.h"
#include "render/material.h"
#include "render/render.h"
#include "render/texture.h"
#include "support/test_support.h"
#include "tools/image_writer.h"

namespace {

struct Vtx {
  float x, y, z, u, v;
  int r, g, b, a;
};

std::vector<Vtx> Vertices() {
  std::vector<Vtx> out;
  Vtx cur{};
  for (const std::string& call : GlRecord_Calls()) {
    if (std::sscanf(call.c_str(), "glColor4ubv([%d, %d, %d, %d])", &cur.r, &cur.g, &cur.b, &cur.a) == 4) continue;
    if (std::sscanf(call.c_str(), "glTexCoord2fv([%f, %f])", &cur.u, &cur.v) == 2) continue;
    if (std::sscanf(call.c_str(), "glVertex3fv([%f, %f, %f])", &cur.x, &cur.y, &cur.z) == 3) out.push_back(cur);
  }
  return out;
}

// The last wrap mode set on GL_TEXTURE_WRAP_S.
long LastWrap() {
  long mode = -1;
  const std::string prefix = "glTexParameteri(" + std::to_string(GL_TEXTURE_2D) + ", " +
                             std::to_string(GL_TEXTURE_WRAP_S) + ", ";
  for (const std::string& call : GlRecord_Calls())
    if (call.rfind(prefix, 0) == 0) mode = std::stol(call.substr(prefix.size()));
  return mode;
}

class Pictures : public ::testing::Test {
 protected:
  void SetUp() override {
    GlDispatch_InstallRecording();
    RenderApi = RENDER_API_OPENGL;
    Tex_FreeAll();
    Video_ScreenWidth = 800;
    Video_ScreenHeight = 600;
    // 100 x 50, padded into a 128 x 64 texture.
    ImageTool_Save("pic.tga", ImageTool_WriteTGA(ImageTool_Pattern(100, 50, 1, false), 32));
    ASSERT_EQ(Draw2D_LoadPicture("pic", &pic_), 50);
    ASSERT_EQ(pic_.width, 100);
    GlRecord_Clear();
  }
  void TearDown() override {
    Tex_FreeAll();
    RenderApi = RENDER_API_NONE;
    GlDispatch_Clear();
  }
  tw_test::TempDir dir_;
  Picture pic_{};
  Color8 white_{255, 255, 255, 255};
};

TEST_F(Pictures, LoadingANameTwiceUsesTheSameMaterial) {
  Picture again{};
  EXPECT_EQ(Draw2D_LoadPicture("pic", &again), 50);
  EXPECT_EQ(again.material, pic_.material);
  Picture none{7, 7, 7};
  EXPECT_EQ(Draw2D_LoadPicture("missing", &none), 0);
  EXPECT_EQ(none.width, 0);
  EXPECT_EQ(none.material, 0);
}

TEST_F(Pictures, CornersOnBothScreens) {
  Draw2D_PictureSized(0, 0, 640, 480, &pic_, 1, white_);
  auto v = Vertices();
  ASSERT_EQ(v.size(), 6u);
  // Bottom-left, bottom-right, top-right, then top-right, top-left, bottom-left.
  EXPECT_NEAR(v[0].x, 0.6f - 320, 1e-3);
  EXPECT_NEAR(v[0].y, 320, 1e-3);
  EXPECT_NEAR(v[0].z, 240 + 0.6f - 480, 1e-3);
  EXPECT_NEAR(v[2].x, 640 + 0.6f - 320, 1e-3);
  EXPECT_NEAR(v[2].z, 240.6f, 1e-3);
  EXPECT_NEAR(v[4].x, v[0].x, 1e-3);
  EXPECT_NEAR(v[4].z, v[2].z, 1e-3);
  // Texture: the picture's part of the padded texture, v = 0 at the bottom edge.
  EXPECT_FLOAT_EQ(v[0].u, 0);
  EXPECT_FLOAT_EQ(v[0].v, 0);
  EXPECT_NEAR(v[2].u, 100.0 / 128, 1e-5);
  EXPECT_NEAR(v[2].v, 50.0 / 64, 1e-5);
  GlRecord_Clear();
  Draw2D_PictureAt(10, 20, &pic_, 0, Color8{10, 20, 30, 40});
  v = Vertices();
  ASSERT_EQ(v.size(), 6u);
  EXPECT_NEAR(v[0].x, 10 + 0.6f - 400, 1e-3);
  EXPECT_NEAR(v[0].y, 400, 1e-3);
  EXPECT_NEAR(v[0].z, 300 + 0.6f - 70, 1e-3);
  EXPECT_EQ(v[0].r, 10);
  EXPECT_EQ(v[5].a, 40);
}

TEST_F(Pictures, QuarterTurnKeepsTheCentre) {
  Draw2D_Picture(100, 100, 200, 100, &pic_, 1, white_, static_cast<float>(M_PI / 2));
  auto v = Vertices();
  ASSERT_EQ(v.size(), 6u);
  float minX = 1e9, maxX = -1e9, minZ = 1e9, maxZ = -1e9;
  for (auto& p : v) {
    minX = std::fmin(minX, p.x);
    maxX = std::fmax(maxX, p.x);
    minZ = std::fmin(minZ, p.z);
    maxZ = std::fmax(maxZ, p.z);
  }
  // Upright 100 x 200 about the centre (200, 150).
  EXPECT_NEAR(maxX - minX, 100, 1e-3);
  EXPECT_NEAR(maxZ - minZ, 200, 1e-3);
  EXPECT_NEAR((minX + maxX) / 2, 200 + 0.6f - 320, 1e-3);
  EXPECT_NEAR((minZ + maxZ) / 2, 240 + 0.6f - 150, 1e-3);
  // Counter-clockwise: the bottom-right corner (u = su, v = 0) went to the top right.
  EXPECT_NEAR(v[1].x, maxX, 1e-3);
  EXPECT_NEAR(v[1].z, maxZ, 1e-3);
}

TEST_F(Pictures, ClippingCutsPositionsAndTextureAlike) {
  Draw2D_PictureSized(50, 60, 200, 100, &pic_, 1, white_);
  auto sized = Vertices();
  GlRecord_Clear();
  Draw2D_PictureClipped(50, 60, 200, 100, &pic_, 1, white_, 0, 0, 640, 480);
  auto inside = Vertices();
  ASSERT_EQ(inside.size(), sized.size());
  for (size_t i = 0; i < sized.size(); i++) {
    EXPECT_NEAR(inside[i].x, sized[i].x, 1e-4);
    EXPECT_NEAR(inside[i].z, sized[i].z, 1e-4);
    EXPECT_NEAR(inside[i].u, sized[i].u, 1e-6);
    EXPECT_NEAR(inside[i].v, sized[i].v, 1e-6);
  }
  GlRecord_Clear();
  Draw2D_PictureClipped(50, 60, 200, 100, &pic_, 1, white_, 0, 0, 150, 480);  // right half away
  auto half = Vertices();
  ASSERT_EQ(half.size(), 6u);
  EXPECT_NEAR(half[2].u, 100.0 / 128 / 2, 1e-5);
  EXPECT_NEAR(half[2].x, 150 + 0.6f - 320, 1e-3);
  GlRecord_Clear();
  Draw2D_PictureClipped(50, 60, 200, 100, &pic_, 1, white_, 0, 0, 640, 110);  // bottom half away
  auto top = Vertices();
  ASSERT_EQ(top.size(), 6u);
  EXPECT_NEAR(top[0].v, 50.0 / 64 / 2, 1e-5);
  EXPECT_NEAR(top[2].v, 50.0 / 64, 1e-5);
  GlRecord_Clear();
  Draw2D_PictureClipped(50, 60, 200, 100, &pic_, 1, white_, 300, 0, 10, 10);  // outside
  EXPECT_TRUE(Vertices().empty());
}

TEST_F(Pictures, EmptyPicturesAndSizesDrawNothing) {
  Picture zero{0, 50, pic_.material};
  Draw2D_PictureAt(0, 0, nullptr, 1, white_);
  Draw2D_PictureAt(0, 0, &zero, 1, white_);
  Draw2D_PictureRotated(0, 0, &zero, 1, white_, 1.0f);
  Draw2D_PictureSized(0, 0, 100, 100, &zero, 1, white_);
  Draw2D_PictureSized(0, 0, 0, 100, &pic_, 1, white_);
  Draw2D_PictureSized(0, 0, 100, 0, &pic_, 1, white_);
  Draw2D_PictureClipped(0, 0, 0, 100, &pic_, 1, white_, 0, 0, 640, 480);
  Draw2D_PictureClipped(0, 0, 100, 0, &pic_, 1, white_, 0, 0, 640, 480);
  Draw2D_PictureClipped(0, 0, 100, 100, nullptr, 1, white_, 0, 0, 640, 480);
  EXPECT_TRUE(Vertices().empty());
  for (auto& c : GlRecord_Calls()) EXPECT_EQ(c.find("nan"), std::string::npos) << c;
}

TEST_F(Pictures, WrapIsRepeatAfterPicturesAndTheCallersAfterQuads) {
  Draw2D_PictureAt(0, 0, &pic_, 1, white_);
  EXPECT_EQ(LastWrap(), GL_REPEAT);
  Draw2D_PictureClipped(0, 0, 100, 50, &pic_, 1, white_, 0, 0, 50, 50);
  EXPECT_EQ(LastWrap(), GL_REPEAT);
  const float pos[4][3] = {{0, 1, 0}, {0, 1, 1}, {1, 1, 0}, {1, 1, 1}};
  const float uv[4][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};
  const float colors[4][4] = {{1.5f, -0.2f, 0.5f, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}};
  GlRecord_Clear();
  Draw2D_Quad(pos, uv, colors, static_cast<uint32_t>(pic_.material), 0);
  EXPECT_EQ(LastWrap(), GL_CLAMP_TO_EDGE);
  auto v = Vertices();
  ASSERT_EQ(v.size(), 6u);
  // Triangles (0, 1, 2) and (3, 2, 1); colours clamped into bytes.
  EXPECT_FLOAT_EQ(v[3].x, 1);
  EXPECT_FLOAT_EQ(v[3].z, 1);
  EXPECT_EQ(v[0].r, 255);
  EXPECT_EQ(v[0].g, 0);
  EXPECT_EQ(v[0].b, 127);
}

TEST(ColorBytes, ClampedAndTruncated) {
  EXPECT_EQ(Draw2D_ColorByte(0.5f), 127);
  EXPECT_EQ(Draw2D_ColorByte(1.0f), 255);
  EXPECT_EQ(Draw2D_ColorByte(7.0f), 255);
  EXPECT_EQ(Draw2D_ColorByte(-1.0f), 0);
  EXPECT_EQ(Draw2D_ColorByte(std::nanf("")), 0);
}

}  // namespace
