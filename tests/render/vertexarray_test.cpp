// The vertex-array block: kinds, carving from both ends, generations.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/sys.h"
#include "foundation/var.h"
#include "render/glext.h"
#include "render/render.h"
#include "render/vertexarray.h"
#include "support/test_support.h"

namespace {

class VertexArray : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = Sys_Debug;
    Sys_Debug.openLog = 1;
    Log_Open();
    savedType_ = render_var_type.text;
    savedSize_ = render_var_size.value;
  }
  void TearDown() override {
    OPENGL_FreeVar();
    std::snprintf(render_var_type.text, sizeof render_var_type.text, "%s", savedType_.c_str());
    render_var_size.value = savedSize_;
    Log_Close();
    Sys_Debug = saved_;
  }
  void Use(const char* type, float size) {
    std::snprintf(render_var_type.text, sizeof render_var_type.text, "%s", type);
    render_var_size.value = size;
  }
  std::string Log() { return tw_test::ReadFile("log"); }
  tw_test::TempDir dir_;
  DebugSwitches saved_{};
  std::string savedType_;
  float savedSize_ = 0;
};

TEST_F(VertexArray, EveryTypeEndsInSystemMemoryWithoutTheRangeExtension) {
  for (const char* type : {"video", "AGP", "VBO", ""}) {
    Use(type, 1000);
    OPENGL_AllocVar();
    EXPECT_EQ(OPENGL_Var.kind, kVarSystem) << type;
    EXPECT_NE(OPENGL_Var.block, nullptr);
  }
  EXPECT_EQ(tw_test::CountOccurrences(Log(), "VAR[1000]=SYS\n"), 4);
}

TEST_F(VertexArray, CarvesFromBothEnds) {
  Use("SYS", 1000);
  uint32_t g = OPENGL_AllocVar();
  EXPECT_EQ(OPENGL_GetVarGeneration(), g);
  uint8_t* block = OPENGL_Var.block;
  EXPECT_EQ(OPENGL_GetStaticVar(600), block);
  EXPECT_EQ(OPENGL_GetDynamicVar(400), nullptr);
  EXPECT_NE(Log().find("BigDinamicVAR\n"), std::string::npos);
  EXPECT_EQ(OPENGL_GetDynamicVar(399), block + 601);
  EXPECT_NE(Log().find("Get VAR[0..]=600\n"), std::string::npos);
  OPENGL_ResetDynamicVar();
  EXPECT_EQ(OPENGL_GetDynamicVar(10), block + 990);
  // A static request ending exactly at the end fails.
  EXPECT_EQ(OPENGL_GetStaticVar(400), nullptr);
  EXPECT_NE(Log().find("BigVAR\n"), std::string::npos);
  EXPECT_EQ(OPENGL_GetStaticVar(399), block + 600);
  // Nonsense sizes are refused.
  EXPECT_EQ(OPENGL_GetStaticVar(-5), nullptr);
  EXPECT_EQ(OPENGL_GetStaticVar(0x7FFFFFFF), nullptr);
  EXPECT_EQ(OPENGL_GetDynamicVar(-5), nullptr);
  EXPECT_EQ(OPENGL_GetDynamicVar(0x7FFFFFFF), nullptr);
  // A new block: a new generation and an empty bottom.
  EXPECT_EQ(OPENGL_AllocVar(), g + 1);
  EXPECT_EQ(OPENGL_Var.staticOffset, 0);
}

TEST_F(VertexArray, NoBlockAnswersNull) {
  Use("SYS", 0);
  OPENGL_AllocVar();
  EXPECT_EQ(OPENGL_Var.kind, kVarOff);
  EXPECT_NE(Log().find("VAR=OFF\n"), std::string::npos);
  EXPECT_EQ(OPENGL_GetStaticVar(4), nullptr);
  EXPECT_EQ(OPENGL_GetDynamicVar(4), nullptr);
  EXPECT_EQ(tw_test::CountOccurrences(Log(), "NULLVAR\n"), 2);
  OPENGL_FreeVar();
  EXPECT_EQ(OPENGL_Var.block, nullptr);
}

}  // namespace
