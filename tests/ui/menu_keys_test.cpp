// The key-binding screen's input: choosing an action, capture, Delete, leaving.
#include <gtest/gtest.h>

#include "characters/actions.h"
#include "support/input_fixture.h"
#include "ui/menu_keys.h"
#include "world/game.h"
#include "world/gamevars.h"

namespace {

class MenuKeysTest : public tw_test::InputFixture {
 protected:
  void SetUp() override {
    InputFixture::SetUp();
    GameVars_Init(1);
    Menu_InputKeysOpen();
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
};

TEST_F(MenuKeysTest, EnterOrTheLeftButtonArmsAndTheNextKeyGetsTheAction) {
  Queue(KEY_ENTER, true);
  Frame();
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
  Tap(KEY_DOWN);
  Tap(kKeyMouseLeft);
  EXPECT_TRUE(Menu_InputKeysArmed());
  Queue(kKeyMouseRight, true);
  Frame();
  EXPECT_STREQ(Binding("Mouse Right Button"), "Back");
}

TEST_F(MenuKeysTest, FixedKeysAndButtonFourAreNotCapturedAndEscapeDisarms) {
  Tap(KEY_ENTER);
  for (int code : {int(KEY_F1), int(KEY_NUMLOCK), kKeyMouseButton4}) Queue(code, true);
  Frame();
  EXPECT_TRUE(Menu_InputKeysArmed());
  EXPECT_STREQ(Binding("Keyboard F1"), "");
  EXPECT_STREQ(Binding("Mouse Button 4"), "");
  Queue(KEY_ESCAPE, true);
  Frame();
  EXPECT_FALSE(Menu_InputKeysArmed());
  EXPECT_TRUE(Menu_InputKeysIsOpen());
}

TEST_F(MenuKeysTest, DeleteClearsEveryBindingOfTheAction) {
  Bind("Keyboard W", "Forward");
  Bind("Keyboard Up Arrow", "forward");
  Bind("Keyboard SysRq", "Forward");
  Bind("Keyboard S", "Back");
  VarRecord* found[2];
  EXPECT_EQ(Menu_InputKeysFindBindings(0, found), 2);  // no more than the caller holds
  EXPECT_EQ(found[0], Var_Find("Keyboard SysRq"));     // the newest registered first
  EXPECT_EQ(Menu_InputKeysFindBindings(32, found), 0);
  Tap(KEY_DELETE);
  EXPECT_STREQ(Binding("Keyboard W"), "");
  EXPECT_STREQ(Binding("Keyboard S"), "Back");
  EXPECT_EQ(Menu_InputKeysFindBindings(0, found), 0);
}

TEST_F(MenuKeysTest, UpAndDownWrapAndEscapeOrTheRightButtonLeavesAndResetsTheInput) {
  Tap(KEY_UP);
  EXPECT_EQ(Menu_InputKeysSelection(), 31);
  Tap(KEY_DOWN);
  EXPECT_EQ(Menu_InputKeysSelection(), 0);
  Tap(KEY_ESCAPE);
  EXPECT_FALSE(Menu_InputKeysIsOpen());
  Menu_InputKeysOpen();
  Queue(kKeyMouseRight, true);
  Frame();
  EXPECT_FALSE(Menu_InputKeysIsOpen());
  EXPECT_EQ(Input_KeyDown(kKeyMouseRight), 0);
}

}  // namespace
