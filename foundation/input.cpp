#include "foundation/input.h"

#include <cstring>

#include "foundation/log.h"
#include "foundation/text.h"
#include "foundation/timer.h"
#include "foundation/var.h"
#include "platform/input.h"
#include "world/game.h"

int32_t Input_MouseX;
int32_t Input_MouseY;
float Input_Wheel;

namespace {

// The binding variables, in registration order (the settings file lists them newest first).
const char* const kBindingNames[] = {
    "Keyboard Escape", "Keyboard F1", "Keyboard F2", "Keyboard F3", "Keyboard F4", "Keyboard F5",
    "Keyboard F6", "Keyboard F7", "Keyboard F8", "Keyboard F9", "Keyboard F10", "Keyboard F11", "Keyboard F12",
    "Keyboard ~", "Keyboard 1", "Keyboard 2", "Keyboard 3", "Keyboard 4", "Keyboard 5", "Keyboard 6",
    "Keyboard 7", "Keyboard 8", "Keyboard 9", "Keyboard 0", "Keyboard -", "Keyboard =", "Keyboard Backspace",
    "Keyboard Tab", "Keyboard Q", "Keyboard W", "Keyboard E", "Keyboard R", "Keyboard T", "Keyboard Y",
    "Keyboard U", "Keyboard I", "Keyboard O", "Keyboard P", "Keyboard [", "Keyboard ]", "Keyboard Capslock",
    "Keyboard A", "Keyboard S", "Keyboard D", "Keyboard F", "Keyboard G", "Keyboard H", "Keyboard J",
    "Keyboard K", "Keyboard L", "Keyboard ;", "Keyboard '", "Keyboard Enter", "Keyboard Left Shift",
    "Keyboard Z", "Keyboard X", "Keyboard C", "Keyboard V", "Keyboard B", "Keyboard N", "Keyboard M",
    "Keyboard ,", "Keyboard .", "Keyboard /", "Keyboard Right Shift", "Keyboard \\", "Keyboard Left Ctrl",
    "Keyboard Left Alt", "Keyboard Space", "Keyboard Right Alt", "Keyboard Right Ctrl", "Keyboard Left Arrow",
    "Keyboard Right Arrow", "Keyboard Up Arrow", "Keyboard Down Arrow", "Keyboard Insert", "Keyboard Delete",
    "Keyboard Home", "Keyboard End", "Keyboard Page Up", "Keyboard Page Down", "Keyboard SysRq",
    "Keyboard ScrollLock", "Keyboard NumLock", "Keyboard Numpad /", "Keyboard Numpad *", "Keyboard Numpad -",
    "Keyboard Numpad +", "Keyboard Numpad Enter", "Keyboard Numpad .", "Keyboard Numpad 1", "Keyboard Numpad 2",
    "Keyboard Numpad 3", "Keyboard Numpad 4", "Keyboard Numpad 5", "Keyboard Numpad 6", "Keyboard Numpad 7",
    "Keyboard Numpad 8", "Keyboard Numpad 9", "Keyboard Numpad 0", "Mouse Left Button", "Mouse Right Button",
    "Mouse Middle Button", "Mouse Button 4",
};
constexpr int kBindingCount = sizeof kBindingNames / sizeof kBindingNames[0];
static_assert(kBindingCount == kInputBindingCount);

VarRecord g_bindings[kBindingCount];
constexpr VarRecord kMouseSensitivity = {"mouse_sensitivity", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ALWAYS, 9.0f, "9", 0, nullptr};
constexpr VarRecord kMouseInvert = {"mouse_invert", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ALWAYS, 0.0f, "0", 0, nullptr};
constexpr VarRecord kRepeatSpeed = {"input_repeat_speed", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 0.1f, "", 0, nullptr};
VarRecord g_mouseSensitivity = kMouseSensitivity;
VarRecord g_mouseInvert = kMouseInvert;
VarRecord g_repeatSpeed = kRepeatSpeed;
VarRecord* g_repeatSpeedVar = &g_repeatSpeed;

struct InputState {
  uint32_t events[kInputMaxEvents];
  int eventCount;
  uint32_t held[kKeyCodeCount];
  int32_t presses[kKeyCodeCount];
  uint8_t typed[kInputTypedMax + 2];
  int typedCount;
  uint8_t taken[kInputMaxEvents];
  int repeatKey;
  int repeatDelay;
  double repeatTime;
  int history[kInputHistory];
};
InputState g_in;
InputCommand* g_commands;
double (*g_clock)();

double Now() { return g_clock ? g_clock() : Timer_Now(); }

bool SameText(const char* a, const char* b) {
  for (;; a++, b++) {
    char ca = *a, cb = *b;
    if (ca >= 'A' && ca <= 'Z') ca = char(ca - 'A' + 'a');
    if (cb >= 'A' && cb <= 'Z') cb = char(cb - 'A' + 'a');
    if (ca != cb) return false;
    if (!ca) return true;
  }
}

void ForgetKeys() {
  std::memset(g_in.held, 0, sizeof g_in.held);
  std::memset(g_in.presses, 0, sizeof g_in.presses);
  g_in.repeatKey = 0;
  g_in.repeatDelay = 0;
}

// Typed keys that keep repeating while held, missed periods caught up at once.
void RunRepeat(double now) {
  if (!g_in.repeatKey) return;
  double speed = g_repeatSpeedVar->value;
  if (!(speed > 0.0)) return;  // 0 or less (or not a number) turns repeat off
  if (g_in.repeatDelay) {
    if (!(g_in.repeatTime + 5.0 * speed < now)) return;
    g_in.repeatDelay = 0;
    Input_AddTypedKey(g_in.repeatKey);
    g_in.repeatTime += 5.0 * speed;
  }
  // Bounded: the buffer takes no more anyway, and a tiny period must not stall the frame.
  for (int n = 0; g_in.repeatTime + speed < now; n++) {
    if (n >= kInputTypedMax) {
      g_in.repeatTime = now;
      break;
    }
    Input_AddTypedKey(g_in.repeatKey);
    g_in.repeatTime += speed;
  }
}

bool CheatMatches(const char* word) {
  int len = int(std::strlen(word));
  for (int i = 0; i < len; i++) {
    const KeyInfo* row = Key_GetInfo(g_in.history[i]);
    if (!row || row->plain != uint8_t(word[len - 1 - i])) return false;
  }
  return true;
}

// Shows a line on the screen's message log for seven seconds: the localized text of the key,
// or the given text when there is no key; nothing when the key has no text.
void ShowMessage(const char* textKey, const char16_t* text) {
  if (textKey) text = Text_Get("data\\text\\", textKey);
  if (!text) return;
  Console_AddMessage(text, Timer_FrameTime + kConsoleMessageSeconds);
}

void CheckCheatWords() {
  if (CheatMatches(kCheatGodMode)) {
    Game_GodMode ^= 1u;
    ShowMessage(Game_GodMode ? "consol\\god mode on" : "consol\\god mode off", nullptr);
    std::memset(g_in.history, 0, sizeof g_in.history);
  }
  if (CheatMatches(kCheatAllWeapons)) {
    Game_AllWeaponsFlag = 1;
    Game_GiveAllWeapons();
    ShowMessage(nullptr, u"all weapons");
    std::memset(g_in.history, 0, sizeof g_in.history);
  }
}

}  // namespace

int Input_Init(int stage) {
  if (stage == 0) {
    for (int i = 0; i < kBindingCount; i++) {
      g_bindings[i] = VarRecord{kBindingNames[i], 0, VAR_SETTABLE | VAR_ALWAYS, 0.0f, "", 0, nullptr};
      Var_Register(&g_bindings[i]);
    }
    g_mouseSensitivity = kMouseSensitivity;
    g_mouseInvert = kMouseInvert;
    g_repeatSpeed = kRepeatSpeed;
    Var_Register(&g_mouseSensitivity);
    Var_Register(&g_mouseInvert);
    VarRecord* speed = Var_Register(&g_repeatSpeed);
    g_repeatSpeedVar = speed ? speed : &g_repeatSpeed;
  } else if (stage == 1) {
    Input_ClearCommands();
    Input_Start();
  }
  return 1;
}

void Input_Start() { DI_StartHook(); }

void Input_AddCommand(InputCommand* command) {
  if (!command) return;
  for (InputCommand* c = g_commands; c; c = c->next)
    if (c == command) return;  // linking it again would make the list a loop
  command->next = g_commands;
  g_commands = command;
}

void Input_ClearCommands() { g_commands = nullptr; }

InputCommand* Input_FirstCommand() { return g_commands; }

void Input_DispatchKey(int code, int down) {
  const KeyInfo* row = Key_GetInfo(code);
  if (!row || !row->varName[0]) return;
  VarRecord* binding = Var_Find(row->varName);
  if (!binding || !binding->text[0]) return;
  for (InputCommand* c = g_commands; c; c = c->next) {
    if (!c->name || !SameText(c->name, binding->text)) continue;
    void (*handler)() = down ? c->press : c->release;
    if (handler) handler();
    return;
  }
}

void Input_Poll() {
  double now = Now();
  int32_t wheel = 0;
  int count = 0, lost = 0;
  DI_ReadEvents(&Input_MouseX, &Input_MouseY, &wheel, g_in.events, kInputMaxEvents, &count, &lost);
  Input_Wheel = -float(wheel);
  // Keys held when the focus went never see their key-up: forget them before they repeat.
  if (lost) ForgetKeys();
  RunRepeat(now);

  int kept = 0;
  for (int i = 0; i < count; i++) {
    uint32_t e = g_in.events[i];
    int code = int(e & ~kKeyEventDown);
    if (code >= kKeyCodeCount) continue;
    // Alt+Tab belongs to the window manager: the game sees nothing of it.
    if (code == KEY_TAB && (g_in.held[KEY_LALT] || g_in.held[KEY_RALT])) continue;
    g_in.events[kept++] = e;
    if (e & kKeyEventDown) {
      // Only keyboard keys type; the mouse buttons are read as held keys and presses.
      if (code < 256 && code != g_in.repeatKey) {
        Input_AddTypedKey(code);
        g_in.repeatKey = code;
        g_in.repeatDelay = 1;
        g_in.repeatTime = now;
      }
      if (!g_in.held[code]) g_in.presses[code]++;
      g_in.held[code] = 1;
    } else {
      if (code == g_in.repeatKey) g_in.repeatKey = 0;
      g_in.held[code] = 0;
    }
  }
  g_in.eventCount = kept;
}

void Input_ProcessEvents() {
  // A handler may reset the input (menus do when they open), which refills the event list.
  uint32_t events[kInputMaxEvents];
  int count = g_in.eventCount;
  std::memcpy(events, g_in.events, sizeof(uint32_t) * size_t(count));
  for (int i = 0; i < count; i++) {
    int code = int(events[i] & ~kKeyEventDown);
    int down = (events[i] & kKeyEventDown) ? 1 : 0;
    Input_DispatchKey(code, down);
    if (!down || code == g_in.history[0]) continue;
    std::memmove(g_in.history + 1, g_in.history, sizeof(int) * (kInputHistory - 1));
    g_in.history[0] = code;
    CheckCheatWords();
  }
}

int Input_KeyPressed(int code) {
  if (code < 0 || code >= kKeyCodeCount) return 0;
  if (g_in.presses[code] < 1) return 0;
  g_in.presses[code]--;
  return 1;
}

int Input_KeyDown(int code) {
  if (code < 0 || code >= kKeyCodeCount) return 0;
  return g_in.held[code] ? 1 : 0;
}

void Input_AddTypedKey(int code) {
  // Byte 0 would end the string; mouse-button codes are no characters.
  if (code <= 0 || code > 255) return;
  if (g_in.typedCount >= kInputTypedMax) return;
  g_in.typed[g_in.typedCount++] = uint8_t(code);
  g_in.typed[g_in.typedCount] = 0;
}

const uint8_t* Input_TakeTypedKeys() {
  std::memcpy(g_in.taken, g_in.typed, size_t(g_in.typedCount));
  g_in.taken[g_in.typedCount] = 0;
  g_in.typedCount = 0;
  g_in.typed[0] = 0;
  return g_in.taken;
}

int Input_Reset() {
  Input_Poll();
  ForgetKeys();
  g_in.typedCount = 0;
  g_in.typed[0] = 0;
  return 0;
}

int Input_EventCount() { return g_in.eventCount; }

uint32_t Input_Event(int index) {
  if (index < 0 || index >= g_in.eventCount) return 0;
  return g_in.events[index];
}

VarRecord* Input_BindingVar(int index) {
  if (index < 0 || index >= kBindingCount) return nullptr;
  return Var_Find(kBindingNames[kBindingCount - 1 - index]);
}

int Input_SameName(const char* a, const char* b) { return a && b && SameText(a, b) ? 1 : 0; }

void Input_SetClock(double (*clock)()) { g_clock = clock; }
