// Material files, frame choice by time and the limits of the table, with a stand-in texture loader.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <unordered_map>

#include "foundation/log.h"
#include "foundation/namehash.h"
#include "foundation/mem.h"
#include "foundation/sys.h"
#include "render/glext.h"
#include "render/material.h"
#include "render/render.h"
#include "render/texture.h"
#include "support/test_support.h"
#include "tools/material_writer.h"

using tw_test::WriteFile;

namespace {

constexpr double kPiD = 3.14159265358979323846;

// Frames whose name starts with "missing" have no picture; every other name gets a texture of its
// own (shared by name, as the real loader does).
int g_loads;
int StandInLoader(const char* name, int) {
  g_loads++;
  if (std::strncmp(name, "missing", 7) == 0) return 0;
  if (int t = Tex_FindByName(name)) return t;
  return Tex_Create(name, 0x0DE1);
}

class Materials : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = Sys_Debug;
    Sys_Debug.openLog = 1;
    Log_Open();
    RenderApi = RENDER_API_NONE;
    savedCube_ = GlExtFlags.ARB_texture_cube_map;
    Tex_FreeAll();
    Material_SetFrameLoader(StandInLoader);
    g_loads = 0;
  }
  void TearDown() override {
    Material_SetFrameLoader(nullptr);
    GlExtFlags.ARB_texture_cube_map = savedCube_;
    Tex_FreeAll();
    Log_Close();
    Sys_Debug = saved_;
  }
  const MaterialRecord& M(int i) { return Material_Table[i]; }
  std::string FrameName(int material, double t) {
    return Tex_Table[M(material).frameTexture[Material_GetFrame(material, t)]].name;
  }
  tw_test::TempDir dir_;
  DebugSwitches saved_{};
  uint8_t savedCube_ = 0;
};

TEST_F(Materials, MatFileSpeeds) {
  WriteFile("a.mat", "a b c #speed 15\n");
  WriteFile("b.mat", "a\tb\r\nc\n");
  WriteFile("c.mat", "a b c #TIME 2");
  int a = Material_Load("a"), b = Material_Load("b"), c = Material_Load("c");
  ASSERT_GT(a, 0);
  EXPECT_EQ(M(a).frameCount, 3);
  EXPECT_FLOAT_EQ(M(a).speed, 5.0f);
  EXPECT_EQ(M(a).timingMode, 0);
  // Each frame is shown 1/15 s.
  EXPECT_EQ(FrameName(a, 0.01), "a");
  EXPECT_EQ(FrameName(a, 1.0 / 15 + 0.01), "b");
  EXPECT_EQ(FrameName(a, 2.0 / 15 + 0.01), "c");
  EXPECT_EQ(FrameName(a, 3.0 / 15 + 0.01), "a");
  EXPECT_FLOAT_EQ(M(b).speed, 10.0f);
  EXPECT_FLOAT_EQ(M(c).speed, 0.5f);
  // Frames share textures by name.
  EXPECT_EQ(M(a).frameTexture[1], M(b).frameTexture[1]);
}

TEST_F(Materials, Ma2TimedFrames) {
  WriteFile("w.ma2", MaterialTool_MaText(4, {{"x", 1}, {"y", 3}}, false));
  int m = Material_Load("w");
  ASSERT_GT(m, 0);
  EXPECT_FLOAT_EQ(M(m).speed, 0.25f);
  EXPECT_EQ(M(m).timingMode, 1);
  EXPECT_FLOAT_EQ(M(m).frameDuration[0], 0.25f);
  EXPECT_FLOAT_EQ(M(m).frameDuration[1], 0.75f);
  EXPECT_EQ(FrameName(m, 0.5), "x");
  EXPECT_EQ(FrameName(m, 2.0), "y");
  EXPECT_EQ(FrameName(m, -1.5), "y");  // negative times wrap into the cycle too
}

TEST_F(Materials, Ma3LerpTakesTheShortWay) {
  WriteFile("r.ma3", "[2] [f one] [1] [350 0.9 0 1] [f two] [1] [10 0.1 0 2]");
  int m = Material_Load("r");
  ASSERT_GT(m, 0);
  EXPECT_EQ(std::string(Tex_Table[M(m).frameTexture[0]].name), "f one");
  float rot, u, v, s;
  // Halfway through frame 0 (a quarter of the 2-second cycle).
  Material_GetFrameLerp(m, 0.5, &rot, &u, &v, &s);
  EXPECT_NEAR(rot * 180.0 / kPiD, 360.0, 1e-3);
  EXPECT_NEAR(u, 1.0, 1e-5);
  EXPECT_NEAR(v, 0.0, 1e-6);
  EXPECT_NEAR(s, 1.5, 1e-6);
  // Missing values take their defaults.
  WriteFile("d.ma3", "[1] [g] [1] [45]");
  int d = Material_Load("d");
  ASSERT_GT(d, 0);
  EXPECT_NEAR(M(d).frameRotation[0], kPiD / 4, 1e-6);
  EXPECT_FLOAT_EQ(M(d).frameScale[0], 1.0f);
}

TEST_F(Materials, UniformLerp) {
  WriteFile("u.mat", "p q #speed 2");  // one cycle per second
  int m = Material_Load("u");
  float rot = 9, u = 9, v = 9, s = 9;
  Material_GetFrameLerp(m, 0.25, &rot, &u, &v, &s);
  EXPECT_FLOAT_EQ(rot, 0.0f);
  EXPECT_FLOAT_EQ(s, 1.0f);
}

TEST_F(Materials, NothingLoadedIsNotKeptAndTheSlotIsReused) {
  WriteFile("gone.ma2", "[1] [missing1] [1] [missing2] [1]");
  EXPECT_EQ(Material_Load("gone"), 0);
  EXPECT_EQ(Material_Count, 1);
  EXPECT_EQ(Material_FindByName("gone"), 0);
  WriteFile("here.mat", "a");
  EXPECT_EQ(Material_Load("here"), 1);
  // A single picture that exists.
  EXPECT_EQ(Material_Load("lonely"), 2);
  EXPECT_EQ(M(2).frameCount, 1);
  EXPECT_FLOAT_EQ(M(2).speed, 0.0f);
  EXPECT_EQ(Material_Load("missing picture"), 0);
}

TEST_F(Materials, SameNameGivesTheSameIndex) {
  int a = Material_Load("Stone");
  int loads = g_loads;
  EXPECT_EQ(Material_Load("stone"), a);
  EXPECT_EQ(Material_LoadPicture("STONE"), a);
  EXPECT_EQ(g_loads, loads);
  EXPECT_EQ(Material_FindByName("stone"), a);
  EXPECT_EQ(Material_FindByName(""), 0);
  EXPECT_EQ(Material_FindByName(nullptr), 0);
  // An existing material is returned without making anything.
  int texCount = Tex_Count;
  uint8_t px[4] = {1, 2, 3, 4};
  EXPECT_EQ(Material_CreateFromPixels("stone", 1, 1, 32, px, 1, 0, 0), a);
  EXPECT_EQ(Tex_Count, texCount);
  int glyphs = Material_CreateFromPixels("glyphs", 1, 1, 8, px, 0, 0, 0);
  EXPECT_GT(glyphs, a);
  EXPECT_EQ(Material_CreateFromPixels("odd", 1, 1, 12, px, 0, 0, 0), 0);
}

TEST_F(Materials, CubeMarkerNeedsTheExtension) {
  WriteFile("env.cub", "");
  WriteFile("env.ma3", "[1] [side] [1] [0 0 0 1]");
  GlExtFlags.ARB_texture_cube_map = 0;
  int m = Material_Load("env");
  ASSERT_GT(m, 0);
  EXPECT_EQ(std::string(Tex_Table[M(m).frameTexture[0]].name), "side");
  Tex_FreeAll();
  GlExtFlags.ARB_texture_cube_map = 1;
  m = Material_Load("env");
  ASSERT_GT(m, 0);
  EXPECT_EQ(Tex_Table[M(m).frameTexture[0]].target, 0x8513u);
  EXPECT_EQ(M(m).frameCount, 1);
}

TEST_F(Materials, HostileFiles) {
  std::string many;
  for (int i = 0; i < 300; i++) many += "f" + std::to_string(i) + " ";
  WriteFile("many.mat", many);
  int m = Material_Load("many");
  ASSERT_GT(m, 0);
  EXPECT_EQ(M(m).frameCount, kMaxMaterialFrames);
  EXPECT_NE(tw_test::ReadFile("log").find("more than 256 frames"), std::string::npos);

  WriteFile("first.mat", "#speed 12 a b c");  // the rate applies to the frames that follow
  m = Material_Load("first");
  EXPECT_FLOAT_EQ(M(m).speed, 4.0f);
  WriteFile("zero.mat", "a b #time 0");
  m = Material_Load("zero");
  EXPECT_FLOAT_EQ(M(m).speed, 15.0f);
  WriteFile("junk.mat", "a b #speed fast");
  m = Material_Load("junk");
  EXPECT_FLOAT_EQ(M(m).speed, 15.0f);
  WriteFile("last.mat", "a b #speed");
  m = Material_Load("last");
  EXPECT_FLOAT_EQ(M(m).speed, 15.0f);
  WriteFile("still.ma2", "[0] [a] [1] [b] [1]");
  m = Material_Load("still");
  EXPECT_FLOAT_EQ(M(m).speed, 0.0f);
  EXPECT_EQ(Material_GetFrame(m, 12.3), 0);
  WriteFile("nodur.ma3", "[1] [a] [0] [0 0 0 1] [b] [0] [0 0 0 1]");
  m = Material_Load("nodur");
  EXPECT_EQ(M(m).timingMode, 0);
  float rot, u, v, s;
  Material_GetFrameLerp(m, 0.3, &rot, &u, &v, &s);
  EXPECT_TRUE(std::isfinite(rot) && std::isfinite(s));
  WriteFile("onezero.ma3", "[1] [a] [1] [0 0 0 1] [b] [0] [0 0 0 5]");
  m = Material_Load("onezero");
  EXPECT_EQ(M(m).timingMode, 1);
  Material_GetFrameLerp(m, 1.0 - 1e-9, &rot, &u, &v, &s);
  EXPECT_TRUE(std::isfinite(s));
  WriteFile("cut.ma2", "[1] [a] [1] [b]");  // the last frame lacks its duration
  m = Material_Load("cut");
  EXPECT_EQ(M(m).frameCount, 1);
  WriteFile("empty.ma2", "");
  EXPECT_EQ(Material_Load("empty"), 0);
  // Names that cannot fit with their extensions.
  EXPECT_EQ(Material_Load(std::string(300, 'n').c_str()), 0);
  // Stale and bad indices bind nothing.
  EXPECT_EQ(Material_GetFrame(5000, 1.0), 0);
  EXPECT_EQ(Material_GetWidth(-3, 1.0), 0);
}

TEST_F(Materials, FullTableIsRefused) {
  char name[32];
  for (int i = 1; i < kMaxMaterials; i++) {
    std::snprintf(name, sizeof name, "m%d", i);
    ASSERT_EQ(Material_CreateFromPixels(name, 1, 1, 8, "x", 0, 0, 0), i);
  }
  EXPECT_EQ(Material_Load("one more"), 0);
  EXPECT_NE(tw_test::ReadFile("log").find("no room for one more"), std::string::npos);
}

TEST_F(Materials, NamesWithTheSameHashStayApart) {
  // Find two names with the same hash.
  std::unordered_map<uint32_t, std::string> seen;
  std::string a, b;
  for (uint32_t i = 0; a.empty(); i++) {
    std::string n = "n" + std::to_string(i);
    auto [it, fresh] = seen.emplace(Name_HashStr(n.c_str()), n);
    if (!fresh) {
      a = it->second;
      b = n;
    }
  }
  int ma = Material_Load(a.c_str());
  int mb = Material_Load(b.c_str());
  ASSERT_GT(ma, 0);
  ASSERT_GT(mb, 0);
  EXPECT_NE(ma, mb);
  EXPECT_EQ(Material_FindByName(a.c_str()), ma);
  EXPECT_EQ(Material_FindByName(b.c_str()), mb);
  EXPECT_EQ(Material_Load(b.c_str()), mb);
}

}  // namespace
