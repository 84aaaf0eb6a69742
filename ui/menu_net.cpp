#include "ui/menu_net.h"

#include <algorithm>
#include <cstdio>

#include "characters/person.h"
#include "foundation/file.h"
#include "foundation/input.h"
#include "foundation/keys.h"
#include "foundation/sound.h"
#include "foundation/var.h"
#include "render/text.h"
#include "ui/ui.h"
#include "world/net.h"
#include "world/start.h"

namespace {

constexpr int kHostRows = 4;  // arena, game type, team, start
constexpr int kJoinFixedRows = 2;  // refresh, team
constexpr int kVisibleRows = 6;
const char* const kGameTypes[3] = {"Deathmatch", "Team deathmatch", "Capture the flag"};
const char* const kTeams[2] = {"Red", "Blue"};

struct NetScreens {
  char arenas[kMenuArenas][kMenuArenaNameSize];
  int arenaCount;
  int hostRow, arena, gameType;
  int joinRow;
  int joinFirst;  // the row on top of the join screen's rows shown
  int joining;  // a WantConnect went out and no answer came yet
};
NetScreens g_net;

void MenuSound(const char* name) { Sound_Play(name, 1.0f, 100.0f, nullptr, 0, 0); }

bool g_clicked;  // this frame's left click fell on a row (MoveRow chose it)

bool Pressed(int key) { return Input_KeyPressed(key) != 0; }
bool Enter() {
  const bool clicked = g_clicked;
  g_clicked = false;
  return Pressed(KEY_ENTER) | Pressed(KEY_NUMPADENTER) | clicked;
}
bool Back() { return Pressed(KEY_ESCAPE) | Pressed(kKeyMouseRight); }

// Up and Down over `count` rows (wrapping), the row shown first being firstOf(row) (null: 0); a
// pointer moved onto a row takes the highlight, and a click on a row chooses it and counts as
// Enter; true when the row changed.
bool MoveRow(int* row, int count, int (*firstOf)(int)) {
  g_clicked = false;
  const bool click = Pressed(kKeyMouseLeft);
  if (count <= 0) return false;
  if (*row >= count) *row = count - 1;
  int was = *row;
  if (Pressed(KEY_UP)) *row = (*row + count - 1) % count;
  if (Pressed(KEY_DOWN)) *row = (*row + 1) % count;
  const int pointed = UI_TrackPointer(row, was, count, kVisibleRows, firstOf, 60, 580, kUiItemHeight);
  if (click && pointed >= 0) {
    *row = pointed;
    g_clicked = true;
  }
  if (*row != was) MenuSound("menu_mov");
  return *row != was;
}

// Left goes one back, Right or Enter one on (wrapping over `count` values).
void Cycle(int* value, int count) {
  if (count <= 0) return;
  int was = *value;
  if (Pressed(KEY_LEFT)) *value = (*value + count - 1) % count;
  if (Pressed(KEY_RIGHT) || Enter()) *value = (*value + 1) % count;
  if (*value != was) MenuSound("menu_mov");
}

void Leave(UiSystem* ui) {
  MenuSound("menu_act");
  Input_Reset();
  UI_PopMenu(ui);
}

// One row of a list screen: the bar behind the selected one, the text centred.
void DrawRow(int slot, bool selected, const char* text) {
  float top = kUiItemTop + slot * kUiItemHeight;
  if (selected)
    UI_FillRect(60, top, 580, top + kUiItemHeight, kUiBarColor[0], kUiBarColor[1], kUiBarColor[2], 255);
  Print_SetAlign(1);
  Print_SetColor(1, 1, 1, 1);
  Print_TextBox(60, top + 6, 580, top + kUiItemHeight, text);
}

const ServerListEntry* ServerRow(int n) {
  for (const ServerListEntry& e : NET_ServerList)
    if (e.used && n-- == 0) return &e;
  return nullptr;
}

int ServerCount() {
  int n = 0;
  for (const ServerListEntry& e : NET_ServerList) n += e.used != 0;
  return n;
}

// The join screen shows kVisibleRows rows, scrolled only as far as the chosen one asks.
int JoinFirstRowFor(int row) {
  return UI_ScrollFirst(g_net.joinFirst, row, kVisibleRows, std::max(kVisibleRows, kJoinFixedRows + ServerCount()));
}
int JoinFirstRow() { return JoinFirstRowFor(g_net.joinRow); }

}  // namespace

int Menu_NetArenaCount() { return g_net.arenaCount; }
const char* Menu_NetArenaName(int i) { return i >= 0 && i < g_net.arenaCount ? g_net.arenas[i] : ""; }
int Menu_NetHostRow() { return g_net.hostRow; }
int Menu_NetHostArena() { return g_net.arena; }
int Menu_NetHostGameType() { return g_net.gameType; }
int Menu_NetTeam() { return Game_LocalTeam & 1; }
int Menu_NetJoinRow() { return g_net.joinRow; }

void Menu_NetHostOpen() {
  g_net.arenaCount = 0;
  File_ListFiles("arenas\\", ".scn", &g_net.arenaCount, &g_net.arenas[0][0], kMenuArenas, kMenuArenaNameSize);
  g_net.hostRow = 0;
  if (g_net.arena >= g_net.arenaCount) g_net.arena = 0;
  const VarRecord* type = Var_Find("multitype");
  g_net.gameType = type && type->value >= 0 && type->value <= 2 ? int(type->value) : 0;
  Input_Reset();
}

void Menu_NetHostInput(UiSystem* ui) {
  if (Back()) {
    Leave(ui);
    return;
  }
  MoveRow(&g_net.hostRow, kHostRows, nullptr);
  int team = Game_LocalTeam & 1;
  switch (g_net.hostRow) {
    case 0: Cycle(&g_net.arena, g_net.arenaCount); break;
    case 1:
      Cycle(&g_net.gameType, 3);
      if (VarRecord* type = Var_Find("multitype")) Var_SetValue(type, float(g_net.gameType));
      break;
    case 2: Cycle(&team, 2); break;
    default:
      if (!Enter()) break;
      MenuSound("menu_act");
      Input_Reset();
      if (g_net.arenaCount == 0) break;
      // The arena load clears the menu; on failure the screen stays.
      NET_HostGame(g_net.arenas[g_net.arena], g_net.gameType, team);
      return;
  }
  Game_LocalTeam = team;
}

void Menu_NetHostDraw() {
  char line[3][160];
  std::snprintf(line[0], sizeof line[0], "Arena: %s", g_net.arenaCount ? g_net.arenas[g_net.arena] : "(none)");
  std::snprintf(line[1], sizeof line[1], "Game type: %s", kGameTypes[g_net.gameType]);
  std::snprintf(line[2], sizeof line[2], "Team: %s", kTeams[Game_LocalTeam & 1]);
  Print_SetSize(kUiTextSize);
  for (int i = 0; i < 3; i++) DrawRow(i, g_net.hostRow == i, line[i]);
  DrawRow(3, g_net.hostRow == 3, NET_Up ? "Start" : "Start (no network)");
}

void Menu_NetJoinOpen() {
  g_net.joinRow = 0;
  g_net.joinFirst = 0;
  g_net.joining = 0;
  NET_SendRefreshServerList();
  Input_Reset();
}

void Menu_NetJoinInput(UiSystem* ui) {
  if (Back()) {
    // A join not answered yet is given up; a running match is left alone.
    if (g_net.joining && !NET_GameRunning) NET_EndGame();
    g_net.joining = 0;
    Leave(ui);
    return;
  }
  MoveRow(&g_net.joinRow, kJoinFixedRows + ServerCount(), JoinFirstRowFor);
  g_net.joinFirst = JoinFirstRow();
  if (g_net.joinRow == 1) {
    int team = Game_LocalTeam & 1;
    Cycle(&team, 2);
    Game_LocalTeam = team;
    return;
  }
  if (!Enter()) return;
  MenuSound("menu_act");
  Input_Reset();
  if (g_net.joinRow == 0) {
    g_net.joining = 0;
    NET_SendRefreshServerList();
  } else if (const ServerListEntry* row = ServerRow(g_net.joinRow - kJoinFixedRows)) {
    g_net.joining = NET_JoinServer(*row, Game_LocalTeam & 1);
  }
}

void Menu_NetJoinDraw() {
  Print_SetSize(kUiTextSize);
  int count = kJoinFixedRows + ServerCount();
  int first = JoinFirstRow();
  for (int slot = 0; slot < kVisibleRows && first + slot < count; slot++) {
    int row = first + slot;
    char line[256];
    if (row == 0) {
      std::snprintf(line, sizeof line, "%s", g_net.joining ? "Refresh (joining...)" : "Refresh");
    } else if (row == 1) {
      std::snprintf(line, sizeof line, "Team: %s", kTeams[Game_LocalTeam & 1]);
    } else if (const ServerListEntry* e = ServerRow(row - kJoinFixedRows)) {
      int type = e->gameType >= 0 && e->gameType <= 2 ? e->gameType : 0;
      std::snprintf(line, sizeof line, "%.24s  %.24s  %i/%i  %s", e->playerName, e->levelName, e->players,
                    e->maxPlayers, kGameTypes[type]);
    }
    DrawRow(slot, row == g_net.joinRow, line);
  }
  // No server heard: a line where the first one would stand (not a row to choose).
  if (ServerCount() == 0 && kJoinFixedRows - first < kVisibleRows) DrawRow(kJoinFixedRows - first, false, "None found");
  if (!NET_Up) {
    Print_SetAlign(1);
    Print_TextBox(0, 440, 640, 480, "No network");
  }
}
