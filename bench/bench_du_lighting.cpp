// DU level lighting. Goal: a frame's visibility with the light lists kept per light key is at
// least 20 times faster than rebuilding every light's interactions each frame, on a
// 100,000-triangle level with 8 lights. Printed as context: the portal flood against the frustum
// test on a 6 x 6 grid of rooms, and lit frames a second on the running driver with 1, 4 and 8
// lights.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "foundation/var.h"
#include "platform/window.h"
#include "render/render.h"
#include "render/vertexarray.h"
#include "scene/du_lighting.h"
#include "scene/model.h"
#include "scene/view.h"
#include "support/lit_scene.h"
#include "tools/du_writer.h"
#include "tools/image_writer.h"
#include "tools/lighting_textures.h"

namespace {

// A grid of quads, cells x cells, two triangles each, facing +Z, over [x0, x0 + size]^2.
DuToolSurface Grid(float x0, float y0, float size, int cells) {
  DuToolSurface s;
  const float step = size / float(cells);
  for (int j = 0; j <= cells; ++j)
    for (int i = 0; i <= cells; ++i) {
      DuToolVertex v;
      v.position[0] = x0 + step * float(i), v.position[1] = y0 + step * float(j);
      v.uv0[0] = float(i) / float(cells), v.uv0[1] = float(j) / float(cells);
      s.vertices.push_back(v);
    }
  auto at = [&](int i, int j) { return uint16_t(j * (cells + 1) + i); };
  for (int j = 0; j < cells; ++j)
    for (int i = 0; i < cells; ++i)
      for (uint16_t k : {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j), at(i + 1, j + 1), at(i, j + 1)})
        s.indices.push_back(k);
  return s;
}

ViewParams Camera(vec3 eye, vec3 angles) {
  ViewParams v{};
  v.position = eye;
  v.angles = angles;
  v.zoom = 1.0f;
  v.fov = 90.0f;
  View_Setup(&v, 0);
  return v;
}

DuLevel* LoadLevel(const char* name, const DuToolLevel& level) {
  if (!DuTool_Save(name, level, nullptr)) return nullptr;
  DuLevel* l = du_Load(name);
  for (int i = 0; l && i < l->header->shaderCount; ++i) l->header->shaders[i].slots[0].material = 1;
  return l;
}

// 20 surfaces of 50 x 50 cells: 100,000 triangles, 8 lights spread over them.
void BM_Lighting_DuCachedListsAgainstRebuilding_goal20x(benchmark::State& state) {
  DuToolLevel level;
  level.shaders.push_back({"floor", {"c", "", "", "", "", ""}});
  std::vector<DuToolSurface> surfaces;
  for (int k = 0; k < 20; ++k) surfaces.push_back(Grid(float(k % 5) * 200, float(k / 5) * 200, 200, 50));
  level.models.push_back(surfaces);
  DuLevel* l = LoadLevel("bench_floor", level);
  if (!l) {
    state.SkipWithError("no level");
    return;
  }
  ViewLight lights[8] = {};
  for (int i = 0; i < 8; ++i) {
    lights[i].slot = i;
    lights[i].key = i + 1;
    lights[i].position = {float(i % 4) * 250 + 100, float(i / 4) * 400 + 200, 40};
    lights[i].radius = 180;
  }
  ViewParams view = Camera({500, -300, 600}, {0, -0.9f, 0});
  view.lights = lights;
  view.lightCount = 8;
  using Clock = std::chrono::steady_clock;
  double cached = 0, rebuilt = 0;
  int64_t runs = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    du_MarkVisible(l, nullptr, &view);
    auto t1 = Clock::now();
    for (int i = 0; i < 8; ++i) du_FreeLightSlot(l, i);
    du_MarkVisible(l, nullptr, &view);
    auto t2 = Clock::now();
    cached += std::chrono::duration<double>(t1 - t0).count();
    rebuilt += std::chrono::duration<double>(t2 - t1).count();
    ++runs;
  }
  int interactions = 0;
  for (int i = 0; i < 8; ++i) interactions += l->lightSlots[i].interactionCount;
  state.counters["interactions"] = interactions;
  state.counters["cached_ms"] = runs ? cached / double(runs) * 1e3 : 0;
  state.counters["rebuilt_ms"] = runs ? rebuilt / double(runs) * 1e3 : 0;
  state.counters["ratio"] = cached > 0 ? rebuilt / cached : 0;
  du_FreeLevel(l);
}
BENCHMARK(BM_Lighting_DuCachedListsAgainstRebuilding_goal20x)->Unit(benchmark::kMillisecond);

// Splits cells [x0, x1) x [y0, y1) of an n-wide grid of 64-unit rooms into nodes; returns the
// child word for the range.
int32_t SplitRooms(DuToolLevel& level, int n, int x0, int x1, int y0, int y1) {
  if (x1 - x0 == 1 && y1 - y0 == 1) return -1 - (y0 * n + x0);
  DuToolNode node;
  int32_t index = int32_t(level.nodes.size());
  level.nodes.push_back(node);
  int32_t positive, negative;
  if (x1 - x0 >= y1 - y0) {
    int mid = (x0 + x1) / 2;
    level.nodes[size_t(index)].normal[0] = 1;
    level.nodes[size_t(index)].term = -64.0f * float(mid);
    positive = SplitRooms(level, n, mid, x1, y0, y1);
    negative = SplitRooms(level, n, x0, mid, y0, y1);
  } else {
    int mid = (y0 + y1) / 2;
    level.nodes[size_t(index)].normal[1] = 1;
    level.nodes[size_t(index)].term = -64.0f * float(mid);
    positive = SplitRooms(level, n, x0, x1, mid, y1);
    negative = SplitRooms(level, n, x0, x1, y0, mid);
  }
  level.nodes[size_t(index)].children[0] = positive;
  level.nodes[size_t(index)].children[1] = negative;
  return index;
}

DuToolLevel RoomGrid(int n) {
  DuToolLevel grid;
  grid.shaders.push_back({"s", {"c", "", "", "", "", ""}});
  for (int i = 0; i < n * n; ++i) {
    float x = float(i % n) * 64, y = float(i / n) * 64;
    float mins[3] = {x, y, 0}, maxs[3] = {x + 64, y + 64, 64};
    grid.models.push_back({DuTool_Room(mins, maxs, 0)});
    grid.areaModels.push_back(i);
    if (i % n + 1 < n) {
      DuToolPortal p;
      p.points = {x + 64, y + 8, 8, x + 64, y + 56, 8, x + 64, y + 56, 56, x + 64, y + 8, 56};
      p.areas[0] = i, p.areas[1] = i + 1;
      grid.portals.push_back(p);
    }
    if (i / n + 1 < n) {
      DuToolPortal p;
      p.points = {x + 8, y + 64, 8, x + 56, y + 64, 8, x + 56, y + 64, 56, x + 8, y + 64, 56};
      p.areas[0] = i, p.areas[1] = i + n;
      grid.portals.push_back(p);
    }
  }
  SplitRooms(grid, n, 0, n, 0, n);
  return grid;
}

// Context only: one frame's visibility from a corner room, by the flood and by the frustum.
void BM_Lighting_DuFloodAgainstFrustumOnRoomGrid(benchmark::State& state) {
  DuToolLevel grid = RoomGrid(6);
  DuLevel* flood = LoadLevel("bench_grid", grid);
  grid.nodes.clear();
  DuLevel* frustum = LoadLevel("bench_grid_bare", grid);
  if (!flood || !frustum) {
    state.SkipWithError("no level");
    return;
  }
  // Looking along the grid's diagonal.
  float yaw = 0, best = -2;
  for (int k = 0; k < 16; ++k) {
    vec3 angles{float(k) * kMathPi / 8, 0, 0}, f;
    Mat_AxesFromAngles(&angles, &f, nullptr, nullptr);
    if (f.x + f.y > best) best = f.x + f.y, yaw = angles.x;
  }
  ViewParams view = Camera({10, 10, 32}, {yaw, 0, 0});
  using Clock = std::chrono::steady_clock;
  double a = 0, b = 0;
  int64_t runs = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    flood->cameraArea = du_FindArea(flood, &view.position);
    du_MarkVisible(flood, nullptr, &view);
    auto t1 = Clock::now();
    frustum->cameraArea = du_FindArea(frustum, &view.position);
    du_MarkVisible(frustum, nullptr, &view);
    auto t2 = Clock::now();
    a += std::chrono::duration<double>(t1 - t0).count();
    b += std::chrono::duration<double>(t2 - t1).count();
    ++runs;
  }
  int seen = 0;
  for (int i = 0; i < flood->header->modelCount; ++i) seen += flood->header->models[i].surfaces[0].visibleStamp == flood->frameStamp;
  state.counters["rooms_seen_by_flood"] = seen;
  state.counters["flood_us"] = runs ? a / double(runs) * 1e6 : 0;
  state.counters["frustum_us"] = runs ? b / double(runs) * 1e6 : 0;
  du_FreeLevel(flood);
  du_FreeLevel(frustum);
}
BENCHMARK(BM_Lighting_DuFloodAgainstFrustumOnRoomGrid)->Unit(benchmark::kMicrosecond);

// Context only: lit frames of a 20,000-triangle floor on the running driver.
void BM_Lighting_DuLitFramesOnTheDriver(benchmark::State& state) {
  static int up = 0;
  if (up == 0) {
    up = -1;
    if (std::getenv("DISPLAY") && Plat_WindowCreate("Tarnwick level lighting bench") == 1) {
      Render_Init(0);
      Render_SetScreenSize(Plat_WindowWidth(), Plat_WindowHeight());
      Render_Init(1);
      if (RenderApi == RENDER_API_OPENGL) up = 1;
    }
  }
  if (up != 1) {
    state.SkipWithError("no OpenGL window");
    return;
  }
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::copy(fs::path(TW_SOURCE_DIR) / "sample" / "data" / "scripts", "scripts",
           fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
  fs::create_directories("textures/b", ec);
  LightingTool_WriteTextures(".");
  ImageTool_Save("textures/b/white.tga", ImageTool_WriteTGA(ImageTool_Solid(8, 8, 255, 255, 255, 255), 24));
  OPENGL_AllocVar();
  tw_test::BumpSettings settings;
  Var_SetValue(&render_bump_shadows, 2);
  DuToolLevel level;
  level.textureFolder = "textures\\b\\";
  level.shaders.push_back({"floor", {"white", "", "", "", "", ""}});
  std::vector<DuToolSurface> surfaces;
  for (int k = 0; k < 4; ++k) surfaces.push_back(Grid(float(k % 2) * 200 - 200, float(k / 2) * 200 - 200, 200, 50));
  level.models.push_back(surfaces);
  DuTool_Save("bench_lit", level, nullptr);
  ModelObject* floor = du_CreateModel("bench_lit");
  if (!floor) {
    state.SkipWithError("no level");
    return;
  }
  ModelDrawParams* params = tw_test::LitScene_NewParams(0, 0, 0);
  tw_test::LitScene scene;
  scene.eye = {0, -400, 300};
  scene.angles = {0, -0.6f, 0};
  for (int i = 0; i < state.range(0); ++i) {
    ViewLight light{};
    light.slot = i;
    light.key = i + 1;
    light.position = {float(i % 4) * 100 - 150, float(i / 4) * 200 - 100, 40};
    light.colour[0] = light.colour[1] = light.colour[2] = 0.5f;
    light.radius = 150;
    scene.lights.push_back(light);
  }
  scene.level = {floor, params};
  int64_t frames = 0;
  auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state) {
    tw_test::LitScene_Draw(&scene, 320, 240);
    ++frames;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  state.counters["frames_per_second"] = seconds > 0 ? double(frames) / seconds : 0;
  floor->Free(&floor);
  tw_test::LitScene_FreeParams(params);
}
BENCHMARK(BM_Lighting_DuLitFramesOnTheDriver)->Arg(1)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
