// The player in a car: the car's two models drawn where the player is and turned with it, the hero
// sitting in it, the car camera farther back and higher (camera mode 1), and on foot again the
// hero and its camera; a car character drawn as its car; a car model that does not load asked for
// once, not every frame.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "char_fixture.h"
#include "characters/actions.h"
#include "characters/npc.h"
#include "scene/model.h"

namespace {

using tw_test::CharTest;

struct DrawCall {
  std::string name;
  vec3 at, angles;
};
std::vector<DrawCall> g_draws;
std::vector<std::string> g_loads;
std::string g_refused;  // a name the loader does not load
struct NamedModel {
  ModelObject handle;
  std::string name;
};
void RecordDraw(ModelObject* m, ModelDrawParams* p, ViewParams*) {
  g_draws.push_back({reinterpret_cast<NamedModel*>(m)->name, p->position, p->angles});
}
void FreeNamed(ModelObject** m) {
  delete reinterpret_cast<NamedModel*>(*m);
  *m = nullptr;
}
ModelObject* RecordingLoader(const char* name) {
  g_loads.emplace_back(name);
  if (name == g_refused) return nullptr;
  auto* m = new NamedModel{{Model_NoQuery, RecordDraw, Model_NoTrace, FreeNamed, nullptr}, name};
  return &m->handle;
}

class InCar : public CharTest {
 protected:
  void SetUp() override {
    CharTest::SetUp();
    Model_AddLoader(RecordingLoader);
    g_draws.clear();
    g_loads.clear();
    g_refused.clear();
  }
};

float Distance2D(const vec3& a, const vec3& b) { return std::hypot(a.x - b.x, a.y - b.y); }

TEST_F(InCar, TheCarIsDrawnWhereThePlayerDrivesWithTheCarCamera) {
  const int runabout = Def_FindCar("runabout");
  ASSERT_GT(runabout, 0);
  GameObject* p = PlacePlayer(100, 200);
  p->person.state = 1;
  p->drawModel = Model_Get("npc\\player\\body");
  Run(0.05f, 0);
  EXPECT_EQ(p->camera.mode, 0);
  EXPECT_NEAR(Distance2D(p->camera.origin, p->origin), kPlayerCameraBack, 0.5f);

  p->person.carIndex = runabout;
  p->camera.mode = 1;
  Run(0.5f, CMD_FORWARD | CMD_RIGHT);
  g_draws.clear();
  p->slots.Draw(p, nullptr);
  ASSERT_EQ(g_draws.size(), 3u);
  EXPECT_EQ(g_draws[0].name, Def_Cars[runabout].body);
  EXPECT_EQ(g_draws[1].name, Def_Cars[runabout].body2);
  EXPECT_EQ(g_draws[2].name, "npc\\player\\body") << "the hero sits in the car";
  for (const DrawCall& d : g_draws) {
    EXPECT_FLOAT_EQ(d.at.x, p->origin.x);
    EXPECT_FLOAT_EQ(d.at.y, p->origin.y);
    EXPECT_FLOAT_EQ(d.at.z, p->origin.z - (&d == &g_draws[2] ? kPlayerCarSeatDrop : 0.0f));
    EXPECT_FLOAT_EQ(d.angles.x, p->angles.x);
    EXPECT_EQ(d.angles.y, 0.0f);
  }
  EXPECT_NE(p->origin.y, 200.0f) << "it drove";
  EXPECT_EQ(p->camera.mode, 1);
  EXPECT_NEAR(Distance2D(p->camera.origin, p->origin), kPlayerCarCameraBack, 0.5f);
  EXPECT_NEAR(p->camera.origin.z, p->origin.z + kPlayerCarCameraUp, 0.5f);

  // A player carried into a level in its car drives with the car camera too.
  p->camera.mode = 0;
  Run(0.01f, 0);
  EXPECT_EQ(p->camera.mode, 1);

  // On foot: the hero and its own camera.
  p->person.carIndex = 0;
  Run(0.01f, 0);
  EXPECT_EQ(p->camera.mode, 0);
  EXPECT_NEAR(Distance2D(p->camera.origin, p->origin), kPlayerCameraBack, 0.5f);
  g_draws.clear();
  p->slots.Draw(p, nullptr);
  ASSERT_EQ(g_draws.size(), 1u);
  EXPECT_EQ(g_draws[0].name, "npc\\player\\body");
}

TEST_F(InCar, ACarCharacterIsDrawnAsItsCarAndAMissingCarModelIsAskedForOnce) {
  const int runabout = Def_FindCar("runabout");
  ASSERT_GT(runabout, 0);
  NpcSpawnValues v{};
  v.car = "runabout";
  v.names[0] = "anim\\props\\crate";
  v.origin = vec3{50, 60, 0};
  v.angle = 90;
  v.blocked = v.drawed = 1;
  GameObject* car = Npc_Spawn(&v);
  ASSERT_NE(car, nullptr);
  ASSERT_EQ(car->person.carIndex, runabout);
  g_refused = Def_Cars[runabout].body2;
  g_loads.clear();
  for (int frame = 0; frame < 3; frame++) car->slots.Draw(car, nullptr);
  // The wheels do not load: the body is drawn each frame, the wheels asked for once.
  ASSERT_EQ(g_draws.size(), 3u);
  for (const DrawCall& d : g_draws) {
    EXPECT_EQ(d.name, Def_Cars[runabout].body);
    EXPECT_FLOAT_EQ(d.at.x, 50);
    EXPECT_FLOAT_EQ(d.at.y, 60);
    EXPECT_FLOAT_EQ(d.angles.x, car->angles.x);
  }
  EXPECT_EQ(g_loads, (std::vector<std::string>{Def_Cars[runabout].body, Def_Cars[runabout].body2}));
}

}  // namespace
