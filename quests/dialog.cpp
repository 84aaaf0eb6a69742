#include "quests/dialog.h"

uint32_t Dialog_Open;
GameObject* Dialog_Partner;

void Dialog_StartWithNpc(GameObject* npc) {
  Dialog_Partner = npc;
  Dialog_Open = npc != nullptr;
}

uint32_t MapScreen_Open;

// The dialogue screen, the Transport System and the map arrive with the quests.
void Dialog_Draw() {}
void Dialog_Input() {}
void TS_Draw() {}
void TS_Input() {}
void MapScreen_Draw() {}
