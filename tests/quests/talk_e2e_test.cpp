// Talking to the sample's townsman in the real executable with real key events: the townsman
// stands just ahead of the start; Use opens his dialogue, key 1 asks for work (a flag and the
// gate-key objective), the quick save holds both, key 1 again ends the talk, and the game quits.
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tools/entity_writer.h"
#include "world/e2e_fixture.h"

namespace {

using tw_test::ScreenImage;

class TalkE2E : public tw_test::GameE2E {
 protected:
  void PrepareGame() override {
    std::string bot;
    for (const auto& [name, text] : Tool_SampleEntityFiles())
      if (name == "scenes/street.bot") bot = text;
    const char* from = "\"300 200 0\"";
    size_t at = bot.find(from);
    ASSERT_NE(at, std::string::npos);
    bot.replace(at, std::strlen(from), "\"60 0 0\"");  // ahead of the start, which faces +x
    tw_test::WriteFile("scenes/street.bot", bot);
  }
  // The text in a saved header's slot.
  static std::string Slot(const std::vector<uint8_t>& save, size_t at) {
    if (save.size() <= at) return "";
    return std::string(reinterpret_cast<const char*>(&save[at]), strnlen(reinterpret_cast<const char*>(&save[at]), save.size() - at));
  }
};

TEST_F(TalkE2E, UseOpensTheDialogueAndTheChosenAnswersFlagAndObjectiveAreInTheQuickSave) {
  PlacePointer();
  StartNewGame();
  if (HasFatalFailure()) return;
  std::this_thread::sleep_for(std::chrono::seconds(1));
  ScreenImage street = tw_test::GrabScreen(), img;
  Keys({"e"}, 100);
  ASSERT_TRUE(WaitFor([&](const ScreenImage& i) { return tw_test::MiddleDifference(i, street) > 2; }, &img, 5))
      << "no dialogue screen; the log:\n" << tw_test::ReadFile("log");
  Keys({"1"}, 100);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  Keys({"F5"}, 100);
  ASSERT_TRUE(WaitForLog("Save:game saved.", 10)) << tw_test::ReadFile("log");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const std::vector<uint8_t> save = tw_test::ReadBytes("save/quicksave/quick.sav");
  ASSERT_GT(save.size(), 120740u);
  EXPECT_EQ(Slot(save, 40920), "gate_job");         // the first quest flag
  EXPECT_EQ(Slot(save, 9024), "carry_gate_key");    // the first objective's condition
  EXPECT_EQ(Slot(save, 13120), "greeter\\paid");    // and its script
  EXPECT_EQ(Slot(save, 312), "missions\\gate_job");  // the mission
  Keys({"1"}, 100);  // "I'll find it." ends the talk
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EndGameAndQuit();
}

}  // namespace
