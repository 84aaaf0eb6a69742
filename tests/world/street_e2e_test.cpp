// The real executable on the sample street: with the hero standing at the start, passers-by of
// the street's templates and cars appear (the spawn trace on standard output), never more than
// the caps of the street's navigation file. Without OpenGL the game runs on without drawing: a new
// game reaches the street and Quit ends it cleanly.
#include <algorithm>
#include <string>

#include "e2e_fixture.h"
#include "tools/nav_writer.h"

namespace {

using StreetE2E = tw_test::GameE2E;

TEST_F(StreetE2E, PassersByAndCarsAppearNeverAboveTheCaps) {
  StartNewGame();
  if (HasFatalFailure()) return;
  std::this_thread::sleep_for(std::chrono::seconds(8));
  EndGameAndQuit();
  if (HasFatalFailure()) return;
  // Spawn trace blocks of characters without an id: the level's own characters all carry one.
  std::string out = tw_test::ReadFile("stdout.txt");
  int civilians = 0, cars = 0, others = 0;
  for (size_t at = out.find("{\nclassname npc\n"); at != std::string::npos; at = out.find("{\nclassname npc\n", at + 1)) {
    std::string block = out.substr(at, out.find("}\n", at) - at);
    if (block.find("\nid ") != std::string::npos) continue;
    if (block.find("\nname npc\\townsman\\body\n") != std::string::npos ||
        block.find("\nname npc\\mirasolvek\\body\n") != std::string::npos)
      civilians++;
    else if (block.find("\nname cars\\runabout\\body\n") != std::string::npos)
      cars++;
    else
      others++;
  }
  const NavWriterFile street = NavWriter_SampleStreet();
  EXPECT_GE(civilians, 1) << out;
  EXPECT_LE(civilians, std::max(street.caps[1], street.caps[2])) << out;
  EXPECT_GE(cars, 1) << out;
  EXPECT_LE(cars, street.caps[0]) << out;
  EXPECT_EQ(others, 0) << out;
}

// The game started where the OpenGL library cannot be loaded: nothing is drawn, so the keys are
// timed by the log.
class NoRendererE2E : public tw_test::GameE2E {
 protected:
  void SetUp() override {
    setenv("SDL_OPENGL_LIBRARY", "/nonexistent/libGL.so.1", 1);
    GameE2E::SetUp();
    unsetenv("SDL_OPENGL_LIBRARY");
  }
  bool WaitForLog(const char* line, int seconds) {
    for (int i = 0; i < seconds * 10 && Running(); i++) {
      if (tw_test::ReadFile("log").find(line) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }
};

TEST_F(NoRendererE2E, NewGameReachesTheStreetAndQuits) {
  if (HasFatalFailure()) return;
  ASSERT_TRUE(WaitForLog("Unable load OPENGL32.DLL.", 30)) << tw_test::ReadFile("log");
  std::this_thread::sleep_for(std::chrono::seconds(2));
  Keys({"Escape"});
  std::this_thread::sleep_for(std::chrono::seconds(2));
  Keys({"Return"});
  std::this_thread::sleep_for(std::chrono::seconds(1));
  Keys({"Down", "Return"});
  ASSERT_TRUE(WaitForLog("initheightmap maps\\street\\street.hmp", 60)) << tw_test::ReadFile("log");
  std::this_thread::sleep_for(std::chrono::seconds(4));
  ASSERT_TRUE(Running()) << "the game ended in the street; the log:\n" << tw_test::ReadFile("log");
  Keys({"Escape"});
  std::this_thread::sleep_for(std::chrono::seconds(2));
  Keys({"Up", "Up", "Return"});  // End game
  std::this_thread::sleep_for(std::chrono::seconds(2));
  Keys({"Up", "Return"});  // Quit
  for (int i = 0; i < 300 && Running(); i++) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_FALSE(Running()) << "Quit did not end the game; the log:\n" << tw_test::ReadFile("log");
  ASSERT_TRUE(WIFEXITED(status_)) << "the game died; the log:\n" << tw_test::ReadFile("log");
  EXPECT_EQ(WEXITSTATUS(status_), 0);
}

}  // namespace
