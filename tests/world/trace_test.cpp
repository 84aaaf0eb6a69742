// Traces against objects: the box clip at its faces, the candidates of the last tick, the mover,
// its owner and characters found through the grid once.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <utility>

#include "world/trace.h"
#include "world_fixture.h"

namespace {

using tw_test::WorldTest;

class TraceTest : public WorldTest {
 protected:
  static TraceRequest Request(GameObject* mover, vec3 start, vec3 end, vec3 mins, vec3 maxs) {
    TraceRequest rq{};
    rq.start = start;
    rq.end = end;
    rq.mins = mins;
    rq.maxs = maxs;
    rq.fraction = 1.0f;
    rq.candidate = mover;
    rq.factor = 1.0f;
    rq.mask = 0xff;
    return rq;
  }
};

int g_clipCalls;
void CountingClip(GameObject* o, TraceRequest* rq) {
  g_clipCalls++;
  Obj_ClipCharacter(o, rq);
}

TEST_F(TraceTest, TheTickListsAnswerOnceEachSkipMoverAndOwnerAndBoxesClipAtTheirFaces) {
  GameObject* player = StartGame();
  player->person.state = 1;
  // A character standing across four grid cells (the cells meet at 64 from the player).
  GameObject* npc = Spawn(NPC, 64, 64);
  npc->mins = vec3{-16, -16, 0};
  npc->person.state = 1;
  npc->slots.Clip = CountingClip;
  GameObject* crate = Solid(Spawn(WORLD, 0, 200), {-20, -20, 0, 20, 20, 40});
  Game_Tick();  // the lists and grid of a tick of no time
  const vec3 mins{-16, -16, 0}, maxs{16, 16, 64};
  const uint32_t mask = TRACE_ANIMS | TRACE_CHARACTERS | TRACE_STATE1;
  TraceResult r;
  vec3 start{64, 0, 0}, end{64, 300, 0};
  g_clipCalls = 0;
  Obj_Trace(&r, player, &start, &mins, &maxs, &end, mask);
  EXPECT_EQ(g_clipCalls, 1);
  EXPECT_EQ(r.hitObject, npc);
  EXPECT_NEAR(r.end.y, 64 - 16 - 16 - 1 / 32.0f, 1e-3f);
  // A missile owned by the character passes it; the crate stops it.
  GameObject* shot = Spawn(PULKA);
  shot->owner = npc->id;
  Obj_Trace(&r, shot, &start, &mins, &maxs, &end, mask);
  EXPECT_EQ(r.hitObject, nullptr);
  vec3 toCrate{0, 300, 0};
  vec3 origin{0, 0, 0};
  Obj_Trace(&r, shot, &origin, &mins, &maxs, &toCrate, mask);
  EXPECT_EQ(r.hitObject, crate);
  // A mask without the state bit hits nothing.
  Obj_Trace(&r, player, &origin, &mins, &maxs, &toCrate, TRACE_ANIMS | TRACE_OTHER_STATES);
  EXPECT_EQ(r.hitObject, nullptr);
  // A character moved by the trace carries its history along.
  npc->origin = vec3{0, 100, 0};
  vec3 step{0, -500, 0};
  Obj_TraceMove(&r, npc, &step, mask);
  EXPECT_EQ(r.hitObject, player);
  for (const vec3& h : npc->history) EXPECT_EQ(h.y, r.end.y);
  EXPECT_EQ(npc->prevOrigin.y, r.end.y);
  // The box clip at its faces, from inside, and past it.
  GameObject* box = Spawn(WORLD, 100, 0);
  const float b[6] = {-10, -10, -10, 10, 10, 10};
  const vec3 zero{0, 0, 0};
  struct Case {
    vec3 start, end;
    int hit;
    float fraction;
  };
  const Case cases[] = {
      {{0, 0, 0}, {200, 0, 0}, 1, (90 - 1 / 32.0f) / 200},  // stopped 1/32 before the face
      {{0, 0, 0}, {90, 0, 0}, 0, 1},                       // ends exactly on the face
      {{100, 0, 0}, {200, 0, 0}, 0, 1},                    // starts inside
      {{0, 50, 0}, {200, 50, 0}, 0, 1},                    // passes by
  };
  for (const Case& c : cases) {
    TraceRequest rq = Request(box, c.start, c.end, zero, zero);
    EXPECT_EQ(Obj_ClipBox(box, b, &rq, 1.0f), c.hit) << c.end.x;
    EXPECT_NEAR(rq.fraction, c.fraction, 1e-6f);
  }
}

// Where the segment enters the grown box, in double precision; -1 when it misses or starts inside.
double SlabEnter(const double lo[3], const double hi[3], const double p[3], const double q[3], int* axisOut) {
  double enter = 0, leave = 1;
  int axis = -1;
  for (int k = 0; k < 3; k++) {
    double d = q[k] - p[k];
    if (d == 0) {
      if (p[k] <= lo[k] || p[k] >= hi[k]) return -1;
      continue;
    }
    double a = (lo[k] - p[k]) / d, b = (hi[k] - p[k]) / d;
    if (a > b) std::swap(a, b);
    if (a > enter) {
      enter = a;
      axis = k;
    }
    if (b < leave) leave = b;
  }
  if (axis < 0 || enter >= leave) return -1;
  *axisOut = axis;
  return enter;
}

// The box clip against an independent slab test over random boxes, paths and moving boxes:
// outside the 1/32-unit shell both agree on hit or miss, on the entering axis and, within the
// shell, on where the path enters.
TEST_F(TraceTest, BoxClipAgreesWithASlabTestOutsideTheEpsilonShell) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> coord(-200, 200), size(1, 60);
  GameObject* box = Spawn(WORLD);
  int hits = 0;
  for (int n = 0; n < 20000; n++) {
    box->origin = vec3{coord(rng), coord(rng), coord(rng)};
    float b[6] = {-size(rng), -size(rng), -size(rng), size(rng), size(rng), size(rng)};
    vec3 mins{-size(rng) / 4, -size(rng) / 4, -size(rng) / 4}, maxs{size(rng) / 4, size(rng) / 4, size(rng) / 4};
    vec3 start{coord(rng), coord(rng), coord(rng)}, end{coord(rng), coord(rng), coord(rng)};
    TraceRequest rq = Request(box, start, end, mins, maxs);
    int hit = Obj_ClipBox(box, b, &rq, 0.5f);
    double lo[3], hi[3], p[3] = {start.x, start.y, start.z}, q[3] = {end.x, end.y, end.z};
    const float* o = &box->origin.x;
    for (int k = 0; k < 3; k++) {
      lo[k] = double(o[k]) + b[k] - (&maxs.x)[k];
      hi[k] = double(o[k]) + b[3 + k] - (&mins.x)[k];
    }
    double len = std::sqrt((q[0] - p[0]) * (q[0] - p[0]) + (q[1] - p[1]) * (q[1] - p[1]) + (q[2] - p[2]) * (q[2] - p[2]));
    int axis = -1;
    double want = SlabEnter(lo, hi, p, q, &axis);
    // Decisions near the shell (1/32 unit along any face, float rounding) may differ.
    double shell = 0.1;
    bool nearShell = false;
    for (int k = 0; k < 3; k++)
      for (double c : {p[k], q[k]})
        if (std::fabs(c - lo[k]) < shell || std::fabs(c - hi[k]) < shell) nearShell = true;
    if (want >= 0 && want * len < shell) nearShell = true;
    if (nearShell) continue;
    ASSERT_EQ(hit != 0, want >= 0) << n;
    if (!hit) continue;
    hits++;
    double along = std::fabs(q[axis] - p[axis]);
    EXPECT_NEAR(double(rq.fraction) * along, want * along, 1.0 / 32 + 1e-3) << n;
    EXPECT_EQ((&rq.normal.x)[axis] != 0, true) << n;
    EXPECT_EQ(rq.hitObject, box);
    EXPECT_EQ(rq.factor, 0.5f);
  }
  EXPECT_GT(hits, 300);
}

}  // namespace
