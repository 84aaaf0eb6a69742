// ".may" levels: the handle, named-object queries, the triangle tree and traces.
#include <cmath>
#include <cstring>
#include <strings.h>

#include "foundation/log.h"
#include "foundation/mem.h"
#include "scene/may.h"
#include "scene/may_internal.h"
#include "scene/model.h"
#include "scene/tritree.h"
#include "world/trace.h"

int Maya_SurfaceType(const char* name) {
  for (int i = 1; i <= Model_SurfaceCount && i < kSurfaceTableSize; i++)
    if (strcasecmp(Model_Surfaces[i].id, name) == 0) return i - 1;
  return 0;
}

namespace {

// The corners of one set triangle, moved by its object's first key when the set is moving.
void SetTriangle(const MaylLevel* l, const MaylSet& s, int t, float out[3][3]) {
  const MaylSurface& surf = l->surfaces[s.surface];
  for (int c = 0; c < 3; c++) {
    const float* p = surf.vertices[surf.indices[s.firstIndex + 3 * t + c]].pos;
    if (s.moving) Model_KeyTransform(&l->keys[l->objects[s.object].firstKey], p, out[c]);
    else std::memcpy(out[c], p, sizeof out[c]);
  }
}

}  // namespace

void Maya_BuildTree(MaylLevel* l, const char* name) {
  float maxBox = 0;
  int maxTris = 0;
  if (!TriTree_ReadHmp(name, &maxBox, &maxTris)) return;
  auto* tree = static_cast<TriTree*>(Global_MallocZero(sizeof(TriTree), "MAYLHMP"));
  if (!tree) {
    Log_Printf("mayb_Load: Global_Malloc in heightmap %s.hmp.\n", name);
    return;
  }
  if (l->triangleCount > 0) {
    tree->triangles = static_cast<TriTreeTriangle*>(
        Global_MallocZero(sizeof(TriTreeTriangle) * size_t(l->triangleCount), "MAYLBRU"));
    if (!tree->triangles) {
      Log_Printf("mayb_Load: Global_Malloc in brush %s.hmp.\n", name);
      Global_Free(tree);
      return;
    }
  }
  Log_Printf("mayb_Load: initheightmap %s.hmp.\n", name);
  for (int i = 0; i < l->setCount; i++) {
    const MaylSet& s = l->sets[i];
    for (int t = 0; t < s.indexCount / 3; t++) {
      TriTreeTriangle* tri = &tree->triangles[tree->triangleCount++];
      SetTriangle(l, s, t, tri->v);
      tri->objectIndex = s.object;
      tri->surface = uint32_t(l->shaders[s.shader].surfaceType);
    }
  }
  l->tree = tree;
  TriTree_BuildOrLoad(tree, name, maxBox, maxTris);
}

void Maya_FreeTree(MaylLevel* l) {
  if (!l->tree) return;
  TriTree_FreeNodes(l->tree);
  Global_Free(l->tree->triangles);
  Global_Free(l->tree);
  l->tree = nullptr;
}

ModelObject* mayb_CreateModel(const char* name) {
  auto* model = static_cast<ModelObject*>(Global_MallocZero(sizeof(ModelObject), "MAYL"));
  if (!model) return nullptr;
  MaylLevel* l = mayb_Load(name);
  if (!l) {
    Global_Free(model);
    return nullptr;
  }
  model->Query = mayb_Query;
  model->Draw = mayb_Draw;
  model->Trace = mayb_Trace;
  model->Free = mayb_Free;
  model->data = l;
  return model;
}

void mayb_Free(ModelObject** model) {
  if (!model || !*model) return;
  mayb_FreeLevel(static_cast<MaylLevel*>((*model)->data));
  Global_Free(*model);
  *model = nullptr;
}

void mayb_Query(ModelObject* model, ModelDrawParams* params, const void* request, void* answer) {
  if (!model || !model->data || !params || !request || !answer) return;
  int32_t kind;
  std::memcpy(&kind, request, 4);
  const char* name = static_cast<const char*>(request) + 4;
  if (kind != 1 || !name[0]) return;
  const MaylLevel* l = static_cast<const MaylLevel*>(model->data);
  for (int i = 0; i < l->objectCount; i++) {
    if (std::strcmp(l->objects[i].name, name) != 0) continue;
    const float* p = &params->position.x;
    float out[6];
    for (int k = 0; k < 6; k++) out[k] = l->objects[i].bounds[k] + p[k % 3];
    int32_t found = 1;
    std::memcpy(answer, &found, 4);
    std::memcpy(static_cast<uint8_t*>(answer) + 4, out, sizeof out);
    return;
  }
}

namespace {

bool Overlaps(const float* a, const float* b) {
  for (int k = 0; k < 3; k++)
    if (a[k] > b[3 + k] || a[3 + k] < b[k]) return false;
  return true;
}

void SetWalk(const MaylLevel* l, TraceRequest* rq) {
  const float* s = &rq->localStart.x;
  const float* e = &rq->localEnd.x;
  const float* mins = &rq->localMins.x;
  const float* maxs = &rq->localMaxs.x;
  float swept[6];
  for (int k = 0; k < 3; k++) {
    swept[k] = std::min(s[k], e[k]) + mins[k] - 1.0f;
    swept[3 + k] = std::max(s[k], e[k]) + maxs[k] + 1.0f;
  }
  if (!Overlaps(swept, l->bounds)) return;
  bool ray = mins[0] == 0 && mins[1] == 0 && mins[2] == 0 && maxs[0] == 0 && maxs[1] == 0 && maxs[2] == 0;
  TriTreeTriangle scratch{};
  for (int i = 0; i < l->setCount; i++) {
    const MaylSet& set = l->sets[i];
    const MaylObject& o = l->objects[set.object];
    const float* box = (!set.moving || o.keyCount == 1) ? o.bounds : l->keys[o.firstKey].bounds;
    if (!Overlaps(swept, box)) continue;
    uint32_t surface = uint32_t(l->shaders[set.shader].surfaceType);
    for (int t = 0; t < set.indexCount / 3; t++) {
      float v[3][3];
      SetTriangle(l, set, t, v);
      if (ray) TriTree_RayTriangle(l->tree, set.object, v[0], v[1], v[2], rq, &scratch, surface);
      else TriTree_BoxTriangle(l->tree, set.object, v[0], v[1], v[2], rq, &scratch, surface);
    }
  }
}

}  // namespace

void mayb_Trace(ModelObject* model, ModelDrawParams* params, TraceRequest* rq) {
  if (!model || !model->data || !params || !rq) return;
  const MaylLevel* l = static_cast<const MaylLevel*>(model->data);
  vec3 keepStart = rq->start, keepEnd = rq->end;
  Vec_Subtract(&rq->start, &params->position, &rq->start);
  Vec_Subtract(&rq->end, &params->position, &rq->end);
  Vec_Subtract(&rq->end, &rq->start, &rq->delta);
  Vec_Cross(&rq->start, &rq->end, &rq->moment);
  const vec3& a = params->angles;
  if (a.x == 0 && a.y == 0 && a.z == 0) {
    rq->rotated = 0;
    rq->localStart = rq->start;
    rq->localEnd = rq->end;
    rq->localMins = rq->mins;
    rq->localMaxs = rq->maxs;
  } else {
    rq->rotated = 1;
    Mat_FromAngles(&rq->rotation, &params->angles);
    Mat_Inverse(&rq->rotation, &rq->inverseRotation);
    Vec_Rotate(&rq->start, &rq->inverseRotation, &rq->localStart);
    Vec_Rotate(&rq->end, &rq->inverseRotation, &rq->localEnd);
    auto sq = [](float lo, float hi) { return double(std::max(lo * lo, hi * hi)); };
    float r = float(std::sqrt(sq(rq->mins.x, rq->maxs.x) + sq(rq->mins.y, rq->maxs.y) + sq(rq->mins.z, rq->maxs.z)));
    Vec_Set(&rq->localMins, -r, -r, -r);
    Vec_Set(&rq->localMaxs, r, r, r);
  }
  Vec_Subtract(&rq->localEnd, &rq->localStart, &rq->localDelta);
  Vec_Cross(&rq->localStart, &rq->localEnd, &rq->localMoment);
  if (l->tree && l->tree->nodes) TriTree_Trace(l->tree, rq);
  else SetWalk(l, rq);
  rq->start = keepStart;
  rq->end = keepEnd;
}
