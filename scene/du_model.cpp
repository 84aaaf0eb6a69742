// A DU level as a registry model: its triangle tree, traces, shader textures and the handle.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/vecmath.h"
#include "render/material.h"
#include "render/texture.h"
#include "scene/du.h"
#include "scene/model.h"
#include "scene/tritree.h"
#include "world/trace.h"

void du_CreateTree(DuLevel* level, const char* name, float maxBoxSize, int maxTriangles) {
  std::string path = std::string(name) + ".hmp";
  auto* tree = static_cast<TriTree*>(Global_MallocZero(sizeof(TriTree), "DUHMP"));
  if (!tree) {
    Log_Printf("du_Load: Global_Malloc in heightmap %s.\n", path.c_str());
    return;
  }
  if (level->triangleTotal > 0) {
    tree->triangles = static_cast<TriTreeTriangle*>(
        Global_MallocZero(size_t(level->triangleTotal) * sizeof(TriTreeTriangle), "DUBRU"));
    if (!tree->triangles) {
      Log_Printf("du_Load: Global_Malloc in brush %s.\n", path.c_str());
      Global_Free(tree);
      return;
    }
  }
  level->tree = tree;
  Log_Printf("du_Load: initheightmap %s.\n", path.c_str());
  du_InitHeightmap(level, name, maxBoxSize, maxTriangles);
}

void du_FreeTree(DuLevel* level) {
  TriTree* tree = level->tree;
  if (!tree) return;
  TriTree_FreeNodes(tree);
  if (tree->triangles) Global_Free(tree->triangles);
  Global_Free(tree);
  level->tree = nullptr;
}

void du_InitHeightmap(DuLevel* level, const char* name, float maxBoxSize, int maxTriangles) {
  TriTree* tree = level->tree;
  DuHeader* h = level->header;
  if (!tree || !h) return;
  tree->triangleCount = 0;
  for (int m = 0; m < h->modelCount; ++m)
    for (int s = 0; s < h->models[m].surfaceCount; ++s) {
      const DuSurface& surf = h->models[m].surfaces[s];
      for (int t = 0; t + 3 <= surf.indexCount && tree->triangleCount < level->triangleTotal; t += 3) {
        TriTreeTriangle& tri = tree->triangles[tree->triangleCount++];
        for (int k = 0; k < 3; ++k)
          for (int c = 0; c < 3; ++c) tri.v[k][c] = surf.vertices[surf.indices[t + k]].position[c];
        tri.objectIndex = 0;
        tri.surface = 0;
      }
    }
  TriTree_BuildOrLoad(tree, name, maxBoxSize, maxTriangles);
}

void du_TraceLocal(DuLevel* level, const ModelDrawParams* params, TraceRequest* t) {
  if (!level || !t) return;
  vec3 worldStart = t->start, worldEnd = t->end;
  vec3 position = params ? params->position : vec3{0, 0, 0};
  vec3 angles = params ? params->angles : vec3{0, 0, 0};
  Vec_Subtract(&t->start, &position, &t->start);
  Vec_Subtract(&t->end, &position, &t->end);
  Vec_Subtract(&t->end, &t->start, &t->delta);
  Vec_Cross(&t->start, &t->end, &t->moment);
  if (angles.x == 0.0f && angles.y == 0.0f && angles.z == 0.0f) {
    t->rotated = 0;
    t->localStart = t->start;
    t->localEnd = t->end;
    t->localDelta = t->delta;
    t->localMoment = t->moment;
    t->localMins = t->mins;
    t->localMaxs = t->maxs;
  } else {
    t->rotated = 1;
    Mat_FromAngles(&t->rotation, &angles);
    Mat_Inverse(&t->rotation, &t->inverseRotation);
    Vec_Rotate(&t->start, &t->inverseRotation, &t->localStart);
    Vec_Rotate(&t->end, &t->inverseRotation, &t->localEnd);
    auto square = [](float a, float b) { return std::max(double(a) * a, double(b) * b); };
    float r = float(std::sqrt(square(t->mins.x, t->maxs.x) + square(t->mins.y, t->maxs.y) +
                              square(t->mins.z, t->maxs.z)));
    Vec_Set(&t->localMins, -r, -r, -r);
    Vec_Set(&t->localMaxs, r, r, r);
    Vec_Subtract(&t->localEnd, &t->localStart, &t->localDelta);
    Vec_Cross(&t->localStart, &t->localEnd, &t->localMoment);
  }
  // The tree turns the normal of a hit on a turned instance back into world space.
  if (level->tree) TriTree_Trace(level->tree, t);
  t->start = worldStart;
  t->end = worldEnd;
}

void du_LoadShaderTextures(DuLevel* level) {
  if (!level || !level->header) return;
  uint32_t generation = Tex_GetGeneration();
  if (!level->texturesNeeded && level->textureGeneration == generation) return;
  level->textureGeneration = generation;
  DuHeader* h = level->header;
  for (int i = 0; i < h->shaderCount; ++i)
    for (DuTextureSlot& slot : h->shaders[i].slots) {
      if (!slot.name[0]) {
        slot.material = 0;
        continue;
      }
      char path[sizeof h->textureFolder + sizeof slot.name];
      std::snprintf(path, sizeof path, "%s%s", h->textureFolder, slot.name);
      slot.material = Material_Load(path);
    }
  level->texturesNeeded = 0;
}

ModelObject* du_CreateModel(const char* name) {
  auto* m = static_cast<ModelObject*>(Global_MallocZero(sizeof(ModelObject), "DUS"));
  if (!m) return nullptr;
  DuLevel* level = du_Load(name);
  if (!level) {
    Global_Free(m);
    return nullptr;
  }
  m->Query = Model_NoQuery;
  m->Draw = du_Draw;
  m->Trace = du_Trace;
  m->Free = du_Free;
  m->data = level;
  return m;
}

void du_Trace(ModelObject* m, ModelDrawParams* params, TraceRequest* request) {
  auto* level = m ? static_cast<DuLevel*>(m->data) : nullptr;
  if (!level || !level->header) return;
  du_TraceLocal(level, params, request);
}

void du_Free(ModelObject** pm) {
  if (!pm || !*pm) return;
  du_FreeLevel(static_cast<DuLevel*>((*pm)->data));
  Global_Free(*pm);
  *pm = nullptr;
}
