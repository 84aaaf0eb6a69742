// The full-screen modes and the map screen of the sample game drawn on the test display and read
// back: the Transport System's map models lie exactly where the pointer's ray finds them, help
// shows its pictures, and the map puts the player's and a tracked character's markers where their
// origins map.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/var.h"
#include "hud/hud.h"
#include "platform/window.h"
#include "quests/state.h"
#include "quests/ts.h"
#include "render/render.h"
#include "render/texture.h"
#include "scene/view.h"
#include "support/render_support.h"
#include "tools/ts_assets.h"
#include "world/frame2d.h"
#include "world/game.h"
#include "world/level.h"
#include "world/object.h"

namespace {

class TsGl : public tw_test::SampleGameGlTest {
 protected:
  void SetUp() override {
    SampleGameGlTest::SetUp();
    if (Stopped()) return;
    StartOpenGl();
    if (HasFatalFailure()) return;
    Hud_ReadSettings("", 0, "none");
    TS_Init();
    ASSERT_EQ(TS_Data.districtCount, 1);
    std::memset(Que_State.districts, 0, sizeof Que_State.districts);
    player_ = Obj_Alloc();
    player_->classNum = MACHINEPLAYER;
    player_->flags |= OBJ_ACTIVE;
    Obj_Player = player_;
  }
  void TearDown() override {
    if (Stopped()) return;
    Game_FullScreenMode = FULLSCREEN_NONE;
    Obj_Player = nullptr;
    Level_Name[0] = 0;
    SampleGameGlTest::TearDown();
  }
  // A black frame as the full-screen modes get it, then `draw`.
  template <typename F>
  static tw_test::Picture Frame(F draw) {
    Render_BeginFrame(0, 0, Render_ScreenWidth, Render_ScreenHeight);
    Render_Clear(1, 0, 0, 0);
    View_ResetRenderState();
    Render_SetDepthTest(0);
    draw();
    return tw_test::ReadScreenAndEndFrame();
  }
  // The pixel under a point of the 640 x 480 layout (B, G, R, A).
  static const uint8_t* At(const tw_test::Picture& p, float x, float y) {
    int px = int(x * p.width / 640), py = p.height - 1 - int(y * p.height / 480);
    return p.At(px, py);
  }
  static bool Near(const uint8_t* bgra, int r, int g, int b, int tol = 30) {
    return std::abs(bgra[2] - r) < tol && std::abs(bgra[1] - g) < tol && std::abs(bgra[0] - b) < tol;
  }
  GameObject* player_ = nullptr;
};

// Over the map area every point that the ray finds on the district shows the district's colour,
// and every point it finds on no model is black; with the district chosen, the same for each entry.
TEST_F(TsGl, TheMapModelsShowWhereThePointersRayFindsThem) {
  if (Stopped()) return;
  TS_Open();
  Game_CursorX = 600;  // the pointer away from the map
  Game_CursorY = 460;
  tw_test::Picture overview = Frame(TS_Draw);
  int hits = 0, misses = 0;
  for (float y = 100; y <= 380; y += 9)
    for (float x = 150; x <= 430; x += 9) {
      TS_UpdateHover(x, y);
      const uint8_t* p = At(overview, x, y);
      if (TS_State.hover == 1) {
        hits++;
        EXPECT_TRUE(Near(p, 60, 90, 70)) << x << "," << y << " " << int(p[2]) << " " << int(p[1]) << " " << int(p[0]);
      } else {
        misses++;
        EXPECT_TRUE(Near(p, 0, 0, 0, 8)) << x << "," << y;
      }
    }
  EXPECT_GT(hits, 300);
  EXPECT_GT(misses, 200);
  TS_State.district = 1;
  tw_test::Picture district = Frame(TS_Draw);
  const uint8_t colours[3][3] = {{200, 120, 40}, {40, 120, 200}, {180, 60, 160}};
  int entries[3] = {};
  // (The points stay off the entries' edges, which lie on multiples of 5.)
  for (float y = 182; y <= 300; y += 5)
    for (float x = 192; x <= 450; x += 5) {
      TS_UpdateHover(x, y);
      const uint8_t* p = At(district, x, y);
      if (TS_State.hover > 0) {
        const uint8_t* c = colours[TS_State.hover - 1];
        entries[TS_State.hover - 1]++;
        EXPECT_TRUE(Near(p, c[0], c[1], c[2])) << x << "," << y;
      } else if (x < 440) {
        EXPECT_FALSE(Near(p, 200, 120, 40) || Near(p, 40, 120, 200) || Near(p, 180, 60, 160)) << x << "," << y;
      }
    }
  for (int e : entries) EXPECT_GT(e, 40);
  // A green frame around the selected place, a white one around the hovered place.
  TS_State.place = 2;
  TS_State.hover = 1;
  tw_test::Picture framed = Frame(TS_Draw);
  EXPECT_TRUE(Near(At(framed, 294, 240), 60, 255, 90, 12));
  EXPECT_TRUE(Near(At(framed, 346, 240), 60, 255, 90, 12));
  EXPECT_TRUE(Near(At(framed, 224, 240), 255, 255, 255, 12));
  EXPECT_FALSE(Near(At(framed, 364, 240), 255, 255, 255, 60)) << "the third place has no frame";
  // The leave box and the day button where the input takes their clicks.
  EXPECT_TRUE(Near(At(district, 556, 398), 150, 40, 40, 12));
  EXPECT_TRUE(Near(At(district, 65, 405), 200, 170, 60, 12));
}

// Help shows the sample's two pictures: the dark blue board over most of the screen and the gold
// rule along the top of each.
TEST_F(TsGl, HelpShowsItsPictures) {
  if (Stopped()) return;
  Game_FullScreenMode = FULLSCREEN_HELP;
  tw_test::Picture help = Frame(TS_Draw);
  int board = 0, all = 0;
  for (int y = 0; y < help.height; y += 3)
    for (int x = 0; x < help.width; x += 3, all++) board += Near(help.At(x, y), 16, 40, 90, 6);
  EXPECT_GT(board, all / 2);
  EXPECT_TRUE(Near(At(help, 300, 1), 230, 190, 60, 12));
  EXPECT_TRUE(Near(At(help, 300, 241), 230, 190, 60, 12));
}

// The street's map spans -1200..1200 both ways over the box 80..560 x 0..480: the player at
// (600, -300) shows at (440, 300), a tracked character at (-600, 600) at (200, 120), a tracked place
// of the street at its origin.
TEST_F(TsGl, TheMapPutsThePlayerAndATrackedCharacterWhereTheirOriginsMap) {
  if (Stopped()) return;
  std::snprintf(Level_Name, sizeof Level_Name, "street");
  player_->origin = vec3{600, -300, 0};
  GameObject* friendObj = Obj_Alloc();
  friendObj->classNum = NPC;
  friendObj->flags |= OBJ_ACTIVE;
  friendObj->origin = vec3{-600, 600, 0};
  std::snprintf(friendObj->person.name, sizeof friendObj->person.name, "Ravel");
  std::snprintf(Que_State.tracked[2].name, sizeof Que_State.tracked[2].name, "ravel");
  // Two tracked places: one in this level at (0, -900) (the map's (320, 420)), one elsewhere.
  TrackedLocation& here = Que_State.locations[5];
  TrackedLocation& there = Que_State.locations[6];
  here = TrackedLocation{};
  there = TrackedLocation{};
  std::snprintf(here.name, sizeof here.name, "drop");
  std::snprintf(here.level, sizeof here.level, "STREET");
  here.origin[1] = -900;
  std::snprintf(there.name, sizeof there.name, "far");
  std::snprintf(there.level, sizeof there.level, "arena");
  there.origin[0] = 600;
  there.origin[1] = 600;
  tw_test::Picture map = Frame(MapScreen_Draw);
  Que_State.tracked[2].name[0] = 0;
  here = TrackedLocation{};
  there = TrackedLocation{};
  EXPECT_TRUE(Near(At(map, 320, 420), 60, 140, 255, 12));
  EXPECT_FALSE(Near(At(map, 440, 120), 60, 140, 255, 40)) << "a place of another level";
  EXPECT_TRUE(Near(At(map, 440, 300), 255, 40, 40, 12));
  EXPECT_TRUE(Near(At(map, 200, 120), 255, 200, 40, 12));
  EXPECT_FALSE(Near(At(map, 440, 330), 255, 40, 40, 12)) << "the player's marker is small";
  // The map picture fills the box; outside it the screen stays black.
  EXPECT_FALSE(Near(At(map, 300, 400), 0, 0, 0, 8));
  EXPECT_TRUE(Near(At(map, 40, 240), 0, 0, 0, 8));
}

}  // namespace
