// The frame's input handlers and the state they share with the menus and quests.
#pragma once
#include <cstdint>

struct GameObject;

// Set while a text-entry field has the keyboard: the hot keys wait.
extern uint32_t Game_TextFieldActive;
// The shop the use key opened (-1 none).
extern int32_t Game_CurrentShop;
// Set when the next start origin and angles go with the pending level.
extern uint32_t Game_NextStartGiven;
// The health of the car the player drives.
extern float Game_PlayerCarHealth;
// The mini-game library's key and mouse entries; null while no library is loaded (then the
// mini-game mode never starts, since only the library could leave it).
extern void (*Game_MiniGameKey)(int code);
extern void (*Game_MiniGameMouse)(int code);

void Game_FullScreenInput();
// Acts on a use text ("[keyword][argument]..."): "minigame", "shop", "changelevel", "car". The
// target is the used world object. Returns 1 when a keyword acted.
int Game_ApplyUseText(GameObject* player, GameObject* target, const char* text);
// How many keys the bindings give the quick save (found again only after a binding changed).
int Game_QuickSaveKeyCount();
