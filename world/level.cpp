#include "world/level.h"

#include <cstdio>
#include <cstring>

#include "ai/bot.h"
#include "characters/player.h"
#include "foundation/log.h"
#include "foundation/sound.h"
#include "physics/physics.h"
#include "quests/dialog.h"
#include "ui/menu.h"
#include "ui/ui.h"
#include "world/entity.h"
#include "world/demo.h"
#include "world/game.h"
#include "world/object.h"

char Level_Name[256];
char Level_SkyName[2][kLevelSkyNameSize];
uint32_t Level_FogFlag;
uint32_t Game_SpecialFlag;
LevelFogSet Level_FogSets[2];
LightRecord Light_Table[kLightRecords];
int32_t Light_Count;

void Level_DrawLoadingProgress() {}

// The level life cycle arrives later; what the frame relies on today: a released level ends the
// camera sequence and the game, releases the objects, the areas and the physics world, disarms
// the sound-fade restart and leaves every mode with the main menu installed.
void Level_Free() {
  StartRecord();
  Player_ClearInput();
  Level_EmitterCount = 0;
  Game_SpecialFlag = 0;
  if (Game_Running) ai_Invalidate();
  Level_Name[0] = 0;
  Obj_ClearAll();
  Game_Running = 0;
  Game_FadeRestartArmed = 0;
  Physics_FreeLevel();
  ai_FreeAreas();
  Menu_SetMain();
  Game_MenuOpen = 0;
  Game_FullScreenMode = FULLSCREEN_NONE;
  Game_PanelOpen = 0;
  Dialog_Open = 0;
  Dialog_Partner = nullptr;
  Game_PendingLevel[0] = 0;
  Game_Time = 0;
}

int Level_Load(const char* name) {
  if (!name) name = "";
  Log_Printf("Level_Load: %s\n", name);
  Sound_PauseAll();
  Level_Free();
  // The level's name drops its extension; its files lie under "scenes\".
  std::snprintf(Level_Name, sizeof Level_Name, "%s", name);
  char* dot = std::strrchr(Level_Name, '.');
  if (dot && !std::strpbrk(dot, "\\/")) *dot = 0;
  char path[sizeof Level_Name + 16];
  std::snprintf(path, sizeof path, "scenes\\%s", Level_Name);
  if (Level_Name[0]) LoadAreas(path);
  Game_Running = 1;
  Game_MenuOpen = 0;
  UI_ClearMenuStack(UI_System);
  Game_SettleFrames = kSettleFrames;
  Sound_ResumeAll();
  return 0;
}

// Only the level's areas: a saved game or a demo brings the objects itself.
int Level_LoadGeometry(const char* name) {
  if (!name) name = "";
  Sound_PauseAll();
  Level_Free();
  std::snprintf(Level_Name, sizeof Level_Name, "%s", name);
  char* dot = std::strrchr(Level_Name, '.');
  if (dot && !std::strpbrk(dot, "\\/")) *dot = 0;
  char path[sizeof Level_Name + 16];
  std::snprintf(path, sizeof path, "%s%s", Game_NetMode ? "arenas\\" : "scenes\\", Level_Name);
  Game_Running = 1;
  Game_MenuOpen = 0;
  UI_ClearMenuStack(UI_System);
  if (Level_Name[0]) LoadAreas(path);
  Game_SettleFrames = kSettleFrames;
  Game_DemoFlags = 1;
  Sound_ResumeAll();
  return 0;
}

void Game_CaptureFrame() {}
