// The sample game's street entity files, read from its archive as the level loader reads them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "characters/defs.h"
#include "foundation/file.h"
#include "scene/model.h"
#include "world/entity.h"
#include "world/level.h"
#include "world/object.h"
#include "world/start.h"
#include "world/world_fixture.h"

namespace {

std::string g_game;
bool g_ready;
std::string g_out;
void Capture(const char* text, size_t length, void*) { g_out.append(text, length); }

class SampleEntities : public tw_test::WorldTest {
 protected:
  static void SetUpTestSuite() {
    char dir[] = "/tmp/tw_sample_entities_XXXXXX";
    if (!mkdtemp(dir)) return;
    g_game = dir;
    g_ready = tw_test::MakeSampleGame(g_game);
  }
  static void TearDownTestSuite() {
    if (!g_game.empty()) std::system(("rm -rf " + g_game).c_str());
  }
  void SetUp() override {
    ASSERT_TRUE(g_ready);
    ASSERT_EQ(getcwd(previous_, sizeof previous_), previous_);
    ASSERT_EQ(chdir(g_game.c_str()), 0);
    File_Init();
    WorldTest::SetUp();
    for (const DefTable& t : Def_Tables) Def_LoadTable(t);
    Model_Reset();  // no model formats: the tables and objects alone
    Ent_SetOutput(Capture, nullptr);
  }
  void TearDown() override {
    Ent_SetOutput(nullptr, nullptr);
    WorldTest::TearDown();
    File_Shutdown();
    if (chdir(previous_) != 0) ADD_FAILURE();
  }
  char previous_[4096];
};

TEST_F(SampleEntities, StreetFilesPlaceStartsPropsCharactersAndPickups) {
  GameObject* player = Player_CreateForLevel();
  ASSERT_NE(player, nullptr);
  Light_Count = Level_EmitterCount = 0;
  for (const char* ext : {".scn", ".civ", ".bot", ".items"}) LoadObjects((std::string("scenes\\street") + ext).c_str());
  Level_SetupStartsAndPickups();
  EXPECT_EQ(g_out.find("unknown"), std::string::npos) << g_out;
  EXPECT_EQ(Log().find("LoadObjects: not found"), std::string::npos);

  EXPECT_EQ(Level_PlayerStart.count, 1);
  EXPECT_FLOAT_EQ(player->angles.x, kMathPi / 2);
  ASSERT_EQ(Level_DmStartCount, 2);
  EXPECT_EQ(Level_DmStarts[0].team, 1);
  EXPECT_EQ(Level_DmStarts[1].team, 2);
  EXPECT_STREQ(Level_SkyName[0], "maps\\sky\\street");
  EXPECT_EQ(Light_Count, 1);
  ASSERT_EQ(Level_EmitterCount, 1);
  EXPECT_STREQ(Level_Emitters[0].id, "traffic");

  int worlds = 0, anims = 0, npcs = 0;
  for (GameObject* o = Obj_ListHead; o; o = o->next) {
    worlds += o->classNum == WORLD;
    anims += o->classNum == ANIM;
    npcs += o->classNum == NPC;
  }
  EXPECT_EQ(worlds, 6);  // the street, the crate and four pickups
  EXPECT_EQ(anims, 1);
  EXPECT_EQ(npcs, 2);
  GameObject* townsman = Person_FindByName("townsman_1");
  ASSERT_NE(townsman, nullptr);  // the given id wins over the template's
  EXPECT_EQ(townsman->person.health, 80);  // from the template
  EXPECT_EQ(townsman->origin.x, 300);

  ASSERT_EQ(Level_PickupCount, 4);
  const int kinds[4] = {PICKUP_WEAPON, PICKUP_MEDIC, PICKUP_AMMO, PICKUP_ARMOR};
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(Level_Pickups[i].kind, kinds[i]);
    EXPECT_EQ(Level_Pickups[i].area, -1);
  }
  std::string log = Log();
  for (const char* line : {"area=-1 weapon [pi]\n", "area=-1 medic [25]\n", "area=-1 ammo [9MM]\n", "area=-1 armor [vest]\n"})
    EXPECT_NE(log.find(line), std::string::npos) << line;
}

}  // namespace
