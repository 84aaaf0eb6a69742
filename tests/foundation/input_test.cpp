// Keyboard and mouse: device translation, the frame's input state, key bindings, repeat and the
// cheat words. The devices run on SDL's dummy video driver, fed with pushed SDL events.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "characters/actions.h"
#include "foundation/text.h"
#include "foundation/timer.h"
#include "support/input_fixture.h"
#include "world/game.h"
#include "world/gamevars.h"

namespace {

double g_now;
double FakeClock() { return g_now; }

class InputTest : public tw_test::InputFixture {
 protected:
  void SetUp() override {
    InputFixture::SetUp();
    g_now = 0.0;
    Input_SetClock(FakeClock);
    Input_Reset();
    Game_GodMode = Game_AllWeaponsFlag = 0;
    Player_CommandWord = 0;
  }
  void TearDown() override {
    Input_SetClock(nullptr);
    InputFixture::TearDown();
  }
  static void PushKey(SDL_Scancode sc, bool down, int repeat = 0) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = Uint8(repeat);
    e.key.keysym.scancode = sc;
    SDL_PushEvent(&e);
  }
  // Through SDL and the window procedure, as the message loop does.
  static void Pump() {
    PlatEvent ev;
    while (Plat_PollEvent(&ev)) Sys_WndProc(&ev);
  }
  static void Frame() {
    Input_Poll();
    Input_ProcessEvents();
  }
  static void Type(const char* word) {
    for (const char* p = word; *p; p++) {
      int code = 1;
      while (code < 256 && KeyInfoTable[code].plain != uint8_t(*p)) code++;
      ASSERT_LT(code, 256) << *p;
      Queue(code, true);
      Queue(code, false);
      Frame();
    }
  }
  static std::string Typed() { return reinterpret_cast<const char*>(Input_TakeTypedKeys()); }
};

TEST_F(InputTest, PushedEventsKeyboardFirstRepeatsDroppedMouseSummedAndEveryNamedKeyReachable) {
  SDL_Event b{}, m{}, w{};
  b.type = SDL_MOUSEBUTTONDOWN;
  b.button.button = SDL_BUTTON_LEFT;
  m.type = SDL_MOUSEMOTION;
  m.motion.xrel = 3;
  m.motion.yrel = -2;
  w.type = SDL_MOUSEWHEEL;
  w.wheel.y = -1;  // one notch towards the user
  SDL_PushEvent(&b);
  PushKey(SDL_SCANCODE_A, true);
  PushKey(SDL_SCANCODE_A, true, 1);  // the system's own repeat
  b.type = SDL_MOUSEBUTTONUP;
  SDL_PushEvent(&b);
  PushKey(SDL_SCANCODE_AC_BACK, true);  // no code: dropped
  PushKey(SDL_SCANCODE_A, false);
  for (SDL_Event* e : {&m, &m, &w}) SDL_PushEvent(e);
  Pump();
  int32_t x, y, wheel;
  uint32_t events[16];
  int count, lost;
  DI_ReadEvents(&x, &y, &wheel, events, 16, &count, &lost);
  ASSERT_EQ(count, 4);
  EXPECT_EQ(std::vector<uint32_t>(events, events + 4), std::vector<uint32_t>({30 | kKeyEventDown, 30, 256 | kKeyEventDown, 256}));
  EXPECT_EQ(std::vector<int>({x, y, wheel, lost}), std::vector<int>({6, -4, -1, 0}));
  w.wheel.y = 2;  // through the input state: minus the notches
  SDL_PushEvent(&w);
  Pump();
  Input_Poll();
  EXPECT_FLOAT_EQ(Input_Wheel, -2.0f);
  // Every named key is reachable; codes outside the tables read as nothing.
  for (int c = 1; c < 256; c++)
    EXPECT_TRUE(!KeyInfoTable[c].varName[0] || tw_test::ScancodeOf(c)) << KeyInfoTable[c].varName;
  for (int sc : {int(SDL_SCANCODE_AC_BACK), -5, 100000}) EXPECT_EQ(PlatInput_ScancodeToKey(sc), 0) << sc;
  EXPECT_EQ(PlatInput_ButtonToKey(SDL_BUTTON_X2), 0);
  for (int code : {-1, 260, 100000}) {
    EXPECT_EQ(Input_KeyPressed(code), 0);
    EXPECT_EQ(Input_KeyDown(code), 0);
  }
  Input_DispatchKey(999, 1);  // nothing to fire, nothing read out of bounds
  EXPECT_EQ(Input_BindingVar(kInputBindingCount), nullptr);
}

TEST_F(InputTest, KeysChangedInABurstPastTheBufferEndInTheirRealState) {
  Queue(17, true);   // W held ...
  Queue(257, true);  // ... and the right button
  for (int i = 0; i < 40; i++) {  // a burst of 80 events fills the buffer
    Queue(30, true);
    Queue(30, false);
  }
  Queue(17, false);  // dropped from the full buffer: W would stay held
  Queue(31, true);   // dropped too, but S is held now
  Queue(257, false);
  int32_t x, y, wheel;
  uint32_t events[kInputMaxEvents];
  int count, lost;
  DI_ReadEvents(&x, &y, &wheel, events, kInputMaxEvents, &count, &lost);
  ASSERT_EQ(count, 64 + 3 + 2);
  // The buffer ends in the middle of a tap; the real states follow; the mouse's own buffer had room.
  EXPECT_EQ(std::vector<uint32_t>(events + 63, events + 69),
            std::vector<uint32_t>({30 | kKeyEventDown, 17, 30, 31 | kKeyEventDown, 257 | kKeyEventDown, 257}));
  DI_ReadEvents(&x, &y, &wheel, events, kInputMaxEvents, &count, &lost);
  EXPECT_EQ(count, 0);  // told once
  uint32_t small[4] = {};  // the caller's capacity holds
  for (int i = 0; i < 10; i++) Queue(30, true);
  DI_ReadEvents(&x, &y, &wheel, small, 3, &count, &lost);
  EXPECT_EQ(small[3], 0u);
}

TEST_F(InputTest, InactiveWindowOrNoDevicesReadNothing) {
  for (int inactive : {1, 0}) {
    Sys_AppInactive = inactive;
    DI_Acquire();
    PushKey(SDL_SCANCODE_A, true);
    Pump();
    Input_Poll();
    EXPECT_EQ(Input_KeyDown(30), !inactive);
  }
  DI_Shutdown();
  Plat_WindowDestroy();
  DI_Init(1);  // no window: the devices stay down
  EXPECT_NE(tw_test::ReadFile("log").find("DIError: Unknown Error: Unable init DirectInput."), std::string::npos);
  Input_Reset();
  Queue(31, true);
  Input_Poll();
  EXPECT_EQ(Input_EventCount(), 0);
  EXPECT_EQ(Input_KeyDown(31), 0);
  ASSERT_TRUE(Plat_WindowCreate("input test"));
}

TEST_F(InputTest, HeldKeyCountsOnePressAndEachPressIsTakenOnce) {
  Queue(57, true);
  Frame();
  Frame();
  for (int want : {1, 0}) EXPECT_EQ(Input_KeyPressed(57), want);
  Queue(57, false);
  Frame();
  Queue(57, true);
  Queue(57, false);
  Queue(57, true);
  Frame();
  for (int want : {1, 1, 0}) EXPECT_EQ(Input_KeyPressed(57), want);
}

TEST_F(InputTest, HeldKeyTypesAtOnceThenAfterFivePeriodsThenEveryPeriod) {
  const struct {
    double now;
    const char* typed;
  } steps[] = {{10.0, "\x1e"}, {10.45, ""}, {10.52, "\x1e"}, {10.65, "\x1e"},
               {11.05, "\x1e\x1e\x1e\x1e"}};  // missed periods caught up at once
  Queue(30, true);
  for (auto s : steps) {
    g_now = s.now;
    Input_Poll();
    EXPECT_EQ(Typed(), s.typed) << s.now;
  }
  for (int b = 256; b <= 259; b++) Queue(b, true);  // mouse buttons never type nor take the repeat
  Input_Poll();
  EXPECT_EQ(Input_KeyDown(257), 1);
  g_now = 11.12;
  Input_Poll();
  EXPECT_EQ(Typed(), "\x1e");
  Input_AddTypedKey(256);
  Queue(30, false);
  Input_Poll();
  g_now = 20.0;
  Input_Poll();
  EXPECT_EQ(Typed(), "");
}

TEST_F(InputTest, RepeatSpeedOfZeroOrLessTurnsRepeatOffAndTheTypedBufferHolds1022) {
  VarRecord* speed = Var_Find("input_repeat_speed");
  for (float value : {0.0f, -1.0f}) {
    speed->value = value;
    Queue(30, true);
    Input_Poll();
    g_now += 1000.0;
    Input_Poll();
    EXPECT_EQ(Typed(), "\x1e") << value;
    Queue(30, false);
    Input_Poll();
  }
  // A period too small to advance the clock still ends, with the buffer full at most.
  speed->value = 1e-30f;
  g_now = 1e6;
  Queue(31, true);
  Input_Poll();
  g_now = 2e6;
  Input_Poll();
  const uint8_t* first = Input_TakeTypedKeys();
  EXPECT_EQ(std::strlen(reinterpret_cast<const char*>(first)), size_t(kInputTypedMax));
  Input_AddTypedKey(30);
  EXPECT_EQ(first[0], 31);  // the copy lives until the next take
  EXPECT_EQ(Typed(), "\x1e");
}

TEST_F(InputTest, AltTabChangesNothing) {
  Bind("Keyboard Tab", "Jump");
  GameVars_Init(1);
  Queue(KEY_LALT, true);
  Frame();
  (void)Typed();
  Queue(KEY_TAB, true);
  Frame();
  EXPECT_EQ(Input_KeyPressed(KEY_TAB), 0);
  EXPECT_EQ(Typed(), "");
  EXPECT_EQ(Player_CommandWord, 0u);
  Queue(KEY_TAB, false);
  Queue(KEY_LALT, false);
  Queue(KEY_TAB, true);
  Frame();
  EXPECT_EQ(Player_CommandWord, uint32_t(CMD_JUMP));
}

TEST_F(InputTest, ResetAndFocusLossForgetHeldKeysAndWaitingEvents) {
  for (bool focus : {false, true}) {
    Queue(30, true);
    Queue(256, true);
    Input_Poll();
    Queue(31, true);  // still waiting in the device: dropped with the rest
    if (focus) {
      (void)Typed();
      PlatEvent ev{};
      ev.kind = PLATEV_FOCUS_LOST;
      Sys_WndProc(&ev);
      ev.kind = PLATEV_FOCUS_GAINED;
      Sys_WndProc(&ev);
    } else {
      EXPECT_EQ(Input_Reset(), 0);
    }
    g_now += 30.0;
    Input_Poll();
    for (int c = 0; c < kKeyCodeCount; c++) {
      ASSERT_EQ(Input_KeyDown(c), 0) << c << " focus " << focus;
      ASSERT_EQ(Input_KeyPressed(c), 0) << c << " focus " << focus;
    }
    EXPECT_EQ(Typed(), "");  // nothing typed and no repeat left
  }
}

TEST_F(InputTest, BindingsFireWhateverTheLetterCaseFromTheSettingsFileAndFixedKeysToo) {
  tw_test::WriteFile("settings", "\"Keyboard W\" \"Forward\"\n\"Mouse Right Button\" \"Use\"\n");
  Var_Rd("settings");
  GameVars_Init(1);
  Bind("Keyboard Space", "jUMP");
  Bind("Keyboard F1", "Fire");
  Bind("Keyboard NumLock", "Crouch");  // the row "Keyboard Numlock"
  for (int code : {17, 257, 57, int(KEY_F1), int(KEY_NUMLOCK)}) Queue(code, true);
  Frame();
  EXPECT_EQ(Player_CommandWord, uint32_t(CMD_FORWARD | CMD_USE | CMD_JUMP | CMD_FIRE | CMD_CROUCH));
  Queue(57, false);
  Queue(257, false);
  Frame();
  EXPECT_EQ(Player_CommandWord, uint32_t(CMD_FORWARD | CMD_FIRE | CMD_CROUCH));
  // Bindings fire only when play input walks the events.
  Queue(57, true);
  Input_Poll();
  EXPECT_EQ(Player_CommandWord & CMD_JUMP, 0u);
}

std::u16string LastMessage() {
  int n = Console_GetLineCount();
  const char16_t* line = n ? Console_GetLine(n - 1, nullptr) : nullptr;
  return line ? std::u16string(line) : std::u16string();
}

TEST_F(InputTest, CheatWordsAndACommandLinkedOnce) {
  // The god-mode cheat switches on and off; of its two texts only one is there.
  tw_test::WriteFile("data/text/Eng/consol/god mode off.txt", "God mode off");
  Console_Clear();
  Type("vorpaltusken");
  EXPECT_EQ(Game_GodMode, 1u);
  EXPECT_EQ(Console_GetLineCount(), 0);
  Type("vorpaltusken");
  EXPECT_EQ(Game_GodMode, 0u);
  EXPECT_EQ(LastMessage(), u"\xFEFFGod mode off");
  Type("vorpalltuskken");  // a letter struck twice in a row enters the history once
  EXPECT_EQ(Game_GodMode, 1u);
  Type("brindlemarcx");
  EXPECT_EQ(Game_AllWeaponsFlag, 0u);
  Type("brindlemarch");
  EXPECT_EQ(Game_AllWeaponsFlag, 1u);
  EXPECT_EQ(LastMessage(), u"all weapons");
  // A command is linked once; unknown names and missing handlers do nothing.
  static int presses;
  static InputCommand cmd = {"Wave", [] { presses++; }, nullptr, nullptr};
  presses = 0;
  Input_ClearCommands();
  Input_AddCommand(&cmd);
  Input_AddCommand(&cmd);  // linked once: no loop
  Bind("Keyboard Q", "Nothing Bound");
  Bind("Keyboard E", "wave");
  for (int code : {16, 18}) Queue(code, true);
  Queue(18, false);  // no release handler
  Frame();
  EXPECT_EQ(presses, 1);
}

// The key table's named rows, and SDL's scancodes turned into the game's key codes, the
// extended keys above 128 included; what has no code reads as nothing.
TEST(KeyTable, GoldenRowsOfTheScancodeMapping) {
  int named = 0, fixedNamed = 0;
  for (int c = 0; c < kKeyCodeCount; c++) {
    named += KeyInfoTable[c].varName[0] != 0;
    fixedNamed += KeyInfoTable[c].varName[0] && KeyInfoTable[c].flags == KEYINFO_FIXED;
  }
  EXPECT_EQ(named, 102);
  EXPECT_EQ(fixedNamed, 5);
  EXPECT_EQ(Key_GetInfo(260), nullptr);
  const std::pair<int, int> scancodes[] = {
      {SDL_SCANCODE_ESCAPE, 1},   {SDL_SCANCODE_GRAVE, 41},      {SDL_SCANCODE_KP_ENTER, 156},
      {SDL_SCANCODE_RCTRL, 157},  {SDL_SCANCODE_KP_DIVIDE, 181}, {SDL_SCANCODE_RALT, 184},
      {SDL_SCANCODE_DELETE, 211}, {SDL_SCANCODE_NUMLOCKCLEAR, 69}, {SDL_SCANCODE_A, 30},
      {SDL_SCANCODE_UP, 200},     {SDL_SCANCODE_PAGEDOWN, 209},  {SDL_SCANCODE_LGUI, 219}};
  for (auto [sc, code] : scancodes) EXPECT_EQ(PlatInput_ScancodeToKey(sc), code) << sc;
}

}  // namespace
