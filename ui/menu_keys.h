// The key-binding screen: choose one of the player's 32 actions and bind keys to it.
#pragma once

#include "characters/actions.h"

struct VarRecord;

// The screen's rows: the player's actions in table order.
constexpr int kMenuKeysActions = kPlayerActionCount;
// The action of a row ("" outside the rows).
const char* Menu_InputKeysActionName(int row);

// Opens the screen on the first action, with no capture armed.
void Menu_InputKeysOpen();
// The screen's input, once per frame while it is open: Up and Down choose the action, Delete
// clears its bindings, Enter (or a click on a row) arms capture for the highlighted action (the next
// key pressed gets it), Escape or the right button leaves.
void Menu_InputKeys();
int Menu_InputKeysIsOpen();
// The screen shows kMenuKeysRows actions from this one, 30 units a row from the item top between
// x 60 and 580. The rows scroll only when the highlight leaves them; a pointer moved onto one
// highlights it, and a click on one arms the capture for the highlighted action.
constexpr int kMenuKeysRows = 8;
int Menu_InputKeysFirstRow();
int Menu_InputKeysSelection();
int Menu_InputKeysArmed();
// The first two binding variables of an action (in the order of the variable list); returns how
// many were found, the rest of `out` is null.
int Menu_InputKeysFindBindings(int action, VarRecord* out[2]);
