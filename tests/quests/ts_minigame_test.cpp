// The terminal's mini-game through the bridge: the library opened from a file (missing, lacking an
// operation, a named pipe, or the project's own), the start by use text, the forwarded keys,
// clicks and pointer, the end with a win (the prize paid) and without one, and damaged prize files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/file.h"
#include "foundation/keys.h"
#include "foundation/random.h"
#include "foundation/text.h"
#include "foundation/timer.h"
#include "minigame/mg_api.h"
#include "platform/dynlib.h"
#include "quests/minigame.h"
#include "quests/ts.h"
#include "support/input_fixture.h"
#include "world/frame2d.h"
#include "world/game.h"
#include "world/gameinput.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/object.h"

namespace {

const std::string kLibrary = std::string(TW_BIN_DIR) + "/minigame.so";
const std::string kLacking = std::string(TW_BIN_DIR) + "/minigame_lacking.so";

// What the library drew through a recording table: its texts with their boxes.
struct DrawnText {
  float left, top, right, bottom;
  std::string text;
};
std::vector<DrawnText> g_texts;
void RecordText(float l, float t, float r, float b, float, const char* text, uint8_t, uint8_t, uint8_t) {
  g_texts.push_back({l, t, r, b, text});
}
void NoRect(float, float, float, float, uint8_t, uint8_t, uint8_t, uint8_t) {}
// The same draws from the random table as the game's own table gives the library.
int32_t TableRandom(int32_t count) {
  int32_t v = int32_t(Math_RandNext() * float(count));
  return v < 0 ? 0 : v >= count ? count - 1 : v;
}

class MiniGameTest : public tw_test::InputFixture {
 protected:
  void SetUp() override {
    InputFixture::SetUp();
    GameVars_Init(1);
    Level_Free();
    TextFile_Flush();
    Level_Load("street");
    player_ = Obj_Player;
    ASSERT_NE(player_, nullptr);
    player_->person.money = 1000;
    terminal_ = Obj_Alloc();
    terminal_->classNum = WORLD;
    tw_test::WriteFile("data/scripts/minigame/prize07.cfg", "[money] [250]\n");
    Math_RandInit();
  }
  void TearDown() override {
    MiniGame_Unload();
    std::snprintf(MiniGame_LibraryPath, sizeof MiniGame_LibraryPath, "./minigame.so");
    Timer_FrameDelta = 0;
    Level_Free();
    TextFile_Flush();
    InputFixture::TearDown();
  }
  static void UseLibrary(const std::string& path) {
    MiniGame_Unload();
    std::snprintf(MiniGame_LibraryPath, sizeof MiniGame_LibraryPath, "%s", path.c_str());
  }
  int Use(const char* text) { return Game_ApplyUseText(player_, terminal_, text); }
  static void Press(int code) {
    Queue(code, true);
    Game_FrameInput();
    Queue(code, false);
    Game_FrameInput();
  }
  // The lock the library makes for this money and the random table at `index`: the key's three
  // codes and the middles of the grid's cells with their codes, read from what it draws.
  struct Lock {
    std::vector<std::string> key;
    std::vector<DrawnText> cells;
  };
  static Lock ReadLock(int32_t money, int index) {
    Lock lock;
    void* lib = PlatLib_Open(kLibrary.c_str());
    EXPECT_NE(lib, nullptr) << PlatLib_LastError();
    if (!lib) return lock;
    auto init = reinterpret_cast<MgInitFn>(PlatLib_Symbol(lib, "MG_Init"));
    auto render = reinterpret_cast<MgRenderFn>(PlatLib_Symbol(lib, "MG_Render"));
    auto release = reinterpret_cast<MgFreeFn>(PlatLib_Symbol(lib, "MG_Free"));
    MgCallbacks cb{kMgApiVersion, money, NoRect, RecordText, nullptr, nullptr, TableRandom};
    Math_RandSetIndex(index);
    EXPECT_EQ(init(&cb, money), 1);
    g_texts.clear();
    render();
    release();
    PlatLib_Close(lib);
    for (const DrawnText& t : g_texts) {
      if (t.text.size() != 2) continue;
      if (t.top < 140) lock.key.push_back(t.text);
      else lock.cells.push_back(t);
    }
    return lock;
  }
  // A cell with that code not taken yet; its place on the layout.
  static bool FindCell(const Lock& lock, const std::string& code, std::vector<bool>& taken, float* x, float* y) {
    for (size_t i = 0; i < lock.cells.size(); i++)
      if (!taken[i] && lock.cells[i].text == code) {
        taken[i] = true;
        *x = (lock.cells[i].left + lock.cells[i].right) / 2;
        *y = (lock.cells[i].top + lock.cells[i].bottom) / 2;
        return true;
      }
    return false;
  }
  // One frame of mode 3's drawing with the pointer at (x, y).
  static void PointerFrame(float x, float y) {
    Game_CursorX = x;
    Game_CursorY = y;
    TS_Draw();
  }
  GameObject* player_ = nullptr;
  GameObject* terminal_ = nullptr;
};

TEST_F(MiniGameTest, WithoutTheLibraryOrWithOneLackingAnOperationTheUseTextLogsOneLineAndPlayGoesOn) {
  const struct {
    std::string path;
    const char* line;
  } cases[] = {{"./nothing.so", "minigame: no mini-game library ("},
               {kLacking, "lacks MG_KeyDown; 7 not started"},
               {"./pipe.so", "minigame: no mini-game library (./pipe.so is not a regular file); 7 not started\n"}};
  ASSERT_EQ(mkfifo("pipe.so", 0666), 0);  // never waited on for a writer
  for (const auto& c : cases) {
    UseLibrary(c.path);
    const size_t before = tw_test::ReadFile("log").size();
    alarm(30);  // a blocking open ends the test instead of hanging it
    EXPECT_EQ(Use("[minigame] [7]"), 0);
    alarm(0);
    EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_NONE);
    const std::string added = tw_test::ReadFile("log").substr(before);
    EXPECT_NE(added.find(c.line), std::string::npos) << added;
    EXPECT_EQ(tw_test::CountOccurrences(added, "\n"), 1) << added;
  }
}

TEST_F(MiniGameTest, TheKeysCodesPickedInOrderWinAndPayThePrize) {
  UseLibrary(kLibrary);
  const Lock lock = ReadLock(1000, 40);
  ASSERT_EQ(lock.key.size(), 3u);
  ASSERT_EQ(lock.cells.size(), 16u);
  player_->person.money = 50;
  Game_Use.miniGame[0] = 0;
  EXPECT_EQ(Use("[minigame] [7]"), 0) << "50 is not enough to play";
  EXPECT_STREQ(Game_Use.miniGame, "7") << "the name is kept whatever the money";
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_NONE);
  player_->person.money = 1000;
  Math_RandSetIndex(40);
  ASSERT_EQ(Use("[minigame] [7]"), 1);
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_MINIGAME);
  EXPECT_EQ(Game_CursorX, 320.0f) << "the pointer starts in the middle";
  std::vector<bool> taken(lock.cells.size());
  for (int k = 0; k < 3; k++) {
    float x, y;
    ASSERT_TRUE(FindCell(lock, lock.key[size_t(k)], taken, &x, &y));
    PointerFrame(x, y);
    Press(k == 1 ? KEY_SPACE : kKeyMouseLeft);  // Space picks the cell under the pointer too
  }
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_MINIGAME) << "the result shows before the game ends";
  EXPECT_EQ(player_->person.money, 1000);
  Timer_FrameDelta = 1.0;
  TS_Draw();
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_NONE);
  EXPECT_EQ(player_->person.money, 1250);
  EXPECT_NE(tw_test::ReadFile("log").find("minigame: 7 won"), std::string::npos);
}

TEST_F(MiniGameTest, EscapeAndThreeWrongPicksEndTheGameWithoutAPrize) {
  UseLibrary(kLibrary);
  ASSERT_EQ(Use("[minigame] [7]"), 1);
  Press(KEY_ESCAPE);
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_MINIGAME);
  EXPECT_FALSE(Game_MenuOpen) << "Escape goes to the mini-game";
  TS_Draw();
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_NONE);
  EXPECT_EQ(player_->person.money, 1000);
  EXPECT_NE(tw_test::ReadFile("log").find("minigame: 7 given up"), std::string::npos);
  // Three picks of a code that is not the key's first: the tries run out.
  const Lock lock = ReadLock(1000, 80);
  ASSERT_EQ(lock.cells.size(), 16u);
  const DrawnText* wrong = nullptr;
  for (const DrawnText& c : lock.cells)
    if (c.text != lock.key[0]) wrong = &c;
  ASSERT_NE(wrong, nullptr);
  Math_RandSetIndex(80);
  ASSERT_EQ(Use("[minigame] [7]"), 1);
  for (int i = 0; i < 3; i++) {
    PointerFrame((wrong->left + wrong->right) / 2, (wrong->top + wrong->bottom) / 2);
    Press(kKeyMouseLeft);
  }
  Timer_FrameDelta = 1.0;
  TS_Draw();
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_NONE);
  EXPECT_EQ(player_->person.money, 1000);
  // Clicks outside every cell and the middle button change nothing.
  Timer_FrameDelta = 0;
  ASSERT_EQ(Use("[minigame] [7]"), 1);
  PointerFrame(20, 20);
  Press(kKeyMouseLeft);
  Press(kKeyMouseMiddle);
  TS_Draw();
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_MINIGAME);
  Press(KEY_ESCAPE);
  TS_Draw();
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_NONE);
}

TEST_F(MiniGameTest, AbsurdPrizeFilesAndNamesPayNothingWithOneLineEach) {
  const char* files[] = {"[money] [-5]\n", "[money] [1000000000]\n", "[money] [12abc]\n", "[gold] [5]\n",
                         "[money]\n", "\n", "[money] [5] [money] [6]\n"};
  for (const char* text : files) {
    TextFile_Flush();
    tw_test::WriteFile("data/scripts/minigame/prize08.cfg", text);
    const size_t before = tw_test::ReadFile("log").size();
    EXPECT_EQ(MiniGame_PayPrize("8"), -1) << text;
    const std::string added = tw_test::ReadFile("log").substr(before);
    EXPECT_EQ(tw_test::CountOccurrences(added, "\n"), 1) << text << added;
    EXPECT_NE(added.find("MiniGame_PayPrize: "), std::string::npos) << text;
  }
  for (const char* name : {"", "x1", "100", "-1", "09", "99"}) EXPECT_EQ(MiniGame_PayPrize(name), -1) << name;
  EXPECT_EQ(player_->person.money, 1000);
  EXPECT_EQ(MiniGame_PayPrize("07"), 250) << "names are numbers: 07 is prize07";
  EXPECT_EQ(player_->person.money, 1250);
}

}  // namespace
