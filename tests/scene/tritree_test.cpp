// The level triangle tree against testing every triangle; its cache, hostile caches, the
// single-triangle tests' conventions and rotated levels.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "foundation/vecmath.h"
#include "scene/tritree.h"
#include "support/render_support.h"
#include "foundation/file.h"
#include "tools/scene_writer.h"
#include "tools/zipwriter.h"
#include "world/trace.h"

namespace {

using tw_test::WriteFile;

struct Rng {
  uint32_t s;
  float Next() {
    s = s * 1103515245u + 12345u;
    return float(s >> 8) / float(1u << 24);
  }
  float Range(float lo, float hi) { return lo + (hi - lo) * Next(); }
};

TraceRequest Request(const vec3& start, const vec3& end, const vec3& mins, const vec3& maxs) {
  TraceRequest r{};
  r.start = r.localStart = start;
  r.end = r.localEnd = end;
  Vec_Subtract(&end, &start, &r.delta);
  Vec_Cross(&start, &end, &r.moment);
  r.localDelta = r.delta;
  r.localMoment = r.moment;
  r.mins = r.localMins = mins;
  r.maxs = r.localMaxs = maxs;
  r.fraction = 1.0f;
  r.factor = 1.0f;
  Mat_Identity(&r.rotation);
  Mat_Identity(&r.inverseRotation);
  return r;
}

// A tree over its own copy of the triangles, built (or loaded) under `name`.
struct Level {
  std::vector<TriTreeTriangle> tris;
  TriTree tree{};
  Level(std::vector<TriTreeTriangle> t, const char* name, float maxBox = 0, int maxTris = 0)
      : tris(std::move(t)) {
    tree.triangleCount = int32_t(tris.size());
    tree.triangles = tris.data();
    TriTree_BuildOrLoad(&tree, name, maxBox, maxTris);
  }
  ~Level() { TriTree_FreeNodes(&tree); }
  std::vector<TriTreeNode> Nodes() const { return {tree.nodes, tree.nodes + tree.nodeCount}; }
  std::vector<int32_t> Indices() const { return {tree.indices, tree.indices + tree.indexCount}; }
};

// Every triangle tested on its own: the nearest fraction and the surfaces that reach it.
struct Brute {
  float fraction = 1.0f;
  std::set<int32_t> parts;
};
Brute BruteForce(Level& level, const TraceRequest& base) {
  bool ray = base.localMins.x == 0 && base.localMins.y == 0 && base.localMins.z == 0 &&
             base.localMaxs.x == 0 && base.localMaxs.y == 0 && base.localMaxs.z == 0;
  float lo[3], hi[3];
  for (int k = 0; k < 3; ++k) {
    float s = (&base.localStart.x)[k], e = (&base.localEnd.x)[k];
    lo[k] = std::min(s, e) + (&base.localMins.x)[k] - 1;
    hi[k] = std::max(s, e) + (&base.localMaxs.x)[k] + 1;
  }
  Brute b;
  for (TriTreeTriangle& t : level.tris) {
    bool apart = false;
    for (int k = 0; k < 3; ++k)
      apart |= std::max({t.v[0][k], t.v[1][k], t.v[2][k]}) < lo[k] ||
               std::min({t.v[0][k], t.v[1][k], t.v[2][k]}) > hi[k];
    if (apart) continue;
    TraceRequest r = base;
    if (ray)
      TriTree_RayTriangle(&level.tree, 0, t.v[0], t.v[1], t.v[2], &r, &t, t.surface);
    else
      TriTree_BoxTriangle(&level.tree, 0, t.v[0], t.v[1], t.v[2], &r, &t, t.surface);
    if (r.fraction < b.fraction) b.fraction = r.fraction, b.parts.clear();
    if (r.fraction < 1.0f && r.fraction == b.fraction) b.parts.insert(r.part);
  }
  return b;
}

// 1 when the triangle itself reaches into the box (clipped by its six faces).
bool TriangleInBox(const TriTreeTriangle& t, const float* bmin, const float* bmax) {
  std::vector<std::array<float, 3>> poly = {{t.v[0][0], t.v[0][1], t.v[0][2]},
                                             {t.v[1][0], t.v[1][1], t.v[1][2]},
                                             {t.v[2][0], t.v[2][1], t.v[2][2]}};
  for (int plane = 0; plane < 6 && !poly.empty(); ++plane) {
    int k = plane % 3;
    auto out = [&](const std::array<float, 3>& p) { return plane < 3 ? bmin[k] - p[size_t(k)] : p[size_t(k)] - bmax[k]; };
    std::vector<std::array<float, 3>> next;
    for (size_t i = 0; i < poly.size(); ++i) {
      const auto& a = poly[i];
      const auto& b = poly[(i + 1) % poly.size()];
      float da = out(a), db = out(b);
      if (da <= 0) next.push_back(a);
      if ((da < 0) != (db < 0) && da != db) {
        std::array<float, 3> m;
        for (size_t c = 0; c < 3; ++c) m[c] = a[c] + da / (da - db) * (b[c] - a[c]);
        next.push_back(m);
      }
    }
    poly = next;
  }
  return !poly.empty();
}

class TriTreeTest : public tw_test::LoggedTest {};

TEST_F(TriTreeTest, TracesMatchTestingEveryTriangle) {
  Rng rng{5};
  struct Soup {
    const char* name;
    std::vector<TriTreeTriangle> tris;
    float maxBox;
    int maxTris;
  } soups[] = {{"grid", SceneTool_BumpyGrid(30, 40.0f, 3), 0, 0},
               {"random", SceneTool_RandomSoup(1500, 1000.0f, 60.0f, 9), 100.0f, 8},
               {"rooms", SceneTool_ClosedRooms(6, 300.0f), 50.0f, 2}};
  int hits = 0, checks = 0;
  for (Soup& soup : soups) {
    Level level(soup.tris, soup.name, soup.maxBox, soup.maxTris);
    float lo[3], hi[3];
    for (int k = 0; k < 3; ++k) lo[k] = level.tree.boundsMin[k] - 20, hi[k] = level.tree.boundsMax[k] + 20;
    for (int i = 0; i < 6700; ++i) {
      bool box = i % 2 == 1;
      vec3 s{rng.Range(lo[0], hi[0]), rng.Range(lo[1], hi[1]), rng.Range(lo[2], hi[2])};
      float reach = i % 3 == 0 ? 4000.0f : 300.0f;
      vec3 e{s.x + rng.Range(-reach, reach), s.y + rng.Range(-reach, reach), s.z + rng.Range(-reach, reach)};
      vec3 mins{0, 0, 0}, maxs{0, 0, 0};
      if (box) {
        mins = {-rng.Range(1, 30), -rng.Range(1, 30), -rng.Range(1, 60)};
        maxs = {rng.Range(1, 30), rng.Range(1, 30), rng.Range(1, 60)};
      }
      TraceRequest r = Request(s, e, mins, maxs);
      Brute b = BruteForce(level, r);
      TriTree_Trace(&level.tree, &r);
      ++checks;
      ASSERT_EQ(r.fraction, b.fraction) << soup.name << " " << i;
      if (b.fraction < 1.0f) {
        ++hits;
        EXPECT_EQ(r.factor, 1.0f);
        EXPECT_TRUE(b.parts.count(r.part)) << soup.name << " " << i;
      }
    }
  }
  EXPECT_EQ(checks, 20100);
  EXPECT_GT(hits, 2000);  // the comparison means something
}

TEST_F(TriTreeTest, CollectBoxMatchesBruteForce) {
  Level level(SceneTool_RandomSoup(3000, 1000.0f, 40.0f, 4), "collect", 80.0f, 6);
  Rng rng{8};
  std::vector<int32_t> out(level.tris.size());
  for (int i = 0; i < 500; ++i) {
    float c[3] = {rng.Range(0, 1000), rng.Range(0, 1000), rng.Range(0, 1000)};
    float r = rng.Range(1, 150);
    float bmin[3] = {c[0] - r, c[1] - r, c[2] - r}, bmax[3] = {c[0] + r, c[1] + r, c[2] + r};
    int count = 0;
    TriTree_CollectBox(&level.tree, bmin, bmax, 0, out.data(), &count, int(out.size()));
    std::set<int32_t> got(out.begin(), out.begin() + count);
    ASSERT_EQ(got.size(), size_t(count));  // each triangle once
    // Every triangle reaching into the box is found; every one found has bounds overlapping it.
    for (size_t t = 0; t < level.tris.size(); ++t) {
      bool overlap = true;
      for (int k = 0; k < 3; ++k)
        overlap &= std::min({level.tris[t].v[0][k], level.tris[t].v[1][k], level.tris[t].v[2][k]}) <= bmax[k] &&
                   std::max({level.tris[t].v[0][k], level.tris[t].v[1][k], level.tris[t].v[2][k]}) >= bmin[k];
      ASSERT_TRUE(overlap || !got.count(int32_t(t))) << i << " " << t;
      ASSERT_TRUE(got.count(int32_t(t)) || !TriangleInBox(level.tris[t], bmin, bmax)) << i << " " << t;
    }
  }
  // A box that only touches a triangle's bounds collects it; a small array is never overrun.
  const auto& t = level.tris[0];
  float top = std::max({t.v[0][2], t.v[1][2], t.v[2][2]});
  float bmin[3] = {-10, -10, top}, bmax[3] = {1010, 1010, top + 5};
  int count = 0;
  TriTree_CollectBox(&level.tree, bmin, bmax, 0, out.data(), &count, int(out.size()));
  EXPECT_NE(std::find(out.begin(), out.begin() + count, 0), out.begin() + count);
  count = 0;
  float all[3] = {-100, -100, -100}, allMax[3] = {1100, 1100, 1100};
  TriTree_CollectBox(&level.tree, all, allMax, 0, out.data(), &count, 5);
  EXPECT_EQ(count, 5);
}

TEST_F(TriTreeTest, CacheRoundTripAndHostileCachesRebuilt) {
  auto tris = SceneTool_RandomSoup(800, 500.0f, 40.0f, 2);
  std::vector<TriTreeNode> nodes;
  std::vector<int32_t> indices;
  float bmin[3], bmax[3];
  {
    Level built(tris, "lvl", 60.0f, 4);
    nodes = built.Nodes();
    indices = built.Indices();
  }
  std::string good = tw_test::ReadFile("lvl.hmp_cache");
  ASSERT_GT(good.size(), 44u);
  std::memcpy(bmin, good.data() + 20, 12);
  std::memcpy(bmax, good.data() + 32, 12);
  ASSERT_TRUE(good == SceneTool_HmpCacheBytes(800, nodes, indices, bmin, bmax));
  size_t builds = tw_test::CountOccurrences(Log(), "nodes ");
  {
    Level loaded(tris, "lvl", 60.0f, 4);
    EXPECT_EQ(tw_test::CountOccurrences(Log(), "nodes "), builds);  // no build
    EXPECT_EQ(0, std::memcmp(loaded.tree.nodes, nodes.data(), nodes.size() * sizeof(TriTreeNode)));
    EXPECT_EQ(loaded.Indices(), indices);
  }
  auto with = [&](auto change) {
    auto n = nodes;
    auto i = indices;
    float lo[3] = {bmin[0], bmin[1], bmin[2]};
    int32_t count = 800;
    change(n, i, lo, count);
    return SceneTool_HmpCacheBytes(count, n, i, lo, bmax);
  };
  using N = std::vector<TriTreeNode>;
  using I = std::vector<int32_t>;
  int leaf = int(std::find_if(nodes.begin(), nodes.end(), [](const TriTreeNode& n) { return n.count > 0; }) - nodes.begin());
  std::vector<TriTreeNode> chain(70);
  for (int k = 0; k < 70; ++k) chain[size_t(k)] = {0, 0, {1, 0, 0}, 0, k + 1 < 70 ? k + 1 : -1, -1};
  std::string hostile[] = {
      "random bytes that are no cache at all",
      good.substr(0, good.size() - 3),
      good + "x",
      SceneTool_HmpCacheBytes(800, nodes, indices, bmin, bmax, 0x18181818u, 3),
      with([](N&, I&, float*, int32_t& c) { c = 801; }),
      with([](N&, I&, float* lo, int32_t&) { lo[0] += 0.5f; }),           // another level's bounds
      with([](N& n, I&, float*, int32_t&) { n[6].front = 100000; }),
      with([](N& n, I&, float*, int32_t&) { n[8].front = 8; }),           // self
      with([](N& n, I&, float*, int32_t&) { n[9].back = 7; }),            // before itself
      with([](N& n, I&, float*, int32_t&) { n[5].front = 7; }),           // second parent of 7
      with([&](N& n, I& i, float*, int32_t&) { n[size_t(leaf)].first = int32_t(i.size()); }),
      with([&](N& n, I&, float*, int32_t&) { n[size_t(leaf)].count = -1; }),
      with([](N&, I& i, float*, int32_t&) { i[3] = 800; }),
      with([](N&, I& i, float*, int32_t&) { i[3] = -1; }),
      with([](N& n, I&, float*, int32_t&) { n.resize(6); }),
      with([&](N& n, I& i, float*, int32_t&) { n = chain, i.clear(); }),  // deeper than the cap
      with([&](N& n, I& i, float*, int32_t&) {  // more indices than a build of 800 makes
        n[size_t(leaf)].first = int32_t(i.size()), n[size_t(leaf)].count = 8000;
        i.resize(i.size() + 8000, 0);
      }),
  };
  for (size_t h = 0; h < std::size(hostile); ++h) {
    WriteFile("lvl.hmp_cache", hostile[h]);
    Level level(tris, "lvl", 60.0f, 4);
    EXPECT_EQ(level.Nodes().size(), nodes.size()) << h;
    EXPECT_EQ(level.Indices(), indices) << h;
    EXPECT_TRUE(tw_test::ReadFile("lvl.hmp_cache") == good) << h;  // rewritten
  }
  EXPECT_EQ(tw_test::CountOccurrences(Log(), "rebuilt"), int(std::size(hostile)));
}

TEST_F(TriTreeTest, TriangleTestConventions) {
  // Counter-clockwise seen from above: a ray down through it hits, a ray up does not.
  std::vector<TriTreeTriangle> one(1);
  const float v[3][3] = {{0, 0, 0}, {100, 0, 0}, {0, 100, 0}};
  std::memcpy(one[0].v, v, sizeof v);
  one[0].surface = 7;
  Level level(one, "one");
  vec3 zero{0, 0, 0};
  TraceRequest down = Request({20, 20, 10}, {20, 20, -10}, zero, zero);
  TriTree_Trace(&level.tree, &down);
  EXPECT_NEAR(down.fraction, (10 - 1 / 32.0f) / 20, 1e-6f);
  EXPECT_EQ(down.part, 7);
  EXPECT_EQ(down.factor, 1.0f);
  EXPECT_FLOAT_EQ(down.normal.z, 1.0f);
  TraceRequest cases[] = {
      Request({20, 20, -10}, {20, 20, 10}, zero, zero),  // from behind
      Request({-5, 20, 0}, {50, 20, 0}, zero, zero),     // along the face plane
      Request({20, 20, 10}, {20, 20, 5}, zero, zero),    // stops short
  };
  for (TraceRequest& r : cases) {
    TriTree_Trace(&level.tree, &r);
    EXPECT_EQ(r.fraction, 1.0f);
  }
  // A hit at exactly the fraction already held does not replace it.
  TraceRequest tie = Request({20, 20, 10}, {20, 20, -10}, zero, zero);
  tie.fraction = down.fraction;
  tie.part = 3;
  TriTree_Trace(&level.tree, &tie);
  EXPECT_EQ(tie.part, 3);
  // A box dropped onto it stops above it; a box already touching it stops at 0 (stepping back ends
  // there).
  TraceRequest box = Request({20, 20, 50}, {20, 20, -50}, {-8, -8, -8}, {8, 8, 8});
  TriTree_Trace(&level.tree, &box);
  EXPECT_LT(box.fraction, 0.42f);
  EXPECT_GT(box.fraction, 0.3f);
  EXPECT_EQ(box.part, 7);
  TraceRequest touching = Request({20, 20, 8}, {20, 20, -50}, {-8, -8, -8}, {8, 8, 8});
  TriTree_Trace(&level.tree, &touching);
  EXPECT_EQ(touching.fraction, 0.0f);
}

TEST_F(TriTreeTest, RotatedLevelTracesLikeATurnedCopy) {
  auto tris = SceneTool_BumpyGrid(12, 50.0f, 6);
  vec3 angles{0.7f, 0.3f, -0.2f}, origin{300, -200, 40};
  mat3 rot, inv;
  Mat_FromAngles(&rot, &angles);
  Mat_Inverse(&rot, &inv);
  auto turned = tris;
  for (auto& t : turned)
    for (auto& p : t.v) {
      vec3 in{p[0], p[1], p[2]}, out;
      Vec_Transform(&in, &rot, &origin, &out);
      p[0] = out.x, p[1] = out.y, p[2] = out.z;
    }
  Level local(tris, "local"), world(turned, "world");
  Rng rng{3};
  int hits = 0;
  vec3 zero{0, 0, 0};
  for (int i = 0; i < 400; ++i) {
    vec3 s{rng.Range(-100, 700), rng.Range(-100, 700), rng.Range(50, 200)};
    vec3 e{rng.Range(-100, 700), rng.Range(-100, 700), rng.Range(-200, 0)};
    vec3 ws, we, d;
    Vec_Transform(&s, &rot, &origin, &ws);
    Vec_Transform(&e, &rot, &origin, &we);
    TraceRequest w = Request(ws, we, zero, zero);
    TriTree_Trace(&world.tree, &w);
    TraceRequest r = Request(ws, we, zero, zero);
    r.rotated = 1, r.rotation = rot, r.inverseRotation = inv;
    r.localStart = s, r.localEnd = e;
    Vec_Subtract(&e, &s, &r.localDelta);
    Vec_Cross(&s, &e, &r.localMoment);
    TriTree_Trace(&local.tree, &r);
    ASSERT_EQ(r.fraction < 1, w.fraction < 1) << i;
    if (w.fraction == 1) continue;
    ++hits;
    EXPECT_NEAR(r.fraction, w.fraction, 1e-4f);
    Vec_Subtract(&r.normal, &w.normal, &d);
    EXPECT_LT(Vec_Length(&d), 1e-4) << i;
  }
  EXPECT_GT(hits, 300);
}

TEST_F(TriTreeTest, BuildSettingsAndLimits) {
  auto tris = SceneTool_RandomSoup(600, 400.0f, 30.0f, 1);
  // .hmp numbers of 0, missing or negative take 64 and 32.
  WriteFile("zero.hmp", "0 0");
  WriteFile("neg.hmp", "-5");
  float box;
  int per;
  EXPECT_EQ(TriTree_ReadHmp("absent", &box, &per), 0);
  Level defaults(tris, "defaults", 64.0f, 32);
  for (const char* name : {"zero", "neg"}) {
    ASSERT_EQ(TriTree_ReadHmp(name, &box, &per), 1);
    Level level(tris, name, box, per);
    EXPECT_EQ(0, std::memcmp(level.tree.nodes, defaults.tree.nodes, sizeof(TriTreeNode) * size_t(defaults.tree.nodeCount)));
  }
  // A leaf may hold more than the maximum when its box is shorter than the box size.
  Level coarse(tris, "coarse", 500.0f, 4);
  EXPECT_EQ(coarse.tree.nodeCount, 7);
  EXPECT_EQ(coarse.tree.nodes[6].count, 600);
  // A fan around one point can never be separated: the depth cap and the node budget hold.
  std::vector<TriTreeTriangle> fan(300);
  for (size_t i = 0; i < fan.size(); ++i) {
    float a = float(i) * 0.02f;
    const float p[3][3] = {{0, 0, 0}, {1000 * std::cos(a), 1000 * std::sin(a), 0}, {1000 * std::cos(a + 0.01f), 1000 * std::sin(a + 0.01f), 5}};
    std::memcpy(fan[i].v, p, sizeof p);
  }
  Level deep(fan, "fan", 0.001f, 1);
  EXPECT_LE(deep.tree.nodeCount, kTriTreeMaxWorkNodes);
  EXPECT_NE(Log().find("levels "), std::string::npos);
  vec3 zero{0, 0, 0};
  TraceRequest r = Request({1, 1, 10}, {1, 1, -10}, zero, zero);
  TriTree_Trace(&deep.tree, &r);
  EXPECT_LT(r.fraction, 1.0f);
}

// Stacked or overlapping triangles reach every leaf they cross: the build stops where a split
// separates nothing and keeps within its budget, so the cache stays a small multiple of the
// triangles' own size.
TEST_F(TriTreeTest, OverlappingTrianglesStayWithinTheBudget) {
  auto tri = [](float x0, float y0, float z0, float x1, float y1, float z1, float x2, float y2, float z2) {
    TriTreeTriangle t{};
    const float p[3][3] = {{x0, y0, z0}, {x1, y1, z1}, {x2, y2, z2}};
    std::memcpy(t.v, p, sizeof p);
    return t;
  };
  std::vector<TriTreeTriangle> square, stacked;
  for (int i = 0; i < 1000; ++i) {  // 2,000 copies of one square's two triangles
    square.push_back(tri(0, 0, 0, 4000, 0, 0, 4000, 4000, 0));
    square.push_back(tri(0, 0, 0, 4000, 4000, 0, 0, 4000, 0));
  }
  for (int i = 0; i < 2100; ++i) stacked.push_back(tri(0, 0, i * 0.5f, 4000, 0, i * 0.5f, 0, 4000, i * 0.5f));
  struct Case {
    const char* name;
    std::vector<TriTreeTriangle> tris;
    float maxBox;
    int maxTris;
    int nodes, budgetLines;  // nodes -1: any within the budget
  } cases[] = {{"square", square, 0.001f, 1, 7, 0},
               {"stacked", stacked, 1.0f, 1, 7, 0},
               {"crowded", SceneTool_RandomSoup(3000, 1000.0f, 700.0f, 4), 0.001f, 1, -1, 1}};
  for (Case& c : cases) {
    size_t lines = tw_test::CountOccurrences(Log(), "TriTree_Build: the tree stops at");
    Level level(c.tris, c.name, c.maxBox, c.maxTris);
    const int64_t t = int64_t(c.tris.size());
    if (c.nodes > 0) {
      EXPECT_EQ(level.tree.nodeCount, c.nodes) << c.name;
    }
    EXPECT_LE(level.tree.nodeCount, TriTree_MaxNodes(int32_t(t))) << c.name;
    EXPECT_LE(level.tree.indexCount, TriTree_MaxIndices(int32_t(t))) << c.name;
    EXPECT_LE(TriTree_MaxNodes(int32_t(t)), 2 * t + 1024);
    EXPECT_LE(TriTree_MaxIndices(int32_t(t)), 8 * t + 1024);
    std::string cache = tw_test::ReadFile(std::string(c.name) + ".hmp_cache");
    EXPECT_EQ(int64_t(cache.size()), 44 + 32 * int64_t(level.tree.nodeCount) + 4 * int64_t(level.tree.indexCount)) << c.name;
    EXPECT_LE(int64_t(cache.size()), 2 * 64 * t + 40000) << c.name;  // twice the triangles' own bytes
    EXPECT_EQ(tw_test::CountOccurrences(Log(), "TriTree_Build: the tree stops at") - lines, size_t(c.budgetLines)) << c.name;
    // Leaves that kept more triangles still answer as testing every triangle does.
    Rng rng{7};
    for (int i = 0; i < 300; ++i) {
      vec3 s{rng.Range(-100, 1100), rng.Range(-100, 1100), rng.Range(-100, 1100)};
      vec3 e{rng.Range(-100, 1100), rng.Range(-100, 1100), rng.Range(-100, 1100)};
      vec3 half{float(i % 2) * 8, float(i % 2) * 8, float(i % 2) * 8}, neg{-half.x, -half.y, -half.z};
      TraceRequest r = Request(s, e, neg, half);
      Brute b = BruteForce(level, r);
      TriTree_Trace(&level.tree, &r);
      ASSERT_EQ(r.fraction, b.fraction) << c.name << " " << i;
    }
  }
}

// A level inside a data archive: its cache is read from the archive when it fits and otherwise
// written as a loose file beside the level's name.
TEST(TriTreeArchive, CacheReadFromArchiveRewrittenLoose) {
  tw_test::TempDir dir;
  auto tris = SceneTool_RandomSoup(300, 300.0f, 30.0f, 12);
  std::string cache;
  {
    Level built(tris, "built", 50.0f, 4);
    cache = tw_test::ReadFile("built.hmp_cache");
  }
  std::remove("built.hmp_cache");
  std::string stale = cache;
  stale[8] ^= 1;  // another triangle count
  ZipWriter* w = ZipWriter_Create();
  ASSERT_EQ(ZipWriter_AddMember(w, "maps/good.hmp_cache", cache.data(), cache.size(), ZIPW_DEFLATED), 1);
  ASSERT_EQ(ZipWriter_AddMember(w, "maps/stale.hmp_cache", stale.data(), stale.size(), ZIPW_DEFLATED), 1);
  ASSERT_EQ(ZipWriter_FinishToFile(w, "main/data00.twk"), 1);
  File_Init();
  {
    Level good(tris, "maps\\good", 50.0f, 4);
    EXPECT_GT(good.tree.nodeCount, 7);
    Level stale(tris, "maps\\stale", 50.0f, 4);
    EXPECT_EQ(stale.Nodes().size(), good.Nodes().size());
  }
  File_Shutdown();
  EXPECT_FALSE(tw_test::FileExists("maps/good.hmp_cache"));  // loaded, not rewritten
  EXPECT_TRUE(tw_test::ReadFile("maps/stale.hmp_cache") == cache);
  EXPECT_EQ(tw_test::CountOccurrences(tw_test::ReadFile("log"), "rebuilt"), 1);
}

}  // namespace
