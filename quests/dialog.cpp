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
uint32_t MapScreen_Open;

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

void TS_Init() {}

// The Transport System's screen: its day and night buttons where the HUD file puts them.
void TS_Draw() {
  const float* boxes[2] = {Hud_Settings.dayButton, Hud_Settings.nightButton};
  for (int i = 0; i < 2; i++) {
    const float* b = boxes[i];
    UI_FillRect(b[0], b[1], b[2], b[3], i ? 40 : 200, i ? 60 : 170, i ? 140 : 60, 255);
  }
}
void TS_Input() {}
void MapScreen_Draw() {}
