#include "quests/dialog.h"

uint32_t Dialog_Open;
GameObject* Dialog_Partner;

void Dialog_StartWithNpc(GameObject* npc) {
  Dialog_Partner = npc;
  Dialog_Open = npc != nullptr;
}
