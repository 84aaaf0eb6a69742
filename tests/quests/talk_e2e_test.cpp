// Talking to the sample's townsman in the real executable with real key events: the townsman
// stands just ahead of the start and the gate key's crate just behind it; Use opens his dialogue,
// key 1 asks for work (a flag and the gate-key objective), the quick save holds both, key 1 again
// ends the talk; the hero turns about, takes the key, and the next quick save holds the flag with
// the objective done and kept as met; the game quits.
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
    tw_test::WriteFile("settings", tw_test::ReadFile("settings") + "\"mouse_sensitivity\" \"50\"\n");
    std::string items;
    for (const auto& [name, text] : Tool_SampleEntityFiles())
      if (name == "scenes/street.items") items = text;
    const char* key = "\"-1080 -450 0\"";
    size_t keyAt = items.find(key);
    ASSERT_NE(keyAt, std::string::npos);
    items.replace(keyAt, std::strlen(key), "\"-100 0 0\"");  // behind the start
    tw_test::WriteFile("scenes/street.items", items);
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

TEST_F(TalkE2E, TheAnswersFlagAndObjectiveReachTheQuickSaveAndTheGateKeyCompletesIt) {
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
  // About turn, look down, walk into the key's crate and take it: the objective is done.
  MoveMouse(-164, 0);
  MoveMouse(0, 55);
  Keys({"w"}, 600);
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  Keys({"e"}, 100);
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  Keys({"F5"}, 100);
  auto saves = [] {
    std::string log = tw_test::ReadFile("log");
    int n = 0;
    for (size_t at = log.find("Save:game saved."); at != std::string::npos; at = log.find("Save:game saved.", at + 1)) n++;
    return n;
  };
  for (int i = 0; i < 50 && saves() < 2; i++) std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ASSERT_EQ(saves(), 2) << tw_test::ReadFile("log");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const std::vector<uint8_t> after = tw_test::ReadBytes("save/quicksave/quick.sav");
  ASSERT_GT(after.size(), 120740u);
  EXPECT_EQ(Slot(after, 40920), "gate_job");
  EXPECT_EQ(Slot(after, 9024), "") << "the gate key did not complete the objective";
  EXPECT_EQ(Slot(after, 576), "carry_gate_key");  // the mission's first row: the goal met
  EndGameAndQuit();
}

}  // namespace
