// Splash damage in a crowded spot: every target within the radius takes its share, however many
// objects stand there; and a shot lying on the ground reaches those beyond a kerb, near and far,
// low and high, but not behind a wall.
#include <gtest/gtest.h>

#include "characters/person.h"
#include "world/world_fixture.h"

namespace {

using tw_test::WorldTest;

class SplashTest : public WorldTest {};

TEST_F(SplashTest, ACharacterBehindThreeHundredCasingsStillTakesItsShare) {
  GameObject* blast = Spawn(GILZA, 0, 0);
  for (int i = 0; i < 300; i++) {
    GameObject* casing = Spawn(ANIM, float(i % 20), float(i / 20));
    casing->person.state = 1;
  }
  GameObject* npc = Spawn(NPC, 50, 0, "target");
  npc->person.state = 1;
  npc->person.health = 1000;
  npc->mins = vec3{-16, -16, -32};
  npc->maxs = vec3{16, 16, 32};  // centred on its origin: 50 units from the blast
  Person_SplashDamage(blast, 100, 200, 0);
  EXPECT_FLOAT_EQ(npc->person.health, 1000 - 75);
  // Beyond the radius nothing.
  npc->origin.x = 250;
  Person_SplashDamage(blast, 100, 200, 0);
  EXPECT_FLOAT_EQ(npc->person.health, 1000 - 75);
}

TEST_F(SplashTest, AShotLyingOnTheRoadHurtsThoseAroundItUpAKerbAndOnALedgeButNotBehindAWall) {
  StartGame();
  Solid(Spawn(WORLD, 0, 0, "road"), {-2000, -2000, -16, 2000, 600, 0});
  Solid(Spawn(WORLD, 0, 0, "pavement"), {-2000, 600, -16, 2000, 900, 8});
  Solid(Spawn(WORLD, 0, 0, "ledge"), {60, 600, -16, 140, 700, 40});
  Solid(Spawn(WORLD, 0, 0, "wall"), {-160, 400, 0, -140, 900, 200});
  struct Case {
    const char* what;
    float x, y, z;
    bool hurt;
    GameObject* target;
  };
  Case cases[] = {
      {"at its feet", 20, 570, 0, true, nullptr},
      {"on the pavement past the kerb", 0, 650, 8, true, nullptr},
      {"far along the pavement", 0, 740, 8, true, nullptr},
      {"on the road", -100, 500, 0, true, nullptr},
      {"on the ledge", 100, 650, 40, true, nullptr},
      {"behind the wall", -180, 560, 0, false, nullptr},
      {"beyond the radius", 0, 820, 8, false, nullptr},
  };
  for (Case& c : cases) {
    c.target = Spawn(NPC, c.x, c.y, c.what);
    c.target->origin.z = c.z;
    c.target->person.state = 1;
    c.target->person.health = 1000;
  }
  Ticks(1);  // the tick's lists, which traces go through
  GameObject* shot = Spawn(PULKA, 0, 590);
  shot->origin.z = 1.0f / 32;  // resting on the road, 10 units short of the kerb
  Person_SplashDamage(shot, 100, 200, 0);
  for (const Case& c : cases) {
    vec3 centre{c.x, c.y, c.z + 32}, d;
    Vec_Subtract(&centre, &shot->origin, &d);
    const float want = c.hurt ? (1.0f - float(Vec_Length(&d)) / 200.0f) * 100.0f : 0.0f;
    EXPECT_NEAR(1000 - c.target->person.health, want, 0.01f) << c.what;
  }
}

}  // namespace
