// Fuzz target: the BU model loader on arbitrary bytes, loaded from a private folder; each model
// that loads is posed, lit by two lights (gathering, facing masks) and gets its volume lists.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz.h"
#include "scene/bu.h"
#include "scene/bu_lighting.h"
#include "scene/model.h"
#include "scene/view.h"
#include "tools/bu_writer.h"

static void Exercise(BuModel* m) {
  static ModelDrawParams params;
  params.scale = {1, 1, 1};
  BuHeader* h = m->header;
  for (int i = 0; i < h->boneCount; ++i) {
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (int k = 0; k < 9; ++k) h->bones[i].rotation[k] = identity[k];
  }
  BuInstanceState* s = bu_InstanceState(m, &params);
  if (!s) return;
  bu_PoseVolume(m, s->box);
  ViewLight lights[2] = {};
  for (int i = 0; i < 2; ++i) {
    lights[i].key = i + 1;
    lights[i].position = {s->box[0] - 1.0f - float(i), s->box[1], s->box[5] + 2.0f};
    lights[i].radius = i ? 0.0f : 1e6f;
  }
  ViewParams view{};
  view.lights = lights;
  view.lightCount = 2;
  bu_GatherLights(m, &params, &view, s);
  bu_ComputeFacing(m, s);
  std::vector<uint16_t> list(size_t(bu_VolumeListCapacity(m)) + 1);
  for (int o = 0; o < h->objectCount; ++o)
    for (int zFail = 0; zFail < 2; ++zFail) bu_BuildVolumeList(m, o, s->facing, 1, zFail, zFail, list.data());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Fuzz_EnterPrivateFolder("fuzz_bu_");
  FILE* f = std::fopen("f.bu", "wb");
  if (!f) return 0;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  BuModel* m = bu_Load("f");
  if (m) Exercise(m);
  bu_FreeModel(m);
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  const std::string textures[4] = {"a", "b", "", "c"};
  seeds.push_back(BuTool_Write(BuTool_Cube(1, "x\\", textures)));
  seeds.push_back(BuTool_Write(BuTool_Bar(2, "", textures)));
  seeds.push_back(BuTool_Write(BuToolModel{}));
}
