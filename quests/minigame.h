// The bridge to the mini-game library: loading it from the game's folder, the callback table it
// gets, the forwarded input, the per-frame run while full-screen mode 3 is on, and the prize.
//
// A prize file "data\scripts\minigame\prize<NN>.cfg" (NN: the stored mini-game name, a number
// 0..99, two digits) holds bracketed pairs: "[money] [amount]" pays 0..100000 to the player.
#pragma once
#include <cstdint>

// The library's file, relative to the game's folder.
extern char MiniGame_LibraryPath[256];
constexpr int32_t kMiniGamePrizeMax = 100000;

// The use text "[minigame] [name]": the name is kept for the end; the library is opened (once)
// and MG_Init gets the callback table and the money. 1 when the game started (the caller then
// switches to mode 3); 0 with a log line when the library cannot be had or refuses.
int MiniGame_Start(const char* name, int32_t money);
// The forwarded input of mode 3.
void MiniGame_KeyDown(int32_t code);
void MiniGame_MouseDown(int32_t code);
// Mode 3's frame: the pointer's place, MG_Update with the frame's time, MG_Render; a finished
// game ends here.
void MiniGame_Frame();
// Ends the game: MG_Free, the prize paid on a win, play again (mode 0, input cleared).
void MiniGame_End(int won);
// Pays the prize file of a mini-game name to the player; the amount paid, or -1 (with a log
// line) when the name or the file is bad.
int32_t MiniGame_PayPrize(const char* name);
// Closes the library (shutdown, and tests).
void MiniGame_Unload();
