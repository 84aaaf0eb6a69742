// The AI in saved games and at the use key: every character's AI state survives a save and
// load, a save of the first block version still loads and its people walk on, a load ends slow
// motion; a body whose AI forbids searching is not searched (a car is entered instead).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ai/bot.h"
#include "characters/actions.h"
#include "characters/inventory.h"
#include "characters/npc.h"
#include "characters/player.h"
#include "foundation/bytereader.h"
#include "foundation/random.h"
#include "quests/state.h"
#include "tools/def_writer.h"
#include "tools/save_maker.h"
#include "ui/ui.h"
#include "world/entity.h"
#include "world/gameinput.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/personage.h"
#include "world/save.h"
#include "world/world_fixture.h"

namespace {

using tw_test::WorldTest;

class AiSaveTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    Math_RandInit();
    Que_ResetState();
    Game_PersonageCount = 0;
    Level_EmitterCount = 0;
    ASSERT_TRUE(Tool_WriteSmallLevel());  // "yard": civilian areas x 0..200 and 200..400
  }
  void TearDown() override {
    Level_EmitterCount = 0;
    Game_PersonageCount = 0;
    ai_FreeAreas();
    ai_Invalidate();
    WorldTest::TearDown();
  }
  static GameObject* Find(const char* name) {
    for (GameObject* o = Obj_ListHead; o; o = o->next)
      if (o->classNum == NPC && std::strcmp(o->person.name, name) == 0) return o;
    return nullptr;
  }
  // The small game with a walking passer-by and a guard engaged with the player.
  static void MakeGame() {
    Tool_MakeSmallGame(0);
    LoadAreas("scenes\\yard");
    GameObject* civ = Spawn(NPC, 150, 50, "");
    civ->person.state = 1;
    bot_Setup(civ, "*");
    bot_SetWalk(civ, BOT_WALK_CIVILIAN);
    civ->bot.goals[0] = civ->bot.goals[1] = vec3{300, 50, 2};
    civ->bot.civilianArea = 0;
    civ->bot.fromArea = 1;
    civ->bot.acfFlags = ACF_NO_MINE_TARGET;
    civ->bot.blockedTime = 0.5f;
    GameObject* guard = Spawn(NPC, 60, 8, "guard");
    guard->person.state = 1;
    std::snprintf(guard->teamName, sizeof guard->teamName, "watch");
    bot_Setup(guard, "guardscript");
    bot_SetTemplate(guard, BOT_AGGRESSIVE_VISIBLE, 120, 900, 150);
    guard->bot.engaged = BOT_ENGAGE_FOLLOW;
    guard->bot.target = Obj_Player->id;
    guard->bot.lastSeen = 9.5f;
    guard->bot.aiFlags = BOT_NO_SEARCH;
    bot_Setup(Obj_Player, "*");
  }
};

TEST_F(AiSaveTest, EveryCharactersAiStateSurvivesASaveAndALoadEndsSlowMotion) {
  MakeGame();
  const BotState civ = Obj_ListTail->prev->bot, guard = Find("guard")->bot;
  TimeScale = kSlowMotionScale;
  Obj_Player->person.slowMotionLevel = 1;
  ASSERT_EQ(Save("ai"), 1);
  // Play goes on: they walk, forget, and the game is slowed.
  for (GameObject* o = Obj_ListHead; o; o = o->next) o->bot = BotState{};
  ASSERT_EQ(Save_LoadSlot("ai"), 1);
  GameObject* c = nullptr;
  for (GameObject* o = Obj_ListHead; o; o = o->next)
    if (o->classNum == NPC && !o->person.name[0]) c = o;
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->bot.setUp, 1);
  EXPECT_EQ(c->bot.walk, BOT_WALK_CIVILIAN);
  EXPECT_EQ(c->bot.goals[0].x, civ.goals[0].x);
  EXPECT_EQ(c->bot.goals[0].y, 50);
  EXPECT_EQ(c->bot.goals[0].z, 2);
  EXPECT_EQ(c->bot.civilianArea, 0);
  EXPECT_EQ(c->bot.fromArea, 1);
  EXPECT_EQ(c->bot.acfFlags, ACF_NO_MINE_TARGET);
  EXPECT_EQ(c->bot.blockedTime, 0.5f);
  GameObject* g = Find("guard");
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->bot.engaged, BOT_ENGAGE_FOLLOW);
  EXPECT_EQ(g->bot.target, Obj_Player->id);
  EXPECT_EQ(g->bot.lastSeen, 9.5f);
  EXPECT_EQ(g->bot.aggression, BOT_AGGRESSIVE_VISIBLE);
  EXPECT_EQ(g->bot.detectFov, 120);
  EXPECT_EQ(g->bot.detectDist, 900);
  EXPECT_EQ(g->bot.minDist, 150);
  EXPECT_EQ(g->bot.aiFlags, BOT_NO_SEARCH);
  EXPECT_STREQ(g->bot.script, guard.script);
  EXPECT_EQ(ai_IsSetUp(), 1);
  EXPECT_TRUE(ai_IsHostile(g));
  EXPECT_GT(g->bot.team, 0) << "the loaded game has its teams";
  EXPECT_EQ(TimeScale, 1.0f);
  EXPECT_EQ(Obj_Player->person.slowMotionLevel, 0);
  // The loaded passer-by walks on from where it was.
  const float x = c->origin.x;
  Solid(Spawn(WORLD, 0, 0, "ground"), {-1000, -1000, -16, 1000, 1000, 0});
  for (int i = 0; i < 20; i++) {
    Game_TickFrame = DemoFrame{0.05f, 0, 0, 0};
    Game_Tick();
  }
  EXPECT_GT(c->origin.x, x + 50);
}

TEST_F(AiSaveTest, ASaveOfTheFirstBlockVersionLoadsItsCharactersShownSolidAndWalking) {
  MakeGame();
  GameObject* civ = Obj_ListTail->prev;
  civ->prop.solid = civ->prop.visible = 0;  // the first version's characters kept neither word
  // The save as the first version wrote it: only the player in the AI block, records without
  // the walking state, and no seal.
  std::vector<uint8_t> file = Save_SnapshotBytes();
  const size_t blockSize = ai_BlockBytes().size();
  file.resize(file.size() - blockSize);
  ByteWriter w;
  w.U32(0x4B424941);
  w.U32(1);
  w.I32(0);
  w.U32(1);
  w.U32(Obj_Player->id);
  w.I32(0);
  w.U32(0);
  for (int i = 0; i < 6; i++) w.F32(float(i));
  w.I32(-1);
  w.I32(-1);
  w.Text("*", 63);
  w.Zeros(1);
  uint32_t h = 2166136261u;
  for (char b : w.bytes) h = (h ^ uint8_t(b)) * 16777619u;
  w.U32(h);
  file.insert(file.end(), w.bytes.begin(), w.bytes.end());
  tw_test::WriteBytes("save/first.sav", file);
  ASSERT_EQ(Save_LoadSlot("first"), 1);
  int characters = 0;
  for (GameObject* o = Obj_ListHead; o; o = o->next) {
    if (o->classNum != NPC) continue;
    characters++;
    EXPECT_EQ(o->prop.solid, 1);
    EXPECT_EQ(o->prop.visible, 1);
    EXPECT_EQ(o->bot.setUp, 1) << "every character has an AI state";
    EXPECT_EQ(o->bot.walk, o->person.name[0] ? BOT_WALK_NONE : BOT_WALK_CIVILIAN) << o->person.name;
  }
  EXPECT_EQ(characters, 3);
  EXPECT_EQ(Obj_Player->bot.goals[1].z, 5.0f);
}

// The use key, as the play input routes it.
class AiUseTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    GameVars_Init(0);
    for (const auto& [file, text] : Tool_SampleDefFiles()) tw_test::WriteFile("scripts/" + file, text);
    for (const DefTable& t : Def_Tables) Def_LoadTable(t);
    Game_Use = GameUseState{};
    player_ = StartGame();
    player_->person.state = 1;
  }
  void TearDown() override {
    UI_ClearMenuStack(UI_System);
    Player_CommandWord = 0;
    WorldTest::TearDown();
  }
  void Use(GameObject* character) {
    player_->useTargetObject = nullptr;
    player_->useTargetCharacter = character;
    Player_CommandWord = CMD_USE;
    Game_PlayInput();
    Player_CommandWord = 0;
  }
  GameObject* player_ = nullptr;
};

TEST_F(AiUseTest, ABodyWhoseAiForbidsSearchingIsNotSearchedAndADeadCarIsEntered) {
  NpcSpawnValues v{};
  v.car = "runabout";
  v.blocked = v.drawed = 1;
  GameObject* car = Npc_Spawn(&v);
  ASSERT_NE(car, nullptr);
  EXPECT_TRUE(car->bot.aiFlags & BOT_NO_SEARCH) << "a car is never searched";
  car->person.state = 2;
  Use(car);
  EXPECT_EQ(Game_Use.searchedId, 0u);
  EXPECT_FALSE(Game_MenuOpen);
  Inv_AddFromText(&player_->person, "[item] [gate key]");
  Use(car);
  EXPECT_EQ(player_->person.carIndex, car->person.carIndex) << "entered instead";
  // A body without the word is searched.
  NpcSpawnValues p{};
  p.blocked = p.drawed = 1;
  GameObject* body = Npc_Spawn(&p);
  body->person.state = 2;
  player_->person.carIndex = 0;
  player_->person.vehicleState = 0;
  Use(body);
  EXPECT_EQ(Game_Use.searchedId, body->id);
}

}  // namespace
