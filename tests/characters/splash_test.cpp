// Splash damage in a crowded spot: every target within the radius takes its share, however many
// objects stand there.
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

}  // namespace
