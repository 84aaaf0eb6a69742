// The dialogue screen on the test display, read back as real pixels: the partner's line in its
// box, one lit row per answer, the answer under the pointer on the bar, the pointer itself; and on
// the play screen the hint for talking with a weapon in hand and the paused text.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "characters/person.h"
#include "foundation/file.h"
#include "foundation/var.h"
#include "foundation/video.h"
#include "hud/hud.h"
#include "quests/dialog.h"
#include "quests/quest.h"
#include "quests/state.h"
#include "render/render.h"
#include "support/render_support.h"
#include "support/test_support.h"
#include "tools/hud_writer.h"
#include "tools/image_writer.h"
#include "ui/ui.h"
#include "world/frame2d.h"
#include "world/game.h"
#include "world/object.h"

namespace {

class DialogScreenTest : public tw_test::VideoScreenTest {
 protected:
  static void SetUpTestSuite() {
    VideoScreenTest::SetUpTestSuite();
    if (up_) Var_Find("video_text_shadow")->value = 0;
  }
  void SetUp() override {
    if (!haveFont_) GTEST_SKIP() << "no DejaVu font";
    VideoScreenTest::SetUp();
  }
  void TearDown() override {
    Dialog_StartWithNpc(nullptr);
    Obj_ClearAll();
    Obj_Player = nullptr;
    Game_CentreCursor();
  }
};

bool Lit(int b, int g, int r) { return b + g + r > 300; }
bool Bar(int b, int g, int r) {
  return std::abs(r - kUiBarColor[0]) < 8 && std::abs(g - kUiBarColor[1]) < 8 && std::abs(b - kUiBarColor[2]) < 8;
}

TEST_F(DialogScreenTest, TheLineAndEachAnswerLightTheirRowsAndTheHoveredAnswerTakesTheBar) {
  tw_test::WriteFile("data/text/Eng/dialogs/hello.txt", "Evening, stranger. Looking for work?");
  tw_test::WriteFile("data/text/Eng/dialogs/a1.txt", "Any work for me?");
  tw_test::WriteFile("data/text/Eng/dialogs/a2.txt", "Not now.");
  tw_test::WriteBytes("sprites/Menu/cursor.tga", ImageTool_WriteTGA(ImageTool_Solid(8, 8, 255, 255, 255, 255), 32));
  GameObject* player = Obj_Alloc();
  player->person.state = 1;
  Obj_Player = player;
  GameObject* mara = Obj_Alloc();
  mara->classNum = NPC;
  mara->person.state = 1;
  std::snprintf(mara->person.name, sizeof mara->person.name, "mara");
  std::string enter = QuestWriter_Script(
      {{"say", "dialogs\\hello", "-"}, {"answer", "dialogs\\a1", "one"}, {"answer", "dialogs\\a2", "two"}});
  Que_RunText(enter.data(), enter.size(), "enter");
  Dialog_StartWithNpc(mara);
  auto screen = [] {
    Begin();
    Game_Draw2D();
    return Read();
  };
  const float row0 = kDialogAnswerTop, row1 = kDialogAnswerTop + kDialogAnswerHeight, row2 = row1 + kDialogAnswerHeight;
  Game_CursorX = 20;  // away from the answers
  Game_CursorY = 460;
  std::vector<uint8_t> px = screen();
  EXPECT_GT(tw_test::CountInLayoutBox(px, kDialogLineBox[0], kDialogLineBox[1] + 34, kDialogLineBox[2], kDialogLineBox[3], Lit), 100)
      << "no line";
  EXPECT_GT(tw_test::CountInLayoutBox(px, kDialogAnswerLeft, row0, kDialogAnswerRight, row1, Lit), 50) << "no first answer";
  EXPECT_GT(tw_test::CountInLayoutBox(px, kDialogAnswerLeft, row1, kDialogAnswerRight, row2, Lit), 50) << "no second answer";
  EXPECT_EQ(tw_test::CountInLayoutBox(px, kDialogAnswerLeft, row2, kDialogAnswerRight, row2 + kDialogAnswerHeight, Lit), 0);
  EXPECT_EQ(tw_test::CountInLayoutBox(px, kDialogAnswerLeft, row0, kDialogAnswerRight, row2, Bar), 0);
  EXPECT_GT(tw_test::CountInLayoutBox(px, 21, 461, 27, 467, Lit), 30) << "no pointer";
  // The pointer over the second answer puts that row on the bar. (On a screen of any size a
  // row's edge may round onto the next screen row: the row above is checked a unit inside it.)
  Game_CursorX = 300;
  Game_CursorY = row1 + 15;
  px = screen();
  EXPECT_EQ(tw_test::CountInLayoutBox(px, kDialogAnswerLeft, row0, kDialogAnswerRight, row1 - 1, Bar), 0);
  EXPECT_GT(tw_test::CountInLayoutBox(px, kDialogAnswerLeft, row1, kDialogAnswerRight, row2, Bar), 2000);
}

TEST_F(DialogScreenTest, APartnerInReachWithAWeaponInHandShowsTheTalkHint) {
  tw_test::WriteFile("data/text/Eng/dialogs/hold_weapon_for_talk.txt", "Weapon in hand");
  GameObject* player = Obj_Alloc();
  player->person.state = 1;
  Obj_Player = player;
  GameObject* mara = Obj_Alloc();
  mara->classNum = NPC;
  mara->person.state = 1;
  std::snprintf(mara->person.dialogueCue, sizeof mara->person.dialogueCue, "mara");
  player->useTargetCharacter = mara;
  int hud = 0;  // lit pixels in the HUD's box
  auto hint = [&hud] {
    Begin();
    Game_Draw2D();
    std::vector<uint8_t> px = Read();
    hud = tw_test::CountInLayoutBox(px, kHudBox[0], kHudBox[1] - 10, kHudBox[2], kHudBox[3], Lit);
    return tw_test::CountInLayoutBox(px, kTalkHintBox[0], kTalkHintBox[1], kTalkHintBox[2], kTalkHintBox[3], Lit);
  };
  EXPECT_EQ(hint(), 0);
  player->person.equippedKind = INV_WEAPON;
  EXPECT_GT(hint(), 50);
  const int hudWithHint = hud;
  mara->person.dialogueCue[0] = 0;  // no dialogue, no hint
  EXPECT_EQ(hint(), 0);
  EXPECT_EQ(hud, hudWithHint) << "the hint runs into the HUD's lines";
}

// The paused text keeps its own style whatever the play screen drew last: white and centred.
TEST_F(DialogScreenTest, ThePausedTextIsWhiteAndCentred) {
  tw_test::WriteFile("data/text/Eng/consol/paused.txt", "Paused");
  GameObject* player = Obj_Alloc();
  player->person.state = 1;
  player->person.health = player->person.maxHealth = 100;
  Obj_Player = player;
  Game_Paused = 1;
  std::vector<uint8_t> px;
  for (int frame = 0; frame < 2; frame++) {  // the second frame follows the HUD's style
    Begin();
    Game_Draw2D();
    px = Read();
  }
  Game_Paused = 0;
  auto white = [](int b, int g, int r) { return b > 220 && g > 220 && r > 220; };
  const float middle = (kPausedBox[0] + kPausedBox[2]) / 2;
  const int left = tw_test::CountInLayoutBox(px, kPausedBox[0], kPausedBox[1], middle, kPausedBox[3], white);
  const int right = tw_test::CountInLayoutBox(px, middle, kPausedBox[1], kPausedBox[2], kPausedBox[3], white);
  EXPECT_GT(left, 30) << "not white, or not centred";
  EXPECT_GT(right, 30) << "not white, or not centred";
}

// The goals screen shows a goal the mission met with "done" in the time column; with nothing
// met and nothing open it shows only "No goals" in the middle.
TEST_F(DialogScreenTest, TheGoalsScreenMarksAMetGoalDone) {
  tw_test::WriteFile("data/text/Eng/goals/carry_gate_key.txt", "Find the gate key");
  tw_test::WriteFile("data/text/Eng/menu/goaldone.txt", "done");
  Obj_Player = Obj_Alloc();
  Obj_Player->person.state = 1;
  Que_ResetState();
  std::snprintf(Que_State.mission.rows[0].name, sizeof Que_State.mission.rows[0].name, "carry_gate_key");
  Que_State.mission.rows[0].state = kMissionRowMet;
  Game_MenuOpen = 1;
  ASSERT_EQ(UI_PushMenu(UI_System, "goalsmenu", nullptr), 1);
  auto lit = [](float left, float right) {
    Begin();
    Game_Draw2D();
    return tw_test::CountInLayoutBox(Read(), left, kUiItemTop, right, kUiItemTop + 30, Lit);
  };
  EXPECT_GT(lit(80, 240), 50) << "no goal";
  EXPECT_GT(lit(480, 560), 30) << "not marked done";
  Que_ResetState();
  EXPECT_EQ(lit(480, 560), 0);
  EXPECT_GT(lit(240, 400), 30) << "no \"No goals\"";
  UI_ClearMenuStack(UI_System);
  Game_MenuOpen = 0;
}

}  // namespace
