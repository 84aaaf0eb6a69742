// Fuzz target: the BU model loader on arbitrary bytes, loaded from a private folder and freed.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz.h"
#include "scene/bu.h"
#include "tools/bu_writer.h"

static void EnterPrivateFolder() {
  static bool done = false;
  if (done) return;
  done = true;
  char dir[] = "/tmp/fuzz_bu_XXXXXX";
  if (mkdtemp(dir) && chdir(dir) == 0) return;
  std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EnterPrivateFolder();
  FILE* f = std::fopen("f.bu", "wb");
  if (!f) return 0;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  bu_FreeModel(bu_Load("f"));
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  const std::string textures[4] = {"a", "b", "", "c"};
  seeds.push_back(BuTool_Write(BuTool_Cube(1, "x\\", textures)));
  seeds.push_back(BuTool_Write(BuTool_Bar(2, "", textures)));
  seeds.push_back(BuTool_Write(BuToolModel{}));
}
