#include "scene/model_draw.h"

#include <cstddef>
#include <vector>

#include "foundation/log.h"
#include "render/render.h"
#include "render/vertexarray.h"
#include "scene/model.h"

void* Model_CarveStatic(int bytes, uint32_t* loggedGeneration, int32_t* logged, const char* who, const char* then) {
  uint32_t generation = OPENGL_GetVarGeneration();
  if (*logged && *loggedGeneration == generation) return nullptr;
  const VertexArrayMemory& v = OPENGL_Var;
  void* p = nullptr;
  if (v.block && bytes > 0 && int64_t(v.staticOffset) + bytes < int64_t(v.size)) p = OPENGL_GetStaticVar(bytes);
  if (!p) {
    *logged = 1;
    *loggedGeneration = generation;
    Log_Printf("%s: no vertex-array memory for %i bytes; %s.\n", who, bytes, then);
  }
  return p;
}

void* Model_CarveDynamic(int bytes) {
  static std::vector<uint8_t> scratch;
  const VertexArrayMemory& v = OPENGL_Var;
  if (v.block && bytes > 0 && int64_t(v.dynamicOffset) + bytes < int64_t(v.size) - v.staticOffset)
    if (void* p = OPENGL_GetDynamicVar(bytes)) return p;
  if (scratch.size() < std::size_t(bytes > 0 ? bytes : 1)) scratch.resize(std::size_t(bytes > 0 ? bytes : 1));
  return scratch.data();
}

void Model_PushInstanceMatrix(const ModelDrawParams* p) {
  constexpr float kDeg = 57.295779513f;
  Render_PushMatrix();
  const vec3& pos = p->position;
  if (pos.x != 0 || pos.y != 0 || pos.z != 0) Render_Translate(pos.x, pos.y, pos.z);
  if (p->angles.x != 0) Render_Rotate(-p->angles.x * kDeg, 0, 0, 1);
  if (p->angles.y != 0) Render_Rotate(p->angles.y * kDeg, 1, 0, 0);
  if (p->angles.z != 0) Render_Rotate(-p->angles.z * kDeg, 0, 1, 0);
  const vec3& off = p->offset;
  if (off.x != 0 || off.y != 0 || off.z != 0) Render_Translate(off.x, off.y, off.z);
  const vec3& sc = p->scale;
  if (sc.x != 1 || sc.y != 1 || sc.z != 1) Render_Scale(sc.x, sc.y, sc.z);
}
