// The multiplayer screens of the front end: hosting a match on a local network (arena, game type,
// team) and joining one (a refresh asks for servers, one row per server heard, the team).
#pragma once

struct UiSystem;

// Hosting: rows "Arena", "Game type", "Team" (Left and Right, or Enter, change them) and "Start"
// (Enter hosts the arena; the match begins at once). Escape goes back. The game type is kept in
// the setting "multitype".
void Menu_NetHostOpen();
void Menu_NetHostInput(UiSystem* ui);
void Menu_NetHostDraw();

// Joining: opening refreshes the server list; rows "Refresh", "Team", then one per server heard
// (its player, arena, players and game type). Enter on a server asks to join it; its answer loads
// the match. Escape goes back (a join not yet answered is given up).
void Menu_NetJoinOpen();
void Menu_NetJoinInput(UiSystem* ui);
void Menu_NetJoinDraw();

// The arenas offered by the host screen (base names of "arenas\*.scn"), refreshed on opening.
constexpr int kMenuArenas = 32;
constexpr int kMenuArenaNameSize = 64;
int Menu_NetArenaCount();
const char* Menu_NetArenaName(int i);
// The host screen's row and choices, and the join screen's row (tests read them).
int Menu_NetHostRow();
int Menu_NetHostArena();
int Menu_NetHostGameType();
int Menu_NetTeam();
int Menu_NetJoinRow();
