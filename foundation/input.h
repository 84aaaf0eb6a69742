// Input state of the frame (held keys, presses, mouse movement, typed keys) and the commands
// that key bindings fire during play.
#pragma once
#include <cstdint>

#include "foundation/keys.h"

struct InputCommand {
  const char* name;       // compared without regard to case with a binding's text
  void (*press)();        // may be null
  void (*release)();      // may be null
  InputCommand* next;
};

constexpr int kInputMaxEvents = 1024;
constexpr int kInputTypedMax = 1022;
constexpr int kInputHistory = 16;

// Module entry: stage 0 registers the binding and input variables, stage 1 empties the command
// list and starts the devices' hook. Returns 1.
int Input_Init(int stage);
void Input_Start();
// Puts a command at the front of the list; a command already in the list is left where it is.
void Input_AddCommand(InputCommand* command);
void Input_ClearCommands();
InputCommand* Input_FirstCommand();
// Fires the command bound to the key: its press handler when down, its release handler when up.
void Input_DispatchKey(int code, int down);
// Once at the start of every frame's input: reads the devices and updates the input state.
void Input_Poll();
// The cheat words, matched against the plain characters of the last distinct key-downs: god mode
// and every weapon. A key bound to open a screen must type neither word's letters, or the screen
// would take the rest of the word.
constexpr char kCheatGodMode[] = "vorpaltusken";
constexpr char kCheatAllWeapons[] = "brindlemarch";

// During play: fires the bindings of the frame's events and watches for the cheat words.
void Input_ProcessEvents();
// 1 and one press taken when the key has presses not yet taken, else 0.
int Input_KeyPressed(int code);
// 1 while the key is held.
int Input_KeyDown(int code);
void Input_AddTypedKey(int code);
// The key codes typed since the last call, as a zero-ended byte string valid until the next call.
const uint8_t* Input_TakeTypedKeys();
// Drains the devices and forgets every held key, press, repeat and typed key. Returns 0.
int Input_Reset();

// The frame's events (key code, bit 31 on a key-down) and mouse movement.
int Input_EventCount();
uint32_t Input_Event(int index);
extern int32_t Input_MouseX;  // device counts of the frame
extern int32_t Input_MouseY;
extern float Input_Wheel;     // minus the wheel notches of the frame: rolling away gives a negative value

// The 104 binding variables in the order of the variable list (the newest registered first), so
// that index 0 is "Mouse Button 4"; null outside 0..103.
constexpr int kInputBindingCount = 104;
struct VarRecord;
VarRecord* Input_BindingVar(int index);
// Case-blind comparison of a binding's text with a command name.
int Input_SameName(const char* a, const char* b);

// The clock the key repeat runs on (seconds). Tests install their own; null restores the engine's.
void Input_SetClock(double (*clock)());
