// The hero's weapons on a generated level: a shot of every projectile kind from the magazine at
// the weapon's interval, the empty magazine, the kick's state, bullets and grenades meeting a
// passer-by, reloading, changing weapons (a picked-up one too) and the HUD's ammunition line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "char_fixture.h"
#include "characters/actions.h"
#include "characters/inventory.h"
#include "foundation/file.h"
#include "foundation/text.h"
#include "hud/hud.h"
#include "world/fx.h"
#include "world/projectile.h"

namespace {

using tw_test::CharTest;

class Weapons : public CharTest {
 protected:
  void SetUp() override {
    CharTest::SetUp();
    Hud_Shutdown();  // the skill factors at 1.0
    Fx_Reset();
  }
  // The player at (1500, -1500) facing +y with the weapon in hand and rounds in its magazine.
  static GameObject* Armed(const char* weapon, int magazine, int reserve) {
    GameObject* p = PlacePlayer(1500, -1500);
    p->person.state = 1;
    p->person.equippedKind = INV_WEAPON;
    p->person.equippedIndex = Def_FindWeaponByName(weapon);
    EXPECT_GE(p->person.equippedIndex, 0) << weapon;
    const int a = Def_Weapons[p->person.equippedIndex].ammo;
    p->person.magazine[a] = magazine;
    p->person.ammo[a] = reserve;
    return p;
  }
  static int Magazine(const GameObject* p) { return p->person.magazine[Def_Weapons[p->person.equippedIndex].ammo]; }
  static int Reserve(const GameObject* p) { return p->person.ammo[Def_Weapons[p->person.equippedIndex].ammo]; }
  // Projectiles the player fired.
  static int Shots(const GameObject* p, GameObject** last = nullptr) {
    int n = 0;
    for (GameObject* o = Obj_ListHead; o; o = o->next)
      if (o->classNum == PULKA && o->owner == p->id && !o->deleteQueued) {
        n++;
        if (last) *last = o;
      }
    return n;
  }
  // Runs ticks for the seconds; the game time the shot went off (its hit time), 0 when it did not
  // (the shot is looked up by id: a spent one is released after its remove delay).
  static double RunUntilOff(uint32_t id, float seconds) {
    double off = 0;
    for (int i = 0; i < int(seconds / 0.01f + 0.5f); i++) {
      Run(0.01f, 0);
      GameObject* g = Obj_FindById(id);
      if (g && g->classNum == PULKA && g->prop.hitTime > 0 && off == 0) off = g->prop.hitTime;
    }
    return off;
  }
  static GameObject* Passerby(float x, float y) {
    GameObject* n = Spawn(NPC, x, y, "");
    n->person.state = 1;
    n->person.health = n->person.maxHealth = 100;
    n->prop.solid = 1;
    return n;
  }
};

TEST_F(Weapons, EveryKindFliesFromTheMagazineAtTheWeaponsInterval) {
  LoadLevel();
  struct Row {
    const char* weapon;
    int kind, projectiles;
  } rows[] = {{"pi", 5, 1}, {"shotgun", 1, 6}, {"grenade", 2, 1}, {"rocket", 4, 1}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.weapon);
    GameObject* p = Armed(r.weapon, 2, 0);
    const WeaponDef& w = Def_Weapons[p->person.equippedIndex];
    ASSERT_EQ(w.kind, r.kind);
    Run(0.01f, CMD_FIRE);
    GameObject* shot = nullptr;
    EXPECT_EQ(Shots(p, &shot), r.projectiles);
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(shot->prop.weapon, p->person.equippedIndex);
    EXPECT_EQ(Magazine(p), 1);
    // The shot's state and time drive the view's kick.
    EXPECT_EQ(p->person.actionState, 2);
    EXPECT_FLOAT_EQ(p->person.lastShotTime, float(Game_Time));
    const float fired = p->person.lastShotTime;
    // Held: the next shot only once "shottime" has passed.
    if (w.shotTime > 0.05f) {
      Run(w.shotTime * 0.5f, CMD_FIRE);
      EXPECT_EQ(Magazine(p), 1);
      EXPECT_EQ(p->person.lastShotTime, fired);
    }
    Run(w.shotTime + 0.02f, CMD_FIRE);
    EXPECT_EQ(Magazine(p), 0);
    EXPECT_GT(p->person.lastShotTime, fired);
    // The empty magazine: the trigger clicks, nothing flies, and the reserve is not touched.
    const int before = Shots(p);
    const float last = p->person.lastShotTime;
    Run(0.05f, 0);
    Run(w.shotTime + 0.3f, CMD_FIRE);
    EXPECT_EQ(Magazine(p), 0);
    EXPECT_EQ(Reserve(p), 0);
    EXPECT_EQ(p->person.lastShotTime, last);
    EXPECT_LE(Shots(p), before);
  }
}

TEST_F(Weapons, ABulletHitsAPasserByAndAGrenadeBlastsAnother) {
  GameObject* level = LoadLevel();
  level->clipModel2 = level->clipModel;  // shots trace the collision model
  GameObject* p = Armed("pi", 12, 0);
  GameObject* near = Passerby(1500, -1300);
  Run(0.01f, CMD_FIRE);
  Run(1.0f, 0);
  EXPECT_FLOAT_EQ(near->person.health, 100.0f - Def_Weapons[p->person.equippedIndex].bulletDamage);
  EXPECT_EQ(Shots(p), 0) << "a bullet goes at its hit";

  // A grenade thrown along the ground at another passer-by standing by where it lands.
  p = Armed("grenade", 1, 0);
  p->origin = vec3{-1500, -1500, 0};
  GameObject* far = Passerby(-1500, -1300);
  Run(0.01f, CMD_FIRE);
  GameObject* grenade = nullptr;
  ASSERT_EQ(Shots(p, &grenade), 1);
  EXPECT_GT(RunUntilOff(grenade->id, 3.0f), 0.0) << "it went off";
  EXPECT_LT(far->person.health, 100.0f) << "the blast reached it";
  // With no one in its way it bounces to rest and goes off on its fuse.
  p = Armed("grenade", 1, 0);
  p->origin = vec3{0, -1500, 0};
  Run(0.01f, CMD_FIRE);
  ASSERT_EQ(Shots(p, &grenade), 1);
  const double thrown = Game_Time;
  EXPECT_NEAR(RunUntilOff(grenade->id, 3.0f), thrown + Def_Weapons[p->person.equippedIndex].bulletExplodTime, 0.02);
}

TEST_F(Weapons, ReloadTakesFromTheReserveOncePerPressAndTheHudShowsBoth) {
  GameObject* p = Armed("pi", 0, 30);
  char line[256];
  Hud_FormatStatus(p, line, sizeof line);
  EXPECT_NE(std::string(line).find("Ammo 0 / 30"), std::string::npos) << line;
  Run(0.01f, CMD_RELOAD_WEAPON);
  EXPECT_EQ(Magazine(p), 12);
  EXPECT_EQ(Reserve(p), 18);
  Run(0.01f, CMD_RELOAD_WEAPON | CMD_FIRE);
  Run(0.2f, CMD_RELOAD_WEAPON);  // still held: no second reload
  EXPECT_EQ(Magazine(p), 11);
  Hud_FormatStatus(p, line, sizeof line);
  EXPECT_NE(std::string(line).find("Ammo 11 / 18"), std::string::npos) << line;
  Run(0.01f, 0);
  Run(0.01f, CMD_RELOAD_WEAPON);
  EXPECT_EQ(Magazine(p), 12);
  EXPECT_EQ(Reserve(p), 17);
  // A short reserve fills what it can; an empty one nothing.
  p->person.magazine[Def_Weapons[p->person.equippedIndex].ammo] = 0;
  p->person.ammo[Def_Weapons[p->person.equippedIndex].ammo] = 5;
  EXPECT_EQ(Player_ReloadWeapon(p), 5);
  EXPECT_EQ(Player_ReloadWeapon(p), 0);
  EXPECT_EQ(Magazine(p), 5);
  EXPECT_EQ(Reserve(p), 0);
}

TEST_F(Weapons, NextAndPrevCycleTheCarriedWeaponsAndAPickedUpOneCanBeChosen) {
  GameObject* p = Armed("pi", 0, 0);
  const int pi = Def_FindWeaponByName("pi"), grenade = Def_FindWeaponByName("grenade"),
            smg = Def_FindWeaponByName("smg"), shotgun = Def_FindWeaponByName("shotgun");
  ASSERT_LT(pi, grenade);
  ASSERT_LT(grenade, shotgun);
  ASSERT_LT(shotgun, smg);
  // With only the weapon in hand there is nothing to change to.
  EXPECT_EQ(Player_SelectWeapon(p, 1), 0);
  Inv_AddFromText(&p->person, "[weapon] [grenade] [weapon] [smg]");
  Run(0.01f, CMD_NEXT_WEAPON);
  EXPECT_EQ(p->person.equippedIndex, grenade);
  EXPECT_GE(Inv_FindWeapon(&p->person, pi), 0) << "the pistol put away is still carried";
  Run(0.3f, CMD_NEXT_WEAPON);  // held: one change per press
  EXPECT_EQ(p->person.equippedIndex, grenade);
  Run(0.01f, 0);
  Run(0.01f, CMD_NEXT_WEAPON);
  EXPECT_EQ(p->person.equippedIndex, smg);
  Run(0.01f, 0);
  Run(0.01f, CMD_NEXT_WEAPON);
  EXPECT_EQ(p->person.equippedIndex, pi) << "wraps to the first";
  Run(0.01f, 0);
  Run(0.01f, CMD_PREV_WEAPON);
  EXPECT_EQ(p->person.equippedIndex, smg) << "and back";
  // The pistol and the gun share the 9MM magazine: rounds beyond the pistol's 12 go back.
  const int nine = Def_FindAmmo("9MM");
  p->person.magazine[nine] = 30;
  p->person.ammo[nine] = 0;
  Run(0.01f, 0);
  Run(0.01f, CMD_PREV_WEAPON);
  Run(0.01f, 0);
  Run(0.01f, CMD_PREV_WEAPON);
  EXPECT_EQ(p->person.equippedIndex, pi);
  EXPECT_EQ(p->person.magazine[nine], 12);
  EXPECT_EQ(p->person.ammo[nine], 18);
  // A shotgun taken from a crate comes into the cycle.
  GameObject* crate = Spawn(WORLD, 1500, -1450);
  crate->person.state = 1;
  std::snprintf(crate->person.itemText, sizeof crate->person.itemText, "[weapon] [shotgun]");
  Person_ApplyPickup(crate, p);
  Run(0.01f, 0);
  Run(0.01f, CMD_NEXT_WEAPON);
  Run(0.01f, 0);
  Run(0.01f, CMD_NEXT_WEAPON);
  EXPECT_EQ(p->person.equippedIndex, shotgun);
  EXPECT_EQ(Magazine(p), 0);
  EXPECT_EQ(Reserve(p), Def_Weapons[shotgun].magazine);
  // In a car the keys change nothing.
  p->person.carIndex = 1;
  Run(0.01f, 0);
  Run(0.01f, CMD_NEXT_WEAPON | CMD_FIRE);
  EXPECT_EQ(p->person.equippedIndex, shotgun);
  p->person.carIndex = 0;
}

// What a pickup gives is told in a message line: the visible names of what was taken (the
// game's texts, else the definition names) and the amounts; another character's pickup says nothing.
// The line of a pickup names every round it gives: a weapon's magazine with the loose rounds of
// its kind as one count, which is what the reserve then holds more.
TEST_F(Weapons, APickupSaysWhatThePlayerTookAndTheReserveGainsJustThat) {
  auto crate = [](const char* text) {
    GameObject* c = Spawn(WORLD, 0, 0);
    c->person.state = 1;
    std::snprintf(c->person.itemText, sizeof c->person.itemText, "%s", text);
    return c;
  };
  Console_Clear();
  GameObject* p = Armed("pi", 0, 0);
  const int grenades = Def_FindAmmo("GRENADE"), rounds = Def_FindAmmo("9MM"), shells = Def_FindAmmo("16MM");
  ASSERT_GT(grenades, 0);
  ASSERT_GT(rounds, 0);
  ASSERT_GT(shells, 0);
  const int32_t* reserve = p->person.ammo;
  Person_ApplyPickup(crate("[weapon] [grenade] [ammo] [GRENADE] [4]"), p);
  EXPECT_EQ(tw_test::LastConsoleLine(), "You got grenade, 5 GRENADE");
  EXPECT_EQ(reserve[grenades], 5);
  Person_ApplyPickup(crate("[weapon] [pi]"), p);
  EXPECT_EQ(tw_test::LastConsoleLine(), "You got pi, 12 9MM");
  EXPECT_EQ(reserve[rounds], 12);
  Person_ApplyPickup(crate("[weapon] [grenade] [ammo] [9MM] [30] [money] [5] [item] [gate key]"), p);
  EXPECT_EQ(tw_test::LastConsoleLine(), "You got grenade, 1 GRENADE, 30 9MM, 5 money, gate key");
  EXPECT_EQ(reserve[grenades], 5 + 1);
  EXPECT_EQ(reserve[rounds], 12 + 30);
  tw_test::WriteFile("data/text/Eng/consol/You got.txt", "Taken:");
  tw_test::WriteFile("data/text/Eng/items/weapon_shotgun.txt", "a shotgun");
  tw_test::WriteFile("data/text/Eng/items/ammo_grenade.txt", "grenades");
  tw_test::WriteFile("data/text/Eng/items/ammo_16mm.txt", "shells");
  TextFile_Flush();
  Person_ApplyPickup(crate("[weapon] [shotgun] [medic] [25] [model] [1] [ammo] [GRENADE] [4] [ammo] [16MM] [6]"), p);
  EXPECT_EQ(tw_test::LastConsoleLine(), "Taken: a shotgun, 12 shells, 25 health, 4 grenades");
  EXPECT_EQ(reserve[shells], 12);
  EXPECT_EQ(reserve[grenades], 6 + 4);
  const int lines = Console_GetLineCount();
  GameObject* other = Passerby(10, 10);
  Person_ApplyPickup(crate("[ammo] [9MM] [30]"), other);
  Person_ApplyPickup(crate("[nothing] [here]"), p);
  EXPECT_EQ(Console_GetLineCount(), lines);
  TextFile_Flush();
}

}  // namespace
