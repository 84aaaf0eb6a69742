// Fuzz target: the DU level loader on arbitrary bytes. The first byte is the length of the
// ".hmp" text that follows it (255: no ".hmp" file); the rest is the level file. Loads it from a
// private folder, runs a few traces against a still and a turned instance, marks what three views
// see and builds three lights' lists, and frees it.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz.h"
#include "scene/du.h"
#include "scene/du_lighting.h"
#include "scene/view.h"
#include "scene/model.h"
#include "tools/du_writer.h"
#include "tools/scene_writer.h"
#include "world/trace.h"

static void WriteFile(const char* name, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(name, "wb");
  if (!f) return;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Fuzz_EnterPrivateFolder("fuzz_du_");
  size_t hmp = size ? data[0] : 255;
  std::remove("f.hmp");
  std::remove("f.hmp_cache");
  size_t at = size ? 1 : 0;
  if (hmp != 255) {
    if (hmp > size - at) hmp = size - at;
    WriteFile("f.hmp", data + at, hmp);
    at += hmp;
  }
  WriteFile("f.du", data + at, size - at);
  DuLevel* level = du_Load("f");
  if (!level) return 0;
  static ModelDrawParams params;
  for (int turned = 0; turned < 2; ++turned) {
    params.position = {1.5f, -2.0f, 0.25f};
    params.angles = {turned * 0.7f, turned * -0.2f, 0.0f};
    const vec3 rays[3][2] = {{{0, 0, 500}, {0, 0, -500}}, {{-300, 10, 40}, {300, -10, 40}}, {{5, 5, 5}, {5, 5, 5}}};
    for (const auto& ray : rays) {
      TraceRequest t{};
      t.start = ray[0];
      t.end = ray[1];
      t.fraction = 1.0f;
      t.factor = 1.0f;
      if (turned) t.mins = {-4, -4, -8}, t.maxs = {4, 4, 8};
      du_TraceLocal(level, &params, &t);
    }
  }
  // Visibility and the light lists, with every texture slot standing for a material.
  for (int i = 0; i < level->header->shaderCount; ++i)
    for (DuTextureSlot& slot : level->header->shaders[i].slots) slot.material = 1;
  ViewLight lights[3] = {};
  const float spots[3][4] = {{0, 0, 16, 200}, {-128, 0, 48, 90}, {100, 20, 40, 1e6f}};
  for (int i = 0; i < 3; ++i) {
    lights[i].slot = i * 200;
    lights[i].key = i + 1;
    lights[i].position = {spots[i][0], spots[i][1], spots[i][2]};
    lights[i].radius = spots[i][3];
    lights[i].wholeSurface = i == 2;
  }
  const vec3 eyes[3] = {{-128, 0, 48}, {128, 10, 60}, {0, 0, 5000}};
  for (int frame = 0; frame < 3; ++frame) {
    ViewParams view{};
    view.position = eyes[frame];
    view.angles = {frame * 1.3f, -0.2f * frame, 0};
    view.zoom = 1.0f;
    view.fov = 90.0f;
    View_Setup(&view, 0);
    view.lights = lights;
    view.lightCount = 3;
    level->cameraArea = du_FindArea(level, &view.position);
    du_MarkVisible(level, nullptr, &view);
    lights[1].key += 10;  // another light takes the slot
  }
  du_LoadShaderTextures(level);
  du_FreeLevel(level);
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  auto add = [&](const DuToolLevel& level, const std::string* hmp) {
    std::vector<uint8_t> s{uint8_t(hmp ? hmp->size() : 255)};
    if (hmp) s.insert(s.end(), hmp->begin(), hmp->end());
    std::vector<uint8_t> du = DuTool_Write(level);
    s.insert(s.end(), du.begin(), du.end());
    seeds.push_back(s);
  };
  const std::string textures[6] = {"a", "b", "", "c", "", ""};
  const std::string hmp = DuTool_HmpText(32, 2), fine = "0.001 1", empty;
  DuToolLevel quad;
  quad.models.push_back({DuTool_Quad(-64, -64, 64, 64, 0, 0)});
  quad.areaModels = {0};
  add(quad, &hmp);
  add(DuTool_TwoRooms("lit\\", textures), &hmp);
  add(DuTool_TwoRooms("", textures), nullptr);
  add(DuToolLevel{}, &empty);
  // 2,000 overlapping triangles in 13 KB with the finest tree asked for.
  const std::vector<uint8_t> overlapping = SceneTool_OverlappingDu(2000);
  std::vector<uint8_t> s{uint8_t(fine.size())};
  s.insert(s.end(), fine.begin(), fine.end());
  s.insert(s.end(), overlapping.begin(), overlapping.end());
  seeds.push_back(s);
}
