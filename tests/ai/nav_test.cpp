// Navigation files and areas: finding the area of a point (convex, concave, shared segments),
// loading through the file layer, refusals; and the AI block's round trip.
#include <gtest/gtest.h>

#include <string>

#include "ai/bot.h"
#include "foundation/file.h"
#include "support/render_support.h"
#include "tools/nav_writer.h"
#include "world/object.h"

namespace {

class NavTest : public tw_test::LoggedTest {
 protected:
  void SetUp() override {
    LoggedTest::SetUp();
    File_Init();
  }
  void TearDown() override {
    ai_FreeAreas();
    Obj_ClearAll();
    File_Shutdown();
    LoggedTest::TearDown();
  }
  static int Load(const NavWriterFile& f) {
    std::string text = NavWriter_Text(f);
    return Nav_ReadText(text.data(), text.size(), "test.nav");
  }
  static int At(int set, float x, float y, int hint = -1) {
    const float p[3] = {x, y, 0};
    return ai_FindAreaAtPoint(&Nav_Level.sets[set], p, hint);
  }
};

// An L-shaped (concave) area 0 and a square area 1 sharing the segment x = 10, 0 <= y <= 10.
NavWriterFile Shapes() {
  NavWriterFile f;
  f.sets[0].vertices = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {5, 10, 0}, {5, 20, 0}, {0, 20, 0}, {20, 0, 0}, {20, 10, 0}};
  f.sets[0].areas = {{0, 1, 2, 3, 4, 5}, {1, 6, 7, 2}};
  return f;
}

TEST_F(NavTest, PointsFindTheirAreaTheSampleStreetLoadsAndBadFilesAreRefused) {
  ASSERT_EQ(Load(Shapes()), 1);
  const AreaSet& set = Nav_Level.sets[0];
  ASSERT_EQ(set.areas.size(), 2u);
  EXPECT_EQ(set.segments.size(), 9u);  // 6 + 4 edges, one segment shared
  int shared = 0;
  for (const NavSegment& s : set.segments) shared += s.areaA >= 0 && s.areaB >= 0;
  EXPECT_EQ(shared, 1);
  struct Probe {
    float x, y;
    int area;
  };
  const Probe probes[] = {{2, 18, 0}, {8, 5, 0}, {15, 5, 1}, {8, 15, -1} /* the notch of the L */, {25, 5, -1}, {19.9f, 9.9f, 1}};
  for (const Probe& p : probes) {
    EXPECT_EQ(At(0, p.x, p.y), p.area) << p.x << "," << p.y;
    EXPECT_EQ(At(0, p.x, p.y, 1), p.area) << "with a hint " << p.x << "," << p.y;
  }
  for (float y : {0.5f, 3.0f, 9.5f}) {
    int a = At(0, 10, y);
    EXPECT_TRUE(a == 0 || a == 1) << y;
    EXPECT_EQ(At(0, 10, y, 1 - a), a) << "a hint does not move a point off its area";
  }
  EXPECT_EQ(ai_FindAreaAtPoint(&set, nullptr, -1), -1);
  EXPECT_EQ(At(0, 2, 2, 99), 0);  // a hint out of range is ignored
  // The sample street loads from its file with its templates, caps and props.
  std::string text = NavWriter_Text(NavWriter_SampleStreet());
  tw_test::WriteFile("street.nav", text);
  ASSERT_EQ(LoadAreas("street"), 1);
  EXPECT_EQ(Nav_Level.sets[NAV_CIVILIAN].areas.size(), 4u);
  EXPECT_EQ(At(NAV_CARS, 0, 300), 3);
  EXPECT_EQ(At(NAV_CIVILIAN, 100, -700), 3);
  EXPECT_STREQ(Nav_Level.templates[NAV_TEMPLATE_DAY][0], "scenes\\templates\\passerby_a");
  EXPECT_EQ(ai_CivilianAreas, &Nav_Level.sets[NAV_CIVILIAN]);
  ASSERT_EQ(Props_Grid.kindCount, 2);
  EXPECT_STREQ(Props_Grid.kindNames[1], "anim\\props\\crate");
  int props = 0;
  for (int i = 0; i < Props_Grid.width * Props_Grid.height; i++)
    for (const StreetProp* p = Props_Grid.cells[i]; p; p = p->next) props++;
  EXPECT_EQ(props, 14);
  ai_FreeAreas();
  EXPECT_EQ(Props_Grid.cells, nullptr);
  EXPECT_EQ(LoadAreas("nowhere"), 0);
  // Bad indices refuse the file whole; other faults skip only their key.
  struct Case {
    const char* text;
    int result;
    size_t areas;
    const char* logged;
  };
  const char* good = "[vertex] [0 0 0][vertex] [1 0 0][vertex] [0 1 0][area] [0 1 2]\n";
  const std::string longName(300, 'n');
  const Case cases[] = {
      {"[vertex] [0 0 0][vertex] [1 0 0][area] [0 1 5]", 0, 0, "not a vertex"},
      {"[vertex] [0 0 0][vertex] [1 0 0][vertex] [0 1 0][area] [0 1 -1]", 0, 0, "not a vertex"},
      {"[propkind] [a][propgrid] [0 0 2 2][prop] [1 10 10 0 0]", 0, 0, "prop kind"},
      {"[colour] [red]", 1, 1, "unknown key \"colour\""},
      {"[caps] [1 2]", 1, 1, "bad numbers"},
      {"[set] [boats]", 1, 1, "no area set"},
      {"[propgrid] [0 0 0 5]", 1, 1, "a prop grid of"},
  };
  for (const Case& c : cases) {
    std::string text = std::string(good) + c.text;
    EXPECT_EQ(Nav_ReadText(text.data(), text.size(), "case.nav"), c.result) << c.text;
    EXPECT_EQ(Nav_Level.sets[0].areas.size(), c.areas) << c.text;
    EXPECT_NE(Log().find(c.logged), std::string::npos) << c.text;
  }
  std::string overlong = std::string(good) + "[daytemplate] [" + longName + "][daytemplate] [ok]";
  EXPECT_EQ(Nav_ReadText(overlong.data(), overlong.size(), "long.nav"), 1);
  EXPECT_EQ(Nav_Level.templateCounts[NAV_TEMPLATE_DAY], 1);
  EXPECT_STREQ(Nav_Level.templates[NAV_TEMPLATE_DAY][0], "ok");
}

TEST_F(NavTest, TheAiBlockRoundTripsAndADamagedBlockChangesNothing) {
  ASSERT_EQ(Load(Shapes()), 1);
  GameObject* a = Obj_Alloc();
  a->origin = vec3{15, 5, 0};
  GameObject* b = Obj_Alloc();
  b->origin = vec3{2, 2, 0};
  GameObject* plain = Obj_Alloc();
  bot_Setup(a, "guard");
  bot_Setup(b, nullptr);
  EXPECT_EQ(a->bot.civilianArea, 1);
  a->bot.engaged = 1;
  a->bot.acfFlags = ACF_NO_MINE_TARGET;
  a->bot.goals[1] = vec3{7, 8, 9};
  std::vector<uint8_t> block = ai_BlockBytes();
  BotState savedA = a->bot;
  a->bot = BotState{};
  b->bot.engaged = 5;
  ASSERT_EQ(ai_ApplyBlock(block.data(), block.size()), 1);
  EXPECT_EQ(a->bot.engaged, 1);
  EXPECT_EQ(a->bot.acfFlags, savedA.acfFlags);
  EXPECT_EQ(a->bot.goals[1].z, 9.0f);
  EXPECT_STREQ(a->bot.script, "guard");
  EXPECT_EQ(b->bot.engaged, 0);
  EXPECT_EQ(plain->bot.setUp, 0);
  // Every damage is refused before anything changes: a flipped byte anywhere, a cut, an object
  // that no longer exists.
  a->bot.engaged = 42;
  for (size_t i = 0; i < block.size(); i += 7) {
    std::vector<uint8_t> bad = block;
    bad[i] ^= 0x20;
    EXPECT_EQ(ai_ApplyBlock(bad.data(), bad.size()), 0) << i;
  }
  for (size_t n : {size_t(0), size_t(10), block.size() - 1}) EXPECT_EQ(ai_ApplyBlock(block.data(), n), 0) << n;
  Obj_RequestDelete(b);
  Obj_FlushDeleted();
  EXPECT_EQ(ai_ApplyBlock(block.data(), block.size()), 0);
  EXPECT_EQ(a->bot.engaged, 42);
  // Through a file, as the saved game carries it.
  FileHandle* out = File_Open("ai.blk", "wb");
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(ai_SaveBlock(out), 1);
  File_Close(out);
  a->bot.engaged = 0;
  FileHandle* in = File_Open("ai.blk", "rb");
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(ai_LoadBlock(in), 1);
  File_Close(in);
  EXPECT_EQ(a->bot.engaged, 42);
  // Kill all enemies kills every living member of a hostile team through its damage.
  GameObject* npcs[3];
  for (GameObject*& o : npcs) {
    o = Obj_Alloc();
    o->classNum = NPC;
    Load_ObjectX(o);
    o->flags |= OBJ_ACTIVE;
    o->person.state = 1;
    o->person.health = 250;
    std::snprintf(o->teamName, sizeof o->teamName, "gang");
  }
  npcs[2]->flags &= ~OBJ_ACTIVE;
  ai_StartLevel();
  ai_KillAllEnemies();
  EXPECT_EQ(npcs[0]->person.state, 2);
  EXPECT_EQ(npcs[1]->person.state, 2);
  EXPECT_EQ(npcs[2]->person.state, 1);
}

}  // namespace
