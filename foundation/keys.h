// Key codes and the per-key table: binding variable, display text key and typed characters.
#pragma once
#include <array>
#include <cstdint>

// Codes 0..255 are keyboard scan codes (DirectInput numbering), 256..259 the mouse buttons.
constexpr int kKeyCodeCount = 260;
constexpr int kKeyMouseLeft = 256;
constexpr int kKeyMouseRight = 257;
constexpr int kKeyMouseMiddle = 258;
constexpr int kKeyMouseButton4 = 259;

// Scan codes the engine reads by number.
enum KeyCode : int {
  KEY_ESCAPE = 1,
  KEY_BACKSPACE = 14,
  KEY_TAB = 15,
  KEY_ENTER = 28,
  KEY_LCTRL = 29,
  KEY_LSHIFT = 42,
  KEY_RSHIFT = 54,
  KEY_LALT = 56,
  KEY_SPACE = 57,
  KEY_F1 = 59,
  KEY_F2 = 60,
  KEY_F3 = 61,
  KEY_F7 = 65,
  KEY_F8 = 66,
  KEY_F9 = 67,
  KEY_NUMLOCK = 69,
  KEY_F11 = 87,
  KEY_F12 = 88,
  KEY_NUMPADENTER = 156,
  KEY_RCTRL = 157,
  KEY_RALT = 184,
  KEY_HOME = 199,
  KEY_UP = 200,
  KEY_PAGEUP = 201,
  KEY_LEFT = 203,
  KEY_RIGHT = 205,
  KEY_END = 207,
  KEY_DOWN = 208,
  KEY_PAGEDOWN = 209,
  KEY_INSERT = 210,
  KEY_DELETE = 211,
};

enum KeyInfoFlags : uint32_t {
  KEYINFO_FIXED = 1,     // cannot be bound by the key-binding menu
  KEYINFO_BINDABLE = 2,  // may be bound by the key-binding menu
};

struct KeyInfo {
  uint32_t flags;
  const char* varName;  // settings variable holding the key's binding ("" for none)
  const char* textKey;  // key of the display name under "data\text\" ("" for none)
  uint8_t plain;        // typed character without Shift (0 for none)
  uint8_t shifted;      // typed character with Shift (0 for none)
};

// One row per key code, in code order.
extern const std::array<KeyInfo, kKeyCodeCount> KeyInfoTable;

// The row of a code, or null outside 0..259.
const KeyInfo* Key_GetInfo(int code);
