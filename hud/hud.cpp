#include "hud/hud.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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
#include "render/material.h"
#include "render/render.h"
#include "render/texture.h"
#include "render/text.h"
#include "ui/menu.h"
#include "ui/ui.h"
#include "quests/state.h"
#include "world/demo.h"
#include "world/game.h"
#include "world/net.h"
#include "world/gameinput.h"
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

// ---- Panels and the frozen picture behind the in-game menu -----------------------------------

namespace {

// The game's last picture, kept as a 2D picture of the screen's size. It names a texture only
// while the texture table is the one it was made in.
struct GrabbedScreen {
  Picture picture;
  uint32_t generation;
};
GrabbedScreen g_grab;
int g_grabCount;

bool GrabLive() { return g_grab.picture.material > 0 && g_grab.generation == Tex_GetGeneration(); }

}  // namespace

void Panel_GrabScreen() {
  const int w = Render_ScreenWidth, h = Render_ScreenHeight;
  if (RenderApi == RENDER_API_NONE || w <= 0 || h <= 0 || w > 16384 || h > 16384) {
    g_grab = GrabbedScreen{};
    return;
  }
  // The back buffer still holds the last finished frame: it is presented later in this frame.
  std::vector<uint8_t> pixels(size_t(w) * size_t(h) * 4);
  Render_ReadPixels(0, 0, w, h, pixels.data());
  for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
  if (GrabLive() && g_grab.picture.width == w && g_grab.picture.height == h) {
    const int texture = int(Material_Table[g_grab.picture.material].frameTexture[0]);
    if (texture > 0) {
      Render_UpdateTexSubImage(texture, 0, 0, w, h, 32, pixels.data());
      return;
    }
  }
  char name[32];
  std::snprintf(name, sizeof name, "*grabbedscreen%d", g_grabCount++);
  const int material = Material_CreateFromPixels(name, w, h, 32, pixels.data(), 0, 0, 0);
  g_grab = GrabbedScreen{Picture{w, h, material}, Tex_GetGeneration()};
  if (!material) Log_Printf("Panel_GrabScreen: no picture of the %dx%d screen\n", w, h);
}

void Panel_DrawGrabbedScreen() {
  if (!GrabLive()) return;
  Draw2D_PictureSized(0, 0, kScreen2DWidth, kScreen2DHeight, &g_grab.picture, 1, kPanelGrabShade);
}

// The one panel that opens over play: the search panel, when the game runs without the menus.
void Panel_DrawAll() {
  if (!Game_PanelOpen) return;
  const uint32_t id = Game_Use.searchedId ? Game_Use.searchedId : Game_Use.hackedId;
  Print_SetBackgroundColor(0, 0, 0, 0);
  Print_SetWidthScale(kUiTextSize);
  Print_SetSize(kUiTextSize * 1.5f);
  Print_SetColor(1, 1, 1, 1);
  Print_SetAlign(1);
  UI_DrawText("menu\\search", "Search", 0, kUiTitleTop, 640, kUiItemTop);
  const GameObject* o = id ? Obj_FindById(id) : nullptr;
  if (!o) return;
  char key[kPersonNameSize + 16];
  std::snprintf(key, sizeof key, "personages\\%s", o->person.name);
  Print_SetSize(kUiTextSize);
  UI_DrawText(o->person.name[0] ? key : "personages\\__stranger__", o->person.name[0] ? o->person.name : "Stranger",
              0, kUiItemTop, 640, kUiItemTop + kUiItemHeight);
}
void Panel_Input() { Panel_ToggleIngameMenu(); }
void Panel_ToggleIngameMenu() {
  if (Input_KeyPressed(KEY_ESCAPE)) {
    Game_PanelOpen = 0;
    Input_Reset();
  }
}
void Panel_HandleMenuKeys() { Menu_Input(); }
// The inventory key: the inventory screen (a list of what the player carries; the same key, Escape
// or the right button leaves). The goals key likewise opens the goals screen.
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

// Refused (with a message line) during a demo's playback and while the hero is dead.
void Menu_QuickSave() {
  if (Game_SaveAllowed()) Save(kQuickSaveName);
}
// Each outcome of the quick load shows a message line: none yet, refused, or loaded. The loaded
// game starts with no key held or pressed.
void Menu_QuickLoad() {
  bool missing = false;
  if (Save_LoadSlot(kQuickSaveName, &missing)) {
    Input_Reset();
    Demo_ShowMessage("consol\\game loaded", u"Game loaded");
  } else if (missing) {
    Demo_ShowMessage("consol\\no quick save", u"No quick save yet");
  } else {
    Demo_ShowMessage("consol\\load refused", u"The quick save could not be loaded");
  }
}
