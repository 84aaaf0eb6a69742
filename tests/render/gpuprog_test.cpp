// Program paths of drivers this machine lacks (NV vertex and fragment programs) and the ARB refusal
// over the native limits, run against the recording GL table: calls, constants and the log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/gpuprog.h"
#include "render/render.h"
#include "support/render_support.h"

namespace {

class RecordedPrograms : public tw_test::LoggedTest {
 protected:
  void SetUp() override {
    LoggedTest::SetUp();
    GlDispatch_InstallRecording();
    RenderApi = RENDER_API_OPENGL;
    GlExtFlags.NV_vertex_program = 1;
    GlExtFlags.NV_fragment_program = 1;
    GlExtFlags.ARB_vertex_program = 1;
    GlRecord_SetIntegers(GL_PROGRAM_ERROR_POSITION_ARB, {-1});
    GlRecord_SetIntegers(GL_PROGRAM_UNDER_NATIVE_LIMITS_ARB, {1});
  }
  void TearDown() override {
    OPENGL_DeleteVertexProgramsNV();
    OPENGL_DeleteFragmentProgramsNV();
    OPENGL_DeleteVertexProgramsARB();
    RenderApi = RENDER_API_NONE;
    OPENGL_ClearExtensions();
    GlDispatch_Clear();
    LoggedTest::TearDown();
  }
  // The calls recorded since the last look, one a line.
  static std::string Calls() {
    std::string all;
    for (const std::string& c : GlRecord_Calls()) all += c + "\n";
    GlRecord_Clear();
    return all;
  }
};

TEST_F(RecordedPrograms, NvProgramsCompileBindDisableAndDelete) {
  const struct {
    const char* name;
    GLenum target;
    ProgramHandle (*compile)(int, const char*);
    void (*bind)(ProgramHandle);
    void (*disable)();
    void (*deleteAll)();
    int kind;
    const char* text;
  } kinds[] = {
      {"NV_VERTEX_PROGRAM", GL_VERTEX_PROGRAM_NV, OPENGL_CompileVertexProgramNV, OPENGL_BindVertexProgramNV,
       OPENGL_DisableVertexProgramNV, OPENGL_DeleteVertexProgramsNV, 0, "!!VP1.0\nMOV o[HPOS], v[OPOS];\nEND\n"},
      {"NV_FRAGMENT_PROGRAM", GL_FRAGMENT_PROGRAM_NV, OPENGL_CompileFragmentProgramNV, OPENGL_BindFragmentProgramNV,
       OPENGL_DisableFragmentProgramNV, OPENGL_DeleteFragmentProgramsNV, 1, "!!FP1.0\nMOVR o[COLR], f[COL0];\nEND\n"},
  };
  for (const auto& k : kinds) {
    SCOPED_TRACE(k.name);
    GlRecord_ResetNames();
    std::string text = k.text;
    GlRecord_SetIntegers(GL_PROGRAM_LENGTH_NV, {int(text.size())});
    GlRecord_SetString(GL_PROGRAM_STRING_NV, text.c_str());
    ProgramHandle p = k.compile(int(text.size()), text.c_str());
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(*p, 1u);
    const std::string t = std::to_string(k.target);
    EXPECT_NE(Calls().find("glLoadProgramNV(" + t + ", 1, " + std::to_string(text.size()) + ", ptr)\n"),
              std::string::npos);
    EXPECT_NE(Log().find(std::string("Init ") + k.name + " Ok\n\n" + text + "\n"), std::string::npos);
    k.bind(p);
    k.disable();
    EXPECT_EQ(Calls(), "glBindProgramNV(" + t + ", 1)\nglEnable(" + t + ")\nglDisable(" + t + ")\nglBindProgramNV(" +
                           t + ", 0)\n");
    // A program the driver reports an error in is logged with its position and message, and deleted.
    GlRecord_SetIntegers(GL_PROGRAM_ERROR_POSITION_ARB, {7});
    GlRecord_SetString(GL_PROGRAM_ERROR_STRING_ARB, "bad opcode");
    EXPECT_EQ(k.compile(int(text.size()), text.c_str()), nullptr);
    EXPECT_NE(Log().find(std::string("Init ") + k.name + " error 7 [bad opcode]\n"), std::string::npos);
    EXPECT_NE(Calls().find("glDeleteProgramsNV(1, ptr)\n"), std::string::npos);
    EXPECT_EQ(OPENGL_ProgramCount(k.kind), 1);
    GlRecord_SetIntegers(GL_PROGRAM_ERROR_POSITION_ARB, {-1});
    k.deleteAll();
    EXPECT_NE(Calls().find("glDeleteProgramsNV(1, ptr)\n"), std::string::npos);
    EXPECT_EQ(OPENGL_ProgramCount(k.kind), 0);
    EXPECT_EQ(*p, 0u);
  }
}

TEST_F(RecordedPrograms, ArbProgramOverTheNativeLimitsIsRefused) {
  const char text[] = "!!ARBvp1.0\nMOV result.position, vertex.position;\nEND\n";
  GlRecord_SetIntegers(GL_PROGRAM_UNDER_NATIVE_LIMITS_ARB, {0});
  GlRecord_SetString(GL_PROGRAM_ERROR_STRING_ARB, "");
  EXPECT_EQ(OPENGL_CompileVertexProgramARB(int(sizeof text - 1), text), nullptr);
  EXPECT_NE(Log().find("Init ARB_VERTEX_PROGRAM error -1 []\n"), std::string::npos);
  EXPECT_NE(Calls().find("glDeleteProgramsARB(1, ptr)\n"), std::string::npos);
  EXPECT_EQ(OPENGL_ProgramCount(2), 0);
}

}  // namespace
