#include "foundation/keys.h"

#include <array>

namespace {

struct NamedKey {
  int code;
  uint32_t flags;
  const char* varName;
  const char* textKey;
  uint8_t plain;
  uint8_t shifted;
};

constexpr uint32_t F = KEYINFO_FIXED;
constexpr uint32_t B = KEYINFO_BINDABLE;

constexpr NamedKey kNamedKeys[] = {
    {1, F, "Keyboard Escape", "kbd\\escape", 0, 0},
    {2, B, "Keyboard 1", "kbd\\1", '1', '!'},
    {3, B, "Keyboard 2", "kbd\\2", '2', '@'},
    {4, B, "Keyboard 3", "kbd\\3", '3', '#'},
    {5, B, "Keyboard 4", "kbd\\4", '4', '$'},
    {6, B, "Keyboard 5", "kbd\\5", '5', '%'},
    {7, B, "Keyboard 6", "kbd\\6", '6', '^'},
    {8, B, "Keyboard 7", "kbd\\7", '7', '&'},
    {9, B, "Keyboard 8", "kbd\\8", '8', '*'},
    {10, B, "Keyboard 9", "kbd\\9", '9', '('},
    {11, B, "Keyboard 0", "kbd\\0", '0', ')'},
    {12, B, "Keyboard -", "kbd\\minus", '-', '_'},
    {13, B, "Keyboard =", "kbd\\equal", '=', '+'},
    {14, B, "Keyboard Backspace", "kbd\\backspace", 0, 0},
    {15, B, "Keyboard Tab", "kbd\\tab", 0, 0},
    {16, B, "Keyboard Q", "kbd\\q", 'q', 'Q'},
    {17, B, "Keyboard W", "kbd\\w", 'w', 'W'},
    {18, B, "Keyboard E", "kbd\\e", 'e', 'E'},
    {19, B, "Keyboard R", "kbd\\r", 'r', 'R'},
    {20, B, "Keyboard T", "kbd\\t", 't', 'T'},
    {21, B, "Keyboard Y", "kbd\\y", 'y', 'Y'},
    {22, B, "Keyboard U", "kbd\\u", 'u', 'U'},
    {23, B, "Keyboard I", "kbd\\i", 'i', 'I'},
    {24, B, "Keyboard O", "kbd\\o", 'o', 'O'},
    {25, B, "Keyboard P", "kbd\\p", 'p', 'P'},
    {26, B, "Keyboard [", "kbd\\lbracket", '[', '{'},
    {27, B, "Keyboard ]", "kbd\\rbracket", ']', '}'},
    {28, B, "Keyboard Enter", "kbd\\enter", 0, 0},
    {29, B, "Keyboard Left Ctrl", "kbd\\lctrl", 0, 0},
    {30, B, "Keyboard A", "kbd\\a", 'a', 'A'},
    {31, B, "Keyboard S", "kbd\\s", 's', 'S'},
    {32, B, "Keyboard D", "kbd\\d", 'd', 'D'},
    {33, B, "Keyboard F", "kbd\\f", 'f', 'F'},
    {34, B, "Keyboard G", "kbd\\g", 'g', 'G'},
    {35, B, "Keyboard H", "kbd\\h", 'h', 'H'},
    {36, B, "Keyboard J", "kbd\\j", 'j', 'J'},
    {37, B, "Keyboard K", "kbd\\k", 'k', 'K'},
    {38, B, "Keyboard L", "kbd\\l", 'l', 'L'},
    {39, B, "Keyboard ;", "kbd\\twopoint", ';', ':'},
    {40, B, "Keyboard '", "kbd\\'", '\'', 0x22},
    {41, B, "Keyboard ~", "kbd\\tilda", 0x60, '~'},
    {42, B, "Keyboard Left Shift", "kbd\\lshift", 0, 0},
    {43, B, "Keyboard \\", "kbd\\backslash", 0x5C, 0x7C},
    {44, B, "Keyboard Z", "kbd\\z", 'z', 'Z'},
    {45, B, "Keyboard X", "kbd\\x", 'x', 'X'},
    {46, B, "Keyboard C", "kbd\\c", 'c', 'C'},
    {47, B, "Keyboard V", "kbd\\v", 'v', 'V'},
    {48, B, "Keyboard B", "kbd\\b", 'b', 'B'},
    {49, B, "Keyboard N", "kbd\\n", 'n', 'N'},
    {50, B, "Keyboard M", "kbd\\m", 'm', 'M'},
    {51, B, "Keyboard ,", "kbd\\less", ',', '<'},
    {52, B, "Keyboard .", "kbd\\more", '.', '>'},
    {53, B, "Keyboard /", "kbd\\slash", '/', '?'},
    {54, B, "Keyboard Right Shift", "kbd\\rshift", 0, 0},
    {55, B, "Keyboard Numpad *", "kbd\\nummul", '*', '*'},
    {56, B, "Keyboard Left Alt", "kbd\\lalt", 0, 0},
    {57, B, "Keyboard Space", "kbd\\space", ' ', ' '},
    {58, B, "Keyboard Capslock", "kbd\\capslock", 0, 0},
    {59, F, "Keyboard F1", "kbd\\f1", 0, 0},
    {60, B, "Keyboard F2", "kbd\\f2", 0, 0},
    {61, B, "Keyboard F3", "kbd\\f3", 0, 0},
    {62, B, "Keyboard F4", "kbd\\f4", 0, 0},
    {63, B, "Keyboard F5", "kbd\\f5", 0, 0},
    {64, B, "Keyboard F6", "kbd\\f6", 0, 0},
    {65, B, "Keyboard F7", "kbd\\f7", 0, 0},
    {66, B, "Keyboard F8", "kbd\\f8", 0, 0},
    {67, B, "Keyboard F9", "kbd\\f9", 0, 0},
    {68, B, "Keyboard F10", "kbd\\f10", 0, 0},
    {69, F, "Keyboard Numlock", "kbd\\numlock", 0, 0},
    {71, B, "Keyboard Numpad 7", "kbd\\num7", '7', '7'},
    {72, B, "Keyboard Numpad 8", "kbd\\num8", '8', '8'},
    {73, B, "Keyboard Numpad 9", "kbd\\num9", '9', '9'},
    {74, B, "Keyboard Numpad -", "kbd\\numminus", '-', '-'},
    {75, B, "Keyboard Numpad 4", "kbd\\num4", '4', '4'},
    {76, B, "Keyboard Numpad 5", "kbd\\num5", '5', '5'},
    {77, B, "Keyboard Numpad 6", "kbd\\num6", '6', '6'},
    {78, B, "Keyboard Numpad +", "kbd\\numplus", '+', '+'},
    {79, B, "Keyboard Numpad 1", "kbd\\num1", '1', '1'},
    {80, B, "Keyboard Numpad 2", "kbd\\num2", '2', '2'},
    {81, B, "Keyboard Numpad 3", "kbd\\num3", '3', '3'},
    {82, B, "Keyboard Numpad 0", "kbd\\num0", '0', '0'},
    {83, B, "Keyboard Numpad .", "kbd\\numpoint", '.', '.'},
    {87, F, "Keyboard F11", "kbd\\f11", 0, 0},
    {88, F, "Keyboard F12", "kbd\\f12", 0, 0},
    {156, B, "Keyboard Numpad Enter", "kbd\\numenter", 0, 0},
    {157, B, "Keyboard Right Ctrl", "kbd\\rctrl", 0, 0},
    {181, B, "Keyboard Numpad /", "kbd\\numslash", '/', '/'},
    {184, B, "Keyboard Right Alt", "kbd\\ralt", 0, 0},
    {199, B, "Keyboard Home", "kbd\\home", 0, 0},
    {200, B, "Keyboard Up Arrow", "kbd\\up", 0, 0},
    {201, B, "Keyboard Page Up", "kbd\\pageup", 0, 0},
    {203, B, "Keyboard Left Arrow", "kbd\\left", 0, 0},
    {205, B, "Keyboard Right Arrow", "kbd\\right", 0, 0},
    {207, B, "Keyboard End", "kbd\\end", 0, 0},
    {208, B, "Keyboard Down Arrow", "kbd\\down", 0, 0},
    {209, B, "Keyboard Page Down", "kbd\\pagedown", 0, 0},
    {210, B, "Keyboard Insert", "kbd\\insert", 0, 0},
    {211, B, "Keyboard Delete", "kbd\\delete", 0, 0},
    {256, B, "Mouse Left Button", "kbd\\leftbutton", 0, 0},
    {257, B, "Mouse Right Button", "kbd\\rightbutton", 0, 0},
    {258, B, "Mouse Middle Button", "kbd\\middlebutton", 0, 0},
    {259, B, "Mouse Button 4", "kbd\\button4", 0, 0},
};
static_assert(sizeof kNamedKeys / sizeof kNamedKeys[0] == 102);

constexpr std::array<KeyInfo, kKeyCodeCount> BuildTable() {
  std::array<KeyInfo, kKeyCodeCount> t{};
  for (auto& row : t) row = KeyInfo{KEYINFO_FIXED, "", "", 0, 0};
  for (const NamedKey& k : kNamedKeys) t[k.code] = KeyInfo{k.flags, k.varName, k.textKey, k.plain, k.shifted};
  return t;
}

}  // namespace

// Constant-initialized: ready before any start-up code runs.
extern const std::array<KeyInfo, kKeyCodeCount> KeyInfoTable = BuildTable();

const KeyInfo* Key_GetInfo(int code) {
  if (code < 0 || code >= kKeyCodeCount) return nullptr;
  return &KeyInfoTable[code];
}
