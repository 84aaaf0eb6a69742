// The in-game HUD module: the hero's state as text, the HUD file's tuning values, the in-game
// panels' entries and quick save and load.
#pragma once
#include <cstddef>
#include <cstdint>

#include "render/draw2d.h"

struct GameObject;

// Stage 1 reads the HUD file "sprites\ui\ui.txt"; stage 0 and others do nothing.
void Hud_Init(int stage);
void Hud_Shutdown();

// The HUD of normal play: health, energy (for a body that has any), and with a weapon in hand its
// magazine and reserve.
void Hud_Draw();
// The HUD's text for a character (lines ended by "\n"); returns its length.
size_t Hud_FormatStatus(const GameObject* obj, char* out, size_t size);
// Where and how Hud_Draw prints it on the 640 x 480 screen.
constexpr float kHudBox[4] = {20.0f, 400.0f, 320.0f, 470.0f};
constexpr float kHudTextSize = 20.0f;
constexpr float kHudTextColor[4] = {1.0f, 0.9f, 0.6f, 1.0f};

// The HUD file: bracketed key and value pairs. "daytime" (seconds of a day, 60 when unset or not
// above 0), the damage factors "<prefix>_<band>" (1.0 when unset), and the boxes of the Transport
// System's day and night buttons ("daybutton", "nightbutton": left top right bottom).
constexpr int kHudDamageKinds = 6;
constexpr int kHudDamageBands = 5;
extern const char* const Hud_DamagePrefixes[kHudDamageKinds];
extern const char* const Hud_DamageBands[kHudDamageBands];
struct HudSettings {
  float dayLength;
  float damage[kHudDamageKinds][kHudDamageBands];
  float dayButton[4];
  float nightButton[4];
};
extern HudSettings Hud_Settings;
// The defaults, then the file's text over them (`fileName` names the file in log lines). An
// unknown key, a bad number or an over-long token gets one log line and is skipped. Returns the
// number of values taken.
int Hud_ReadSettings(const char* text, size_t size, const char* fileName);
// The length of a day in seconds.
float Hud_DayLength();

// The in-game panels (inventory, stats, shops...): their drawing and input while one is open.
void Panel_DrawAll();
void Panel_Input();
// The menu keys while a menu shows (the menu system's input).
void Panel_HandleMenuKeys();
// Escape over an open panel closes it.
void Panel_ToggleIngameMenu();
// Keeps the game's last finished picture (the back buffer before this frame's present) for the
// in-game menu, which draws it behind its items, dimmed by kPanelGrabShade. A picture of an
// emptied texture table (a level released since) is forgotten.
void Panel_GrabScreen();
void Panel_DrawGrabbedScreen();
constexpr Color8 kPanelGrabShade = {150, 150, 150, 255};
// The gameplay keys of the inventory and goals panels.
void GameInputUI();
// The Quests key: the goals screen (the mission and each objective with its time left).
void GameInputGoals();
// The HUD's lines that the quests' show flags ask for (clock, frags, frag limit), into out.
void Hud_FormatQuestLines(const GameObject* obj, char* out, size_t size);
// The on-screen message lines: the newest run of lines whose expiry lies after the frame clock,
// oldest first, each word-wrapped between x kHudMessageBox[0] and [1] below the one before,
// from the top of the screen; a line of fewer than two characters is left out.
void Hud_DrawMessageLines();
constexpr float kHudMessageSize = 16.0f;
constexpr float kHudMessageBox[2] = {10.0f, 630.0f};

// The cell maps of the inventory pane: seven tables by inventory position, -1 = not laid out.
constexpr int kItemPaneMaps = 7;
constexpr int kItemPaneCells = 256;
extern int32_t ItemPane_Cells[kItemPaneMaps][kItemPaneCells];
// Lays the position out again (every map -1 there).
void ItemPane_ResetCell(int position);

// Quick save and quick load ("quicksave\quick"). The quick save is refused as Game_SaveAllowed
// says; each outcome of the quick load shows a message line.
void Menu_QuickSave();
void Menu_QuickLoad();
