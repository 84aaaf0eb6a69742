// The shadow-volume mesh of a BU model: triangle neighbours through the welded volume mesh, one
// kept edge per distinct edge, and the ready-made index list of caps and side quads.
#include <unordered_map>
#include <unordered_set>

#include "foundation/mem.h"
#include "scene/bu.h"

namespace {

template <typename T>
T* AllocArray(int64_t count, const char* tag) {
  return static_cast<T*>(Global_MallocZero(size_t(count) * sizeof(T), tag));
}

uint64_t PairKey(int32_t a, int32_t b) { return uint64_t(uint32_t(a)) << 32 | uint32_t(b); }

// Neighbour of edge a -> b: the triangle j whose edge k runs b -> a; the last k that matches wins,
// and within it the lowest j.
void NeighboursQuadratic(const uint32_t* v, int32_t triangles, int32_t* neighbours) {
  for (int32_t t = 0; t < triangles; ++t)
    for (int e = 0; e < 3; ++e) {
      uint32_t a = v[3 * t + e], b = v[3 * t + (e + 1) % 3];
      for (int k = 0; k < 3; ++k)
        for (int32_t j = 0; j < triangles; ++j)
          if (v[3 * j + (k + 1) % 3] == a && v[3 * j + k] == b) {
            neighbours[4 * t + e] = j;
            break;
          }
    }
}

void NeighboursHashed(const uint32_t* v, int32_t triangles, int32_t* neighbours) {
  struct Lowest {
    int32_t byK[3] = {-1, -1, -1};
  };
  std::unordered_map<uint64_t, Lowest> edges;
  edges.reserve(size_t(triangles) * 3);
  for (int32_t j = 0; j < triangles; ++j)
    for (int k = 0; k < 3; ++k) {
      int32_t& slot = edges[PairKey(int32_t(v[3 * j + k]), int32_t(v[3 * j + (k + 1) % 3]))].byK[k];
      if (slot < 0) slot = j;
    }
  for (int32_t t = 0; t < triangles; ++t)
    for (int e = 0; e < 3; ++e) {
      auto it = edges.find(PairKey(int32_t(v[3 * t + (e + 1) % 3]), int32_t(v[3 * t + e])));
      if (it == edges.end()) continue;
      for (int k = 2; k >= 0; --k)
        if (it->second.byK[k] >= 0) {
          neighbours[4 * t + e] = it->second.byK[k];
          break;
        }
    }
}

void WriteQuad(uint16_t* out, int a, int b) {
  const int q[6] = {2 * b, 2 * a, 2 * a + 1, 2 * b + 1, 2 * b, 2 * a + 1};
  for (int i = 0; i < 6; ++i) out[i] = uint16_t(q[i]);
}

void Build(BuModel* model, bool hashed) {
  bu_FreeShadowVolume(model);
  BuHeader* h = model->header;
  if (!h) return;
  int64_t triangles = 0, vertices = 0;
  for (int i = 0; i < h->objectCount; ++i) {
    triangles += h->objects[i].indexCount / 3;
    vertices += h->objects[i].vertexCount;
  }
  // The volume mesh must list the same triangles; the loader drops one that does not.
  if (h->volumeIndexCount != triangles * 3) return;
  auto* vol = static_cast<BuVolume*>(Global_MallocZero(sizeof(BuVolume), "BUVOL"));
  if (!vol) return;
  h->volume = vol;
  vol->triangleCount = int32_t(triangles);
  vol->vertexCount = int32_t(vertices);
  vol->work = AllocArray<float>(vertices * 4, "BUVTX");
  vol->caps = AllocArray<uint16_t>(triangles * 3, "BUIND");
  vol->neighbours = AllocArray<int32_t>(triangles * 4, "BUTRI");
  vol->indices = AllocArray<uint16_t>(triangles * 24, "BUIND");
  vol->edges = AllocArray<BuEdge>(triangles * 3, "BUEDGE");
  vol->bounds[0] = vol->bounds[1] = vol->bounds[2] = 1000000.0f;
  vol->bounds[3] = vol->bounds[4] = vol->bounds[5] = -1000000.0f;
  if (triangles == 0) return;
  if (!vol->caps || !vol->neighbours || !vol->indices || !vol->edges || (vertices && !vol->work)) {
    bu_FreeShadowVolume(model);
    return;
  }
  for (int64_t t = 0; t < triangles; ++t)
    for (int e = 0; e < 3; ++e) vol->neighbours[4 * t + e] = -1;
  if (hashed)
    NeighboursHashed(h->volumeIndices, vol->triangleCount, vol->neighbours);
  else
    NeighboursQuadratic(h->volumeIndices, vol->triangleCount, vol->neighbours);

  std::unordered_set<uint64_t> kept;
  if (hashed) kept.reserve(size_t(triangles) * 3);
  for (int o = 0; o < h->objectCount; ++o) {
    BuObject& obj = h->objects[o];
    int32_t count = obj.indexCount / 3;
    uint16_t* out = vol->indices + 24 * int64_t(obj.firstTriangle);
    obj.quadCount = 0;
    obj.firstEdge = vol->edgeCount;
    for (int32_t i = 0; i < count; ++i) {
      int32_t t = obj.firstTriangle + i;
      for (int e = 0; e < 3; ++e) {
        int32_t n = vol->neighbours[4 * t + e];
        bool seen = false;
        if (hashed) {
          seen = kept.count(PairKey(n, t)) != 0;
        } else {
          for (int32_t k = 0; k < vol->edgeCount && !seen; ++k)
            seen = vol->edges[k].triangle == n && vol->edges[k].neighbour == t;
        }
        if (seen) continue;
        vol->edges[vol->edgeCount++] = BuEdge{t, n};
        if (hashed) kept.insert(PairKey(t, n));
        WriteQuad(out + 6 * count + 6 * obj.quadCount, obj.indices[3 * i + e], obj.indices[3 * i + (e + 1) % 3]);
        ++obj.quadCount;
      }
    }
    for (int32_t i = 0; i < count; ++i) {
      int a = obj.indices[3 * i], b = obj.indices[3 * i + 1], c = obj.indices[3 * i + 2];
      const int cap[6] = {2 * a, 2 * b, 2 * c, 2 * c + 1, 2 * b + 1, 2 * a + 1};
      for (int k = 0; k < 6; ++k) out[6 * i + k] = uint16_t(cap[k]);
    }
  }
}

}  // namespace

void bu_BuildShadowVolume(BuModel* model) { Build(model, true); }
void bu_BuildShadowVolumeQuadratic(BuModel* model) { Build(model, false); }

void bu_FreeShadowVolume(BuModel* model) {
  BuHeader* h = model ? model->header : nullptr;
  if (!h || !h->volume) return;
  BuVolume* vol = h->volume;
  for (void* p : {(void*)vol->caps, (void*)vol->neighbours, (void*)vol->indices, (void*)vol->edges,
                  (void*)vol->work})
    if (p) Global_Free(p);
  Global_Free(vol);
  h->volume = nullptr;
}
