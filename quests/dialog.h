// Dialogues with characters (until they arrive: the partner named, Escape closes).
#pragma once
#include <cstdint>

struct GameObject;

// Set while a dialogue is open, with the character spoken to.
extern uint32_t Dialog_Open;
extern GameObject* Dialog_Partner;

void Dialog_StartWithNpc(GameObject* npc);
// The dialogue screen's drawing and input while a dialogue is open.
void Dialog_Draw();
void Dialog_Input();

// The Transport System and the map screen live in quests/ts.h.
#include "quests/ts.h"
