#include "ui/menu_keys.h"

#include <algorithm>

#include "characters/actions.h"
#include "foundation/input.h"
#include "foundation/keys.h"
#include "foundation/sound.h"
#include "foundation/var.h"
#include "ui/ui.h"

namespace {

struct KeysScreen {
  int open;
  int selection;
  int armed;
  int first;  // the action on the top row shown
};
KeysScreen g_screen;

void Menu_PlaySound(const char* name) { Sound_Play(name, 1.0f, 100.0f, nullptr, 0, 0); }

// The rows shown scroll only as far as it takes to show the chosen action: one that is shown
// leaves them where they are, so a row stays under a pointer resting on it.
int FirstRowFor(int selection) { return UI_ScrollFirst(g_screen.first, selection, kMenuKeysRows, kMenuKeysActions); }

void ClearBindings(const char* action) {
  for (int i = 0; i < kInputBindingCount; i++) {
    VarRecord* v = Input_BindingVar(i);
    if (v && Input_SameName(v->text, action)) Var_SetText(v, "");
  }
}

// While armed: the first bindable key held (mouse button 4 excluded) gets the action.
void CaptureKey(const char* action) {
  for (int code = 0; code < kKeyMouseButton4; code++) {
    if (!Input_KeyDown(code) || !(KeyInfoTable[code].flags & KEYINFO_BINDABLE)) continue;
    VarRecord* v = Var_Find(KeyInfoTable[code].varName);
    if (!v) continue;
    Var_SetText(v, action);
    g_screen.armed = 0;
    Input_Reset();
    return;
  }
}

void Leave() {
  g_screen.open = 0;
  g_screen.armed = 0;
  Menu_PlaySound("menu_act");
  Input_Reset();
}

}  // namespace

void Menu_InputKeysOpen() {
  g_screen = KeysScreen{1, 0, 0, 0};
  Input_Reset();
}

void Menu_InputKeys() {
  if (!g_screen.open) return;
  const char* action = Menu_InputKeysActionName(g_screen.selection);
  if (g_screen.armed) {
    // Escape cannot be bound: it gives up the capture instead.
    if (Input_KeyPressed(KEY_ESCAPE)) {
      g_screen.armed = 0;
      Input_Reset();
      return;
    }
    CaptureKey(action);
    return;
  }
  const int was = g_screen.selection;
  if (Input_KeyPressed(KEY_UP)) {
    g_screen.selection = (g_screen.selection + kMenuKeysActions - 1) % kMenuKeysActions;
    Menu_PlaySound("menu_mov");
  }
  if (Input_KeyPressed(KEY_DOWN)) {
    g_screen.selection = (g_screen.selection + 1) % kMenuKeysActions;
    Menu_PlaySound("menu_mov");
  }
  // A pointer moved onto a row takes the highlight; a click on a row arms the highlighted action.
  const int pointed = UI_TrackPointer(&g_screen.selection, was, kMenuKeysActions, kMenuKeysRows, FirstRowFor, 60, 580,
                                      30);
  g_screen.first = FirstRowFor(g_screen.selection);
  const bool click = Input_KeyPressed(kKeyMouseLeft) && pointed >= 0;
  action = Menu_InputKeysActionName(g_screen.selection);
  if (Input_KeyPressed(KEY_DELETE)) ClearBindings(action);
  if (Input_KeyPressed(KEY_ENTER) | int(click)) {
    // The key that armed the capture is still down: start from nothing held.
    g_screen.armed = 1;
    Input_Reset();
    return;
  }
  if (Input_KeyPressed(KEY_ESCAPE) | Input_KeyPressed(kKeyMouseRight)) Leave();
}

int Menu_InputKeysIsOpen() { return g_screen.open; }
int Menu_InputKeysFirstRow() { return g_screen.first; }

const char* Menu_InputKeysActionName(int row) {
  return row >= 0 && row < kPlayerActionCount ? PlayerActionTable[row].name : "";
}
int Menu_InputKeysSelection() { return g_screen.selection; }
int Menu_InputKeysArmed() { return g_screen.armed; }

int Menu_InputKeysFindBindings(int action, VarRecord* out[2]) {
  out[0] = out[1] = nullptr;
  if (action < 0 || action >= kMenuKeysActions) return 0;
  const char* name = Menu_InputKeysActionName(action);
  int n = 0;
  for (int i = 0; i < kInputBindingCount && n < 2; i++) {
    VarRecord* v = Input_BindingVar(i);
    if (v && v->text[0] && Input_SameName(v->text, name)) out[n++] = v;
  }
  return n;
}
