// Keyboard and mouse on SDL2 events, delivered with the scan-code numbering of the key table.
#include <SDL.h>

#include <algorithm>
#include <array>
#include <iterator>

#include "foundation/log.h"
#include "foundation/sys.h"
#include "platform/input.h"
#include "platform/window.h"

namespace {

struct ScanMap {
  SDL_Scancode scancode;
  uint8_t code;
};

// Positional keys: the code of a key is where it sits on a US keyboard, whatever the layout.
constexpr ScanMap kScanMap[] = {
    {SDL_SCANCODE_ESCAPE, 1},
    {SDL_SCANCODE_1, 2}, {SDL_SCANCODE_2, 3}, {SDL_SCANCODE_3, 4}, {SDL_SCANCODE_4, 5}, {SDL_SCANCODE_5, 6},
    {SDL_SCANCODE_6, 7}, {SDL_SCANCODE_7, 8}, {SDL_SCANCODE_8, 9}, {SDL_SCANCODE_9, 10}, {SDL_SCANCODE_0, 11},
    {SDL_SCANCODE_MINUS, 12}, {SDL_SCANCODE_EQUALS, 13}, {SDL_SCANCODE_BACKSPACE, 14}, {SDL_SCANCODE_TAB, 15},
    {SDL_SCANCODE_Q, 16}, {SDL_SCANCODE_W, 17}, {SDL_SCANCODE_E, 18}, {SDL_SCANCODE_R, 19}, {SDL_SCANCODE_T, 20},
    {SDL_SCANCODE_Y, 21}, {SDL_SCANCODE_U, 22}, {SDL_SCANCODE_I, 23}, {SDL_SCANCODE_O, 24}, {SDL_SCANCODE_P, 25},
    {SDL_SCANCODE_LEFTBRACKET, 26}, {SDL_SCANCODE_RIGHTBRACKET, 27}, {SDL_SCANCODE_RETURN, 28},
    {SDL_SCANCODE_LCTRL, 29},
    {SDL_SCANCODE_A, 30}, {SDL_SCANCODE_S, 31}, {SDL_SCANCODE_D, 32}, {SDL_SCANCODE_F, 33}, {SDL_SCANCODE_G, 34},
    {SDL_SCANCODE_H, 35}, {SDL_SCANCODE_J, 36}, {SDL_SCANCODE_K, 37}, {SDL_SCANCODE_L, 38},
    {SDL_SCANCODE_SEMICOLON, 39}, {SDL_SCANCODE_APOSTROPHE, 40}, {SDL_SCANCODE_GRAVE, 41},
    {SDL_SCANCODE_LSHIFT, 42}, {SDL_SCANCODE_BACKSLASH, 43}, {SDL_SCANCODE_NONUSHASH, 43},
    {SDL_SCANCODE_Z, 44}, {SDL_SCANCODE_X, 45}, {SDL_SCANCODE_C, 46}, {SDL_SCANCODE_V, 47}, {SDL_SCANCODE_B, 48},
    {SDL_SCANCODE_N, 49}, {SDL_SCANCODE_M, 50}, {SDL_SCANCODE_COMMA, 51}, {SDL_SCANCODE_PERIOD, 52},
    {SDL_SCANCODE_SLASH, 53}, {SDL_SCANCODE_RSHIFT, 54}, {SDL_SCANCODE_KP_MULTIPLY, 55}, {SDL_SCANCODE_LALT, 56},
    {SDL_SCANCODE_SPACE, 57}, {SDL_SCANCODE_CAPSLOCK, 58},
    {SDL_SCANCODE_F1, 59}, {SDL_SCANCODE_F2, 60}, {SDL_SCANCODE_F3, 61}, {SDL_SCANCODE_F4, 62},
    {SDL_SCANCODE_F5, 63}, {SDL_SCANCODE_F6, 64}, {SDL_SCANCODE_F7, 65}, {SDL_SCANCODE_F8, 66},
    {SDL_SCANCODE_F9, 67}, {SDL_SCANCODE_F10, 68},
    {SDL_SCANCODE_NUMLOCKCLEAR, 69}, {SDL_SCANCODE_SCROLLLOCK, 70},
    {SDL_SCANCODE_KP_7, 71}, {SDL_SCANCODE_KP_8, 72}, {SDL_SCANCODE_KP_9, 73}, {SDL_SCANCODE_KP_MINUS, 74},
    {SDL_SCANCODE_KP_4, 75}, {SDL_SCANCODE_KP_5, 76}, {SDL_SCANCODE_KP_6, 77}, {SDL_SCANCODE_KP_PLUS, 78},
    {SDL_SCANCODE_KP_1, 79}, {SDL_SCANCODE_KP_2, 80}, {SDL_SCANCODE_KP_3, 81}, {SDL_SCANCODE_KP_0, 82},
    {SDL_SCANCODE_KP_PERIOD, 83}, {SDL_SCANCODE_NONUSBACKSLASH, 86},
    {SDL_SCANCODE_F11, 87}, {SDL_SCANCODE_F12, 88},
    {SDL_SCANCODE_F13, 100}, {SDL_SCANCODE_F14, 101}, {SDL_SCANCODE_F15, 102},
    {SDL_SCANCODE_INTERNATIONAL2, 112}, {SDL_SCANCODE_INTERNATIONAL1, 115}, {SDL_SCANCODE_INTERNATIONAL4, 121},
    {SDL_SCANCODE_INTERNATIONAL5, 123}, {SDL_SCANCODE_INTERNATIONAL3, 125}, {SDL_SCANCODE_KP_EQUALS, 141},
    // Keys sent with the extended prefix: 128 + their base code.
    {SDL_SCANCODE_KP_ENTER, 156}, {SDL_SCANCODE_RCTRL, 157}, {SDL_SCANCODE_MUTE, 160},
    {SDL_SCANCODE_VOLUMEDOWN, 174}, {SDL_SCANCODE_VOLUMEUP, 176}, {SDL_SCANCODE_KP_DIVIDE, 181},
    {SDL_SCANCODE_PRINTSCREEN, 183}, {SDL_SCANCODE_RALT, 184}, {SDL_SCANCODE_PAUSE, 197},
    {SDL_SCANCODE_HOME, 199}, {SDL_SCANCODE_UP, 200}, {SDL_SCANCODE_PAGEUP, 201}, {SDL_SCANCODE_LEFT, 203},
    {SDL_SCANCODE_RIGHT, 205}, {SDL_SCANCODE_END, 207}, {SDL_SCANCODE_DOWN, 208}, {SDL_SCANCODE_PAGEDOWN, 209},
    {SDL_SCANCODE_INSERT, 210}, {SDL_SCANCODE_DELETE, 211}, {SDL_SCANCODE_LGUI, 219}, {SDL_SCANCODE_RGUI, 220},
    {SDL_SCANCODE_APPLICATION, 221}, {SDL_SCANCODE_POWER, 222}, {SDL_SCANCODE_SLEEP, 223},
};

constexpr std::array<uint8_t, SDL_NUM_SCANCODES> BuildScanTable() {
  std::array<uint8_t, SDL_NUM_SCANCODES> t{};
  for (const ScanMap& m : kScanMap) t[m.scancode] = m.code;
  return t;
}
constexpr std::array<uint8_t, SDL_NUM_SCANCODES> kScanTable = BuildScanTable();

// One device's buffer of events since the last read; when full, newer events are dropped.
struct DeviceBuffer {
  uint32_t events[kDeviceBufferSize];
  int count;
  void Push(uint32_t e) {
    if (count < kDeviceBufferSize) events[count++] = e;
  }
};

constexpr int kKeyCodes = 260;  // keyboard 1..255, mouse buttons 256..259

struct InputDevices {
  uint8_t directInputUp, keyboardUp, mouseUp;
  uint8_t keyboardAcquired, mouseAcquired;
  DeviceBuffer keyboard, mouse;
  int32_t mouseX, mouseY, wheel;
  int lost;
  // Up or down per key code: as the device's events left it (every event, buffered or not), and
  // as the reads have told it.
  uint8_t down[kKeyCodes], told[kKeyCodes];
};
InputDevices g_dev;

void ClearBuffers() {
  g_dev.keyboard.count = 0;
  g_dev.mouse.count = 0;
  g_dev.mouseX = g_dev.mouseY = g_dev.wheel = 0;
}

// The buffered events and the key states go: the next read reports the loss.
void LoseEvents() {
  ClearBuffers();
  std::fill(std::begin(g_dev.down), std::end(g_dev.down), 0);
  std::fill(std::begin(g_dev.told), std::end(g_dev.told), 0);
  g_dev.lost = 1;
}

void Record(DeviceBuffer& buffer, int code, bool down) {
  g_dev.down[code] = down;
  buffer.Push(uint32_t(code) | (down ? kKeyEventDown : 0u));
}

void SetRelativeMouse(bool on) {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  // Unattended runs (tests, CI) share one display: holding the pointer there would make every
  // other window that wants it wait.
  if (Plat_IsUnattended()) return;
  if (SDL_SetRelativeMouseMode(on ? SDL_TRUE : SDL_FALSE) != 0 && on)
    Log_Printf("DIMInit: relative mouse mode refused (%s)\n", SDL_GetError());
}

const char* ErrorName(int code) {
  static const char* const kNames[] = {
      "DIERR_OLDDIRECTINPUTVERSION", "DIERR_BETADIRECTINPUTVERSION", "DIERR_BADDRIVERVER",
      "DIERR_DEVICENOTREG",          "DIERR_NOTFOUND",               "DIERR_INVALIDPARAM",
      "DIERR_NOINTERFACE",           "DIERR_GENERIC",                "DIERR_OUTOFMEMORY",
      "DIERR_UNSUPPORTED",           "DIERR_NOTINITIALIZED",         "DIERR_ALREADYINITIALIZED",
      "DIERR_NOAGGREGATION",         "DIERR_OTHERAPPHASPRIO",        "DIERR_INPUTLOST",
      "DIERR_ACQUIRED",              "DIERR_NOTACQUIRED",            "DIERR_INSUFFICIENTPRIVS",
      "DIERR_DEVICEFULL",            "DIERR_MOREDATA",               "DIERR_NOTDOWNLOADED",
      "DIERR_HASEFFECTS",            "DIERR_NOTEXCLUSIVEACQUIRED",   "DIERR_INCOMPLETEEFFECT",
      "DIERR_NOTBUFFERED",           "DIERR_EFFECTPLAYING",
  };
  if (code >= DIERR_OLDDIRECTINPUTVERSION && code <= DIERR_EFFECTPLAYING) return kNames[code - 1];
  return nullptr;
}

}  // namespace

int PlatInput_ScancodeToKey(int scancode) {
  if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) return 0;
  return kScanTable[scancode];
}

int PlatInput_ButtonToKey(int button) {
  switch (button) {
    case SDL_BUTTON_LEFT: return 256;
    case SDL_BUTTON_RIGHT: return 257;
    case SDL_BUTTON_MIDDLE: return 258;
    case SDL_BUTTON_X1: return 259;
    default: return 0;
  }
}

void DIError(int code, const char* text) {
  const char* name = ErrorName(code);
  if (name)
    Log_Printf("DIError: %s: %s\n", name, text);
  else
    Log_Printf("DIError: Unknown Error: %s\n", text);
}

// The start hook of the input devices: nothing to start here. The keyboard and mouse come up with
// DIKInit and DIMInit at the device stage, and SDL's event pump is ready once the window exists.
void DI_StartHook() {}

int DIKInit() {
  g_dev.keyboardUp = 1;
  Log_Printf("DIKInit: OK.\n");
  return 1;
}

int DIMInit() {
  g_dev.mouseUp = 1;
  Log_Printf("DIMInit: OK.\n");
  return 1;
}

void DI_Init(int stage) {
  if (stage != 1) return;
  SDL_Window* window = static_cast<SDL_Window*>(Plat_GetWindow());
  if (!window || !SDL_WasInit(SDL_INIT_VIDEO)) {
    DIError(DIERR_NONE, "Unable init DirectInput.");
    return;
  }
  g_dev = InputDevices{};
  g_dev.directInputUp = 1;
  DIKInit();
  DIMInit();
  SDL_ShowWindow(window);
  SDL_RaiseWindow(window);
}

void DI_Acquire() {
  if (!g_dev.directInputUp) return;
  bool active = !Sys_AppInactive;
  uint8_t keyboard = g_dev.keyboardUp && active;
  uint8_t mouse = g_dev.mouseUp && active;
  if ((g_dev.keyboardAcquired && !keyboard) || (g_dev.mouseAcquired && !mouse)) {
    // What was buffered, and every key-up still to come, goes elsewhere.
    LoseEvents();
  }
  g_dev.keyboardAcquired = keyboard;
  if (mouse != g_dev.mouseAcquired) SetRelativeMouse(mouse);
  g_dev.mouseAcquired = mouse;
}

void PlatInput_QueueEvent(const PlatEvent* ev) {
  if (!ev) return;
  switch (ev->kind) {
    case PLATEV_FOCUS_LOST:
      // Key-ups while another window has the focus never reach us: forget what is held.
      LoseEvents();
      break;
    case PLATEV_KEY_DOWN:
    case PLATEV_KEY_UP: {
      if (!g_dev.keyboardAcquired || ev->repeat) break;  // the engine repeats keys itself
      int code = PlatInput_ScancodeToKey(ev->scancode);
      if (!code) break;
      Record(g_dev.keyboard, code, ev->kind == PLATEV_KEY_DOWN);
      break;
    }
    case PLATEV_MOUSE_DOWN:
    case PLATEV_MOUSE_UP: {
      if (!g_dev.mouseAcquired) break;
      int code = PlatInput_ButtonToKey(ev->button);
      if (!code) break;
      Record(g_dev.mouse, code, ev->kind == PLATEV_MOUSE_DOWN);
      break;
    }
    case PLATEV_MOUSE_MOTION:
      if (!g_dev.mouseAcquired) break;
      g_dev.mouseX += ev->dx;
      g_dev.mouseY += ev->dy;
      break;
    case PLATEV_MOUSE_WHEEL:
      if (!g_dev.mouseAcquired) break;
      g_dev.wheel += ev->wheel;
      break;
    default: break;
  }
}

void DI_ReadEvents(int32_t* mouseX, int32_t* mouseY, int32_t* wheel, uint32_t* events, int capacity, int* count,
                   int* lost) {
  *mouseX = *mouseY = *wheel = 0;
  *count = 0;
  *lost = 0;
  if (!g_dev.directInputUp) return;
  *lost = g_dev.lost;
  g_dev.lost = 0;
  int n = 0;
  auto tell = [&](uint32_t e) {
    if (n >= capacity) return;
    events[n++] = e;
    g_dev.told[e & ~kKeyEventDown] = (e & kKeyEventDown) != 0;
  };
  // A full buffer drops the newest events. Each device's events are followed by one for every
  // key whose state they leave wrong (a key-up that was dropped, above all), so that no key
  // stays held after a burst.
  auto reconcile = [&](int from, int to) {
    for (int c = from; c < to; c++)
      if (g_dev.told[c] != g_dev.down[c]) tell(uint32_t(c) | (g_dev.down[c] ? kKeyEventDown : 0u));
  };
  for (int i = 0; i < g_dev.keyboard.count; i++) tell(g_dev.keyboard.events[i]);
  reconcile(1, 256);
  for (int i = 0; i < g_dev.mouse.count; i++) tell(g_dev.mouse.events[i]);
  reconcile(256, kKeyCodes);
  *count = n;
  *mouseX = g_dev.mouseX;
  *mouseY = g_dev.mouseY;
  *wheel = g_dev.wheel;
  ClearBuffers();
}

void DI_Shutdown() {
  if (g_dev.directInputUp) {
    if (g_dev.mouseAcquired) SetRelativeMouse(false);
    g_dev.mouseAcquired = g_dev.keyboardAcquired = 0;
    g_dev.mouseUp = g_dev.keyboardUp = 0;
    LoseEvents();
  }
  g_dev.directInputUp = 0;
  g_dev.lost = 0;
}
