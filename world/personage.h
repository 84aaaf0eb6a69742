// The tables that outlive a level: global personages (named characters carried between levels),
// the places of the city and where the player's cars stand.
#pragma once
#include <cstdint>

#include "characters/person.h"
#include "foundation/vecmath.h"

struct GameObject;

// A named character's state between levels, matched by name.
struct GlobalPersonage {
  int32_t restoreBody;      // the stored person block is put back into the level
  int32_t restoreDialogue;  // the stored dialogue cue is put back
  int32_t questFlag;        // addressed by a quest script
  int32_t reserved;
  PersonStats person;  // begins with the name, the record's key
};
constexpr int kPersonages = 511;
extern GlobalPersonage Game_Personages[kPersonages];
extern int32_t Game_PersonageCount;

struct PlaceRecord {
  char name[128];
  int32_t police;  // 1 while the police patrols there
  int32_t flag;
  int32_t lock;  // non-zero: the Transport System offers none of the place's entries
};
static_assert(sizeof(PlaceRecord) == 140);
constexpr int kPlaces = 108;
extern PlaceRecord Game_Places[kPlaces];
// The built-in start of the place table: every place of the city, police everywhere.
extern const char* const Game_PlaceNames[kPlaces];

struct CarPosRecord {
  char level[128];  // where the car stands
  vec3 origin;
  vec3 angles;  // degrees, yaw first
  int32_t health;
};
static_assert(sizeof(CarPosRecord) == 156);
constexpr int kCarPositions = 28;  // one per car definition; row 0 carries nothing
extern CarPosRecord Game_CarPositions[kCarPositions];

// Returns 0.
int CloseGlobalPersonages();
// The hero of the game (0 or 1, a row of the heroes' names), chosen before a new game starts;
// saved in the game's header.
extern int32_t Game_HeroChoice;
// A new game: the personage names from the list file, every game-state table cleared.
void Game_NewSession(const char* listFile);
// Around a level change: store before the level is left, restore after the next one is loaded.
void StoreGlobalPersonages();
void RestoreGlobalPersonages();
// The police flag of a place; 1 for an empty or unknown name.
int Game_GetPlaceValue(const char* name);
void Player_StoreCarPos(GameObject* obj);
// The player's spot for its car: origin 2 units up, yaw in degrees. Returns 0.
int Player_RecalcCarPos(vec3* position, vec3* angles);
