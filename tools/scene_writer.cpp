#include "tools/scene_writer.h"

#include <cmath>
#include <cstdio>

#include "foundation/bytereader.h"
#include "tools/du_writer.h"
#include "tools/model_writer.h"

std::string SceneTool_SkBytes(const std::vector<SceneToolBone>& bones, uint32_t word0,
                              uint32_t word1, int32_t countOverride) {
  ByteWriter w;
  w.U32(word0);
  w.U32(word1);
  w.I32(countOverride != INT32_MIN ? countOverride : int32_t(bones.size()));
  w.Zeros(20);
  for (const SceneToolBone& b : bones) {
    w.Text(b.name.c_str(), 28);
    w.Zeros(4);
    w.Text(b.parent.c_str(), 28);
    w.Zeros(4);
  }
  for (int copy = 0; copy < 2; ++copy)
    for (const SceneToolBone& b : bones) {
      for (float f : b.rotation) w.F32(f);
      for (float f : b.position) w.F32(f);
      w.F32(0);
    }
  return w.bytes;
}

std::string SceneTool_AmBytes(const SceneToolAnim& a) {
  ByteWriter w;
  w.U32(a.words[0]);
  w.U32(a.words[1]);
  w.I32(a.boneCount);
  w.I32(a.lastFrame);
  w.U32(a.words[2]);
  w.I32(a.allBonesPositions);
  w.Zeros(8);
  for (float f : a.positions) w.F32(f);
  for (float f : a.rotations) w.F32(f);
  return w.bytes;
}

std::string SceneTool_HmpCacheBytes(int32_t triangleCount, const std::vector<TriTreeNode>& nodes,
                                    const std::vector<int32_t>& indices, const float boundsMin[3],
                                    const float boundsMax[3], uint32_t magic, uint32_t version) {
  return TriTree_CacheBytes(triangleCount, nodes.data(), int(nodes.size()), indices.data(),
                            int(indices.size()), boundsMin, boundsMax, magic, version);
}

std::string SceneTool_SurfaceList(const std::vector<SceneToolSurface>& surfaces) {
  std::string t;
  char line[512];
  for (const SceneToolSurface& s : surfaces) {
    std::snprintf(line, sizeof line,
                  "[id] [%s]\n[sound_step] [%s]\n[sound_shot] [%s]\n[sound_ricochet] [%s]\n"
                  "[ricochet] [%g]\n[soft] [%g]\n[glass] [%g]\n",
                  s.id.c_str(), s.step.c_str(), s.shot.c_str(), s.ricochetSound.c_str(),
                  double(s.ricochet), double(s.soft), double(s.glass));
    t += line;
  }
  return t;
}

namespace {

// A small generator of our own, so soups are the same everywhere.
struct Lcg {
  uint32_t state;
  float Next() {  // 0..1
    state = state * 1664525u + 1013904223u;
    return float(state >> 8) / float(1u << 24);
  }
  float Range(float lo, float hi) { return lo + (hi - lo) * Next(); }
};

TriTreeTriangle Tri(const float a[3], const float b[3], const float c[3], uint32_t surface) {
  TriTreeTriangle t{};
  for (int k = 0; k < 3; ++k) t.v[0][k] = a[k], t.v[1][k] = b[k], t.v[2][k] = c[k];
  t.surface = surface;
  return t;
}

// Two triangles over the quad p0 p1 p2 p3 (counter-clockwise seen from the side it faces).
void Quad(std::vector<TriTreeTriangle>& out, const float p0[3], const float p1[3],
          const float p2[3], const float p3[3], uint32_t surface) {
  out.push_back(Tri(p0, p1, p2, surface));
  out.push_back(Tri(p0, p2, p3, surface));
}

// An axis-aligned box of quads facing outward (inward when `inward`), each face split into
// n x n quads.
void Box(std::vector<TriTreeTriangle>& out, const float lo[3], const float hi[3], int n,
         bool inward, uint32_t surface) {
  for (int axis = 0; axis < 3; ++axis)
    for (int side = 0; side < 2; ++side) {
      int u = (axis + 1) % 3, v = (axis + 2) % 3;
      bool flip = (side == 0) != inward;
      for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
          float c[4][3];
          const int du[4] = {0, 1, 1, 0}, dv[4] = {0, 0, 1, 1};
          for (int k = 0; k < 4; ++k) {
            c[k][axis] = side ? hi[axis] : lo[axis];
            c[k][u] = lo[u] + (hi[u] - lo[u]) * float(i + du[k]) / float(n);
            c[k][v] = lo[v] + (hi[v] - lo[v]) * float(j + dv[k]) / float(n);
          }
          if (flip)
            Quad(out, c[0], c[3], c[2], c[1], surface);
          else
            Quad(out, c[0], c[1], c[2], c[3], surface);
        }
    }
}

}  // namespace

std::vector<TriTreeTriangle> SceneTool_BumpyGrid(int n, float cell, uint32_t seed) {
  Lcg rng{seed};
  std::vector<float> h(size_t(n + 1) * size_t(n + 1));
  for (int y = 0; y <= n; ++y)
    for (int x = 0; x <= n; ++x)
      h[size_t(y) * size_t(n + 1) + size_t(x)] =
          20.0f * std::sin(float(x) * 0.37f) * std::cos(float(y) * 0.23f) + rng.Range(-4, 4);
  std::vector<TriTreeTriangle> out;
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      auto P = [&](int px, int py, float* p) {
        p[0] = float(px) * cell, p[1] = float(py) * cell;
        p[2] = h[size_t(py) * size_t(n + 1) + size_t(px)];
      };
      float a[3], b[3], c[3], d[3];
      P(x, y, a), P(x + 1, y, b), P(x + 1, y + 1, c), P(x, y + 1, d);
      Quad(out, a, b, c, d, uint32_t((x + y) % 5));
    }
  return out;
}

std::vector<TriTreeTriangle> SceneTool_RandomSoup(int count, float extent, float size, uint32_t seed) {
  Lcg rng{seed};
  std::vector<TriTreeTriangle> out;
  for (int i = 0; i < count; ++i) {
    float c[3] = {rng.Range(0, extent), rng.Range(0, extent), rng.Range(0, extent)};
    float p[3][3];
    for (auto& v : p)
      for (int k = 0; k < 3; ++k) v[k] = c[k] + rng.Range(-size, size);
    out.push_back(Tri(p[0], p[1], p[2], uint32_t(i % 7)));
  }
  return out;
}

std::vector<TriTreeTriangle> SceneTool_ClosedRooms(int rooms, float size) {
  std::vector<TriTreeTriangle> out;
  for (int r = 0; r < rooms; ++r) {
    float lo[3] = {float(r) * size * 1.5f, 0, 0};
    float hi[3] = {lo[0] + size, size, size * 0.5f};
    Box(out, lo, hi, 1, true, uint32_t(r % 4));
  }
  return out;
}

std::vector<TriTreeTriangle> SceneTool_CityBlock() {
  // Ground: 160 x 160 cells of 25 units (51,200 triangles), 4,000 units a side.
  std::vector<TriTreeTriangle> out = SceneTool_BumpyGrid(160, 25.0f, 7);
  Lcg rng{11};
  // Buildings: 12 x 12 blocks, each a box of 6 x 6 x 6 = 216 x 2 ... faces split 6 x 6.
  for (int by = 0; by < 12; ++by)
    for (int bx = 0; bx < 12; ++bx) {
      float x0 = 80.0f + float(bx) * 320.0f, y0 = 80.0f + float(by) * 320.0f;
      float lo[3] = {x0, y0, -10.0f};
      float hi[3] = {x0 + rng.Range(120, 220), y0 + rng.Range(120, 220), rng.Range(150, 900)};
      Box(out, lo, hi, 6, false, 5);
    }
  return out;
}

std::vector<uint8_t> SceneTool_OverlappingDu(int triangles) {
  DuToolSurface square = DuTool_Quad(0, 0, 4000, 4000, 0, 0);
  std::vector<uint16_t> two = square.indices;
  square.indices.clear();
  for (int i = 0; i < triangles; ++i) square.indices.insert(square.indices.end(), two.begin() + 3 * (i % 2), two.begin() + 3 * (i % 2) + 3);
  DuToolLevel level;
  level.shaders.resize(1);
  level.models.push_back({square});
  level.areaModels = {0};
  return DuTool_Write(level);
}

std::vector<uint8_t> SceneTool_StackedMay(int triangles) {
  MayToolLevel level;
  level.shaders.resize(1);
  level.shaders[0].name = "concrete";
  level.objects = {{"stack"}};
  std::vector<MayToolVertex> v;
  std::vector<uint16_t> t;
  for (int i = 0; i < triangles; ++i) {
    const float z = float(i) * 0.5f;
    const float corners[3][3] = {{0, 0, z}, {4000, 0, z}, {0, 4000, z}};
    for (const auto& c : corners) {
      MayToolVertex x;
      x.pos[0] = c[0], x.pos[1] = c[1], x.pos[2] = c[2];
      t.push_back(uint16_t(v.size()));
      v.push_back(x);
    }
  }
  MayTool_AddTriangles(level, 0, 0, v, t);
  MayTool_GroupSets(level);
  return MayTool_Write(level);
}
