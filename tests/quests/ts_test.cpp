// The Transport System: its file, the screen's input (every click region and key), what it offers,
// the help pictures' keys, F1 in a network game and the map screen's key and projection.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "characters/actions.h"
#include "foundation/keys.h"
#include "hud/hud.h"
#include "quests/state.h"
#include "quests/ts.h"
#include "render/render.h"
#include "scene/model.h"
#include "support/input_fixture.h"
#include "tools/ts_writer.h"
#include "world/frame2d.h"
#include "world/game.h"
#include "world/gameinput.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/object.h"
#include "world/personage.h"

namespace {

// Two districts: "north" (map model "north", x -1000..1000, y -500..500, three places whose entries
// are 400 x 400 boxes centred at x -600, 0, 600) and "south" (closed from the start, its own model
// below the other's at y -2000..-1000).
TsToolFile SampleFile() {
  TsToolFile f;
  TsToolDistrict north{"ts\\north", "north", 0, {}, -1};
  north.places = {{"ts\\one", "one", {10, 20, 30}, {90, 0, 0}},
                  {"ts\\two", "two", {-5, 0, 0}, {180, 45, 0}},
                  {"ts\\three", "three", {0, 0, 0}, {0, 0, 0}}};
  f.districts.push_back(north);
  f.districts.push_back(TsToolDistrict{"ts\\south", "south", 1, {{"ts\\one", "one", {}, {}}}, -1});
  f.maps = {{"one", "sprites\\maps\\one", -1000, -500, 1000, 1500}};
  return f;
}
constexpr float kEntryX[3] = {-600, 0, 600};
constexpr int kKeyM = 50;  // the M key's scan code

// Where a point of the map models' plane shows on the 640 x 480 layout.
float ScreenX(float x) { return 320 + x / 10; }
float ScreenY(float y) { return 240 - y / 10; }

class TsTest : public tw_test::InputFixture {
 protected:
  void SetUp() override {
    InputFixture::SetUp();
    GameVars_Init(1);
    Level_Free();
    Model_Reset();
    Model_AddLoader(mayb_CreateModel);
    Hud_ReadSettings("", 0, "none");
    WriteFiles(SampleFile());
    TS_Init();
    Game_NewSession(nullptr);
    Level_Load("one");
    ASSERT_NE(Obj_Player, nullptr);
    TS_Open();
  }
  void TearDown() override {
    Game_NetMode = 0;
    MapScreen_Open = 0;
    Level_Free();
    Model_Reset();
    InputFixture::TearDown();
  }
  static void WriteFiles(const TsToolFile& file) {
    const std::vector<uint8_t> bytes = TsTool_Write(file);
    tw_test::WriteBytes("scripts/transport.tsd", bytes);
    const std::string root = ".";
    ASSERT_TRUE(TsTool_PutMapModel(root, "north", -1000, -500, 1000, 500, 0, 10, 200, 10));
    for (int i = 0; i < 3; i++)
      ASSERT_TRUE(TsTool_PutMapModel(root, "north_" + std::to_string(i + 1), kEntryX[i] - 200, -200, kEntryX[i] + 200,
                                     200, 2, 200, 10, 10));
    ASSERT_TRUE(TsTool_PutMapModel(root, "south", -1000, -2000, 1000, -1000, 0, 10, 10, 200));
    ASSERT_TRUE(TsTool_PutMapModel(root, "south_1", -200, -1700, 200, -1300, 2, 10, 10, 200));
    for (const char* level : {"one", "two", "three"})
      tw_test::WriteFile(std::string("scenes/") + level + ".scn",
                         "{\n\"classname\" \"info_player_start\"\n\"origin\" \"0 0 0\"\n}\n");
  }
  static void Frame() { Game_FrameInput(); }
  static void Press(int code) {
    Queue(code, true);
    Frame();
    Queue(code, false);
    Frame();
  }
  static void ClickAt(float x, float y) {
    Game_CursorX = x;
    Game_CursorY = y;
    Press(kKeyMouseLeft);
  }
};

// ---- The file ---------------------------------------------------------------------------------------

TEST(TsFile, ReadsDistrictsPlacesAndMapsAndRefusesDamagedFilesWithOneLine) {
  tw_test::TempDir dir;
  Log_Open();
  const std::vector<uint8_t> good = TsTool_Write(SampleFile());
  TsData data{};
  ASSERT_EQ(TS_ReadData(good.data(), good.size(), "good", &data), 1);
  ASSERT_EQ(data.districtCount, 2);
  EXPECT_STREQ(data.districts[0].model, "north");
  EXPECT_EQ(data.districts[1].access, 1u);
  ASSERT_EQ(data.districts[0].placeCount, 3);
  EXPECT_STREQ(data.districts[0].places[1].level, "two");
  EXPECT_EQ(data.districts[0].places[1].angles.y, 45.0f);
  EXPECT_EQ(data.districts[0].places[0].origin.z, 30.0f);
  ASSERT_EQ(data.mapCount, 1);
  EXPECT_EQ(data.maps[0].maxY, 1500.0f);

  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases;
  auto with = [](auto change) {
    TsToolFile f = SampleFile();
    change(f);
    return TsTool_Write(f);
  };
  cases.push_back({"empty", {}});
  std::vector<uint8_t> magic = good;
  magic[0] = 'X';
  cases.push_back({"magic", magic});
  cases.push_back({"version", with([](TsToolFile& f) { f.version = 2; })});
  cases.push_back({"21 districts", with([](TsToolFile& f) { f.districtCount = 21; })});
  cases.push_back({"count past the end", with([](TsToolFile& f) { f.districtCount = 3; })});
  cases.push_back({"17 places", with([](TsToolFile& f) { f.districts[0].placeCount = 17; })});
  cases.push_back({"65 maps", with([](TsToolFile& f) { f.mapCount = 65; })});
  cases.push_back({"climbing model name", with([](TsToolFile& f) { f.districts[0].model = "..\\..\\x"; })});
  cases.push_back({"empty level", with([](TsToolFile& f) { f.districts[0].places[0].level = ""; })});
  cases.push_back({"unending name", with([](TsToolFile& f) { f.districts[0].name = std::string(64, 'n'); })});
  cases.push_back({"not a number", with([](TsToolFile& f) { f.districts[0].places[0].origin.x = NAN; })});
  cases.push_back({"empty map", with([](TsToolFile& f) { f.maps[0].maxX = f.maps[0].minX; })});
  std::vector<uint8_t> longer = good;
  longer.push_back(0);
  cases.push_back({"trailing byte", longer});
  cases.push_back({"short", std::vector<uint8_t>(good.begin(), good.end() - 1)});
  for (const Case& c : cases) {
    TsData kept = data;
    const std::string before = tw_test::ReadFile("log");
    EXPECT_EQ(TS_ReadData(c.bytes.data(), c.bytes.size(), "bad.tsd", &kept), 0) << c.what;
    EXPECT_EQ(std::memcmp(&kept, &data, sizeof data), 0) << c.what << ": the held data changed";
    const std::string added = tw_test::ReadFile("log").substr(before.size());
    EXPECT_EQ(tw_test::CountOccurrences(added, "\n"), 1) << c.what << ": " << added;
    EXPECT_NE(added.find("TS_Init: bad.tsd"), std::string::npos) << c.what;
  }
  Log_Close();
}

TEST_F(TsTest, InitMarksMissingModelsAndLevelsAndGivesTheInitialAccessWords) {
  EXPECT_EQ(TS_Data.districtCount, 2);
  EXPECT_EQ(Que_DistrictInitialAccess(1), 1u);
  EXPECT_EQ(Que_State.districts[0], 0u);
  EXPECT_EQ(Que_State.districts[1], 1u) << "a new game starts from the file's access words";
  EXPECT_TRUE(TS_PlaceOffered(0, 2));
  // A missing entry model, a missing level and a missing district model.
  std::remove("maps/TS/north_3.may");
  std::remove("scenes/two.scn");
  std::remove("maps/TS/south.may");
  const size_t before = tw_test::ReadFile("log").size();
  TS_Init();
  const std::string added = tw_test::ReadFile("log").substr(before);
  EXPECT_NE(added.find("TS_Init: place ts\\three: no entry model maps\\TS\\north_3"), std::string::npos) << added;
  EXPECT_NE(added.find("TS_Init: place ts\\two: no level two"), std::string::npos) << added;
  EXPECT_NE(added.find("TS_Init: district ts\\south: no map model maps\\TS\\south"), std::string::npos) << added;
  EXPECT_FALSE(TS_PlaceOffered(0, 1));
  EXPECT_FALSE(TS_PlaceOffered(0, 2));
  EXPECT_TRUE(TS_PlaceOffered(0, 0));
  Que_State.districts[1] = 0;
  EXPECT_FALSE(TS_DistrictOffered(1)) << "a district without its model is never offered";
  // A missing file: no districts, one line, the game goes on.
  std::remove("scripts/transport.tsd");
  TS_Init();
  EXPECT_EQ(TS_Data.districtCount, 0);
  EXPECT_NE(tw_test::ReadFile("log").find("TS_Init: no scripts\\transport.tsd"), std::string::npos);
  TS_UpdateHover(320, 240);
  EXPECT_EQ(TS_State.hover, 0);
  // Its point then offers nothing, and the screen refuses to open with one line.
  Game_FullScreenMode = FULLSCREEN_NONE;
  GameObject* point = Obj_Alloc();
  point->classNum = WORLD;
  UseTextOffer offer;
  EXPECT_EQ(Game_ReadUseText(Obj_Player, "[changelevel] [TransportSystem]", &offer), USE_TEXT_NONE);
  EXPECT_EQ(Game_ApplyUseText(Obj_Player, point, "[changelevel] [TransportSystem]"), 0);
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_NONE);
  const size_t before2 = tw_test::ReadFile("log").size();
  EXPECT_EQ(TS_Open(), 0);
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_NONE);
  EXPECT_EQ(tw_test::CountOccurrences(tw_test::ReadFile("log").substr(before2), "\n"), 1);
}

// ---- The screen's input -------------------------------------------------------------------------------

TEST_F(TsTest, TheUseTextOpensTheScreenWithItsStateAtZeroAndThePointerInTheMiddle) {
  Game_FullScreenMode = FULLSCREEN_NONE;
  TS_State = TsScreenState{1, 2, 3};
  Game_CursorX = Game_CursorY = 0;
  GameObject* point = Obj_Alloc();
  point->classNum = WORLD;
  Que_State.districts[0] = Que_State.districts[1] = 1;  // every district closed: shown as closed
  EXPECT_EQ(Game_ApplyUseText(Obj_Player, point, "[changelevel] [TransportSystem]"), 1);
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_TRANSPORT);
  EXPECT_EQ(TS_State.district, 0);
  EXPECT_EQ(TS_State.place, 0);
  EXPECT_EQ(TS_State.hover, 0);
  EXPECT_EQ(Game_CursorX, 320.0f);
  EXPECT_EQ(Game_CursorY, 240.0f);
}

TEST_F(TsTest, TheHoverRayFindsTheDistrictThenItsEntriesAndClicksChooseThem) {
  TS_UpdateHover(ScreenX(900), ScreenY(400));
  EXPECT_EQ(TS_State.hover, 1);
  TS_UpdateHover(ScreenX(1100), ScreenY(0));
  EXPECT_EQ(TS_State.hover, 0) << "beside the model";
  TS_UpdateHover(ScreenX(0), ScreenY(-1500));
  EXPECT_EQ(TS_State.hover, 0) << "a closed district is not offered";
  ClickAt(ScreenX(0), ScreenY(-1500));
  EXPECT_EQ(TS_State.district, 0);
  // The district, then its second entry; a click beside every entry keeps the selection.
  ClickAt(ScreenX(900), ScreenY(400));
  EXPECT_EQ(TS_State.district, 1);
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_TRANSPORT);
  for (int i = 0; i < 3; i++) {
    TS_UpdateHover(ScreenX(kEntryX[i] + 150), ScreenY(-150));
    EXPECT_EQ(TS_State.hover, i + 1);
  }
  ClickAt(ScreenX(kEntryX[1]), ScreenY(0));
  EXPECT_EQ(TS_State.place, 2);
  ClickAt(ScreenX(-900), ScreenY(400));
  EXPECT_EQ(TS_State.place, 2);
  // Opened again, the district is open once the quests say so.
  Que_State.districts[1] = 0;
  TS_Open();
  ClickAt(ScreenX(0), ScreenY(-1500));
  EXPECT_EQ(TS_State.district, 2);
}

// On a 5:4 screen the view keeps square pixels: a layout row stands for 10 x 4/3 x 4/5 units, so
// the district's top edge (y 500) lies at row 240 - 46.9 instead of 190.
TEST_F(TsTest, TheRayFollowsTheViewOnAScreenOfAnotherShape) {
  const int32_t width = Render_ScreenWidth, height = Render_ScreenHeight;
  TS_UpdateHover(320, 192);
  EXPECT_EQ(TS_State.hover, 1);
  Render_ScreenWidth = 1280;
  Render_ScreenHeight = 1024;
  TS_UpdateHover(320, 192);
  EXPECT_EQ(TS_State.hover, 0);
  TS_UpdateHover(320, 194);
  EXPECT_EQ(TS_State.hover, 1);
  TS_UpdateHover(ScreenX(999), 240);
  EXPECT_EQ(TS_State.hover, 1) << "across, a pixel is 10 units whatever the shape";
  Render_ScreenWidth = width;
  Render_ScreenHeight = height;
}

TEST_F(TsTest, LockedAndBlockedPlacesAndEntriesInACarAreNotOffered) {
  ClickAt(320, 240);
  ASSERT_EQ(TS_State.district, 1);
  // The lock word of the place's level, then the blocked level list.
  std::snprintf(Game_Places[0].name, sizeof Game_Places[0].name, "two");
  Game_Places[0].lock = 1;
  TS_UpdateHover(ScreenX(kEntryX[1]), ScreenY(0));
  EXPECT_EQ(TS_State.hover, 0);
  ClickAt(ScreenX(kEntryX[1]), ScreenY(0));
  EXPECT_EQ(TS_State.place, 0);
  Game_Places[0].lock = 0;
  std::snprintf(Que_State.lockedExits[3].name, sizeof Que_State.lockedExits[3].name, "THREE");
  TS_UpdateHover(ScreenX(kEntryX[2]), ScreenY(0));
  EXPECT_EQ(TS_State.hover, 0);
  TS_UpdateHover(ScreenX(kEntryX[1]), ScreenY(0));
  EXPECT_EQ(TS_State.hover, 2);
  // A place selected before its lock closed is not taken by Go.
  ClickAt(ScreenX(kEntryX[1]), ScreenY(0));
  ASSERT_EQ(TS_State.place, 2);
  Game_Places[0].lock = 1;
  ClickAt(541, 241);
  EXPECT_EQ(Game_PendingLevel[0], 0);
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_TRANSPORT);
  Game_Places[0].lock = 0;
  // In a car no entry is offered.
  Obj_Player->person.carIndex = 1;
  TS_UpdateHover(ScreenX(kEntryX[0]), ScreenY(0));
  EXPECT_EQ(TS_State.hover, 0);
  Obj_Player->person.carIndex = 0;
}

TEST_F(TsTest, GoSetsThePendingLevelWithTheStartInRadiansAndEndsTheMode) {
  ClickAt(541, 241);
  EXPECT_EQ(Game_PendingLevel[0], 0) << "Go without a place";
  ClickAt(320, 240);
  ClickAt(ScreenX(kEntryX[1]), ScreenY(100));
  ASSERT_EQ(TS_State.place, 2);
  Game_CursorX = 541;
  Game_CursorY = 241;
  Queue(kKeyMouseLeft, true);
  Game_FrameInput();  // no hot keys after the handler: the level change waits for the next frame
  EXPECT_STREQ(Game_PendingLevel, "two");
  EXPECT_EQ(Game_NextStartOrigin.x, -5.0f);
  EXPECT_FLOAT_EQ(Game_NextStartAngles.x, kMathPi);
  EXPECT_FLOAT_EQ(Game_NextStartAngles.y, kMathPi / 4);
  EXPECT_EQ(Game_NextStartGiven, 1u);
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_NONE);
  EXPECT_EQ(TS_State.district, 0);
  EXPECT_EQ(TS_State.place, 0);
  Queue(kKeyMouseLeft, false);
  Frame();  // the hot keys load the level
  EXPECT_STREQ(Level_Name, "two");
  EXPECT_EQ(Game_PendingLevel[0], 0);
}

TEST_F(TsTest, TheLeaveBoxEscapeAndTheRightButtonLeaveButTheMiddleButtonDoesNot) {
  ClickAt(556, 398);
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_NONE);
  TS_Open();
  Press(KEY_ESCAPE);
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_NONE);
  EXPECT_FALSE(Game_MenuOpen) << "the Escape that leaves does not open the menu too";
  TS_Open();
  Press(kKeyMouseMiddle);
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_TRANSPORT);
  Press(kKeyMouseRight);
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_NONE);
  EXPECT_EQ(TS_State.district, 0);
  // The box is 525..587 x 388..408: a click on each edge leaves, one a pixel beyond keeps the screen.
  const float edges[4][2] = {{525, 398}, {587, 398}, {556, 388}, {556, 408}};
  const float beyond[4][2] = {{524, 398}, {588, 398}, {556, 387}, {556, 409}};
  for (int i = 0; i < 4; i++) {
    TS_Open();
    ClickAt(beyond[i][0], beyond[i][1]);
    EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_TRANSPORT) << beyond[i][0] << "," << beyond[i][1];
    ClickAt(edges[i][0], edges[i][1]);
    EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_NONE) << edges[i][0] << "," << edges[i][1];
  }
}

TEST_F(TsTest, TheDayAndNightButtonsRestThePlayerAndSetTheClock) {
  PersonStats& ps = Obj_Player->person;
  ps.health = 3;
  ps.maxHealth = 120;
  ps.energy = 1;
  ps.maxEnergy = 90;
  const double day = Hud_DayLength();
  ps.clock = 2.5 * day;
  ClickAt(110, 420);
  EXPECT_EQ(ps.health, 120.0f);
  EXPECT_EQ(ps.energy, 90.0f);
  EXPECT_DOUBLE_EQ(ps.clock, (2 + 0.15) * day);
  ps.health = 3;
  ClickAt(230, 420);
  EXPECT_EQ(ps.health, 120.0f);
  EXPECT_DOUBLE_EQ(ps.clock, (2 + 0.65) * day);
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_TRANSPORT);
}

// ---- Help and the other modes -----------------------------------------------------------------------

TEST_F(TsTest, HelpLeavesOnEachOfItsKeysAndNoModeTrapsThePlayer) {
  for (int key : {int(KEY_F1), int(KEY_ESCAPE), int(kKeyMouseRight), int(KEY_SPACE), int(KEY_ENTER),
                  int(KEY_NUMPADENTER)}) {
    Game_FullScreenMode = FULLSCREEN_NONE;
    Press(KEY_F1);
    ASSERT_EQ(Game_FullScreenMode, FULLSCREEN_HELP);
    Press(kKeyMouseLeft);
    EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_HELP);
    Press(key);
    EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_NONE) << key;
  }
  // The movie's mode (here without a movie) ends on its skip keys.
  for (int key : {int(KEY_ESCAPE), int(kKeyMouseRight), int(KEY_SPACE), int(KEY_ENTER), int(KEY_NUMPADENTER)}) {
    Game_FullScreenMode = FULLSCREEN_MOVIE;
    Press(key);
    EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_NONE) << key;
  }
  // The mini-game's mode without a running game (a failed start, a loaded save) ends at its draw.
  Game_FullScreenMode = FULLSCREEN_MINIGAME;
  TS_Draw();
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_NONE);
}

TEST_F(TsTest, InANetworkGameF1DoesNothing) {
  Game_FullScreenMode = FULLSCREEN_NONE;
  Game_NetMode = 1;
  Press(KEY_F1);
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_NONE);
  Game_NetMode = 0;
  Press(KEY_F1);
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_HELP);
}

// ---- The map screen -----------------------------------------------------------------------------------

TEST_F(TsTest, TheMapKeyTogglesTheMapAndEscapeClosesIt) {
  Game_FullScreenMode = FULLSCREEN_NONE;
  Bind("Keyboard M", "Map");
  Press(kKeyM);
  EXPECT_EQ(MapScreen_Open, 1u);
  EXPECT_FALSE(Game_MenuOpen);
  Queue(kKeyM, true);
  Frame();
  Frame();  // held: one toggle only
  Queue(kKeyM, false);
  Frame();
  EXPECT_EQ(MapScreen_Open, 0u);
  Press(kKeyM);
  ASSERT_EQ(MapScreen_Open, 1u);
  Press(KEY_ESCAPE);
  EXPECT_EQ(MapScreen_Open, 0u);
  EXPECT_FALSE(Game_MenuOpen) << "Escape over the map closes the map only";
  Press(KEY_ESCAPE);
  EXPECT_TRUE(Game_MenuOpen);
}

TEST_F(TsTest, TheMapPutsAWorldPointWhereTheLevelsMapShowsIt) {
  float x = 0, y = 0;
  // Level "one": x -1000..1000, y -500..1500 over the box 80..560 x 0..480.
  ASSERT_TRUE(MapScreen_Project("ONE", -1000, 1500, &x, &y));
  EXPECT_FLOAT_EQ(x, 80);
  EXPECT_FLOAT_EQ(y, 0);
  ASSERT_TRUE(MapScreen_Project("one", 500, 0, &x, &y));
  EXPECT_FLOAT_EQ(x, 80 + 0.75f * 480);
  EXPECT_FLOAT_EQ(y, 0.75f * 480);
  EXPECT_FALSE(MapScreen_Project("two", 0, 0, &x, &y));
  EXPECT_FALSE(MapScreen_Project("", 0, 0, &x, &y));
}

}  // namespace
