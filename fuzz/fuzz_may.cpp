// Fuzz target: the ".may" level loader on arbitrary bytes, with a ".hmp" beside it so the
// triangle tree is built over the fuzzed geometry, then queries and traces through it.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz.h"
#include "render/render.h"
#include "scene/may.h"
#include "scene/model.h"
#include "tools/model_writer.h"
#include "tools/scene_writer.h"
#include "world/trace.h"

static void EnterPrivateFolder() {
  static bool done = false;
  if (done) return;
  done = true;
  Fuzz_EnterPrivateFolder("fuzz_may_");
  FILE* f = std::fopen("level.hmp", "wb");
  if (!f) std::abort();
  std::string hmp = MayTool_HmpText(16, 4);
  std::fwrite(hmp.data(), 1, hmp.size(), f);
  std::fclose(f);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EnterPrivateFolder();
  RenderApi = RENDER_API_NONE;
  std::remove("level.hmp_cache");
  MaylLevel* l = mayb_LoadBytes(data, size, "level", 1);
  if (!l) return 0;
  ModelObject model{mayb_Query, mayb_Draw, mayb_Trace, mayb_Free, l};
  ModelDrawParams* params = new ModelDrawParams{};
  struct {
    int32_t kind;
    char name[8];
  } rq{1, "door"};
  int32_t answer[7] = {};
  mayb_Query(&model, params, &rq, answer);
  for (int i = 0; i < 4; i++) {
    TraceRequest t{};
    t.start = {-150.0f + 40 * i, -120, 60};
    t.end = {150, 130.0f - 30 * i, -10};
    if (i & 1) {
      t.mins = {-4, -4, -4};
      t.maxs = {4, 4, 4};
    }
    if (i & 2) params->angles = {0.3f, 0, 0};
    t.fraction = 1.0f;
    mayb_Trace(&model, params, &t);
  }
  delete params;
  mayb_FreeLevel(l);
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  seeds.push_back(MayTool_Write(MayTool_SampleLevel()));
  MayToolLevel spot = MayTool_SampleLevel();
  spot.spotShader = "spot_ADD";
  spot.spotTexture = "spot";
  spot.spotKeyCount = 2;
  seeds.push_back(MayTool_Write(spot));
  seeds.push_back(SceneTool_StackedMay(2100));  // every triangle in every part of the level
}
