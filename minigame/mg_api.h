// The mini-game library's seven operations and the table of the game's functions it may call.
// Shared by the game's bridge (quests/minigame.cpp) and the library (minigame/minigame.cpp).
// Coordinates are those of the 640 x 480 layout.
#pragma once
#include <cstdint>

constexpr int32_t kMgApiVersion = 1;
// The codes the game forwards: Escape, Space or an Enter key, and the left mouse button.
constexpr int kMgKeyEscape = 27;
constexpr int kMgKeyConfirm = 32;
constexpr int kMgMouseLeft = 179;
// What MG_Update answers.
enum MgStatus : int32_t { MG_PLAYING = 0, MG_WON = 1, MG_GAVE_UP = 2 };

struct MgCallbacks {
  int32_t version;  // kMgApiVersion
  int32_t money;    // the player's money when the game started
  // A filled box, colour 0..255.
  void (*FillRect)(float left, float top, float right, float bottom, uint8_t r, uint8_t g, uint8_t b, uint8_t a);
  // A line of text, centred in the box, at a size in layout pixels, colour 0..255.
  void (*DrawText)(float left, float top, float right, float bottom, float size, const char* text, uint8_t r,
                   uint8_t g, uint8_t b);
  void (*PlaySound)(const char* name);
  void (*Log)(const char* line);
  // A draw from the game's random table: 0 .. count - 1.
  int32_t (*Random)(int32_t count);
};

extern "C" {
// 1 when the game started; the library keeps the table until MG_Free.
using MgInitFn = int32_t (*)(const MgCallbacks* callbacks, int32_t money);
using MgFreeFn = void (*)();
// Advances the game by `seconds`; answers an MgStatus.
using MgUpdateFn = int32_t (*)(float seconds);
using MgRenderFn = void (*)();
using MgMouseDownFn = void (*)(int32_t button);
using MgMouseMoveFn = void (*)(int32_t x, int32_t y);
using MgKeyDownFn = void (*)(int32_t key);
}
