// A game window on SDL's dummy video driver with the input devices and the input variables up,
// and key codes fed straight into the device buffers. Shared by the input and menu tests.
#pragma once
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "foundation/input.h"
#include "foundation/log.h"
#include "foundation/sys.h"
#include "foundation/var.h"
#include "platform/input.h"
#include "platform/window.h"
#include "support/test_support.h"

namespace tw_test {

// The SDL scancode that gives a key code (0 when none does).
inline int ScancodeOf(int code) {
  for (int sc = 1; sc < SDL_NUM_SCANCODES; sc++)
    if (PlatInput_ScancodeToKey(sc) == code) return sc;
  return 0;
}

// Into the device buffer by key code (the keyboard's, or 256..259 for the mouse buttons).
inline void QueueKey(int code, bool down) {
  static const int kButtons[4] = {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE, SDL_BUTTON_X1};
  PlatEvent ev{};
  if (code >= 256) {
    ev.kind = down ? PLATEV_MOUSE_DOWN : PLATEV_MOUSE_UP;
    ev.button = kButtons[code - 256];
  } else {
    ev.kind = down ? PLATEV_KEY_DOWN : PLATEV_KEY_UP;
    ev.scancode = ScancodeOf(code);
  }
  PlatInput_QueueEvent(&ev);
}

class InputFixture : public ::testing::Test {
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
  }
  void TearDown() override {
    DI_Shutdown();
    Plat_WindowDestroy();
    Var_ResetTable();
    Log_Close();
  }
  static void Queue(int code, bool down) { QueueKey(code, down); }
  // Through Var_SetText, so that what caches the bindings sees the change.
  static void Bind(const char* var, const char* command) { Var_SetText(Var_Find(var), command); }

  TempDir dir_;
};

}  // namespace tw_test
