#include "world/level.h"

#include <strings.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "ai/bot.h"
#include "characters/defs.h"
#include "characters/player.h"
#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/sound.h"
#include "foundation/sys.h"
#include "foundation/text.h"
#include "foundation/timer.h"
#include "foundation/var.h"
#include "foundation/video.h"
#include "physics/physics.h"
#include "platform/window.h"
#include "quests/dialog.h"
#include "quests/quest.h"
#include "quests/state.h"
#include "render/draw2d.h"
#include "render/render.h"
#include "render/text.h"
#include "render/texture.h"
#include "scene/model.h"
#include "scene/view.h"
#include "ui/menu.h"
#include "ui/ui.h"
#include "world/demo.h"
#include "world/save.h"
#include "world/entity.h"
#include "world/areol.h"
#include "world/beam.h"
#include "world/frame2d.h"
#include "world/fx.h"
#include "world/game.h"
#include "world/net.h"
#include "world/object.h"
#include "world/personage.h"
#include "world/start.h"

char Level_Name[256];
char Level_SkyName[2][kLevelSkyNameSize];
uint32_t Level_FogFlag;
uint32_t Game_SpecialFlag;
LevelFogSet Level_FogSets[2];
LightRecord Light_Table[kLightRecords];
int32_t Light_Count;
uint32_t Level_Loaded;
uint32_t Level_LoadingSuppressed;
float Game_Stamp;

static char g_loadingTitle[256];
static double g_lastLoadingDraw;
static bool g_loadingDrawn;  // the title was drawn at g_lastLoadingDraw

// ---- The loading screen -----------------------------------------------------------------------

void Level_SetLoadingTitle(const char* title) {
  if (Level_LoadingSuppressed || render_pbuffer.value != 0) return;
  std::snprintf(g_loadingTitle, sizeof g_loadingTitle, "%s", title ? title : "");
  g_loadingDrawn = false;
}

void Level_ClearLoadingScreen() { g_loadingTitle[0] = 0; }

void (*Level_LoadingDrawHook)(const char* title);

void Level_DrawLoadingProgress() {
  if (!g_loadingTitle[0]) return;
  double now = Timer_Now();
  if (g_loadingDrawn && now - g_lastLoadingDraw < kLoadingRedrawSeconds) return;
  g_lastLoadingDraw = now;
  g_loadingDrawn = true;
  // The desktop sees a window that answers while a long load runs.
  PlatEvent ev;
  while (Plat_PollEvent(&ev)) Sys_WndProc(&ev);
  if (Level_LoadingDrawHook) Level_LoadingDrawHook(g_loadingTitle);
  if (!RenderApi) return;
  Render_BeginFrame(0, 0, Render_ScreenWidth, Render_ScreenHeight);
  Render_Clear(1, 0, 0, 0);
  View_ResetRenderState();
  Render_SetDepthTest(0);
  Picture picture{};
  if (Draw2D_LoadPicture(g_loadingTitle, &picture))
    Draw2D_PictureSized(0, 0, kScreen2DWidth, kScreen2DHeight, &picture, 1, Color8{255, 255, 255, 255});
  Print_SetBackgroundColor(0, 0, 0, 0);
  Print_SetAlign(1);
  Print_SetSize(30);
  Print_SetWidthScale(66);
  Print_SetColor(1, 1, 1, float(0.5 + 0.25 * std::sin(now)));
  Text_Draw("data\\text\\", "consol\\loading", 0, 225, 640, 480);
  char key[sizeof g_loadingTitle + 16];
  std::snprintf(key, sizeof key, "levelname\\%s", g_loadingTitle);
  Print_SetSize(16);
  Print_SetColor(0.22f, 0.31f, 0.43f, 1.0f);
  Text_Draw("data\\text\\", key, 0, 447, 640, 480);
  Print_SetAlign(0);
  Render_EndFrame(1, 1);
}

// ---- Releasing and loading ----------------------------------------------------------------------

void Level_Free() {
  StartRecord();
  EndDemo();  // a playback ends with its level, and so does its capture
  // Leaving a network game: the peers hear it and the match tables empty. A game being set up
  // (hosting, or joining on an AcceptClient) keeps its mode and stamp through the load.
  if (NET_GameRunning) {
    if (Game_NetMode == 1) NET_SendServerQuit();
    if (Game_NetMode == 2) NET_SendClientQuit();
    NET_EndGame();
  }
  // The quests' level texts, the player's input and the camera sequence. The scripts and
  // conditions of the next level say their faults afresh.
  Que_ForgetFaults();
  if (Game_Running) {
    Que_State.mission.name[0] = 0;
    for (int i = 0; i < kObjectives; i++) {
      Que_State.objectives.conditions[i][0] = 0;
      Que_State.objectives.scripts[i][0] = 0;
    }
  }
  Player_ClearInput();
  // Slow motion ends with its level: the game, a menu or the next level runs at full speed.
  Player_EndSlowMotion(Obj_Player);
  Game_SpecialFlag = 0;
  if (Level_Loaded || Game_Running) {
    ai_Invalidate();
    Sound_StopAll();
    for (SoundFade& f : Game_SoundFades) f = SoundFade{};
    Game_FadeRestartArmed = 0;
    Level_Loaded = 0;
    Level_Name[0] = 0;
    Obj_ClearAll();
    Level_EmitterCount = 0;
    Game_Running = 0;
  }
  Physics_FreeLevel();
  ai_FreeAreas();
  Model_FreeAll();
  Game_DemoFlags = 0;
  Game_Accumulator = game_delay.value;
  Tex_FreeAll();
  Video_ResetFonts();
  Menu_SetMain();
  Fx_Reset();
  Beam_StopAll();
  Areol_ForgetPictures();
  Game_MenuOpen = 0;
  Game_FullScreenMode = FULLSCREEN_NONE;
  Game_PanelOpen = 0;
  Dialog_Open = 0;
  Dialog_Partner = nullptr;
  Game_PendingLevel[0] = 0;
  // The play screen's status text, subtitle and markers, and the pointer back in the middle.
  Game_ClearPlayScreen();
  Game_CentreCursor();
  Game_Time = 0;
}

bool Level_NameAllowed(const char* name) {
  if (!name) return false;
  if (name[0] == '/' || name[0] == '\\' || (name[0] && name[1] == ':')) return false;
  for (const char* p = name; *p; p++) {
    if (p[0] == '.' && p[1] == '.' && (p == name || p[-1] == '/' || p[-1] == '\\') &&
        (p[2] == 0 || p[2] == '/' || p[2] == '\\'))
      return false;
    if (*p == '"' || *p == '{' || *p == '}' || *p == '\n' || *p == '\r') return false;
  }
  return std::strlen(name) < sizeof Level_Name;
}

// The level's name without its extension.
static void Level_BaseName(const char* name, char* out, size_t outSize) {
  std::snprintf(out, outSize, "%s", name);
  char* dot = std::strrchr(out, '.');
  if (dot && !std::strpbrk(dot, "\\/")) *dot = 0;
}

// A copy entering a network game (mode set, no game yet) loads from the arenas.
static const char* Level_Folder() { return !NET_GameRunning && Game_NetMode != 0 ? "arenas\\" : "scenes\\"; }

int Level_FilesPath(const char* name, char* out, size_t outSize) {
  if (!Level_NameAllowed(name)) return 0;
  char base[sizeof Level_Name];
  Level_BaseName(name, base, sizeof base);
  std::snprintf(out, outSize, "%s%s", Level_Folder(), base);
  return 1;
}

int Level_FilesThere(const char* name, int32_t* navCounts) {
  int32_t scratch[kNavSets];
  int32_t* counts = navCounts ? navCounts : scratch;
  for (int i = 0; i < kNavSets; i++) counts[i] = 0;
  char path[sizeof Level_Name + 16];
  if (!Level_FilesPath(name, path, sizeof path - 4)) return 0;
  if (Nav_CountAreas(path, counts)) return 1;
  std::strcat(path, ".scn");
  FileHandle* scene = File_Open(path, "rb");
  if (scene) File_Close(scene);
  return scene != nullptr;
}

// Steps shared by a whole load and a geometry load: the old level released, the new name taken
// (without its extension) and its folder.
static bool Level_Begin(const char* name, char* path, size_t pathSize) {
  if (!Level_FilesPath(name, path, pathSize)) {
    Log_Printf("Level_Load: refused level name \"%s\"\n", name ? name : "(null)");
    return false;
  }
  Log_Printf("Level_Load: %s\n", name);
  Sound_PauseAll();
  // The mode of a copy entering a network game outlives the release.
  int32_t mode = NET_GameRunning ? 0 : Game_NetMode;
  Level_Free();
  if (mode != 0) Game_NetMode = mode;
  Level_BaseName(name, Level_Name, sizeof Level_Name);
  return true;
}

static void Level_Finish() {
  Game_SettleFrames = kSettleFrames;
  Game_DemoFlags = 1;
  Level_Loaded = 1;
}

int Level_Load(const char* name) {
  char path[sizeof Level_Name + 16];
  if (!Level_Begin(name, path, sizeof path)) return 0;
  Level_SetLoadingTitle(path);
  Level_DrawLoadingProgress();
  LoadAreas(path);
  Level_DrawLoadingProgress();
  Player_CreateForLevel();
  for (const char* ext : {".scn", ".civ", ".bot", ".items"}) LoadObjects((std::string(path) + ext).c_str());
  Ent_SpawnAttachedNpcs(Level_Name);
  Level_SetupStartsAndPickups();
  Emitters_Restart();  // the level's looping sounds
  Level_ClearLoadingScreen();
  Game_Running = 1;
  Game_MenuOpen = 0;
  if (UI_System) UI_ClearMenuStack(UI_System);
  Game_Stamp = float(Timer_Now());
  Log_Printf("creategame %f\n", double(Game_Stamp));
  if (Game_NetMode == 1) {  // the server's game, stamped with the game's clock
    NET_StartServer(Game_NetGameType);
    if (Game_Stamp != 0) NET_GameStamp = Game_Stamp;
    Log_Printf("createserver %f\n", double(NET_GameStamp));
  }
  Level_Finish();
  if (Level_Name[0])
    for (PlaceRecord& p : Game_Places)
      if (strcasecmp(p.name, Level_Name) == 0) {
        p.lock = 0;
        break;
      }
  Sound_ResumeAll();
  Sound_Mute();
  Global_MemoryStatus();
  return 1;
}

int Level_LoadGeometry(const char* name) {
  char path[sizeof Level_Name + 16];
  if (!Level_Begin(name, path, sizeof path)) return 0;
  Game_Running = 1;
  Game_MenuOpen = 0;
  LoadAreas(path);
  Level_Finish();
  Sound_ResumeAll();
  Sound_Mute();
  Global_MemoryStatus();
  return 1;
}

// ---- Characters and cars that belong to a level ------------------------------------------------

// A name pasted into entity text: quotes, braces and line breaks would open keys or blocks.
static bool Ent_SafeName(const char* what, const char* text) {
  if (text && !std::strpbrk(text, "\"{}\n\r")) return true;
  Log_Printf("Ent_SpawnNpc: refused %s \"%s\"\n", what, text ? text : "(null)");
  return false;
}

static int Ent_Truncate(float v) {
  if (!(std::fabs(v) < 2.0e9f)) return 0;
  return int(v);
}

static GameObject* Ent_FindActive(const char* id) {
  for (GameObject* o = Obj_ListHead; o; o = o->next)
    if ((o->flags & OBJ_ACTIVE) && o->person.name[0] && std::strcmp(o->person.name, id) == 0) return o;
  return nullptr;
}

static GlobalPersonage* Ent_Personage(const char* id) {
  for (int i = 0; i < Game_PersonageCount && i < kPersonages; i++)
    if (strcasecmp(Game_Personages[i].person.name, id) == 0) return &Game_Personages[i];
  return nullptr;
}

GameObject* Ent_SpawnNpc(const char* id, const vec3* origin, const vec3* angles, const char* templ, int replace) {
  if (!Ent_SafeName("id", id) || !Ent_SafeName("template", templ)) return nullptr;
  if (GameObject* old = Ent_FindActive(id)) {
    if (replace) {
      if (GlobalPersonage* g = Ent_Personage(id)) {
        g->person = old->person;
        g->restoreBody = g->restoreDialogue = 1;
      }
    }
    old->flags &= ~OBJ_ACTIVE;
    Obj_RequestDelete(old);
    old->person.state = 2;
  }
  char text[1024];
  if (origin && angles)
    std::snprintf(text, sizeof text,
                  "{\n\t\"call\" \"%s\"\n\t\"id\" \"%s\"\n\t\"origin\" \"%i %i %i\"\n\t\"angle\" \"%i %i %i\"\n}\n",
                  templ, id, Ent_Truncate(origin->x), Ent_Truncate(origin->y), Ent_Truncate(origin->z),
                  Ent_Truncate(angles->x), Ent_Truncate(angles->y), Ent_Truncate(angles->z));
  else
    std::snprintf(text, sizeof text, "{\n\t\"call\" \"%s\"\n\t\"id\" \"%s\"\n}\n", templ, id);
  read_ent(text, uint32_t(std::strlen(text)));
  GameObject* made = Ent_FindActive(id);
  GlobalPersonage* g = made ? Ent_Personage(id) : nullptr;
  if (g) {
    if (g->restoreBody) made->person = g->person;
    if (g->restoreDialogue)
      std::memcpy(made->person.dialogueCue, g->person.dialogueCue, sizeof made->person.dialogueCue);
  }
  return made;
}

// The placed-character rows of the quest tables: id, then level, template, origin and angles.
struct PlacedCharacter {
  char id[64], level[128], templ[128];
  vec3 origin, angles;
};
static PlacedCharacter Ent_ReadPlacement(const NpcPlacement& row) {
  PlacedCharacter p{};
  std::memcpy(p.id, row.name, sizeof p.id);
  std::memcpy(p.level, row.reserved, sizeof p.level);
  std::memcpy(p.templ, row.reserved + 128, sizeof p.templ);
  std::memcpy(&p.origin, row.reserved + 256, sizeof p.origin);
  std::memcpy(&p.angles, row.reserved + 268, sizeof p.angles);
  p.id[63] = p.level[127] = p.templ[127] = 0;
  return p;
}

void Ent_SpawnAttachedNpcs(const char* level) {
  if (!level) return;
  for (int i = 0; i < kCarPositions && i < kCarDefs; i++) {
    const CarPosRecord& car = Game_CarPositions[i];
    if (!car.level[0] || strcasecmp(car.level, level) != 0 || !Def_Cars[i].model[0]) continue;
    if (!Ent_SafeName("car model", Def_Cars[i].model)) continue;
    char text[1024];
    std::snprintf(text, sizeof text, "{\n\t\"call\" \"%s\"\n\t\"origin\" \"%f %f %f\"\n\t\"angle\" \"%f %f %f\"\n}\n",
                  Def_Cars[i].model, double(car.origin.x), double(car.origin.y), double(car.origin.z) + 1.0,
                  double(car.angles.x), double(car.angles.y), double(car.angles.z));
    read_ent(text, uint32_t(std::strlen(text)));
  }
  for (const NpcPlacement& row : Que_State.placements) {
    PlacedCharacter p = Ent_ReadPlacement(row);
    if (!p.id[0] || !p.templ[0] || strcasecmp(p.level, level) != 0) continue;
    bool zero = p.origin.x == 0 && p.origin.y == 0 && p.origin.z == 0 && p.angles.x == 0 && p.angles.y == 0 &&
                p.angles.z == 0;
    if (zero)
      Ent_SpawnNpc(p.id, nullptr, nullptr, p.templ, 0);
    else
      Ent_SpawnNpc(p.id, &p.origin, &p.angles, p.templ, 0);
  }
}
