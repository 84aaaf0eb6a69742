// The effects pool: a fixed number of records taken zero-filled, retired when their life runs out
// and handed back.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "world/fx.h"
#include "world/game.h"

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

}  // namespace
