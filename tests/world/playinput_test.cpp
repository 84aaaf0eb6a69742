// The play input: mouse look, the use key on cars, bodies, partners, strangers, hacking, pickups
// and use groups, and leaving a car.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "characters/actions.h"
#include "characters/inventory.h"
#include "foundation/file.h"
#include "foundation/input.h"
#include "foundation/random.h"
#include "foundation/text.h"
#include "foundation/var.h"
#include "quests/dialog.h"
#include "tools/def_writer.h"
#include "tools/entity_writer.h"
#include "ui/ui.h"
#include "world/entity.h"
#include "world/frame2d.h"
#include "world/gameinput.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/personage.h"
#include "world/props.h"
#include "world_fixture.h"

namespace {

using namespace tw_test;

class PlayInput : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    TextFile_Flush();
    GameVars_Init(0);
    Input_Init(0);
    for (const auto& [file, text] : Tool_SampleDefFiles()) WriteFile("scripts/" + file, text);
    for (const DefTable& t : Def_Tables) Def_LoadTable(t);
    for (const auto& [file, text] : Tool_SampleEntityFiles()) WriteFile(file, text);
    Game_NewSession(nullptr);
    std::snprintf(Level_Name, sizeof Level_Name, "street");
    Game_Use = GameUseState{};
    Game_MousePrevious[0] = Game_MousePrevious[1] = 0;
    player_ = StartGame();
  }
  void TearDown() override {
    UI_ClearMenuStack(UI_System);
    Dialog_StartWithNpc(nullptr);
    Player_CommandWord = 0;
    TextFile_Flush();
    WorldTest::TearDown();
  }
  // One frame of play input with the command held and the two use targets.
  void Frame(uint32_t command, GameObject* object = nullptr, GameObject* character = nullptr) {
    player_->useTargetObject = object;
    player_->useTargetCharacter = character;
    Player_CommandWord = command;
    Game_PlayInput();
    Player_CommandWord = 0;
  }
  static GameObject* Prop(float x, float y, const char* itemText, const char* script = "") {
    GameObject* o = Spawn(WORLD, x, y);
    o->person.state = 1;
    std::snprintf(o->person.itemText, sizeof o->person.itemText, "%s", itemText);
    std::snprintf(o->useScript, sizeof o->useScript, "%s", script);
    return o;
  }
  static void Group(const char* name, GameObject* o) {
    std::snprintf(o->useGroupName, sizeof o->useGroupName, "%s", name);
    o->useGroupIndex = ObjGroup_Add(name, o);
  }
  int Ammo9() const { return player_->person.ammo[Def_FindAmmo("9MM")]; }
  GameObject* player_ = nullptr;
};

TEST_F(PlayInput, MouseLookScalesBySensitivitySmoothsAndInvertsThePitch) {
  struct Row {
    float sensitivity;
    int invert;
  };
  const Row rows[] = {{5, 0}, {50, 0}, {50, 1}};
  float turn[3], pitch[3];
  for (int r = 0; r < 3; r++) {
    Var_SetValue(Var_Find("mouse_sensitivity"), rows[r].sensitivity);
    Var_SetValue(Var_Find("mouse_invert"), float(rows[r].invert));
    Input_MouseX = 100;
    Input_MouseY = 40;
    Game_MouseLook();
    const float firstTurn = Game_CurrentFrame.turn;
    turn[r] = Game_CurrentFrame.turn;
    pitch[r] = Game_CurrentFrame.pitch;
    Input_MouseX = Input_MouseY = 0;
    Game_MouseLook();  // the other half of the motion follows a frame later
    EXPECT_FLOAT_EQ(Game_CurrentFrame.turn, firstTurn);
    turn[r] += Game_CurrentFrame.turn;
    pitch[r] += Game_CurrentFrame.pitch;
    Game_MouseLook();
    EXPECT_EQ(Game_CurrentFrame.turn, 0.0f);
  }
  const float k5 = kMathPi * 0.022f * 5 / 180;
  EXPECT_NEAR(turn[0], 100 * k5, 1e-5f);
  EXPECT_NEAR(turn[1], 10 * turn[0], 1e-4f);
  EXPECT_NEAR(pitch[0], -40 * k5 * kMouseVertical, 1e-5f);  // the pointer going down looks down
  EXPECT_NEAR(pitch[2], -pitch[1], 1e-6f);
  EXPECT_GT(pitch[2], 0.0f);
  // Without the setting the sensitivity is 18.
  Var_ResetTable();
  Input_MouseX = 100;
  Game_MouseLook();
  Input_MouseX = 0;
  float missing = Game_CurrentFrame.turn;
  Game_MouseLook();
  EXPECT_NEAR(missing + Game_CurrentFrame.turn, 100 * kMathPi * 0.022f * 18 / 180, 1e-5f);
}

TEST_F(PlayInput, TheParkedCarOpensToItsKeyAndComesBackWhereThePlayerLeavesIt) {
  GameObject* car = Prop(-1200, -450, "[car] [runabout] [gate key]");
  Frame(CMD_USE, car);
  EXPECT_EQ(player_->person.carIndex, 0) << "no key";
  EXPECT_TRUE(car->flags & OBJ_ACTIVE);
  Inv_AddFromText(&player_->person, "[item] [gate key]");
  player_->person.stealthLevel = 0.5f;
  player_->person.velocity[0] = 99;
  Frame(CMD_USE, car);
  EXPECT_EQ(player_->person.carIndex, 1);
  EXPECT_EQ(player_->person.vehicleState, 1);
  EXPECT_EQ(player_->camera.mode, 1);
  EXPECT_EQ(player_->person.stealthLevel, 0.0f);
  EXPECT_EQ(player_->person.velocity[0], 0.0f);
  EXPECT_FLOAT_EQ(player_->origin.z, 2.0f);
  EXPECT_FLOAT_EQ(player_->origin.x, -1200.0f);
  EXPECT_FALSE(car->flags & OBJ_ACTIVE);
  EXPECT_EQ(car->person.state, 2);
  EXPECT_FLOAT_EQ(Game_PlayerCarHealth, 500.0f);
  EXPECT_FLOAT_EQ(Game_CarPositions[1].origin.x, 120.0f);  // the definition's place
  Obj_FlushDeleted();
  Game_PlayerCarHealth = 321;
  // Leaving: the car's entity comes back under the player, the player steps out beside it.
  Frame(CMD_LEAVE_CAR);
  EXPECT_EQ(player_->person.carIndex, 0);
  EXPECT_EQ(player_->camera.mode, 0);
  EXPECT_EQ(player_->person.vehicleState, 0);
  GameObject* back = Person_FindByName("car");
  ASSERT_NE(back, nullptr) << Log();
  EXPECT_EQ(back->classNum, NPC);
  EXPECT_EQ(back->person.carIndex, 1);
  EXPECT_FLOAT_EQ(back->origin.x, -1200.0f);
  EXPECT_FLOAT_EQ(back->origin.z, 4.0f);
  EXPECT_NEAR(std::hypot(player_->origin.x + 1200, player_->origin.y + 450), 100.0f, 0.01f);
  const CarPosRecord& row = Game_CarPositions[1];
  EXPECT_STREQ(row.level, "street");
  EXPECT_FLOAT_EQ(row.origin.y, -450.0f);
  EXPECT_FLOAT_EQ(row.origin.z, 4.0f);
  EXPECT_EQ(row.health, 321);
  EXPECT_NE(Log().find("load object\n{\n\t\"call\" \"scenes\\templates\\runabout\"\n\t\"id\" \"car\""),
            std::string::npos);
  // The car character opens again to the same key.
  Frame(CMD_USE, nullptr, back);
  EXPECT_EQ(player_->person.carIndex, 1);
  EXPECT_FALSE(back->flags & OBJ_ACTIVE);
  EXPECT_FLOAT_EQ(player_->origin.z, 6.0f);
}

// A parked car's use text does nothing for a player already driving: neither car changes, and
// the reading that also serves the prompt offers nothing.
TEST_F(PlayInput, AParkedCarIsNotEnteredFromAnotherCar) {
  GameObject* first = Prop(-1200, -450, "[car] [runabout]");
  GameObject* second = Prop(-100, 0, "[car] [runabout]");
  Frame(CMD_USE, first);
  ASSERT_EQ(player_->person.carIndex, 1);
  const vec3 at = player_->origin;
  UseTextOffer offer;
  EXPECT_EQ(Game_ReadUseText(player_, second->person.itemText, &offer), USE_TEXT_NONE);
  Frame(CMD_USE, second);
  EXPECT_TRUE(second->flags & OBJ_ACTIVE) << "a second car entered from the first";
  EXPECT_EQ(second->person.state, 1);
  EXPECT_EQ(player_->origin.x, at.x);
  EXPECT_EQ(player_->origin.y, at.y);
  EXPECT_EQ(player_->person.carIndex, 1);
}

// A level change's start must be six numbers within the world: otherwise the use point offers
// nothing and the key changes nothing (one log line for each such text, however often asked).
TEST_F(PlayInput, ALevelChangeToAStartThatIsNoPlaceIsNotOffered) {
  UseTextOffer offer;
  for (const char* start : {"nan 0 0 0 0 0", "0 inf 0 0 0 0", "0 0 3e38 0 0 0", "0 0 0 inf nan 0",
                            "-1e7 0 0 0 0 0", "0 0 0 0 0 3e38"}) {
    const std::string text = std::string("[changelevel] [rooms] [") + start + "]";
    GameObject* point = Prop(0, 40, text.c_str());
    for (int frame = 0; frame < 3; frame++)
      EXPECT_EQ(Game_ReadUseText(player_, text.c_str(), &offer), USE_TEXT_NONE) << start;
    Frame(CMD_USE, point);
    EXPECT_EQ(Game_PendingLevel[0], 0) << start;
    EXPECT_EQ(Game_NextStartGiven, 0u) << start;
    EXPECT_EQ(tw_test::CountOccurrences(Log(), std::string("Game_ReadUseText: changelevel start \"") + start + "\""), 1)
        << start;
  }
  // The world's edge is still in it.
  EXPECT_EQ(Game_ReadUseText(player_, "[changelevel] [rooms] [1e6 -1e6 0 0 -1e6 1e6]", &offer), USE_TEXT_LEVEL);
  EXPECT_EQ(offer.origin.x, 1e6f);
}

TEST_F(PlayInput, BodiesAreSearchedPartnersTalkAndStrangersSayALine) {
  GameObject* body = Spawn(NPC, 0, 50, "body");
  body->person.state = 2;
  Frame(CMD_USE, nullptr, body);
  EXPECT_TRUE(Game_MenuOpen);
  EXPECT_STREQ(UI_TopMenuName(UI_System), "searchmenu");
  EXPECT_EQ(Game_Use.searchedId, body->id);
  UI_ClearMenuStack(UI_System);
  Game_MenuOpen = 0;

  GameObject* mara = Spawn(NPC, 0, 50, "mara");
  mara->person.state = 1;
  std::snprintf(mara->person.dialogueCue, sizeof mara->person.dialogueCue, "mara");
  Frame(CMD_USE, nullptr, mara);
  EXPECT_TRUE(Dialog_Open);
  EXPECT_EQ(Dialog_Partner, mara);
  Dialog_StartWithNpc(nullptr);

  // A stranger: one of the lines its gender and voice set have; its text is the subtitle.
  WriteFile("sound/voices/female/02_05.wav", "RIFF");
  GameObject* stranger = Spawn(NPC, 0, 50);
  stranger->person.state = 1;
  stranger->gender = 1;
  stranger->voiceSet = 2;
  Game_Time = 12;
  const int index = Math_RandGetIndex();
  Frame(CMD_USE, nullptr, stranger);
  EXPECT_STREQ(Game_PlayScreen.subtitleKey, "voices\\female\\02_05");
  EXPECT_EQ(Game_PlayScreen.subtitleStart, 12.0);
  EXPECT_EQ(Math_RandGetIndex(), index);
  // A voice set out of range, or a named personage, says nothing.
  Game_PlayScreen.subtitleKey[0] = 0;
  stranger->voiceSet = 16;
  Frame(CMD_USE, nullptr, stranger);
  EXPECT_EQ(Game_PlayScreen.subtitleKey[0], 0);
}

// The key reaches a character through its Use slot; a touch (no argument) or another user does
// nothing. Characters answer Info requests with their own class names.
TEST_F(PlayInput, CharactersAreUsedThroughTheirSlotAndAnswerInfo) {
  GameObject* mara = Spawn(NPC, 0, 50, "mara");
  mara->person.state = 1;
  std::snprintf(mara->person.dialogueCue, sizeof mara->person.dialogueCue, "mara");
  mara->slots.Use(mara, player_, nullptr);
  EXPECT_FALSE(Dialog_Open);
  mara->slots.Use(mara, mara, "");
  EXPECT_FALSE(Dialog_Open);
  mara->slots.Use(mara, player_, "");
  EXPECT_TRUE(Dialog_Open);
  EXPECT_EQ(Game_Use.characterTaken, 1);
  Dialog_StartWithNpc(nullptr);

  int32_t request[8] = {0};
  char reply[kObjInfoReplyBytes] = {};
  mara->origin = {10, 20, 0};
  mara->slots.Info(mara, request, reply);
  EXPECT_EQ(std::string(reply + 28), std::to_string(mara->id) + ":mara[NPC]:[10,20,0][0,0,0]");
  player_->slots.Info(player_, request, reply);
  EXPECT_NE(std::string(reply + 28).find("[MACHINEPLAYER]:["), std::string::npos) << reply + 28;
}

TEST_F(PlayInput, HackingStartsTheSearchScreenAndPickupsAreTakenByTheirUseScript) {
  GameObject* terminal = Prop(0, 50, "[hack] [40]");
  Frame(CMD_USE, terminal);
  EXPECT_EQ(Game_Use.hackedId, terminal->id);
  EXPECT_FLOAT_EQ(Game_Use.hackDifficulty, 40.0f);
  EXPECT_STREQ(UI_TopMenuName(UI_System), "searchmenu");
  UI_ClearMenuStack(UI_System);
  Game_MenuOpen = 0;
  std::snprintf(terminal->person.itemText, sizeof terminal->person.itemText, "[hack] [random_level]");
  const int index = Math_RandGetIndex();
  Frame(CMD_USE, terminal);
  EXPECT_GE(Game_Use.hackDifficulty, 10.0f);
  EXPECT_LE(Game_Use.hackDifficulty, 100.0f);
  EXPECT_EQ(Math_RandGetIndex(), index);
  UI_ClearMenuStack(UI_System);
  Game_MenuOpen = 0;

  // A pickup without a use script is not reached; with one it is taken.
  const int before = Ammo9();
  GameObject* crate = Prop(0, 50, "[ammo] [9MM] [30]");
  crate->person.respawnTime = 20;
  Frame(CMD_USE, crate);
  EXPECT_EQ(Ammo9(), before);
  std::snprintf(crate->useScript, sizeof crate->useScript, "pickup");
  Frame(CMD_USE, crate);
  EXPECT_EQ(Ammo9(), before + 30);
  EXPECT_FALSE(crate->flags & OBJ_ACTIVE);
}

// Released members leave their use group: using another member afterwards reaches only live
// objects (under the address sanitizer a freed member would be reported).
TEST_F(PlayInput, ReleasedObjectsLeaveTheirUseGroup) {
  GameObject* gone = Prop(0, 50, "[ammo] [9MM] [30]", "pickup");
  gone->person.respawnTime = -1;  // taken for good
  GameObject* back = Prop(0, 60, "[ammo] [9MM] [30]", "pickup");
  back->person.respawnTime = 5;
  Group("yard", gone);
  Group("yard", back);
  const int before = Ammo9();
  Frame(CMD_USE, gone);
  EXPECT_EQ(Ammo9(), before + 60);  // every member is used
  Obj_FlushDeleted();
  EXPECT_EQ(ObjGroup_Table[back->useGroupIndex].count, 1);
  Game_Time = 10;
  Person_RespawnPickups();
  Frame(CMD_USE, back);
  EXPECT_EQ(Ammo9(), before + 90);

  // A parked car in a group: entered, released, then another member is used.
  GameObject* car = Prop(-100, 0, "[car] [runabout]");
  GameObject* crate = Prop(0, 70, "[ammo] [9MM] [30]", "pickup");
  Group("lot", car);
  Group("lot", crate);
  Def_Cars[1].key[0] = 0;
  Frame(CMD_USE, car);
  ASSERT_EQ(player_->person.carIndex, 1);
  Obj_FlushDeleted();
  Frame(CMD_USE, crate);
  EXPECT_EQ(Ammo9(), before + 120);
  EXPECT_EQ(ObjGroup_Table[crate->useGroupIndex].count, 1);
}

// Holding the use key on the locked car says "no key" once: the key acts on its press, and only a
// new press acts again.
TEST_F(PlayInput, HoldingUseActsOnceAPress) {
  GameObject* car = Prop(-1200, -450, "[car] [runabout] [gate key]");
  player_->useTargetObject = car;
  Console_Clear();
  Player_CommandWord = CMD_USE;  // the key goes down and stays down for eight frames
  for (int frame = 0; frame < 8; frame++) Game_PlayInput();
  EXPECT_EQ(Console_GetLineCount(), 1);
  Player_CommandWord &= ~uint32_t(CMD_USE);  // released
  Game_PlayInput();
  Player_CommandWord |= CMD_USE;  // pressed again
  Game_PlayInput();
  Game_PlayInput();
  EXPECT_EQ(Console_GetLineCount(), 2);
  Player_CommandWord = 0;
}

}  // namespace
