// The key-binding screen's input: choosing an action, capture, Delete, leaving.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "characters/actions.h"
#include "foundation/input.h"
#include "foundation/log.h"
#include "foundation/sys.h"
#include "foundation/var.h"
#include "platform/input.h"
#include "platform/window.h"
#include "support/test_support.h"
#include "ui/menu_keys.h"
#include "world/game.h"

namespace {

class MenuKeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    Log_Open();
    ASSERT_TRUE(Plat_WindowCreate("menu test"));
    Sys_AppInactive = 0;
    DI_Init(1);
    DI_Acquire();
    Var_ResetTable();
    Input_Init(0);
    Input_Init(1);
    Game_VarsInit(1);
    Menu_InputKeysOpen();
  }
  void TearDown() override {
    DI_Shutdown();
    Plat_WindowDestroy();
    Var_ResetTable();
    Log_Close();
  }
  static void Queue(int code, bool down) {
    PlatEvent ev{};
    if (code >= 256) {
      ev.kind = down ? PLATEV_MOUSE_DOWN : PLATEV_MOUSE_UP;
      ev.button = code == 256 ? SDL_BUTTON_LEFT : code == 257 ? SDL_BUTTON_RIGHT : code == 258 ? SDL_BUTTON_MIDDLE : SDL_BUTTON_X1;
    } else {
      ev.kind = down ? PLATEV_KEY_DOWN : PLATEV_KEY_UP;
      for (int sc = 0; sc < SDL_NUM_SCANCODES; sc++)
        if (PlatInput_ScancodeToKey(sc) == code) {
          ev.scancode = sc;
          break;
        }
    }
    PlatInput_QueueEvent(&ev);
  }
  // One frame of the menu's input: events of this frame, then the screen.
  static void Frame() {
    Input_Poll();
    Menu_InputKeys();
  }
  static void Tap(int code) {
    Queue(code, true);
    Frame();
    Queue(code, false);
    Frame();
  }
  static const char* Binding(const char* var) { return Var_Find(var)->text; }

  tw_test::TempDir dir_;
};

TEST_F(MenuKeysTest, UpAndDownWrapOverTheActions) {
  EXPECT_TRUE(Menu_InputKeysIsOpen());
  EXPECT_EQ(Menu_InputKeysSelection(), 0);
  Tap(KEY_UP);
  EXPECT_EQ(Menu_InputKeysSelection(), 31);
  Tap(KEY_DOWN);
  EXPECT_EQ(Menu_InputKeysSelection(), 0);
  Tap(KEY_DOWN);
  Tap(KEY_DOWN);
  EXPECT_EQ(Menu_InputKeysSelection(), 2);
}

TEST_F(MenuKeysTest, EnterArmsAndTheNextKeyGetsTheAction) {
  Queue(KEY_ENTER, true);
  Frame();
  EXPECT_TRUE(Menu_InputKeysArmed());
  Frame();  // Enter is still down, but it armed the capture: not taken as the key
  EXPECT_TRUE(Menu_InputKeysArmed());
  EXPECT_STREQ(Binding("Keyboard Enter"), "");
  Queue(KEY_ENTER, false);
  Queue(30, true);
  Frame();
  EXPECT_FALSE(Menu_InputKeysArmed());
  EXPECT_STREQ(Binding("Keyboard A"), "Forward");
  Queue(30, false);
  Frame();
  // The left button arms too, and a mouse button can be captured.
  Tap(KEY_DOWN);
  Tap(kKeyMouseLeft);
  EXPECT_TRUE(Menu_InputKeysArmed());
  Queue(kKeyMouseRight, true);
  Frame();
  EXPECT_STREQ(Binding("Mouse Right Button"), "Back");
  EXPECT_TRUE(Menu_InputKeysIsOpen());
}

TEST_F(MenuKeysTest, FixedKeysAndButtonFourAreNotCaptured) {
  Tap(KEY_ENTER);
  ASSERT_TRUE(Menu_InputKeysArmed());
  Queue(KEY_F1, true);
  Queue(KEY_NUMLOCK, true);
  Queue(kKeyMouseButton4, true);
  Frame();
  EXPECT_TRUE(Menu_InputKeysArmed());
  EXPECT_STREQ(Binding("Keyboard F1"), "");
  EXPECT_STREQ(Binding("Mouse Button 4"), "");
  // Escape gives up the capture without leaving.
  Queue(KEY_ESCAPE, true);
  Frame();
  EXPECT_FALSE(Menu_InputKeysArmed());
  EXPECT_TRUE(Menu_InputKeysIsOpen());
}

TEST_F(MenuKeysTest, DeleteClearsEveryBindingOfTheAction) {
  std::strcpy(Var_Find("Keyboard W")->text, "Forward");
  std::strcpy(Var_Find("Keyboard Up Arrow")->text, "forward");
  std::strcpy(Var_Find("Keyboard SysRq")->text, "Forward");
  std::strcpy(Var_Find("Keyboard S")->text, "Back");
  VarRecord* found[2];
  EXPECT_EQ(Menu_InputKeysFindBindings(0, found), 2);
  EXPECT_EQ(found[0], Var_Find("Keyboard SysRq"));  // the newest registered first
  EXPECT_EQ(found[1], Var_Find("Keyboard Up Arrow"));
  EXPECT_EQ(Menu_InputKeysFindBindings(1, found), 1);
  EXPECT_EQ(Menu_InputKeysFindBindings(32, found), 0);
  Tap(KEY_DELETE);
  EXPECT_STREQ(Binding("Keyboard W"), "");
  EXPECT_STREQ(Binding("Keyboard Up Arrow"), "");
  EXPECT_STREQ(Binding("Keyboard SysRq"), "");
  EXPECT_STREQ(Binding("Keyboard S"), "Back");
  EXPECT_EQ(Menu_InputKeysFindBindings(0, found), 0);
}

TEST_F(MenuKeysTest, EscapeOrTheRightButtonLeaves) {
  Tap(KEY_ESCAPE);
  EXPECT_FALSE(Menu_InputKeysIsOpen());
  Menu_InputKeysOpen();
  EXPECT_TRUE(Menu_InputKeysIsOpen());
  Queue(kKeyMouseRight, true);
  Frame();
  EXPECT_FALSE(Menu_InputKeysIsOpen());
  // Leaving resets the input: nothing carries over.
  EXPECT_EQ(Input_KeyDown(kKeyMouseRight), 0);
  Tap(KEY_DOWN);  // closed: nothing happens
  EXPECT_EQ(Menu_InputKeysSelection(), 0);
}

}  // namespace
