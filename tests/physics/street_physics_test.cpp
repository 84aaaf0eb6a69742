// Physics in the sample street: the street's mesh, its loose crates (one stacked on another) made
// from entity text, pushed by a player's bullet and by the sliding door, dead characters falling
// as flesh bodies, saves that settle the crates where they were, and a demo of falling crates
// that replays the same ticks; the player shoving a crate by walking into it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ai/bot.h"
#include "characters/actions.h"
#include "characters/defs.h"
#include "characters/npc.h"
#include "characters/person.h"
#include "characters/player.h"
#include "foundation/file.h"
#include "foundation/random.h"
#include "foundation/var.h"
#include "hud/hud.h"
#include "physics/physics.h"
#include "platform/clock.h"
#include "scene/model.h"
#include "world/demo.h"
#include "world/entity.h"
#include "world/fx.h"
#include "world/gamevars.h"
#include "world/image.h"
#include "world/level.h"
#include "world/projectile.h"
#include "world/props.h"
#include "world/save.h"
#include "world/start.h"
#include "world/trace.h"
#include "../world/world_fixture.h"

namespace {

using tw_test::WorldTest;

class StreetPhysics : public WorldTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tw_test::MakeSampleGame(dir_.Path()));
    File_Init();
    WorldTest::SetUp();
    for (const DefTable& t : Def_Tables) Def_LoadTable(t);
    Model_Reset();
    Model_Init(1);  // the model loaders: the crate's physics model and the street's level
    Math_RandInit();
    Fx_Reset();
    Level_Load("street");
    player_ = Player_CreateForLevel();
    ASSERT_NE(player_, nullptr);
    for (const char* ext : {".scn", ".civ", ".bot", ".items"})
      LoadObjects((std::string("scenes\\street") + ext).c_str());
    Game_Running = 1;
    for (const char* name : {"loose_crate_1", "loose_crate_2", "loose_crate_3"}) {
      GameObject* c = Person_FindByName(name);
      ASSERT_NE(c, nullptr) << name;
      crates_.push_back(c);
    }
  }
  // The sample's grenade lying still at `at`, thrown by the hero; it goes off on its fuse.
  void DropGrenade(vec3 at) {
    const int grenade = Def_FindWeaponByName("grenade");
    ASSERT_GE(grenade, 0);
    vec3 still{0, 0, 0}, angles{0, 0, 0};
    ASSERT_NE(Pulka_Spawn("grenade", nullptr, 0, "", player_->id, &at, 0, &still, &angles, grenade), nullptr);
  }
  void TearDown() override {
    Game_FrameTraceHook = nullptr;
    PlatClock_SetSource(nullptr);
    EndDemo();
    StartRecord();
    Def_Weapons[kWeapon] = WeaponDef{};
    Level_Free();
    WorldTest::TearDown();
    File_Shutdown();
  }
  // Ticks of 0.02 s, short enough for the physics steps these tests measure.
  static void Ticks(int n) { WorldTest::Ticks(n, 0.02f); }
  // A player's kind 5 bullet from `from` at `to`.
  GameObject* Shoot(vec3 from, vec3 to, float impulse = 5000) {
    WeaponDef& w = Def_Weapons[kWeapon];
    w = WeaponDef{};
    w.kind = 5;
    w.bulletExplodTime = 100;
    w.physics = impulse;
    w.removeTime = 1;
    w.bulletDamage = 30;
    vec3 d{to.x - from.x, to.y - from.y, to.z - from.z};
    Vec_Normalize(&d);
    vec3 v{d.x * 1500, d.y * 1500, d.z * 1500}, angles{0, 0, 0};
    return Pulka_Spawn("shot", nullptr, 0, "", player_->id, &from, 0, &v, &angles, kWeapon);
  }
  // Live effect records of the blend mode within 40 units of a point (the street's lamp smokes).
  static int FxNear(vec3 at, uint32_t blend) {
    int n = 0;
    for (FxRecord* fx = Fx_ActiveList; fx; fx = fx->next) {
      vec3 d{fx->position.x - at.x, fx->position.y - at.y, fx->position.z - at.z};
      if (fx->blendMode == blend && Vec_Length(&d) < 40) n++;
    }
    return n;
  }
  static constexpr int kWeapon = 35;
  GameObject* player_ = nullptr;
  std::vector<GameObject*> crates_;
};

TEST_F(StreetPhysics, TheStreetHasAMeshAndItsCratesRestOneOnAnother) {
  EXPECT_GT(Physics_LevelTriangles.size(), 0u);
  for (GameObject* c : crates_) ASSERT_NE(c->physicsBody, nullptr) << c->person.name;
  Physics_Settle();
  Ticks(1);
  EXPECT_NEAR(crates_[0]->origin.z, 0, 0.5);
  EXPECT_NEAR(crates_[1]->origin.z, 32, 1.0) << "the second crate stays on the first";
  EXPECT_NEAR(crates_[1]->origin.x, 560, 2);
  EXPECT_NEAR(crates_[2]->origin.z, 0, 0.5);
  EXPECT_NEAR(crates_[2]->angles.x, 45 * kMathPi / 180, 0.05);
  for (GameObject* c : crates_) EXPECT_EQ(Physics_BodyAsleep(c->physicsBody->index), 1) << c->person.name;
}

TEST_F(StreetPhysics, APlayersBulletPushesACrateLeavesOnePuffAndVanishes) {
  Physics_Settle();
  Ticks(1);
  GameObject* c = crates_[2];
  const vec3 before = c->origin;
  const float health = c->person.health;
  GameObject* shot = Shoot(vec3{610, -200, 16}, vec3{610, 50, 16});
  ASSERT_NE(shot, nullptr);
  for (int i = 0; i < 20 && !shot->deleteQueued; i++) Ticks(1);
  EXPECT_NE(shot->deleteQueued, 0u) << "the bullet vanishes at the crate";
  EXPECT_EQ(FxNear(before, 1), 1) << "one puff";
  Ticks(60);
  EXPECT_GT(c->origin.y, before.y + 3) << "pushed along the shot";
  EXPECT_EQ(c->person.health, health) << "no damage";
  EXPECT_NEAR(c->origin.z, 0, 1.0);

  // Knocked off its stack by a shot at its top, the second crate falls to the road.
  GameObject* top = crates_[1];
  ASSERT_NE(Shoot(vec3{560, -100, 56}, vec3{560, 0, 56}, 15000), nullptr);
  for (int i = 0; i < 200; i++) Ticks(1);
  // Its centre is down at the road's crate height (it may lie on any face).
  ASSERT_NE(top->physicsBody, nullptr);
  EXPECT_NEAR(Physics_Bodies[top->physicsBody->index].position.z, 16, 1.0) << "it fell off";
  EXPECT_GT(top->origin.y, 32);
  // Traces meet it where its body lies, whichever face it landed on.
  const vec3 centre = Physics_Bodies[top->physicsBody->index].position;
  vec3 from{centre.x - 200, centre.y, 16}, to{centre.x + 200, centre.y, 16}, zero{0, 0, 0};
  TraceResult tr;
  Obj_Trace(&tr, player_, &from, &zero, &zero, &to, 15);
  EXPECT_LT(tr.fraction, 1.0f);
  EXPECT_EQ(tr.hitObject, top);
  float bounds[6];
  ASSERT_EQ(Physics_ObjectBounds(top, bounds), 1);
  EXPECT_NEAR(top->origin.z + bounds[2], 0, 1.0);
  EXPECT_NEAR(top->origin.z + bounds[5], 32, 1.0);
}

// Crates written as entity text: a missing physics model, an empty clip box and a box without
// "solidbox" give a line and no body; with "game_physics" 0 a good crate gets none either.
TEST_F(StreetPhysics, EntityTextCratesWithBadPhysicsGetNoBody) {
  auto crate = [](const char* id, const char* physics, const char* clip, const char* solidbox) {
    return std::string("{ \"classname\" \"world\" \"id\" \"") + id + "\" \"name\" \"anim\\props\\crate\" " +
           "\"physics\" \"" + physics + "\" \"origin\" \"-200 300 0\" \"clipbox\" \"" + clip +
           "\" \"solidbox\" \"" + solidbox + "\" }\n";
  };
  std::string text = crate("lost", "anim\\props\\nothing", "-16 -16 0 16 16 32", "1") +
                     crate("flat", "anim\\props\\crate", "-16 -16 0 16 16 0", "1") +
                     crate("loose", "anim\\props\\crate", "-16 -16 0 16 16 32", "0") +
                     crate("good", "anim\\props\\crate", "-16 -16 0 16 16 32", "1");
  read_ent(text.data(), uint32_t(text.size()));
  for (const char* id : {"lost", "flat", "loose"}) {
    GameObject* o = Person_FindByName(id);
    ASSERT_NE(o, nullptr) << id;
    EXPECT_EQ(o->physicsBody, nullptr) << id;
  }
  ASSERT_NE(Person_FindByName("good"), nullptr);
  EXPECT_NE(Person_FindByName("good")->physicsBody, nullptr);
  std::string log = Log();
  EXPECT_NE(log.find("World_InitPhysics: no model anim\\props\\nothing for the physics of [lost]"), std::string::npos);
  EXPECT_NE(log.find("empty or inside-out box"), std::string::npos);
  EXPECT_NE(log.find("World_InitPhysics: [loose] has no clip box"), std::string::npos);

  GameVars_Init(0);  // the game's settings, "game_physics" 0.2 among them
  VarRecord* physics = Var_Find("game_physics");
  ASSERT_NE(physics, nullptr);
  Var_SetValue(physics, 0);
  std::string off = crate("off", "anim\\props\\crate", "-16 -16 0 16 16 32", "1");
  read_ent(off.data(), uint32_t(off.size()));
  Var_ResetTable();
  ASSERT_NE(Person_FindByName("off"), nullptr);
  EXPECT_EQ(Person_FindByName("off")->physicsBody, nullptr);
}

// The bottom crate stands square to the shot: its clip box and its body are met at the same
// fraction, and the body takes the shot.
TEST_F(StreetPhysics, ACratesOwnClipBoxDoesNotShieldItsBody) {
  Physics_Settle();
  Ticks(1);
  GameObject* c = crates_[0];
  const float y = c->origin.y;
  GameObject* shot = Shoot(vec3{560, -100, 8}, vec3{560, 0, 8});
  ASSERT_NE(shot, nullptr);
  for (int i = 0; i < 20 && !shot->deleteQueued; i++) Ticks(1);
  EXPECT_NE(shot->deleteQueued, 0u);
  EXPECT_EQ(shot->person.state, 0) << "removed at the body, not stuck in the crate";
  Ticks(30);
  EXPECT_GT(c->origin.y, y + 2);
}

TEST_F(StreetPhysics, TheDoorPushesCratesButNotADeadCharacter) {
  Physics_Settle();
  Ticks(1);
  GameObject* door = Person_FindByName("crate_door");
  ASSERT_NE(door, nullptr);
  GameObject* bottom = crates_[0];
  const float y0 = bottom->origin.y;
  Door_Use(door, player_, nullptr);
  for (int i = 0; i < 100; i++) {
    Ticks(1);
    Door_Think(door);
    Door_Animate(door);
  }
  EXPECT_GT(bottom->origin.y, y0 + 20) << "the closing panel shoved the crate across the road";

  // A dead character in the way is left where it lies (and so is the door's path through it).
  GameObject* npc = Person_FindByName("townsman_1");
  ASSERT_NE(npc, nullptr);
  Npc_Damage(npc, nullptr, 10000, 0, nullptr, 0, 0);
  ASSERT_EQ(npc->person.state, 2);
  Physics_FreeRagdoll(npc);  // no body: only the door could move it
  npc->origin = vec3{560, -100, 0};
  npc->bodyReleased = 1;
  door->prop.targetPoint = 0;
  for (int i = 0; i < 200; i++) {
    Ticks(1);
    Door_Think(door);
    Door_Animate(door);
  }
  door->prop.targetPoint = 100;
  for (int i = 0; i < 100; i++) {
    Ticks(1);
    Door_Think(door);
  }
  EXPECT_FLOAT_EQ(npc->origin.y, -100);
  EXPECT_FLOAT_EQ(npc->origin.x, 560);
}

TEST_F(StreetPhysics, ADyingCharacterFallsAsAFleshBodyThatFarReleaseDrops) {
  GameObject* npc = Person_FindByName("townsman_1");
  ASSERT_NE(npc, nullptr);
  npc->origin.z = 40;  // killed on a step above the road
  Npc_Damage(npc, nullptr, 10000, 0, nullptr, 0, 0);
  ASSERT_NE(npc->physicsBody, nullptr);
  int row = npc->physicsBody->index;
  EXPECT_EQ(Physics_Bodies[row].flags, PHYS_FLESH);
  Ticks(200);
  float box[6];
  ASSERT_EQ(Physics_ObjectBounds(npc, box), 1);
  EXPECT_NEAR(npc->origin.z + box[2], 0, 0.5) << "fallen to the road";
  EXPECT_NEAR(box[5] - box[2], 32, 1.0) << "and lies on it";
  EXPECT_EQ(Physics_BodyAsleep(row), 1);
  // A player's bullet into the body leaves blood.
  const vec3 lies = Physics_Bodies[row].position;
  GameObject* shot = Shoot(vec3{lies.x, lies.y - 200, lies.z}, lies);
  for (int i = 0; i < 20 && !shot->deleteQueued; i++) Ticks(1);
  EXPECT_NE(shot->deleteQueued, 0u);
  EXPECT_EQ(FxNear(lies, 5), 1) << "blood";
  // Far from the player, a named character loses its body.
  player_->origin = vec3{npc->origin.x + 3000, npc->origin.y, 0};
  Ticks(1);
  EXPECT_EQ(npc->physicsBody, nullptr);
  EXPECT_EQ(npc->bodyReleased, 1);
  EXPECT_EQ(Physics_Bodies[row].used, 0);
}

// How far the object's own up axis leans from the vertical, degrees.
float Lean(const GameObject* o) {
  vec3 up;
  Mat_AxesFromAngles(&o->angles, nullptr, nullptr, &up);
  return float(std::acos(std::fmin(1.0f, std::fmax(-1.0f, up.z))) * 180.0 / kMathPi);
}

// Ticks until the character dies (at most `ticks`), then three seconds: dead, with a body, it
// lies more than 60 degrees off upright and has come to a stop, and (unless `from` is null) lies
// farther north than it stood.
void ExpectKilledAndDown(GameObject* npc, int ticks, const vec3* from, const char* how) {
  for (int i = 0; i < ticks && npc->person.state != 2; i++) WorldTest::Ticks(1);
  ASSERT_EQ(npc->person.state, 2) << how << " did not kill him";
  ASSERT_NE(npc->physicsBody, nullptr);
  const int row = npc->physicsBody->index;
  WorldTest::Ticks(140);
  const vec3 was = Physics_Bodies[row].position;
  const float leaned = Lean(npc);
  WorldTest::Ticks(10);
  EXPECT_GT(Lean(npc), 60) << how << ": he still stands";
  vec3 moved;
  Vec_Subtract(&Physics_Bodies[row].position, &was, &moved);
  EXPECT_LT(Vec_Length(&moved), 1.0) << how << ": he is still falling or sliding";
  EXPECT_NEAR(Lean(npc), leaned, 3.0) << how << ": he is still tipping";
  if (from) {
    EXPECT_GT(npc->origin.y, from->y) << how << ": he did not fall away from it";
  }
}

// A townsman killed by the player's one pistol bullet is knocked over by it and lies within three
// seconds; nothing else touches him.
TEST_F(StreetPhysics, OnePistolBulletKillsATownsmanAndKnocksHisBodyOver) {
  GameObject* npc = Person_FindByName("townsman_1");
  ASSERT_NE(npc, nullptr);
  const vec3 stood = npc->origin;
  // The pistol from the player's hand, 200 units off, aimed level at him.
  const int pi = Def_FindWeaponByName("pi");
  ASSERT_GE(pi, 0);
  npc->person.health = 20;
  Hud_Shutdown();  // the player's skill factors at 1.0: the bullet does its 25
  player_->origin = vec3{stood.x, stood.y - 200, 0};
  player_->angles = vec3{0, 0, 0};
  player_->person.equippedKind = INV_WEAPON;
  player_->person.equippedIndex = pi;
  player_->person.magazine[Def_Weapons[pi].ammo] = 12;
  Ticks(1);
  ASSERT_EQ(Player_FireWeapon(player_, 1), 1);
  ExpectKilledAndDown(npc, 100, &stood, "one bullet");
}

// A bullet that kills him low, at his waist, still knocks him over rather than sliding him along.
TEST_F(StreetPhysics, ABulletAtTheWaistStillKnocksTheBodyOver) {
  GameObject* npc = Person_FindByName("townsman_1");
  ASSERT_NE(npc, nullptr);
  npc->person.health = 20;
  Hud_Shutdown();
  vec3 from{npc->origin.x, npc->origin.y - 200, 24}, velocity{0, 1500, 0}, angles{0, 0, 0};
  ASSERT_NE(Pulka_Spawn("shot", nullptr, 0, "", player_->id, &from, 0, &velocity, &angles,
                        Def_FindWeaponByName("pi")),
            nullptr);
  ExpectKilledAndDown(npc, 20, nullptr, "a bullet in the waist");
}

// Likewise a grenade lying at his feet that goes off on its fuse.
TEST_F(StreetPhysics, AGrenadeBlastKillsATownsmanAndThrowsHisBodyDown) {
  GameObject* npc = Person_FindByName("townsman_1");
  ASSERT_NE(npc, nullptr);
  const vec3 stood = npc->origin;
  npc->person.health = 50;
  DropGrenade(vec3{stood.x + 20, stood.y - 30, 2});
  if (HasFatalFailure()) return;
  ExpectKilledAndDown(npc, 200, &stood, "the blast");
}

// A hurt townsman finished off by a grenade at the edge of its reach: the blast's share of the
// damage is small, and so is its push, but the dead man falls all the same.
TEST_F(StreetPhysics, AGrenadeAtTheEdgeOfItsReachFinishesOffAHurtTownsmanWhoFalls) {
  GameObject* npc = Person_FindByName("townsman_1");
  ASSERT_NE(npc, nullptr);
  const vec3 stood = npc->origin;
  npc->person.health = 6;
  const vec3 at{stood.x, stood.y - 170, 2};
  DropGrenade(at);
  if (HasFatalFailure()) return;
  vec3 last = stood;
  for (int i = 0; i < 200 && npc->person.state != 2; i++) {
    last = npc->origin;
    Ticks(1);
  }
  vec3 off{last.x - at.x, last.y - at.y, last.z + 32 - at.z};
  ASSERT_GT(Vec_Length(&off), 160) << "the blast went off near him";
  ExpectKilledAndDown(npc, 0, &stood, "a blast at the edge");
}

// The developer key that kills every enemy leaves the sample's thug lying like any other dead man,
// fallen backwards (nothing hit him from anywhere).
TEST_F(StreetPhysics, KillingAllEnemiesLeavesTheThugLying) {
  GameObject* thug = Person_FindByName("thug_1");
  ASSERT_NE(thug, nullptr);
  Ticks(1);  // the teams are gathered
  ASSERT_TRUE(ai_IsHostile(thug));
  const vec3 stood = thug->origin;
  vec3 forward;
  Mat_AxesFromAngles(&thug->angles, &forward, nullptr, nullptr);
  ai_KillAllEnemies();
  ExpectKilledAndDown(thug, 0, nullptr, "the developer key");
  const vec3 lies = Physics_Bodies[thug->physicsBody->index].position;
  EXPECT_LT((lies.x - stood.x) * forward.x + (lies.y - stood.y) * forward.y, -16) << "he fell backwards";
}

// A body moved since the tick copied its pose (here a push and the settle a recording's start
// runs) is saved where it lies, and the save leaves the live body alone.
TEST_F(StreetPhysics, ASaveKeepsADeadCharacterWhereItsBodyLiesNow) {
  GameObject* npc = Person_FindByName("townsman_1");
  ASSERT_NE(npc, nullptr);
  Npc_Damage(npc, nullptr, 10000, 0, nullptr, 0, 0);
  ASSERT_NE(npc->physicsBody, nullptr);
  Ticks(100);
  const int row = npc->physicsBody->index;
  const vec3 ticked = npc->origin;
  const float push[3] = {400, 0, 0};
  Physics_PushObjectBody(row, push, &Physics_Bodies[row].position.x, 1);
  Physics_Settle();
  ASSERT_GT(std::fabs(Physics_Bodies[row].position.x - ticked.x), 8) << "the push moved the body";
  const PhysicsBodyRecord before = Physics_Bodies[row];
  ASSERT_EQ(Save("corpse"), 1);
  EXPECT_EQ(std::memcmp(&Physics_Bodies[row], &before, sizeof before), 0) << "the live body is untouched";
  Ticks(1);  // the player now sees the body where it lies
  const vec3 lies = npc->origin, turned = npc->angles;
  ASSERT_GT(std::fabs(lies.x - ticked.x), 8);

  ASSERT_EQ(Save_LoadSlot("corpse"), 1);
  GameObject* loaded = Person_FindByName("townsman_1");
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->person.state, 2);
  EXPECT_NEAR(loaded->origin.x, lies.x, 1.0);
  EXPECT_NEAR(loaded->origin.y, lies.y, 1.0);
  EXPECT_NEAR(loaded->origin.z, lies.z, 1.0);
  for (int k = 0; k < 3; k++) EXPECT_NEAR((&loaded->angles.x)[k], (&turned.x)[k], 0.01) << k;
  ASSERT_NE(loaded->physicsBody, nullptr);
  Physics_SyncObject(loaded);
  EXPECT_NEAR(loaded->origin.x, lies.x, 1.0) << "the rebuilt body rests there";
  EXPECT_NEAR(loaded->origin.y, lies.y, 1.0);
}

TEST_F(StreetPhysics, ALoadRebuildsTheBodiesWhereTheCratesWereAndLevelFreeIsClean) {
  Physics_Settle();
  Ticks(1);
  GameObject* shot = Shoot(vec3{610, -200, 16}, vec3{610, 50, 16});
  ASSERT_NE(shot, nullptr);
  Ticks(150);
  std::vector<vec3> saved;
  for (GameObject* c : crates_) saved.push_back(c->origin);
  ASSERT_EQ(Save("physics"), 1);
  Ticks(1);
  ASSERT_EQ(Save_LoadSlot("physics"), 1);
  for (size_t i = 0; i < saved.size(); i++) {
    const char* names[] = {"loose_crate_1", "loose_crate_2", "loose_crate_3"};
    GameObject* c = Person_FindByName(names[i]);
    ASSERT_NE(c, nullptr);
    ASSERT_NE(c->physicsBody, nullptr);
    Physics_SyncObject(c);
    EXPECT_NEAR(c->origin.x, saved[i].x, 1.0) << i;
    EXPECT_NEAR(c->origin.y, saved[i].y, 1.0) << i;
    EXPECT_NEAR(c->origin.z, saved[i].z, 1.0) << i;
  }
  // Rows are given in list order, one per body, and the level's release empties the table.
  EXPECT_EQ(Physics_BodyCount, 3);
  Level_Free();
  EXPECT_EQ(Physics_BodyCount, 0);
  EXPECT_TRUE(Physics_LevelTriangles.empty());
  crates_.clear();
}

// Walking into the lone crate shoves it ahead through the player's Contact operation: the crate
// slides along the walk, stays on the road, and the player gets past where it stood. A walk that
// only touches nothing leaves the crates asleep.
TEST_F(StreetPhysics, ThePlayerWalkingIntoACrateShovesIt) {
  Physics_Settle();
  Ticks(1);
  GameObject* c = crates_[2];
  const int row = c->physicsBody->index;
  const vec3 before = Physics_Bodies[row].position;
  player_->origin = vec3{610, -60, 0};
  player_->angles = vec3{0, 0, 0};  // facing +y, at the crate
  for (int i = 0; i < 60; i++) {
    Game_TickFrame = DemoFrame{0.02f, 0, 0, CMD_FORWARD};
    Game_Tick();
  }
  Game_TickFrame = DemoFrame{0.02f, 0, 0, 0};
  Ticks(100);
  const vec3 after = Physics_Bodies[row].position;
  EXPECT_GT(after.y, before.y + 16) << "pushed along the walk";
  EXPECT_LT(std::fabs(after.x - before.x), after.y - before.y) << "mostly along it";
  EXPECT_NEAR(after.z, before.z, 2.0) << "still on the road";
  EXPECT_GT(player_->origin.y, before.y) << "the player got past where it stood";
  for (GameObject* other : {crates_[0], crates_[1]}) EXPECT_EQ(Physics_BodyAsleep(other->physicsBody->index), 1);
}

// The state before each tick: every object's image and the random index.
std::vector<uint32_t> TickHash() {
  std::vector<uint32_t> h(size_t(ObjImage_FieldCount) + 1, 2166136261u);
  std::vector<uint8_t> image(kObjectImageSize);
  for (GameObject* o = Obj_ListHead; o; o = o->next) {
    ObjImage_Write(o, image.data());
    for (int f = 0; f < ObjImage_FieldCount; f++)
      for (uint32_t i = 0; i < ObjImage_Fields[f].size; i++)
        h[f] = (h[f] ^ image[ObjImage_Fields[f].offset + i]) * 16777619u;
  }
  h.back() = uint32_t(Math_RandGetIndex());
  return h;
}
std::vector<std::vector<uint32_t>> g_hashes;
bool g_collect;
void HashBeforeTick(const char* step) {
  if (g_collect && std::strcmp(step, "Game_Tick") == 0) g_hashes.push_back(TickHash());
}
uint64_t g_now;
std::mt19937 g_jumps(5);
uint64_t IrregularClock() {
  g_now += 4000000 + g_jumps() % 40000000;
  return g_now;
}

TEST_F(StreetPhysics, ARecordedDemoOfFallingCratesReplaysTheSameTicks) {
  constexpr int kTicks = 300;
  // A shot on its way to the stack's top crate is part of the recording's snapshot.
  Physics_Settle();
  Ticks(1);
  ASSERT_NE(Shoot(vec3{560, -100, 56}, vec3{560, 0, 56}, 15000), nullptr);
  PlatClock_SetSource(IrregularClock);
  Timer_Start();
  Game_FrameTraceHook = HashBeforeTick;
  ASSERT_EQ(StartDemo("fall"), 1);
  g_collect = true;
  float topZ = crates_[1]->origin.z, lowest = topZ;
  for (int frame = 0; g_hashes.size() < size_t(kTicks) && frame < 10 * kTicks; frame++) {
    Game_Frame();
    lowest = std::min(lowest, crates_[1]->origin.z);
  }
  g_collect = false;
  ASSERT_EQ(g_hashes.size(), size_t(kTicks));
  ASSERT_EQ(StartRecord(), 1);
  EXPECT_LT(lowest, topZ - 20) << "the top crate fell during the recording";

  std::vector<std::vector<uint32_t>> recorded;
  recorded.swap(g_hashes);
  ASSERT_EQ(Demo_StartPlayback("fall"), 1);
  for (int tick = 0; tick < kTicks; tick++) {
    std::vector<uint32_t> h = TickHash();
    for (size_t i = 0; i < h.size(); i++)
      ASSERT_EQ(h[i], recorded[size_t(tick)][i])
          << "tick " << tick << ", " << (i < size_t(ObjImage_FieldCount) ? ObjImage_Fields[i].name : "random");
    DemoFrame f;
    Demo_ReadFrame(&f);
    Game_TickFrame = f;
    Game_Tick();
  }
}

}  // namespace
