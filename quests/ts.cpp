#include "quests/ts.h"

#include "hud/hud.h"
#include "ui/ui.h"

uint32_t MapScreen_Open;

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
