// 200 boxes settling on a 20,000-triangle mesh for 500 steps of 0.01 s: through the physics
// wrapper (level mesh from a traced level, bodies of objects, the table refreshed every step)
// against the same scene built and stepped with bare library calls in the same run (goal: the
// wrapper within 1.2 times the bare library; the counter "ratio" is wrapper / bare).
//   build/bin/bench_physics
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "physics/physics.h"
#include "platform/bullet_bare.h"
#include "scene/may.h"
#include "scene/model.h"
#include "scene/tritree.h"
#include "world/object.h"

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

constexpr int kGrid = 100;        // 100 x 100 quads, two triangles each
constexpr float kCell = 32.0f;    // game units
constexpr int kBoxes = 200;
constexpr float kHalf = 16.0f;    // game units
constexpr int kSteps = 500;

// Gently rolling ground, game units.
float Height(int i, int j) { return 8.0f * std::sin(float(i) * 0.3f) * std::cos(float(j) * 0.2f); }

std::vector<TriTreeTriangle> Ground() {
  std::vector<TriTreeTriangle> tris;
  auto corner = [](int i, int j, float* v) {
    v[0] = (float(i) - kGrid / 2) * kCell;
    v[1] = (float(j) - kGrid / 2) * kCell;
    v[2] = Height(i, j);
  };
  for (int i = 0; i < kGrid; i++)
    for (int j = 0; j < kGrid; j++) {
      TriTreeTriangle a{}, b{};
      corner(i, j, a.v[0]);
      corner(i + 1, j, a.v[1]);
      corner(i + 1, j + 1, a.v[2]);
      corner(i, j, b.v[0]);
      corner(i + 1, j + 1, b.v[1]);
      corner(i, j + 1, b.v[2]);
      tris.push_back(a);
      tris.push_back(b);
    }
  return tris;
}

// Box bottoms over the middle of the ground, 20 x 10, 80 units apart, 40 to 130 units up.
std::vector<vec3> Places() {
  std::vector<vec3> p;
  for (int b = 0; b < kBoxes; b++)
    p.push_back(vec3{float(b % 20) * 80 - 800, float(b / 20) * 80 - 400, 40.0f + float(b % 7) * 15});
  return p;
}

void BM_WrapperAgainstBareLibrary(benchmark::State& state) {
  std::vector<TriTreeTriangle> tris = Ground();
  TriTree tree{};
  tree.triangles = tris.data();
  tree.triangleCount = int32_t(tris.size());
  MaylLevel may{};
  may.tree = &tree;
  ModelObject level{Model_NoQuery, Model_NoDraw, mayb_Trace, Model_NoFree, &may};
  const std::vector<vec3> places = Places();

  std::vector<float> scaled;
  for (const TriTreeTriangle& t : tris)
    for (const auto& v : t.v)
      for (float c : v) scaled.push_back(c * kPhysicsScale);
  std::vector<float> centres;
  for (const vec3& p : places)
    for (float c : {p.x, p.y, p.z + kHalf}) centres.push_back(c * kPhysicsScale);
  const float half = kHalf * kPhysicsScale;
  const float mass = 8 * half * half * half * 4.0f;

  double wrapper = 0, bare = 0;
  int asleepWrapper = 0, asleepBare = 0;
  const float box[6] = {-kHalf, -kHalf, 0, kHalf, kHalf, 2 * kHalf};
  for (auto _ : state) {
    Clock::time_point t0 = Clock::now();
    Physics_InitLevel(&level);
    std::vector<GameObject*> objects;
    for (const vec3& p : places) {
      GameObject* o = Obj_Alloc();
      o->origin = p;
      Physics_AddBoxBody(o, box, 0);
      objects.push_back(o);
    }
    for (int s = 0; s < kSteps; s++) Physics_Frame(kPhysicsSubStep);
    asleepWrapper = 0;
    for (GameObject* o : objects) {
      if (Physics_BodyAsleep(o->physicsBody->index)) asleepWrapper++;
      Physics_SyncObject(o);
    }
    Obj_ClearAll();
    Physics_FreeLevel();
    Clock::time_point t1 = Clock::now();
    asleepBare = BulletBare_SettleBoxes(scaled.data(), int32_t(tris.size()), centres.data(), kBoxes, half, mass,
                                        -800.0f * kPhysicsScale, kSteps, float(kPhysicsSubStep));
    Clock::time_point t2 = Clock::now();
    wrapper += Seconds(t1 - t0);
    bare += Seconds(t2 - t1);
  }
  const double n = double(state.iterations());
  state.counters["wrapper_ms"] = wrapper / n * 1000.0;
  state.counters["bare_ms"] = bare / n * 1000.0;
  state.counters["ratio"] = bare > 0 ? wrapper / bare : 0;
  state.counters["goal"] = 1.2;
  state.counters["asleep_wrapper"] = asleepWrapper;
  state.counters["asleep_bare"] = asleepBare;
}
BENCHMARK(BM_WrapperAgainstBareLibrary)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
