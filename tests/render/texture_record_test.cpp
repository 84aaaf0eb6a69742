// The upload path's OpenGL calls, checked on the recording dispatch table: internal formats from
// the settings, driver or own mipmaps, DXT levels, cube faces.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/image.h"
#include "render/render.h"
#include "render/texture.h"

namespace {

class UploadCalls : public ::testing::Test {
 protected:
  void SetUp() override {
    flags_ = GlExtFlags;
    limits_ = GlLimits;
    arbTc_ = render_arb_tc.value;
    low_ = render_16bit_textures.value;
    dxt3_ = render_dxt1_as_dxt3.value;
    GlDispatch_InstallRecording();
    RenderApi = RENDER_API_OPENGL;
    GlExtFlags = GlExtFlagSet{};
    GlExtFlags.ARB_multitexture = 1;
    GlLimits.maxTextureSize = 2048;
    render_arb_tc.value = 0;
    render_16bit_textures.value = 0;
    render_dxt1_as_dxt3.value = 0;
  }
  void TearDown() override {
    RenderApi = RENDER_API_NONE;
    Tex_FreeAll();
    GlDispatch_Clear();
    GlExtFlags = flags_;
    GlLimits = limits_;
    render_arb_tc.value = arbTc_;
    render_16bit_textures.value = low_;
    render_dxt1_as_dxt3.value = dxt3_;
  }
  static std::vector<std::string> Named(const char* prefix) {
    std::vector<std::string> out;
    for (const std::string& c : GlRecord_Calls())
      if (c.rfind(prefix, 0) == 0) out.push_back(c);
    return out;
  }
  static int IndexOf(const std::string& call) {
    const auto& calls = GlRecord_Calls();
    auto it = std::find(calls.begin(), calls.end(), call);
    return it == calls.end() ? -1 : int(it - calls.begin());
  }
  GlExtFlagSet flags_{};
  GlLimitSet limits_{};
  float arbTc_ = 0, low_ = 0, dxt3_ = 0;
  uint8_t pixels_[64 * 64 * 4] = {};
};

TEST_F(UploadCalls, InternalFormatFromTheSettings) {
  struct Case {
    int hasAlpha;
    int arbTc;
    int low;
    int internal;
  } cases[] = {{0, 1, 0, 0x84ED}, {0, 0, 0, 0x8051}, {0, 0, 1, 0x8050},
               {1, 1, 1, 0x84EE}, {1, 0, 0, 0x8058}, {1, 0, 1, 0x8056}};
  GlExtFlags.ARB_texture_compression = 1;
  for (const Case& c : cases) {
    GlRecord_Clear();
    render_arb_tc.value = float(c.arbTc);
    render_16bit_textures.value = float(c.low);
    OPENGL_UploadMips(GL_TEXTURE_2D, 4, 4, kImgBGRA, pixels_, c.hasAlpha, 0, 0);
    auto up = Named("glTexImage2D");
    ASSERT_EQ(up.size(), 1u);
    EXPECT_EQ(up[0], GlRecord_Format("glTexImage2D", GL_TEXTURE_2D, 0, c.internal, 4, 4, 0, 0x80E1,
                                     GL_UNSIGNED_BYTE, static_cast<const void*>(pixels_)));
  }
  // Without the extension the setting is not enough.
  GlExtFlags.ARB_texture_compression = 0;
  render_arb_tc.value = 1;
  render_16bit_textures.value = 0;
  GlRecord_Clear();
  OPENGL_UploadMips(GL_TEXTURE_2D, 4, 4, kImgBGR, pixels_, 0, 0, 0);
  EXPECT_NE(Named("glTexImage2D")[0].find("(3553, 0, 32849, 4, 4, 0, 32992,"), std::string::npos);
}

TEST_F(UploadCalls, NoMipmapsIsOneNearestLevel) {
  OPENGL_UploadMips(GL_TEXTURE_2D, 8, 8, kImgBGRA, pixels_, 0, 0, 0);
  EXPECT_EQ(GlRecord_Calls().front(),
            GlRecord_Format("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST));
  EXPECT_EQ(Named("glTexImage2D").size(), 1u);
  EXPECT_GE(IndexOf(GlRecord_Format("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0)), 0);
}

TEST_F(UploadCalls, DriverMipmapsAroundTheFirstLevel) {
  GlExtFlags.SGIS_generate_mipmap = 1;
  OPENGL_UploadMips(GL_TEXTURE_2D, 8, 8, kImgBGRA, pixels_, 0, 1, 0);
  EXPECT_EQ(GlRecord_Calls().front(),
            GlRecord_Format("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST));
  int on = IndexOf(GlRecord_Format("glTexParameteri", GL_TEXTURE_2D, GL_GENERATE_MIPMAP_SGIS, 1));
  int off = IndexOf(GlRecord_Format("glTexParameteri", GL_TEXTURE_2D, GL_GENERATE_MIPMAP_SGIS, 0));
  auto ups = Named("glTexImage2D");
  ASSERT_EQ(ups.size(), 1u);
  int up = IndexOf(ups[0]);
  EXPECT_LT(on, up);
  EXPECT_GT(off, up);
  EXPECT_GE(on, 0);
}

TEST_F(UploadCalls, OwnMipmapsDownToOneByOne) {
  OPENGL_UploadMips(GL_TEXTURE_2D, 8, 2, kImgBGRA, pixels_, 0, 1, 0);
  auto ups = Named("glTexImage2D");
  ASSERT_EQ(ups.size(), 4u);
  EXPECT_NE(ups[0].find("(3553, 0, 32849, 8, 2, 0,"), std::string::npos);
  EXPECT_NE(ups[1].find("(3553, 1, 32849, 4, 1, 0,"), std::string::npos);
  EXPECT_NE(ups[2].find("(3553, 2, 32849, 2, 1, 0,"), std::string::npos);
  EXPECT_NE(ups[3].find("(3553, 3, 32849, 1, 1, 0,"), std::string::npos);
}

TEST_F(UploadCalls, DxtLevelsAndTheirEnd) {
  // 256 x 256 DXT1 with 9 levels, re-packed (every block four-colour): nine DXT3 uploads.
  render_dxt1_as_dxt3.value = 1;
  std::vector<uint8_t> blocks(size_t(Image_DxtLevelBytes(kImgDXT1, 256, 256)) * 2);
  for (size_t i = 0; i < blocks.size(); i += 8) blocks[i] = 1;  // colour 0 = 1 > colour 1 = 0
  OPENGL_UploadMips(GL_TEXTURE_2D, 256, 256, kImgDXT1, blocks.data(), 0, 1, 9);
  auto ups = Named("glCompressedTexImage2DARB");
  ASSERT_EQ(ups.size(), 9u);
  EXPECT_NE(ups[0].find("(3553, 0, 33778, 256, 256, 0, 65536,"), std::string::npos);
  EXPECT_NE(ups[6].find("(3553, 6, 33778, 4, 4, 0, 16,"), std::string::npos);
  EXPECT_NE(ups[7].find("(3553, 7, 33778, 2, 2, 0, 16,"), std::string::npos);
  EXPECT_NE(ups[8].find("(3553, 8, 33778, 1, 1, 0, 16,"), std::string::npos);
  EXPECT_GE(IndexOf(GlRecord_Format("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 8)), 0);
  // A single level with mipmaps wanted: the texture ends at level 0.
  GlRecord_Clear();
  OPENGL_UploadMips(GL_TEXTURE_2D, 16, 16, kImgDXT5, blocks.data(), 1, 1, 0);
  ups = Named("glCompressedTexImage2DARB");
  ASSERT_EQ(ups.size(), 1u);
  EXPECT_NE(ups[0].find("(3553, 0, 33779, 16, 16, 0, 256,"), std::string::npos);
  EXPECT_GE(IndexOf(GlRecord_Format("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0)), 0);
}

TEST_F(UploadCalls, CubeFacesSetParametersOnTheCubeTarget) {
  OPENGL_UploadMips(GL_TEXTURE_CUBE_MAP_POSITIVE_Y_ARB, 4, 4, kImgBGRA, pixels_, 0, 0, 0);
  EXPECT_EQ(GlRecord_Calls().front(),
            GlRecord_Format("glTexParameteri", GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_MIN_FILTER, GL_NEAREST));
  EXPECT_NE(Named("glTexImage2D")[0].find("(34071, 0,"), std::string::npos);
}

TEST_F(UploadCalls, CreateMakesAndBindsATextureObject) {
  Tex_FreeAll();
  GlRecord_Clear();
  int t = Tex_Create("rec", GL_TEXTURE_2D);
  ASSERT_EQ(t, 1);
  EXPECT_NE(Tex_Table[t].handle, 0u);
  EXPECT_EQ(Named("glGenTextures").size(), 1u);
  EXPECT_EQ(Named("glBindTexture").size(), 1u);
  EXPECT_EQ(Named("glBindTexture")[0], GlRecord_Format("glBindTexture", GL_TEXTURE_2D, Tex_Table[t].handle));
  GlRecord_Clear();
  Tex_FreeAll();
  EXPECT_EQ(Named("glDeleteTextures").size(), 1u);
}

}  // namespace
