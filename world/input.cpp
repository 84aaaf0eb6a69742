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
#include "foundation/partoken.h"
#include "foundation/sound.h"
#include "foundation/text.h"
#include "foundation/timer.h"
#include "foundation/var.h"
#include "hud/hud.h"
#include "quests/dialog.h"
#include "quests/quest.h"
#include "quests/state.h"
#include "render/video.h"
#include "ui/ui.h"
#include "world/game.h"
#include "world/gameinput.h"
#include "world/frame2d.h"
#include "world/gamevars.h"
#include "world/object.h"
#include "world/personage.h"
#include "world/screenshot.h"
#include "world/start.h"
#include "world/tick.h"

uint32_t Game_TextFieldActive;
int32_t Game_CurrentShop = -1;
uint32_t Game_NextStartGiven;
float Game_PlayerCarHealth;

// ---- Hot keys ----------------------------------------------------------------------------------

// The keys bound to the quick save, the quick load and (the first two) the inventory, found again
// only when a binding changes.
struct QuickKeys {
  uint32_t changes = ~0u;
  bool valid = false;
  int save[kKeyCodeCount], saveCount = 0;
  int load[kKeyCodeCount], loadCount = 0;
  int inventory[2], inventoryCount = 0;
};
static QuickKeys g_quick;

static void Game_FindQuickKeys() {
  if (g_quick.valid && g_quick.changes == Var_TextChanges) return;
  g_quick.saveCount = g_quick.loadCount = g_quick.inventoryCount = 0;
  for (int code = 0; code < kKeyCodeCount; code++) {
    const KeyInfo* info = Key_GetInfo(code);
    const VarRecord* v = info && info->varName[0] ? Var_Find(info->varName) : nullptr;
    if (!v || !v->text[0]) continue;
    if (Input_SameName(v->text, "QuickSave")) g_quick.save[g_quick.saveCount++] = code;
    if (Input_SameName(v->text, "QuickLoad")) g_quick.load[g_quick.loadCount++] = code;
    if (Input_SameName(v->text, "Inventory") && g_quick.inventoryCount < 2)
      g_quick.inventory[g_quick.inventoryCount++] = code;
  }
  g_quick.changes = Var_TextChanges;
  g_quick.valid = true;
}

int Game_QuickSaveKeyCount() {
  Game_FindQuickKeys();
  return g_quick.saveCount;
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

// The level start table's row as the level change reads it: level, redirect, origin, angles.
static void Game_ApplyRedirect() {
  for (const LevelStartRecord& row : Que_State.levelStarts) {
    char level[128], redirect[128];
    std::memcpy(level, row.name, sizeof row.name);
    std::memcpy(level + sizeof row.name, row.reserved, sizeof level - sizeof row.name);
    std::memcpy(redirect, row.reserved + 64, sizeof redirect);
    level[127] = redirect[127] = 0;
    if (!level[0] || strcasecmp(level, Level_Name) != 0) continue;
    if (redirect[0]) {
      std::snprintf(Game_PendingLevel, sizeof Game_PendingLevel, "%s", redirect);
      std::memcpy(&Game_NextStartOrigin, row.reserved + 192, sizeof Game_NextStartOrigin);
      std::memcpy(&Game_NextStartAngles, row.reserved + 204, sizeof Game_NextStartAngles);
      Game_NextStartGiven = 1;
    }
    return;
  }
}

void Game_HotKeys() {
  if (Input_KeyPressed(KEY_NUMLOCK) && Game_NetMode == 0) {
    Game_Paused ^= 1;
    Input_Reset();
  }
  // In the help pictures F1 is left to their input, which closes them.
  if (Game_FullScreenMode != FULLSCREEN_HELP && Input_KeyPressed(KEY_F1) && Game_FullScreenMode == FULLSCREEN_NONE &&
      !Game_MenuOpen) {
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
  if (Game_NextStartGiven) {
    Level_PendingChange = LevelChange{1, Game_NextStartOrigin, Game_NextStartAngles};
    Game_NextStartGiven = 0;
  }
  StoreGlobalPersonages();
  Level_Load(level);
  RestoreGlobalPersonages();
}

// ---- Full-screen modes -------------------------------------------------------------------------

static bool Game_SkipPressed() {
  // Every key is asked, so no press is left over for the next mode.
  int skip = Input_KeyPressed(KEY_ESCAPE) | Input_KeyPressed(kKeyMouseRight) | Input_KeyPressed(KEY_SPACE) |
             Input_KeyPressed(KEY_ENTER) | Input_KeyPressed(KEY_NUMPADENTER);
  return skip != 0;
}

void (*Game_MiniGameKey)(int code);
void (*Game_MiniGameMouse)(int code);

void Game_FullScreenInput() {
  switch (Game_FullScreenMode) {
    case FULLSCREEN_TRANSPORT:
      TS_Input();
      break;
    case FULLSCREEN_MOVIE:
      if (Game_SkipPressed()) Game_EndMovie();
      break;
    case FULLSCREEN_MINIGAME:
      if (!Game_MiniGameKey) break;
      if (Input_KeyPressed(KEY_ESCAPE)) Game_MiniGameKey(27);
      if (Input_KeyPressed(KEY_SPACE) | Input_KeyPressed(KEY_ENTER) | Input_KeyPressed(KEY_NUMPADENTER))
        Game_MiniGameKey(32);
      if (Input_KeyPressed(kKeyMouseLeft) && Game_MiniGameMouse) Game_MiniGameMouse(179);
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

int Game_ApplyUseText(GameObject* player, GameObject* target, const char* text) {
  if (!player || !target || !text) return 0;
  // Each token is copied before the next is read.
  char keyword[64], first[256], second[256];
  const char* rest = nullptr;
  if (!Par_NextBracketTokenTo(text, &rest, keyword, sizeof keyword)) return 0;
  bool haveFirst = rest && Par_NextBracketTokenTo(rest, &rest, first, sizeof first);
  bool haveSecond = haveFirst && rest && Par_NextBracketTokenTo(rest, &rest, second, sizeof second);
  if (!haveFirst) return 0;  // every keyword needs its argument
  if (std::strcmp(keyword, "minigame") == 0) {
    // Only a loaded mini-game library can leave its mode, so without one nothing starts.
    if (!Game_MiniGameKey) {
      Log_Printf("minigame: no mini-game library; %s not started\n", first);
      return 0;
    }
    if (player->person.money <= 50) return 0;
    Game_FullScreenMode = FULLSCREEN_MINIGAME;
    Input_Reset();
    Player_ClearInput();
    return 1;
  }
  if (std::strcmp(keyword, "shop") == 0) {
    if (Game_NetMode != 0) return 0;
    for (int i = 0; i < kShopDefs; i++)
      if (Def_Shops[i].name[0] && strcasecmp(Def_Shops[i].name, first) == 0) {
        Game_CurrentShop = i;
        if (UI_System) {
          Game_MenuOpen = 1;
          UI_PushMenu(UI_System, "shopmenu", nullptr);
        }
        return 1;
      }
    return 0;
  }
  if (std::strcmp(keyword, "changelevel") == 0) {
    if (Game_NetMode != 0 || Game_LevelBlocked(Level_Name) || Game_LevelBlocked(first)) return 0;
    if (strcasecmp(first, "TransportSystem") == 0) {
      if (Game_FullScreenMode == FULLSCREEN_TRANSPORT || Game_PendingLevel[0]) return 0;
      Input_Reset();
      Game_FullScreenMode = FULLSCREEN_TRANSPORT;
      return 1;
    }
    float v[6];
    if (!haveSecond || std::sscanf(second, "%f %f %f %f %f %f", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) != 6)
      return 0;
    if (player->person.carIndex != 0) return 0;
    const float k = kMathPi / 180.0f;
    Game_NextStartOrigin = vec3{v[0], v[1], v[2]};
    Game_NextStartAngles = vec3{v[3] * k, v[4] * k, v[5] * k};
    Game_NextStartGiven = 1;
    std::snprintf(Game_PendingLevel, sizeof Game_PendingLevel, "%s", first);
    return 1;
  }
  if (std::strcmp(keyword, "car") == 0) {
    if (player->person.carIndex != 0) return 0;
    for (int i = 1; i < kCarDefs; i++) {
      const CarDef& car = Def_Cars[i];
      if (!car.name[0] || strcasecmp(car.name, first) != 0) continue;
      int key = haveSecond && second[0] ? Def_FindItem(second) : -1;
      if (haveSecond && second[0] && (key < 0 || !Inv_HasItem(&player->person, INV_ITEM, key))) {
        Game_Message("consol\\You do not have the key", nullptr, nullptr);
        return 0;
      }
      player->origin = vec3{target->origin.x, target->origin.y, target->origin.z + 2.0f};
      player->angles = target->angles;
      target->flags &= ~OBJ_ACTIVE;
      Obj_RequestDelete(target);
      target->person.state = 2;
      CarPosRecord& pos = Game_CarPositions[i];
      std::snprintf(pos.level, sizeof pos.level, "%s", car.level);
      pos.origin = vec3{car.origin[0], car.origin[1], car.origin[2]};
      pos.angles = vec3{car.angles[0], car.angles[1], car.angles[2]};
      Game_PlayerCarHealth = float(pos.health);
      player->person.carIndex = i;
      player->camera.mode = 1;
      for (float& f : player->person.velocity) f = 0;
      Input_Reset();
      Player_ClearInput();
      return 1;
    }
    return 0;
  }
  return 0;
}

void Game_PlayInput() {
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
  if (Game_NetMode == 0 && strcasecmp(game_name.text, "thornhelm") != 0 && player && player->person.state == 1) {
    Game_FindQuickKeys();
    for (int i = 0; i < g_quick.inventoryCount; i++)
      if (Input_KeyPressed(g_quick.inventory[i])) {
        GameInputUI();
        return;
      }
  }
  Input_ProcessEvents();
  Player_BuildCommand();
  if (Game_NetMode != 0 || !player) return;
  if (!(Game_CurrentFrame.command & CMD_USE)) return;
  if (GameObject* target = player->useTargetObject) {
    if (target->classNum == WORLD && target->person.itemText[0] &&
        Game_ApplyUseText(player, target, target->person.itemText)) {
      return;
    }
  }
  if (GameObject* character = player->useTargetCharacter) {
    if (character->person.state == 1 && character->person.dialogueCue[0]) {
      char script[sizeof character->person.dialogueCue + 8];
      std::snprintf(script, sizeof script, "%s\\enter", character->person.dialogueCue);
      Que_Apply(player, script, "");
      Dialog_StartWithNpc(character);
      Player_ClearInput();
      return;
    }
  }
  if (GameObject* target = player->useTargetObject) {
    // A lever hands its trigger command to its group (doors join a group by either of their
    // names); a door or an object with a use script is used, or every member of its group.
    const char* command = target->classNum == WORLD && target->prop.triggerCommand[0] ? target->prop.triggerCommand : nullptr;
    if (command || target->useScript[0] || target->classNum == FUNC_DOOR) {
      int g = target->useGroupIndex;
      if (target->useGroupName[0] && g >= 0 && g < ObjGroup_Count) {
        const ObjectGroup& group = ObjGroup_Table[g];
        for (int i = 0; i < group.count && i < kObjGroupMembers; i++)
          if (GameObject* m = group.members[i]) m->slots.Use(m, player, command);
      } else if (!command) {
        target->slots.Use(target, player, nullptr);
      }
    }
  }
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
