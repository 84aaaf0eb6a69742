// A match on a local network as two players make one: two real executables in their own copies
// of the sample game, each on its own loopback address (the host on 127.0.0.2; the joiner on
// 127.0.0.3, whose refresh asks 127.0.0.2), driven through the multiplayer screens by real key
// events. The host's screen then shows the joiner's body straight ahead, where the joiner stands.
// Where the test may make a network namespace of its own the games run in it (the port is theirs
// alone), else on the machine's loopback.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "support/test_support.h"
#include "world/e2e_fixture.h"

namespace {

using tw_test::BarPixels;
using tw_test::ScreenImage;

// Pixels that differ clearly between two grabs right of the middle band (where the host's own
// body stands, breathing).
int Compare(const ScreenImage& a, const ScreenImage& b) {
  int count = 0;
  if (a.width != b.width || a.height != b.height || a.rgb.empty()) return count;
  for (int y = 0; y < a.height; y++)
    for (int x = a.width * 13 / 20; x < a.width; x++) {
      size_t i = (size_t(y) * a.width + x) * 3;
      int d = std::abs(a.rgb[i] - b.rgb[i]) + std::abs(a.rgb[i + 1] - b.rgb[i + 1]) + std::abs(a.rgb[i + 2] - b.rgb[i + 2]);
      count += d > 60;
    }
  return count;
}

class LanE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!tw_test::HaveDisplay()) GTEST_SKIP() << "no display";
    // A network of this test's own where it may make one (the display is reached by its socket
    // file either way).
    if (unshare(CLONE_NEWNET) == 0 && std::system("ip link set lo up >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "a network namespace without a loopback";
    for (const char* who : {"host", "join"}) {
      std::filesystem::create_directory(who);
      ASSERT_TRUE(tw_test::MakeSampleGame(dir_.Path() + "/" + who));
    }
    AddSettings("host", "\"net_bindaddress\" \"127.0.0.2\"\n\"game_playername\" \"Hostess\"\n");
    AddSettings("join", "\"net_bindaddress\" \"127.0.0.3\"\n\"net_refreshaddresses\" \"127.0.0.2\"\n"
                        "\"game_playername\" \"Guest\"\n");
  }
  void TearDown() override {
    for (int pid : {host_, join_})
      if (pid > 0) tw_test::EndGameProcess(pid);
  }
  static void AddSettings(const std::string& who, const std::string& lines) {
    std::string path = who + "/settings";
    tw_test::WriteFile(path, tw_test::ReadFile(path) + "\"video_windowed\" \"1\"\n" + lines);
  }
  static int Start(const std::string& who) {
    return tw_test::StartGameProcess(who.c_str());
  }
  static std::string Log(const std::string& who) { return tw_test::ReadFile(who + "/log"); }
  // Waits until the game's log holds `line`.
  static bool WaitForLog(const std::string& who, const std::string& line, int seconds) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < until) {
      if (Log(who).find(line) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
  }
  // Brings the game's window to the front and waits until it shows a menu.
  static bool FrontWithMenu(int pid, int seconds) {
    if (!tw_test::RaiseWindowByTitle("Tarnwick", 30000, pid)) return false;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < until) {
      if (BarPixels(tw_test::GrabScreen()) > 2000) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
  }
  // Keys to the game in front, a second apart (a screen opens between them), with the pointer in
  // the middle of the screen, where the game keeps it: moved over a menu it would take the bar to
  // its row.
  static void Keys(std::initializer_list<std::initializer_list<const char*>> steps) {
    for (auto step : steps) {
      const ScreenImage screen = tw_test::GrabScreen();
      ASSERT_TRUE(tw_test::SendKeys(screen.width / 2, screen.height / 2, std::vector<std::string>(step.begin(), step.end())));
      std::this_thread::sleep_for(std::chrono::seconds(1));
    }
  }
  // The front window as it settles: the last of three grabs half a second apart.
  static ScreenImage Settled() {
    ScreenImage img;
    for (int i = 0; i < 3; i++) {
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      img = tw_test::GrabScreen();
    }
    return img;
  }

  tw_test::TempDir dir_;
  int host_ = -1, join_ = -1;
};

TEST_F(LanE2E, HostAndJoinThroughTheScreensAndTheHostSeesTheJoinersBody) {
  host_ = Start("host");
  ASSERT_TRUE(FrontWithMenu(host_, 90)) << "no main menu on the host; its log:\n" << Log("host");
  // Multiplayer, Host a game, Up to Start, Enter.
  Keys({{"Down", "Return"}, {"Return"}, {"Up", "Return"}});
  ASSERT_TRUE(WaitForLog("host", "createserver", 30)) << Log("host");
  EXPECT_NE(Log("host").find("Level_Load: duel"), std::string::npos);
  ScreenImage alone = Settled();
  ScreenImage aloneAgain = Settled();

  join_ = Start("join");
  ASSERT_TRUE(FrontWithMenu(join_, 90)) << "no main menu on the joiner; its log:\n" << Log("join");
  // Multiplayer, Join a game (its refresh asks the host), then the host's row: Down twice, Enter.
  Keys({{"Down", "Return"}, {"Down", "Return"}});
  ASSERT_TRUE(WaitForLog("join", "NET:incoming Server from 127.0.0.2", 20)) << Log("join");
  Keys({{"Down", "Down", "Return"}});
  ASSERT_TRUE(WaitForLog("join", "NET:incoming AcceptClient from 127.0.0.2", 20)) << Log("join");
  EXPECT_TRUE(WaitForLog("host", "NET:send AcceptClient to 127.0.0.3", 5)) << Log("host");
  EXPECT_NE(Log("join").find("NET:send RefreshServerList to 127.0.0.2"), std::string::npos);
  EXPECT_EQ(Log("join").find("to broadcast"), std::string::npos);

  // The host, in front again: the joiner's body stands ahead, right of the host's own body.
  ASSERT_TRUE(tw_test::RaiseWindowByTitle("Tarnwick", 5000, host_));
  ScreenImage together = Settled();
  int noise = Compare(alone, aloneAgain);
  int body = Compare(alone, together);
  EXPECT_GT(body, noise + 100) << "noise " << noise;

  // The joiner ends its game: the host hears it and the body goes.
  ASSERT_TRUE(tw_test::RaiseWindowByTitle("Tarnwick", 5000, join_));
  Keys({{"Escape"}, {"Up", "Up", "Return"}});  // End game, the item before Quit
  EXPECT_TRUE(WaitForLog("host", "NET:incoming ClientQuit from 127.0.0.3", 20)) << Log("host");
  ASSERT_TRUE(tw_test::RaiseWindowByTitle("Tarnwick", 5000, host_));
  ScreenImage after = Settled();
  EXPECT_LT(Compare(alone, after), body);
}

}  // namespace
