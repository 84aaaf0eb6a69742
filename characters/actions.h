// The player's actions: the commands that key bindings fire, and the command word they set.
#pragma once
#include <cstdint>

#include "foundation/input.h"

constexpr int kPlayerActionCount = 32;

// Bits of the player's command word. The bit of an action is its row number in the table, but
// for "Decel" and "Leave Car", which take the free bits 22 and 21: bits 30 and 31 belong to demos.
enum PlayerCommandBits : uint32_t {
  CMD_FORWARD = 1u << 0,
  CMD_BACK = 1u << 1,
  CMD_LEFT = 1u << 2,
  CMD_RIGHT = 1u << 3,
  CMD_STRAFE_LEFT = 1u << 4,
  CMD_STRAFE_RIGHT = 1u << 5,
  CMD_JUMP = 1u << 6,
  CMD_CROUCH = 1u << 7,
  CMD_FIRE = 1u << 8,
  CMD_NEXT_WEAPON = 1u << 9,
  CMD_PREV_WEAPON = 1u << 10,  // set for one frame by the play input from the "Prev Weapon" keys
  CMD_SNIPE = 1u << 11,
  CMD_HOLD_WEAPON = 1u << 12,
  CMD_RELOAD_WEAPON = 1u << 13,
  CMD_USE = 1u << 14,
  CMD_THIEVERY = 1u << 15,
  CMD_LEAVE_CAR = 1u << 21,
  CMD_DECEL = 1u << 22,
  CMD_FIRST_AID = 1u << 23,
  CMD_STEALTH = 1u << 24,
  CMD_GALAHASTE = 1u << 25,
  CMD_NEXT_SKILL = 1u << 26,
  CMD_PREV_SKILL = 1u << 27,
  CMD_USE_SKILL = 1u << 28,
  CMD_MAP = 1u << 29,
};

// The 32 actions, "Forward" to "Leave Car". Actions that the frame code polls through their
// bindings ("Prev Weapon", "E-Shop", "Inventory", "Stats", "PowerUps", "Quests", "QuickSave",
// "QuickLoad") have do-nothing handlers.
extern InputCommand PlayerActionTable[kPlayerActionCount];

// The player's command word: one bit per held action.
extern uint32_t Player_CommandWord;

// The game's time-scale factor, 1.0 in normal play.
extern float TimeScale;
