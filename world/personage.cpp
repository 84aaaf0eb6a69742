#include "world/personage.h"

#include <strings.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "ai/bot.h"
#include "characters/defs.h"
#include "characters/player.h"
#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "quests/state.h"
#include "world/game.h"
#include "world/level.h"
#include "world/object.h"

GlobalPersonage Game_Personages[kPersonages];
int32_t Game_PersonageCount;
PlaceRecord Game_Places[kPlaces];
CarPosRecord Game_CarPositions[kCarPositions];

// "docks" is the sample game's level.
const char* const Game_PlaceNames[kPlaces] = {
    "docks", "ashgate", "ashmoor", "ashwharf", "ashrow", "ashyard", "ashfield", "brackgate", "brackmoor",
    "brackwharf", "brackrow", "brackyard", "brackfield", "cindergate", "cindermoor", "cinderwharf",
    "cinderrow", "cinderyard", "cinderfield", "dungate", "dunmoor", "dunwharf", "dunrow", "dunyard",
    "dunfield", "embergate", "embermoor", "emberwharf", "emberrow", "emberyard", "emberfield", "fallowgate",
    "fallowmoor", "fallowwharf", "fallowrow", "fallowyard", "fallowfield", "gallgate", "gallmoor",
    "gallwharf", "gallrow", "gallyard", "gallfield", "hollowgate", "hollowmoor", "hollowwharf", "hollowrow",
    "hollowyard", "hollowfield", "irongate", "ironmoor", "ironwharf", "ironrow", "ironyard", "ironfield",
    "junipergate", "junipermoor", "juniperwharf", "juniperrow", "juniperyard", "juniperfield", "kettlegate",
    "kettlemoor", "kettlewharf", "kettlerow", "kettleyard", "kettlefield", "lanterngate", "lanternmoor",
    "lanternwharf", "lanternrow", "lanternyard", "lanternfield", "miregate", "miremoor", "mirewharf",
    "mirerow", "mireyard", "mirefield", "nettlegate", "nettlemoor", "nettlewharf", "nettlerow", "nettleyard",
    "nettlefield", "oakengate", "oakenmoor", "oakenwharf", "oakenrow", "oakenyard", "oakenfield", "pikegate",
    "pikemoor", "pikewharf", "pikerow", "pikeyard", "pikefield", "quillgate", "quillmoor", "quillwharf",
    "quillrow", "quillyard", "quillfield", "rookgate", "rookmoor", "rookwharf", "rookrow", "rookyard",
};

int CloseGlobalPersonages() {
  Game_PersonageCount = 0;
  return 0;
}

static bool Personage_IsSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Adds the names of the list text (blanks, tabs and line ends between them) while room remains.
static void Personage_ReadList(const char* text, uint32_t size, const char* listFile) {
  uint32_t i = 0;
  while (i < size) {
    while (i < size && Personage_IsSeparator(text[i])) i++;
    uint32_t start = i;
    while (i < size && text[i] && !Personage_IsSeparator(text[i])) i++;
    if (i == start) {
      if (i < size && !text[i]) break;  // a zero byte ends the text
      continue;
    }
    uint32_t length = i - start;
    if (length >= uint32_t(kPersonNameSize)) {
      Log_Printf("Game_NewSession: %s: a name of %u characters is too long; skipped\n", listFile, length);
      continue;
    }
    if (Game_PersonageCount >= kPersonages) break;
    GlobalPersonage& p = Game_Personages[Game_PersonageCount++];
    p = GlobalPersonage{};
    std::memcpy(p.person.name, text + start, length);
  }
}

void Game_NewSession(const char* listFile) {
  CloseGlobalPersonages();
  uint32_t size = 0;
  if (char* text = listFile ? static_cast<char*>(File_LoadWhole(listFile, &size, "MATBUFF")) : nullptr) {
    Personage_ReadList(text, size, listFile);
    Global_Free(text);
  }
  Que_ResetState();
  for (int car = 0; car < kCarPositions; car++) {
    CarStart start;
    Def_GetCarStart(car, &start);
    CarPosRecord& row = Game_CarPositions[car];
    std::memcpy(row.level, start.level, sizeof row.level);
    row.level[sizeof row.level - 1] = 0;
    row.origin = vec3{start.origin[0], start.origin[1], start.origin[2]};
    row.angles = vec3{start.angles[0], start.angles[1], start.angles[2]};
    row.health = start.health;
  }
  for (int i = 0; i < kPlaces; i++) {
    Game_Places[i] = PlaceRecord{};
    std::snprintf(Game_Places[i].name, sizeof Game_Places[i].name, "%s", Game_PlaceNames[i]);
    Game_Places[i].police = 1;
  }
  ai_RequestFullReset();
}

void StoreGlobalPersonages() {
  if (!Game_Running || !Obj_Player) return;
  for (GameObject* o = Obj_ListHead; o; o = o->next) {
    if (!o->person.name[0]) continue;
    for (int i = 0; i < Game_PersonageCount; i++) {
      GlobalPersonage& p = Game_Personages[i];
      if (strcasecmp(p.person.name, o->person.name) != 0) continue;
      p.person = o->person;
      p.restoreBody = p.restoreDialogue = 1;
    }
  }
  Que_ObjectivesBackup = Que_State.objectives;
  std::memcpy(Que_DistrictsBackup, Que_State.districts, sizeof Que_DistrictsBackup);
}

void RestoreGlobalPersonages() {
  if (!Game_Running) return;
  for (int i = 0; i < Game_PersonageCount; i++) {
    const GlobalPersonage& p = Game_Personages[i];
    Log_Printf("load [%s] [%s] %i %i important[%i]\n", p.person.name, p.person.dialogueCue, p.restoreBody,
               p.restoreDialogue, p.questFlag);
  }
  if (GameObject* player = Obj_Player) {
    for (GameObject* o = Obj_ListHead; o; o = o->next) {
      if (!o->person.name[0]) continue;
      for (int i = 0; i < Game_PersonageCount; i++) {
        const GlobalPersonage& p = Game_Personages[i];
        if (strcasecmp(p.person.name, o->person.name) != 0) continue;
        if (p.restoreBody) {
          char cue[kPersonCueSize];
          std::memcpy(cue, o->person.dialogueCue, sizeof cue);
          o->person = p.person;
          std::memcpy(o->person.dialogueCue, cue, sizeof cue);
          if (o->person.state == 2) o->deathTime = -10000.0f;
        }
        if (p.restoreDialogue) {
          std::memcpy(o->person.dialogueCue, p.person.dialogueCue, sizeof o->person.dialogueCue);
          Log_Printf("take [%s] [%s]\n", o->person.name, o->person.dialogueCue);
        }
      }
    }
    // The carried hero's slow motion stayed with the level it left.
    Player_EndSlowMotion(player);
    if (player->person.carIndex != 0) player->person.carReentry = 1;
    player->person.moveMode[0] = player->person.moveMode[1] = 0;
    player->bot.engaged = 0;
    bot_Setup(player, "*");
  }
  Que_State.objectives = Que_ObjectivesBackup;
  std::memcpy(Que_State.districts, Que_DistrictsBackup, sizeof Que_DistrictsBackup);
}

int Game_GetPlaceValue(const char* name) {
  if (!name || !name[0]) return 1;
  for (const PlaceRecord& place : Game_Places)
    if (strcasecmp(place.name, name) == 0) return place.police;
  return 1;
}

void Player_StoreCarPos(GameObject* obj) {
  if (!obj || !(obj->flags & OBJ_ACTIVE)) return;
  int car = obj->person.carIndex;
  if (car <= 0 || car >= kCarPositions) return;
  Person_StopSounds(obj);
  obj->person.parked = 1;
  CarPosRecord& row = Game_CarPositions[car];
  std::snprintf(row.level, sizeof row.level, "%s", Level_Name);
  row.origin = obj->origin;
  row.origin.z += 2.0f;
  row.angles = vec3{float(obj->angles.x / kMathPi * 180.0), 0, 0};
}

int Player_RecalcCarPos(vec3* position, vec3* angles) {
  const GameObject* player = Obj_Player;
  if (!player) return 0;
  if (position) {
    *position = player->origin;
    position->z += 2.0f;
  }
  if (angles) *angles = vec3{float(player->angles.x / kMathPi * 180.0), 0, 0};
  return 0;
}
