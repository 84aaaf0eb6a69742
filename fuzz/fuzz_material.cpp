// Fuzz target: the material file readers (".mat", ".ma2", ".ma3") on arbitrary bytes. The first
// byte picks the kind; the rest is the file, written to a private folder and loaded by name.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz.h"
#include "render/material.h"
#include "render/render.h"
#include "render/texture.h"
#include "tools/material_writer.h"

static int FrameLoader(const char* name, int) {
  if (name[0] == 'x') return 0;  // a frame without a picture
  if (int t = Tex_FindByName(name)) return t;
  return Tex_Create(name, 0x0DE1);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Fuzz_EnterPrivateFolder("fuzz_material_");
  RenderApi = RENDER_API_NONE;
  Material_SetFrameLoader(FrameLoader);
  static const char* const kFiles[3] = {"m.mat", "m.ma2", "m.ma3"};
  const char* file = kFiles[size ? data[0] % 3 : 0];
  FILE* f = std::fopen(file, "wb");
  if (!f) return 0;
  if (size > 1) std::fwrite(data + 1, 1, size - 1, f);
  std::fclose(f);
  Tex_FreeAll();
  int m = Material_Load("m");
  for (double t : {0.0, 0.37, 1.5, -2.25, 1e9}) {
    Material_GetFrame(m, t);
    float r, u, v, s;
    Material_GetFrameLerp(m, t, &r, &u, &v, &s);
  }
  std::remove(file);
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  auto add = [&](uint8_t kind, const std::string& text) {
    std::vector<uint8_t> s{kind};
    s.insert(s.end(), text.begin(), text.end());
    seeds.push_back(s);
  };
  add(0, "a b c #speed 15\nd xmissing #time 2\n");
  add(1, MaterialTool_MaText(4, {{"x", 1}, {"y", 3}, {"z z", 0.5f}}, false));
  add(2, MaterialTool_MaText(2, {{"f one", 1, 350, 0.9f, 0, 1}, {"f two", 1, 10, 0.1f, 0, 2}}, true));
  add(0, MaterialTool_MatText({"a", "b", "c"}, 15));
}
