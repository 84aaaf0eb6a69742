// What a written "settings" file holds of the render settings (order, defaults, which are
// written); the back-end choice.
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

TEST_F(RenderSettings, TheSettingsFileHoldsTheAlwaysWrittenOnesAndThoseSetFromIt) {
  Var_WriteFile("settings");
  const std::string file = tw_test::ReadFile("settings");
  // The 26 always-written settings, newest first; "written once set" and numeric-only ones absent.
  EXPECT_EQ(tw_test::CountOccurrences(file, "\n"), 26);
  EXPECT_EQ(file.rfind("\"render_pbuffer\" \"0.000000\"\n\"render_vsync\" \"0.000000\"\n\"render_api\" \"OPENGL\"\n", 0), 0u);
  for (const char* line : {"\"render_var_type\" \"AGP\"\n\"render_arb_tc\" \"0.000000\"\n\"render_16bit_textures\" \"0.000000\"\n",
                           "\"render_bump_r200\" \"1.000000\"\n", "\"render_dxt1_as_dxt3\" \"1.000000\"\n",
                           "\"render_var_size\" \"18874368.000000\"\n"})
    EXPECT_NE(file.find(line), std::string::npos) << line;
  EXPECT_EQ(file.find("\"render_fog"), std::string::npos);
  EXPECT_EQ(file.find("\"render_wireframe\""), std::string::npos);
  EXPECT_EQ(file.find("\"render_draworder\""), std::string::npos);
  // From the file: a "written once set" setting comes back; numeric-only ones are not taken.
  EXPECT_FLOAT_EQ(render_fog_end.value, 1000.0f);
  const char text[] = "\"render_fog_end\" \"500\"\n\"render_fog\" \"1\"\n\"render_draworder\" \"1\"\n";
  Var_ApplyText(text, sizeof text - 1);
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

TEST(RenderChoice, BackEndByName) {
  for (const char* text : {"D3D8", "d3d8", "D3d8"}) EXPECT_EQ(Render_WantsD3D8(text), 1) << text;
  for (const char* text : {"D3D", "OPENGL", "", "D3D8 ", static_cast<const char*>(nullptr)})
    EXPECT_EQ(Render_WantsD3D8(text), 0) << (text ? text : "null");
}

}  // namespace
