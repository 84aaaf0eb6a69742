// The effects pool: a fixed number of records taken zero-filled, moved by the tick, retired when
// their life runs out and handed back, all without touching the heap.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <set>

#include "world/fx.h"
#include "world/game.h"

namespace {
std::atomic<long> g_news{0};
}

// Counts every allocation of this test program.
void* operator new(std::size_t n) {
  g_news++;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

int FreeCount() {
  // Takes every free record and gives them back with a reset-free update.
  int n = 0;
  while (FxRecord* fx = Fx_Alloc()) {
    fx->active = 0;
    n++;
  }
  Fx_Update();
  return n;
}

FxRecord* Live(float start, float duration) {
  FxRecord* fx = Fx_Alloc();
  fx->active = 1;
  fx->startTime = start;
  fx->duration = duration;
  return fx;
}

TEST(EffectsPool, TakesEveryRecordOnceThenRefusesUntilResetAndLifeEndsAfterItsDuration) {
  Fx_Reset();
  std::set<FxRecord*> taken;
  for (int i = 0; i < kFxRecords; i++) {
    FxRecord* fx = Fx_Alloc();
    ASSERT_NE(fx, nullptr);
    fx->active = 1;
    fx->size = 3;
    taken.insert(fx);
  }
  EXPECT_EQ(taken.size(), size_t(kFxRecords));
  EXPECT_EQ(Fx_Alloc(), nullptr);  // the 2049th
  Fx_Reset();                      // forgets the live ones at once
  EXPECT_EQ(Fx_ActiveList, nullptr);
  FxRecord* again = Fx_Alloc();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->size, 0.0f);  // zero-filled when taken
  Fx_Reset();
  EXPECT_EQ(FreeCount(), kFxRecords);
  // A life ends strictly after its duration.
  Game_Step = 0.5;
  struct Case {
    float duration;
    double now;
    bool live;  // after one update at `now`
  } cases[] = {
      {1.0f, 11.0, true}, {1.0f, 11.0001, false},
      {0.0f, 10.0, false},  // a record of no length is finished at its first update
      {-2.0f, 10.0, false},
  };
  for (const Case& c : cases) {
    Fx_Reset();
    FxRecord* fx = Live(10.0f, c.duration);
    Game_Time = c.now;
    Fx_Update();
    EXPECT_EQ(fx->active != 0, c.live) << c.duration << " at " << c.now;
    EXPECT_TRUE(std::isfinite(fx->life));
    // A finished record is back on the free list at the next update, and only then.
    EXPECT_EQ(FreeCount(), kFxRecords - 1);
    EXPECT_EQ(FreeCount(), kFxRecords - (c.live ? 1 : 0));
  }
}

TEST(EffectsPool, MovesLiveRecordsAndReturnsUnusedOnesUnmoved) {
  Fx_Reset();
  Game_Time = 0;
  Game_Step = 0.5;
  FxRecord* flying = Live(0, 10);
  flying->velocity = {2, 0, 4};
  flying->acceleration = {0, 0, -8};
  FxRecord* unused = Fx_Alloc();  // taken and never marked live
  unused->velocity = {100, 100, 100};
  FxRecord* last = Live(0, 10);
  Fx_Update();
  // The position moves with last tick's velocity, then the velocity changes.
  EXPECT_FLOAT_EQ(flying->position.x, 1);
  EXPECT_FLOAT_EQ(flying->position.z, 2);
  EXPECT_FLOAT_EQ(flying->velocity.z, 0);
  Fx_Update();
  EXPECT_FLOAT_EQ(flying->position.z, 2);
  EXPECT_FLOAT_EQ(flying->velocity.z, -4);
  EXPECT_EQ(unused->position.x, 0);
  int onList = 0;
  for (FxRecord* fx = Fx_ActiveList; fx; fx = fx->next) {
    EXPECT_NE(fx, unused);
    onList++;
  }
  EXPECT_EQ(onList, 2);
  EXPECT_EQ(last->active, 1u);
  Fx_Reset();
}

TEST(EffectsPool, TakingUpdatingAndResettingNeverAllocate) {
  Fx_Reset();
  Game_Time = 0;
  Game_Step = 0.01;
  long before = g_news;
  for (int round = 0; round < 3; round++) {
    while (FxRecord* fx = Fx_Alloc()) {
      fx->active = 1;
      fx->duration = 0.02f;
      fx->startTime = float(Game_Time);
    }
    for (int i = 0; i < 5; i++) {
      Game_Time += Game_Step;
      Fx_Update();
    }
  }
  Fx_Reset();
  EXPECT_EQ(g_news.load(), before);
}

}  // namespace
