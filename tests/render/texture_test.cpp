// The texture table and the picture arithmetic of the upload path; material files and the
// material table; the vertex-array block.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/namehash.h"
#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/image.h"
#include "render/material.h"
#include "render/render.h"
#include "render/texture.h"
#include "render/vertexarray.h"
#include "support/render_support.h"
#include "tools/material_writer.h"

namespace {

std::vector<uint8_t> Picture(int w, int h, int bpp) {
  std::vector<uint8_t> p(size_t(w) * size_t(h) * size_t(bpp));
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
      for (int k = 0; k < bpp; k++)
        p[(size_t(y) * size_t(w) + size_t(x)) * size_t(bpp) + size_t(k)] = uint8_t(x * 2 + y * 7 + k * 50);
  return p;
}

// A picture padded to its power-of-two texture keeps its texels and repeats its last column and
// row into the rest, at every texel size.
TEST(TextureMath, PadRepeatsTheLastColumnAndRow) {
  const int w = 100, h = 60, dw = 128, dh = 64;
  for (int bpp : {1, 2, 3, 4}) {
    std::vector<uint8_t> src = Picture(w, h, bpp), dst(size_t(dw) * dh * size_t(bpp));
    Tex_PadPicture(src.data(), w, h, dst.data(), dw, dh, bpp);
    auto at = [&](const std::vector<uint8_t>& v, int stride, int x, int y) {
      return &v[(size_t(y) * size_t(stride) + size_t(x)) * size_t(bpp)];
    };
    for (int y = 0; y < dh; y++)
      for (int x = 0; x < dw; x++) {
        int sx = x < w ? x : w - 1, sy = y < h ? y : h - 1;
        ASSERT_EQ(0, std::memcmp(at(dst, dw, x, y), at(src, w, sx, sy), size_t(bpp))) << bpp << ": " << x << "," << y;
      }
  }
}

// A stretched picture: texel (x, y) takes source texel (x * w / dw, y * h / dh), in whole texels.
TEST(TextureMath, StretchSamplesNearest) {
  for (int bpp : {3, 4}) {
    std::vector<uint8_t> src = Picture(100, 60, bpp), dst(size_t(128) * 64 * size_t(bpp));
    Tex_StretchPicture(src.data(), 100, 60, dst.data(), 128, 64, bpp);
    for (int y = 0; y < 64; y++)
      for (int x = 0; x < 128; x++) {
        int sx = x * 100 / 128, sy = y * 60 / 64;
        ASSERT_EQ(0, std::memcmp(&dst[(size_t(y) * 128 + size_t(x)) * size_t(bpp)],
                                 &src[(size_t(sy) * 100 + size_t(sx)) * size_t(bpp)], size_t(bpp)))
            << bpp << ": " << x << "," << y;
      }
  }
}

TEST(TextureMath, BoxFilterTruncates) {
  // 2 x 2 -> 1 x 1: (1 + 2 + 2 + 2) / 4 = 1 (truncated); 4 x 1 -> 2 x 1 in pairs; 1 x 4 -> 1 x 2
  // in columns.
  uint8_t a[4] = {1, 2, 2, 2}, out[6] = {};
  Tex_BoxFilter(a, 2, 2, out, 1);
  EXPECT_EQ(out[0], 1);
  uint8_t row[4 * 3] = {0, 0, 0, 255, 255, 255, 10, 20, 30, 11, 21, 31};
  Tex_BoxFilter(row, 4, 1, out, 3);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 6), (std::vector<uint8_t>{127, 127, 127, 10, 20, 30}));
  uint8_t col[4 * 2] = {9, 1, 10, 2, 100, 3, 101, 4};
  Tex_BoxFilter(col, 1, 4, out, 2);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{9, 1, 100, 3}));
}

class TextureTable : public tw_test::LoggedTest {
 protected:
  void SetUp() override {
    LoggedTest::SetUp();
    RenderApi = RENDER_API_NONE;
    Tex_FreeAll();
  }
  void TearDown() override {
    Tex_FreeAll();
    LoggedTest::TearDown();
  }
};

TEST_F(TextureTable, FindByNameIgnoresCaseAndFreeAllEmptiesTheTable) {
  // Tex_Create does not search: a second record of the same name; the lowest index is found.
  int a = Tex_Create("Sky\\Clouds", 0x0DE1), b = Tex_Create("ground", 0x0DE1), c = Tex_Create("GROUND", 0x0DE1);
  EXPECT_EQ(std::vector<int>({a, b, c, Tex_FindByName("sky\\clouds"), Tex_FindByName("GROUND")}),
            std::vector<int>({1, 2, 3, 1, 2}));
  uint32_t handle = 99;
  int32_t fromDds = 7;
  EXPECT_EQ(Tex_GetBindInfo(b, &handle, &fromDds), 1);
  EXPECT_EQ(Tex_GetBindInfo(5000, &handle, &fromDds) + Tex_GetBindInfo(-1, &handle, &fromDds), 0);
  EXPECT_EQ(handle, 0u);
  // Freeing all leaves the empty texture and material 0 on it, in a new generation.
  uint32_t g = Tex_GetGeneration();
  Tex_FreeAll();
  EXPECT_EQ(std::vector<uint32_t>({Tex_GetGeneration(), uint32_t(Tex_Count), uint32_t(Tex_Table[0].texWidth),
                                   uint32_t(Material_Count), Material_Table[0].frameTexture[0]}),
            std::vector<uint32_t>({g + 1, 1, 32, 1, 0}));
}

TEST_F(TextureTable, FullTableAndLongNamesAreRefused) {
  char name[32];
  for (int i = 1; i < kMaxTextures; i++) {
    std::snprintf(name, sizeof name, "t%d", i);
    ASSERT_EQ(Tex_Create(name, 0x0DE1), i);
  }
  EXPECT_EQ(Tex_Create("one too many", 0x0DE1), 0);
  EXPECT_EQ(Tex_Count, kMaxTextures);
  EXPECT_NE(Log().find("Tex_Create: no room for one too many"), std::string::npos);
  Tex_FreeAll();
  EXPECT_EQ(Tex_Create(std::string(256, 'x').c_str(), 0x0DE1), 0);
  EXPECT_GT(Tex_Create(std::string(255, 'x').c_str(), 0x0DE1), 0);
}

}  // namespace

// ---- Material files, frame choice by time and the limits of the table, with a stand-in texture loader.

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

class Materials : public tw_test::LoggedTest {
 protected:
  void SetUp() override {
    LoggedTest::SetUp();
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
    LoggedTest::TearDown();
  }
  const MaterialRecord& M(int i) { return Material_Table[i]; }
  std::string FrameName(int material, double t) {
    return Tex_Table[M(material).frameTexture[Material_GetFrame(material, t)]].name;
  }
  uint8_t savedCube_ = 0;
};

// The three file kinds: rates in a list, timed frames, interpolated frames.
TEST_F(Materials, EachFileKindTimesItsFrames) {
  WriteFile("a.mat", "a b c #speed 15\n");
  WriteFile("b.mat", "a\tb\r\nc\n");
  WriteFile("c.mat", "a b c #TIME 2");
  int a = Material_Load("a"), b = Material_Load("b"), c = Material_Load("c");
  ASSERT_GT(a, 0);
  EXPECT_EQ(M(a).frameCount + M(a).timingMode, 3);
  EXPECT_EQ(std::vector<float>({M(a).speed, M(b).speed, M(c).speed}), std::vector<float>({5, 10, 0.5f}));
  // Each frame is shown 1/15 s.
  std::string shown;
  for (int i = 0; i < 4; i++) shown += FrameName(a, i / 15.0 + 0.01);
  EXPECT_EQ(shown, "abca");
  // Frames share textures by name.
  EXPECT_EQ(M(a).frameTexture[1], M(b).frameTexture[1]);
  // Timed frames; negative times wrap into the cycle too.
  WriteFile("w.ma2", MaterialTool_MaText(4, {{"x", 1}, {"y", 3}}, false));
  int w = Material_Load("w");
  ASSERT_GT(w, 0);
  EXPECT_EQ(M(w).timingMode, 1);
  EXPECT_EQ(FrameName(w, 0.5) + FrameName(w, 2.0) + FrameName(w, -1.5), "xyy");
  // The lerp takes the short way: halfway through frame 0 (a quarter of the 2-second cycle).
  WriteFile("r.ma3", "[2] [f one] [1] [350 0.9 0 1] [f two] [1] [10 0.1 0 2]");
  int m = Material_Load("r");
  ASSERT_GT(m, 0);
  EXPECT_EQ(std::string(Tex_Table[M(m).frameTexture[0]].name), "f one");
  float rot, u, v, s;
  Material_GetFrameLerp(m, 0.5, &rot, &u, &v, &s);
  EXPECT_NEAR(rot * 180.0 / kPiD, 360.0, 1e-3);
  EXPECT_NEAR(u, 1.0, 1e-5);
  EXPECT_NEAR(v + s, 1.5, 1e-6);
  // Missing values take their defaults.
  WriteFile("d.ma3", "[1] [g] [1] [45]");
  int d = Material_Load("d");
  ASSERT_GT(d, 0);
  EXPECT_NEAR(M(d).frameRotation[0], kPiD / 4, 1e-6);
  EXPECT_FLOAT_EQ(M(d).frameScale[0], 1.0f);
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

TEST_F(Materials, EachNameHasOneIndex) {
  int a = Material_Load("Stone");
  int loads = g_loads;
  EXPECT_EQ(Material_Load("stone"), a);
  EXPECT_EQ(Material_LoadPicture("STONE"), a);
  EXPECT_EQ(g_loads, loads);
  EXPECT_EQ(Material_FindByName(nullptr), 0);
  // An existing material is returned without making anything.
  int texCount = Tex_Count;
  uint8_t px[4] = {1, 2, 3, 4};
  EXPECT_EQ(Material_CreateFromPixels("stone", 1, 1, 32, px, 1, 0, 0), a);
  EXPECT_EQ(Tex_Count, texCount);
  EXPECT_EQ(Material_CreateFromPixels("odd", 1, 1, 12, px, 0, 0, 0), 0);
  // Two names with the same hash stay apart.
  std::unordered_map<uint32_t, std::string> seen;
  std::string na, nb;
  for (uint32_t i = 0; na.empty(); i++) {
    std::string n = "n" + std::to_string(i);
    auto [it, fresh] = seen.emplace(Name_HashStr(n.c_str()), n);
    if (!fresh) {
      na = it->second;
      nb = n;
    }
  }
  int ma = Material_Load(na.c_str()), mb = Material_Load(nb.c_str());
  ASSERT_GT(ma, 0);
  ASSERT_GT(mb, 0);
  EXPECT_NE(ma, mb);
  EXPECT_EQ(Material_FindByName(na.c_str()), ma);
  EXPECT_EQ(Material_FindByName(nb.c_str()), mb);
  EXPECT_EQ(Material_Load(nb.c_str()), mb);
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
  EXPECT_NE(Log().find("more than 256 frames"), std::string::npos);

  // The rate applies to the frames that follow; bad rates keep the default.
  const std::pair<const char*, float> speeds[] = {
      {"#speed 12 a b c", 4.0f}, {"a b #time 0", 15.0f}, {"a b #speed fast", 15.0f}, {"a b #speed", 15.0f}};
  int n = 0;
  for (const auto& [text, speed] : speeds) {
    std::string name = "speed" + std::to_string(n++);
    WriteFile(name + ".mat", text);
    EXPECT_FLOAT_EQ(M(Material_Load(name.c_str())).speed, speed) << text;
  }
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
  // Huge offsets and rotations: the lerp must neither hang nor give a non-finite result.
  WriteFile("far.ma3", MaterialTool_MaText(1, {{"a", 1, 3e38f, 8.9e21f, -3e38f, 1},
                                               {"b", 1, -3e38f, 0, 3e38f, 1}}, true));
  m = Material_Load("far");
  ASSERT_GT(m, 0);
  for (double t : {0.0, 0.25, 0.75}) {
    Material_GetFrameLerp(m, t, &rot, &u, &v, &s);
    EXPECT_TRUE(std::isfinite(rot) && std::isfinite(u) && std::isfinite(v) && std::isfinite(s)) << t;
  }
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
  EXPECT_NE(Log().find("no room for one more"), std::string::npos);
}

}  // namespace

// ---- The vertex-array block: kinds, carving from both ends, generations.

namespace {

class VertexArray : public tw_test::LoggedTest {
 protected:
  void SetUp() override {
    LoggedTest::SetUp();
    savedType_ = render_var_type.text;
    savedSize_ = render_var_size.value;
  }
  void TearDown() override {
    OPENGL_FreeVar();
    std::snprintf(render_var_type.text, sizeof render_var_type.text, "%s", savedType_.c_str());
    render_var_size.value = savedSize_;
    LoggedTest::TearDown();
  }
  void Use(const char* type, float size) {
    std::snprintf(render_var_type.text, sizeof render_var_type.text, "%s", type);
    render_var_size.value = size;
  }
  std::string savedType_;
  float savedSize_ = 0;
};

TEST_F(VertexArray, CarvesFromBothEndsOrAnswersNullWithoutABlock) {
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
  // A static request never reaches into what the frame took from the top (990..999).
  EXPECT_EQ(OPENGL_GetStaticVar(390), nullptr);
  EXPECT_NE(Log().find("BigVAR\n"), std::string::npos);
  EXPECT_EQ(OPENGL_GetStaticVar(389), block + 600);
  // Nonsense sizes are refused.
  EXPECT_EQ(OPENGL_GetStaticVar(-5), nullptr);
  EXPECT_EQ(OPENGL_GetStaticVar(0x7FFFFFFF), nullptr);
  EXPECT_EQ(OPENGL_GetDynamicVar(-5), nullptr);
  EXPECT_EQ(OPENGL_GetDynamicVar(0x7FFFFFFF), nullptr);
  // A new block: a new generation and an empty bottom.
  EXPECT_EQ(OPENGL_AllocVar(), g + 1);
  EXPECT_EQ(OPENGL_Var.staticOffset, 0);
  // No block: every request answers null.
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

// Driver memory (GL_NV_vertex_array_range): "video" falls back to AGP, either to system memory;
// range memory is declared as the vertex array range and given back with it.
std::vector<float> g_varPriorities;
float g_varRefuse;  // the priority the driver refuses
int g_varFreed;
void* FakeAllocateMemoryNV(GLsizei size, GLfloat, GLfloat, GLfloat priority) {
  g_varPriorities.push_back(priority);
  return priority >= g_varRefuse ? nullptr : std::calloc(size_t(size), 1);
}
void FakeFreeMemoryNV(void* p) {
  ++g_varFreed;
  std::free(p);
}

TEST_F(VertexArray, RangeMemoryFallsBackFromVideoToAgpAndIsGivenBack) {
  GlDispatch_InstallRecording();
  GlExtFlags.NV_vertex_array_range = 1;
  gl.glXAllocateMemoryNV = FakeAllocateMemoryNV;
  gl.glXFreeMemoryNV = FakeFreeMemoryNV;
  const struct {
    const char* type;
    float refuse;
    int kind;
    std::vector<float> asked;
    const char* log;
  } cases[] = {
      {"VIDEO", 2.0f, kVarVideo, {1.0f}, "VAR[1000]=VID\n"},
      {"video", 1.0f, kVarAgp, {1.0f, 0.5f}, "VAR[1000]=AGP\n"},
      {"AGP", 2.0f, kVarAgp, {0.5f}, "VAR[1000]=AGP\n"},
      {"AGP", 0.5f, kVarSystem, {0.5f}, "VAR[1000]=SYS\n"},
      {"SYS", 2.0f, kVarSystem, {}, "VAR[1000]=SYS\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " " + std::to_string(c.refuse));
    Use(c.type, 1000);
    g_varRefuse = c.refuse;
    g_varPriorities.clear();
    g_varFreed = 0;
    GlRecord_Clear();
    OPENGL_AllocVar();
    EXPECT_EQ(OPENGL_Var.kind, c.kind);
    EXPECT_EQ(g_varPriorities, c.asked);
    EXPECT_NE(Log().rfind(c.log), std::string::npos);
    bool range = c.kind >= kVarAgp;
    const std::vector<std::string>& calls = GlRecord_Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), GlRecord_Format("glVertexArrayRangeNV", 1000, OPENGL_Var.block)),
              range);
    OPENGL_FreeVar();
    EXPECT_EQ(g_varFreed, range ? 1 : 0);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), GlRecord_Format("glDisableClientState", GL_VERTEX_ARRAY_RANGE_NV)),
              range);
  }
  // Without the extension every kind ends in system memory.
  OPENGL_ClearExtensions();
  GlDispatch_Clear();
  for (const char* type : {"video", "AGP", "VBO", ""}) {
    Use(type, 1000);
    OPENGL_AllocVar();
    EXPECT_EQ(OPENGL_Var.kind, kVarSystem) << type;
    EXPECT_NE(OPENGL_Var.block, nullptr);
  }
}

}  // namespace
