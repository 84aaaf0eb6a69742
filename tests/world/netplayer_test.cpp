// Remote players' bodies: the legs cycle exactly as far as the body moved, the fall blends in
// over half a second, and the draw puts the muzzle flash and a carried flag on the right body.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "characters/defs.h"
#include "scene/model.h"
#include "scene/skeleton.h"
#include "scene/view.h"
#include "tools/scene_writer.h"
#include "world/net.h"
#include "world/netplayer.h"
#include "world/start.h"
#include "world_fixture.h"

namespace {

using tw_test::WorldTest;

// Models that record where they are drawn.
struct DrawCall {
  std::string name;
  vec3 at;
};
std::vector<DrawCall> g_draws;
struct NamedModel {
  ModelObject handle;
  std::string name;
};
void RecordDraw(ModelObject* m, ModelDrawParams* p, ViewParams*) {
  g_draws.push_back({reinterpret_cast<NamedModel*>(m)->name, p->position});
}
void FreeNamed(ModelObject** m) {
  delete reinterpret_cast<NamedModel*>(*m);
  *m = nullptr;
}
// Every name loads.
ModelObject* RecordingLoader(const char* name) {
  std::string n = name;
  auto* m = new NamedModel{{Model_NoQuery, RecordDraw, Model_NoTrace, FreeNamed, nullptr}, n};
  return &m->handle;
}

class NetBodyTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    Model_Reset();
    Model_AddLoader(RecordingLoader);
    // One root bone; the run moves it 64 units along +y over 8 frames, the fall 16 along +x.
    tw_test::WriteFile("anim/jaxtorvin/jaxtorvin_stand.sk", SceneTool_SkBytes({SceneToolBone{"Bip01"}}));
    tw_test::WriteFile("anim/jaxtorvin/jaxtorvin_run.am", Track(0, 8));
    tw_test::WriteFile("anim/jaxtorvin/jaxtorvin_dead.am", Track(2, 0));
    g_draws.clear();
  }
  void TearDown() override {
    Obj_ClearAll();
    Model_Reset();
    NET_Flags[0] = NET_Flags[1] = TeamFlag{};
    WorldTest::TearDown();
  }
  static std::string Track(float dx, float dy) {
    SceneToolAnim a;
    a.lastFrame = 8;
    for (int f = 0; f <= 8; f++) {
      a.positions.insert(a.positions.end(), {dx * f, dy * f, 0});
      a.rotations.insert(a.rotations.end(), {0, 0, 0, 1});
    }
    return SceneTool_AmBytes(a);
  }
  static GameObject* Body(int32_t id, vec3 at, float yaw = 0) {
    vec3 still{}, angles{yaw, 0, 0};
    GameObject* o = NetPlayer_Spawn(nullptr, id, 0, "peer", &at, &still, &angles);
    EXPECT_NE(o, nullptr);
    if (o) o->viewFar = 0;  // never culled: the view below has no planes
    return o;
  }
  static const BonePose& Root(GameObject* o) { return o->pose[0]; }
  static int Drawn(const char* name, float x) {
    int n = 0;
    for (const DrawCall& d : g_draws) n += d.name == name && std::fabs(d.at.x - x) < 0.01f;
    return n;
  }
};

TEST_F(NetBodyTest, TheLegsCycleTheFallBlendsInAndFlagAndFlashGoWithTheirBody) {
  // Facing +x (yaw a quarter turn): forward along x advances, sideways does not.
  const struct {
    vec3 move;
    float phase;
  } rows[] = {
      {{0, 0, 0}, 0.25f},  {{64, 0, 0}, 0.25f}, {{32, 0, 0}, 0.75f},
      {{-16, 0, 0}, 0.0f}, {{0, 40, 0}, 0.25f}, {{128 + 8, 0, 9}, 0.375f},
  };
  for (const auto& r : rows) {
    GameObject* o = Body(7, {100, 100, 0}, kMathPi / 2);
    ASSERT_NE(o->pose, nullptr);
    o->prop.phase = 0.25f;
    o->origin = vec3{100 + r.move.x, 100 + r.move.y, r.move.z};
    NetPlayer_Animate(o);
    EXPECT_NEAR(o->prop.phase, r.phase, 1e-5) << r.move.x << " " << r.move.y;
    EXPECT_FLOAT_EQ(o->prop.prevPhase, 0.25f);
    // The root stays at the origin whatever the phase.
    EXPECT_NEAR(Root(o).position[1], 0, 1e-4);
    EXPECT_EQ(o->prevOrigin.x, o->origin.x);
    EXPECT_FALSE(o->prop.backwards);
    Obj_ClearAll();
  }
  // Dead for t: the death pose at phase min(t / 2, 1) (root x = 16 x phase) with weight
  // min(2t, 1) over the run pose (root x = 0).
  const struct {
    double dead;
    float x;
  } falls[] = {{0, 0}, {0.25, 0.5f * 2}, {0.5, 4}, {1.0, 8}, {5.0, 16}};
  for (const auto& r : falls) {
    GameObject* o = Body(7, {0, 0, 0});
    o->person.state = 2;
    o->deathTime = 10;
    Game_Time = 10 + r.dead;
    NetPlayer_Animate(o);
    EXPECT_NEAR(Root(o).position[0], r.x, 1e-4) << r.dead;
    Obj_ClearAll();
  }
  // The flag and the muzzle flash go with their body.
  Def_Weapons[3].shotTime = 1.0f;
  GameObject* a = Body(10, {-50, 100, 0});
  GameObject* b = Body(20, {50, 100, 0});
  Game_NetMode = 1;
  Game_NetGameType = 2;
  NET_Flags[1] = TeamFlag{1, 20, {}, 0};
  Game_Time = 10;
  b->prop.fireWeapon = 3;
  b->prop.fireTime = 9.9f;  // a tenth into the interval: flash
  a->prop.fireWeapon = 99;  // off the network: no flash, no harm
  a->prop.fireTime = 9.95f;
  ViewParams v{};
  NetPlayer_Draw(a, &v);
  NetPlayer_Draw(b, &v);
  EXPECT_EQ(Drawn("anim\\jaxtorvin\\jaxtorvin_0", -50), 1);
  EXPECT_EQ(Drawn("anim\\jaxtorvin\\jaxtorvin_0", 50), 1);
  EXPECT_EQ(Drawn("anim\\items\\ctf\\flagblu", 50), 1);
  EXPECT_EQ(Drawn("anim\\items\\ctf\\flagblu", -50), 0);
  EXPECT_EQ(Drawn("anim\\jaxtorvin\\jaxtorvin_fire", 50), 1);
  EXPECT_EQ(Drawn("anim\\jaxtorvin\\jaxtorvin_fire", -50), 0);
  // The flag changes hands; half an interval later the flash is over (a far body's empty band:
  // netplayer_gl_test).
  NET_Flags[1].carrier = 10;
  Game_Time = 10.5;
  g_draws.clear();
  NetPlayer_Draw(a, &v);
  NetPlayer_Draw(b, &v);
  EXPECT_EQ(Drawn("anim\\items\\ctf\\flagblu", -50), 1);
  EXPECT_EQ(Drawn("anim\\items\\ctf\\flagblu", 50), 0);
  EXPECT_EQ(Drawn("anim\\jaxtorvin\\jaxtorvin_fire", 50), 0);
  EXPECT_EQ(g_draws.size(), 3u);
  Game_NetGameType = 0;
  Game_NetMode = 0;
  Def_Weapons[3].shotTime = 0;
}

}  // namespace
