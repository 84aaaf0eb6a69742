// Fuzz target: the surface list "scripts\surfaces\list" on arbitrary bytes.
#include <sys/stat.h>

#include <vector>

#include "fuzz.h"
#include "scene/model.h"
#include "scene_fuzz.h"
#include "tools/scene_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SceneFuzz_EnterPrivateFolder();
  mkdir("scripts", 0777);
  mkdir("scripts/surfaces", 0777);
  SceneFuzz_Write("scripts/surfaces/list", data, size);
  Model_LoadSurfaceList();
  if (Model_SurfaceCount < 0 || Model_SurfaceCount > kSurfaceMaxCount) __builtin_trap();
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  seeds.push_back(SceneFuzz_Bytes(SceneTool_SurfaceList(
      {{"concrete", "steps\\concrete", "shots\\concrete", "ric\\concrete", 0.5f, 0, 0},
       {"glass", "steps\\glass", "shots\\glass", "", 0, 0, 1}})));
  seeds.push_back(SceneFuzz_Bytes("[glass] [1] [id] [x] [soft] [0.25] [unknown] [id] [y]"));
}
