// Fuzz target: a ".hmp_cache" on arbitrary bytes for a fixed level; whatever loads (or is rebuilt)
// is traced with rays and swept boxes and searched with boxes.
#include <cstring>
#include <vector>

#include "foundation/file.h"
#include "foundation/mem.h"
#include "fuzz.h"
#include "scene/tritree.h"
#include "scene_fuzz.h"
#include "tools/scene_writer.h"
#include "world/trace.h"

static std::vector<TriTreeTriangle>& Soup() {
  static std::vector<TriTreeTriangle> soup = SceneTool_RandomSoup(120, 300.0f, 40.0f, 5);
  return soup;
}

static void Trace(TriTree* tree, vec3 s, vec3 e, float box) {
  TraceRequest r{};
  r.start = r.localStart = s;
  r.end = r.localEnd = e;
  Vec_Subtract(&e, &s, &r.localDelta);
  Vec_Cross(&s, &e, &r.localMoment);
  r.localMins = {-box, -box, -box};
  r.localMaxs = {box, box, box};
  r.fraction = 1;
  TriTree_Trace(tree, &r);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SceneFuzz_EnterPrivateFolder();
  SceneFuzz_Write("f.hmp_cache", data, size);
  std::vector<TriTreeTriangle> tris = Soup();
  TriTree tree{};
  tree.triangleCount = int32_t(tris.size());
  tree.triangles = tris.data();
  TriTree_BuildOrLoad(&tree, "f", 50.0f, 4);
  Trace(&tree, {-10, -10, -10}, {310, 320, 330}, 0);
  Trace(&tree, {300, 0, 150}, {0, 300, 150}, 8);
  std::vector<int32_t> out(tris.size());
  int count = 0;
  const float lo[3] = {50, 50, 50}, hi[3] = {200, 200, 200};
  TriTree_CollectBox(&tree, lo, hi, 0, out.data(), &count, int(out.size()));
  TriTree_FreeNodes(&tree);
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  SceneFuzz_EnterPrivateFolder();
  std::vector<TriTreeTriangle> tris = Soup();
  TriTree tree{};
  tree.triangleCount = int32_t(tris.size());
  tree.triangles = tris.data();
  std::remove("seed.hmp_cache");
  TriTree_BuildOrLoad(&tree, "seed", 50.0f, 4);
  TriTree_FreeNodes(&tree);
  uint32_t size = 0;
  void* bytes = File_LoadWhole("seed.hmp_cache", &size, "fuzz");
  if (!bytes) return;
  const uint8_t* b = static_cast<const uint8_t*>(bytes);
  seeds.emplace_back(b, b + size);
  // The same with two nodes' children crossed.
  std::vector<uint8_t> crossed(b, b + size);
  if (size > 44 + 32 * 9) std::memcpy(&crossed[44 + 32 * 8 + 24], &crossed[44 + 32 * 7 + 24], 8);
  seeds.push_back(crossed);
  Global_Free(bytes);
}
