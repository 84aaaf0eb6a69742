// The sample street drawn from its camera: the frame the game-side benchmarks measure their work
// against. Opened once per run in the benchmarks' window.
#pragma once
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "bench/bench_window.h"
#include "render/texture.h"
#include "render/vertexarray.h"
#include "scene/model.h"
#include "scene/view.h"
#include "tools/sample_assets.h"

struct BenchStreet {
  ModelObject* street = nullptr;
  int width = 0, height = 0;
};
inline BenchStreet BenchStreet_Scene;

// Writes the sample's street into "<folder>/sample", works in that folder, opens the window and
// loads the street. Tried once: later calls give the first answer.
inline bool BenchStreet_Start(const std::string& folder, const char* title) {
  static int state = 0;  // 0 not tried, 1 ready, -1 failed
  if (state) return state == 1;
  state = -1;
  if (!std::getenv("DISPLAY")) return false;
  const std::string stage = folder + "/sample";
  if (!SampleAssets_Write(stage) || chdir(stage.c_str()) != 0) return false;
  if (!BenchWindow_Open(title)) return false;
  BenchStreet_Scene.width = Plat_WindowWidth();
  BenchStreet_Scene.height = Plat_WindowHeight();
  Tex_FreeAll();
  OPENGL_AllocVar();
  Model_Init(1);
  BenchStreet_Scene.street = Model_Get("maps\\street\\street");
  if (!BenchStreet_Scene.street) return false;
  state = 1;
  return true;
}

// The view of the street's camera towards its shadow point, 90 degrees wide.
inline ViewParams BenchStreet_View() {
  ViewParams v{};
  v.position = kSampleStreet.camera;
  vec3 dir;
  Vec_Subtract(&kSampleStreet.shadowPoint, &v.position, &dir);
  Vec_ToAngles(&dir, &v.angles);
  v.zoom = 1.5f;
  View_Setup(&v, 1);
  v.farDistance = 8000;
  return v;
}

// One whole frame: cleared, the street's four passes, presented.
inline void BenchStreet_DrawFrame(ViewParams& v, ModelDrawParams* params) {
  ModelObject* street = BenchStreet_Scene.street;
  Render_BeginFrame(0, 0, BenchStreet_Scene.width, BenchStreet_Scene.height);
  Render_Clear(1, 0.2f, 0.3f, 0.4f);
  Render_SetPerspective(v.fov, 2000, 4);
  Render_SetCamera(&v.angles.x, &v.position.x);
  for (int pass = 0; pass < 4; pass++) {
    v.pass = pass;
    street->Draw(street, params, &v);
  }
  Render_EndFrame(1, 1);
}
