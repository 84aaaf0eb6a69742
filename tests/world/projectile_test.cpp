// Shots and casings: the arc, the fuse, the mine's proximity, physics bodies, bounces, impacts,
// the skill factor, lifetimes, casings at rest, the exact random draws of each event.
#include <gtest/gtest.h>

#include <cstring>

#include "characters/defs.h"
#include "foundation/random.h"
#include "hud/hud.h"
#include "physics/physics.h"
#include "world/fx.h"
#include "world/game.h"
#include "world/projectile.h"
#include "world/trace.h"
#include "world_fixture.h"

namespace {

using tw_test::WorldTest;

struct Hit {
  GameObject* target;
  float amount;
};
Hit g_hits[16];
int g_hitCount;
void RecordDamage(GameObject* self, GameObject*, float amount, float, const vec3*, int32_t, int32_t) {
  if (g_hitCount < 16) g_hits[g_hitCount++] = Hit{self, amount};
}

int FxCount() {
  int n = 0;
  for (FxRecord* fx = Fx_ActiveList; fx; fx = fx->next) n++;
  return n;
}

class ShotTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    Fx_Reset();
    Math_RandSetIndex(0);
    g_hitCount = 0;
    for (int b = 0; b < kPhysicsBodies; b++) Physics_Bodies[b].used = 0;
    Physics_BodyCount = 0;
    player_ = StartGame();
    player_->origin = vec3{0, -1500, 0};
    player_->person.state = 1;
  }
  void TearDown() override {
    for (int w = 0; w < 4; w++) Def_Weapons[w] = WeaponDef{};
    WorldTest::TearDown();
  }
  static WeaponDef& Weapon(int w, int kind) {
    WeaponDef& d = Def_Weapons[w];
    d = WeaponDef{};
    d.kind = kind;
    d.bulletExplodTime = 100;
    d.physics = 5000;
    d.removeTime = 1;
    d.skill = -1;
    return d;
  }
  GameObject* Fire(int weapon, vec3 from, vec3 velocity, uint32_t owner = 0) {
    vec3 angles{0, 0, 0};
    return Pulka_Spawn("shot", nullptr, 0, "", owner, &from, 0, &velocity, &angles, weapon);
  }
  // A target that records its damage, with a box of half width 16.
  static GameObject* Target(int classNum, vec3 at) {
    GameObject* t = Solid(Spawn(classNum, at.x, at.y, ""), {-16, -16, -16, 16, 16, 16});
    t->origin = at;
    t->mins = vec3{-16, -16, -16};
    t->maxs = vec3{16, 16, 16};
    t->slots.Damage = RecordDamage;
    return t;
  }
  static void Step(GameObject* shot, double dt) {
    Game_TickFrame = DemoFrame{};
    Game_Tick();
    Game_Step = dt;
    Game_Time += dt;
    Pulka_Think(shot);
  }
  GameObject* player_ = nullptr;
};

TEST_F(ShotTest, WeaponsOutsideTheTableAreRefusedLifetimesTheArcAndTheSkillFactor) {
  EXPECT_EQ(Fire(36, {0, 0, 0}, {1, 0, 0}), nullptr);
  EXPECT_EQ(Fire(-1, {0, 0, 0}, {1, 0, 0}), nullptr);
  const float cases[][3] = {{5, 0, 5}, {2, 0, 20}, {4, 7, 7}};  // kind, given lifetime, lifetime
  for (const auto& c : cases) {
    Weapon(0, int(c[0])).bulletLifetime = c[1];
    GameObject* s = Fire(0, {0, 0, 0}, {1, 0, 0});
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->prop.lifetime, c[2]) << c[0];
  }
  // The arc follows the gravity factor.
  Weapon(0, 5).gravity = 0.5f;
  GameObject* s = Fire(0, {0, 0, 1000}, {100, 0, 50});
  double z = 1000, vz = 50;
  const double a = 1.0 - 800.0 * 0.5;
  for (int i = 0; i < 10; i++) {
    Step(s, 0.1);
    z += vz * 0.1;
    vz += a * 0.1;
  }
  EXPECT_NEAR(s->origin.z, z, 1e-2);
  EXPECT_NEAR(s->origin.x, 100, 1e-3);
  // The skill factor follows the HUD's bands.
  const float bands[5] = {1.0f, 2.0f, 4.0f, 8.0f, 16.0f};
  std::memcpy(Hud_Settings.damage[1], bands, sizeof bands);
  const float factors[][2] = {{10, 1}, {55, 1.5f}, {300, 16}};  // skill, factor
  for (const auto& c : factors) {
    player_->person.skills[1] = c[0];
    EXPECT_NEAR(Pulka_SkillFactor(player_, 1), c[1], 1e-5) << c[0];
  }
  EXPECT_EQ(Pulka_SkillFactor(Spawn(NPC, 0, 0, ""), 1), 1.0f);
  Game_NetMode = 1;
  EXPECT_EQ(Pulka_SkillFactor(player_, 1), 1.0f);
  Game_NetMode = 0;
  // A casing at fraction zero lies flat.
  GameObject* c = Spawn(GILZA, 0, 0, "");
  c->angles = vec3{1, 2, 3};
  c->person.velocity[2] = -100;
  TraceResult hit{};
  hit.normal = vec3{0, 0, 1};
  Gilza_Bounce(c, &hit);
  EXPECT_EQ(c->prop.angularVelocity.x, 0);
  EXPECT_EQ(c->angles.y, 0);
  EXPECT_EQ(c->angles.z, 0);
  EXPECT_NEAR(c->person.velocity[2], 50, 1e-4);  // half the speed, reversed
}

TEST_F(ShotTest, AGrenadeExplodesOnItsFuseThenGoesAndAMineNeverSeesThePlayer) {
  WeaponDef& w = Weapon(0, 2);
  w.bulletExplodTime = 3.0f;
  w.bulletDamage = 80;
  w.bulletExplod = 200;
  GameObject* victim = Target(WORLD, {100, 0, 0});
  GameObject* s = Fire(0, {0, 0, 0}, {0, 0, 0});
  for (int i = 0; i < 29; i++) Step(s, 0.1);
  EXPECT_EQ(g_hitCount, 0);
  Step(s, 0.2);
  EXPECT_EQ(s->person.state, 2);
  ASSERT_EQ(g_hitCount, 1);
  EXPECT_EQ(g_hits[0].target, victim);
  EXPECT_NEAR(g_hits[0].amount, 80 * 0.5, 1);
  EXPECT_EQ(s->prop.soundHandle, 0u);
  Step(s, 1.1);  // removed once its remove time has passed
  EXPECT_NE(s->deleteQueued, 0u);
  // A mine waits a second and never sees the player.
  WeaponDef& mine = Weapon(0, 4);
  mine.sensorDist = 100;
  player_->origin = vec3{50, 0, 0};
  s = Fire(0, {0, 0, 0}, {0, 0, 0});
  for (int i = 0; i < 20; i++) Step(s, 0.1);
  EXPECT_EQ(s->person.state, 1);  // only the player is near
  Spawn(NPC, 0, 60, "")->person.state = 1;
  GameObject* early = Fire(0, {0, 0, 0}, {0, 0, 0});
  Step(early, 0.5);
  EXPECT_EQ(early->person.state, 1);
  Step(early, 0.6);
  EXPECT_EQ(early->person.state, 2);
}

TEST_F(ShotTest, ABulletIntoABodyVanishesLeavingOnePuffAndNoDamage) {
  Weapon(0, 5).bulletDamage = 30;
  GameObject* crate = Spawn(WORLD, 200, 0, "");
  crate->origin = vec3{200, 0, 0};
  vec3 half{2, 2, 2};
  ASSERT_GE(Physics_AddBody(crate, &half, 0), 0);
  GameObject* s = Fire(0, {0, 0, 0}, {1000, 0, 0}, player_->id);
  int index = Math_RandGetIndex();
  Step(s, 0.5);
  EXPECT_NE(s->deleteQueued, 0u);
  EXPECT_EQ(g_hitCount, 0);
  ASSERT_EQ(FxCount(), 1);
  EXPECT_NEAR(Fx_ActiveList->position.x, 200 - 32 - 4, 2.1);
  EXPECT_EQ(Math_RandGetIndex() - index, 6);
}

TEST_F(ShotTest, BouncesImpactsAndTheirDraws) {
  // A bounce off a wall keeps half the speed, reversed.
  Weapon(0, 2).bounce = 0.5f;
  Target(WORLD, {100, 0, 0});
  GameObject* s = Fire(0, {0, 0, 0}, {200, 0, 0});
  Step(s, 1.0);
  EXPECT_NEAR(s->person.velocity[0], -100, 1e-2);
  EXPECT_NEAR(s->origin.x, 100 - 16 - 1.0 / 32, 1e-2);
  // A bullet into a wall: one spark (six draws and the roll), damage through the Damage slot.
  Weapon(1, 5).bulletDamage = 30;
  GameObject* wall = Target(WORLD, {0, 200, 0});
  GameObject* b = Fire(1, {0, 0, 0}, {0, 400, 0});
  int before = FxCount(), index = Math_RandGetIndex();
  Step(b, 1.0);
  ASSERT_EQ(g_hitCount, 1);
  EXPECT_EQ(g_hits[0].target, wall);
  EXPECT_EQ(g_hits[0].amount, 30);
  EXPECT_EQ(FxCount(), before + 1);
  EXPECT_EQ(Math_RandGetIndex() - index, 7);
  // A bullet into a character is gone at once and leaves blood; an NPC's shot on the player halves.
  GameObject* npc = Target(NPC, {0, -200, 0});
  GameObject* hero = Fire(1, {0, 0, 0}, {0, -400, 0});
  Step(hero, 1.0);
  EXPECT_NE(hero->deleteQueued, 0u);
  EXPECT_EQ(Fx_ActiveList->blendMode, 5u);
  // A character spawned without blood shows a flash instead.
  npc->person.noBlood = 1;
  Step(Fire(1, {0, 0, 0}, {0, -400, 0}), 1.0);
  EXPECT_EQ(Fx_ActiveList->blendMode, 1u);
  npc->person.noBlood = 0;
  player_->origin = vec3{400, 0, 0};
  player_->slots.Damage = RecordDamage;
  Solid(player_, {-16, -16, -16, 16, 16, 16});
  GameObject* enemy = Fire(1, {300, 0, 0}, {400, 0, 0}, npc->id);
  Step(enemy, 1.0);
  EXPECT_EQ(g_hits[g_hitCount - 1].target, player_);
  EXPECT_EQ(g_hits[g_hitCount - 1].amount, 15);
}

}  // namespace
