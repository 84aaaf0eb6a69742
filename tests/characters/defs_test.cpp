// Definition files: round trips through the writer, defaults, lookups, and refused input.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "char_fixture.h"

namespace {

using tw_test::CharTest;
using Defs = CharTest;

TEST_F(Defs, TheSampleFilesRoundTrip) {
  EXPECT_EQ(Def_WeaponCount, 3);
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
  EXPECT_STREQ(start.level, "street");
  EXPECT_FLOAT_EQ(start.angles[0], 90.0f);
  Def_GetCarStart(27, &start);  // beyond the loaded cars: nothing
  EXPECT_EQ(start.level[0], 0);
  EXPECT_NE(Log().find("scripts\\weapons.txt: 3 weapon definitions"), std::string::npos);
}

TEST_F(Defs, BadInputIsRefusedOneLineEachAndTheRestLoads) {
  struct Case {
    std::string text;
    const char* logged;
  };
  const std::string longName(kDefNameSize, 'n');
  const Case cases[] = {
      {"[weapon] [a] [colour] [red] [bullet_damage] [7]", "entry 0 [a]: unknown key [colour]"},
      {"[weapon] [a] [bullet_damage] [7] [shottime] [7x]", "entry 0 [a]: bad value [7x] of [shottime]"},
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

}  // namespace
