// The real executable on the sample street: the hero loads the pistol (R), turns to the townsman
// standing at (300, 200) with the mouse, fires one bullet at him (a key bound to "Fire") and
// quick saves; the quick save holds the townsman hurt by one bullet.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "e2e_fixture.h"
#include "foundation/vecmath.h"

namespace {

class FireE2E : public tw_test::GameE2E {
 protected:
  void PrepareGame() override {
    tw_test::WriteFile("settings",
                       tw_test::ReadFile("settings") + "\"Keyboard F\" \"Fire\"\n\"mouse_sensitivity\" \"18\"\n");
  }
};

// Health values of the saved characters of that name: the person block's name is followed 76
// bytes on by its health, 72 by its state (1 alive, 2 dead).
std::vector<float> SavedHealth(const std::vector<uint8_t>& save, const char* name) {
  std::vector<float> out;
  const size_t n = std::strlen(name) + 1;
  for (size_t at = 0; at + 80 <= save.size(); at++) {
    if (std::memcmp(&save[at], name, n) != 0) continue;
    int32_t state;
    float health;
    std::memcpy(&state, &save[at + 72], 4);
    std::memcpy(&health, &save[at + 76], 4);
    if (state == 1 || state == 2) out.push_back(health);
  }
  return out;
}

TEST_F(FireE2E, ABulletAtThePasserByShowsInTheQuickSave) {
  PlacePointer();
  StartNewGame();
  if (HasFatalFailure()) return;
  std::this_thread::sleep_for(std::chrono::seconds(1));
  Keys({"r"});  // the pistol's magazine from the reserve
  // From the start (0, 0) facing +x, the townsman is atan2(300, 200) away from +y: turn left by
  // the difference at sensitivity 18.
  const double perPixel = kMathPi * 0.022 * 18 / 180;
  MoveMouse(-int(std::lround((kMathPi / 2 - std::atan2(300.0, 200.0)) / perPixel)), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  Keys({"f"});
  std::this_thread::sleep_for(std::chrono::seconds(2));
  Keys({"F5"});
  for (int i = 0; i < 50 && !tw_test::FileExists("save/quicksave/quick.sav"); i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(tw_test::FileExists("save/quicksave/quick.sav")) << tw_test::ReadFile("log");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  std::vector<float> health = SavedHealth(tw_test::ReadBytes("save/quicksave/quick.sav"), "townsman_1");
  ASSERT_EQ(health.size(), 1u);
  EXPECT_FLOAT_EQ(health[0], 80.0f - 25.0f) << "the townsman was not hit by one bullet; the log:\n"
                                             << tw_test::ReadFile("log");
  EndGameAndQuit();
}

}  // namespace
