// Doors, lifts and scenery: the point path, riders, pushing, the pause, requirements, the Info
// line, pick-ups, show and hide lists, capture the flag, the emitter.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "foundation/random.h"
#include "foundation/text.h"
#include "scene/model.h"
#include "scene/view.h"
#include "characters/person.h"
#include "characters/player.h"
#include "quests/state.h"
#include "world/fx.h"
#include "world/game.h"
#include "world/net.h"
#include "world/entity.h"
#include "world/props.h"
#include "world/trace.h"
#include "world_fixture.h"

namespace {

using tw_test::WorldTest;

class DoorTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    Console_Clear();
    Player_HackSkill = 0;
    Game_AllWeaponsFlag = 0;
    Ctf_Reset();
    player_ = StartGame();
    player_->origin = vec3{0, -2000, 0};
    player_->person.state = 1;
  }
  // A box-clipped door resting at point 0 that takes `wait` seconds a segment.
  static GameObject* Door(vec3 a0, float wait = 1.0f) {
    GameObject* d = Spawn(FUNC_DOOR, 0, 0, "gate");
    PropState& p = d->prop;
    p.doorA[0] = a0;
    d->origin = a0;
    p.wait = wait;
    p.t = 1;
    return Solid(d, {-8, -32, 0, 8, 32, 64});
  }
  static GameObject* Crate(float x, float half = 16) {
    GameObject* c = Spawn(WORLD, x, 0, "crate");
    c->mins = vec3{-half, -half, 0};
    c->maxs = vec3{half, half, 2 * half};
    return Solid(c, {-half, -half, 0, half, half, 2 * half});
  }
  // Lists of a tick of no time, then think steps of dt.
  static void Run(GameObject* door, int ticks, float dt = 0.25f) {
    for (int i = 0; i < ticks; i++) {
      Game_TickFrame = DemoFrame{};
      Game_Tick();
      Game_Step = dt;
      Game_Time += dt;
      Door_Think(door);
      Door_Animate(door);
    }
  }
  GameObject* player_ = nullptr;
};

TEST_F(DoorTest, PathsFollowThePointNumbers) {
  GameObject* d = Door(vec3{0, 0, 0});
  d->prop.doorA[1] = vec3{100, 0, 0};
  d->prop.doorA[2] = vec3{100, 100, 0};
  d->prop.doorB[0] = vec3{0, 0, 300};
  Door_Use(d, player_, "[door] [2]");
  Run(d, 9);
  EXPECT_EQ(d->prop.point, 2);
  EXPECT_FLOAT_EQ(d->origin.y, 100);
  // Open from 2: back down table A to 0, then straight up to B0.
  Door_Use(d, player_, nullptr);
  float maxX = 0;
  for (int i = 0; i < 16; i++) {
    Run(d, 1);
    if (d->prop.point >= kDoorOpen || d->prop.nextPoint >= kDoorOpen) maxX = std::fmax(maxX, std::fabs(d->origin.x));
  }
  EXPECT_EQ(d->prop.point, kDoorOpen);
  EXPECT_FLOAT_EQ(d->origin.z, 300);
  EXPECT_EQ(maxX, 0);
  // Point numbers outside the tables are refused.
  d = Door(vec3{0, 0, 0});
  for (const char* bad : {"[door] [8]", "[door] [-1]", "[door] [99999999999]"}) {
    Door_Use(d, player_, bad);
    EXPECT_EQ(d->prop.targetPoint, 0) << bad;
  }
  EXPECT_EQ(tw_test::CountOccurrences(Log(), "is not 0..7 or 100..107"), 3);
  Door_Use(d, player_, "[door] [107]");
  EXPECT_EQ(d->prop.targetPoint, 107);
}

TEST_F(DoorTest, ARiderOnARisingLiftGetsTheExtraLift) {
  GameObject* d = Door(vec3{0, 0, 0});
  d->prop.doorB[0] = vec3{0, 0, 100};
  player_->origin = vec3{0, 0, 500};
  Door_Use(d, player_, nullptr);
  Game_TickFrame = DemoFrame{};
  Game_Tick();
  player_->origin = player_->prevOrigin = vec3{0, 0, 500};
  player_->person.groundId = d->id;
  Player_ViewHeight = 500;
  Game_Step = 0.1;
  Door_Think(d);
  EXPECT_NEAR(d->origin.z, 10.0f, 1e-4);
  EXPECT_NEAR(player_->origin.z, 510.01f, 1e-3);
  EXPECT_NEAR(Player_ViewHeight, 510.01f, 1e-3);
}

TEST_F(DoorTest, ACrateIsPushedUnlessAWallHoldsIt) {
  for (bool wall : {false, true}) {
    Obj_ClearAll();
    player_ = StartGame();
    player_->origin = vec3{0, -2000, 0};
    GameObject* d = Door(vec3{0, 0, 0});
    d->prop.doorB[0] = vec3{100, 0, 0};
    GameObject* crate = Crate(40);
    if (wall) Crate(80, 16);
    // In the path but not to be pushed: a boxless world object (a level-sized model counts as
    // its origin) and a second door standing still, each with the origin inside the sweep.
    GameObject* fixed[] = {Spawn(WORLD, 20, 0), Spawn(FUNC_DOOR, 20, 0)};
    fixed[0]->mins = fixed[0]->maxs = vec3{0, 0, 0};
    for (GameObject* f : fixed) f->origin.z = 10;
    Door_Use(d, player_, nullptr);
    Run(d, 8);
    for (GameObject* f : fixed) EXPECT_EQ(f->origin.x, 20) << f->classNum;
    if (!wall) {
      EXPECT_EQ(d->prop.point, kDoorOpen);
      EXPECT_GT(crate->origin.x, 100 + 8 + 16 - 1);
    } else {
      EXPECT_NEAR(crate->origin.x, 80 - 32, 0.1);
      EXPECT_LT(d->origin.x, crate->origin.x - 16 - 8 + 0.1);
      EXPECT_NE(d->prop.point, kDoorOpen);
    }
  }
}

// Made from entity text as a level makes them: a character and a crate spawned with "blocked" "0"
// let the door's trace through and stay where they are; their solid twins are shoved.
TEST_F(DoorTest, OnlySolidCharactersAndPropsInTheWayArePushed) {
  const char* const things[] = {R"({ "classname" "npc" "id" "thing" "origin" "40 0 0" "blocked" "%s" })",
                                R"({ "classname" "world" "id" "thing" "origin" "40 0 0" "solidbox" "1"
                                     "clipbox" "-16 -16 0 16 16 32" "blocked" "%s" })"};
  for (const char* thing : things)
    for (int solid : {1, 0}) {
      Obj_ClearAll();
      player_ = StartGame();
      player_->origin = vec3{0, -2000, 0};
      GameObject* d = Door(vec3{0, 0, 0});
      d->prop.doorB[0] = vec3{100, 0, 0};
      char text[256];
      std::snprintf(text, sizeof text, thing, solid ? "1" : "0");
      read_ent(text, uint32_t(std::strlen(text)));
      GameObject* o = Person_FindByName("thing");
      ASSERT_NE(o, nullptr);
      ASSERT_EQ(o->prop.solid, solid);
      Door_Use(d, player_, nullptr);
      Run(d, 8);
      EXPECT_EQ(d->prop.point, kDoorOpen);
      if (solid)
        EXPECT_GT(o->origin.x, 100 + 8) << "class " << o->classNum << " was not shoved";
      else
        EXPECT_EQ(o->origin.x, 40) << "class " << o->classNum << " was shoved though the door passes through it";
    }
}

TEST_F(DoorTest, ThePauseClosesOnlyAnOpenDoorAndRequirementsRefuseWithAMessage) {
  for (int point : {kDoorOpen, 3}) {
    GameObject* d = Door(vec3{0, 0, 0});
    d->prop.pause = 2;
    d->prop.point = d->prop.nextPoint = d->prop.targetPoint = point;
    Run(d, 6, 0.5f);
    EXPECT_EQ(d->prop.targetPoint == 0, point == kDoorOpen) << point;
  }
  // The street door (half a second a segment, a pause of 3): it rests open for the segment it
  // waits at the top, then its pause: about 3.5 s in all, not 3.
  GameObject* d = Door(vec3{0, 0, 0}, 0.5f);
  d->prop.doorB[0] = vec3{0, 0, 100};
  d->prop.pause = 3;
  Door_Use(d, player_, nullptr);
  float opened = -1, closing = -1;
  for (int i = 1; i <= 120 && closing < 0; i++) {
    Run(d, 1, 0.05f);
    if (opened < 0 && d->origin.z >= 100) opened = 0.05f * i;
    if (opened >= 0 && d->origin.z < 100) closing = 0.05f * i;
  }
  EXPECT_NEAR(closing - opened, 3.5f, 0.2f);  // give or take the ticks that start and end the pause
  // Requirements refuse with a message once per seven seconds.
  d = Door(vec3{0, 0, 0});
  std::snprintf(d->prop.conditions, sizeof d->prop.conditions, "[skill_hack] [50]");
  Player_HackSkill = 40;
  Game_Time = 1;
  Door_Use(d, player_, nullptr);
  EXPECT_EQ(d->prop.targetPoint, 0);
  ASSERT_EQ(Console_GetLineCount(), 1);
  EXPECT_EQ(std::u16string(Console_GetLine(0, nullptr)), u"consol\\You need 50 consol\\hack skill to open this door");
  for (int lines : {1, 2}) {  // 6.5 s later: no line; 7.5 s later: the next
    Game_Time += lines == 1 ? 6.5 : 1.0;
    Door_Use(d, player_, nullptr);
    EXPECT_EQ(Console_GetLineCount(), lines);
  }
  Player_HackSkill = 50;
  Door_Use(d, player_, nullptr);
  EXPECT_EQ(d->prop.targetPoint, kDoorOpen);
  // The Info line is cut to its buffer.
  int32_t request[8] = {0};
  char reply[kObjInfoReplyBytes];
  d = Door(vec3{5, 5, 5});
  std::memset(d->person.name, 'n', sizeof d->person.name - 1);
  Door_Info(d, request, reply);
  EXPECT_EQ(std::string(reply + 28), std::to_string(d->id) + ":" + std::string(63, 'n') + "[FUNC_DOOR]");
}

// A model that keeps the morph weights it is drawn with and answers queries.
float g_drawn[kModelMorphWeights];
int g_queries;
void KeepWeights(ModelObject*, ModelDrawParams* p, ViewParams*) { std::memcpy(g_drawn, p->drawValues, sizeof g_drawn); }
void CountQuery(ModelObject*, ModelDrawParams*, const void*, void*) { g_queries++; }

TEST_F(DoorTest, ScenerySpeaksThroughItsDrawValuesAndHandsQueriesToItsModel) {
  ModelObject model{CountQuery, KeepWeights, Model_NoTrace, Model_NoFree, nullptr};
  for (int cls : {WORLD, ANIM, FUNC_DOOR, AREOL}) {
    GameObject* o = Spawn(cls, 0, 0, "prop");
    o->drawModel = &model;
    o->prop.visible = 1;
    o->person.state = 1;
    o->viewFar = 0;
    o->drawValues[3] = 0.75f;  // a lip weight, as a voiced line leaves it
    std::memset(g_drawn, 0, sizeof g_drawn);
    ViewParams view{};
    if (cls != AREOL) {
      o->slots.Draw(o, &view);
      EXPECT_EQ(g_drawn[0], 1.0f) << cls;
      EXPECT_EQ(g_drawn[3], 0.75f) << cls;
    }
    int32_t request[8] = {1};
    char reply[kObjInfoReplyBytes] = {};
    g_queries = 0;
    o->slots.Info(o, request, reply);
    EXPECT_EQ(g_queries, 1) << cls;
  }
}

TEST_F(DoorTest, PickUpsListsRespawnTheFlagAndTheEmitter) {
  GameObject* money = Spawn(WORLD, 0, 0, "purse");
  money->person.state = 1;
  money->person.respawnTime = 0;
  std::snprintf(money->person.itemText, sizeof money->person.itemText, "[money] [25]");
  GameObject* shown = Spawn(WORLD, 0, 0, "lamp");
  GameObject* hidden = Spawn(WORLD, 0, 0, "sign");
  hidden->prop.visible = 1;
  std::snprintf(money->prop.drawOn, sizeof money->prop.drawOn, "[lamp] [nobody]");
  std::snprintf(money->prop.drawOff, sizeof money->prop.drawOff, "[sign]");
  int before = player_->person.money;
  World_Use(money, player_, nullptr);
  EXPECT_EQ(player_->person.money, before + 25);
  EXPECT_EQ(shown->prop.visible, 1);
  EXPECT_EQ(hidden->prop.visible, 0);
  // A hidden object shows again once its time has passed.
  GameObject* flag = Spawn(WORLD, 0, 0, "");
  flag->person.state = 2;
  flag->person.hiddenUntil = 5;
  for (int t : {4, 6}) {
    Game_Time = t;
    World_Think(flag);
    EXPECT_EQ(flag->person.state, t < 5 ? 2 : 1);
  }
  // Capture the flag: the server's player takes the flag at a base and brings it home.
  Game_NetMode = 1;
  Game_NetGameType = 2;
  NET_LocalAddress = 0x0a000001;
  GameObject* base[2];
  for (int team : {0, 1}) {
    base[team] = Spawn(WORLD, 0, 0, "");
    base[team]->person.ctfRole = CTF_BASE;
    base[team]->person.team = team;
    base[team]->person.state = 1;
  }
  player_->person.team = 0;
  World_Use(base[1], player_, nullptr);  // red takes the blue flag
  EXPECT_EQ(NET_Flags[1].carrier, 0x0a000001u);
  World_Use(base[0], player_, nullptr);  // and brings it home
  EXPECT_EQ(NET_Flags[1].state, 0);
  EXPECT_EQ(NET_Flags[0].score, 1);
  Game_NetMode = 0;
  Game_NetGameType = 0;
  // The emitter leaves one particle a tenth of a second near its offset.
  Math_RandSetIndex(0);
  GameObject* a = Spawn(ANIM, 100, 200, "fountain");
  PropState& p = a->prop;
  std::snprintf(p.particlesTexture, sizeof p.particlesTexture, "textures\\explod");
  p.particlesOrigin = vec3{0, 0, 50};
  p.particlesScale = 10;
  // Ticks of 0.025 s for one second: a particle whenever a tenth of a second has passed.
  Fx_Reset();
  for (int i = 1; i <= 40; i++) {
    Game_Step = 0.025;
    Game_Time = i * 0.025;
    AnimObj_Think(a);
  }
  int made = 0;
  float later = 1e9f;
  for (FxRecord* fx = Fx_ActiveList; fx; fx = fx->next, made++) {
    EXPECT_LE(std::fabs(fx->position.x - 100) + std::fabs(fx->position.y - 200) + std::fabs(fx->position.z - 50), 6.0f);
    EXPECT_GE(later - fx->startTime, 0.1f - 1e-6f);
    later = fx->startTime;
  }
  EXPECT_GE(made, 7);
  EXPECT_LE(made, 10);
  // A "speedframe" of 0 plays as one second a cycle.
  p.speedFrames[0] = 0;
  Game_Step = 0.25;
  AnimObj_Animate(a);
  EXPECT_TRUE(std::isfinite(p.phase));
}

// Only the player hears a refusal; the all-weapons cheat word opens every door; a door waiting
// for a trigger's text stays shut for a plain use.
TEST_F(DoorTest, RequirementsWaiveForTheCheatWordAndAnotherUserOrAPlainUseIsRefused) {
  GameObject* d = Door(vec3{0, 0, 0});
  std::snprintf(d->prop.conditions, sizeof d->prop.conditions, "[skill_hack] [50]");
  Player_HackSkill = 40;
  Game_Time = 10;
  GameObject* npc = Spawn(NPC, 0, 0, "");
  Door_Use(d, npc, nullptr);
  EXPECT_EQ(d->prop.targetPoint, 0);
  EXPECT_EQ(Console_GetLineCount(), 0);
  Game_AllWeaponsFlag = 1;
  Door_Use(d, player_, nullptr);
  EXPECT_EQ(d->prop.targetPoint, kDoorOpen);
  EXPECT_EQ(Console_GetLineCount(), 0);
  Game_AllWeaponsFlag = 0;
  GameObject* t = Door(vec3{0, 0, 0});
  std::snprintf(t->prop.triggerCommandText, sizeof t->prop.triggerCommandText, "x");
  Door_Use(t, player_, nullptr);
  EXPECT_EQ(t->prop.targetPoint, 0);
}

// The player's use of a door hands its objectives to the quests once, and the player dead or
// another user none; a trigger's text adds its own.
TEST_F(DoorTest, ThePlayersUseGivesTheDoorsObjectivesOnce) {
  Que_ResetState();
  GameObject* d = Door(vec3{0, 0, 0});
  std::snprintf(d->prop.command, sizeof d->prop.command, "[objective] [carry_gate_key] [paid] [30]");
  GameObject* npc = Spawn(NPC, 0, 0, "mara");
  npc->person.state = 1;
  Door_Use(d, npc, nullptr);
  player_->person.state = 2;
  Door_Use(d, player_, nullptr);
  EXPECT_EQ(Que_State.objectives.conditions[0][0], 0);
  player_->person.state = 1;
  Door_Use(d, player_, nullptr);
  Door_Use(d, player_, nullptr);
  const QuestObjectives& o = Que_State.objectives;
  EXPECT_STREQ(o.conditions[0], "carry_gate_key");
  EXPECT_STREQ(o.scripts[0], "paid");
  EXPECT_FLOAT_EQ(o.times[0], 30.0f);
  EXPECT_EQ(o.conditions[1][0], 0);
  EXPECT_NE(Log().find("incoming objective[carry_gate_key][paid][30.000000] to player"), std::string::npos);
  Door_Use(d, npc, "[door] [100] [objective] [by_lever] [paid] [0]");
  EXPECT_STREQ(o.conditions[1], "by_lever");
  EXPECT_EQ(d->prop.targetPoint, kDoorOpen);
  Que_ResetState();
}

}  // namespace
