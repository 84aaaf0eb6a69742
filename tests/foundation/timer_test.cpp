// The engine clock and the frame clock over an injected tick source.
#include <gtest/gtest.h>

#include <cstdint>

#include "foundation/timer.h"
#include "foundation/var.h"
#include "platform/clock.h"

namespace {

uint64_t g_ticks;  // nanoseconds of the fake monotonic clock
uint64_t FakeTicks() { return g_ticks; }

constexpr uint64_t kSecond = 1000000000ull;

class TimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Var_ResetTable();
    g_ticks = 123456789012345ull;
    PlatClock_SetSource(FakeTicks);
    Timer_Init(0);
    mp_ = Var_Find("multiprocessor");
    ASSERT_NE(mp_, nullptr);
  }
  void TearDown() override {
    Timer_Shutdown();
    PlatClock_SetSource(nullptr);
    Var_ResetTable();
  }
  void StartWith(float multiprocessor) {
    mp_->value = multiprocessor;
    Timer_Init(1);
  }
  VarRecord* mp_ = nullptr;
};

}  // namespace

TEST_F(TimerTest, MillisecondSourceAndTheFrameClock) {
  StartWith(1);
  EXPECT_EQ(Timer_FrameInit(1), 1);
  EXPECT_EQ(Timer_ReadClock(), 0.0);
  g_ticks += 1500 * 1000000ull + 400000;  // 1.5004 s: whole milliseconds only
  EXPECT_NEAR(Timer_Now(), 1.5, 1e-9);
  g_ticks += 50ull * 24 * 3600 * kSecond;  // past 2^32 milliseconds: no wrap
  EXPECT_NEAR(Timer_GetTime(), 1.5 + 50.0 * 24 * 3600, 1e-3);
  // The frame clock: reset, one 16 ms step, then a frame without time.
  Timer_ResetFrame();
  EXPECT_EQ(Timer_FrameDelta, 0.0);
  const double start = Timer_FrameTime;
  EXPECT_NEAR(start, 1.5 + 50.0 * 24 * 3600, 1e-3);  // the clock's time at the reset
  g_ticks += 16 * 1000000ull;
  Timer_UpdateFrame();
  EXPECT_NEAR(Timer_FrameDelta, 0.016, 1e-9);
  EXPECT_NEAR(Timer_FrameTime, start + 0.016, 1e-9);
  Timer_UpdateFrame();
  EXPECT_EQ(Timer_FrameDelta, 0.0);
}

TEST_F(TimerTest, CounterSourceRebasesStaysMonotonicAndIsLatched) {
  StartWith(0);
  double last = Timer_ReadClock();
  EXPECT_EQ(last, 0.0);
  // A 1 GHz counter passes 2^32 counts every 4.29 s; the clock never jumps back.
  for (int i = 0; i < 100; i++) {
    g_ticks += kSecond / 2 + 12345;
    double now = Timer_ReadClock();
    EXPECT_GT(now, last);
    last = now;
  }
  EXPECT_NEAR(last, 100 * (0.5 + 12345e-9), 1e-6);
  mp_->value = 1;  // a change while the clock runs does not switch sources
  g_ticks += 1000 * kSecond + 1234567;
  EXPECT_NEAR(Timer_ReadClock(), last + 1000.001234567, 1e-6);
}

// A stopped clock keeps answering the time it had when it stopped.
TEST_F(TimerTest, StoppedClockKeepsLastValue) {
  StartWith(1);
  g_ticks += 3 * kSecond;
  EXPECT_NEAR(Timer_Now(), 3.0, 1e-9);
  Timer_Shutdown();
  EXPECT_FALSE(Timer_IsRunning());
  g_ticks += 3 * kSecond;
  EXPECT_NEAR(Timer_Now(), 3.0, 1e-9);
}
