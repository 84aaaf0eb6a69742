// The view set-up and the world pass without a renderer: frustum planes, weapon kick, culling,
// the order of the Draw slots, street props, remembered missing models and the dialogue camera.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "ai/bot.h"
#include "characters/person.h"
#include "foundation/var.h"
#include "quests/dialog.h"
#include "render/render.h"
#include "scene/model.h"
#include "scene/skeleton.h"
#include "scene/view.h"
#include "support/render_support.h"
#include "tools/scene_writer.h"
#include "world/game.h"
#include "world/level.h"
#include "world/object.h"

namespace {

std::vector<std::string> g_log;
int g_loads;

void RecordDraw(ModelObject* m, ModelDrawParams* p, ViewParams* v) {
  g_log.push_back(std::string(static_cast<const char*>(m->data)) + ":" + std::to_string(v->pass));
  EXPECT_TRUE(p->lightingMode != 1 || p->farDistance == 1000.0f);
}
void FreeModel(ModelObject** m) {
  delete *m;
  *m = nullptr;
}
// Every name loads except those containing "missing".
ModelObject* FakeLoader(const char* name) {
  ++g_loads;
  if (std::strstr(name, "missing")) return nullptr;
  static std::deque<std::string> names;  // stable addresses
  names.emplace_back(name);
  return new ModelObject{Model_NoQuery, RecordDraw, Model_NoTrace, FreeModel, names.back().data()};
}

void DrawObject(GameObject* o, ViewParams* v) {
  g_log.push_back(std::string(o->person.name) + ":" + std::to_string(v->pass));
}

class ViewTest : public tw_test::LoggedTest {
 protected:
  void SetUp() override {
    LoggedTest::SetUp();
    Render_ScreenWidth = 800;
    Render_ScreenHeight = 600;
    Var_SetValue(&render_fov, 60);
    Model_Reset();
    Model_AddLoader(FakeLoader);
    g_log.clear();
    g_loads = 0;
  }
  void TearDown() override {
    Obj_ListHead = Obj_Player = nullptr;
    Props_Grid = {};
    Level_SkyName[0][0] = Level_SkyName[1][0] = '\0';
    Dialog_Open = 0;
    Dialog_Partner = nullptr;
    Model_Reset();
    LoggedTest::TearDown();
  }
  GameObject* Add(const char* name, int zone, int cls = WORLD) {
    auto* o = new GameObject{};
    std::snprintf(o->person.name, sizeof o->person.name, "%s", name);
    o->drawZone = zone;
    o->classNum = cls;
    o->flags = OBJ_ACTIVE;
    o->slots.Draw = DrawObject;
    o->next = Obj_ListHead;
    Obj_ListHead = o;
    owned_.emplace_back(o);
    return o;
  }
  std::vector<std::unique_ptr<GameObject>> owned_;
};

float PlaneDistance(const ViewPlane& p, const vec3& point) { return float(Vec_Dot(&p.normal, &point)) - p.dist; }

TEST_F(ViewTest, FrustumPlanesLieOnTheFieldOfViewEdges) {
  ViewParams v{};
  v.position = {10, 20, 30};
  v.angles = {0.5f, 0.2f, 0.1f};
  v.zoom = 0.5f;
  View_Setup(&v, 1);
  EXPECT_FLOAT_EQ(v.fov, 30.0f);
  v.zoom = 1;
  View_Setup(&v, 1);
  EXPECT_FLOAT_EQ(v.fov, 60.0f);
  mat3 r;
  Mat_FromAngles(&r, &v.angles);
  float h = std::tan(30.0f * 3.14159265f / 180.0f);
  const vec3 edges[4] = {{-h, 1, 0}, {h, 1, 0}, {0, 1, -h * 600 / 800}, {0, 1, h * 600 / 800}};
  for (int i = 0; i < 4; ++i) {
    vec3 dir, p, in;
    Vec_Rotate(&edges[i], &r, &dir);
    Vec_Scale(&dir, 500, &dir);
    Vec_Add(&v.position, &dir, &p);
    EXPECT_NEAR(PlaneDistance(v.planes[i], p), 0, 1e-2f) << i;
    const vec3 ahead{0, 1, 0};
    Vec_Rotate(&ahead, &r, &in);
    Vec_Add(&v.position, &in, &in);
    EXPECT_GT(PlaneDistance(v.planes[i], in), 0) << i;  // straight ahead is inside
  }
  // A box whose farthest corner touches the near plane is outside; one unit further it is not.
  ViewParams s{};
  View_Setup(&s, 1);
  const float box[6] = {-5, -10, -5, 5, 0, 5};
  vec3 at{0, 0, 0};
  EXPECT_TRUE(View_BoxOutside(&s.planes[4], box, &at));
  at.y = 1;
  EXPECT_FALSE(View_BoxOutside(&s.planes[4], box, &at));
  at.y = 32011;
  EXPECT_TRUE(View_BoxOutside(&s.planes[5], box, &at));
}

TEST_F(ViewTest, WeaponKickAndFieldOfView) {
  GameObject* player = Add("player", 0, MACHINEPLAYER);
  Obj_Player = player;
  PersonStats& ps = player->person;
  ps.state = 1, ps.equippedKind = 1, ps.equippedIndex = 3, ps.actionState = 2, ps.lastShotTime = 10;
  WeaponDef& w = Def_Weapons[3];
  w = {};
  w.fovDelta[1] = 9;
  w.fovDelta2Time = 0.2f;  // rise
  w.fovDeltaTime = 0.4f;   // fall
  const float unit = 9 * (60.0f / 90) * 3.14159265f / 180;
  struct Case {
    float time, pitch;
  } cases[] = {{10.1f, unit * 0.5f}, {10.4f, unit * 0.5f}, {11.0f, 0}, {9.0f, 0}};
  for (const Case& c : cases) {
    Game_Time = c.time;
    ViewParams v{};
    v.zoom = 1;
    View_Setup(&v, 1);
    EXPECT_NEAR(v.angles.y, c.pitch, 1e-5f) << c.time;
    EXPECT_FLOAT_EQ(v.fov, 60) << c.time;  // no period: no wobble
  }
  // Zero rise time: straight to the fall, never a division by zero.
  w.fovDelta2Time = 0;
  w.fovPeriod = 1, w.fovCycles = 1, w.fovOffset = 10;
  Game_Time = 10.25;
  ViewParams v{};
  v.zoom = 1;
  View_Setup(&v, 1);
  EXPECT_NEAR(v.angles.y, unit * (0.4f - 0.25f) / 0.4f, 1e-5f);
  EXPECT_NEAR(v.fov, 70, 1e-3f);
  ps.cameraState = 2;
  View_Setup(&v, 1);
  EXPECT_NEAR(v.fov, 70, 1e-3f);  // 60, then the wobble
  Game_Time = 0;
  w = {};
}

TEST_F(ViewTest, WorldPassDrawOrderCullingAndProps) {
  std::snprintf(Level_SkyName[0], kLevelSkyNameSize, "sky");
  std::snprintf(Level_SkyName[1], kLevelSkyNameSize, "clouds");
  GameObject* far = Add("npcfar", 0, NPC);
  far->origin = {0, 5000, 0};
  far->viewFar = 1000;
  GameObject* behind = Add("npcbehind", 0, NPC);
  behind->origin = {0, -50, 0};
  behind->viewFar = 1000;
  const float box[6] = {-10, -10, -10, 10, 10, 10};
  std::memcpy(behind->viewBox, box, sizeof box);
  Add("npcnear", 0, NPC)->origin = {0, 100, 0};
  Add("second", 1);
  Add("first", 0);
  Add("off", 0)->flags = 0;
  // Props: kinds 0 (a model), 1 (missing), 2 (a model); one prop of a kind past the count.
  char kinds[3][kPropNameSize] = {"barrel", "missing", "bin"};
  StreetProp props[5] = {{0, 200, 0, 0, nullptr, 0}, {0, 300, 0, 0, nullptr, 1}, {0, 400, 0, 0, nullptr, 7},
                         {0, 1600, 0, 0, nullptr, 2}, {0, 500, 0, 0, nullptr, 2}};
  props[0].next = &props[1];
  props[1].next = &props[2];
  StreetProp* cells[4 * 4] = {};
  cells[0] = &props[0];
  cells[3 * 4 + 0] = &props[3];  // y cell 3: 1,600 units away
  cells[1 * 4 + 0] = &props[4];
  Props_Grid = {3, kinds, 0, 0, 4, 4, cells};
  ViewParams v{};
  v.zoom = 1;
  for (int frame = 0; frame < 2; ++frame) {
    g_log.clear();
    View_RenderWorld(&v);
    std::vector<std::string> want;
    for (const char* sky : {"sky", "maps\\sky\\suns", "clouds"})
      for (int p = 0; p < 4; ++p) want.push_back(std::string(sky) + ":" + std::to_string(p));
    for (int p = 0; p < 4; ++p)
      for (const char* name : {"first", "npcnear", "second", "barrel", "bin"}) want.push_back(std::string(name) + ":" + std::to_string(p));
    EXPECT_EQ(g_log, want) << frame;
  }
  EXPECT_EQ(g_loads, 6);  // sky, suns, clouds, barrel, missing (once), bin
  // A view that is nowhere or far off the grid (a broken camera) draws no prop and reads no cell
  // outside the grid.
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  for (const vec3& at : {vec3{nan, nan, 0}, vec3{nan, 100, 0}, vec3{0, nan, 0}, vec3{inf, -inf, 0},
                         vec3{3e38f, -3e38f, 0}, vec3{-3e38f, 3e38f, nan}}) {
    v.position = at;
    g_log.clear();
    View_RenderWorld(&v);
    for (const std::string& line : g_log) EXPECT_TRUE(line.rfind("barrel", 0) && line.rfind("bin", 0)) << line;
  }
  v.position = {};
  Model_FreeAll();
  View_RenderWorld(&v);
  EXPECT_EQ(g_loads, 12);  // a new level asks again
  // No sky names: no sky, no suns.
  Level_SkyName[0][0] = Level_SkyName[1][0] = '\0';
  g_log.clear();
  View_RenderWorld(&v);
  EXPECT_EQ(g_log.front(), "first:0");
}

TEST_F(ViewTest, DialogueCameraFacesThePartnersHead) {
  std::vector<SceneToolBone> bones(3);
  bones[0].name = "Bip01";
  bones[1] = {"Bip01 Head", "Bip01", {0, 0, 0, 1}, {0, 0, 60}};
  bones[2] = {"Bip01 EyeL", "Bip01 Head", {0, 0, 0, 1}, {-3, 5, 2}};
  tw_test::WriteFile("npc.sk", SceneTool_SkBytes(bones));
  Skeleton* s = Skel_Get("npc");
  ASSERT_NE(s, nullptr);
  GameObject* npc = Add("npc", 0, NPC);
  npc->origin = {100, 200, 0};
  npc->angles = {3.14159265f / 2, 0, 0};
  npc->skeleton = s;
  npc->pose = s->bindPose;
  Obj_Player = Add("player", 0, MACHINEPLAYER);
  Obj_Player->angles.x = 0.25f;
  Dialog_StartWithNpc(npc);
  Game_Time = 0;
  ViewParams v{};
  v.zoom = 1;
  View_RenderWorld(&v);
  EXPECT_FLOAT_EQ(v.angles.x, 0.25f);
  mat3 look;
  Mat_FromAngles(&look, &v.angles);
  const vec3 back{0, -40, 4};
  vec3 off;
  Vec_Rotate(&back, &look, &off);
  // The head stands 60 up at the partner's position (a turn about z leaves it there).
  EXPECT_NEAR(v.position.x, 100 + off.x, 1e-3f);
  EXPECT_NEAR(v.position.y, 200 + off.y, 1e-3f);
  EXPECT_NEAR(v.position.z, 60 + off.z, 1e-3f);
  vec3 eye = v.position;
  Vec_Subtract(&eye, &View_DialogueEyes.eyeToView[0], &eye);
  mat3 p;
  const vec3 yaw{npc->angles.x, 0, 0};
  Mat_FromAngles(&p, &yaw);
  const vec3 local{-3, 5, 62};
  vec3 want;
  Vec_Transform(&local, &p, &npc->origin, &want);
  EXPECT_NEAR(eye.x, want.x, 1e-3f);
  EXPECT_NEAR(eye.y, want.y, 1e-3f);
  EXPECT_NEAR(eye.z, want.z, 1e-3f);
}

}  // namespace
