// The HUD on the test display, read back as real pixels: it is exactly its text drawn directly.
// (The menus' bar and rows are read off the screen by the front end's end-to-end test.)
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <tuple>
#include <utility>
#include <cstdio>
#include <cstring>
#include <vector>

#include "characters/defs.h"
#include "characters/person.h"
#include "foundation/file.h"
#include "foundation/text.h"
#include "foundation/timer.h"
#include "foundation/var.h"
#include "foundation/video.h"
#include "hud/hud.h"
#include "render/render.h"
#include "render/text.h"
#include "render/texture.h"
#include "ui/ui.h"
#include "world/gameinput.h"
#include "support/render_support.h"
#include "quests/dialog.h"
#include "quests/state.h"
#include "quests/ts.h"
#include "tools/image_writer.h"
#include "world/frame2d.h"
#include "world/game.h"
#include "world/level.h"
#include "world/net.h"
#include "world/object.h"

namespace {

class HudScreen : public tw_test::VideoScreenTest {
 protected:
  static void SetUpTestSuite() {
    VideoScreenTest::SetUpTestSuite();
    if (up_) Var_Find("video_text_shadow")->value = 0;
  }
  void SetUp() override {
    if (!haveFont_) GTEST_SKIP() << "no DejaVu font";
    VideoScreenTest::SetUp();
  }
  void TearDown() override { Obj_ClearAll(); }
};

TEST_F(HudScreen, TheHudIsItsTextDrawnDirectly) {
  GameObject* player = Obj_Alloc();
  player->person.health = 80;
  player->person.maxHealth = 100;
  Obj_Player = player;
  Hud_Draw();
  std::vector<uint8_t> hud = Read();
  Obj_Player = nullptr;
  Begin();
  Print_SetBackgroundColor(0, 0, 0, 0);
  Print_SetAlign(0);
  Print_SetWidthScale(kHudTextSize);
  Print_SetSize(kHudTextSize);
  Print_SetColor(kHudTextColor[0], kHudTextColor[1], kHudTextColor[2], kHudTextColor[3]);
  Print_TextBox(kHudBox[0], kHudBox[1], kHudBox[2], kHudBox[3], "Health 80 / 100\n");
  std::vector<uint8_t> direct = Read();
  size_t lit = 0;
  for (size_t i = 0; i < hud.size(); i += 4) lit += hud[i + 2] > 100;
  EXPECT_GT(lit, 100u) << "the HUD drew nothing";
  EXPECT_TRUE(hud == direct) << "the HUD differs from its text drawn directly";
  Begin();
  Hud_Draw();  // no player: nothing
  std::vector<uint8_t> none = Read();
  for (size_t i = 0; i < none.size(); i += 4) ASSERT_EQ(none[i + 2], 0) << i;
}

// The live lines show from the top, oldest first, one below the other, exactly as their text drawn
// in the message style; once the newest has expired nothing shows.
TEST_F(HudScreen, MessageLinesShowFromTheTopUntilTheyExpire) {
  Console_Clear();
  const double saved = Timer_FrameTime;
  Timer_FrameTime = 100.0;
  Console_AddMessage(u"hidden: older than an expired line", 200.0);
  Console_AddMessage(u"expired", 99.0);
  Console_AddMessage(u"You got 10000 money", 107.0);
  Console_AddMessage(u"x", 107.0);  // one character: left out
  Console_AddMessage(u"god mode on", 107.0);
  Begin();
  Hud_DrawMessageLines();
  std::vector<uint8_t> lines = Read();
  Begin();
  Print_SetBackgroundColor(0, 0, 0, 0);
  Print_SetAlign(0);
  Print_SetWidthScale(kHudMessageSize);
  Print_SetSize(kHudMessageSize);
  Print_SetColor(1.0f, 1.0f, 1.0f, 0.8f);
  float next = Print_TextBoxHeightW(10, 0, 630, 480, u"You got 10000 money");
  Print_TextBoxW(10, 0, 630, next, u"You got 10000 money");
  Print_TextBoxW(10, next, 630, 480, u"god mode on");
  std::vector<uint8_t> direct = Read();
  // Lit rows: all within the top tenth of the screen (rows are stored bottom first).
  const size_t row = size_t(Render_ScreenWidth) * 4;
  size_t lit = 0, lowest = lines.size();
  for (size_t i = 0; i < lines.size(); i += 4)
    if (lines[i + 2] > 100) lit++, lowest = std::min(lowest, i / row);
  EXPECT_GT(lit, 100u) << "no message line drawn";
  EXPECT_GT(lowest, size_t(Render_ScreenHeight) * 9 / 10);
  EXPECT_TRUE(lines == direct) << "the lines differ from their text drawn directly";
  Timer_FrameTime = 107.5;
  Begin();
  Hud_DrawMessageLines();
  std::vector<uint8_t> none = Read();
  for (size_t i = 0; i < none.size(); i += 4) ASSERT_EQ(none[i + 2], 0) << i;
  Timer_FrameTime = saved;
  Console_Clear();
}

bool Lit(int b, int g, int r) { return b + g + r > 300; }

// The play screen: the use target's prompt, the talk marker with a stranger's name, the search
// marker of a dead character, the subtitle for its three seconds, the status text in its colour
// while it runs, and in a dialogue the pointer where the mouse put it.
TEST_F(HudScreen, ThePlayScreenShowsPromptsMarkersSubtitleStatusAndThePointer) {
  using tw_test::WriteBytes;
  using tw_test::WriteFile;
  auto solid = [](int size, uint8_t b, uint8_t g, uint8_t r) {
    return ImageTool_WriteTGA(ImageTool_Solid(size, size, b, g, r, 255), 32);
  };
  WriteBytes("sprites/sbar/search.tga", solid(32, 0, 255, 0));
  WriteBytes("sprites/sbar/talkplace.tga", solid(32, 255, 0, 0));
  WriteBytes("sprites/Menu/cursor.tga", solid(8, 255, 255, 255));
  WriteFile("data/text/Eng/consol/Press use key to go to shop.txt", "Press use key to go to shop");
  WriteFile("data/text/Eng/personages/__strangerFemale__.txt", "A stranger");
  WriteFile("data/text/Eng/voice/line.txt", "Watch your step");
  WriteFile("data/text/Eng/quest/status.txt", "The gate is open");
  GameObject* player = Obj_Alloc();
  player->person.state = 1;
  Obj_Player = player;
  Game_Time = 0;
  auto screen = [] {
    Begin();
    Game_Draw2D();
    return Read();
  };
  auto blue = [](int b, int g, int r) { return b > 200 && g < 60 && r < 60; };
  auto green = [](int b, int g, int r) { return g > 200 && b < 60 && r < 60; };
  auto red = [](int b, int g, int r) { return r > 150 && g < 80 && b < 80; };
  const float marker[4] = {300, 285, 340, 310}, prompt[4] = {120, 330, 520, 360}, name[4] = {120, 360, 520, 390};
  std::vector<uint8_t> px = screen();
  EXPECT_EQ(tw_test::CountInLayoutBox(px, prompt[0], prompt[1], prompt[2], prompt[3], Lit), 0);
  EXPECT_EQ(tw_test::CountInLayoutBox(px, 0, 0, 640, 330, Lit), 0);

  GameObject* shop = Obj_Alloc();
  shop->classNum = WORLD;
  std::snprintf(shop->person.itemText, sizeof shop->person.itemText, "[shop] [corner]");
  player->useTargetObject = shop;
  px = screen();
  EXPECT_EQ(tw_test::CountInLayoutBox(px, prompt[0], prompt[1], prompt[2], prompt[3], Lit), 0) << "a shop no file defines";
  std::snprintf(Def_Shops[0].name, sizeof Def_Shops[0].name, "corner");
  px = screen();
  EXPECT_GT(tw_test::CountInLayoutBox(px, prompt[0], prompt[1], prompt[2], prompt[3], Lit), 50) << "no shop prompt";

  GameObject* npc = Obj_Alloc();
  npc->classNum = NPC;
  npc->person.state = 1;
  npc->gender = 1;
  player->useTargetCharacter = npc;
  px = screen();
  EXPECT_GT(tw_test::CountInLayoutBox(px, marker[0], marker[1], marker[2], marker[3], blue), 300) << "no talk marker";
  EXPECT_GT(tw_test::CountInLayoutBox(px, name[0], name[1], name[2], name[3], Lit), 50) << "no stranger's name";
  npc->person.state = 2;
  px = screen();
  EXPECT_GT(tw_test::CountInLayoutBox(px, marker[0], marker[1], marker[2], marker[3], green), 300) << "no search marker";
  EXPECT_EQ(tw_test::CountInLayoutBox(px, marker[0], marker[1], marker[2], marker[3], blue), 0);
  EXPECT_EQ(tw_test::CountInLayoutBox(px, name[0], name[1], name[2], name[3], Lit), 0);
  player->useTargetCharacter = player->useTargetObject = nullptr;

  std::snprintf(Game_PlayScreen.subtitleKey, sizeof Game_PlayScreen.subtitleKey, "voice\\line");
  Game_PlayScreen.subtitleStart = 0;
  std::snprintf(Game_PlayScreen.statusKey, sizeof Game_PlayScreen.statusKey, "quest\\status");
  Game_PlayScreen.statusStart = 0;
  Game_PlayScreen.statusDuration = 10.0f;
  const uint8_t statusColor[4] = {255, 0, 0, 255};
  std::memcpy(Game_PlayScreen.statusColor, statusColor, 4);
  struct Moment {
    double time;
    bool subtitle, status;
  };
  for (const Moment& m : {Moment{0.5, true, true}, Moment{2.9, true, true}, Moment{3.5, false, true},
                          Moment{11.5, false, false}}) {
    Game_Time = m.time;
    px = screen();
    EXPECT_EQ(tw_test::CountInLayoutBox(px, 100, 10, 540, 40, Lit) > 50, m.subtitle) << m.time;
    EXPECT_EQ(tw_test::CountInLayoutBox(px, 120, 340, 520, 480, red) > 50, m.status) << m.time;
  }
  Game_ClearPlayScreen();

  Game_CentreCursor();
  Game_MoveCursor(-220 * Video_ScreenWidth / 640, -140 * Video_ScreenHeight / 480);
  Dialog_Open = 1;
  px = screen();
  Dialog_Open = 0;
  auto any = [](int, int, int) { return true; };
  EXPECT_EQ(tw_test::CountInLayoutBox(px, 101, 101, 107, 107, Lit), tw_test::CountInLayoutBox(px, 101, 101, 107, 107, any))
      << "the pointer is not where the mouse put it";
  EXPECT_EQ(tw_test::CountInLayoutBox(px, 300, 220, 340, 260, Lit), 0);
  Def_Shops[0].name[0] = 0;
  Game_Time = 0;
  Game_CentreCursor();
}

// A dead hero uses nothing, so nothing offers him a use: no talk marker with the partner's name,
// no search marker over a body, no use text's prompt; a living hero sees them all.
TEST_F(HudScreen, ADeadHeroIsOfferedNoUse) {
  auto solid = [](int size, uint8_t b, uint8_t g, uint8_t r) {
    return ImageTool_WriteTGA(ImageTool_Solid(size, size, b, g, r, 255), 32);
  };
  tw_test::WriteBytes("sprites/sbar/search.tga", solid(32, 0, 255, 0));
  tw_test::WriteBytes("sprites/sbar/talkplace.tga", solid(32, 255, 0, 0));
  tw_test::WriteFile("data/text/Eng/consol/Press use key to go to shop.txt", "Press use key to go to shop");
  tw_test::WriteFile("data/text/Eng/personages/bram.txt", "Old Bram");
  std::snprintf(Def_Shops[0].name, sizeof Def_Shops[0].name, "corner");
  GameObject* player = Obj_Alloc();
  player->person.state = 1;
  Obj_Player = player;
  GameObject* shop = Obj_Alloc();
  shop->classNum = WORLD;
  std::snprintf(shop->person.itemText, sizeof shop->person.itemText, "[shop] [corner]");
  GameObject* npc = Obj_Alloc();
  npc->classNum = NPC;
  npc->person.state = 1;
  npc->gender = 0;
  std::snprintf(npc->person.name, sizeof npc->person.name, "bram");
  player->useTargetCharacter = npc;
  player->useTargetObject = shop;
  const float marker[4] = {300, 285, 340, 310}, prompt[4] = {120, 330, 520, 360}, name[4] = {120, 360, 520, 390};
  auto any = [](int b, int g, int r) { return b + g + r > 100; };
  auto offered = [&] {
    Begin();
    Game_Draw2D();
    const std::vector<uint8_t> px = Read();
    return std::array<int, 3>{tw_test::CountInLayoutBox(px, marker[0], marker[1], marker[2], marker[3], any),
                              tw_test::CountInLayoutBox(px, prompt[0], prompt[1], prompt[2], prompt[3], any),
                              tw_test::CountInLayoutBox(px, name[0], name[1], name[2], name[3], any)};
  };
  for (int npcState : {1, 2}) {
    npc->person.state = npcState;
    player->person.state = 1;
    const auto alive = offered();
    EXPECT_GT(alive[0], 300) << "no marker, partner state " << npcState;
    EXPECT_GT(alive[1], 50) << "no use text prompt";
    if (npcState == 1) EXPECT_GT(alive[2], 50) << "no partner's name";
    player->person.state = 2;
    EXPECT_EQ(offered(), (std::array<int, 3>{0, 0, 0})) << "a dead hero was offered a use, partner state " << npcState;
  }
  Def_Shops[0].name[0] = 0;
}

// Escape's grab keeps the last finished picture (still in the back buffer) and the in-game menu
// stands over it, dimmed; a picture of a texture table emptied since (a level released) is gone.
TEST_F(HudScreen, TheInGameMenuStandsOverTheFrozenPicture) {
  ASSERT_EQ(Render_ScreenWidth, Video_ScreenWidth);
  ASSERT_EQ(Render_ScreenHeight, Video_ScreenHeight);
  const int w = Video_ScreenWidth, h = Video_ScreenHeight;
  auto at = [&](const std::vector<uint8_t>& px, float lx, float ly) {  // layout point, y down
    const int x = int(lx * float(w) / 640), y = h - 1 - int(ly * float(h) / 480);
    const uint8_t* p = &px[(size_t(y) * size_t(w) + size_t(x)) * 4];
    return std::array<int, 3>{p[2], p[1], p[0]};
  };
  Render_Clear(1, 1, 0, 0);  // the game's picture: red
  Panel_GrabScreen();
  Begin();
  Game_MenuOpen = 1;
  ASSERT_EQ(UI_PushMenu(UI_System, "ingamemenu", nullptr), 1);
  Game_Draw2D();
  std::vector<uint8_t> menu = Read();
  for (auto [lx, ly] : {std::pair{20.0f, 20.0f}, std::pair{600.0f, 450.0f}, std::pair{100.0f, 300.0f}}) {
    const auto c = at(menu, lx, ly);
    EXPECT_NEAR(c[0], kPanelGrabShade.r, 3) << lx << "," << ly;
    EXPECT_LT(c[1] + c[2], 6) << lx << "," << ly;
  }
  const auto bar = at(menu, 320, kUiItemTop + 2);  // the first item's bar stands over it
  EXPECT_EQ(bar[2], kUiBarColor[2]);
  // A second grab of a green picture replaces the first.
  Begin();
  Render_Clear(1, 0, 1, 0);
  Panel_GrabScreen();
  Begin();
  Game_Draw2D();
  EXPECT_NEAR(at(Read(), 20, 20)[1], kPanelGrabShade.g, 3);
  // The texture table emptied: nothing behind the menu.
  Tex_FreeAll();
  Video_ResetFonts();
  Begin();
  Game_Draw2D();
  const auto gone = at(Read(), 20, 20);
  EXPECT_EQ(gone[0] + gone[1] + gone[2], 0);
  UI_ClearMenuStack(UI_System);
  Game_MenuOpen = 0;
}

// Without the menus the search opens as a panel: its title and the searched body's name.
TEST_F(HudScreen, TheSearchPanelShowsTheSearchedBodysName) {
  GameObject* player = Obj_Alloc();
  player->person.state = 1;
  Obj_Player = player;
  GameObject* body = Obj_Alloc();
  std::snprintf(body->person.name, sizeof body->person.name, "%s", "Wendell");
  Game_Use = GameUseState{};
  Game_PanelOpen = 1;
  Game_CursorX = Game_CursorY = 0;  // the pointer out of the way
  const int w = Video_ScreenWidth, h = Video_ScreenHeight;
  auto litRows = [&](float top, float bottom) {  // lit pixels in a band of the layout
    std::vector<uint8_t> px = Read();
    int n = 0;
    for (int y = h - int(bottom * float(h) / 480); y < h - int(top * float(h) / 480); y++)
      for (int x = 0; x < w; x++) n += px[(size_t(y) * size_t(w) + size_t(x)) * 4 + 2] > 100;
    return n;
  };
  Begin();
  Game_Draw2D();
  EXPECT_GT(litRows(kUiTitleTop, kUiItemTop), 50) << "no title";
  EXPECT_EQ(litRows(kUiItemTop, kUiItemTop + kUiItemHeight), 0) << "a name with nothing searched";
  Game_Use.searchedId = body->id;
  Begin();
  Game_Draw2D();
  EXPECT_GT(litRows(kUiItemTop, kUiItemTop + kUiItemHeight), 50) << "no name";
  Game_PanelOpen = 0;
  Begin();
  Game_Draw2D();
  EXPECT_EQ(litRows(kUiTitleTop, kUiItemTop), 0) << "the panel outlives its closing";
  Game_Use = GameUseState{};
  Game_CentreCursor();
}

}  // namespace

namespace {

// A parked car character in reach: the drive prompt, or the key it wants, never the talk marker
// or a stranger's name; nothing once the player drives.
TEST_F(HudScreen, AParkedCarCharacterPromptsToDriveOrForItsKey) {
  using tw_test::WriteBytes;
  using tw_test::WriteFile;
  WriteBytes("sprites/sbar/talkplace.tga", ImageTool_WriteTGA(ImageTool_Solid(32, 32, 255, 0, 0, 255), 32));
  WriteFile("data/text/Eng/consol/Press use key to drive.txt", "Press use key to drive");
  WriteFile("data/text/Eng/personages/__stranger__.txt", "A stranger");
  std::snprintf(Def_Cars[1].name, sizeof Def_Cars[1].name, "runabout");
  std::snprintf(Def_Items[0].name, sizeof Def_Items[0].name, "gate key");
  const int32_t items = Def_ItemCount;
  Def_ItemCount = 1;
  GameObject* player = Obj_Alloc();
  player->person.state = 1;
  Obj_Player = player;
  GameObject* car = Obj_Alloc();
  car->classNum = NPC;
  car->person.state = 1;
  car->person.carIndex = 1;
  player->useTargetCharacter = car;
  auto screen = [] {
    Begin();
    Game_Draw2D();
    return Read();
  };
  auto blue = [](int b, int g, int r) { return b > 200 && g < 60 && r < 60; };
  const float marker[4] = {300, 285, 340, 310}, prompt[4] = {120, 330, 520, 360}, name[4] = {120, 360, 520, 390};
  // No key named: the drive prompt.
  std::vector<uint8_t> px = screen();
  EXPECT_GT(tw_test::CountInLayoutBox(px, prompt[0], prompt[1], prompt[2], prompt[3], Lit), 50) << "no drive prompt";
  EXPECT_EQ(tw_test::CountInLayoutBox(px, marker[0], marker[1], marker[2], marker[3], blue), 0) << "a talk marker on a car";
  EXPECT_EQ(tw_test::CountInLayoutBox(px, name[0], name[1], name[2], name[3], Lit), 0) << "a stranger's name on a car";
  // Locked: the drive prompt goes, the key's prompt shows.
  std::snprintf(Def_Cars[1].key, sizeof Def_Cars[1].key, "gate key");
  px = screen();
  EXPECT_EQ(tw_test::CountInLayoutBox(px, prompt[0], prompt[1], prompt[2], prompt[3], Lit), 0) << "the drive prompt without the key";
  WriteFile("data/text/Eng/consol/You do not have the key.txt", "You do not have the key");
  TextFile_Flush();
  px = screen();
  EXPECT_GT(tw_test::CountInLayoutBox(px, prompt[0], prompt[1], prompt[2], prompt[3], Lit), 50) << "no key prompt";
  // With the key: the drive prompt again (its text gone, nothing shows).
  player->person.items[0] = InvPair{INV_ITEM, 0};
  std::remove("data/text/Eng/consol/Press use key to drive.txt");
  TextFile_Flush();
  px = screen();
  EXPECT_EQ(tw_test::CountInLayoutBox(px, prompt[0], prompt[1], prompt[2], prompt[3], Lit), 0) << "the key prompt with the key";
  // Driving: no prompt for another car.
  WriteFile("data/text/Eng/consol/Press use key to drive.txt", "Press use key to drive");
  TextFile_Flush();
  EXPECT_GT(tw_test::CountInLayoutBox(screen(), prompt[0], prompt[1], prompt[2], prompt[3], Lit), 50);
  player->person.carIndex = 1;
  EXPECT_EQ(tw_test::CountInLayoutBox(screen(), prompt[0], prompt[1], prompt[2], prompt[3], Lit), 0);
  Def_Cars[1] = CarDef{};
  Def_Items[0] = ItemDef{};
  Def_ItemCount = items;
  TextFile_Flush();
}

// An exit prompts only where the use key would take it: on foot, with neither level blocked; the
// Transport System point whenever the use key opens its screen, whatever the districts' access
// (the screen shows closed ones as closed), but not with a level change pending or no district.
TEST_F(HudScreen, ExitsPromptOnlyWhereTheUseKeyWouldTakeThem) {
  tw_test::WriteFile("data/text/Eng/consol/Press use key to go to.txt", "Press use key to go to");
  tw_test::WriteFile("data/text/Eng/consol/Press use key to go to Transport System.txt", "Transport System");
  TextFile_Flush();
  Que_ResetState();
  TS_Data = TsData{};
  GameObject* player = Obj_Alloc();
  player->person.state = 1;
  Obj_Player = player;
  GameObject* exit = Obj_Alloc();
  exit->classNum = WORLD;
  player->useTargetObject = exit;
  auto prompted = [] {
    Begin();
    Game_Draw2D();
    return tw_test::CountInLayoutBox(Read(), 120, 330, 520, 360, Lit) > 50;
  };
  UseTextOffer offer;
  std::snprintf(exit->person.itemText, sizeof exit->person.itemText, "[changelevel] [arena] [1 2 3 90 0 0]");
  EXPECT_TRUE(prompted()) << "on foot";
  EXPECT_EQ(Game_ReadUseText(player, exit->person.itemText, &offer), USE_TEXT_LEVEL);
  player->person.carIndex = 1;
  EXPECT_FALSE(prompted()) << "in a car";
  EXPECT_EQ(Game_ApplyUseText(player, exit, exit->person.itemText), 0);
  player->person.carIndex = 0;
  std::snprintf(Que_State.lockedExits[5].name, sizeof Que_State.lockedExits[5].name, "ARENA");
  EXPECT_FALSE(prompted()) << "a blocked exit";
  EXPECT_EQ(Game_ApplyUseText(player, exit, exit->person.itemText), 0);
  EXPECT_EQ(Game_PendingLevel[0], 0);
  Que_ResetState();
  // The Transport System point.
  std::snprintf(exit->person.itemText, sizeof exit->person.itemText, "[changelevel] [TransportSystem]");
  EXPECT_FALSE(prompted()) << "no districts";
  TS_Data.districtCount = 1;
  EXPECT_TRUE(prompted()) << "a district without its map model";
  TS_Data.districts[0].usable = 1;
  Que_State.districts[0] = 1;
  EXPECT_TRUE(prompted()) << "a closed district";
  std::snprintf(Game_PendingLevel, sizeof Game_PendingLevel, "arena");
  EXPECT_FALSE(prompted()) << "a level change pending";
  Game_PendingLevel[0] = 0;
  EXPECT_EQ(Game_ApplyUseText(player, exit, exit->person.itemText), 1);
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_TRANSPORT) << "the closed district's screen did not open";
  EXPECT_FALSE(prompted()) << "the screen already open";
  Game_FullScreenMode = FULLSCREEN_NONE;
  TS_Data = TsData{};
  Que_ResetState();
  Game_PendingLevel[0] = 0;
}

}  // namespace

namespace {

// The map, once open, lies under the crosshair and the HUD: both stay drawn where it stands.
TEST_F(HudScreen, TheMapLiesUnderTheCrosshairAndTheHud) {
  tw_test::WriteBytes("sprites/SBar/cross2.tga", ImageTool_WriteTGA(ImageTool_Solid(16, 16, 255, 255, 255, 255), 32));
  GameObject* player = Obj_Alloc();
  player->person.state = 1;
  player->person.health = 80;
  player->person.maxHealth = 100;
  player->camera.zoomLevel = 2;  // the second zoom's crosshair
  player->origin = vec3{900, 900, 0};  // its mark on the map in a corner
  Obj_Player = player;
  const TsData savedTs = TS_Data;
  TS_Data.mapCount = 1;
  TS_Data.maps[0] = TsMap{"here", "", -1000, -1000, 1000, 1000};
  std::snprintf(Level_Name, sizeof Level_Name, "here");
  // The crosshair's and the HUD's lit pixels inside the map's box, and the red of the hero's mark.
  auto red = [](int b, int g, int r) { return r > 200 && g < 120 && b < 120; };
  auto marks = [&red] {
    Begin();
    Game_Draw2D();
    std::vector<uint8_t> px = Read();
    return std::tuple{tw_test::CountInLayoutBox(px, 312, 232, 328, 248, Lit),
                      tw_test::CountInLayoutBox(px, 80, kHudBox[1], kHudBox[2], kHudBox[3], Lit),
                      tw_test::CountInLayoutBox(px, 0, 0, 640, 480, red)};
  };
  const auto [crossBefore, hudBefore, redBefore] = marks();
  EXPECT_GT(crossBefore, 30) << "no crosshair";
  EXPECT_GT(hudBefore, 30) << "no HUD";
  MapScreen_Open = 1;
  const auto [cross, hud, redOpen] = marks();
  MapScreen_Open = 0;
  TS_Data = savedTs;
  Level_Name[0] = 0;
  EXPECT_GT(redOpen, redBefore) << "no map drawn";
  // (Half-lit edges may blend a little differently over the map's dark box than over black.)
  EXPECT_GE(cross, crossBefore * 9 / 10) << "the map over the crosshair";
  EXPECT_GE(hud, hudBefore * 9 / 10) << "the map over the HUD";
}

// The inventory lists a weapon both in hand and carried once, by its shown name (the text of its
// "text" key), not by its definition name.
TEST_F(HudScreen, TheInventoryListsEachThingOnceByItsShownName) {
  tw_test::WriteFile("data/text/Eng/items/pistol.txt", "Pistol of the watchmen");
  const WeaponDef saved = Def_Weapons[0];
  const int32_t savedCount = Def_WeaponCount;
  Def_Weapons[0] = WeaponDef{};
  std::snprintf(Def_Weapons[0].name, sizeof Def_Weapons[0].name, "pi");
  Def_WeaponCount = 1;
  GameObject* player = Obj_Alloc();
  player->person.state = 1;
  player->person.equippedKind = INV_WEAPON;
  player->person.equippedIndex = 0;
  player->person.items[0] = InvPair{INV_WEAPON, 0};
  Obj_Player = player;
  Game_MenuOpen = 1;
  Game_CursorX = Game_CursorY = 0;  // the pointer out of the way
  ASSERT_EQ(UI_PushMenu(UI_System, "inventorymenu", nullptr), 1);
  const int w = Video_ScreenWidth, h = Video_ScreenHeight;
  struct Row {
    int lit, width;
  };
  auto row = [&](const std::vector<uint8_t>& px, int n) {  // lit pixels of a row and how wide they spread
    const float top = kUiItemTop + 30.0f * float(n);
    Row r{0, 0};
    int left = w, right = -1;
    for (int y = h - int((top + 30) * float(h) / 480); y < h - int(top * float(h) / 480); y++)
      for (int x = 0; x < w; x++) {
        const uint8_t* p = &px[(size_t(y) * size_t(w) + size_t(x)) * 4];
        if (!Lit(p[0], p[1], p[2])) continue;
        r.lit++;
        left = std::min(left, x);
        right = std::max(right, x);
      }
    r.width = right - left;
    return r;
  };
  Begin();
  Game_Draw2D();
  const std::vector<uint8_t> raw = Read();
  std::snprintf(Def_Weapons[0].text, sizeof Def_Weapons[0].text, "pistol");
  Begin();
  Game_Draw2D();
  const std::vector<uint8_t> shown = Read();
  UI_ClearMenuStack(UI_System);
  Game_MenuOpen = 0;
  Def_Weapons[0] = saved;
  Def_WeaponCount = savedCount;
  Game_CentreCursor();
  EXPECT_GT(row(raw, 0).lit, 20) << "no row for the pistol";
  EXPECT_EQ(row(raw, 1).lit, 0) << "the pistol in hand listed twice";
  EXPECT_GT(row(shown, 0).width, 4 * row(raw, 0).width) << "the definition name, not the shown name";
  EXPECT_EQ(row(shown, 1).lit, 0);
}

// With no server heard, the join screen says so on the row under Refresh and Team.
TEST_F(HudScreen, TheJoinScreenSaysWhenNoServerWasFound) {
  for (ServerListEntry& e : NET_ServerList) e = ServerListEntry{};
  Game_MenuOpen = 1;
  Game_CursorX = Game_CursorY = 0;
  ASSERT_EQ(UI_PushMenu(UI_System, "joingame", nullptr), 1);
  Begin();
  Game_Draw2D();
  const std::vector<uint8_t> px = Read();
  UI_ClearMenuStack(UI_System);
  Game_MenuOpen = 0;
  Game_CentreCursor();
  const float top = kUiItemTop + 2 * kUiItemHeight;
  EXPECT_GT(tw_test::CountInLayoutBox(px, 60, top, 580, top + kUiItemHeight, Lit), 30) << "no line for no servers";
}

}  // namespace
