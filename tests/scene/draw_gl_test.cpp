// ".mp" models and ".may" levels drawn on OpenGL (llvmpipe under the test display), checked on
// pixels read back: textures, blend passes, fade, the model matrix, lightmaps, layers,
// reflection, spotlight and the video level.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/render.h"
#include "render/texture.h"
#include "render/vertexarray.h"
#include "render/video.h"
#include "scene/may.h"
#include "scene/model.h"
#include "scene/model_draw.h"
#include "scene/mp.h"
#include "scene/view.h"
#include "support/render_support.h"
#include "tools/image_writer.h"
#include "tools/material_writer.h"
#include "tools/media_writer.h"
#include "tools/model_writer.h"

namespace {

struct Rgb {
  int r, g, b;
};

class SceneDrawGl : public tw_test::GlWindowTest {
 protected:
  static void SetUpTestSuite() { StartSuite("scene draw test"); }
  void SetUp() override {
    GlWindowTest::SetUp();
    if (IsSkipped()) return;
    OPENGL_AllocVar();
    params_ = new ModelDrawParams{};
    params_->scale = {1, 1, 1};
    params_->drawValues[0] = 1.0f;
  }
  void TearDown() override {
    if (!up_) return;
    for (ModelObject* m : loaded_) m->Free(&m);
    delete params_;
    Var_SetText(&render_var_type, "AGP");
    Var_SetValue(&model_draw_lightmap, 1);
    GlWindowTest::TearDown();
  }
  // Clears to black and sets a camera at `eye` looking along +y.
  ViewParams Frame(vec3 eye = {0, 0, 0}, int pass = 0) {
    ViewParams v{};
    v.position = eye;
    v.zoom = 1.5f;  // 90 degrees
    View_Setup(&v, 1);
    v.time = 0;
    v.pass = pass;
    Render_BeginFrame(0, 0, Render_ScreenWidth, Render_ScreenHeight);
    Render_Clear(1, 0, 0, 0);
    Render_SetPerspective(v.fov, 10000, 1);
    Render_SetCamera(&v.angles.x, &eye.x);
    return v;
  }
  static Rgb Pixel(int x, int y) {
    uint8_t p[4] = {};
    Render_ReadPixels(x, y, 1, 1, p);
    return {p[2], p[1], p[0]};
  }
  static Rgb Centre() { return Pixel(Render_ScreenWidth / 2, Render_ScreenHeight / 2); }
  static void Texture(const char* name, ToolImage img, int bits = 24) {
    tw_test::WriteBytes(std::string("textures/") + name + ".tga", ImageTool_WriteTGA(img, bits));
  }
  // Written and loaded; freed after the test.
  ModelObject* LoadModel(const char* name, const MpToolModel& m) {
    tw_test::WriteBytes(std::string(name) + ".mp", MpTool_Write(m));
    return Keep(mp_CreateModel(name));
  }
  ModelObject* LoadLevel(const char* name, const MayToolLevel& l) {
    tw_test::WriteBytes(std::string(name) + ".may", MayTool_Write(l));
    return Keep(mayb_CreateModel(name));
  }
  ModelObject* Keep(ModelObject* m) {
    if (m) loaded_.push_back(m);
    return m;
  }
  ModelDrawParams* params_ = nullptr;
  std::vector<ModelObject*> loaded_;
};

MayToolShader Shader(const char* name, const char* texture = "") {
  MayToolShader sh;
  sh.name = name;
  sh.slots[0].name = texture;
  return sh;
}

void ExpectRgb(Rgb got, int r, int g, int b, int tol, const char* what) {
  EXPECT_NEAR(got.r, r, tol) << what;
  EXPECT_NEAR(got.g, g, tol) << what;
  EXPECT_NEAR(got.b, b, tol) << what;
}

// A model of one square (60 x 60, facing -y) at y = 100 on frame 0.
MpToolModel Square(const char* shaderName, const char* texture) {
  MpToolModel m;
  m.shaders.resize(1);
  m.shaders[0].name = shaderName;
  m.shaders[0].slots[0].name = texture;
  m.frames.push_back(MpToolFrame{"root", {}, {0, 0, 0}});
  m.objects.resize(1);
  std::vector<MpToolVertex> v(4);
  const float c[4][2] = {{-30, -30}, {30, -30}, {30, 30}, {-30, 30}};
  for (int i = 0; i < 4; i++) {
    v[i].pos = {c[i][0], 100, c[i][1]};
    v[i].normal = {0, -1, 0};
    v[i].u = c[i][0] > 0 ? 1.0f : 0.0f;
    v[i].v = c[i][1] > 0 ? 1.0f : 0.0f;
  }
  MpTool_AddPie(m.objects[0], 1, 0, v, {0, 1, 2, 0, 2, 3});
  return m;
}

TEST_F(SceneDrawGl, ModelTexturedInItsPassOnly) {
  Texture("grey", ImageTool_Solid(8, 8, 40, 120, 200, 255));
  for (const char* vbo : {"AGP", "VBO"}) {
    Var_SetText(&render_var_type, vbo);
    ModelObject* opaque = LoadModel("opaque", Square("paint", "grey"));
    ModelObject* glass = LoadModel("glass", Square("pane_ALPHA", "grey"));
    ASSERT_TRUE(opaque && glass);
    ViewParams v = Frame();
    mp_Draw(opaque, params_, &v);
    ExpectRgb(Centre(), 200, 120, 40, 2, vbo);
    EXPECT_EQ(v.statDrawCalls, 1);
    EXPECT_EQ(v.statTriangles, 2);
    v = Frame();
    mp_Draw(glass, params_, &v);  // blended shaders wait for pass 3
    ExpectRgb(Centre(), 0, 0, 0, 0, "alpha in pass 0");
    v.pass = 3;
    mp_Draw(glass, params_, &v);
    mp_Draw(opaque, params_, &v);  // opaque shaders stay out of pass 3
    ExpectRgb(Centre(), 200, 120, 40, 2, "alpha in pass 3");
    EXPECT_EQ(v.statDrawCalls, 1);
  }
}

TEST_F(SceneDrawGl, ModelFadesWithDistanceAndMorphWeightsMoveTheShapesInPhaseTwo) {
  Texture("white", ImageTool_Solid(8, 8, 255, 255, 255, 255));
  MpToolModel m = Square("paint", "white");
  for (auto& v : m.objects[0].vertices) {  // scaled up to fill the view from afar
    v.pos.x *= 40;
    v.pos.z *= 40;
  }
  ModelObject* model = LoadModel("far", m);
  ASSERT_NE(model, nullptr);
  params_->position = {0, 2100, 0};  // the fade goes by the distance to the model's position
  ViewParams v = Frame();
  mp_Draw(model, params_, &v);
  Rgb half = Centre();
  EXPECT_NEAR(half.r, 128, 4);
  params_->position = {0, 2300, 0};  // beyond 0.95 x 2400: gone
  v = Frame();
  mp_Draw(model, params_, &v);
  ExpectRgb(Centre(), 0, 0, 0, 1, "faded out");
  // Morph weights move the shapes in phase two.
  params_->position = {};
  Texture("grey", ImageTool_Solid(8, 8, 128, 128, 128, 255));
  m = Square("paint", "grey");
  m.objects[0].kind = 1;
  for (auto& v : m.objects[0].vertices) v.shapes = {MpToolShape{{0, 0, 60}, {}}};  // shape 1: up 60
  m.objects[0].pies[0].morphs = 1;
  model = LoadModel("morph", m);
  ASSERT_NE(model, nullptr);
  int cx = Render_ScreenWidth / 2, cy = Render_ScreenHeight / 2, up = Render_ScreenWidth * 3 / 10;
  v = Frame();
  mp_Draw(model, params_, &v);  // weights 1, 0, ...: the static copy
  EXPECT_EQ(v.statVertices, 0);
  EXPECT_EQ(Centre().r, 128);
  params_->drawValues[1] = 1.0f;
  v = Frame();
  mp_Draw(model, params_, &v);
  EXPECT_EQ(v.statVertices, 4);
  EXPECT_EQ(Centre().r, 0);
  EXPECT_EQ(Pixel(cx, cy + up).r, 128);
}

// ---- Levels --------------------------------------------------------------------------------------

// A wall quad 200 x 200 at y = 100 facing the camera, object "wall_3" (lightmap "wall").
MayToolLevel Wall(const MayToolShader& shader) {
  MayToolLevel l;
  l.shaders.push_back(shader);
  l.objects.push_back({"wall_3"});
  std::vector<MayToolVertex> v;
  std::vector<uint16_t> t;
  MayTool_Quad({-100, 100, -100}, {100, 100, -100}, {100, 100, 100}, {-100, 100, 100}, 1, 1, v, t);
  MayTool_AddTriangles(l, 0, 0, v, t);
  MayTool_GroupSets(l);
  return l;
}

TEST_F(SceneDrawGl, LightmapDoublesAnEmptyOneKeepsScaleOneAndWithoutVertexMemoryTheArraysDraw) {
  Texture("diffuse", ImageTool_Solid(8, 8, 128, 128, 128, 255));
  Texture("light/wall", ImageTool_Solid(8, 8, 64, 64, 64, 255));
  MayToolShader sh = Shader("plaster", "diffuse");
  Var_SetText(&render_var_type, "VBO");  // the surface's vertices in a buffer object
  ModelObject* buffered = LoadLevel("lit", Wall(sh));
  Var_SetText(&render_var_type, "AGP");
  ModelObject* lit = LoadLevel("lit", Wall(sh));
  ASSERT_TRUE(lit && buffered);
  EXPECT_NE(static_cast<MaylLevel*>(buffered->data)->surfaces[0].buffer, 0u);
  for (ModelObject* level : {buffered, lit}) {
    ViewParams v = Frame();
    mayb_Draw(level, params_, &v);
    ExpectRgb(Centre(), 64, 64, 64, 3, "diffuse x lightmap x 2");
    EXPECT_EQ(v.statDrawCalls, 1);
  }
  ViewParams v;
  Var_SetValue(&model_draw_lightmap, 0);
  v = Frame();
  mayb_Draw(lit, params_, &v);
  ExpectRgb(Centre(), 128, 128, 128, 3, "lightmaps off");
  Var_SetValue(&model_draw_lightmap, 1);
  std::remove("textures/light/wall.tga");
  Tex_FreeAll();
  v = Frame();
  mayb_Draw(lit, params_, &v);
  ExpectRgb(Centre(), 128, 128, 128, 3, "no lightmap: scale 1");
  // Without vertex-array memory the loaded arrays draw and one line is logged.
  ModelObject* level = LoadLevel("novar", Wall(sh));
  ModelObject* model = LoadModel("novar", Square("paint", "diffuse"));
  ASSERT_TRUE(level && model);
  OPENGL_FreeVar();
  for (int frame = 0; frame < 3; frame++) {
    ViewParams v = Frame();
    mayb_Draw(level, params_, &v);
    ExpectRgb(Centre(), 128, 128, 128, 3, "level");
    v = Frame();
    mp_Draw(model, params_, &v);
    ExpectRgb(Centre(), 128, 128, 128, 3, "model");
  }
  std::string log = Log();
  EXPECT_EQ(tw_test::CountOccurrences(log, "mayb_Draw: no vertex-array memory"), 1);
  EXPECT_EQ(tw_test::CountOccurrences(log, "mp_Draw: no vertex-array memory"), 1);
  EXPECT_EQ(tw_test::CountOccurrences(log, "NULLVAR"), 0);
}

TEST_F(SceneDrawGl, ObjectsOutsideTheViewAreSkipped) {
  MayToolLevel l = Wall(Shader("plaster"));
  l.objects.push_back({"behind"});
  std::vector<MayToolVertex> v;
  std::vector<uint16_t> t;
  MayTool_Quad({100, -100, -100}, {-100, -100, -100}, {-100, -100, 100}, {100, -100, 100}, 1, 1, v, t);
  MayTool_AddTriangles(l, 0, 1, v, t);
  MayTool_GroupSets(l);
  ModelObject* level = LoadLevel("culled", l);
  ASSERT_NE(level, nullptr);
  ViewParams view = Frame();
  mayb_Draw(level, params_, &view);
  EXPECT_EQ(view.statDrawCalls, 1);
  view.pass = 3;
  mayb_Draw(level, params_, &view);
  // Turned round: the other wall only.
  params_->angles = {kMathPi, 0, 0};
  view = Frame();
  mayb_Draw(level, params_, &view);
  EXPECT_EQ(view.statDrawCalls, 1);
  EXPECT_EQ(static_cast<MaylLevel*>(level->data)->objects[1].visible, 1);
  EXPECT_EQ(static_cast<MaylLevel*>(level->data)->objects[0].visible, 0);
  // Turned back without a main pass: the blended pass keeps the one main pass's choice.
  params_->angles = {0, 0, 0};
  view = Frame({0, 0, 0}, 3);
  mayb_Draw(level, params_, &view);
  EXPECT_EQ(static_cast<MaylLevel*>(level->data)->objects[0].visible, 0);
  // A wall with three keys that move none of its sets, seen with the level origin behind the eye.
  MayToolLevel keyed = Wall(Shader("plaster"));
  keyed.objects[0].keyCount = 3;
  keyed.objects[0].end = 2;
  keyed.keys.resize(3);
  ModelObject* still = LoadLevel("keyed", keyed);
  ASSERT_NE(still, nullptr);
  view = Frame({0, 50, 0});
  view.time = 0.5;
  mayb_Draw(still, params_, &view);
  EXPECT_EQ(view.statDrawCalls, 1);
  // The per-pixel lighting mode hides the level.
  Var_SetValue(&render_bump_shadows, 1);
  view = Frame();
  mayb_Draw(level, params_, &view);
  Var_SetValue(&render_bump_shadows, 0);
  EXPECT_EQ(view.statDrawCalls, 0);
}

TEST_F(SceneDrawGl, LayersReflectionAndAlphaPass) {
  Texture("red", ImageTool_Solid(8, 8, 0, 0, 255, 255));
  Texture("blue", ImageTool_Solid(8, 8, 255, 0, 0, 255));
  Texture("clear", ImageTool_Solid(8, 8, 0, 0, 0, 0), 32);
  Texture("green", ImageTool_Solid(8, 8, 0, 255, 0, 255));
  MayToolShader layered;
  layered.name = "mix";
  layered.layerCount = 2;
  layered.slots[0].name = "red";
  layered.slots[1].name = "blue";
  layered.slots[1].opacity = 0.5f;
  ModelObject* a = LoadLevel("layers", Wall(layered));
  MayToolShader shiny = Shader("chrome", "clear");
  shiny.slots[2].name = "green";
  ModelObject* b = LoadLevel("shiny", Wall(shiny));
  ModelObject* c = LoadLevel("window", Wall(Shader("window_ALPHA", "blue")));
  ASSERT_TRUE(a && b && c);
  ViewParams v = Frame();
  mayb_Draw(a, params_, &v);
  ExpectRgb(Centre(), 128, 0, 128, 4, "layer 1 at opacity 0.5 over layer 0");
  // Three layers (the third adds red) on the left wall, a plain grey shader after it on the right:
  // the grey wall takes none of the layers' units.
  Texture("grey", ImageTool_Solid(8, 8, 128, 128, 128, 255));
  MayToolShader three = layered;
  three.layerCount = 3;
  three.slots[2].name = "red";
  three.slots[2].combine = 4;
  MayToolLevel pair;
  pair.shaders = {three, Shader("plaster", "grey")};
  pair.objects.push_back({"walls"});
  for (int side = 0; side < 2; ++side) {
    std::vector<MayToolVertex> vs;
    std::vector<uint16_t> ts;
    float x0 = side ? 0.0f : -100.0f;
    MayTool_Quad({x0, 100, -100}, {x0 + 100, 100, -100}, {x0 + 100, 100, 100}, {x0, 100, 100}, 1, 1, vs, ts);
    MayTool_AddTriangles(pair, side, 0, vs, ts);
  }
  MayTool_GroupSets(pair);
  ModelObject* walls = LoadLevel("pair", pair);
  ASSERT_NE(walls, nullptr);
  v = Frame();
  mayb_Draw(walls, params_, &v);
  ExpectRgb(Pixel(Render_ScreenWidth / 4, Render_ScreenHeight / 2), 255, 0, 128, 4, "three layers");
  ExpectRgb(Pixel(Render_ScreenWidth * 3 / 4, Render_ScreenHeight / 2), 128, 128, 128, 3, "the grey wall after them");
  v = Frame();
  mayb_Draw(b, params_, &v);
  Rgb r = Centre();
  EXPECT_GT(r.g, 200) << "reflection where the diffuse alpha is 0";
  EXPECT_LT(r.r, 10);
  v = Frame();
  mayb_Draw(c, params_, &v);
  ExpectRgb(Centre(), 0, 0, 0, 0, "alpha shader in pass 0");
  v.pass = 3;
  mayb_Draw(c, params_, &v);
  ExpectRgb(Centre(), 0, 0, 255, 2, "alpha shader in pass 3");
}

TEST_F(SceneDrawGl, MovingSetFollowsItsColumnVectorKeys) {
  Texture("red", ImageTool_Solid(8, 8, 0, 0, 255, 255));
  MayToolLevel l;
  l.shaders.push_back(Shader("paint", "red"));
  l.objects.push_back({"arm", 0, 3, 0.0f, 2.0f});
  // Key 1 turns a quarter about y, for column vectors: x' = z, z' = -x.
  l.keys.resize(3);
  const float quarter[9] = {0, 0, 1, 0, 1, 0, -1, 0, 0};
  std::memcpy(l.keys[1].rot, quarter, sizeof quarter);
  l.keys[1].t[1] = 100;
  l.keys[0].t[1] = l.keys[2].t[1] = 100;
  std::vector<MayToolVertex> v;
  std::vector<uint16_t> t;
  MayTool_Quad({0, 0, -5}, {40, 0, -5}, {40, 0, 5}, {0, 0, 5}, 1, 1, v, t);  // a bar to the right
  for (auto& x : v) x.normal[1] = -1;
  MayTool_AddTriangles(l, 0, 0, v, t, 1);
  MayTool_GroupSets(l);
  l.shaders[0].twoSided = 1;
  ModelObject* level = LoadLevel("arm", l);
  ASSERT_NE(level, nullptr);
  Var_SetValue(&model_draw_lightmap, 0);
  ViewParams view = Frame();
  view.time = 0.0f;  // key 0: the bar points right
  mayb_Draw(level, params_, &view);
  int cx = Render_ScreenWidth / 2, cy = Render_ScreenHeight / 2, d = Render_ScreenWidth / 10;
  EXPECT_GT(Pixel(cx + d, cy).r, 200);
  EXPECT_LT(Pixel(cx, cy - d).r, 20);
  view = Frame();
  view.time = 1.0f;  // key 1: turned down
  mayb_Draw(level, params_, &view);
  EXPECT_LT(Pixel(cx + d, cy).r, 20);
  EXPECT_GT(Pixel(cx, cy - d).r, 200);
  EXPECT_LT(Pixel(cx, cy + d).r, 20);
}

// A spotlight draws only in pass 1: a picture projected from its key, a cube by direction.
TEST_F(SceneDrawGl, SpotlightsDrawOnlyInTheirPassAndCubeOnesByDirection) {
  Texture("diffuse", ImageTool_Solid(8, 8, 255, 255, 255, 255));
  ToolImage spot = ImageTool_Solid(32, 32, 0, 0, 0, 255), faces[6];
  for (int y = 8; y < 24; y++)
    for (int x = 8; x < 24; x++) std::memset(spot.At(x, y), 255, 3);
  Texture("spot", spot);
  const uint8_t colours[6][3] = {{0, 0, 255}, {0, 255, 255}, {0, 255, 0}, {255, 0, 255}, {255, 0, 0}, {255, 255, 0}};
  for (int i = 0; i < 6; i++) faces[i] = ImageTool_Solid(8, 8, colours[i][0], colours[i][1], colours[i][2], 255);
  ASSERT_TRUE(MaterialTool_WriteCube("textures/cubespot", faces));
  MayToolLevel cubeLit = Wall(Shader("plaster", "diffuse"));
  cubeLit.spotTexture = "cubespot";
  cubeLit.spotKeyCount = 1;
  cubeLit.keys.resize(1);
  MayToolLevel l = cubeLit;
  l.spotTexture = l.spotShader = "spot";
  // The projector at the camera, looking along +y: its -z axis (the frustum's) turned onto +y.
  const float rot[9] = {1, 0, 0, 0, 0, 1, 0, -1, 0};
  std::memcpy(l.keys[0].rot, rot, sizeof rot);
  ModelObject* level = LoadLevel("spot", l);
  ModelObject* cube = LoadLevel("cubespot", cubeLit);
  ASSERT_TRUE(level && cube);
  for (int pass : {0, 3}) {
    ViewParams v = Frame({0, 0, 0}, pass);
    mayb_Draw(level, params_, &v);
    EXPECT_EQ(v.statDrawCalls, 0) << pass;
  }
  ViewParams v = Frame({0, 0, 0}, 1);
  mayb_Draw(level, params_, &v);
  EXPECT_EQ(v.statDrawCalls, 1);
  Rgb centre = Centre();
  Rgb edge = Pixel(Render_ScreenWidth / 2 + Render_ScreenWidth / 3, Render_ScreenHeight / 2);
  EXPECT_GT(centre.r, 200);
  EXPECT_LT(edge.r, 30);
  v = Frame({0, 0, 0}, 0);
  mayb_Draw(cube, params_, &v);  // the main pass decides what is visible
  v.pass = 1;
  mayb_Draw(cube, params_, &v);
  // The wall lies along +y from the projector: the +y face's colour (faces are +x, -x, +y, ...).
  ExpectRgb(Centre(), colours[2][2], colours[2][1], colours[2][0], 3, "+y face");
}

TEST_F(SceneDrawGl, VideoLevelShowsTheMovie) {
  TestVideoSpec spec;
  ASSERT_TRUE(Tools_WriteTestVideo("movie.avi", spec));
  ModelObject* level = LoadLevel("cinema", Wall(Shader("video", "movie")));
  ASSERT_NE(level, nullptr);
  Var_SetValue(&model_draw_lightmap, 0);
  ViewParams v = Frame();
  mayb_Draw(level, params_, &v);
  uint8_t expect[3];
  Tools_TestFrameColour(0, expect);
  ExpectRgb(Centre(), expect[0], expect[1], expect[2], 12, "frame 0 of the movie");
  Movie_PlayAvi("", 0, 0, nullptr);
}

}  // namespace
