// Texture uploads on the real OpenGL driver, read back with glGetTexImage; materials from files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/image.h"
#include "render/material.h"
#include "render/render.h"
#include "render/texture.h"
#include "support/render_support.h"
#include "tools/image_writer.h"
#include "tools/material_writer.h"

namespace {

class TextureGl : public tw_test::GlWindowTest {
 protected:
  static void SetUpTestSuite() { StartSuite("texture test"); }
  void SetUp() override {
    GlWindowTest::SetUp();
    if (IsSkipped()) return;
    flags_ = GlExtFlags;
    dxt3_ = render_dxt1_as_dxt3.value;
  }
  void TearDown() override {
    if (!up_) return;
    Tex_FreeAll();
    GlExtFlags = flags_;
    render_dxt1_as_dxt3.value = dxt3_;
    GlWindowTest::TearDown();
  }
  static std::vector<uint8_t> ReadLevel(GLenum target, int level, GLenum format, int bpp) {
    GLint w = 0, h = 0;
    gl.glGetTexLevelParameteriv(target, level, GL_TEXTURE_WIDTH, &w);
    gl.glGetTexLevelParameteriv(target, level, GL_TEXTURE_HEIGHT, &h);
    std::vector<uint8_t> out(size_t(w) * size_t(h) * size_t(bpp));
    gl.glPixelStorei(GL_PACK_ALIGNMENT, 1);
    gl.glGetTexImage(target, level, format, GL_UNSIGNED_BYTE, out.data());
    return out;
  }
  static GLint LevelParam(GLenum target, int level, GLenum what) {
    GLint v = 0;
    gl.glGetTexLevelParameteriv(target, level, what, &v);
    return v;
  }
  // Draws the texture over a 16 x 16 square with filter kind `kind`, returns the centre pixel
  // (B, G, R, A); untextured drawing would be white.
  static std::vector<uint8_t> DrawCentre(int texture, int kind) {
    Render_BeginFrame(0, 0, 16, 16);
    gl.glMatrixMode(GL_PROJECTION);
    gl.glLoadIdentity();
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glLoadIdentity();
    gl.glDisable(GL_DEPTH_TEST);
    gl.glDisable(GL_BLEND);
    gl.glDisable(GL_ALPHA_TEST);
    gl.glDisable(GL_CULL_FACE);
    Tex_Bind(0, texture, kind);
    gl.glEnable(GL_TEXTURE_2D);
    gl.glColor4ub(255, 255, 255, 255);
    gl.glBegin(GL_QUADS);
    gl.glTexCoord2f(0, 0); gl.glVertex2f(-1, -1);
    gl.glTexCoord2f(1, 0); gl.glVertex2f(1, -1);
    gl.glTexCoord2f(1, 1); gl.glVertex2f(1, 1);
    gl.glTexCoord2f(0, 1); gl.glVertex2f(-1, 1);
    gl.glEnd();
    gl.glDisable(GL_TEXTURE_2D);
    std::vector<uint8_t> px(4);
    gl.glReadPixels(8, 8, 1, 1, GL_BGRA, GL_UNSIGNED_BYTE, px.data());
    return px;
  }
  GlExtFlagSet flags_{};
  float dxt3_ = 0;
};

TEST_F(TextureGl, PowerOfTwoPicturesGoUpUnchangedOthersPaddedFreeAllDeletesThemAndThreeByteRowsPadByTheirTexel) {
  ToolImage img = ImageTool_Pattern(256, 256, 1, true);
  int t = Tex_Create("pic", GL_TEXTURE_2D);
  ASSERT_GT(t, 0);
  OPENGL_LoadTexture(t, GL_TEXTURE_2D, 256, 256, kImgBGRA, img.bgra.data(), 1, 0, 0);
  EXPECT_EQ(ReadLevel(GL_TEXTURE_2D, 0, GL_BGRA, 4), img.bgra);
  EXPECT_NE(Log().find("OPENGL_LoadTexture:OK=256x256->256x256x4\n"), std::string::npos);
  // 100 x 60 goes into 128 x 64 with the last column and row repeated; it keeps its pixel size.
  img = ImageTool_Pattern(100, 60, 2, false);
  t = Tex_Create("pad", GL_TEXTURE_2D);
  OPENGL_LoadTexture(t, GL_TEXTURE_2D, 100, 60, kImgBGRA, img.bgra.data(), 0, 0, 0);
  const TextureRecord& r = Tex_Table[t];
  EXPECT_EQ(std::vector<float>({float(r.texWidth), float(r.texHeight), float(r.width), r.scaleU, r.scaleV}),
            std::vector<float>({128, 64, 100, 0.78125f, 0.9375f}));
  std::vector<uint8_t> got = ReadLevel(GL_TEXTURE_2D, 0, GL_BGRA, 4);
  ASSERT_EQ(got.size(), 128u * 64 * 4);
  EXPECT_EQ(0, std::memcmp(&got[(10 * 128 + 127) * 4], img.At(99, 10), 3));
  EXPECT_EQ(0, std::memcmp(&got[(63 * 128 + 5) * 4], img.At(5, 59), 3));
  // Emptying the table deletes the texture objects.
  const GLuint handle = r.handle;
  EXPECT_TRUE(gl.glIsTexture(handle));
  Tex_FreeAll();
  EXPECT_FALSE(gl.glIsTexture(handle));
  // Three-byte rows of odd width are padded by their own texel size.
  img = ImageTool_Pattern(30, 10, 3, false);
  std::vector<uint8_t> bgr;
  for (size_t i = 0; i < img.bgra.size(); i += 4) bgr.insert(bgr.end(), &img.bgra[i], &img.bgra[i] + 3);
  t = Tex_Create("bgr", GL_TEXTURE_2D);
  OPENGL_LoadTexture(t, GL_TEXTURE_2D, 30, 10, kImgBGR, bgr.data(), 0, 0, 0);
  std::vector<uint8_t> want(32 * 16 * 3);
  Tex_PadPicture(bgr.data(), 30, 10, want.data(), 32, 16, 3);
  EXPECT_EQ(ReadLevel(GL_TEXTURE_2D, 0, GL_BGR, 3), want);
}

TEST_F(TextureGl, StretchedWithOwnMipmapsAndSingleLevelsDrawWithMipmapFilters) {
  GlExtFlags.SGIS_generate_mipmap = 0;
  ToolImage img = ImageTool_Pattern(100, 60, 4, true);
  int t = Tex_Create("mip", GL_TEXTURE_2D);
  OPENGL_LoadTexture(t, GL_TEXTURE_2D, 100, 60, kImgBGRA, img.bgra.data(), 1, 1, 0);
  EXPECT_EQ(std::vector<float>({float(Tex_Table[t].width), float(Tex_Table[t].height), Tex_Table[t].scaleU}),
            std::vector<float>({128, 64, 1}));
  std::vector<uint8_t> level0(128 * 64 * 4), level1(64 * 32 * 4);
  Tex_StretchPicture(img.bgra.data(), 100, 60, level0.data(), 128, 64, 4);
  EXPECT_EQ(ReadLevel(GL_TEXTURE_2D, 0, GL_BGRA, 4), level0);
  Tex_BoxFilter(level0.data(), 128, 64, level1.data(), 4);
  EXPECT_EQ(ReadLevel(GL_TEXTURE_2D, 1, GL_BGRA, 4), level1);
  EXPECT_EQ(LevelParam(GL_TEXTURE_2D, 7, GL_TEXTURE_WIDTH) + LevelParam(GL_TEXTURE_2D, 7, GL_TEXTURE_HEIGHT), 2);
  auto px = DrawCentre(t, 2);
  EXPECT_FALSE(px[0] == 255 && px[1] == 255 && px[2] == 255);
  // Single-level textures draw textured with mipmap filters: a DDS with no mip levels loaded for
  // mipmapped drawing, and an uncompressed picture loaded without mipmaps.
  std::vector<uint8_t> dds = ImageTool_MakeDDS(ImageTool_Solid(16, 16, 0, 0, 255, 255), kImgDXT1, 0);
  t = Tex_Create("flat", GL_TEXTURE_2D);
  OPENGL_LoadTexture(t, GL_TEXTURE_2D, 16, 16, kImgDXT1, dds.data() + 128, 0, 1, 0);
  px = DrawCentre(t, 2);
  EXPECT_TRUE(px[2] > 200 && px[1] < 40);
  ToolImage blue = ImageTool_Solid(16, 16, 255, 0, 0, 255);
  int u = Tex_Create("pict", GL_TEXTURE_2D);
  OPENGL_LoadTexture(u, GL_TEXTURE_2D, 16, 16, kImgBGRA, blue.bgra.data(), 0, 0, 0);
  px = DrawCentre(u, 2);
  EXPECT_TRUE(px[0] > 200 && px[1] < 40);
}

TEST_F(TextureGl, DriverMipmapsWhenOffered) {
  if (!OPENGL_HasExtension("GL_SGIS_generate_mipmap")) GTEST_SKIP() << "no GL_SGIS_generate_mipmap";
  GlExtFlags.SGIS_generate_mipmap = 1;
  ToolImage img = ImageTool_Solid(64, 64, 10, 200, 30, 255);
  int t = Tex_Create("sgis", GL_TEXTURE_2D);
  OPENGL_LoadTexture(t, GL_TEXTURE_2D, 64, 64, kImgBGRA, img.bgra.data(), 0, 1, 0);
  EXPECT_EQ(LevelParam(GL_TEXTURE_2D, 6, GL_TEXTURE_WIDTH), 1);
  std::vector<uint8_t> last = ReadLevel(GL_TEXTURE_2D, 6, GL_BGRA, 4);
  EXPECT_NEAR(last[1], 200, 1);
}

TEST_F(TextureGl, Dxt1GoesUpAsDxt3OnlyWhenEveryBlockHasFourColours) {
  render_dxt1_as_dxt3.value = 1;
  ToolImage img = ImageTool_Pattern(256, 256, 5, false);
  std::vector<uint8_t> dds = ImageTool_MakeDDS(img, kImgDXT1, 9);
  int t = Tex_Create("dxt", GL_TEXTURE_2D);
  OPENGL_LoadTexture(t, GL_TEXTURE_2D, 256, 256, kImgDXT1, dds.data() + 128, 0, 1, 9);
  for (int level = 0; level < 9; level++) {
    EXPECT_EQ(LevelParam(GL_TEXTURE_2D, level, GL_TEXTURE_INTERNAL_FORMAT), GLint(kImgDXT3)) << level;
    EXPECT_EQ(LevelParam(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH), 256 >> level);
  }
  EXPECT_EQ(LevelParam(GL_TEXTURE_2D, 8, GL_TEXTURE_COMPRESSED_IMAGE_SIZE), 16);
  // The re-packed texture still shows the same colours, fully opaque.
  std::vector<uint8_t> got = ReadLevel(GL_TEXTURE_2D, 0, GL_BGRA, 4);
  std::vector<uint8_t> soft(256 * 256 * 4);
  DDS_DecodeDXT1(dds.data() + 128, soft.data(), 256, 256);
  for (size_t i = 0; i < soft.size(); i += 4 * 97) {
    EXPECT_EQ(got[i + 3], 255);
    for (int k = 0; k < 3; k++) EXPECT_NEAR(got[i + size_t(k)], soft[i + size_t(k)], 12) << i;
  }
  // A transparent texel makes a three-colour block: the texture stays DXT1.
  img = ImageTool_Pattern(8, 8, 6, false);
  img.At(1, 1)[3] = 0;
  std::vector<uint8_t> blocks = ImageTool_EncodeDXT(img, kImgDXT1A);
  t = Tex_Create("punch", GL_TEXTURE_2D);
  OPENGL_LoadTexture(t, GL_TEXTURE_2D, 8, 8, kImgDXT1A, blocks.data(), 1, 0, 0);
  EXPECT_EQ(LevelParam(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), GLint(kImgDXT1A));
  got = ReadLevel(GL_TEXTURE_2D, 0, GL_BGRA, 4);
  soft.assign(8 * 8 * 4, 0);
  DDS_DecodeDXT1(blocks.data(), soft.data(), 8, 8);
  EXPECT_EQ(got[(1 * 8 + 1) * 4 + 3], 0);
  for (size_t i = 0; i < soft.size(); i++) EXPECT_NEAR(got[i], soft[i], 8) << i;
}

TEST_F(TextureGl, MaterialsFromPictureFiles) {
  ToolImage img = ImageTool_Pattern(100, 60, 7, false);
  ASSERT_TRUE(ImageTool_Save("hud.bmp", ImageTool_WriteBMP(img)));
  int pic = Material_LoadPicture("hud");
  ASSERT_GT(pic, 0);
  float u = 0, v = 0;
  EXPECT_EQ(Material_GetTexScale(pic, 0, &u, &v), 0);
  EXPECT_EQ(std::vector<float>({float(Material_GetWidth(pic, 0)), float(Material_GetHeight(pic, 0)), u, v}),
            std::vector<float>({100, 60, 0.78125f, 0.9375f}));
  ASSERT_TRUE(ImageTool_Save("wall.tga", ImageTool_WriteTGA(ImageTool_Pattern(100, 60, 8, true), 32)));
  int wall = Material_Load("wall");
  ASSERT_GT(wall, 0);
  EXPECT_EQ(std::vector<int>({Material_GetWidth(wall, 0), Material_GetHeight(wall, 0)}), std::vector<int>({128, 64}));
  // Animated: frames from separate pictures.
  ASSERT_TRUE(ImageTool_Save("f1.tga", ImageTool_WriteTGA(ImageTool_Solid(8, 8, 0, 0, 255, 255), 24)));
  ASSERT_TRUE(ImageTool_Save("f2.tga", ImageTool_WriteTGA(ImageTool_Solid(8, 8, 255, 0, 0, 255), 24)));
  tw_test::WriteFile("anim.mat", "f1 f2 #speed 2");
  int anim = Material_Load("anim");
  ASSERT_GT(anim, 0);
  Material_Bind(0, anim, 0.25, 1);
  auto px = DrawCentre(int(Material_Table[anim].frameTexture[Material_GetFrame(anim, 0.25)]), 1);
  EXPECT_GT(px[2], 200);
  px = DrawCentre(int(Material_Table[anim].frameTexture[Material_GetFrame(anim, 0.75)]), 1);
  EXPECT_GT(px[0], 200);
}

TEST_F(TextureGl, CubeMapFromSixFaces) {
  if (!flags_.ARB_texture_cube_map) GTEST_SKIP() << "no cube maps";
  ToolImage faces[6];
  for (int i = 0; i < 6; i++) faces[i] = ImageTool_Solid(8, 8, uint8_t(i * 40), 7, 9, 255);
  ASSERT_TRUE(MaterialTool_WriteCube("sky", faces));
  int m = Material_Load("sky");
  ASSERT_GT(m, 0);
  EXPECT_EQ(Material_GetTarget(m, 0), GLuint(GL_TEXTURE_CUBE_MAP_ARB));
  Material_BindCube(0, m, 0, 1);
  gl.glBindTexture(GL_TEXTURE_CUBE_MAP_ARB, Tex_Table[Material_Table[m].frameTexture[0]].handle);
  for (int i = 0; i < 6; i++) {
    std::vector<uint8_t> face = ReadLevel(GLenum(GL_TEXTURE_CUBE_MAP_POSITIVE_X_ARB + i), 0, GL_BGRA, 4);
    ASSERT_EQ(face.size(), 8u * 8 * 4) << i;
    EXPECT_EQ(face[0], i * 40) << i;
  }
  gl.glBindTexture(GL_TEXTURE_CUBE_MAP_ARB, 0);
}

TEST_F(TextureGl, SixteenBitAndCompressedSettingsChooseTheInternalFormat) {
  // A texel value that 4 or 5 bits cannot hold: it reads back exactly only at 8 bits.
  std::vector<uint8_t> texels(16 * 16 * 4, 0x87);
  const struct {
    float arbTc, low;
    int hasAlpha;
    GLint internal;
  } cases[] = {
      // A generic compressed request reads back as the block format the driver chose.
      {0, 0, 0, GL_RGB8},  {0, 1, 0, GL_RGB5},  {1, 0, 0, 0}, {1, 1, 0, 0},
      {0, 0, 1, GL_RGBA8}, {0, 1, 1, GL_RGBA4}, {1, 0, 1, 0}, {1, 1, 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.arbTc) + " " + std::to_string(c.low) + " " + std::to_string(c.hasAlpha));
    render_arb_tc.value = c.arbTc;
    render_16bit_textures.value = c.low;
    int t = Tex_Create(("tc" + std::to_string(&c - cases)).c_str(), GL_TEXTURE_2D);
    OPENGL_LoadTexture(t, GL_TEXTURE_2D, 16, 16, kImgBGRA, texels.data(), c.hasAlpha, 0, 0);
    if (c.internal) EXPECT_EQ(LevelParam(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), c.internal);
    EXPECT_EQ(LevelParam(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED), c.arbTc != 0);
    std::vector<uint8_t> got = ReadLevel(GL_TEXTURE_2D, 0, GL_BGRA, 4);
    if (c.arbTc == 0) EXPECT_EQ(got[1] == 0x87, c.low == 0) << int(got[1]);
  }
  render_arb_tc.value = 0;
  render_16bit_textures.value = 0;
}

}  // namespace
