// The AI's part of a character and the level's street props.
#pragma once
#include <cstdint>

// The AI state of a character, kept in its object.
struct BotState {
  int32_t engaged;  // non-zero while the character is busy with a fight or an errand
};

// Street props: one model per kind, placed over a grid of 500-unit cells.
constexpr int kPropNameSize = 256;  // names of up to 255 characters
constexpr float kPropCellSize = 500.0f;

struct StreetProp {
  float x, y, z;
  float yaw;
  StreetProp* next;  // the next prop of the same cell
  int32_t kind;      // row of Props_KindNames
};

struct StreetPropGrid {
  int32_t kindCount;
  char (*kindNames)[kPropNameSize];  // kindCount names
  float originX, originY;            // the corner of cell (0, 0)
  int32_t width, height;             // in cells
  StreetProp** cells;                // width x height list heads, row by row (y major)
};
extern StreetPropGrid Props_Grid;

// Loads the level's navigation areas and street props.
int LoadAreas(const char* path);
// Releases the street props.
void Props_Free();

struct GameObject;
// The character leaves its team before its object is released.
void ai_UnregisterObject(GameObject* obj);
// Once after every clearing of the object list, at the first tick.
void ai_StartLevel();
// The AI's step of every tick.
void ai_Tick();
// A new game: every AI memory is dropped.
void ai_RequestFullReset();
// Sets up a character's AI from a script ("*" = the default).
void bot_Setup(GameObject* obj, const char* script);

// Navigation areas: the level's civilian area set (null when the level has none) and the area
// that contains a point (-1 none; hint: an area to try first, or -1).
struct AreaSet;
extern AreaSet* ai_CivilianAreas;
int ai_FindAreaAtPoint(const AreaSet* set, const float point[3], int hint);
// The deathmatch-respawn switch: characters start on deathmatch starts in single play too.
int ai_GetDmRespawns();
