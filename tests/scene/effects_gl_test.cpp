// Effect sprites of the world pass read back from the screen, through OpenGL and Direct3D 8.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "foundation/log.h"
#include "foundation/var.h"
#include "platform/window.h"
#include "render/material.h"
#include "render/render.h"
#include "render/texture.h"
#include "scene/model.h"
#include "scene/view.h"
#include "support/test_support.h"
#include "world/fx.h"

namespace {

bool g_window;

struct Pixel {
  int r, g, b;
};

// Draws the effects of a world pass with nothing else in it and reads back the given pixels.
std::vector<Pixel> DrawEffects(const char* api, const std::vector<std::pair<int, int>>& at) {
  Var_SetText(&render_api, api);
  Render_Start();
  if (RenderApi == RENDER_API_NONE) return {};
  Render_SetScreenSize(Plat_WindowWidth(), Plat_WindowHeight());
  Tex_FreeAll();
  std::vector<uint8_t> white(4 * 4 * 4, 255);
  int mat = Material_CreateFromPixels("fxwhite", 4, 4, 32, white.data(), 1, 1, 0);
  Fx_Reset();
  struct Spec {
    vec3 pos;
    float life;
    uint32_t fade;
  } specs[] = {{{0, 200, 0}, 0.5f, 0}, {{-60, 200, 0}, 0.5f, 1}, {{60, 200, 0}, 0.05f, 0},
               {{0, -200, 0}, 0.5f, 0}, {{0, 20, 0}, 0.5f, 0}};
  for (const Spec& s : specs) {
    FxRecord* fx = Fx_Alloc();
    fx->active = 1;
    fx->position = s.pos;
    fx->size = 20;
    fx->life = s.life;
    fx->fade = s.fade;
    fx->color[0] = 255, fx->color[3] = 255;
    fx->material = uint32_t(mat);
  }
  Render_BeginFrame(0, 0, Render_ScreenWidth, Render_ScreenHeight);
  Render_Clear(1, 0, 0, 0.5f);
  ViewParams view{};
  view.zoom = 1;
  View_RenderWorld(&view);
  View_ResetRenderState();
  std::vector<Pixel> out;
  for (auto [x, y] : at) {
    uint8_t bgra[4];
    Render_ReadPixels(x, y, 1, 1, bgra);
    out.push_back({bgra[2], bgra[1], bgra[0]});
  }
  Render_EndFrame(1, 1);
  Fx_Reset();
  Tex_FreeAll();
  Render_Stop();
  Material_ResetTable();
  return out;
}

class EffectsGlTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("TW_UNATTENDED", "1", 1);
    g_window = tw_test::HaveDisplay() && Plat_WindowCreate("effects test");
  }
  static void TearDownTestSuite() {
    if (g_window) Plat_WindowDestroy();
  }
  void SetUp() override {
    if (!g_window) GTEST_SKIP() << "no display";
    Log_Open();
  }
  void TearDown() override { Log_Close(); }
};

TEST_F(EffectsGlTest, SpritesFaceTheCameraAliveOnBothBackEnds) {
  int w = Plat_WindowWidth(), h = Plat_WindowHeight();
  float perUnit = float(w) / 2 / (200 * 0.57735f);  // pixels per unit at 200 units, 60 degrees
  int cx = w / 2, cy = h / 2;
  int side = int(60 * perUnit);
  std::vector<std::pair<int, int>> at = {
      {cx, cy},                               // full red
      {cx - side, cy},                        // faded to half
      {cx + side, cy},                        // young: half size, its centre covered
      {cx + side + int(15 * perUnit), cy},    // beyond the young sprite's half size
      {cx, cy + int(30 * perUnit)},           // above the big sprite
  };
  for (const char* api : {"OPENGL", "D3D8"}) {
    std::vector<Pixel> p = DrawEffects(api, at);
    ASSERT_EQ(p.size(), at.size()) << api;
    EXPECT_GT(p[0].r, 240) << api;
    EXPECT_LT(p[0].b, 10) << api;
    EXPECT_NEAR(p[1].r, 128, 8) << api;
    EXPECT_GT(p[2].r, 240) << api;
    for (int i : {3, 4}) {
      EXPECT_LT(p[size_t(i)].r, 10) << api << " " << i;
      EXPECT_NEAR(p[size_t(i)].b, 128, 8) << api << " " << i;
    }
  }
}

}  // namespace
