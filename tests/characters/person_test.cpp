// Definition files (round trips through the writer, defaults, lookups, refused input),
// inventories, pickups, splash damage, finding persons, and non-player characters. (The person
// block of the saved image round-trips with every other field in the world's image test.)
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "char_fixture.h"
#include "characters/inventory.h"
#include "characters/npc.h"
#include "quests/dialog.h"

namespace {

using tw_test::CharTest;
using Persons = CharTest;
using Defs = CharTest;

TEST_F(Defs, TheSampleFilesRoundTrip) {
  EXPECT_EQ(Def_WeaponCount, 7);
  EXPECT_EQ(Def_ShopCount, 1);
  EXPECT_FLOAT_EQ(Def_Weapons[0].physics, 5000.0f);  // a default
  const WeaponDef& pi = Def_Weapons[Def_FindWeaponByName("PI")];
  EXPECT_EQ(pi.ammo, 2);  // "9MM"
  EXPECT_STREQ(pi.fireSound, "sound\\shot_pi");
  EXPECT_FLOAT_EQ(pi.fovDelta[1], -3.0f);
  EXPECT_FLOAT_EQ(Def_Weapons[2].bulletExplodTime, 2.5f);
  EXPECT_EQ(Def_FindArmor("la carissima"), 0);
  EXPECT_EQ(Def_FindArmor("none such"), -1);
  EXPECT_EQ(Def_FindCar("runabout"), 1);
  CarStart start;
  Def_GetCarStart(1, &start);
  EXPECT_STREQ(start.level, "");  // the sample's runabout starts as the street's parked car
  EXPECT_FLOAT_EQ(start.angles[0], 90.0f);
  Def_GetCarStart(27, &start);  // beyond the loaded cars: nothing
  EXPECT_EQ(start.level[0], 0);
  EXPECT_NE(Log().find("scripts\\weapons.txt: 7 weapon definitions"), std::string::npos);
}

TEST_F(Defs, BadInputIsRefusedOneLineEachAndTheRestLoads) {
  struct Case {
    std::string text;
    const char* logged;
  };
  const std::string longName(kDefNameSize, 'n');
  const Case cases[] = {
      {"[weapon] [a] [colour] [red] [bullet_damage] [7]", "entry 0 [a]: unknown key [colour]"},
      {"[weapon] [a] [bullet_damage] [7] [size] [nan]", "entry 0 [a]: bad value [nan] of [size]"},
      {"[weapon] [a] [bullet_damage] [7] [ammo] [PEBBLES]", "bad value [PEBBLES] of [ammo]"},
      {"[weapon] [a] [bullet_damage] [7] [fov_delta] [1 2]", "bad value [1 2] of [fov_delta]"},
      {"[weapon] [a] [bullet_damage] [7] [bulletmodelname] [" + std::string(200, 'm') + "]", "of [bulletmodelname]"},
      {"[weapon] [" + longName + "] [bullet_damage] [9] [weapon] [a] [bullet_damage] [7]",
       "entry 0: a name must have 1 to 63 characters"},
  };
  for (const Case& c : cases) {
    Log_Close();
    Log_Open();
    Def_ResetTable(Def_Tables[0]);
    Def_ParseText(Def_Tables[0], c.text.c_str(), "w.txt");
    ASSERT_EQ(Def_WeaponCount, 1) << c.text;
    EXPECT_FLOAT_EQ(Def_Weapons[0].bulletDamage, 7.0f) << c.text;
    std::string log = Log();
    EXPECT_EQ(tw_test::CountOccurrences(log, "Def_Load: w.txt"), 1) << log;
    EXPECT_NE(log.find(c.logged), std::string::npos) << log;
  }
  // A surplus entry: the table keeps its 12, the thirteenth is refused by name.
  std::string armors;
  for (int i = 0; i < 13; i++) armors += "[armor] [a" + std::to_string(i) + "] [text] [t]\n";
  tw_test::WriteFile("scripts/armors.txt", armors);
  TextFile_Flush();
  Def_LoadArmors();
  EXPECT_EQ(Def_ArmorCount, kArmorDefs);
  EXPECT_NE(Log().find("entry 12 [a12]: the table holds 12; entry refused"), std::string::npos);
  EXPECT_EQ(Def_FindArmor("a12"), -1);
}

TEST_F(Persons, InventoryTextAddsPairsAmmunitionAndMoneyAndFullListsKeepTheirBounds) {
  PersonStats ps{};
  ps.maxHealth = 100;
  ps.health = 40;
  int applied = Inv_AddFromText(&ps,
                                "[weapon] [pi] [armor] [LA Carissima] [item] [gate key] [tatu] [raven] [trans] "
                                "[tram pass] [money] [250] [ammo] [grenade] [3] [medic] [25] [model] [1] "
                                "[weapon] [laser] [item] [nothing] [wish] [x] [weapon] [pi]");
  EXPECT_EQ(applied, 9);
  EXPECT_EQ(Inv_FindWeapon(&ps, 1), 0);
  EXPECT_EQ(ps.ammo[2], 24);  // two magazines of 9MM, one weapon pair
  EXPECT_EQ(Inv_HasItem(&ps, INV_ITEM, Def_FindItem("gate key")), 1);
  EXPECT_EQ(Inv_HasItem(&ps, INV_TATU, 0), 1);
  EXPECT_EQ(ps.money, 250);
  EXPECT_EQ(ps.ammo[9], 3);
  EXPECT_FLOAT_EQ(ps.health, 65.0f);
  std::string log = Log();
  EXPECT_NE(log.find("no weapon named [laser]"), std::string::npos);
  EXPECT_NE(log.find("unknown kind [wish]"), std::string::npos);
  // Full lists keep their bounds.
  PersonStats full{};
  for (int i = 0; i < kInvCarried; i++) ASSERT_EQ(Inv_AddItem(&full, INV_TATU, i % 2), i);
  EXPECT_EQ(Inv_AddItem(&full, INV_TATU, 0), -1);
  EXPECT_EQ(Inv_AddItem(&full, INV_TATU, 2), -1);  // beyond the loaded tattoos
  EXPECT_EQ(Inv_AddFromText(&full, "[armor] [vest]"), 0);
  for (int i = 0; i < kInvStash; i++) ASSERT_EQ(Inv_AddToStash(&full, INV_ITEM, i), i);
  EXPECT_EQ(Inv_AddToStash(&full, INV_ITEM, 99), -1);
  EXPECT_EQ(full.team, 0);  // the field behind the stash is untouched
  // Totals stop at the largest value however many large amounts come.
  const char* big = "[money] [1000000000] [money] [1000000000] [money] [1000000000] [ammo] [9MM] [1000000000] "
                    "[ammo] [9MM] [1000000000] [ammo] [9MM] [1000000000]";
  EXPECT_EQ(Inv_AddFromText(&full, big), 6);
  EXPECT_EQ(full.money, INT32_MAX);
  EXPECT_EQ(full.ammo[2], INT32_MAX);
  EXPECT_EQ(Inv_AddFromText(&full, "[money] [-1000000000]"), 1);
  EXPECT_EQ(full.money, INT32_MAX - 1000000000);
}

TEST_F(Persons, SplashFallsOffToNothingAtTheRadiusAndAnNpcStandsDiesAndLeavesItsDialogue) {
  LoadLevel();
  GameObject* src = Spawn(PULKA, 0, 0);
  src->origin.z = 32;
  struct Case {
    float distance;
    float want;
  };
  for (const Case& c : {Case{0, 100}, Case{50, 50}, Case{100, 0}, Case{150, 0}}) {
    GameObject* npc = Spawn(NPC, c.distance, 0, "target");
    npc->person.health = npc->person.maxHealth = 1000;
    npc->origin.z = 0;  // centre at z = 32
    Person_SplashDamage(src, 100, 100, 2);
    EXPECT_FLOAT_EQ(1000 - npc->person.health, c.want) << c.distance;
    Person_SplashDamage(src, 100, 0, 2);
    Person_SplashDamage(src, 100, -5, 2);
    EXPECT_FLOAT_EQ(1000 - npc->person.health, c.want) << c.distance;
    Obj_RequestDelete(npc);
  }
  // Behind the wall: no clear line.
  src->origin = vec3{0, 560, 32};
  GameObject* hidden = Spawn(NPC, 0, 660, "hidden");
  hidden->person.health = 1000;
  Person_SplashDamage(src, 100, 200, 2);
  EXPECT_FLOAT_EQ(hidden->person.health, 1000.0f);
  // A non-player character stands, dies and leaves its dialogue.
  NpcSpawnValues v{};
  v.names[0] = "npc\\walker\\body";
  v.origin = vec3{10, 20, 0};
  v.angle = 90;
  v.health = 40;
  v.aistate = "bot";
  v.inventorys = "[weapon] [pi]";
  GameObject* npc = Npc_Spawn(&v);
  ASSERT_NE(npc, nullptr);
  EXPECT_EQ(npc->npcControl, 13);
  EXPECT_NEAR(npc->angles.x, kMathPi / 2, 1e-6f);
  EXPECT_EQ(Inv_FindWeapon(&npc->person, 1), 0);
  npc->slots.Damage(npc, nullptr, 15, 1, nullptr, 0, 0);
  EXPECT_EQ(npc->person.state, 1);
  EXPECT_FLOAT_EQ(npc->person.health, 25.0f);
  Game_Time = 4;
  npc->slots.Damage(npc, nullptr, 30, 1, nullptr, 0, 0);
  EXPECT_EQ(npc->person.state, 2);
  EXPECT_FLOAT_EQ(npc->deathTime, 4.0f);
  Dialog_StartWithNpc(npc);
  Obj_RequestDelete(npc);
  Obj_FlushDeleted();
  EXPECT_EQ(Dialog_Open, 0u);
  EXPECT_EQ(Dialog_Partner, nullptr);
}

TEST_F(Persons, FindsByNameAndIdAndTakesPickups) {
  GameObject* p = StartGame();
  GameObject* mara = Spawn(NPC, 10, 0, "Mara");
  EXPECT_EQ(Person_FindByName("PLAYER"), p);
  EXPECT_EQ(Person_FindByName("mara"), mara);
  mara->flags &= ~OBJ_ACTIVE;
  EXPECT_EQ(Person_FindByName("mara"), nullptr);

  GameObject* pickup = Spawn(WORLD, 50, 0);
  std::snprintf(pickup->person.itemText, sizeof pickup->person.itemText, "[weapon] [grenade] [money] [5]");
  pickup->person.respawnTime = 3;
  Game_Time = 10;
  Person_ApplyPickup(pickup, p);
  EXPECT_GE(Inv_FindWeapon(&p->person, 2), 0);
  EXPECT_EQ(p->person.money, 5);
  EXPECT_EQ(pickup->flags & OBJ_ACTIVE, 0u);
  Person_ApplyPickup(pickup, p);  // hidden: nothing more
  EXPECT_EQ(p->person.money, 5);
  Game_Time = 13;
  Person_RespawnPickups();
  EXPECT_NE(pickup->flags & OBJ_ACTIVE, 0u);
  pickup->person.respawnTime = 0;
  Person_ApplyPickup(pickup, p);
  EXPECT_EQ(pickup->deleteQueued, 1u);

  // Out of a car: beside it, clear of the wall behind.
  LoadLevel();
  vec3 car{0, 0, 0};
  Player_PlaceOutsideCar(p, &car);
  EXPECT_FLOAT_EQ(p->origin.x, 100.0f);
  EXPECT_FLOAT_EQ(p->origin.z, 2.0f);
}

// The roles and teams of both teams' flags and bases are read back from the sample arena's load.
TEST_F(Persons, CaptureTheFlagRolesOnlyInAMultiplayerGame) {
  GameObject* flag = Spawn(WORLD, 0, 0);
  std::snprintf(flag->person.itemText, sizeof flag->person.itemText, "[model] [x] [ctfflag] [blue]");
  World_SetCtfRole(flag);
  EXPECT_EQ(flag->person.ctfRole, 0);
  Game_NetMode = 1;
  Game_NetGameType = 2;
  std::snprintf(flag->person.itemText, sizeof flag->person.itemText, "[ctfflag] [green]");
  World_SetCtfRole(flag);
  EXPECT_EQ(flag->person.ctfRole, 0);  // unknown team: nothing
  Game_NetGameType = 0;
}

}  // namespace
