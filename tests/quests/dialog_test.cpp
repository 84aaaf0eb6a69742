// The dialogue screen and the goals screen driven by real key events through the frame's input:
// number keys and clicks choose answers, Escape and the right button close, the Quests key opens
// the goals screen and Escape returns to play.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "foundation/file.h"
#include "foundation/keys.h"
#include "foundation/sys.h"
#include "quests/dialog.h"
#include "quests/quest.h"
#include "quests/state.h"
#include "support/input_fixture.h"
#include "tools/hud_writer.h"
#include "ui/ui.h"
#include "world/frame2d.h"
#include "world/game.h"
#include "world/gameinput.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/object.h"

namespace {

constexpr int kKey2 = 3, kKeyE = 18, kKeyJ = 36;

class DialogTest : public tw_test::InputFixture {
 protected:
  void SetUp() override {
    InputFixture::SetUp();
    GameVars_Init(1);
    Level_Free();
    Que_ResetState();
    Game_Running = 1;
    Game_MenuOpen = 0;
    player_ = Obj_Alloc();
    player_->classNum = MACHINEPLAYER;
    Load_ObjectX(player_);
    player_->person.state = 1;
    Obj_Player = player_;
    partner_ = Obj_Alloc();
    partner_->classNum = NPC;
    Load_ObjectX(partner_);
    partner_->person.state = 1;
    std::snprintf(partner_->person.name, sizeof partner_->person.name, "mara");
    tw_test::WriteFile("scripts/que/mara/enter.txt",
                       QuestWriter_Script({{"say", "dialogs\\hello", "-"}, {"answer", "dialogs\\a1", "mara\\one"},
                                           {"answer", "dialogs\\a2", "mara\\two"}}));
    tw_test::WriteFile("scripts/que/mara/one.txt", QuestWriter_Script({{"flag_set", "one"}, {"dialog_end"}}));
    tw_test::WriteFile("scripts/que/mara/two.txt",
                       QuestWriter_Script({{"flag_set", "two"},
                                           {"say", "dialogs\\later", "-"},
                                           {"answer", "dialogs\\b1", "mara\\one"},
                                           {"answer", "dialogs\\b2", "mara\\one"},
                                           {"answer", "dialogs\\b3", "mara\\three"}}));
    tw_test::WriteFile("scripts/que/mara/three.txt", QuestWriter_Script({{"flag_set", "three"}, {"dialog_end"}}));
  }
  void TearDown() override {
    Dialog_StartWithNpc(nullptr);
    UI_ClearMenuStack(UI_System);
    Level_Free();
    Obj_ClearAll();
    Obj_Player = nullptr;
    Game_Running = 0;
    InputFixture::TearDown();
  }
  void Talk() {
    Que_Apply(player_, "mara\\enter", "");
    Dialog_StartWithNpc(partner_);
  }
  static void Press(int code) {
    Queue(code, true);
    Game_FrameInput();
    Queue(code, false);
    Game_FrameInput();
  }
  GameObject* player_ = nullptr;
  GameObject* partner_ = nullptr;
};

TEST_F(DialogTest, KeyTwoRunsTheSecondAnswerAndItsScriptReplacesTheAnswers) {
  Talk();
  ASSERT_EQ(Dialog_Screen.answerCount, 2);
  EXPECT_EQ(Dialog_Partner, partner_);
  Press(kKey2);
  EXPECT_TRUE(Que_HasFlag("two"));
  EXPECT_FALSE(Que_HasFlag("one"));
  EXPECT_EQ(Dialog_Open, 1u);
  EXPECT_STREQ(Dialog_Screen.lineKey, "dialogs\\later");
  ASSERT_EQ(Dialog_Screen.answerCount, 3);
  EXPECT_STREQ(Dialog_Screen.answers[2].key, "dialogs\\b3");
  // A key past the answers does nothing; a click on the third row chooses it, and its script
  // ends the dialogue.
  Press(2 + 5);
  EXPECT_EQ(Dialog_Screen.answerCount, 3);
  Game_CursorX = 300;
  Game_CursorY = kDialogAnswerTop + 2.5f * kDialogAnswerHeight;
  EXPECT_EQ(Dialog_AnswerAt(Game_CursorX, Game_CursorY), 2);
  EXPECT_EQ(Dialog_AnswerAt(10, Game_CursorY), -1);
  Press(kKeyMouseLeft);
  EXPECT_TRUE(Que_HasFlag("three"));
  EXPECT_FALSE(Que_HasFlag("one"));
  EXPECT_EQ(Dialog_Open, 0u);
  EXPECT_EQ(Dialog_Partner, nullptr);
}

TEST_F(DialogTest, EscapeAndTheRightButtonCloseTheDialogue) {
  for (int key : {int(KEY_ESCAPE), kKeyMouseRight}) {
    Talk();
    ASSERT_EQ(Dialog_Open, 1u);
    Press(key);
    EXPECT_EQ(Dialog_Open, 0u) << key;
    EXPECT_EQ(Dialog_Screen.answerCount, 0) << key;
    EXPECT_FALSE(Que_HasFlag("one"));
  }
}

TEST_F(DialogTest, AnAnswerThatRunsItselfOverAndOverEndsWithinOneBudgetAndAFewLogLines) {
  // Eight runs of itself a pass: without one budget for the whole answer this is 8^8 runs and
  // gigabytes of log.
  std::string self = "[district] [1] [1]\n";
  for (int i = 0; i < 8; i++) self += "[run] [mara\\self]\n";
  tw_test::WriteFile("scripts/que/mara/self.txt", self);
  tw_test::WriteFile("scripts/que/mara/enter.txt", QuestWriter_Script({{"answer", "dialogs\\a1", "mara\\self"}}));
  Talk();
  const size_t before = tw_test::ReadFile("log").size();
  Press(2);  // key 1
  const std::string log = tw_test::ReadFile("log").substr(before);
  EXPECT_LT(log.size(), 1000u) << log.substr(0, 2000);
  EXPECT_NE(log.find("more than 4096 lines with the scripts it runs"), std::string::npos) << log.substr(0, 2000);
  EXPECT_EQ(Que_State.districts[1], 1u);
  // The next answer has a budget of its own.
  tw_test::WriteFile("scripts/que/mara/enter.txt", QuestWriter_Script({{"answer", "dialogs\\a1", "mara\\one"}}));
  Talk();
  Press(2);
  EXPECT_TRUE(Que_HasFlag("one"));
}

TEST_F(DialogTest, ADyingPartnerClosesTheDialogueAndItsAnswersNoLongerRun) {
  Talk();
  ASSERT_EQ(Dialog_Open, 1u);
  partner_->slots.Damage(partner_, player_, 1000.0f, 0, nullptr, 0, 0);
  ASSERT_EQ(partner_->person.state, 2);
  EXPECT_EQ(Dialog_Open, 0u);
  Press(2);
  EXPECT_FALSE(Que_HasFlag("one"));
  EXPECT_EQ(Dialog_Choose(0), 0);
}

// The hero dies mid-talk: the talk ends with him, and neither keys nor clicks run its answers.
TEST_F(DialogTest, AHeroKilledMidTalkEndsItAndChoosesNothing) {
  Talk();
  ASSERT_EQ(Dialog_Open, 1u);
  player_->slots.Damage(player_, partner_, 1000.0f, 0, nullptr, 0, 0);
  ASSERT_EQ(player_->person.state, 2);
  EXPECT_EQ(Dialog_Open, 0u);
  Game_CursorX = 300;
  Game_CursorY = kDialogAnswerTop + 0.5f * kDialogAnswerHeight;  // over the first answer
  Press(2);  // key 1
  Press(kKeyMouseLeft);
  EXPECT_FALSE(Que_HasFlag("one"));
  EXPECT_EQ(Dialog_Choose(0), 0);
  Game_CentreCursor();
}

// Shots (the fire button's presses, which play never takes as presses), then a talk opened with
// the use key: the talk waits for the player's choice, whatever lies under the hidden pointer.
TEST_F(DialogTest, ShotsBeforeATalkChooseNoAnswer) {
  Bind("Mouse Left Button", "Fire");
  Bind("Keyboard E", "Use");
  std::snprintf(partner_->person.dialogueCue, sizeof partner_->person.dialogueCue, "mara");
  Game_CursorX = 300;
  Game_CursorY = kDialogAnswerTop + 0.5f * kDialogAnswerHeight;  // over the first answer
  for (int i = 0; i < 3; i++) Press(kKeyMouseLeft);
  player_->useTargetCharacter = partner_;
  Press(kKeyE);
  ASSERT_EQ(Dialog_Open, 1u);
  Game_FrameInput();
  EXPECT_FALSE(Que_HasFlag("one")) << "a shot chose an answer";
  EXPECT_EQ(Dialog_Open, 1u);
  EXPECT_EQ(Dialog_Screen.answerCount, 2);
  Press(kKeyMouseLeft);  // a click in the talk chooses
  EXPECT_TRUE(Que_HasFlag("one"));
  Game_CentreCursor();
}

TEST_F(DialogTest, AnswersGivenWithNoDialogueOpenAreNotTheNextDialoguesOnes) {
  std::snprintf(partner_->person.dialogueCue, sizeof partner_->person.dialogueCue, "mara");
  const std::string stale = QuestWriter_Script({{"say", "dialogs\\stale", "-"}, {"answer", "dialogs\\stale", "mara\\one"}});
  Que_RunText(stale.data(), stale.size(), "timer");  // as a timer's script would, between talks
  ASSERT_EQ(Game_UseCharacter(player_, partner_), 1);
  EXPECT_EQ(Dialog_Open, 1u);
  EXPECT_STREQ(Dialog_Screen.lineKey, "dialogs\\hello");
  ASSERT_EQ(Dialog_Screen.answerCount, 2);
  EXPECT_STREQ(Dialog_Screen.answers[0].key, "dialogs\\a1");
  EXPECT_STREQ(Dialog_Screen.answers[1].key, "dialogs\\a2");
}

// The goals and inventory keys open their screens and close them again, as Escape does; a dead
// hero gets neither.
TEST_F(DialogTest, TheQuestsAndInventoryKeysOpenAndCloseTheirScreensOnlyForALivingHero) {
  Bind("Keyboard J", "Quests");
  Bind("Keyboard Tab", "Inventory");
  Que_AddObjective("carry_gate_key", "paid", 90);
  for (int key : {kKeyJ, int(KEY_TAB)}) {
    const char* screen = key == kKeyJ ? "goalsmenu" : "inventorymenu";
    for (int leave : {int(KEY_ESCAPE), key}) {
      Press(key);
      EXPECT_EQ(Game_MenuOpen, 1u) << screen;
      EXPECT_STREQ(UI_TopMenuName(UI_System), screen);
      Press(leave);
      EXPECT_EQ(Game_MenuOpen, 0u) << screen << " left with " << leave;
      EXPECT_EQ(UI_MenuDepth(UI_System), 0);
    }
    // The other screen's key does not close this one.
    Press(key);
    Press(key == kKeyJ ? int(KEY_TAB) : kKeyJ);
    EXPECT_STREQ(UI_TopMenuName(UI_System), screen);
    Press(KEY_ESCAPE);
  }
  player_->person.state = 2;
  for (int key : {kKeyJ, int(KEY_TAB)}) {
    Press(key);
    EXPECT_STRNE(UI_TopMenuName(UI_System), "goalsmenu") << "for a dead hero";
    EXPECT_STRNE(UI_TopMenuName(UI_System), "inventorymenu") << "for a dead hero";
  }
}

}  // namespace
