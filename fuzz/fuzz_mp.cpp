// Fuzz target: the ".mp" model loader on arbitrary bytes, then the skinning and morphing of
// whatever it accepted.
#include <vector>

#include "fuzz.h"
#include "render/render.h"
#include "scene/mp.h"
#include "tools/model_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RenderApi = RENDER_API_NONE;
  MpModel* m = mp_LoadBytes(data, size, "fuzz.mp");
  if (!m) return 0;
  for (int i = 0; i < m->frameCount; i++) {
    Mat_Identity(&m->frames[i].rot);
    m->frames[i].pos = vec3{1, 2, 3};
  }
  float weights[16] = {1, 0.5f, 0.25f, 2};
  for (int i = 0; i < m->objectCount; i++) {
    const MpObject& o = m->objects[i];
    std::vector<uint8_t> out(size_t(o.vertexCount) * kMpDrawVertexSize + 1);
    if (o.kind == 0) Model_SkinVertices(o.vertices, o.vertexCount, m->frames, out.data());
    else Model_MorphVertices(o.morphVertices, o.vertexCount, weights, m->frames, 1, out.data());
  }
  mp_FreeModel(m);
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  seeds.push_back(MpTool_Write(MpTool_SampleModel()));
  MpToolModel rigid;
  rigid.frames.push_back(MpToolFrame{"root", {}, {0, 0, 0}});
  rigid.objects.resize(1);
  std::vector<MpToolVertex> v;
  std::vector<uint16_t> t;
  MpTool_Box({0, 0, 0}, {1, 1, 1}, v, t);
  MpTool_AddPie(rigid.objects[0], 1, 0, v, t);
  seeds.push_back(MpTool_Write(rigid));
}
