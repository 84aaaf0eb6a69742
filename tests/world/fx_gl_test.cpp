// The world's visible effects read back from the screen: beams, the bolt, a flying particle and
// the sun's flares and glare.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "foundation/var.h"
#include "platform/window.h"
#include "render/material.h"
#include "render/render.h"
#include "scene/view.h"
#include "support/render_support.h"
#include "world/areol.h"
#include "world/beam.h"
#include "world/fx.h"
#include "world/game.h"
#include "world/object.h"
#include "world/tick.h"
#include "world/world_fixture.h"

namespace {

struct Pixel {
  int r, g, b;
};

class FxGl : public tw_test::GlWindowTest {
 protected:
  static void SetUpTestSuite() { StartSuite("effects test"); }
  void SetUp() override {
    GlWindowTest::SetUp();
    if (IsSkipped()) return;
    w = Plat_WindowWidth();
    h = Plat_WindowHeight();
    std::vector<uint8_t> white(4 * 4 * 4, 255);
    for (const char* name : {"uitextures/laser", "uitextures/lasertube", "uitextures/lightning", "fxwhite", "lens0",
                             "lens1", "lens2", "lens3", "lens4", "lens5", "lens6", "lens7", "lens8", "glare"})
      Material_CreateFromPixels(name, 4, 4, 32, white.data(), 1, 1, 0);
    Fx_Reset();
    Game_Time = 0;
    Game_Step = 0.1;
    view.fov = render_fov.value;
  }
  void TearDown() override {
    if (!up_) return;
    Obj_ClearAll();
    Areol_ForgetPictures();
    Fx_Reset();
    Material_ResetTable();
    GlWindowTest::TearDown();
  }

  // Draws an empty world pass (plus `extra`) from the origin at the given yaw and reads the
  // whole frame, bottom row first.
  void Frame(float yaw, const std::function<void()>& extra = {}) {
    Render_BeginFrame(0, 0, w, h);
    Render_Clear(1, 0, 0, 0);
    view = ViewParams{};
    view.zoom = 1;
    view.angles = {yaw, 0, 0};
    View_RenderWorld(&view);
    if (extra) extra();
    View_ResetRenderState();
    pixels = tw_test::ReadScreenAndEndFrame().bgra;
  }
  Pixel At(int x, int y) const {
    if (x < 0 || y < 0 || x >= w || y >= h) return {0, 0, 0};
    const uint8_t* p = &pixels[(size_t(y) * w + x) * 4];
    return {p[2], p[1], p[0]};
  }
  // Pixels per unit at unit depth (the view's horizontal field of view).
  float Focal() const { return float(w) / 2 / std::tan(view.fov * float(M_PI) / 360); }
  // Screen position (bottom-up) of a point in front of a camera at the origin looking along +y.
  void Project(vec3 p, int* x, int* y) const {
    *x = int(std::lround(w / 2.0 + p.x / p.y * Focal()));
    *y = int(std::lround(h / 2.0 + p.z / p.y * Focal()));
  }

  int w = 0, h = 0;
  ViewParams view{};
  std::vector<uint8_t> pixels;
};

TEST_F(FxGl, BeamsShowTheirColourAndFadeOnTime) {
  BeamRecord* b = new BeamRecord{};
  const vec3 start{-30, 100, 0}, end{30, 100, 0}, toCamera{0, -1, 0};
  Beam_Aim(b, &start, &end, &toCamera);  // the first plane faces the camera
  int cx, cy, up2, up4, tubePlane;
  Project({0, 100, 0}, &cx, &cy);
  Project({0, 100, 2.0f}, &cx, &up2);  // only the facing plane (half-width 2.75) covers this
  Project({0, 100, 4.0f}, &cx, &up4);  // beside the beam
  Project({0, 100, 0.75f}, &cx, &tubePlane);  // only the tube beam's facing plane (half-width 1)
  const struct {
    float age;
    Pixel plane;
  } cases[] = {{0.0f, {25, 127, 25}}, {0.6f, {7, 37, 7}}};  // brightness 1 - sin(pi/4) at 0.6 s
  for (const auto& c : cases) {
    Beam_StartLaser(b, 5.0f);
    Beam_Update(b, 5.0f + c.age);
    Frame(0, [&] { Beam_Render(b); });
    Pixel p = At(cx, up2), q = At(cx, up4);
    EXPECT_NEAR(p.r, c.plane.r, 3) << c.age;
    EXPECT_NEAR(p.g, c.plane.g, 3) << c.age;
    EXPECT_NEAR(p.b, c.plane.b, 3) << c.age;
    EXPECT_EQ(q.r + q.g + q.b, 0) << c.age;
  }
  // The tube beam: planes gone after 0.3 s, the tube after 0.7 s.
  int on[3];
  for (float age : {0.1f, 0.31f, 0.71f}) {
    Beam_StartTube(b, 5.0f);
    Beam_Update(b, 5.0f + age);
    Frame(0, [&] { Beam_Render(b); });
    on[age < 0.2f ? 0 : age < 0.5f ? 1 : 2] = At(cx, tubePlane).g * 1000 + At(cx, cy).b;
  }
  EXPECT_GT(on[0] / 1000, 20);  // the planes show beside the tube
  EXPECT_EQ(on[1] / 1000, 0);
  EXPECT_GT(on[1] % 1000, 10);  // the tube on the axis
  EXPECT_EQ(on[2], 0);
  delete b;
}

TEST_F(FxGl, BoltLightsTheWholeLineAndNothingBeyondItsReach) {
  auto* b = new LightningRecord{};
  const vec3 start{-40, 100, 0}, end{40, 100, 0}, up{0, 0, 1};
  Ltn_SetEnds(b, &start, &end, &up);
  Ltn_Start(b, 2.0f);
  b->timeOrigin = 2.0 - 50;  // long grown
  Ltn_Update(b, 2.5f);
  Frame(0, [&] { Ltn_Render(b); });
  // Waves reach at most (1.11 + 0.65 + 0.34) x 4 sideways and (0.92 + 0.43 + 0.27) x 4 up; the
  // ribbons reach 4 more; the nearest depth magnifies most.
  const float reach = std::hypot(8.4f, 6.48f) + 4.0f;
  const float perUnit = Focal() / (100 - 8.4f - 4.0f);
  int x0, x1, y;
  Project(start, &x0, &y);
  Project(end, &x1, &y);
  auto lit = [&](int x, int row) {
    Pixel p = At(x, row);
    return p.r + p.g + p.b > 30;
  };
  int columnsLit = 0;
  for (int x = x0 + 2; x <= x1 - 2; x++) {
    bool any = false;
    for (int row = 0; row < h && !any; row++) any = lit(x, row);
    columnsLit += any;
  }
  EXPECT_EQ(columnsLit, x1 - x0 - 3);
  int stray = 0;
  for (int row = 0; row < h; row++)
    for (int x = 0; x < w; x++)
      if (lit(x, row) && (std::abs(row - y) > reach * perUnit + 2 || x < x0 - reach * perUnit || x > x1 + reach * perUnit))
        stray++;
  EXPECT_EQ(stray, 0);
  delete b;
}

TEST_F(FxGl, ParticleIsDrawnWhereItFliesFadingWithItsFlag) {
  FxRecord* fx = Fx_Alloc();
  fx->active = 1;
  fx->startTime = 0;
  fx->duration = 2;
  fx->position = {0, 100, 0};
  fx->velocity = {20, 0, 0};
  fx->size = 3;
  fx->fade = 1;
  fx->color[0] = fx->color[3] = 255;
  fx->material = uint32_t(Material_FindByName("fxwhite"));
  for (int i = 0; i < 10; i++) {  // one second of ticks
    Game_Time += Game_Step;
    Fx_Update();
  }
  EXPECT_NEAR(fx->position.x, 20, 1e-3);
  Frame(0);
  int x, y, x0;
  Project({20, 100, 0}, &x, &y);
  Project({0, 100, 0}, &x0, &y);
  EXPECT_NEAR(At(x, y).r, 128, 6);  // half its life gone
  EXPECT_EQ(At(x0, y).r, 0);
}

// Two records on one texture, one added and one opaque, over a blue background: each keeps its
// own blend mode although they are drawn from one texture's list.
TEST_F(FxGl, RecordsSharingATextureKeepTheirOwnBlendModes) {
  const uint32_t white = uint32_t(Material_FindByName("fxwhite"));
  auto add = [&](float x, uint32_t blend) {
    FxRecord* fx = Fx_Alloc();
    fx->active = 1;
    fx->duration = 100;
    fx->position = {x, 100, 0};
    fx->size = 4;
    fx->life = 0.5f;
    fx->color[1] = fx->color[3] = 255;
    fx->material = white;
    fx->blendMode = blend;
  };
  for (int order = 0; order < 2; order++) {  // either record may head the texture's list
    Fx_Reset();
    add(order ? 20.0f : -20.0f, 1);
    add(order ? -20.0f : 20.0f, 0);
    Render_BeginFrame(0, 0, w, h);
    Render_Clear(1, 0, 0, 1);
    view = ViewParams{};
    view.zoom = 1;
    View_RenderWorld(&view);
    View_ResetRenderState();
    pixels = tw_test::ReadScreenAndEndFrame().bgra;
    int xAdded, xOpaque, y;
    Project({order ? 20.0f : -20.0f, 100, 0}, &xAdded, &y);
    Project({order ? -20.0f : 20.0f, 100, 0}, &xOpaque, &y);
    const Pixel added = At(xAdded, y), opaque = At(xOpaque, y);
    EXPECT_GT(added.g, 200) << order;
    EXPECT_GT(added.b, 200) << order << ": the added record shows the background through it";
    EXPECT_GT(opaque.g, 200) << order;
    EXPECT_LT(opaque.b, 30) << order << ": the opaque record hides the background";
  }
}

class SunGl : public FxGl {
 protected:
  void MakeSun() {
    Obj_Player = Obj_Alloc();  // the eye at the origin, the clock at 0: the sun ahead on the horizon
    sun = Obj_Alloc();
    sun->classNum = AREOL;
    Load_ObjectX(sun);
    sun->flags = OBJ_ACTIVE;
    sun->person.state = 1;
    sun->prop.visible = 1;
    sun->prop.lifetime = 1e6f;
  }
  void Think(int ticks) {
    for (int i = 0; i < ticks; i++) {
      Game_Time += Game_Step;
      sun->slots.Think(sun);
    }
  }
  // Layer coordinates (640 x 480, y down) on the screen, drawn through the world's projection.
  void Layer(float lx, float ly, int* x, int* y) const {
    *x = int(std::lround(w / 2.0 + (lx - 320) / 320 * Focal()));
    *y = int(std::lround(h / 2.0 + (240 - ly) / 320 * Focal()));
  }
  GameObject* sun = nullptr;
};

TEST_F(SunGl, FlaresLieAlongTheLineThroughTheCentreAndFadeBehindAWall) {
  MakeSun();
  std::strcpy(sun->prop.lens, "lens");
  Think(5);
  EXPECT_FLOAT_EQ(sun->visibility, 1.0f);
  const float yaw = -std::atan(0.25f);  // the sun a quarter of the way to the right edge
  Frame(yaw);
  for (int i : {0, 2, 6, 8}) {
    int x, y;
    Layer(320 + 320 * Areol_Flares[i].position * 0.25f, 240, &x, &y);
    EXPECT_GT(At(x, y).g, 200) << "flare " << i;
  }
  int x, y;
  Layer(320, 40, &x, &y);
  EXPECT_EQ(At(x, y).g, 0);  // far above the chain

  // A wall between the eye and the sun: gone in half a second.
  GameObject* wall = Obj_Alloc();
  wall->classNum = WORLD;
  Load_ObjectX(wall);
  wall->flags = OBJ_ACTIVE;
  wall->origin = {0, 50, 0};
  tw_test::WorldTest::Solid(wall, {-20, -1, -20, 20, 1, 20});  // the sun traces collision shapes
  GameObject* traced[1] = {wall};  // what the tick would list for traces
  const TickList saved = Tick_TraceList;
  Tick_TraceList = TickList{traced, 1, 1};
  Think(2);
  EXPECT_NEAR(sun->visibility, 0.6f, 1e-5);
  Think(3);
  Tick_TraceList = saved;
  EXPECT_NEAR(sun->visibility, 0.0f, 1e-6);
  Frame(yaw);
  Layer(320 + 320 * Areol_Flares[2].position * 0.25f, 240, &x, &y);
  EXPECT_EQ(At(x, y).g, 0);
}

TEST_F(SunGl, GlareIsStrongestAtTheCentreAndNothingShowsOutsideTheView) {
  MakeSun();
  std::strcpy(sun->prop.glare, "glare");  // no flares: the glare alone
  Think(5);
  Frame(0);
  EXPECT_NEAR(At(5, 5).g, 102, 2);  // 0.4 x 255 over the whole screen
  Frame(-std::atan(0.25f));
  EXPECT_NEAR(At(5, 5).g, 76, 2);  // 0.4 x (1 - 0.25)
  // Just outside the left edge of the view: nothing at all.
  const float edge = view.fov * float(M_PI) / 360;
  Frame(edge + 0.02f);
  EXPECT_EQ(At(w / 2, h / 2).g, 0);
}

}  // namespace
