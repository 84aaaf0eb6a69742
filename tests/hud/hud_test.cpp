// The HUD file's values and refusals, the HUD's text of a character, quick save and load.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "characters/defs.h"
#include "foundation/file.h"
#include "hud/hud.h"
#include "support/render_support.h"
#include "tools/hud_writer.h"
#include "world/object.h"

namespace {

class HudTest : public tw_test::LoggedTest {
 protected:
  void SetUp() override {
    LoggedTest::SetUp();
    File_Init();
  }
  void TearDown() override {
    Hud_Shutdown();
    Obj_ClearAll();
    File_Shutdown();
    LoggedTest::TearDown();
  }
};

TEST_F(HudTest, TheFileSetsItsValuesAndTheTextShowsHealthEnergyAndAmmunition) {
  HudWriterFile f;
  f.daytime = 90;
  f.damage["player_melee_weapon_10"] = 2.5f;
  f.damage["player_unarmed_300"] = 0.5f;
  f.dayButton[0] = 11;
  tw_test::WriteFile("sprites/ui/ui.txt", HudWriter_Text(f) + "[player_unarmed_301] [2]\n[player_explosives_99] [lots]\n");
  Hud_Init(1);
  EXPECT_FLOAT_EQ(Hud_DayLength(), 90.0f);
  EXPECT_FLOAT_EQ(Hud_Settings.damage[0][0], 2.5f);
  EXPECT_FLOAT_EQ(Hud_Settings.damage[5][4], 0.5f);
  EXPECT_FLOAT_EQ(Hud_Settings.dayButton[0], 11.0f);
  std::string log = Log();
  EXPECT_NE(log.find("sprites\\ui\\ui.txt: unknown key \"player_unarmed_301\""), std::string::npos);
  EXPECT_NE(log.find("\"player_explosives_99\" needs 1 number(s)"), std::string::npos);
  struct Case {
    const char* text;
    float day;
  };
  const Case cases[] = {{"[daytime] [0]", 60}, {"[daytime] [nan]", 60}, {"[daytime] [30 40]", 60}, {"[daytime] [45]", 45}};
  for (const Case& c : cases) {
    Hud_ReadSettings(c.text, std::strlen(c.text), "case");
    EXPECT_FLOAT_EQ(Hud_DayLength(), c.day) << c.text;
  }
  const char box[] = "[nightbutton] [1 2 3]";
  EXPECT_EQ(Hud_ReadSettings(box, sizeof box - 1, "case"), 0);
  EXPECT_FLOAT_EQ(Hud_Settings.nightButton[0], 180.0f);
  // The text of a character: health, energy and the equipped weapon's magazine and reserve.
  GameObject* o = Obj_Alloc();
  o->person.health = 72.6f;
  o->person.maxHealth = 100;
  char text[128];
  Hud_FormatStatus(o, text, sizeof text);
  EXPECT_STREQ(text, "Health 73 / 100\n");
  int kind = Def_Weapons[3].ammo;
  ASSERT_TRUE(kind >= 0 && kind < kAmmoKinds);
  o->person.equippedKind = INV_WEAPON;
  o->person.equippedIndex = 3;
  o->person.magazine[kind] = 7;
  o->person.ammo[kind] = 30;
  Hud_FormatStatus(o, text, sizeof text);
  EXPECT_STREQ(text, "Health 73 / 100\nAmmo 7 / 30\n");
  o->person.equippedIndex = kWeaponDefs;  // out of the table: no weapon line
  Hud_FormatStatus(o, text, sizeof text);
  EXPECT_STREQ(text, "Health 73 / 100\n");
  EXPECT_EQ(Hud_FormatStatus(o, text, 6), 5u);
  EXPECT_EQ(Hud_FormatStatus(nullptr, text, sizeof text), 0u);
  // A body with energy shows it under its health.
  o->person.energy = 41.6f;
  o->person.maxEnergy = 100;
  o->person.equippedIndex = 3;
  Hud_FormatStatus(o, text, sizeof text);
  EXPECT_STREQ(text, "Health 73 / 100\nEnergy 42 / 100\nAmmo 7 / 30\n");
  EXPECT_EQ(Hud_FormatStatus(o, text, 20), 19u);
}

}  // namespace
