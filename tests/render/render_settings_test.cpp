// The render settings as registered (order, defaults, flags) and therefore what a written
// "settings" file holds; the back-end choice and the power-of-two rule.
#include <gtest/gtest.h>

#include <string>

#include "foundation/var.h"
#include "render/render.h"
#include "support/render_support.h"

namespace {

class RenderSettings : public tw_test::LoggedTest {
 protected:
  void SetUp() override {
    LoggedTest::SetUp();
    Var_ResetTable();
    Render_Init(0);
  }
  void TearDown() override {
    Var_ResetTable();
    LoggedTest::TearDown();
  }
};

constexpr uint32_t kOnce = 0x16, kAlways = 0xE, kText = 0xC, kNum = 0x2;

const struct {
  const char* name;
  const char* text;  // the default as the settings file would hold it
  uint32_t flags;
} kSettings[34] = {
    {"render_wireframe", "0.000000", kOnce},
    {"render_draworder", "0.000000", kNum},
    {"render_fog", "0.000000", kNum},
    {"render_fog_start", "0.000000", kOnce},
    {"render_fog_end", "1000.000000", kOnce},
    {"render_fog_r", "0.600000", kOnce},
    {"render_fog_g", "0.600000", kOnce},
    {"render_fog_b", "0.650000", kOnce},
    {"render_16bit_textures", "0.000000", kAlways},
    {"render_arb_tc", "0.000000", kAlways},
    {"render_var_type", "AGP", kText},
    {"render_var_size", "18874368.000000", kAlways},
    {"render_filter", "0.000000", kAlways},
    {"render_fov", "60.000000", kAlways},
    {"render_bump_r300", "0.000000", kAlways},
    {"render_bump_r200", "1.000000", kAlways},
    {"render_bump_nv30", "0.000000", kAlways},
    {"render_bump_nv20", "1.000000", kAlways},
    {"render_bump_nv10", "1.000000", kAlways},
    {"render_bump_fast", "0.000000", kAlways},
    {"render_bump_clear", "0.000000", kAlways},
    {"render_bump_reflect", "0.000000", kAlways},
    {"render_bump_attenuation", "1.000000", kAlways},
    {"render_bump_diffuse", "1.000000", kAlways},
    {"render_bump_specular", "1.000000", kAlways},
    {"render_bump_project", "1.000000", kAlways},
    {"render_bump_shadows", "0.000000", kAlways},
    {"render_scale", "1.000000", kAlways},
    {"render_SGIS_generate_mipmap", "0.000000", kAlways},
    {"render_dxt1_as_dxt3", "1.000000", kAlways},
    {"render_NV_pixel_data_range", "0.000000", kAlways},
    {"render_api", "OPENGL", kText},
    {"render_vsync", "0.000000", kAlways},
    {"render_pbuffer", "0.000000", kAlways},
};

TEST_F(RenderSettings, RegisteredInOrderWithTheirDefaultsAndFlags) {
  // The registration list runs newest first: from the last setting back to the first.
  VarRecord* v = Var_Find("render_pbuffer");
  for (int i = 33; i >= 0; --i, v = v->next) {
    ASSERT_NE(v, nullptr) << i;
    EXPECT_STREQ(v->name, kSettings[i].name);
    EXPECT_EQ(v->flags & ~VAR_SET, kSettings[i].flags) << kSettings[i].name;
    if (v->flags & VAR_NUMERIC)
      EXPECT_FLOAT_EQ(v->value, std::stof(kSettings[i].text)) << kSettings[i].name;
    else
      EXPECT_STREQ(v->text, kSettings[i].text);
  }
  EXPECT_EQ(v, nullptr);
}

TEST_F(RenderSettings, TheSettingsFileHoldsTheAlwaysWrittenOnesAndThoseSetFromIt) {
  std::string want;
  for (const auto& s : kSettings)
    if (s.flags & VAR_ALWAYS) want = "\"" + std::string(s.name) + "\" \"" + s.text + "\"\n" + want;
  Var_WriteFile("settings");
  EXPECT_EQ(tw_test::ReadFile("settings"), want);
  // From the file: a "written once set" setting comes back; numeric-only ones are not taken.
  const char file[] = "\"render_fog_end\" \"500\"\n\"render_fog\" \"1\"\n\"render_draworder\" \"1\"\n";
  Var_ApplyText(file, sizeof file - 1);
  EXPECT_FLOAT_EQ(render_fog_end.value, 500.0f);
  EXPECT_EQ(render_fog.value, 0.0f);
  EXPECT_EQ(render_draworder.value, 0.0f);
  Var_WriteFile("settings");
  std::string written = tw_test::ReadFile("settings");
  EXPECT_NE(written.find("\"render_fog_end\" \"500.000000\"\n"), std::string::npos);
  EXPECT_EQ(written.find("\"render_fog\""), std::string::npos);
  EXPECT_EQ(written.find("\"render_fog_start\""), std::string::npos);
  Var_SetText(&render_fog_end, "1000");
  render_fog_end.flags &= ~VAR_SET;
}

TEST(RenderChoice, BackEndByNameAndPowersOfTwo) {
  for (const char* text : {"D3D8", "d3d8", "D3d8"}) EXPECT_EQ(Render_WantsD3D8(text), 1) << text;
  for (const char* text : {"D3D", "OPENGL", "", "D3D8 ", static_cast<const char*>(nullptr)})
    EXPECT_EQ(Render_WantsD3D8(text), 0) << (text ? text : "null");
  for (int v : {1, 2, 256, 8192}) EXPECT_EQ(Render_IsPowerOfTwo(v), 1) << v;
  for (int v : {0, -2, 3, 300, 16384}) EXPECT_EQ(Render_IsPowerOfTwo(v), 0) << v;
}

}  // namespace
