// Vertex and fragment programs compiled on the real driver (ARB programs on Mesa).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/log.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/gpuprog.h"
#include "render/render.h"
#include "support/render_support.h"

namespace {

bool g_glUp;

const char kVertexProgram[] =
    "!!ARBvp1.0\n"
    "PARAM mvp[4] = { state.matrix.mvp };\n"
    "DP4 result.position.x, mvp[0], vertex.position;\n"
    "DP4 result.position.y, mvp[1], vertex.position;\n"
    "DP4 result.position.z, mvp[2], vertex.position;\n"
    "DP4 result.position.w, mvp[3], vertex.position;\n"
    "MOV result.color, vertex.color;\n"
    "END\n";
const char kFragmentProgram[] =
    "!!ARBfp1.0\n"
    "MOV result.color, fragment.color;\n"
    "END\n";

class Programs : public tw_test::LoggedTest {
 protected:
  static void SetUpTestSuite() {
    g_glUp = tw_test::StartGlWindow("program test") && GlExtFlags.ARB_vertex_program && GlExtFlags.ARB_fragment_program;
  }
  static void TearDownTestSuite() { tw_test::StopGlWindow(); }
  void SetUp() override {
    if (!g_glUp) GTEST_SKIP() << "no OpenGL with ARB programs";
    LoggedTest::SetUp();
  }
  void TearDown() override {
    if (!g_glUp) return;
    OPENGL_DeleteVertexProgramsARB();
    OPENGL_DeleteFragmentProgramsARB();
    LoggedTest::TearDown();
  }
};

TEST_F(Programs, ArbProgramsCompileBindAndDisable) {
  ProgramHandle vp = OPENGL_CompileVertexProgramARB(int(sizeof kVertexProgram - 1), kVertexProgram);
  ASSERT_NE(vp, nullptr);
  EXPECT_NE(*vp, 0u);
  EXPECT_NE(Log().find("Init ARB_VERTEX_PROGRAM Ok\n\n!!ARBvp1.0\n"), std::string::npos);
  ProgramHandle fp = OPENGL_CompileFragmentProgramARB(int(sizeof kFragmentProgram - 1), kFragmentProgram);
  ASSERT_NE(fp, nullptr);
  EXPECT_NE(Log().find("Init ARB_FRAGMENT_PROGRAM Ok\n\n!!ARBfp1.0\n"), std::string::npos);
  OPENGL_BindVertexProgramARB(vp);
  OPENGL_BindFragmentProgramARB(fp);
  EXPECT_TRUE(gl.glIsEnabled(GL_VERTEX_PROGRAM_ARB));
  EXPECT_TRUE(gl.glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
  GLint bound = 0;
  gl.glGetProgramivARB(GL_VERTEX_PROGRAM_ARB, GL_PROGRAM_BINDING_ARB, &bound);
  EXPECT_EQ(GLuint(bound), *vp);
  // Drawn through both: the vertex colour passes unchanged to the screen.
  Render_BeginFrame(0, 0, 16, 16);
  Render_Clear(1, 0, 0, 0);
  gl.glMatrixMode(GL_PROJECTION);
  gl.glLoadIdentity();
  gl.glMatrixMode(GL_MODELVIEW);
  gl.glLoadIdentity();
  gl.glDisable(GL_DEPTH_TEST);
  gl.glDisable(GL_CULL_FACE);
  gl.glColor4ub(20, 200, 60, 255);
  gl.glRects(-1, -1, 1, 1);
  uint8_t px[4] = {};
  gl.glReadPixels(8, 8, 1, 1, GL_BGRA, GL_UNSIGNED_BYTE, px);
  EXPECT_EQ(std::vector<int>({px[2], px[1], px[0]}), std::vector<int>({20, 200, 60}));
  OPENGL_DisableVertexProgramARB();
  OPENGL_DisableFragmentProgramARB();
  EXPECT_FALSE(gl.glIsEnabled(GL_VERTEX_PROGRAM_ARB));
  EXPECT_FALSE(gl.glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
  // Binding a failed program does nothing.
  OPENGL_BindVertexProgramARB(nullptr);
  EXPECT_FALSE(gl.glIsEnabled(GL_VERTEX_PROGRAM_ARB));
}

TEST_F(Programs, BrokenProgramIsLoggedAndDeletedFilesLoadAndLongTextsAreLoggedWhole) {
  const char bad[] = "!!ARBvp1.0\nFOO result.position, vertex.position;\nEND\n";
  EXPECT_EQ(OPENGL_CompileVertexProgramARB(int(sizeof bad - 1), bad), nullptr);
  EXPECT_NE(Log().find("Init ARB_VERTEX_PROGRAM error "), std::string::npos);
  EXPECT_EQ(OPENGL_ProgramCount(2), 0);
  EXPECT_EQ(OPENGL_CompileVertexProgramARB(0, kVertexProgram), nullptr);
  EXPECT_EQ(OPENGL_CompileVertexProgramARB(10, nullptr), nullptr);
  EXPECT_EQ(OPENGL_LoadVertexProgramARB("missing.vp"), nullptr);
  tw_test::WriteFile("light.vp", kVertexProgram);
  EXPECT_NE(OPENGL_LoadVertexProgramARB("light.vp"), nullptr);
  // A text longer than the read-back buffer is logged whole.
  std::string text = "!!ARBfp1.0\n";
  while (text.size() < 20000) text += "# a comment line that makes the program text long\n";
  text += "MOV result.color, fragment.color;\nEND\n";
  ASSERT_NE(OPENGL_CompileFragmentProgramARB(int(text.size()), text.c_str()), nullptr);
  EXPECT_NE(Log().find("MOV result.color, fragment.color;\nEND\n\n\n"), std::string::npos);
  if (!GlExtFlags.NV_vertex_program) {  // absent kinds refuse and do nothing
    EXPECT_EQ(OPENGL_CompileVertexProgramNV(int(sizeof kVertexProgram - 1), kVertexProgram), nullptr);
    EXPECT_EQ(OPENGL_LoadFragmentProgramNV("anything"), nullptr);
    OPENGL_BindVertexProgramNV(nullptr);
    OPENGL_DisableVertexProgramNV();
  }
}

TEST_F(Programs, AtMost1023OfAKindAndDeleteAllStartsAgain) {
  ProgramHandle first = nullptr;
  for (int i = 0; i < 1023; i++) {
    ProgramHandle h = OPENGL_CompileFragmentProgramARB(int(sizeof kFragmentProgram - 1), kFragmentProgram);
    ASSERT_NE(h, nullptr) << i;
    if (!first) first = h;
  }
  EXPECT_EQ(OPENGL_CompileFragmentProgramARB(int(sizeof kFragmentProgram - 1), kFragmentProgram), nullptr);
  EXPECT_EQ(OPENGL_ProgramCount(3), 1023);
  GLuint id = *first;
  OPENGL_DeleteFragmentProgramsARB();
  EXPECT_EQ(OPENGL_ProgramCount(3), 0);
  EXPECT_EQ(*first, 0u);
  EXPECT_FALSE(gl.glIsProgramARB(id));
  EXPECT_NE(OPENGL_CompileFragmentProgramARB(int(sizeof kFragmentProgram - 1), kFragmentProgram), nullptr);
}

}  // namespace
