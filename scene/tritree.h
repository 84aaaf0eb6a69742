// The level triangle tree: a tree of axis-aligned boxes over a level's collision triangles for
// ray and swept-box traces and box collection, cached beside the level as "<name>.hmp_cache".
#pragma once
#include <cstdint>
#include <string>

struct TraceRequest;

// Sixteen words, filled by the level loader (tags "MAYLBRU" / "DUBRU").
struct TriTreeTriangle {
  uint32_t stamp;       // set to 0 at build or load (the tree keeps its query stamps itself)
  float v[3][3];        // three vertices, game units
  int32_t objectIndex;  // the level object (not read by the tests)
  int32_t number;       // own number, written at build or load
  uint32_t surface;     // surface word the trace result receives
  uint32_t spare[3];
};
static_assert(sizeof(TriTreeTriangle) == 64, "TriTreeTriangle is sixteen words");

// The same eight words in memory and in the cache. A point p is in front when
// normal . p - dist >= 0. Both children -1: a leaf with indices[first .. first + count - 1].
struct TriTreeNode {
  int32_t count;
  int32_t first;
  float normal[3];
  float dist;
  int32_t front;
  int32_t back;
};
static_assert(sizeof(TriTreeNode) == 32, "TriTreeNode is eight words, as in the cache");

struct TriTreeLeafTriangle;

// Allocated zero-filled by the level loader ("MAYLHMP" / "DUHMP"), which owns the triangles and
// releases what the tree added with TriTree_FreeNodes. Nodes 0..5 cut queries to the bounding
// box; node 6 is the root of the split tree.
struct TriTree {
  uint32_t stamp;
  int32_t triangleCount;
  float boundsMin[3];
  float boundsMax[3];
  TriTreeTriangle* triangles;
  int32_t nodeCount;
  TriTreeNode* nodes;    // "hmpnds"
  int32_t indexCount;
  int32_t* indices;      // "hmpinds"
  // The tree's own query state, made at the first query: per triangle the stamp of the last
  // query that tested it, and the triangles copied in index order with their face normals.
  uint32_t* stamps;
  TriTreeLeafTriangle* leafTriangles;
};

constexpr int kTriTreeMaxWorkNodes = 65536;
// The size budget of a tree, so that stacked or overlapping triangles, which reach every leaf
// they cross, cannot multiply: at most 2 nodes and 8 indices per triangle (plus 1,024 of each),
// never more nodes than the work block and never a cache over the 256 MiB whole-file limit.
constexpr int64_t kTriTreeNodesPerTriangle = 2;
constexpr int64_t kTriTreeIndicesPerTriangle = 8;
constexpr int64_t kTriTreeBudgetSlack = 1024;
constexpr int64_t kTriTreeMaxIndices = ((int64_t(256) << 20) - 44 - 32 * int64_t(kTriTreeMaxWorkNodes)) / 4;
constexpr int kTriTreeMaxDepth = 64;
constexpr float kTriTreeDefaultBox = 64.0f;
constexpr int kTriTreeDefaultTris = 32;

// The budget for a level of that many triangles; a build stops splitting (logged once) before it
// would pass either, and a cache holding more is rebuilt.
int64_t TriTree_MaxNodes(int32_t triangleCount);
int64_t TriTree_MaxIndices(int32_t triangleCount);
// Reads "<level>.hmp" ("%f %i": maximum box size, maximum triangles per leaf; a missing number
// is 0) and logs it. 0 when the file is absent (the level then has no tree).
int TriTree_ReadHmp(const char* levelName, float* maxBox, int* maxTris);
// Loads "<level>.hmp_cache" when it is sound and belongs to these triangles, else builds the
// tree and rewrites the cache. Values <= 0 take the defaults (64.0, 32).
void TriTree_BuildOrLoad(TriTree* tree, const char* levelName, float maxBox, int maxTris);
// The bytes of a ".hmp_cache" (magic 0x18181818, version 2 unless given otherwise).
std::string TriTree_CacheBytes(int32_t triangleCount, const TriTreeNode* nodes, int nodeCount,
                               const int32_t* indices, int indexCount, const float boundsMin[3],
                               const float boundsMax[3], uint32_t magic = 0x18181818u,
                               uint32_t version = 2);
// Releases nodes, indices and the query state (the triangles belong to the level loader).
void TriTree_FreeNodes(TriTree* tree);
// The nearest hit of the request's ray (all six box floats 0) or swept box, merged into it.
void TriTree_Trace(TriTree* tree, TraceRequest* request);
// Raises the stamp and appends to out (capacity entries; the triangle count always suffices)
// the numbers of the triangles whose bounds overlap the box, walking from `node` (0).
void TriTree_CollectBox(TriTree* tree, const float boxMin[3], const float boxMax[3], int node,
                        int32_t* out, int* count, int capacity);
// The single-triangle tests (the request's object-space segment and box; hits write fraction,
// normal, hit object, 1.0 into `factor` and the surface word into `part`).
void TriTree_RayTriangle(TriTree* tree, int objectIndex, const float* a, const float* b,
                         const float* c, TraceRequest* request, TriTreeTriangle* triangle,
                         uint32_t surface);
void TriTree_BoxTriangle(TriTree* tree, int objectIndex, const float* a, const float* b,
                         const float* c, TraceRequest* request, TriTreeTriangle* triangle,
                         uint32_t surface);
