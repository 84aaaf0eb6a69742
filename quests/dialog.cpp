#include "quests/dialog.h"

#include <cstdio>

#include "foundation/input.h"
#include "foundation/keys.h"
#include "hud/hud.h"
#include "render/text.h"
#include "ui/ui.h"
#include "world/object.h"

uint32_t Dialog_Open;
GameObject* Dialog_Partner;

void Dialog_StartWithNpc(GameObject* npc) {
  Dialog_Partner = npc;
  Dialog_Open = npc != nullptr;
}

// Until the dialogues arrive the screen names the partner: its visible name when the language
// has one, else its own name.
void Dialog_Draw() {
  const GameObject* partner = Dialog_Partner;
  if (!Dialog_Open || !partner) return;
  char key[96];
  std::snprintf(key, sizeof key, "personages\\%s", partner->person.name[0] ? partner->person.name : "__stranger__");
  Print_SetBackgroundColor(0, 0, 0, 0);
  Print_SetAlign(1);
  Print_SetSize(kUiTextSize);
  Print_SetColor(1, 1, 1, 1);
  UI_DrawText(key, partner->person.name[0] ? partner->person.name : "Stranger", 100, 380, 540, 420);
}

void Dialog_Input() {
  if (Input_KeyPressed(KEY_ESCAPE) | Input_KeyPressed(kKeyMouseRight)) {
    Dialog_StartWithNpc(nullptr);
    Input_Reset();
  }
}
