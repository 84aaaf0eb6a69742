// Keyboard and mouse: device translation, the frame's input state, key bindings, repeat and the
// cheat words. The devices run on SDL's dummy video driver, fed with pushed SDL events.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "characters/actions.h"
#include "foundation/file.h"
#include "foundation/input.h"
#include "foundation/log.h"
#include "foundation/sys.h"
#include "foundation/text.h"
#include "foundation/timer.h"
#include "foundation/var.h"
#include "platform/input.h"
#include "platform/window.h"
#include "support/test_support.h"
#include "world/game.h"

namespace {

double g_now;
double FakeClock() { return g_now; }

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    Log_Open();
    ASSERT_TRUE(Plat_WindowCreate("input test"));
    Sys_AppInactive = 0;
    DI_Init(1);
    DI_Acquire();
    Var_ResetTable();
    Input_Init(0);
    Input_Init(1);
    g_now = 0.0;
    Input_SetClock(FakeClock);
    Input_Reset();
    Game_GodMode = 0;
    Game_AllWeaponsFlag = 0;
    Player_CommandWord = 0;
  }
  void TearDown() override {
    Input_SetClock(nullptr);
    DI_Shutdown();
    Plat_WindowDestroy();
    Var_ResetTable();
    Log_Close();
  }

  // Pushes events through SDL and the window procedure, as the message loop does.
  static void Pump() {
    PlatEvent ev;
    while (Plat_PollEvent(&ev)) Sys_WndProc(&ev);
  }
  static void PushKey(SDL_Scancode sc, bool down, int repeat = 0) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = Uint8(repeat);
    e.key.keysym.scancode = sc;
    SDL_PushEvent(&e);
  }
  static void PushButton(int button, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = Uint8(button);
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    SDL_PushEvent(&e);
  }
  // Straight into the device buffer by key code (the keyboard's or the mouse's).
  static void Queue(int code, bool down) {
    PlatEvent ev{};
    if (code >= 256) {
      ev.kind = down ? PLATEV_MOUSE_DOWN : PLATEV_MOUSE_UP;
      ev.button = code == 256 ? SDL_BUTTON_LEFT : code == 257 ? SDL_BUTTON_RIGHT : code == 258 ? SDL_BUTTON_MIDDLE : SDL_BUTTON_X1;
    } else {
      ev.kind = down ? PLATEV_KEY_DOWN : PLATEV_KEY_UP;
      ev.scancode = ScancodeOf(code);
    }
    PlatInput_QueueEvent(&ev);
  }
  static int ScancodeOf(int code) {
    for (int sc = 0; sc < SDL_NUM_SCANCODES; sc++)
      if (PlatInput_ScancodeToKey(sc) == code) return sc;
    return 0;
  }
  // One frame of play input.
  static void Frame() {
    Input_Poll();
    Input_ProcessEvents();
  }
  static void Type(const char* word) {
    for (const char* p = word; *p; p++) {
      int code = 0;
      for (int c = 1; c < 256; c++)
        if (KeyInfoTable[c].plain == uint8_t(*p)) {
          code = c;
          break;
        }
      ASSERT_NE(code, 0) << *p;
      Queue(code, true);
      Queue(code, false);
      Frame();
    }
  }
  static std::string Typed() { return reinterpret_cast<const char*>(Input_TakeTypedKeys()); }

  tw_test::TempDir dir_;
};

TEST(KeyTable, RowsAndFlags) {
  int named = 0, fixedNamed = 0;
  for (int c = 0; c < kKeyCodeCount; c++) {
    const KeyInfo& k = KeyInfoTable[c];
    if (k.varName[0]) {
      named++;
      if (k.flags == KEYINFO_FIXED) fixedNamed++;
    } else {
      EXPECT_EQ(k.flags, uint32_t(KEYINFO_FIXED)) << c;
      EXPECT_STREQ(k.textKey, "") << c;
    }
  }
  EXPECT_EQ(named, 102);
  EXPECT_EQ(fixedNamed, 5);
  EXPECT_STREQ(KeyInfoTable[57].varName, "Keyboard Space");
  EXPECT_STREQ(KeyInfoTable[43].varName, "Keyboard \\");
  EXPECT_EQ(KeyInfoTable[40].shifted, 0x22);
  EXPECT_EQ(KeyInfoTable[41].plain, 0x60);
  EXPECT_STREQ(KeyInfoTable[259].textKey, "kbd\\button4");
  EXPECT_EQ(Key_GetInfo(260), nullptr);
  EXPECT_EQ(Key_GetInfo(-1), nullptr);
}

TEST(KeyTable, ScancodesMapToScanCodesIncludingExtendedKeys) {
  EXPECT_EQ(PlatInput_ScancodeToKey(SDL_SCANCODE_ESCAPE), 1);
  EXPECT_EQ(PlatInput_ScancodeToKey(SDL_SCANCODE_A), 30);
  EXPECT_EQ(PlatInput_ScancodeToKey(SDL_SCANCODE_GRAVE), 41);
  EXPECT_EQ(PlatInput_ScancodeToKey(SDL_SCANCODE_KP_ENTER), 156);
  EXPECT_EQ(PlatInput_ScancodeToKey(SDL_SCANCODE_RCTRL), 157);
  EXPECT_EQ(PlatInput_ScancodeToKey(SDL_SCANCODE_KP_DIVIDE), 181);
  EXPECT_EQ(PlatInput_ScancodeToKey(SDL_SCANCODE_RALT), 184);
  EXPECT_EQ(PlatInput_ScancodeToKey(SDL_SCANCODE_UP), 200);
  EXPECT_EQ(PlatInput_ScancodeToKey(SDL_SCANCODE_DELETE), 211);
  EXPECT_EQ(PlatInput_ScancodeToKey(SDL_SCANCODE_NUMLOCKCLEAR), 69);
  EXPECT_EQ(PlatInput_ScancodeToKey(SDL_SCANCODE_AC_BACK), 0);
  EXPECT_EQ(PlatInput_ScancodeToKey(-5), 0);
  EXPECT_EQ(PlatInput_ScancodeToKey(100000), 0);
  // Every named keyboard row is reachable from some scancode.
  for (int c = 1; c < 256; c++) {
    if (!KeyInfoTable[c].varName[0]) continue;
    bool found = false;
    for (int sc = 0; sc < SDL_NUM_SCANCODES && !found; sc++) found = PlatInput_ScancodeToKey(sc) == c;
    EXPECT_TRUE(found) << KeyInfoTable[c].varName;
  }
  EXPECT_EQ(PlatInput_ButtonToKey(SDL_BUTTON_LEFT), 256);
  EXPECT_EQ(PlatInput_ButtonToKey(SDL_BUTTON_RIGHT), 257);
  EXPECT_EQ(PlatInput_ButtonToKey(SDL_BUTTON_MIDDLE), 258);
  EXPECT_EQ(PlatInput_ButtonToKey(SDL_BUTTON_X1), 259);
  EXPECT_EQ(PlatInput_ButtonToKey(SDL_BUTTON_X2), 0);
}

TEST_F(InputTest, PushedEventsKeyboardFirstRepeatsDroppedMouseSummed) {
  PushButton(SDL_BUTTON_LEFT, true);
  PushKey(SDL_SCANCODE_A, true);
  PushKey(SDL_SCANCODE_A, true, 1);  // the system's own repeat
  PushButton(SDL_BUTTON_LEFT, false);
  PushKey(SDL_SCANCODE_AC_BACK, true);  // no code: dropped
  PushKey(SDL_SCANCODE_A, false);
  SDL_Event m{};
  m.type = SDL_MOUSEMOTION;
  m.motion.xrel = 3;
  m.motion.yrel = -2;
  SDL_PushEvent(&m);
  SDL_PushEvent(&m);
  SDL_Event w{};
  w.type = SDL_MOUSEWHEEL;
  w.wheel.y = -1;  // one notch towards the user
  SDL_PushEvent(&w);
  Pump();

  int32_t x, y, wheel;
  uint32_t events[16];
  int count, lost;
  DI_ReadEvents(&x, &y, &wheel, events, 16, &count, &lost);
  ASSERT_EQ(count, 4);
  EXPECT_EQ(events[0], 30u | kKeyEventDown);
  EXPECT_EQ(events[1], 30u);
  EXPECT_EQ(events[2], 256u | kKeyEventDown);
  EXPECT_EQ(events[3], 256u);
  EXPECT_EQ(x, 6);
  EXPECT_EQ(y, -4);
  EXPECT_EQ(wheel, -1);
  EXPECT_EQ(lost, 0);

  // Through the input state: the wheel value is minus the notches.
  w.wheel.y = 2;  // away from the user
  SDL_PushEvent(&w);
  Pump();
  Input_Poll();
  EXPECT_FLOAT_EQ(Input_Wheel, -2.0f);
  EXPECT_EQ(Input_MouseX, 0);
}

TEST_F(InputTest, DeviceBuffersHoldSixtyFourEventsEach) {
  for (int i = 0; i < 50; i++) {
    Queue(30, true);
    Queue(30, false);
  }
  for (int i = 0; i < 40; i++) Queue(257, i % 2 == 0);
  int32_t x, y, wheel;
  uint32_t events[kInputMaxEvents];
  int count, lost;
  DI_ReadEvents(&x, &y, &wheel, events, kInputMaxEvents, &count, &lost);
  EXPECT_EQ(count, 64 + 40);
  EXPECT_EQ(events[63], 30u);
  EXPECT_EQ(events[64], 257u | kKeyEventDown);
  // The caller's capacity is never passed.
  for (int i = 0; i < 10; i++) Queue(30, true);
  uint32_t small[4] = {};
  DI_ReadEvents(&x, &y, &wheel, small, 3, &count, &lost);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(small[3], 0u);
}

TEST_F(InputTest, InactiveWindowReadsNothing) {
  Sys_AppInactive = 1;
  DI_Acquire();
  PushKey(SDL_SCANCODE_A, true);
  PushButton(SDL_BUTTON_RIGHT, true);
  Pump();
  Input_Poll();
  EXPECT_EQ(Input_EventCount(), 0);
  EXPECT_EQ(Input_KeyDown(30), 0);
  Sys_AppInactive = 0;
  DI_Acquire();
  PushKey(SDL_SCANCODE_A, true);
  Pump();
  Input_Poll();
  EXPECT_EQ(Input_KeyDown(30), 1);
}

TEST_F(InputTest, ErrorLinesNameTheCode) {
  DIError(DIERR_INPUTLOST, "Unable set keyboard property.");
  DIError(DIERR_NONE, "Unable load DINPUT.DLL.");
  DIError(12345, "Unable set mouse data format.");
  std::string log = tw_test::ReadFile("log");
  EXPECT_NE(log.find("DIError: DIERR_INPUTLOST: Unable set keyboard property.\n"), std::string::npos) << log;
  EXPECT_NE(log.find("DIError: Unknown Error: Unable load DINPUT.DLL.\n"), std::string::npos);
  EXPECT_NE(log.find("DIError: Unknown Error: Unable set mouse data format.\n"), std::string::npos);
}

TEST(InputNoDevices, EverythingReadsUpWithoutTheDevices) {
  tw_test::TempDir dir;
  Log_Open();
  DI_Shutdown();
  DI_Init(1);  // no window: the devices stay down
  EXPECT_NE(tw_test::ReadFile("log").find("DIError: Unknown Error: Unable init DirectInput."), std::string::npos);
  PlatEvent ev{};
  ev.kind = PLATEV_KEY_DOWN;
  ev.scancode = SDL_SCANCODE_A;
  PlatInput_QueueEvent(&ev);
  Input_Poll();
  EXPECT_EQ(Input_EventCount(), 0);
  EXPECT_EQ(Input_KeyDown(30), 0);
  Log_Close();
}

TEST_F(InputTest, HeldKeyCountsOnePressAndEachPressIsTakenOnce) {
  Queue(57, true);
  Frame();
  Frame();
  Frame();
  EXPECT_EQ(Input_KeyDown(57), 1);
  EXPECT_EQ(Input_KeyPressed(57), 1);
  EXPECT_EQ(Input_KeyPressed(57), 0);
  Queue(57, false);
  Frame();
  EXPECT_EQ(Input_KeyDown(57), 0);
  Queue(57, true);
  Queue(57, false);
  Queue(57, true);
  Frame();
  EXPECT_EQ(Input_KeyPressed(57), 1);
  EXPECT_EQ(Input_KeyPressed(57), 1);
  EXPECT_EQ(Input_KeyPressed(57), 0);
}

TEST_F(InputTest, CodesOutsideTheTableReadAsUp) {
  for (int code : {-1, 260, 261, 100000}) {
    EXPECT_EQ(Input_KeyPressed(code), 0);
    EXPECT_EQ(Input_KeyDown(code), 0);
  }
  Input_DispatchKey(999, 1);  // nothing to fire, nothing read out of bounds
}

TEST_F(InputTest, HeldKeyTypesAtOnceThenAfterFivePeriodsThenEveryPeriod) {
  g_now = 10.0;
  Queue(30, true);
  Input_Poll();
  EXPECT_EQ(Typed(), "\x1e");
  g_now = 10.45;
  Input_Poll();
  EXPECT_EQ(Typed(), "");
  g_now = 10.52;
  Input_Poll();
  EXPECT_EQ(Typed(), "\x1e");
  g_now = 10.65;
  Input_Poll();
  EXPECT_EQ(Typed(), "\x1e");
  g_now = 11.05;  // four missed periods caught up at once
  Input_Poll();
  EXPECT_EQ(Typed(), "\x1e\x1e\x1e\x1e");
  g_now = 11.06;
  Queue(30, false);
  Input_Poll();
  g_now = 20.0;
  Input_Poll();
  EXPECT_EQ(Typed(), "");
}

TEST_F(InputTest, RepeatSpeedOfZeroOrLessTurnsRepeatOff) {
  VarRecord* speed = Var_Find("input_repeat_speed");
  ASSERT_NE(speed, nullptr);
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
  EXPECT_EQ(Typed().size(), size_t(kInputTypedMax));
}

TEST_F(InputTest, AltTabChangesNothing) {
  Queue(KEY_LALT, true);
  Frame();
  (void)Typed();
  Var_Find("Keyboard Tab")->text[0] = 0;
  std::strcpy(Var_Find("Keyboard Tab")->text, "Jump");
  Game_VarsInit(1);
  Queue(KEY_TAB, true);
  Frame();
  EXPECT_EQ(Input_KeyDown(KEY_TAB), 0);
  EXPECT_EQ(Input_KeyPressed(KEY_TAB), 0);
  EXPECT_EQ(Typed(), "");
  EXPECT_EQ(Player_CommandWord, 0u);
  Queue(KEY_TAB, false);
  Queue(KEY_LALT, false);
  Frame();
  Queue(KEY_TAB, true);
  Frame();
  EXPECT_EQ(Input_KeyDown(KEY_TAB), 1);
  EXPECT_EQ(Player_CommandWord, uint32_t(CMD_JUMP));
}

TEST_F(InputTest, MouseButtonsNeverTypeNorTakeTheRepeat) {
  Queue(30, true);
  Input_Poll();
  for (int b = 256; b <= 259; b++) Queue(b, true);
  Input_Poll();
  EXPECT_EQ(Input_KeyDown(257), 1);
  EXPECT_EQ(Input_KeyPressed(259), 1);
  EXPECT_EQ(Typed(), "\x1e");
  g_now = 0.55;  // A is still the repeating key
  Input_Poll();
  EXPECT_EQ(Typed(), "\x1e");
  Input_AddTypedKey(256);
  Input_AddTypedKey(0);
  Input_AddTypedKey(14);
  EXPECT_EQ(Typed(), "\x0e");
}

TEST_F(InputTest, TypedBufferHoldsAtMost1022AndTheCopyLivesUntilTheNextTake) {
  for (int i = 0; i < 1100; i++) Input_AddTypedKey(16 + i % 10);
  const uint8_t* first = Input_TakeTypedKeys();
  EXPECT_EQ(std::strlen(reinterpret_cast<const char*>(first)), size_t(kInputTypedMax));
  Input_AddTypedKey(30);
  EXPECT_EQ(first[0], 16);  // not yet overwritten
  EXPECT_EQ(Typed(), "\x1e");
  EXPECT_EQ(Typed(), "");
}

TEST_F(InputTest, ResetLeavesNothingHeldPressedOrTyped) {
  Queue(30, true);
  Queue(256, true);
  Input_Poll();
  Queue(31, true);  // still waiting in the device: drained by the reset
  EXPECT_EQ(Input_Reset(), 0);
  for (int c = 0; c < kKeyCodeCount; c++) {
    ASSERT_EQ(Input_KeyDown(c), 0) << c;
    ASSERT_EQ(Input_KeyPressed(c), 0) << c;
  }
  EXPECT_EQ(Typed(), "");
  g_now = 5.0;
  Input_Poll();
  EXPECT_EQ(Typed(), "");  // no repeat left
}

TEST_F(InputTest, FocusLossForgetsHeldKeys) {
  Queue(30, true);
  Queue(256, true);
  Input_Poll();
  ASSERT_EQ(Input_KeyDown(30), 1);
  (void)Typed();
  Queue(31, true);  // arrived before the focus went: lost with it
  PlatEvent lostEv{};
  lostEv.kind = PLATEV_FOCUS_LOST;
  Sys_WndProc(&lostEv);
  PlatEvent gained{};
  gained.kind = PLATEV_FOCUS_GAINED;
  Sys_WndProc(&gained);
  g_now = 30.0;
  Input_Poll();
  EXPECT_EQ(Input_KeyDown(30), 0);
  EXPECT_EQ(Input_KeyDown(31), 0);
  EXPECT_EQ(Input_KeyDown(256), 0);
  EXPECT_EQ(Input_KeyPressed(30), 0);
  EXPECT_EQ(Typed(), "");
}

TEST_F(InputTest, BindingFiresWhateverTheLetterCaseAndFixedKeysToo) {
  Game_VarsInit(1);
  std::strcpy(Var_Find("Keyboard Space")->text, "jUMP");
  std::strcpy(Var_Find("Keyboard F1")->text, "use");
  std::strcpy(Var_Find("Mouse Left Button")->text, "Fire");
  std::strcpy(Var_Find("Keyboard NumLock")->text, "Crouch");  // the row "Keyboard Numlock"
  Queue(57, true);
  Queue(KEY_F1, true);
  Queue(256, true);
  Queue(KEY_NUMLOCK, true);
  Frame();
  EXPECT_EQ(Player_CommandWord, uint32_t(CMD_JUMP | CMD_USE | CMD_FIRE | CMD_CROUCH));
  Queue(57, false);
  Queue(256, false);
  Frame();
  EXPECT_EQ(Player_CommandWord, uint32_t(CMD_USE | CMD_CROUCH));
  // Bindings fire only when play input walks the events.
  Queue(57, true);
  Input_Poll();
  EXPECT_EQ(Player_CommandWord & CMD_JUMP, 0u);
}

TEST_F(InputTest, BindingsComeFromTheSettingsFile) {
  tw_test::WriteFile("settings",
                     "\"Keyboard W\" \"Forward\"\n\"Mouse Right Button\" \"Use\"\n\"Keyboard SysRq\" \"Map\"\n");
  Var_Rd("settings");
  Game_VarsInit(1);
  Queue(17, true);
  Queue(257, true);
  Frame();
  EXPECT_EQ(Player_CommandWord, uint32_t(CMD_FORWARD | CMD_USE));
  EXPECT_STREQ(Var_Find("Keyboard SysRq")->text, "Map");
}

TEST_F(InputTest, ACommandIsLinkedOnceAndUnknownNamesDoNothing) {
  static int presses;
  static InputCommand cmd = {"Wave", [] { presses++; }, nullptr, nullptr};
  presses = 0;
  Input_ClearCommands();
  Input_AddCommand(&cmd);
  Input_AddCommand(&cmd);
  EXPECT_EQ(Input_FirstCommand(), &cmd);
  EXPECT_EQ(cmd.next, nullptr);
  std::strcpy(Var_Find("Keyboard Q")->text, "Nothing Bound");
  std::strcpy(Var_Find("Keyboard E")->text, "wave");
  Queue(16, true);
  Queue(18, true);
  Queue(18, false);  // a null release handler is skipped
  Frame();
  EXPECT_EQ(presses, 1);
}

std::u16string LastMessage() {
  int n = Console_GetLineCount();
  const char16_t* line = n ? Console_GetLine(n - 1, nullptr) : nullptr;
  return line ? std::u16string(line) : std::u16string();
}

TEST_F(InputTest, FirstCheatWordSwitchesGodModeOnAndOff) {
  tw_test::WriteFile("data/text/Eng/consol/god mode on.txt", "God mode on");
  tw_test::WriteFile("data/text/Eng/consol/god mode off.txt", "God mode off");
  Console_Clear();
  Type("vorpaltusken");
  EXPECT_EQ(Game_GodMode, 1u);
  EXPECT_EQ(LastMessage(), u"\xFEFFGod mode on");
  double expiry = 0;
  Console_GetLine(0, &expiry);
  EXPECT_DOUBLE_EQ(expiry, Timer_FrameTime + 7.0);
  Type("vorpaltusken");
  EXPECT_EQ(Game_GodMode, 0u);
  EXPECT_EQ(LastMessage(), u"\xFEFFGod mode off");
  // A letter struck twice in a row enters the history once.
  Type("vorpalltuskken");
  EXPECT_EQ(Game_GodMode, 1u);
  EXPECT_EQ(Console_GetLineCount(), 3);
  Type("vorpaltuske");
  EXPECT_EQ(Game_GodMode, 1u);
}

TEST_F(InputTest, CheatWithoutItsTextShowsNothing) {
  Console_Clear();
  Type("vorpaltusken");
  EXPECT_EQ(Game_GodMode, 1u);
  EXPECT_EQ(Console_GetLineCount(), 0);
}

TEST_F(InputTest, SecondCheatWordGivesAllWeapons) {
  Console_Clear();
  Type("brindlemarcx");
  EXPECT_EQ(Game_AllWeaponsFlag, 0u);
  Type("brindlemarch");
  EXPECT_EQ(Game_AllWeaponsFlag, 1u);
  EXPECT_EQ(LastMessage(), u"all weapons");
  EXPECT_EQ(Game_GodMode, 0u);
}

TEST_F(InputTest, RegistersTheBindingAndInputVariables) {
  VarRecord* space = Var_Find("Keyboard Space");
  ASSERT_NE(space, nullptr);
  EXPECT_EQ(space->flags, uint32_t(VAR_SETTABLE | VAR_ALWAYS));
  EXPECT_STREQ(space->text, "");
  ASSERT_NE(Var_Find("Keyboard ScrollLock"), nullptr);
  EXPECT_EQ(Input_BindingVar(0), Var_Find("Mouse Button 4"));
  EXPECT_EQ(Input_BindingVar(kInputBindingCount - 1), Var_Find("Keyboard Escape"));
  EXPECT_EQ(Input_BindingVar(kInputBindingCount), nullptr);
  VarRecord* sens = Var_Find("mouse_sensitivity");
  ASSERT_NE(sens, nullptr);
  EXPECT_FLOAT_EQ(sens->value, 9.0f);
  EXPECT_EQ(sens->flags, uint32_t(VAR_NUMERIC | VAR_SETTABLE | VAR_ALWAYS));
  VarRecord* speed = Var_Find("input_repeat_speed");
  ASSERT_NE(speed, nullptr);
  EXPECT_FLOAT_EQ(speed->value, 0.1f);
  EXPECT_EQ(speed->flags, uint32_t(VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET));
  EXPECT_EQ(Input_Init(2), 1);
}

}  // namespace
