// OpenGL start-up, failure paths and extension flags through a fake window-system layer and the
// recording GL table; the renderer selection.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/sys.h"
#include "foundation/var.h"
#include "platform/gl_context_sdl.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/render.h"
#include "support/render_support.h"

namespace {

// The fake window system: what it answers and what it was asked.
struct FakeState {
  int load = 0, makeCurrent = 0, swapInterval = -1, indirect = 0;
  void* context = reinterpret_cast<void*>(0x1234);
  std::set<std::string> missing;  // entry points the fake loader does not have
  int unloads = 0, deletes = 0;
} g;

int FakeLoad() { return g.load; }
void FakeUnload() { ++g.unloads; }
void* FakeProc(const char* name) {
  if (g.missing.count(name)) return nullptr;
  // The window system's memory allocator has no recorder; start-up only looks it up.
  if (std::strcmp(name, "glXAllocateMemoryNV") == 0 || std::strcmp(name, "glXFreeMemoryNV") == 0)
    return reinterpret_cast<void*>(&FakeUnload);
  return GlRecord_ProcAddress(name);
}
void* FakeCreate() { return g.context; }
int FakeMakeCurrent(void* ctx) { return ctx ? g.makeCurrent : 0; }
void FakeDelete(void*) { ++g.deletes; }
void FakeSwap() {}
int FakeInterval(int) { return g.swapInterval; }
int FakeIndirect(void*) { return g.indirect; }
void FakeFormat(PlatGlFormat* f) { *f = PlatGlFormat{8, 8, 8, 8, 24, 8, 1, 1}; }
int FakePci(unsigned* v, unsigned* d) {
  *v = 0x10DE;
  *d = 0x0250;
  return 1;
}
const char* FakeError() { return "fake failure"; }

class RenderStart : public tw_test::LoggedTest {
 protected:
  void SetUp() override {
    setenv("TW_UNATTENDED", "1", 1);
    LoggedTest::SetUp();
    Render_ResetBlock();
    GlDispatch_InstallRecording();
    GlDispatch_Clear();  // the recorders stay reachable through the fake loader
    g = FakeState{};
    Plat_Gl = PlatGlOps{FakeLoad,   FakeUnload,   FakeProc,   FakeCreate, FakeMakeCurrent, FakeDelete,
                        FakeSwap,   FakeInterval, FakeIndirect, FakeFormat, FakePci,        FakeError};
    Var_ResetTable();
    Render_Init(0);
    std::strcpy(render_api.text, "OPENGL");
    render_SGIS_generate_mipmap.value = 0;
    render_NV_pixel_data_range.value = 0;
    render_pbuffer.value = 0;
    Sys_QuitRequested = 0;
    SetDriver("Tarnwick Test Chip", "GL_ARB_multitexture GL_EXT_texture_rectangle GL_SGIS_generate_mipmap "
                                    "GL_NV_texture_shader2 GL_NV_texture_shader3 GL_ATI_fragment_shader");
  }
  void TearDown() override {
    Render_Stop();
    Plat_GlRestoreDefaults();
    Var_ResetTable();
    LoggedTest::TearDown();
  }
  static void SetDriver(const char* renderer, const char* extensions) {
    GlRecord_SetString(GL_VENDOR, "Tarnwick");
    GlRecord_SetString(GL_RENDERER, renderer);
    GlRecord_SetString(GL_VERSION, "1.5 test");
    GlRecord_SetString(GL_EXTENSIONS, extensions);
  }
  static bool AllSlotsNull() {
    for (int i = 0; i < GL_SLOT_COUNT; ++i)
      if (GlDispatch_SlotValue(i)) return false;
    return true;
  }
};

bool Has(const std::string& log, const std::string& line) { return log.find(line) != std::string::npos; }

}  // namespace

TEST(ExtensionString, NamesMatchWholeWords) {
  const char* s = "GL_NV_texture_shader2 GL_NV_texture_shader3 GL_ARB_multitexture";
  for (const char* w : {"GL_ARB_multitexture", "GL_NV_texture_shader3"}) EXPECT_TRUE(OPENGL_StringHasWord(s, w)) << w;
  EXPECT_TRUE(OPENGL_StringHasWord("GL_A GL_A_B", "GL_A_B"));
  for (const char* w : {"GL_NV_texture_shader", "NV_texture_shader2", "", "GL_NV_texture_shader2 GL_NV_texture_shader3"})
    EXPECT_FALSE(OPENGL_StringHasWord(s, w)) << w;
  EXPECT_FALSE(OPENGL_StringHasWord(nullptr, "GL_ARB_multitexture"));
}

TEST_F(RenderStart, OpenGLComesUpWithTheLogLinesAndFlagsAndStopReleasesIt) {
  Render_Init(1);
  ASSERT_EQ(RenderApi, 1u);
  std::string log = Log();
  for (const char* line : {"VENDOR = NVIDIA Corporation\nDEVICE = [GeForce4 Ti 4600]\n", "Success load OPENGL32.DLL.\n",
                           "OPENGL_FindPixelFormat: hardware acceleration found\n", "GL_ARB_multitexture enabling.\n",
                           "GL_SGIS_generate_mipmap enabling but not used.\n", "GL_NV_texture_rectangle enabling.\n",
                           "GL_NV_texture_shader disabling.\n", "WGL_ARB_pbuffer disabling.\n", "max texture units"})
    EXPECT_TRUE(Has(log, line)) << line;
  EXPECT_EQ(GlExtFlags.ARB_multitexture, 1);
  EXPECT_EQ(GlExtFlags.NV_texture_rectangle, 1);
  EXPECT_EQ(GlExtFlags.SGIS_generate_mipmap, 0);
  EXPECT_EQ(GlExtFlags.NV_texture_shader, 0);
  EXPECT_EQ(GlExtFlags.ATI_fragment_shader, 1);
  EXPECT_FALSE(Has(log, "max texture max anisotropy"));
  EXPECT_FALSE(Has(log, "WGL_EXTENSIONS:"));  // no framebuffer objects, no swap control
  // Stopping releases the context and the library; a Direct3D choice starts no OpenGL.
  Render_Shutdown();
  EXPECT_EQ(std::vector<int>({int(RenderApi), g.deletes, g.unloads, GlExtFlags.ARB_multitexture}),
            std::vector<int>({0, 1, 1, 0}));
  EXPECT_TRUE(AllSlotsNull());
  std::strcpy(render_api.text, "d3d8");
  Render_Init(1);
  EXPECT_EQ(RenderApi, 0u);
  log = Log();
  EXPECT_EQ(tw_test::CountOccurrences(log, "VENDOR = NVIDIA Corporation\n"), 2);  // logged for either back end
  EXPECT_EQ(tw_test::CountOccurrences(log, "OPENGL32.DLL"), 1);  // the first start only
}

// Other drivers: what each offers shows in the flags and the log.
TEST_F(RenderStart, DriverVariantsShowInFlagsAndLog) {
  const struct {
    const char* extensions;
    int swapInterval, indirect;
    const char* line;
  } cases[] = {
      {"GL_NV_vertex_array_range", -1, 0, "max vertex array nv size 65535.\n"},
      {"GL_ARB_framebuffer_object GL_ARB_multitexture", 0, 0,
       "WGL_EXTENSIONS: WGL_ARB_pbuffer WGL_ARB_pixel_format WGL_ARB_render_texture WGL_EXT_swap_control\n"},
      {nullptr, -1, 0, "GL_EXTENSIONS:\n"},
      {"", -1, 1, "OPENGL_FindPixelFormat: no hardware acceleration found\n"},  // indirect counts as software
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    Render_Stop();
    GlRecord_SetString(GL_EXTENSIONS, c.extensions);
    GlRecord_SetIntegers(GL_MAX_VERTEX_ARRAY_RANGE_ELEMENT_NV, {65535});
    g.swapInterval = c.swapInterval;
    g.indirect = c.indirect;
    Render_Init(1);
    ASSERT_EQ(RenderApi, 1u);
    EXPECT_TRUE(Has(Log(), c.line));
    if (c.extensions && std::strstr(c.extensions, "_NV_")) {
      EXPECT_EQ(GlLimits.maxVertexArrayRange, 65535);
    }
    if (c.swapInterval == 0) {
      EXPECT_EQ(GlExtFlags.WGL_EXT_swap_control + GlExtFlags.WGL_ARB_pbuffer, 2);
    }
    if (!c.extensions) {
      const uint8_t* flags = reinterpret_cast<const uint8_t*>(&GlExtFlags);
      for (size_t i = 0; i < sizeof GlExtFlags; ++i) EXPECT_EQ(flags[i], 0) << i;
    }
  }
}

TEST_F(RenderStart, AnExtensionNeedsItsNameItsEntryPointsAndItsSetting) {
  render_SGIS_generate_mipmap.value = 1;
  g.missing = {"glMultiTexCoord4svARB"};
  Render_Init(1);
  ASSERT_EQ(RenderApi, 1u);
  EXPECT_EQ(GlExtFlags.SGIS_generate_mipmap, 1);
  EXPECT_EQ(GlExtFlags.ARB_multitexture, 0);
  std::string log = Log();
  EXPECT_TRUE(Has(log, "GL_SGIS_generate_mipmap enabling.\n"));
  EXPECT_TRUE(Has(log, "GL_ARB_multitexture disabling.\n"));
  // The fake loader answers every name (as GLX does); only the string decides.
  EXPECT_EQ(GlExtFlags.NV_register_combiners, 0);
  EXPECT_NE(gl.glCombinerParameterfvNV, nullptr);
}

TEST_F(RenderStart, EveryFailedStepLeavesNoRendererAndReleasesWhatItTook) {
  struct Case {
    int load;
    const char* missing;
    bool noContext;
    int makeCurrent;
    const char* line;
    int unloads, deletes;
  } cases[] = {{-1, "", false, 0, "Unable load OPENGL32.DLL.\n", 0, 0},
               {0, "glViewport", false, 0, "Unable check OPENGL32.DLL.\n", 1, 0},
               {0, "", true, 0, "wglCreateContext Failed\n", 1, 0},
               {0, "", false, -1, "wglMakeCurrent Failed\n", 1, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    g = FakeState{};
    g.load = c.load;
    g.missing = {c.missing};
    if (c.noContext) g.context = nullptr;
    g.makeCurrent = c.makeCurrent;
    Render_Init(1);
    EXPECT_EQ(RenderApi, 0u);
    std::string log = Log();
    EXPECT_TRUE(Has(log, c.line));
    EXPECT_TRUE(AllSlotsNull());
    EXPECT_EQ(g.unloads, c.unloads);
    EXPECT_EQ(g.deletes, c.deletes);
    // The game goes on: a frame does nothing.
    Render_EndFrame(1, 1);
    Render_BeginFrame(0, 0, 640, 480);
    Render_Clear(1, 0, 0, 0);
    Log_Close();
    std::remove("log");
    Log_Open();
  }
}

// The fourteen powers of two from 1 to 8192, and nothing else.
TEST(RenderPowers, OnlyTheFourteenPowersFromOneTo8192) {
  int count = 0;
  for (int v = -70000; v <= 70000; v++) count += Render_IsPowerOfTwo(v);
  EXPECT_EQ(count, 14);
  for (int k = 0; k <= 13; k++) EXPECT_EQ(Render_IsPowerOfTwo(1 << k), 1) << k;
  for (int v : {0, 3, 6, 1023, 16384, -4, -8192}) EXPECT_EQ(Render_IsPowerOfTwo(v), 0) << v;
}
