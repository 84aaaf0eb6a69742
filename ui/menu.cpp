#include "ui/menu.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "characters/actions.h"
#include "foundation/file.h"
#include "foundation/input.h"
#include "foundation/keys.h"
#include "foundation/log.h"
#include "foundation/sound.h"
#include "foundation/sys.h"
#include "foundation/text.h"
#include "foundation/var.h"
#include "hud/hud.h"
#include "render/draw2d.h"
#include "render/text.h"
#include "ui/menu_keys.h"
#include "ui/menu_net.h"
#include "quests/state.h"
#include "ui/ui.h"
#include "world/demo.h"
#include "characters/defs.h"
#include "characters/inventory.h"
#include "characters/player.h"
#include "world/frame2d.h"
#include "world/game.h"
#include "world/gameinput.h"
#include "world/object.h"
#include "world/level.h"
#include "world/personage.h"
#include "world/save.h"
#include "world/start.h"

namespace {

UiSystem g_ui;
// Where the menus' pointer was at the last input of a screen, and which stack that screen was the
// top of (the stack's changes are counted): the first input of a screen newly on top finds the
// pointer at rest.
float g_pointerSeen[2];
uint32_t g_stackChanges, g_stackTracked = ~0u;

const char kTextBase[] = "data\\text\\";

struct MenuItem {
  const char* key;    // text key of its visible name
  const char* label;  // shown when the language has no such text
  void (*act)(UiSystem* ui);
};

struct MenuScreen {
  const char* name;
  const char* titleKey;
  const char* titleLabel;
  const MenuItem* items;
  int32_t itemCount;
  void (*back)(UiSystem* ui);   // Escape or the right button; null: nothing
  void (*open)();               // when pushed
  void (*input)(UiSystem* ui);  // replaces the item keys (null: the item keys)
  void (*draw)();               // drawn after the items (null: nothing more)
};

void PlaySound(const char* name) { Sound_Play(name, 1.0f, 100.0f, nullptr, 0, 0); }

// Menu off, no screen left, input taken back by the game.
void CloseMenu(UiSystem* ui) {
  UI_ClearMenuStack(ui);
  Game_MenuOpen = 0;
  Input_Reset();
}

void Pop(UiSystem* ui) { UI_PopMenu(ui); }
void OpenHeroChoice(UiSystem* ui) { UI_PushMenu(ui, "newgame", nullptr); }
void OpenKeys(UiSystem* ui) { UI_PushMenu(ui, "keys", nullptr); }
void OpenMultiplayer(UiSystem* ui) { UI_PushMenu(ui, "multiplayer", nullptr); }
void OpenHost(UiSystem* ui) { UI_PushMenu(ui, "hostgame", nullptr); }
void OpenJoin(UiSystem* ui) { UI_PushMenu(ui, "joingame", nullptr); }
void Quit(UiSystem*) { Sys_QuitRequested = 1; }

// The new-game command: in the camera-sequence start mode the hero's opening sequence runs first.
void StartGame(int hero) {
  Game_HeroChoice = hero;
  Game_NewSession("scripts\\personages");
  Level_Load("street");
  if (int(game_startmode.value) == kStartModeCameraSequence) Player_StartCameraSequence(Obj_Player);
  Input_Reset();
}
void StartFirstHero(UiSystem*) { StartGame(0); }
void StartSecondHero(UiSystem*) { StartGame(1); }

void Resume(UiSystem* ui) { CloseMenu(ui); }
// The level is released by the next frame's pending level change.
void EndGame(UiSystem* ui) {
  std::snprintf(Game_PendingLevel, sizeof Game_PendingLevel, "%s", "endgame");
  CloseMenu(ui);
}

// The key-binding screen runs its own keys and leaves the stack when it closes.
void KeysInput(UiSystem* ui) {
  Menu_InputKeys();
  if (!Menu_InputKeysIsOpen()) UI_PopMenu(ui);
}

constexpr int kKeyRows = kMenuKeysRows;
void KeysDraw() {
  int selected = Menu_InputKeysSelection();
  int first = Menu_InputKeysFirstRow();
  Print_SetSize(18.0f);
  for (int row = 0; row < kKeyRows && first + row < kMenuKeysActions; row++) {
    int action = first + row;
    float top = kUiItemTop + row * 30.0f;
    if (action == selected) UI_FillRect(60, top, 580, top + 30, kUiBarColor[0], kUiBarColor[1], kUiBarColor[2], 255);
    VarRecord* bound[2];
    int n = Menu_InputKeysFindBindings(action, bound);
    char line[256];
    std::snprintf(line, sizeof line, "%s   %s%s%s", Menu_InputKeysActionName(action), n > 0 ? bound[0]->name : "-",
                  n > 1 ? ", " : "", n > 1 ? bound[1]->name : "");
    Print_SetAlign(0);
    Print_TextBox(70, top + 4, 570, top + 30, line);
  }
  if (Menu_InputKeysArmed()) {
    Print_SetAlign(1);
    UI_DrawText("menu\\presskey", "Press a key", 0, 440, 640, 480);
  }
}

// ---- Saved games and demos ----------------------------------------------------------------------

// The names listed by the load and demo screens (base names, as File_ListFiles gives them).
constexpr int kListRows = 64;
constexpr int kListNameSize = 128;
char g_list[kListRows][kListNameSize];
int g_listCount;
int g_listFirst;  // the name on the top row shown (a new screen's bar on the first name brings it to 0)

void ListFolder(const char* folder, const char* extension) {
  g_listCount = 0;
  File_ListFiles(folder, extension, &g_listCount, &g_list[0][0], kListRows, kListNameSize);
}
// The quick save ("quicksave\\quick") first, then the saves of the folder.
void ListSaves() {
  g_listCount = 0;
  char quick[kListRows][kListNameSize];
  int quickCount = 0;
  File_ListFiles("save\\quicksave\\", ".sav", &quickCount, &quick[0][0], kListRows, kListNameSize);
  for (int i = 0; i < quickCount; i++)
    if (std::snprintf(g_list[g_listCount], kListNameSize, "quicksave\\%s", quick[i]) < kListNameSize &&
        strcasecmp(g_list[g_listCount], kQuickSaveName) == 0)
      g_listCount++;
  File_ListFiles("save\\", ".sav", &g_listCount, &g_list[0][0], kListRows, kListNameSize);
}
void ListDemos() { ListFolder("demo\\", ".dem"); }

// From the front end a running game is made first (an empty level) so the file brings the whole
// game; when the file is refused the front end comes back.
void OpenListed(UiSystem* ui, int (*open)(const char*)) {
  int row = UI_TopSelection(ui);
  if (row < 0 || row >= g_listCount) return;
  bool running = Game_Running != 0;
  if (!running) Level_LoadGeometry("");
  if (open(g_list[row])) {
    CloseMenu(ui);
  } else if (!running) {
    Level_Free();
  }
}
void LoadListed(UiSystem* ui) {
  OpenListed(ui, [](const char* name) { return Save_LoadSlot(name); });
}
void PlayListed(UiSystem* ui) { OpenListed(ui, Demo_StartPlayback); }

// Closes the menu and writes the game under the first "<prefix>NN" that neither the list nor the
// disk has (the list holds only kListRows names: the disk keeps a folder with more from being
// overwritten). With every number taken nothing is written.
void WriteUnderFreeName(UiSystem* ui, void (*list)(), const char* folder, const char* prefix, const char* extension,
                        int (*write)(const char*)) {
  list();
  CloseMenu(ui);
  char name[32], path[64], disk[512];
  for (int n = 1; n < 1000; n++) {
    std::snprintf(name, sizeof name, "%s%02d", prefix, n);
    bool used = false;
    for (int i = 0; i < g_listCount && !used; i++) used = strcasecmp(g_list[i], name) == 0;
    std::snprintf(path, sizeof path, "%s%s%s", folder, name, extension);
    if (!used && !File_ResolveDiskPath(path, disk, sizeof disk)) {
      write(name);
      return;
    }
  }
  Log_Printf("Menu: every name from %s01 to %s999 is taken; nothing written\n", prefix, prefix);
}

// Refused (with a message line) during a demo's playback and while the hero is dead.
void SaveGame(UiSystem* ui) {
  if (!Game_SaveAllowed()) {
    CloseMenu(ui);
    return;
  }
  WriteUnderFreeName(ui, ListSaves, "save\\", "game", ".sav", Save);
}
void RecordDemo(UiSystem* ui) { WriteUnderFreeName(ui, ListDemos, "demo\\", "demo", ".dem", StartDemo); }
void StopRecording(UiSystem* ui) {
  StartRecord();
  CloseMenu(ui);
}

// The list screens' rows: at most kListShown names, scrolled only as far as the highlight asks.
constexpr int kListShown = 8;
constexpr float kListLeft = 160, kListRight = 480, kListRowHeight = 30;
int ListFirst(int selected) { return UI_ScrollFirst(g_listFirst, selected, kListShown, g_listCount); }

// The list screens: Up and Down move over the names, Enter (or a click on a name) takes one,
// Escape goes back.
void ListInput(UiSystem* ui, void (*take)(UiSystem*)) {
  UiStackEntry& top = ui->stack[ui->depth - 1];
  if (g_listCount > 0) {
    const int was = top.selection;
    if (Input_KeyPressed(KEY_UP)) top.selection = (top.selection + g_listCount - 1) % g_listCount;
    if (Input_KeyPressed(KEY_DOWN)) top.selection = (top.selection + 1) % g_listCount;
    // A click takes the name under the pointer.
    const int row =
        UI_TrackPointer(&top.selection, was, g_listCount, kListShown, ListFirst, kListLeft, kListRight, kListRowHeight);
    g_listFirst = ListFirst(top.selection);
    const bool click = Input_KeyPressed(kKeyMouseLeft) && row >= 0;
    if (click) top.selection = row;
    if (Input_KeyPressed(KEY_ENTER) | Input_KeyPressed(KEY_NUMPADENTER) | int(click)) {
      PlaySound("menu_act");
      Input_Reset();
      take(ui);
      return;
    }
  }
  if (Input_KeyPressed(KEY_ESCAPE) | Input_KeyPressed(kKeyMouseRight)) {
    Input_Reset();
    UI_PopMenu(ui);
  }
}
void LoadInput(UiSystem* ui) { ListInput(ui, LoadListed); }
void DemoInput(UiSystem* ui) { ListInput(ui, PlayListed); }

void ListDraw() {
  int selected = UI_TopSelection(UI_System);
  Print_SetSize(18.0f);
  Print_SetAlign(1);
  if (g_listCount == 0) UI_DrawText("menu\\nofiles", "Nothing here yet", 0, kUiItemTop, 640, kUiItemTop + 30);
  int first = ListFirst(selected);
  for (int row = 0; row < kListShown && first + row < g_listCount; row++) {
    float top = kUiItemTop + float(row) * kListRowHeight;
    if (first + row == selected)
      UI_FillRect(kListLeft, top, kListRight, top + kListRowHeight, kUiBarColor[0], kUiBarColor[1], kUiBarColor[2], 255);
    if (strcasecmp(g_list[first + row], kQuickSaveName) == 0)
      UI_DrawText("menu\\quicksave", "Quick save", kListLeft, top + 4, kListRight, top + kListRowHeight);
    else
      Print_TextBox(kListLeft, top + 4, kListRight, top + kListRowHeight, g_list[first + row]);
  }
}

// ---- Shop and search ----------------------------------------------------------------------------

// Escape or the right button leaves for play again.
void LeaveToPlay(UiSystem* ui) {
  if (Input_KeyPressed(KEY_ESCAPE) | Input_KeyPressed(kKeyMouseRight)) {
    PlaySound("menu_act");
    CloseMenu(ui);
  }
}

// The inventory and goals screens also close on the key that opened them.
void LeaveOnOwnKey(UiSystem* ui, int (*ownKeyPressed)()) {
  if (ownKeyPressed()) {
    PlaySound("menu_act");
    CloseMenu(ui);
    return;
  }
  LeaveToPlay(ui);
}
void InventoryInput(UiSystem* ui) { LeaveOnOwnKey(ui, Game_InventoryKeyPressed); }
void GoalsInput(UiSystem* ui) { LeaveOnOwnKey(ui, Game_GoalsKeyPressed); }

// The visible name of a definition or an object below the title.
void DrawName(const char* key, const char* fallback) {
  Print_SetSize(kUiTextSize);
  Print_SetAlign(1);
  Print_SetColor(1, 1, 1, 1);
  UI_DrawText(key, fallback, 0, kUiItemTop, 640, kUiItemTop + kUiItemHeight);
}

void ShopDraw() {
  int shop = Game_CurrentShop;
  if (shop < 0 || shop >= kShopDefs) return;
  const ShopDef& def = Def_Shops[shop];
  DrawName(def.text[0] ? def.text : def.name, def.name);
}

// The searched body, or the hacked object.
void SearchDraw() {
  uint32_t id = Game_Use.searchedId ? Game_Use.searchedId : Game_Use.hackedId;
  const GameObject* o = id ? Obj_FindById(id) : nullptr;
  if (!o) return;
  char key[kPersonNameSize + 16];
  std::snprintf(key, sizeof key, "personages\\%s", o->person.name);
  DrawName(o->person.name[0] ? key : "__stranger__", o->person.name[0] ? o->person.name : "Stranger");
}

// What the player has equipped and carries, each thing once, by its shown name (the text
// "items\\<text>", else the definition name), up to a screenful.
constexpr int kInventoryRows = 8;
void InventoryDraw() {
  const GameObject* player = Obj_Player;
  if (!player) return;
  const PersonStats& p = player->person;
  InvPair shown[2 + kInvCarried] = {{p.equippedKind, p.equippedIndex}, {p.equipped2Kind, p.equipped2Index}};
  std::copy(std::begin(p.items), std::end(p.items), shown + 2);
  Print_SetSize(18.0f);
  Print_SetAlign(1);
  Print_SetColor(1, 1, 1, 1);
  int row = 0;
  for (size_t i = 0; i < std::size(shown) && row < kInventoryRows; i++) {
    const InvPair& pair = shown[i];
    const char* name = Inv_PairName(pair.kind, pair.index);
    if (!name[0]) continue;
    auto same = [&](const InvPair& q) { return q.kind == pair.kind && q.index == pair.index; };
    if (std::any_of(shown, shown + i, same)) continue;
    const char* text = Inv_PairText(pair.kind, pair.index);
    char key[kDefNameSize + 8];
    std::snprintf(key, sizeof key, "items\\%s", text);
    const float top = kUiItemTop + float(row++) * 30.0f;
    UI_DrawText(text[0] ? key : "", name, 0, top + 4, 640, top + 30);
  }
}

// The mission's name and each objective (its text "goals\\<condition>", else the condition's
// name) with the time it has left, then the mission's objectives met, marked done.
void GoalsDraw() {
  const QuestState& q = Que_State;
  Print_SetSize(18.0f);
  Print_SetAlign(1);
  Print_SetColor(1, 1, 1, 1);
  if (q.mission.name[0]) UI_DrawText(q.mission.name, q.mission.name, 0, kUiItemTop - 40, 640, kUiItemTop - 10);
  int row = 0;
  // One goal's text on the next row; returns the row's top.
  auto goal = [&row](const char* condition) {
    const float top = kUiItemTop + float(row++) * 30.0f;
    char key[kQuestNameSize + 8];
    std::snprintf(key, sizeof key, "goals\\%.*s", kQuestNameSize - 1, condition);
    Print_SetAlign(0);
    UI_DrawText(key, condition, 80, top + 4, 480, top + 30);
    return top;
  };
  for (int i = 0; i < kObjectives && row < 8; i++) {
    const char* condition = q.objectives.conditions[i];
    if (!condition[0] && !q.objectives.scripts[i][0]) continue;
    const float top = goal(condition);
    const float left = q.objectives.times[i];
    if (left > 0) {
      char time[32];
      int seconds = int(std::ceil(std::fmin(left, 359999.0f)));
      std::snprintf(time, sizeof time, "%d:%02d", seconds / 60, seconds % 60);
      Print_TextBox(480, top + 4, 560, top + 30, time);
    }
  }
  for (const MissionRow& met : q.mission.rows) {
    if (row == 8) break;
    if (!met.name[0] || met.state != kMissionRowMet) continue;
    const float top = goal(met.name);
    UI_DrawText("menu\\goaldone", "done", 480, top + 4, 560, top + 30);
  }
  if (row == 0) UI_DrawText("menu\\nogoals", "No goals", 0, kUiItemTop, 640, kUiItemTop + 30);
}

void OpenLoadGame(UiSystem* ui) { UI_PushMenu(ui, "loadgame", nullptr); }

const MenuItem kMainItems[] = {
    {"menu\\newgame", "New game", OpenHeroChoice},
    {"menu\\multiplayer", "Multiplayer", OpenMultiplayer},
    {"menu\\loadgame", "Load game", OpenLoadGame},
    {"menu\\playdemo", "Play demo", [](UiSystem* ui) { UI_PushMenu(ui, "playdemo", nullptr); }},
    {"menu\\keys", "Key bindings", OpenKeys},
    {"menu\\quit", "Quit", Quit},
};
const MenuItem kHeroItems[] = {
    {"personages\\JaxTorvin", "Jax Torvin", StartFirstHero},
    {"personages\\MiraSolvek", "Mira Solvek", StartSecondHero},
};
const MenuItem kMultiplayerItems[] = {
    {"menu\\hostgame", "Host a game", OpenHost},
    {"menu\\joingame", "Join a game", OpenJoin},
};
const MenuItem kInGameItems[] = {
    {"menu\\resume", "Resume", Resume},
    {"menu\\savegame", "Save game", SaveGame},
    {"menu\\recorddemo", "Record demo", RecordDemo},
    {"menu\\stoprecording", "Stop recording", StopRecording},
    {"menu\\loadgame", "Load game", OpenLoadGame},
    {"menu\\endgame", "End game", EndGame},
    {"menu\\quit", "Quit", Quit},
};

const MenuScreen kScreens[] = {
    {"mainmenu", "menu\\title", "Tarnwick", kMainItems, 6, nullptr, nullptr, nullptr, nullptr},
    {"loadgame", "menu\\loadgame", "Load game", nullptr, 0, nullptr, ListSaves, LoadInput, ListDraw},
    {"playdemo", "menu\\playdemo", "Play demo", nullptr, 0, nullptr, ListDemos, DemoInput, ListDraw},
    {"newgame", "menu\\choosehero", "Choose your hero", kHeroItems, 2, Pop, nullptr, nullptr, nullptr},
    {"keys", "menu\\keys", "Key bindings", nullptr, 0, nullptr, Menu_InputKeysOpen, KeysInput, KeysDraw},
    {"multiplayer", "menu\\multiplayer", "Multiplayer", kMultiplayerItems, 2, Pop, nullptr, nullptr, nullptr},
    {"hostgame", "menu\\hostgame", "Host a game", nullptr, 0, nullptr, Menu_NetHostOpen, Menu_NetHostInput, Menu_NetHostDraw},
    {"joingame", "menu\\joingame", "Join a game", nullptr, 0, nullptr, Menu_NetJoinOpen, Menu_NetJoinInput, Menu_NetJoinDraw},
    {"ingamemenu", "menu\\paused", "Game paused", kInGameItems, int32_t(std::size(kInGameItems)), Resume, nullptr,
     nullptr, nullptr},
    {"shopmenu", "menu\\shop", "Shop", nullptr, 0, nullptr, nullptr, LeaveToPlay, ShopDraw},
    {"searchmenu", "menu\\search", "Search", nullptr, 0, nullptr, nullptr, LeaveToPlay, SearchDraw},
    {"inventorymenu", "menu\\inventory", "Inventory", nullptr, 0, nullptr, nullptr, InventoryInput, InventoryDraw},
    {"goalsmenu", "menu\\goals", "Goals", nullptr, 0, nullptr, nullptr, GoalsInput, GoalsDraw},
};
constexpr int kScreenCount = int(sizeof kScreens / sizeof kScreens[0]);

void ItemKeys(UiSystem* ui, UiStackEntry& top, const MenuScreen& screen) {
  if (screen.itemCount > 0) {
    const int was = top.selection;
    if (Input_KeyPressed(KEY_UP)) {
      top.selection = (top.selection + screen.itemCount - 1) % screen.itemCount;
      PlaySound("menu_mov");
    }
    if (Input_KeyPressed(KEY_DOWN)) {
      top.selection = (top.selection + 1) % screen.itemCount;
      PlaySound("menu_mov");
    }
    // A pointer moved onto an item takes the highlight; a click takes the item under the pointer.
    const int pointed = UI_TrackPointer(&top.selection, was, screen.itemCount, screen.itemCount, nullptr, kUiItemLeft,
                                        kUiItemRight, kUiItemHeight);
    const bool click = Input_KeyPressed(kKeyMouseLeft) && pointed >= 0;
    if (click) top.selection = pointed;
    if (Input_KeyPressed(KEY_ENTER) | Input_KeyPressed(KEY_NUMPADENTER) | int(click)) {
      PlaySound("menu_act");
      Input_Reset();
      screen.items[top.selection].act(ui);
      return;
    }
  }
  if (screen.back && (Input_KeyPressed(KEY_ESCAPE) | Input_KeyPressed(kKeyMouseRight))) {
    PlaySound("menu_act");
    Input_Reset();
    screen.back(ui);
  }
}

void Paint(const UiStackEntry& top, const MenuScreen& screen) {
  // The in-game menu stands over the game's frozen picture.
  if (strcasecmp(screen.name, "ingamemenu") == 0) Panel_DrawGrabbedScreen();
  Print_SetBackgroundColor(0, 0, 0, 0);
  Print_SetWidthScale(kUiTextSize);
  Print_SetSize(kUiTextSize * 1.5f);
  Print_SetColor(1, 1, 1, 1);
  Print_SetAlign(1);
  UI_DrawText(screen.titleKey, screen.titleLabel, 0, kUiTitleTop, 640, kUiItemTop);
  Print_SetSize(kUiTextSize);
  for (int i = 0; i < screen.itemCount; i++) {
    float y = kUiItemTop + i * kUiItemHeight;
    if (i == top.selection)
      UI_FillRect(kUiItemLeft, y, kUiItemRight, y + kUiItemHeight, kUiBarColor[0], kUiBarColor[1], kUiBarColor[2], 255);
    Print_SetAlign(1);
    Print_SetColor(1, 1, 1, 1);
    UI_DrawText(screen.items[i].key, screen.items[i].label, kUiItemLeft, y + 6, kUiItemRight, y + kUiItemHeight);
  }
  if (screen.draw) screen.draw();
}

}  // namespace

UiSystem* UI_System = &g_ui;

void UI_DrawText(const char* key, const char* fallback, float left, float top, float right, float bottom) {
  size_t size = 0;
  const uint8_t* text = Text_GetRaw(kTextBase, key, &size);
  if (text && size >= 2)
    Text_Draw(kTextBase, key, left, top, right, bottom);
  else if (fallback)
    Print_TextBox(left, top, right, bottom, fallback);
}

void UI_FillRect(float left, float top, float right, float bottom, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  static Picture blank{};  // material 0 draws untextured
  blank.width = blank.height = 1;
  Draw2D_PictureSized(left, top, right - left, bottom - top, &blank, 1, Color8{r, g, b, a});
}

int UI_ScrollFirst(int first, int selection, int shown, int count) {
  if (selection < first) first = selection;
  if (selection >= first + shown) first = selection - shown + 1;
  return std::max(0, std::min(first, count - shown));
}

int UI_RowUnderPointer(int count, float left, float right, float height) {
  if (!(Game_CursorX >= left && Game_CursorX < right) || !(height > 0)) return -1;
  const float row = (Game_CursorY - kUiItemTop) / height;
  return row >= 0 && row < float(count) ? int(row) : -1;
}

int UI_TrackPointer(int* selection, int was, int count, int shown, int (*firstOf)(int), float left, float right,
                    float height) {
  if (count <= 0 || shown <= 0) return -1;
  auto first = [firstOf](int row) { return firstOf ? firstOf(row) : 0; };
  auto pointed = [&] {
    const int row = UI_RowUnderPointer(std::min(shown, count - first(*selection)), left, right, height);
    return row >= 0 ? first(*selection) + row : -1;
  };
  const bool moved = g_stackTracked == g_stackChanges &&
                     (Game_CursorX != g_pointerSeen[0] || Game_CursorY != g_pointerSeen[1]);
  g_stackTracked = g_stackChanges;
  g_pointerSeen[0] = Game_CursorX;
  g_pointerSeen[1] = Game_CursorY;
  // The keys move the highlight and leave the pointer where it is.
  if (*selection == was && moved) {
    const int row = pointed();
    if (row >= 0) *selection = row;
  }
  return pointed();
}

int UI_PushMenu(UiSystem* ui, const char* name, void (*proc)()) {
  if (!ui || !name) return 0;
  int screen = 0;
  while (screen < kScreenCount && strcasecmp(kScreens[screen].name, name) != 0) screen++;
  if (screen == kScreenCount) {
    Log_Printf("UI_PushMenu: no menu \"%s\"\n", name);
    return 0;
  }
  if (ui->depth >= kUiStackDepth) {
    Log_Printf("UI_PushMenu: the menu stack is full; \"%s\" not shown\n", name);
    return 0;
  }
  ui->stack[ui->depth++] = UiStackEntry{screen, 0, proc};
  g_stackChanges++;
  if (kScreens[screen].open) kScreens[screen].open();
  return 1;
}

void UI_PopMenu(UiSystem* ui) {
  if (ui && ui->depth > 0) ui->depth--;
  g_stackChanges++;
}

void UI_ClearMenuStack(UiSystem* ui) {
  if (ui) ui->depth = 0;
  g_stackChanges++;
}

int UI_MenuDepth(const UiSystem* ui) { return ui ? ui->depth : 0; }

const char* UI_TopMenuName(const UiSystem* ui) {
  return ui && ui->depth > 0 ? kScreens[ui->stack[ui->depth - 1].screen].name : "";
}

int UI_TopSelection(const UiSystem* ui) { return ui && ui->depth > 0 ? ui->stack[ui->depth - 1].selection : -1; }

int UI_Event(UiSystem* ui, int message) {
  if (!ui || ui->depth <= 0) return 0;
  UiStackEntry& top = ui->stack[ui->depth - 1];
  const MenuScreen& screen = kScreens[top.screen];
  if (message == kUiPaint) {
    Paint(top, screen);
    return 1;
  }
  if (message != kUiInput) return 0;
  void (*proc)() = top.proc;
  if (screen.input)
    screen.input(ui);
  else
    ItemKeys(ui, top, screen);
  if (proc) proc();
  return 1;
}

void Menu_Draw() { UI_Event(UI_System, kUiPaint); }
void Menu_Input() { UI_Event(UI_System, kUiInput); }

void Menu_SetMain() {
  UI_ClearMenuStack(UI_System);
  UI_PushMenu(UI_System, "mainmenu", nullptr);
}
