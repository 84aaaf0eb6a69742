// The effects pool: a fixed number of records, each taken zero-filled, all back after a reset.
#include <gtest/gtest.h>

#include <set>

#include "world/fx.h"

namespace {

TEST(EffectsPool, TakesEveryRecordOnceThenRefusesUntilReset) {
  Fx_Reset();
  std::set<FxRecord*> taken;
  for (int i = 0; i < kFxRecords; i++) {
    FxRecord* fx = Fx_Alloc();
    ASSERT_NE(fx, nullptr);
    EXPECT_EQ(fx->active, 0u);
    EXPECT_EQ(Fx_ActiveList, fx);  // the newest stands first
    fx->active = 1;
    fx->size = 3;
    taken.insert(fx);
  }
  EXPECT_EQ(taken.size(), size_t(kFxRecords));
  EXPECT_EQ(Fx_Alloc(), nullptr);
  Fx_Reset();
  EXPECT_EQ(Fx_ActiveList, nullptr);
  FxRecord* again = Fx_Alloc();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->size, 0.0f);  // zero-filled when taken
  EXPECT_EQ(again->next, nullptr);
  Fx_Reset();
}

}  // namespace
