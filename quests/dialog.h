// Dialogues with characters.
#pragma once
#include <cstdint>

struct GameObject;

// Set while a dialogue is open, with the character spoken to.
extern uint32_t Dialog_Open;
extern GameObject* Dialog_Partner;

void Dialog_StartWithNpc(GameObject* npc);
