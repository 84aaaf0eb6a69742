// The frame's input: hot keys, the pending level change and the one input handler of the mode.
#include <strings.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ai/bot.h"
#include "characters/defs.h"
#include "characters/actions.h"
#include "characters/inventory.h"
#include "characters/player.h"
#include "foundation/input.h"
#include "foundation/keys.h"
#include "foundation/log.h"
#include "foundation/file.h"
#include "foundation/partoken.h"
#include "foundation/random.h"
#include "foundation/sound.h"
#include "foundation/text.h"
#include "foundation/timer.h"
#include "foundation/var.h"
#include "hud/hud.h"
#include "quests/dialog.h"
#include "quests/minigame.h"
#include "quests/quest.h"
#include "quests/state.h"
#include "quests/ts.h"
#include "render/video.h"
#include "ui/ui.h"
#include "world/game.h"
#include "world/demo.h"
#include "world/gameinput.h"
#include "world/frame2d.h"
#include "world/entity.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/object.h"
#include "world/personage.h"
#include "world/screenshot.h"
#include "world/start.h"
#include "world/tick.h"

uint32_t Game_TextFieldActive;
int32_t Game_CurrentShop = -1;
uint32_t Game_NextStartGiven;
float Game_PlayerCarHealth;
float Game_MousePrevious[2];

// ---- Hot keys ----------------------------------------------------------------------------------

// The keys bound to the quick save, the quick load and (the first two) the inventory, found again
// only when a binding changes.
struct QuickKeys {
  uint32_t changes = ~0u;
  bool valid = false;
  int save[kKeyCodeCount], saveCount = 0;
  int load[kKeyCodeCount], loadCount = 0;
  int inventory[2], inventoryCount = 0;
  int prevWeapon[kKeyCodeCount], prevWeaponCount = 0;
  int sequence[kKeyCodeCount], sequenceCount = 0;
  int quests[2], questsCount = 0;
};
static QuickKeys g_quick;

static void Game_FindQuickKeys() {
  if (g_quick.valid && g_quick.changes == Var_TextChanges) return;
  g_quick.saveCount = g_quick.loadCount = g_quick.inventoryCount = g_quick.prevWeaponCount = 0;
  g_quick.sequenceCount = g_quick.questsCount = 0;
  for (int code = 0; code < kKeyCodeCount; code++) {
    const KeyInfo* info = Key_GetInfo(code);
    const VarRecord* v = info && info->varName[0] ? Var_Find(info->varName) : nullptr;
    if (!v || !v->text[0]) continue;
    if (Input_SameName(v->text, "QuickSave")) g_quick.save[g_quick.saveCount++] = code;
    if (Input_SameName(v->text, "QuickLoad")) g_quick.load[g_quick.loadCount++] = code;
    if (Input_SameName(v->text, "Inventory") && g_quick.inventoryCount < 2)
      g_quick.inventory[g_quick.inventoryCount++] = code;
    if (Input_SameName(v->text, "Prev Weapon")) g_quick.prevWeapon[g_quick.prevWeaponCount++] = code;
    if (Input_SameName(v->text, kCameraSequenceCommand)) g_quick.sequence[g_quick.sequenceCount++] = code;
    if (Input_SameName(v->text, "Quests") && g_quick.questsCount < 2) g_quick.quests[g_quick.questsCount++] = code;
  }
  g_quick.changes = Var_TextChanges;
  g_quick.valid = true;
}

int Game_QuickSaveKeyCount() {
  Game_FindQuickKeys();
  return g_quick.saveCount;
}

// Every key of the list is asked, so no press is left over for the next frame.
static int Game_AnyPressed(const int* keys, int count) {
  int pressed = 0;
  for (int i = 0; i < count; i++) pressed |= Input_KeyPressed(keys[i]);
  return pressed != 0;
}

int Game_InventoryKeyPressed() {
  Game_FindQuickKeys();
  return Game_AnyPressed(g_quick.inventory, g_quick.inventoryCount);
}

int Game_GoalsKeyPressed() {
  Game_FindQuickKeys();
  return Game_AnyPressed(g_quick.quests, g_quick.questsCount);
}

// A message line of the developer keys: texts and a number, shown for seven seconds.
static void Game_Message(const char* first, const int* number, const char* second) {
  std::u16string line;
  auto add = [&](const char* key) {
    const char16_t* t = Text_Get("data\\text\\", key);
    if (!t) {
      for (const char* p = key; *p; p++) line += char16_t(uint8_t(*p));
      return;
    }
    if (*t == kTextMark) t++;
    line += t;
  };
  add(first);
  if (number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, " %i ", *number);
    for (const char* p = digits; *p; p++) line += char16_t(*p);
  }
  if (second) add(second);
  Console_AddMessage(line.c_str(), Timer_FrameTime + kConsoleMessageSeconds);
}

// The developer keys act only while a Ctrl and an Alt key are both held. Their presses are taken
// every frame, so a plain F-key press never waits for the next Ctrl+Alt.
static void Game_DeveloperKeys() {
  const bool chord = (Input_KeyDown(KEY_LCTRL) || Input_KeyDown(KEY_RCTRL)) &&
                     (Input_KeyDown(KEY_LALT) || Input_KeyDown(KEY_RALT));
  auto pressed = [chord](int key) { return Input_KeyPressed(key) != 0 && chord; };
  GameObject* player = Obj_Player;
  if (pressed(KEY_F2))
    for (PlaceRecord& p : Game_Places) p.lock = 0;
  if (pressed(KEY_F3) && player) {
    player->person.money += 10000;
    int amount = 10000;
    Game_Message("consol\\You got", &amount, "consol\\money");
  }
  if (pressed(KEY_F7) && Game_NetMode == 0) Game_GiveAllWeapons();
  if (pressed(KEY_F8) && Game_NetMode == 0) {
    Game_GodMode ^= 1;
    Game_Message(Game_GodMode ? "consol\\god mode on" : "consol\\god mode off", nullptr, nullptr);
  }
  if (pressed(KEY_F9)) ai_KillAllEnemies();
  if (pressed(KEY_F11) && player) player->person.health = player->person.maxHealth;
}

int Game_SaveAllowed() {
  if (Game_DemoFlags & DEMO_PLAYBACK) {
    Log_Printf("Save:not during a playback.\n");
    Demo_ShowMessage("consol\\not during a demo", u"Not while a demo plays");
    return 0;
  }
  if (Game_NetMode == 0 && Obj_Player && Obj_Player->person.state == 2) {
    Log_Printf("Save:not while the hero is dead.\n");
    Demo_ShowMessage("consol\\not while dead", u"Not while the hero is dead");
    return 0;
  }
  return 1;
}

// Quick save and load act only in play: a level with the hero on it, no intro, movie or other
// full-screen mode. Elsewhere (the intro's empty level) a message line says so and the save on
// the disk stays as it was.
static void Game_QuickAction(void (*action)(), const char* refusal) {
  if (Game_Running && Level_Loaded && Level_Name[0] && Obj_Player && Game_FullScreenMode == FULLSCREEN_NONE &&
      !Game_MenuOpen) {
    action();
    return;
  }
  Game_Message(refusal, nullptr, nullptr);
}

// Whether every value is a number within the world's start limit.
static bool Game_StartWithin(const float* v, int count) {
  for (int i = 0; i < count; i++)
    if (!std::isfinite(v[i]) || std::fabs(v[i]) > kGameStartLimit) return false;
  return true;
}

// The level start table's row as the level change reads it: level, redirect, origin, angles.
static void Game_ApplyRedirect() {
  for (const LevelStartRecord& row : Que_State.levelStarts) {
    char level[sizeof row.level], redirect[sizeof row.redirect];
    std::memcpy(level, row.level, sizeof level);
    std::memcpy(redirect, row.redirect, sizeof redirect);
    level[sizeof level - 1] = redirect[sizeof redirect - 1] = 0;
    if (!level[0] || strcasecmp(level, Level_Name) != 0) continue;
    if (redirect[0]) {
      std::snprintf(Game_PendingLevel, sizeof Game_PendingLevel, "%s", redirect);
      Game_NextStartOrigin = vec3{row.origin[0], row.origin[1], row.origin[2]};
      Game_NextStartAngles = vec3{row.angles[0], row.angles[1], row.angles[2]};
      Game_NextStartGiven = 1;
    }
    return;
  }
}

// The pending level change, whoever asked for it (the use key, a script, the Transport System, a
// movie's end, the level start table): a level with neither its ".nav" nor its ".scn" is not
// entered (the current level stays), and a start that is no place in the world gives way to the
// level's own.
static void Game_ChangeLevel() {
  if (!Game_PendingLevel[0]) return;
  Game_ApplyRedirect();
  if (!Game_PendingLevel[0]) return;
  if (std::strcmp(Game_PendingLevel, "endgame") == 0) {
    Level_Free();
    return;
  }
  char level[kPendingLevelSize];
  std::memcpy(level, Game_PendingLevel, sizeof level);
  Game_PendingLevel[0] = 0;
  if (!Level_FilesThere(level)) {
    Log_Printf("Game_ChangeLevel: no level \"%s\" (neither its \".nav\" nor its \".scn\" is there); "
               "staying in \"%s\"\n",
               level, Level_Name);
    Game_NextStartGiven = 0;
    return;
  }
  if (Game_NextStartGiven) {
    const float start[6] = {Game_NextStartOrigin.x, Game_NextStartOrigin.y, Game_NextStartOrigin.z,
                            Game_NextStartAngles.x, Game_NextStartAngles.y, Game_NextStartAngles.z};
    if (Game_StartWithin(start, 6))
      Level_PendingChange = LevelChange{1, Game_NextStartOrigin, Game_NextStartAngles};
    else
      Log_Printf("Game_ChangeLevel: the start given for \"%s\" is no place in the world; the level's own start\n",
                 level);
    Game_NextStartGiven = 0;
  }
  StoreGlobalPersonages();
  Level_Load(level);
  RestoreGlobalPersonages();
}

void Game_HotKeys() {
  if (Input_KeyPressed(KEY_NUMLOCK) && Game_NetMode == 0) {
    Game_Paused ^= 1;
    Input_Reset();
  }
  // In the help pictures F1 is left to their input, which closes them. A network game routes
  // every frame to the play input, where help could never be closed: there F1 does nothing.
  if (Game_FullScreenMode != FULLSCREEN_HELP && Input_KeyPressed(KEY_F1) && Game_FullScreenMode == FULLSCREEN_NONE &&
      !Game_MenuOpen && Game_NetMode == 0) {
    Input_Reset();
    Game_FullScreenMode = FULLSCREEN_HELP;
  }
  if (Input_KeyPressed(KEY_F12)) Screenshot_Take();
  if (!UI_System || UI_MenuDepth(UI_System) == 0) {
    Game_FindQuickKeys();
    bool done = false;
    for (int i = 0; i < g_quick.saveCount && !done; i++)
      if (Input_KeyPressed(g_quick.save[i])) {
        Game_QuickAction(Menu_QuickSave, "Quick save works only during play");
        done = true;
      }
    for (int i = 0; i < g_quick.loadCount && !done; i++)
      if (Input_KeyPressed(g_quick.load[i])) {
        Game_QuickAction(Menu_QuickLoad, "Quick load works only during play");
        done = true;
      }
  }
  Game_DeveloperKeys();

  Game_ChangeLevel();
}

// ---- Full-screen modes -------------------------------------------------------------------------

static bool Game_SkipPressed() {
  // Every key is asked, so no press is left over for the next mode.
  int skip = Input_KeyPressed(KEY_ESCAPE) | Input_KeyPressed(kKeyMouseRight) | Input_KeyPressed(KEY_SPACE) |
             Input_KeyPressed(KEY_ENTER) | Input_KeyPressed(KEY_NUMPADENTER);
  return skip != 0;
}

void Game_FullScreenInput() {
  switch (Game_FullScreenMode) {
    case FULLSCREEN_TRANSPORT:
      TS_Input();
      break;
    case FULLSCREEN_MOVIE:
      if (Game_SkipPressed()) Game_EndMovie();
      break;
    case FULLSCREEN_MINIGAME:
      if (Input_KeyPressed(KEY_ESCAPE)) MiniGame_KeyDown(27);
      if (Input_KeyPressed(KEY_SPACE) | Input_KeyPressed(KEY_ENTER) | Input_KeyPressed(KEY_NUMPADENTER))
        MiniGame_KeyDown(32);
      if (Input_KeyPressed(kKeyMouseLeft)) MiniGame_MouseDown(179);
      break;
    case FULLSCREEN_HELP:
      if (Input_KeyPressed(KEY_F1) | int(Game_SkipPressed())) {
        Game_FullScreenMode = FULLSCREEN_NONE;
        Player_ClearInput();
        Input_Reset();
      }
      break;
    default:
      break;
  }
}

// ---- Play --------------------------------------------------------------------------------------

static bool Game_LevelBlocked(const char* level) {
  for (const LockedExit& e : Que_State.lockedExits)
    if (e.name[0] && strncasecmp(e.name, level, sizeof e.name) == 0) return true;
  return false;
}

// ---- Cars -------------------------------------------------------------------------------------

// The engine's loop while the player drives, and the door as it leaves.
constexpr const char* kCarEngineSound = "sound\\car_engine";
constexpr const char* kCarExitSound = "sound\\car_exit";
constexpr int kCarEngineVoice = 1;  // the player's voice that holds the engine

// Whether the player may open the car: no key named, or the named item carried.
static bool Game_HasCarKey(const GameObject* player, const char* key) {
  if (!key || !key[0]) return true;
  int item = Def_FindItem(key);
  return item >= 0 && Inv_HasItem(&player->person, INV_ITEM, item);
}

// The player takes the parked car's place; the car (a world object or a character) goes.
static void Game_EnterCar(GameObject* player, GameObject* car, int index) {
  PersonStats& ps = player->person;
  player->origin = vec3{car->origin.x, car->origin.y, car->origin.z + 2.0f};
  player->prevOrigin = player->origin;
  player->angles = car->angles;
  car->flags &= ~OBJ_ACTIVE;
  Obj_RequestDelete(car);
  car->person.state = 2;
  const CarDef& def = Def_Cars[index];
  CarPosRecord& pos = Game_CarPositions[index];
  std::snprintf(pos.level, sizeof pos.level, "%s", def.level);
  pos.origin = vec3{def.origin[0], def.origin[1], def.origin[2]};
  pos.angles = vec3{def.angles[0], def.angles[1], def.angles[2]};
  Game_PlayerCarHealth = float(pos.health);
  if (ps.stealthLevel > 0) {
    ps.stealthLevel = 0;
    Sound_Play("sound\\skills\\stealth_entercar", 1.0f, 100.0f, &player->origin.x, 0, SOUND_CAT_EFFECTS);
  }
  ps.carIndex = index;
  ps.vehicleState = 1;
  uint32_t& engine = ps.voices[kCarEngineVoice];
  if (engine) Sound_Stop(engine);
  engine = Sound_Play(kCarEngineSound, 1.0f, 100.0f, &player->origin.x, SOUND_LOOP, SOUND_CAT_EFFECTS);
  player->camera.mode = 1;
  for (float& v : ps.velocity) v = 0;
  bot_Setup(player, "*");
  Input_Reset();
  Player_ClearInput();
}

void Game_LeaveCar(GameObject* player) {
  if (!player) return;
  PersonStats& ps = player->person;
  const int index = ps.carIndex;
  if (index <= 0 || index >= kCarDefs || index >= kCarPositions) return;
  vec3 origin, angles;
  Player_RecalcCarPos(&origin, &angles);
  Person_UpdateBBox(player);
  // The car comes back as the definition's entity at the player's place, with the same yaw.
  const char* model = Def_Cars[index].model;
  if (!model[0] || std::strpbrk(model, "\"{}\n\r")) {
    Log_Printf("Game_LeaveCar: car %i has no usable model \"%s\"; it is not put back\n", index, model);
  } else {
    char text[1024];
    std::snprintf(text, sizeof text,
                  "{\n\t\"call\" \"%s\"\n\t\"id\" \"%s\"\n\t\"origin\" \"%f %f %f\"\n\t\"angle\" \"%f %f %f\"\n"
                  "\t\"car_usable\" \"1\"\n}\n",
                  model, "car", double(origin.x), double(origin.y), double(origin.z), double(angles.x),
                  double(angles.y), double(angles.z));
    Log_Printf("load object\n%s\n", text);
    read_ent(text, uint32_t(std::strlen(text)));
  }
  Player_PlaceOutsideCar(player, &origin);
  CarPosRecord& pos = Game_CarPositions[index];
  std::snprintf(pos.level, sizeof pos.level, "%s", Level_Name);
  pos.origin = origin;
  pos.angles = angles;
  pos.health = std::isfinite(Game_PlayerCarHealth) && std::fabs(Game_PlayerCarHealth) < 2e9f
                   ? int32_t(Game_PlayerCarHealth) : 0;
  uint32_t& engine = ps.voices[kCarEngineVoice];
  if (engine) Sound_Stop(engine);
  engine = 0;
  Sound_Play(kCarExitSound, 1.0f, 100.0f, &player->origin.x, 0, SOUND_CAT_EFFECTS);
  ps.carIndex = 0;
  ps.vehicleState = 0;
  ps.carReentry = 0;
  player->camera.mode = 0;
  player->npcControl = 0;
  bot_Setup(player, "*");
  Input_Reset();
  Player_ClearInput();
}

// ---- Use ---------------------------------------------------------------------------------------

GameUseState Game_Use;

// Opens the search screen (the menu) over play, or toggles the search panel without menus.
static void Game_OpenSearch() {
  if (UI_System) {
    Game_MenuOpen = 1;
    UI_PushMenu(UI_System, "searchmenu", nullptr);
  } else {
    Game_PanelOpen ^= 1;
    Sound_Play("menu_act", 1.0f, 100.0f, nullptr, 0, 0);
  }
}

int Game_ReadUseText(const GameObject* player, const char* text, UseTextOffer* out) {
  *out = UseTextOffer{};
  if (!player || !text) return USE_TEXT_NONE;
  // Each token is copied before the next is read.
  char keyword[64], first[256], second[256];
  const char* rest = nullptr;
  if (!Par_NextBracketTokenTo(text, &rest, keyword, sizeof keyword)) return USE_TEXT_NONE;
  bool haveFirst = rest && Par_NextBracketTokenTo(rest, &rest, first, sizeof first);
  bool haveSecond = haveFirst && rest && Par_NextBracketTokenTo(rest, &rest, second, sizeof second);
  if (!haveFirst) return USE_TEXT_NONE;  // every keyword needs its argument
  std::snprintf(out->name, sizeof out->name, "%s", first);
  const bool onFoot = player->person.carIndex == 0;
  if (std::strcmp(keyword, "minigame") == 0) return out->action = USE_TEXT_MINIGAME;
  if (std::strcmp(keyword, "shop") == 0) {
    if (Game_NetMode != 0) return USE_TEXT_NONE;
    for (int i = 0; i < kShopDefs; i++)
      if (Def_Shops[i].name[0] && strcasecmp(Def_Shops[i].name, first) == 0) {
        out->index = i;
        return out->action = USE_TEXT_SHOP;
      }
    return USE_TEXT_NONE;
  }
  if (std::strcmp(keyword, "changelevel") == 0) {
    if (Game_NetMode != 0 || Game_LevelBlocked(Level_Name) || Game_LevelBlocked(first)) return USE_TEXT_NONE;
    if (strcasecmp(first, "TransportSystem") == 0) {
      // Closed districts show on the screen as closed; only a system whose file gave no district
      // at all has no screen to open.
      if (Game_FullScreenMode == FULLSCREEN_TRANSPORT || Game_PendingLevel[0] || !TS_HasDistricts())
        return USE_TEXT_NONE;
      return out->action = USE_TEXT_TRANSPORT;
    }
    float v[6];
    if (!haveSecond || std::sscanf(second, "%f %f %f %f %f %f", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) != 6)
      return USE_TEXT_NONE;
    if (!Game_StartWithin(v, 6)) {
      // The prompt asks every frame: one line for each use text refused.
      static char refused[sizeof second];
      if (std::strcmp(refused, second) != 0) {
        std::snprintf(refused, sizeof refused, "%s", second);
        Log_Printf("Game_ReadUseText: changelevel start \"%s\" is not six finite numbers within %g; nothing offered\n",
                   second, double(kGameStartLimit));
      }
      return USE_TEXT_NONE;
    }
    if (!onFoot) return USE_TEXT_NONE;
    const float k = kMathPi / 180.0f;
    out->origin = vec3{v[0], v[1], v[2]};
    out->angles = vec3{v[3] * k, v[4] * k, v[5] * k};
    return out->action = USE_TEXT_LEVEL;
  }
  if (std::strcmp(keyword, "car") == 0) {
    if (!onFoot) return USE_TEXT_NONE;
    int index = Def_FindCar(first);
    if (index <= 0 || index >= kCarDefs || index >= kCarPositions) return USE_TEXT_NONE;
    out->index = index;
    return out->action = Game_HasCarKey(player, haveSecond ? second : nullptr) ? USE_TEXT_CAR : USE_TEXT_CAR_LOCKED;
  }
  return USE_TEXT_NONE;
}

int Game_ApplyUseText(GameObject* player, GameObject* target, const char* text) {
  if (!player || !target || !text) return 0;
  UseTextOffer offer;
  switch (Game_ReadUseText(player, text, &offer)) {
    case USE_TEXT_MINIGAME:
      // The name is kept for the game's end; the game starts only with more than 50 money, and
      // without the library (one log line) play goes on.
      std::snprintf(Game_Use.miniGame, sizeof Game_Use.miniGame, "%.*s", int(sizeof Game_Use.miniGame) - 1, offer.name);
      if (player->person.money <= 50 || !MiniGame_Start(offer.name, player->person.money)) return 0;
      Game_FullScreenMode = FULLSCREEN_MINIGAME;
      Input_Reset();
      Player_ClearInput();
      return 1;
    case USE_TEXT_SHOP:
      Game_CurrentShop = offer.index;
      if (UI_System) {
        Game_MenuOpen = 1;
        UI_PushMenu(UI_System, "shopmenu", nullptr);
      }
      return 1;
    case USE_TEXT_TRANSPORT:
      if (!TS_Open()) return 0;
      Input_Reset();
      return 1;
    case USE_TEXT_LEVEL:
      Game_NextStartOrigin = offer.origin;
      Game_NextStartAngles = offer.angles;
      Game_NextStartGiven = 1;
      std::snprintf(Game_PendingLevel, sizeof Game_PendingLevel, "%s", offer.name);
      return 1;
    case USE_TEXT_CAR_LOCKED:
      Game_Message("consol\\You do not have the key", nullptr, nullptr);
      return 0;
    case USE_TEXT_CAR:
      Game_EnterCar(player, target, offer.index);
      return 1;
    default:
      return 0;
  }
}

const char* Game_VoiceLineName(int gender, int set, int line) {
  static char name[64];
  std::snprintf(name, sizeof name, "sound\\voices\\%s\\%02d_%02d", gender == 1 ? "female" : "male", set, line);
  return name;
}

static bool Game_SoundExists(const char* name) {
  char file[128];
  std::snprintf(file, sizeof file, "%s.wav", name);
  FileHandle* f = File_Open(file, "rb");
  if (!f) return false;
  File_Close(f);
  return true;
}

// A stranger's voiced line: a random one of the lines its gender and voice set have, unless its
// last line still plays; the line's text becomes the subtitle.
static void Game_SayStrangerLine(GameObject* character) {
  uint32_t& voice = character->person.voices[0];
  if (voice && Sound_CheckHandle(voice)) return;
  const int gender = character->gender, set = character->voiceSet;
  if (gender < 0 || gender > 1 || set < 0 || set >= kVoiceSets) return;
  int lines[kVoiceLines];
  int count = 0;
  for (int i = 0; i < kVoiceLines; i++)
    if (Game_SoundExists(Game_VoiceLineName(gender, set, i))) lines[count++] = i;
  if (count == 0) return;
  // The shared random stream belongs to the tick: a draw here leaves it as it was.
  const int index = Math_RandGetIndex();
  int pick = int(Math_RandNext() * float(count));
  Math_RandSetIndex(index);
  if (pick >= count) pick = count - 1;
  const char* line = Game_VoiceLineName(gender, set, lines[pick]);
  voice = Sound_Play(line, 1.0f, 100.0f, &character->origin.x, 0, SOUND_CAT_VOICES);
  std::snprintf(Game_PlayScreen.subtitleKey, sizeof Game_PlayScreen.subtitleKey, "%s", line + std::strlen("sound\\"));
  Game_PlayScreen.subtitleVoice = voice;
  Game_PlayScreen.subtitleStart = Game_Time;
}

static bool Game_HasPersonage(const GameObject* o) {
  if (!o->person.name[0]) return false;
  for (int i = 0; i < Game_PersonageCount && i < kPersonages; i++)
    if (strcasecmp(Game_Personages[i].person.name, o->person.name) == 0) return true;
  return false;
}

int Game_UseCharacter(GameObject* player, GameObject* character) {
  PersonStats& cs = character->person;
  // A body is searched unless its AI forbids it (a car is entered instead).
  if (cs.state == 2 && !(character->bot.aiFlags & BOT_NO_SEARCH)) {
    if (strcasecmp(game_name.text, "thornhelm") == 0) return 0;
    Game_Use.searchedId = character->id;
    Game_Use.hackedId = 0;
    Game_OpenSearch();
    Input_Reset();
    Player_ClearInput();
    return 1;
  }
  const int car = cs.carIndex;
  if (car > 0 && car < kCarDefs && car < kCarPositions) {
    if (player->person.carIndex != 0 || !Game_HasCarKey(player, Def_Cars[car].key)) return 0;
    Game_EnterCar(player, character, car);
    return 1;
  }
  if (cs.state != 1) return 0;
  if (cs.dialogueCue[0]) {
    char script[sizeof cs.dialogueCue + 8];
    std::snprintf(script, sizeof script, "%s\\enter", cs.dialogueCue);
    Dialog_End();  // lines and answers that scripts gave while no dialogue was open are not this one's
    Que_Apply(player, script, "");
    Dialog_StartWithNpc(character);
    // Presses left over from play (shots) are no answers to a line not yet seen.
    Input_Reset();
    Player_ClearInput();
    return 1;
  }
  if (!Game_HasPersonage(character)) Game_SayStrangerLine(character);
  return 0;  // a line is no reason to keep the key from the object ahead
}

// The use key on an object: "hack" starts hacking; a lever hands its trigger command to its
// group (doors join a group by either of their names); a door or an object with a use script is
// used, or every member of its group.
static void Game_UseObject(GameObject* player, GameObject* target) {
  char keyword[64], level[64];
  const char* rest = nullptr;
  if (target->classNum == WORLD && Par_NextBracketTokenTo(target->person.itemText, &rest, keyword, sizeof keyword) &&
      std::strcmp(keyword, "hack") == 0) {
    if (Game_NetMode != 0 || !rest || !Par_NextBracketTokenTo(rest, &rest, level, sizeof level)) return;
    float difficulty = 0;
    if (std::strcmp(level, "random_level") == 0) {
      const int index = Math_RandGetIndex();
      difficulty = 10.0f + 90.0f * Math_RandNext();
      Math_RandSetIndex(index);
    } else if (std::sscanf(level, "%f", &difficulty) != 1) {
      return;
    }
    Game_Use.hackedId = target->id;
    Game_Use.hackDifficulty = difficulty;
    Game_Use.searchedId = 0;
    Sound_Play("sound\\hacking_on", 1.0f, 100.0f, nullptr, 0, 0);
    Game_OpenSearch();
    Input_Reset();
    return;
  }
  const char* command = target->classNum == WORLD && target->prop.triggerCommand[0] ? target->prop.triggerCommand : nullptr;
  const char* script = target->useScript[0] ? target->useScript : nullptr;
  if (!command && !script && target->classNum != FUNC_DOOR) return;
  const char* argument = command ? command : script;
  int g = target->useGroupIndex;
  if (target->useGroupName[0] && g > 0 && g < ObjGroup_Count) {
    const ObjectGroup& group = ObjGroup_Table[g];
    for (int i = 0; i < group.count && i < kObjGroupMembers; i++)
      if (GameObject* m = group.members[i]) m->slots.Use(m, player, argument);
  } else if (!command) {
    target->slots.Use(target, player, argument);
  }
}

void Game_MouseLook() {
  const VarRecord* sensitivityVar = Var_Find("mouse_sensitivity");
  const VarRecord* invertVar = Var_Find("mouse_invert");
  const float sensitivity = sensitivityVar ? sensitivityVar->value : 18.0f;
  const float x = float(Input_MouseX), y = float(Input_MouseY);
  const float k = kMathPi * 0.022f * sensitivity / 180.0f;
  Game_CurrentFrame.turn = (Game_MousePrevious[0] * kMouseSmoothing + x * (1.0f - kMouseSmoothing)) * k;
  float pitch = -(Game_MousePrevious[1] * kMouseSmoothing + y * (1.0f - kMouseSmoothing)) * k * kMouseVertical;
  if (invertVar && invertVar->value != 0) pitch = -pitch;
  Game_CurrentFrame.pitch = pitch;
  Game_MousePrevious[0] = x;
  Game_MousePrevious[1] = y;
}

void Game_PlayInput() {
  // Escape over the map screen closes the map.
  if (MapScreen_Open && Input_KeyPressed(KEY_ESCAPE)) {
    MapScreen_Open = 0;
    Input_Reset();
    return;
  }
  // Escape or the middle button: the in-game menu over the frozen picture of the game.
  if (Input_KeyPressed(KEY_ESCAPE) | Input_KeyPressed(kKeyMouseMiddle)) {
    Game_MenuOpen ^= 1;
    if (UI_System) {
      Panel_GrabScreen();
      UI_PushMenu(UI_System, "ingamemenu", nullptr);
      Input_Reset();
    }
    Sound_Play("menu_act", 1.0f, 100.0f, nullptr, 0, 0);
    Player_ClearInput();
    Input_Reset();
    return;
  }
  // During a demo's playback only the menu key acts: the recorded input plays.
  if (Game_DemoFlags & DEMO_PLAYBACK) return;
  GameObject* player = Obj_Player;
  if (Game_NetMode == 0 && strcasecmp(game_name.text, "thornhelm") != 0) {
    // The presses are taken whatever the hero's state: one a dead hero cannot use is not kept
    // for the hero of a game loaded later.
    const bool alive = player && player->person.state == 1;
    if (Game_InventoryKeyPressed() && alive) {
      GameInputUI();
      return;
    }
    if (Game_GoalsKeyPressed() && alive) {
      GameInputGoals();
      return;
    }
  }
  Game_MouseLook();
  Input_ProcessEvents();
  Player_BuildCommand();
  // "Prev Weapon" has no handler of its own: its keys are polled, and a press rides in this
  // frame's command word.
  Game_FindQuickKeys();
  for (int i = 0; i < g_quick.prevWeaponCount; i++)
    if (Input_KeyPressed(g_quick.prevWeapon[i])) Game_CurrentFrame.command |= CMD_PREV_WEAPON;
  // The camera sequence key, in single play: on, and off again (a level's release also ends it).
  for (int i = 0; i < g_quick.sequenceCount; i++)
    if (Input_KeyPressed(g_quick.sequence[i]) && Game_NetMode == 0) Game_SpecialFlag ^= 1;
  if (Game_NetMode != 0 || !player) return;
  MapScreen_Command(Game_CurrentFrame.command);
  // A dead hero of single play (his body takes no command in its think) leaves no car and uses
  // nothing.
  if (player->person.state == 2) return;
  if ((Game_CurrentFrame.command & CMD_LEAVE_CAR) && player->person.carIndex != 0) {
    Game_LeaveCar(player);
    return;
  }
  if (!(Game_CurrentFrame.command & CMD_USE)) return;
  // The use key acts once a press: its bit comes back only with the key's next press.
  Player_CommandWord &= ~uint32_t(CMD_USE);
  if (GameObject* target = player->useTargetObject) {
    if (target->classNum == WORLD && target->person.itemText[0] &&
        Game_ApplyUseText(player, target, target->person.itemText)) {
      return;
    }
  }
  // A character ahead is used through its own Use slot, which says whether it took the key.
  if (GameObject* character = player->useTargetCharacter) {
    Game_Use.characterTaken = 0;
    character->slots.Use(character, player, "");
    if (Game_Use.characterTaken) return;
  }
  if (GameObject* target = player->useTargetObject) Game_UseObject(player, target);
}

void Game_FrameInput() {
  Input_Poll();
  Game_MoveCursor(Input_MouseX, Input_MouseY);
  if (!Game_TextFieldActive) Game_HotKeys();
  // With no game the front end's menu shows.
  if (!Game_Running) {
    Game_MenuOpen = 1;
    if (UI_System && UI_MenuDepth(UI_System) == 0) UI_PushMenu(UI_System, "mainmenu", nullptr);
  }
  // Exactly one input handler by mode.
  if (!Game_Running || Game_MenuOpen) {
    Game_FrameTrace("Menu_Input");
    Panel_HandleMenuKeys();
    Player_ClearInput();
  } else if (Game_NetMode != 0) {
    Game_FrameTrace("Game_PlayInput");
    Game_PlayInput();
  } else if (Game_FullScreenMode != FULLSCREEN_NONE) {
    Game_FrameTrace("FullScreenInput");
    Game_FullScreenInput();
    Player_ClearInput();
  } else if (Game_PanelOpen) {
    Game_FrameTrace("Panel_Input");
    Panel_Input();
    Player_ClearInput();
  } else if (Dialog_Open) {
    Game_FrameTrace("Dialog_Input");
    Dialog_Input();
    Player_ClearInput();
  } else {
    Game_FrameTrace("Game_PlayInput");
    Game_PlayInput();
  }
}
