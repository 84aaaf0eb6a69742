// The level triangle tree: build, cache, ray and swept-box traces, box collection.
#include "scene/tritree.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/bytereader.h"
#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "world/level.h"
#include "world/trace.h"

// The triangles copied in index order, so that a leaf's triangles lie side by side: first an
// array of face planes alone (unnormalised normal n = (b - a) x (c - a) and n . a), which reject
// most triangles of a ray; then one of the vertices, the length of n and the words the tests hand on.
struct TriTreeLeafTriangle {
  float n[3];
  float na;
};
struct TriTreeLeafVertices {
  float v[3][3];
  float len;
  int32_t number;
  uint32_t surface;
  int32_t objectIndex;
};

namespace {

constexpr uint32_t kCacheMagic = 0x18181818u;
constexpr uint32_t kCacheVersion = 2;
constexpr int kCacheHeaderSize = 44;
constexpr int kNodeSize = 32;
constexpr float kMargin = 0.03125f;  // traces stop 1/32 unit before a surface
constexpr int kClipVertices = 256;

struct Plane {
  float n[3];
  float d;
};

struct BuildNode {
  std::vector<int32_t> list;
  float box[6];  // minimum x, y, z, maximum x, y, z
  float normal[3];
  float dist;
  int32_t front, back;
  int depth;
};

struct Builder {
  TriTree* tree;
  float maxBox;
  int maxTris;
  std::vector<BuildNode> nodes;
  int deepest;
  int64_t indexTotal;  // the triangles listed in all leaves so far
  int64_t maxNodes, maxIndices;
  bool budgetLogged;
};

float Dot(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void Cross(const float* a, const float* b, float* out) {
  float x = a[1] * b[2] - a[2] * b[1], y = a[2] * b[0] - a[0] * b[2], z = a[0] * b[1] - a[1] * b[0];
  out[0] = x, out[1] = y, out[2] = z;
}

void Sub(const float* a, const float* b, float* out) {
  out[0] = a[0] - b[0], out[1] = a[1] - b[1], out[2] = a[2] - b[2];
}

bool Normalize(float* v) {
  float len = std::sqrt(Dot(v, v));
  if (!(len > 0)) return false;
  v[0] /= len, v[1] /= len, v[2] /= len;
  return true;
}

float* F(vec3& v) { return &v.x; }

// Stamps 0 and own numbers for every triangle, and their bounds grown by 0.1 (the build's
// bounds; inverted for no triangles), in one pass.
void PrepareTriangles(TriTree* tree, float* mins, float* maxs) {
  float lx = 1000000.0f, ly = lx, lz = lx, hx = -1000000.0f, hy = hx, hz = hx;
  for (int i = 0; i < tree->triangleCount; ++i) {
    TriTreeTriangle& t = tree->triangles[i];
    // Written only when they differ: a reload leaves the level's memory clean.
    if (t.stamp) t.stamp = 0;
    if (t.number != i) t.number = i;
    for (const float* v : t.v) {
      lx = v[0] < lx ? v[0] : lx, ly = v[1] < ly ? v[1] : ly, lz = v[2] < lz ? v[2] : lz;
      hx = v[0] > hx ? v[0] : hx, hy = v[1] > hy ? v[1] : hy, hz = v[2] > hz ? v[2] : hz;
    }
  }
  mins[0] = lx - 0.1f, mins[1] = ly - 0.1f, mins[2] = lz - 0.1f;
  maxs[0] = hx + 0.1f, maxs[1] = hy + 0.1f, maxs[2] = hz + 0.1f;
}

void TriangleBounds(const float (*v)[3], float* mins, float* maxs) {
  for (int k = 0; k < 3; ++k) {
    float lo = v[0][k], hi = v[0][k];
    if (v[1][k] < lo) lo = v[1][k];
    if (v[2][k] < lo) lo = v[2][k];
    if (v[1][k] > hi) hi = v[1][k];
    if (v[2][k] > hi) hi = v[2][k];
    mins[k] = lo, maxs[k] = hi;
  }
}

// ---- Build ----------------------------------------------------------------------------------------

// Clips the polygon by each plane, keeping normal . v - dist - 0.1 <= 0; 1 when something of at
// least three vertices remains.
int TriTree_ClipPolygon(const float (*vertices)[3], int count, const Plane* planes, int planeCount) {
  static thread_local float buffers[2][kClipVertices][3];
  const float(*in)[3] = vertices;
  int n = count;
  for (int p = 0; p < planeCount; ++p) {
    float(*out)[3] = buffers[p & 1];
    int m = 0, kept = 0;
    const Plane& pl = planes[p];
    for (int i = 0; i < n && m < kClipVertices - 1; ++i) {
      const float* a = in[i];
      const float* b = in[(i + 1) % n];
      float da = Dot(pl.n, a) - pl.d - 0.1f, db = Dot(pl.n, b) - pl.d - 0.1f;
      if (da <= 0) {
        std::memcpy(out[m++], a, sizeof(float) * 3);
        ++kept;
      }
      if ((da < 0) != (db < 0)) {
        float t = da / (da - db);
        for (int k = 0; k < 3; ++k) out[m][k] = a[k] + t * (b[k] - a[k]);
        ++m;
      }
    }
    if (kept == 0 || m < 3) return 0;
    in = out;
    n = m;
  }
  return 1;
}

// Fills the child's list with the parent's triangles that reach into the child's box (widened
// by 0.1).
void TriTree_FillChild(const Builder& b, const std::vector<int32_t>& parent, BuildNode& c) {
  Plane planes[6];
  for (int k = 0; k < 3; ++k) {
    planes[k] = Plane{{k == 0 ? -1.0f : 0.0f, k == 1 ? -1.0f : 0.0f, k == 2 ? -1.0f : 0.0f}, -c.box[k]};
    planes[3 + k] = Plane{{k == 0 ? 1.0f : 0.0f, k == 1 ? 1.0f : 0.0f, k == 2 ? 1.0f : 0.0f}, c.box[3 + k]};
  }
  c.list.clear();
  for (int32_t t : parent) {
    const TriTreeTriangle& tri = b.tree->triangles[t];
    float lo[3], hi[3];
    TriangleBounds(tri.v, lo, hi);
    bool inside = true, outside = false;
    for (int k = 0; k < 3; ++k) {
      // The same tests the clipper makes, on the bounds: wholly kept or wholly cut away.
      if (-lo[k] + c.box[k] - 0.1f > 0 || hi[k] - c.box[3 + k] - 0.1f > 0) inside = false;
      if (-hi[k] + c.box[k] - 0.1f > 0 || lo[k] - c.box[3 + k] - 0.1f > 0) outside = true;
    }
    if (outside) continue;
    if (inside || TriTree_ClipPolygon(tri.v, 3, planes, 6)) c.list.push_back(t);
  }
}

// Splits one leaf in two when it is long and full enough. The build walks the nodes in the order
// they were made (breadth first), so when the size budget runs out the whole level is split to
// about the same depth rather than one corner to the bottom.
void TriTree_SplitNode(Builder& b, int node) {
  const int depth = b.nodes[node].depth;
  if (depth > b.deepest) b.deepest = depth;
  const float* box = b.nodes[node].box;
  float ext[3] = {box[3] - box[0], box[4] - box[1], box[5] - box[2]};
  int axis = (ext[0] >= ext[1] && ext[0] >= ext[2]) ? 0 : (ext[1] >= ext[2] ? 1 : 2);
  const int64_t count = int64_t(b.nodes[node].list.size());
  if (!(ext[axis] >= b.maxBox) || count < b.maxTris) return;
  if (depth >= kTriTreeMaxDepth) return;
  Level_DrawLoadingProgress();
  float split = box[axis] + ext[axis] * 0.5f;
  BuildNode children[2]{};
  for (int side = 0; side < 2; ++side) {
    BuildNode& c = children[side];
    std::memcpy(c.box, b.nodes[node].box, sizeof c.box);
    if (side == 0)
      c.box[axis] = split;  // front: from the plane up
    else
      c.box[3 + axis] = split;  // back: up to the plane
    c.front = c.back = -1;
    c.depth = depth + 1;
    TriTree_FillChild(b, b.nodes[node].list, c);
  }
  const int64_t kept[2] = {int64_t(children[0].list.size()), int64_t(children[1].list.size())};
  // Triangles that cover the whole box (stacked or overlapping ones) go to both sides: a split
  // that leaves nearly all of them on both separates nothing, and splitting on would only copy
  // the same list into ever more leaves.
  if (std::min(kept[0], kept[1]) * 16 >= count * 15) return;
  int needed = (kept[0] > 0) + (kept[1] > 0);
  if (needed == 0) return;
  if (int64_t(b.nodes.size()) + needed > b.maxNodes || b.indexTotal - count + kept[0] + kept[1] > b.maxIndices) {
    if (!b.budgetLogged)
      Log_Printf("TriTree_Build: the tree stops at %lld nodes and %lld indices for %i triangles; some leaves keep more triangles\n",
                 static_cast<long long>(b.maxNodes), static_cast<long long>(b.maxIndices), b.tree->triangleCount);
    b.budgetLogged = true;
    return;
  }
  b.indexTotal += kept[0] + kept[1] - count;
  {
    BuildNode& n = b.nodes[node];
    n.normal[0] = n.normal[1] = n.normal[2] = 0;
    n.normal[axis] = 1;
    n.dist = split;
  }
  int index[2] = {-1, -1};
  for (int side = 0; side < 2; ++side) {
    if (children[side].list.empty()) continue;
    index[side] = int(b.nodes.size());
    b.nodes.push_back(std::move(children[side]));
  }
  b.nodes[node].front = index[0];
  b.nodes[node].back = index[1];
  std::vector<int32_t>().swap(b.nodes[node].list);
}

void TriTree_Build(TriTree* tree, const float* mins, const float* maxs, float maxBox, int maxTris) {
  Builder b{tree, maxBox, maxTris, {}, 0, tree->triangleCount, TriTree_MaxNodes(tree->triangleCount),
            TriTree_MaxIndices(tree->triangleCount), false};
  b.nodes.reserve(size_t(b.maxNodes));
  std::memcpy(tree->boundsMin, mins, sizeof tree->boundsMin);
  std::memcpy(tree->boundsMax, maxs, sizeof tree->boundsMax);
  for (int i = 0; i < 6; ++i) {
    BuildNode n{};
    std::memcpy(n.box, mins, 3 * sizeof(float));
    std::memcpy(n.box + 3, maxs, 3 * sizeof(float));
    int k = i % 3;
    n.normal[k] = i < 3 ? 1.0f : -1.0f;
    n.dist = i < 3 ? mins[k] : -maxs[k];
    n.front = i + 1;
    n.back = -1;
    b.nodes.push_back(std::move(n));
  }
  BuildNode root{};
  std::memcpy(root.box, mins, 3 * sizeof(float));
  std::memcpy(root.box + 3, maxs, 3 * sizeof(float));
  root.front = root.back = -1;
  root.depth = 6;
  root.list.resize(size_t(tree->triangleCount));
  for (int i = 0; i < tree->triangleCount; ++i) root.list[size_t(i)] = i;
  b.nodes.push_back(std::move(root));
  for (size_t i = 6; i < b.nodes.size(); ++i) TriTree_SplitNode(b, int(i));

  // The budget keeps both counts far below 2^31.
  size_t indexCount = 0;
  for (const BuildNode& n : b.nodes) indexCount += n.list.size();
  Log_Printf("nodes %i\n", int(b.nodes.size()));
  Log_Printf("levels %i\n", b.deepest);
  Log_Printf("indices %i\n", int(indexCount));
  tree->nodeCount = int32_t(b.nodes.size());
  tree->nodes = static_cast<TriTreeNode*>(Global_MallocZero(sizeof(TriTreeNode) * b.nodes.size(), "hmpnds"));
  tree->indexCount = int32_t(indexCount);
  tree->indices = static_cast<int32_t*>(Global_Malloc(sizeof(int32_t) * (indexCount ? indexCount : 1), "hmpinds"));
  size_t first = 0;
  for (size_t i = 0; i < b.nodes.size(); ++i) {
    BuildNode& w = b.nodes[i];
    TriTreeNode& n = tree->nodes[i];
    n.count = int32_t(w.list.size());
    n.first = int32_t(first);
    std::memcpy(n.normal, w.normal, sizeof n.normal);
    n.dist = w.dist;
    n.front = w.front;
    n.back = w.back;
    for (int32_t t : w.list) tree->indices[first++] = t;
    std::vector<int32_t>().swap(w.list);
  }
}

// ---- Cache ----------------------------------------------------------------------------------------

// Loads the cache when every count, child, index and the bounds fit these triangles.
bool TriTree_LoadCache(TriTree* tree, const char* path, const float* mins, const float* maxs) {
  uint32_t size = 0;
  void* bytes = File_LoadWhole(path, &size, "hmpnds");
  if (!bytes) return false;
  ByteReader r(bytes, size);
  uint32_t magic = r.U32(), version = r.U32();
  int32_t triangles = r.I32(), n = r.I32(), ni = r.I32();
  float bmin[3], bmax[3];
  r.F32s(bmin, 3);
  r.F32s(bmax, 3);
  const char* fault = nullptr;
  if (!r.ok || magic != kCacheMagic || version != kCacheVersion || triangles != tree->triangleCount)
    fault = "header of another level or version";
  else if (n < 7 || n > TriTree_MaxNodes(triangles) || ni < 0 || ni > TriTree_MaxIndices(triangles))
    fault = "node or index count out of range";
  else if (uint64_t(size) != kCacheHeaderSize + uint64_t(kNodeSize) * uint64_t(n) + 4 * uint64_t(ni))
    fault = "size does not match its counts";
  else if (std::memcmp(bmin, mins, sizeof bmin) || std::memcmp(bmax, maxs, sizeof bmax))
    fault = "bounds of other triangles";
  TriTreeNode* nodes = nullptr;
  int32_t* indices = nullptr;
  if (!fault) {
    nodes = static_cast<TriTreeNode*>(Global_Malloc(sizeof(TriTreeNode) * size_t(n), "hmpnds"));
    indices = static_cast<int32_t*>(Global_Malloc(sizeof(int32_t) * size_t(ni ? ni : 1), "hmpinds"));
    r.Words(nodes, size_t(n) * 8);
    r.Words(indices, size_t(ni));
    // One parent per node, children after their parents, depth within the build's cap.
    std::vector<uint8_t> depth(size_t(n), 0), parents(size_t(n), 0);
    for (int i = 0; i < n && !fault; ++i) {
      const TriTreeNode& node = nodes[i];
      if (node.count < 0 || node.first < 0 || int64_t(node.first) + node.count > ni)
        fault = "node triangles outside the index array";
      for (int32_t c : {node.front, node.back}) {
        if (c == -1) continue;
        if (c <= i || c >= n || parents[size_t(c)]++ || depth[size_t(i)] >= kTriTreeMaxDepth) {
          fault = "child numbers that do not form a tree";
          break;
        }
        depth[size_t(c)] = uint8_t(depth[size_t(i)] + 1);
      }
    }
    uint32_t bad = 0, limit = uint32_t(tree->triangleCount);  // negative indices wrap above it
    for (int i = 0; i < ni; ++i) bad |= uint32_t(uint32_t(indices[i]) >= limit);
    if (!fault && bad) fault = "triangle index out of range";
  }
  Global_Free(bytes);
  if (fault) {
    Global_Free(nodes);
    Global_Free(indices);
    Log_Printf("TriTree_BuildOrLoad: %s: %s, rebuilt\n", path, fault);
    return false;
  }
  tree->nodeCount = n;
  tree->nodes = nodes;
  tree->indexCount = ni;
  tree->indices = indices;
  std::memcpy(tree->boundsMin, bmin, sizeof bmin);
  std::memcpy(tree->boundsMax, bmax, sizeof bmax);
  return true;
}

void TriTree_WriteCache(const TriTree* tree, const char* path) {
  std::string bytes = TriTree_CacheBytes(tree->triangleCount, tree->nodes, tree->nodeCount, tree->indices,
                                         tree->indexCount, tree->boundsMin, tree->boundsMax);
  FileHandle* f = File_Open(path, "wb");
  if (!f) return;  // a cache that cannot be written is skipped
  File_Write(bytes.data(), 1, bytes.size(), f);
  File_Close(f);
}

// ---- Walks ----------------------------------------------------------------------------------------

void Lerp(const float* a, const float* b, float t, float* out) {
  for (int k = 0; k < 3; ++k) out[k] = a[k] + t * (b[k] - a[k]);
}

TriTreeLeafVertices* LeafVertices(const TriTree* tree) {
  size_t count = size_t(tree->indexCount ? tree->indexCount : 1);
  return reinterpret_cast<TriTreeLeafVertices*>(tree->leafTriangles + count);
}

void FacePlane(const float* a, const float* b, const float* c, float* n, float* na, float* len) {
  float e1[3], e2[3];
  Sub(b, a, e1);
  Sub(c, a, e2);
  Cross(e1, e2, n);
  *na = Dot(n, a);
  *len = std::sqrt(Dot(n, n));
}

// The query state: compact stamps and the leaf-ordered copy of the triangles.
bool Prepare(TriTree* tree) {
  if (tree->leafTriangles) return true;
  if (!tree->nodes || tree->nodeCount < 7 || !tree->triangles) return false;
  tree->stamps = static_cast<uint32_t*>(
      Global_MallocZero(sizeof(uint32_t) * size_t(tree->triangleCount ? tree->triangleCount : 1), "hmpstmp"));
  size_t count = size_t(tree->indexCount ? tree->indexCount : 1);
  void* block = Global_Malloc((sizeof(TriTreeLeafTriangle) + sizeof(TriTreeLeafVertices)) * count, "hmpleaf");
  tree->leafTriangles = static_cast<TriTreeLeafTriangle*>(block);
  for (int i = 0; i < tree->indexCount; ++i) {
    const TriTreeTriangle& t = tree->triangles[tree->indices[i]];
    TriTreeLeafTriangle& l = tree->leafTriangles[i];
    TriTreeLeafVertices& d = LeafVertices(tree)[i];
    std::memcpy(d.v, t.v, sizeof t.v);
    FacePlane(t.v[0], t.v[1], t.v[2], l.n, &l.na, &d.len);
    d.number = tree->indices[i];
    d.surface = t.surface;
    d.objectIndex = t.objectIndex;
  }
  return true;
}

void NextStamp(TriTree* tree) {
  if (++tree->stamp == 0) {
    // After a wrap every triangle is fresh again.
    std::memset(tree->stamps, 0, sizeof(uint32_t) * size_t(tree->triangleCount));
    tree->stamp = 1;
  }
}

// The triangles of a leaf not yet tested in this query.
template <typename Test>
void TestLeaf(TriTree* tree, const TriTreeNode& node, Test test) {
  const TriTreeLeafVertices* d = LeafVertices(tree) + node.first;
  for (int i = 0; i < node.count; ++i, ++d) {
    uint32_t& stamp = tree->stamps[d->number];
    if (stamp == tree->stamp) continue;
    stamp = tree->stamp;
    test(*d);
  }
}

bool IsLeaf(const TriTreeNode& n) { return n.front == -1 && n.back == -1; }

void TakeHit(TraceRequest* req, float fraction, const float* normal, uint32_t surface);
float Side(const float* dir, const float* moment, const float* a, const float* b);
float Clamp01(float f) { return f < 0 ? 0 : (f > 1 ? 1 : f); }

// The ray test on the face plane n . x = na (n = (b - a) x (c - a) of length len).
void RayFace(const float (*v)[3], const float* n, float na, float len, TraceRequest* req,
             uint32_t surface) {
  // The cheap tests first: the segment must go from the front of the face plane to its back and
  // end nearer than the hit already held; then the edges (Plücker coordinates).
  float ds = Dot(n, F(req->localStart)) - na, de = Dot(n, F(req->localEnd)) - na;
  if (!(ds >= 0 && de < 0)) return;
  const float* a = v[0];
  const float* b = v[1];
  const float* c = v[2];
  ds /= len, de /= len;
  float f = Clamp01((ds - kMargin) / (ds - de));
  if (!(f < req->fraction)) return;
  const float* dir = F(req->localDelta);
  const float* moment = F(req->localMoment);
  if (!(Side(dir, moment, a, b) < 0 && Side(dir, moment, b, c) < 0 && Side(dir, moment, c, a) < 0))
    return;
  const float unit[3] = {n[0] / len, n[1] / len, n[2] / len};
  TakeHit(req, f, unit, surface);
}

void TriTree_RayWalk(TriTree* tree, int node, const float* p0, const float* p1, TraceRequest* req) {
  const TriTreeNode& n = tree->nodes[node];
  if (IsLeaf(n)) {
    // A ray test is the same however often it is repeated (an equal fraction never replaces the
    // hit held), so rays skip the stamps and test the face planes alone first.
    const TriTreeLeafTriangle* l = tree->leafTriangles + n.first;
    const float* s = F(req->localStart);
    const float* e = F(req->localEnd);
    for (int i = 0; i < n.count; ++i, ++l) {
      float ds = Dot(l->n, s) - l->na, de = Dot(l->n, e) - l->na;
      if (!(ds >= 0 && de < 0)) continue;
      const TriTreeLeafVertices& d = LeafVertices(tree)[n.first + i];
      RayFace(d.v, l->n, l->na, d.len, req, d.surface);
    }
    return;
  }
  float d0 = Dot(n.normal, p0) - n.dist, d1 = Dot(n.normal, p1) - n.dist;
  if (d0 >= 0 && d1 >= 0) {
    if (n.front != -1) TriTree_RayWalk(tree, n.front, p0, p1, req);
    return;
  }
  if (d0 < 0 && d1 < 0) {
    if (n.back != -1) TriTree_RayWalk(tree, n.back, p0, p1, req);
    return;
  }
  float m[3];
  Lerp(p0, p1, d0 / (d0 - d1), m);
  int nearChild = d0 < 0 ? n.back : n.front, farChild = d0 < 0 ? n.front : n.back;
  if (nearChild != -1) TriTree_RayWalk(tree, nearChild, p0, m, req);
  if (farChild != -1) TriTree_RayWalk(tree, farChild, m, p1, req);
}

void TriTree_BoxWalk(TriTree* tree, int node, const float* p0, const float* p1, TraceRequest* req) {
  const TriTreeNode& n = tree->nodes[node];
  if (IsLeaf(n)) {
    TestLeaf(tree, n, [tree, req](const TriTreeLeafVertices& d) {
      TriTree_BoxTriangle(tree, d.objectIndex, d.v[0], d.v[1], d.v[2], req, &tree->triangles[d.number], d.surface);
    });
    return;
  }
  const float* mins = F(req->localMins);
  const float* maxs = F(req->localMaxs);
  for (int side = 0; side < 2; ++side) {
    int child = side == 0 ? n.front : n.back;
    if (child == -1) continue;
    float c[3];
    for (int k = 0; k < 3; ++k) {
      bool useMax = side == 0 ? n.normal[k] >= 0 : !(n.normal[k] > 0);
      c[k] = useMax ? maxs[k] + 1.0f : mins[k] - 1.0f;
    }
    float sign = side == 0 ? 1.0f : -1.0f;
    float dA = sign * (Dot(n.normal, p0) + Dot(n.normal, c) - n.dist);
    float dB = sign * (Dot(n.normal, p1) + Dot(n.normal, c) - n.dist);
    if (dA >= 0 && dB >= 0) {
      TriTree_BoxWalk(tree, child, p0, p1, req);
    } else if (dA >= 0 || dB >= 0) {
      float m[3];
      Lerp(p0, p1, dA / (dA - dB), m);
      if (dA >= 0)
        TriTree_BoxWalk(tree, child, p0, m, req);
      else
        TriTree_BoxWalk(tree, child, m, p1, req);
    }
  }
}

void TriTree_CollectWalk(TriTree* tree, int node, const float* bmin, const float* bmax,
                         int32_t* out, int* count, int capacity) {
  const TriTreeNode& n = tree->nodes[node];
  if (IsLeaf(n)) {
    TestLeaf(tree, n, [&](const TriTreeLeafVertices& d) {
      float lo[3], hi[3];
      TriangleBounds(d.v, lo, hi);
      for (int k = 0; k < 3; ++k)
        if (lo[k] > bmax[k] || hi[k] < bmin[k]) return;
      if (*count < capacity) out[(*count)++] = d.number;
    });
    return;
  }
  float d0 = Dot(n.normal, bmin) - n.dist, d1 = Dot(n.normal, bmax) - n.dist;
  bool front = !(d0 < 0 && d1 < 0), back = !(d0 > 0 && d1 > 0);
  if (front && n.front != -1) TriTree_CollectWalk(tree, n.front, bmin, bmax, out, count, capacity);
  if (back && n.back != -1) TriTree_CollectWalk(tree, n.back, bmin, bmax, out, count, capacity);
}

// The ray's side of the directed line a -> b (Plücker inner product): negative when the ray
// passes that edge the way it passes a triangle it crosses from the front.
float Side(const float* dir, const float* moment, const float* a, const float* b) {
  float e[3], m[3];
  Sub(b, a, e);
  Cross(a, b, m);
  return Dot(dir, m) + Dot(e, moment);
}

void TakeHit(TraceRequest* req, float fraction, const float* normal, uint32_t surface) {
  vec3 n{normal[0], normal[1], normal[2]};
  if (req->rotated) {
    vec3 turned;
    Vec_Rotate(&n, &req->rotation, &turned);
    n = turned;
  }
  req->fraction = fraction;
  req->normal = n;
  req->hitObject = req->candidate;
  req->factor = 1.0f;
  req->part = int32_t(surface);
}

// The plane pushed out by the box: the box at p touches the half-space n . x <= d when
// n . p <= d - min over the box's corners of n . corner.
Plane Pushed(const float* n, float d, const float* mins, const float* maxs) {
  Plane p{{n[0], n[1], n[2]}, d};
  for (int k = 0; k < 3; ++k) p.d -= n[k] * (n[k] >= 0 ? mins[k] : maxs[k]);
  return p;
}

bool NearAxis(const float* n, float limit) {
  return std::fabs(n[0]) >= limit || std::fabs(n[1]) >= limit || std::fabs(n[2]) >= limit;
}

bool PointInPlanes(const Plane* planes, int count, const float* p) {
  for (int i = 0; i < count; ++i)
    if (Dot(planes[i].n, p) - planes[i].d > 0) return false;
  return true;
}

}  // namespace

// ---- Interface ------------------------------------------------------------------------------------

int64_t TriTree_MaxNodes(int32_t triangleCount) {
  int64_t n = kTriTreeNodesPerTriangle * int64_t(triangleCount < 0 ? 0 : triangleCount) + kTriTreeBudgetSlack;
  return n < kTriTreeMaxWorkNodes ? n : kTriTreeMaxWorkNodes;
}

int64_t TriTree_MaxIndices(int32_t triangleCount) {
  int64_t t = triangleCount < 0 ? 0 : triangleCount;
  int64_t n = kTriTreeIndicesPerTriangle * t + kTriTreeBudgetSlack;
  n = n < kTriTreeMaxIndices ? n : kTriTreeMaxIndices;
  return n > t ? n : t;  // the root alone lists every triangle
}

std::string TriTree_CacheBytes(int32_t triangleCount, const TriTreeNode* nodes, int nodeCount,
                               const int32_t* indices, int indexCount, const float boundsMin[3],
                               const float boundsMax[3], uint32_t magic, uint32_t version) {
  ByteWriter w;
  w.U32(magic);
  w.U32(version);
  w.I32(triangleCount);
  w.I32(nodeCount);
  w.I32(indexCount);
  for (int k = 0; k < 3; ++k) w.F32(boundsMin[k]);
  for (int k = 0; k < 3; ++k) w.F32(boundsMax[k]);
  for (int i = 0; i < nodeCount; ++i) {
    const TriTreeNode& n = nodes[i];
    w.I32(n.count);
    w.I32(n.first);
    for (float f : n.normal) w.F32(f);
    w.F32(n.dist);
    w.I32(n.front);
    w.I32(n.back);
  }
  for (int i = 0; i < indexCount; ++i) w.I32(indices[i]);
  return w.bytes;
}

int TriTree_ReadHmp(const char* levelName, float* maxBox, int* maxTris) {
  *maxBox = 0;
  *maxTris = 0;
  char path[600];
  if (!levelName || std::snprintf(path, sizeof path, "%s.hmp", levelName) >= int(sizeof path)) return 0;
  uint32_t size = 0;
  char* text = static_cast<char*>(File_LoadWhole(path, &size, "text"));
  if (!text) return 0;
  std::sscanf(text, "%f %i", maxBox, maxTris);
  Global_Free(text);
  Log_Printf("hmp[%s] maxboxsize=%f, maxtriangles=%i\n", path, double(*maxBox), *maxTris);
  return 1;
}

void TriTree_BuildOrLoad(TriTree* tree, const char* levelName, float maxBox, int maxTris) {
  if (!tree || !tree->triangles || !levelName || tree->triangleCount < 0) return;
  if (!(maxBox > 0)) maxBox = kTriTreeDefaultBox;
  if (maxTris <= 0) maxTris = kTriTreeDefaultTris;
  TriTree_FreeNodes(tree);
  tree->stamp = 0;
  char path[600];
  if (std::snprintf(path, sizeof path, "%s.hmp_cache", levelName) >= int(sizeof path)) return;
  float mins[3], maxs[3];
  PrepareTriangles(tree, mins, maxs);
  if (!TriTree_LoadCache(tree, path, mins, maxs)) {
    TriTree_Build(tree, mins, maxs, maxBox, maxTris);
    TriTree_WriteCache(tree, path);
  }
  Level_DrawLoadingProgress();
  for (int k = 0; k < 3; ++k) tree->boundsMin[k] -= 1.0f, tree->boundsMax[k] += 1.0f;
  Log_Printf("fbox=[%f %f %f][%f %f %f]\n", double(tree->boundsMin[0]), double(tree->boundsMin[1]),
             double(tree->boundsMin[2]), double(tree->boundsMax[0]), double(tree->boundsMax[1]),
             double(tree->boundsMax[2]));
}

void TriTree_FreeNodes(TriTree* tree) {
  if (!tree) return;
  Global_Free(tree->nodes);
  Global_Free(tree->indices);
  Global_Free(tree->stamps);
  Global_Free(tree->leafTriangles);
  tree->nodes = nullptr;
  tree->indices = nullptr;
  tree->stamps = nullptr;
  tree->leafTriangles = nullptr;
  tree->nodeCount = tree->indexCount = 0;
}

void TriTree_Trace(TriTree* tree, TraceRequest* req) {
  if (!tree || !req || !Prepare(tree)) return;
  NextStamp(tree);
  const float* mins = F(req->localMins);
  const float* maxs = F(req->localMaxs);
  bool ray = true;
  for (int k = 0; k < 3; ++k)
    if (mins[k] != 0 || maxs[k] != 0) ray = false;
  if (ray)
    TriTree_RayWalk(tree, 0, F(req->localStart), F(req->localEnd), req);
  else
    TriTree_BoxWalk(tree, 0, F(req->localStart), F(req->localEnd), req);
}

void TriTree_CollectBox(TriTree* tree, const float boxMin[3], const float boxMax[3], int node,
                        int32_t* out, int* count, int capacity) {
  if (!tree || !out || !count || !Prepare(tree) || node < 0 || node >= tree->nodeCount) return;
  NextStamp(tree);
  TriTree_CollectWalk(tree, node, boxMin, boxMax, out, count, capacity);
}

void TriTree_RayTriangle(TriTree*, int, const float* a, const float* b, const float* c,
                         TraceRequest* req, TriTreeTriangle*, uint32_t surface) {
  const float v[3][3] = {{a[0], a[1], a[2]}, {b[0], b[1], b[2]}, {c[0], c[1], c[2]}};
  float n[3], na, len;
  FacePlane(a, b, c, n, &na, &len);
  RayFace(v, n, na, len, req, surface);
}

void TriTree_BoxTriangle(TriTree*, int, const float* a, const float* b, const float* c,
                         TraceRequest* req, TriTreeTriangle*, uint32_t surface) {
  const float* mins = F(req->localMins);
  const float* maxs = F(req->localMaxs);
  const float* v[3] = {a, b, c};
  Plane planes[6 + 2 + 9];
  int count = 0;
  for (int k = 0; k < 3; ++k) {
    float lo = std::fmin(a[k], std::fmin(b[k], c[k])), hi = std::fmax(a[k], std::fmax(b[k], c[k]));
    float axis[3] = {0, 0, 0};
    axis[k] = 1;
    planes[count++] = Pushed(axis, hi, mins, maxs);
    axis[k] = -1;
    planes[count++] = Pushed(axis, -lo, mins, maxs);
  }
  float e1[3], e2[3], n[3];
  Sub(b, a, e1);
  Sub(c, a, e2);
  Cross(e1, e2, n);
  if (Normalize(n)) {
    float d = Dot(n, a);
    if (!NearAxis(n, 0.999f)) planes[count++] = Pushed(n, d, mins, maxs);
    float rn[3] = {-n[0], -n[1], -n[2]};
    if (!NearAxis(rn, 0.9999f)) planes[count++] = Pushed(rn, -d, mins, maxs);
  }
  for (int e = 0; e < 3; ++e) {
    const float* p = v[e];
    const float* q = v[(e + 1) % 3];
    const float* third = v[(e + 2) % 3];
    float edge[3];
    Sub(q, p, edge);
    for (int k = 0; k < 3; ++k) {
      int u = (k + 1) % 3, w = (k + 2) % 3;
      if (p[u] == q[u] || p[w] == q[w]) continue;  // the bevel would be axial or undefined
      float axis[3] = {0, 0, 0}, bn[3];
      axis[k] = 1;
      Cross(edge, axis, bn);
      if (!Normalize(bn)) continue;
      float d = Dot(bn, p);
      if (Dot(bn, third) - d > 0) {
        bn[0] = -bn[0], bn[1] = -bn[1], bn[2] = -bn[2];
        d = -d;
      }
      if (NearAxis(bn, 0.9999f)) continue;
      planes[count++] = Pushed(bn, d, mins, maxs);
    }
  }
  const float* s = F(req->localStart);
  const float* t = F(req->localEnd);
  float enter = 0, leave = 1;
  const Plane* hitPlane = nullptr;
  for (int i = 0; i < count; ++i) {
    const Plane& pl = planes[i];
    float d1 = Dot(pl.n, s) - pl.d, d2 = Dot(pl.n, t) - pl.d;
    float atEnter = d1 + enter * (d2 - d1), atLeave = d1 + leave * (d2 - d1);
    if (atEnter >= 0 && atLeave >= 0) return;
    if (atEnter < 0 && atLeave < 0) continue;
    if (atEnter >= 0) {
      enter = Clamp01((d1 - kMargin) / (d1 - d2));
      hitPlane = &pl;
    } else {
      leave = Clamp01((d1 + kMargin) / (d1 - d2));
    }
  }
  if (!hitPlane || !(enter < req->fraction)) return;
  float p[3];
  Lerp(s, t, enter, p);
  while (enter > 0 && PointInPlanes(planes, count, p)) {
    enter = std::fmax(0.0f, enter - 0.1f);
    Lerp(s, t, enter, p);
  }
  TakeHit(req, enter, hitPlane->n, surface);
}
