#include "hud/hud.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "characters/defs.h"
#include "characters/person.h"
#include "foundation/file.h"
#include "foundation/input.h"
#include "foundation/keys.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/partoken.h"
#include "foundation/text.h"
#include "foundation/timer.h"
#include "render/draw2d.h"
#include "render/text.h"
#include "ui/menu.h"
#include "ui/ui.h"
#include "quests/state.h"
#include "world/game.h"
#include "world/net.h"
#include "world/object.h"
#include "world/save.h"

HudSettings Hud_Settings;
int32_t ItemPane_Cells[kItemPaneMaps][kItemPaneCells];

const char* const Hud_DamagePrefixes[kHudDamageKinds] = {
    "player_melee_weapon", "player_light_weapon", "player_heavy_weapon",
    "player_energy_weapon", "player_explosives",  "player_unarmed"};
const char* const Hud_DamageBands[kHudDamageBands] = {"_10", "_99", "_199", "_299", "_300"};

namespace {

const char kHudFile[] = "sprites\\ui\\ui.txt";

void DefaultSettings(HudSettings* s) {
  s->dayLength = 60.0f;
  for (auto& kind : s->damage)
    for (float& f : kind) f = 1.0f;
  const float day[4] = {60, 400, 160, 440}, night[4] = {180, 400, 280, 440};
  std::memcpy(s->dayButton, day, sizeof day);
  std::memcpy(s->nightButton, night, sizeof night);
}

// Reads `count` numbers separated by blanks; false unless the whole token is exactly that.
bool ReadNumbers(const char* token, float* out, int count) {
  const char* p = token;
  for (int i = 0; i < count; i++) {
    char* end = nullptr;
    float v = std::strtof(p, &end);
    if (end == p || !std::isfinite(v)) return false;
    out[i] = v;
    p = end;
  }
  while (*p == ' ' || *p == '\t') p++;
  return *p == 0;
}

// The value slot of a key, with how many numbers it takes; null for an unknown key.
float* SlotOf(HudSettings* s, const char* key, int* count) {
  *count = 1;
  if (std::strcmp(key, "daytime") == 0) return &s->dayLength;
  *count = 4;
  if (std::strcmp(key, "daybutton") == 0) return s->dayButton;
  if (std::strcmp(key, "nightbutton") == 0) return s->nightButton;
  *count = 1;
  for (int k = 0; k < kHudDamageKinds; k++) {
    size_t n = std::strlen(Hud_DamagePrefixes[k]);
    if (std::strncmp(key, Hud_DamagePrefixes[k], n) != 0) continue;
    for (int b = 0; b < kHudDamageBands; b++)
      if (std::strcmp(key + n, Hud_DamageBands[b]) == 0) return &s->damage[k][b];
  }
  return nullptr;
}

}  // namespace

int Hud_ReadSettings(const char* text, size_t size, const char* fileName) {
  DefaultSettings(&Hud_Settings);
  if (!text) return 0;
  std::string source(text, strnlen(text, size));
  const char* rest = source.c_str();
  char key[64], value[kParTokenSize];
  int taken = 0;
  while (rest) {
    const char* k = Par_NextBracketTokenTo(rest, &rest, key, sizeof key);
    if (!k) break;
    const char* v = rest ? Par_NextBracketTokenTo(rest, &rest, value, sizeof value) : nullptr;
    if (!v) {
      Log_Printf("Hud: %s: \"%s\" has no value; skipped\n", fileName, key);
      break;
    }
    int count = 0;
    float* slot = SlotOf(&Hud_Settings, key, &count);
    float numbers[4];
    if (!slot) {
      Log_Printf("Hud: %s: unknown key \"%s\"; skipped\n", fileName, key);
    } else if (!ReadNumbers(value, numbers, count)) {
      Log_Printf("Hud: %s: \"%s\" needs %d number(s), not \"%.32s\"; skipped\n", fileName, key, count, value);
    } else {
      std::memcpy(slot, numbers, sizeof(float) * size_t(count));
      taken++;
    }
  }
  // A day of no length would stop the sun.
  if (!(Hud_Settings.dayLength > 0)) Hud_Settings.dayLength = 60.0f;
  return taken;
}

float Hud_DayLength() { return Hud_Settings.dayLength > 0 ? Hud_Settings.dayLength : 60.0f; }

void Hud_Init(int stage) {
  if (stage != 1) return;
  for (auto& map : ItemPane_Cells)
    for (int32_t& cell : map) cell = -1;
  uint32_t size = 0;
  char* text = static_cast<char*>(File_LoadWhole(kHudFile, &size, "HUD"));
  Hud_ReadSettings(text, size, kHudFile);
  if (text) Global_Free(text);
}

void Hud_Shutdown() { DefaultSettings(&Hud_Settings); }

// The lines the quests' show flags ask for: the time of day of the player's clock, the player's
// frags, the most frags of another player, and the first kill count's progress toward its limit.
void Hud_FormatQuestLines(const GameObject* obj, char* out, size_t size) {
  const int32_t* show = Que_State.showFlags;
  size_t n = 0;
  auto line = [&](const char* format, int a, int b) {
    if (n >= size) return;
    int w = std::snprintf(out + n, size - n, format, a, b);
    if (w > 0) n = std::min(size, n + size_t(w));
  };
  if (show[0]) {
    double day = std::fmod(obj->person.clock / double(Hud_DayLength()), 1.0);
    if (!(day >= 0)) day = 0;
    int minutes = int(day * 24 * 60) % (24 * 60);
    line("Time %02d:%02d\n", minutes / 60, minutes % 60);
  }
  if (show[1]) line("Frags %d\n", obj->frags, 0);
  if (show[2]) {
    int best = 0;
    for (const FragRow& r : NET_FragTable)
      if (r.used && r.frags > best) best = r.frags;
    line("Enemy frags %d\n", best, 0);
  }
  if (show[3])
    for (const KillCount& k : Que_State.killCounts)
      if (k.name[0]) {
        line("Kills %d / %d\n", k.killed, k.count);
        break;
      }
}

size_t Hud_FormatStatus(const GameObject* obj, char* out, size_t size) {
  if (!out || size == 0) return 0;
  out[0] = 0;
  if (!obj) return 0;
  const PersonStats& p = obj->person;
  int n = std::snprintf(out, size, "Health %d / %d\n", int(std::lround(p.health)), int(std::lround(p.maxHealth)));
  if (n < 0 || size_t(n) >= size) return std::strlen(out);
  if (p.maxEnergy > 0) {
    int e = std::snprintf(out + n, size - size_t(n), "Energy %d / %d\n", int(std::lround(p.energy)),
                          int(std::lround(p.maxEnergy)));
    if (e < 0 || size_t(n + e) >= size) return std::strlen(out);
    n += e;
  }
  if (p.equippedKind == INV_WEAPON && p.equippedIndex >= 0 && p.equippedIndex < kWeaponDefs) {
    int kind = Def_Weapons[p.equippedIndex].ammo;
    if (kind >= 0 && kind < kAmmoKinds)
      std::snprintf(out + n, size - size_t(n), "Ammo %d / %d\n", p.magazine[kind], p.ammo[kind]);
  }
  Hud_FormatQuestLines(obj, out + std::strlen(out), size - std::strlen(out));
  return std::strlen(out);
}

void Hud_Draw() {
  char text[256];
  if (!Hud_FormatStatus(Obj_Player, text, sizeof text)) return;
  Print_SetBackgroundColor(0, 0, 0, 0);
  Print_SetAlign(0);
  Print_SetWidthScale(kHudTextSize);
  Print_SetSize(kHudTextSize);
  Print_SetColor(kHudTextColor[0], kHudTextColor[1], kHudTextColor[2], kHudTextColor[3]);
  Print_TextBox(kHudBox[0], kHudBox[1], kHudBox[2], kHudBox[3], text);
}

// The newest run of lines still showing, oldest first, from the top of the screen down.
void Hud_DrawMessageLines() {
  const int count = Console_GetLineCount();
  int i = Console_FirstLiveLine(Timer_FrameTime);
  if (i >= count) return;
  Print_SetBackgroundColor(0, 0, 0, 0);
  Print_SetAlign(0);
  Print_SetWidthScale(kHudMessageSize);
  Print_SetSize(kHudMessageSize);
  Print_SetColor(1.0f, 1.0f, 1.0f, 0.8f);
  float y = 0;
  for (; i < count; i++) {
    const char16_t* line = Console_GetLine(i, nullptr);
    if (!line || !line[0] || !line[1]) continue;
    const float bottom = Print_TextBoxHeightW(kHudMessageBox[0], y, kHudMessageBox[1], kScreen2DHeight, line);
    Print_TextBoxW(kHudMessageBox[0], y, kHudMessageBox[1], bottom, line);
    y = bottom;
  }
}

// No panel exists yet: none opens, so there is nothing to draw or to close.
void Panel_DrawAll() {}
void Panel_Input() { Panel_ToggleIngameMenu(); }
void Panel_ToggleIngameMenu() {
  if (Input_KeyPressed(KEY_ESCAPE)) {
    Game_PanelOpen = 0;
    Input_Reset();
  }
}
void Panel_GrabScreen() {}
void Panel_HandleMenuKeys() { Menu_Input(); }
// The inventory key: the inventory screen (a list of what the player carries; Escape leaves).
void GameInputUI() {
  if (!UI_System) return;
  Game_MenuOpen = 1;
  UI_PushMenu(UI_System, "inventorymenu", nullptr);
  Input_Reset();
}
void GameInputGoals() {
  if (!UI_System) return;
  Game_MenuOpen = 1;
  UI_PushMenu(UI_System, "goalsmenu", nullptr);
  Input_Reset();
}


void ItemPane_ResetCell(int position) {
  if (position < 0 || position >= kItemPaneCells) return;
  for (auto& map : ItemPane_Cells) map[position] = -1;
}

void Menu_QuickSave() { Save(kQuickSaveName); }
void Menu_QuickLoad() { Save_LoadSlot(kQuickSaveName); }
