// The game's own settings: the 39 records in their order with their kinds, defaults and write
// flags, what a written "settings" file holds of them, and the unregistered second friction.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "foundation/var.h"
#include "world/gamevars.h"
#include "world_fixture.h"

namespace {

struct Row {
  const char* name;
  bool numeric;
  float value;
  const char* text;  // null: any non-empty text
  bool always;       // else written only once the file has set it
};

const Row kRows[kGameSettings] = {
    {"cl_jumpspeed", true, 270, "270", false},
    {"cl_upspeed", true, 200, "200", false},
    {"cl_forwardspeed", true, 200, "200", false},
    {"cl_forwardspeed2", true, 200, "200", false},
    {"cl_backspeed", true, 200, "200", false},
    {"cl_backspeed2", true, 200, "200", false},
    {"cl_sidespeed", true, 175, "175", false},
    {"cl_sidespeed2", true, 175, "175", false},
    {"cl_rotatespeed", true, 2.4434609f, nullptr, false},
    {"cl_rotatespeed2", true, 2.4434609f, nullptr, false},
    {"cl_movespeedkey", true, 2, "2", false},
    {"cl_rotatespeedkey", true, 1.5f, "1.5", false},
    {"cl_flyfriction", true, 6, "6", false},
    {"cl_flyfriction2", true, 6, "6", false},
    {"cl_alwaysrun", true, 1, "1", true},
    {"sv_gravity", true, 800, "800", false},
    {"sv_gravity2", true, 800, "800", false},
    {"sv_friction", true, 4, "4", false},
    {"sv_stopspeed", true, 100, "100", false},
    {"sv_stopspeed2", true, 100, "100", false},
    {"sv_maxvelocity", true, 2000, "2000", false},
    {"sv_maxvelocity2", true, 2000, "2000", false},
    {"sv_edgefriction", true, 2, "2", false},
    {"sv_maxspeed", true, 320, "320", false},
    {"sv_maxspeed2", true, 320, "320", false},
    {"sv_accelerate", true, 10, "10", false},
    {"sv_accelerate2", true, 10, "10", false},
    {"render_drawweapon", true, 1, "1", true},
    {"render_eyeheight", true, 1.8f, "1.8", true},
    {"render_thirdviewdisp", false, 0, "0 -80 64", true},
    {"render_drawavi", true, 0, "0", true},
    {"game_autoweaponswitch", true, 0, "0", true},
    {"game_playername", false, 0, nullptr, true},
    {"game_gore", true, 1, "1", true},
    {"game_crosshair", true, 1, "1", true},
    {"game_npcdetail", true, 1, "1", true},
    {"game_texturedetail", true, 2, "2", true},
    {"game_physics", true, 0.2f, "0.2", true},
    {"game_name", false, 0, "", true},
};

class GameSettings : public tw_test::WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    Var_ResetTable();
  }
  void TearDown() override {
    Var_ResetTable();
    WorldTest::TearDown();
  }
};

TEST_F(GameSettings, ThirtyNineInOrderWithTheirDefaultsAndWriteFlags) {
  EXPECT_EQ(GameVars_Init(0), 0);
  for (int i = 0; i < kGameSettings; i++) {
    const Row& row = kRows[i];
    SCOPED_TRACE(row.name);
    ASSERT_STREQ(GameVars_Table[i]->name, row.name);
    const VarRecord* v = Var_Find(row.name);
    ASSERT_EQ(v, GameVars_Table[i]);
    EXPECT_EQ((v->flags & VAR_NUMERIC) != 0, row.numeric);
    EXPECT_NE(v->flags & VAR_SETTABLE, 0u);
    EXPECT_EQ((v->flags & VAR_ALWAYS) != 0, row.always);
    EXPECT_EQ((v->flags & VAR_ONCESET) != 0, !row.always);
    EXPECT_EQ(v->flags & VAR_SET, 0u);
    if (row.numeric) {
      EXPECT_FLOAT_EQ(v->value, row.value);
    }
    if (row.text) {
      EXPECT_STREQ(v->text, row.text);
    } else {
      EXPECT_NE(v->text[0], 0);
    }
  }
  EXPECT_EQ(Var_Find("sv_friction2"), nullptr);

  // The written file: the always-written ones, newest first, numbers printed with "%f".
  Var_WriteFile("settings");
  std::string expected;
  for (int i = kGameSettings - 1; i >= 0; i--) {
    const Row& row = kRows[i];
    if (!row.always) continue;
    char value[64];
    if (row.numeric) std::snprintf(value, sizeof value, "%f", row.value);
    const std::string text = row.numeric ? value : Var_Find(row.name)->text;
    expected += "\"" + std::string(row.name) + "\" \"" + text + "\"\n";
  }
  EXPECT_EQ(tw_test::ReadFile("settings"), expected);

  // A "set" one is written once the file gave it; the unregistered second friction is neither
  // taken from the file nor written.
  const std::string lines = "\"cl_jumpspeed\" \"300\"\n\"sv_friction2\" \"9\"\n";
  Var_ApplyText(lines.data(), lines.size());
  EXPECT_FLOAT_EQ(Var_Find("cl_jumpspeed")->value, 300.0f);
  EXPECT_EQ(Var_Find("sv_friction2"), nullptr);
  Var_WriteFile("settings");
  const std::string file = tw_test::ReadFile("settings");
  EXPECT_NE(file.find("\"cl_jumpspeed\" \"300.000000\"\n"), std::string::npos);
  EXPECT_EQ(file.find("sv_friction2"), std::string::npos);
  EXPECT_EQ(file.find("\"cl_upspeed\""), std::string::npos);
}

}  // namespace
