// The AI's part of a character, the level's navigation areas and street props, and the AI block
// of saved games.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/vecmath.h"

// Bot control flags (`BotState::acfFlags`).
constexpr uint32_t ACF_NO_MINE_TARGET = 0x1000;  // no target for proximity mines; sparks, not blood
constexpr uint32_t ACF_NO_IMPACT = 0x100000;     // no impact effects

constexpr int kBotScriptSize = 64;

// How a character walks when nothing engages it (`BotState::walk`).
enum BotWalk : int32_t {
  BOT_WALK_NONE = 0,      // stands
  BOT_WALK_CIVILIAN = 1,  // from area to area of the civilian set, at a walking pace
  BOT_WALK_CAR = 2,       // along the lanes of the car set, at a car's pace
  BOT_WALK_POINTS = 3,    // to its first goal (and back to the second when it patrols)
  kBotWalkKinds = 4
};
// What engaged a character (`BotState::engaged`).
enum BotEngaged : int32_t { BOT_ENGAGE_NONE = 0, BOT_ENGAGE_FOLLOW = 1, BOT_ENGAGE_FLEE = 2 };
// Bits of `BotState::aiFlags`.
constexpr uint32_t BOT_NO_SEARCH = 1u << 0;  // its body may not be searched
constexpr uint32_t BOT_PATROL = 1u << 1;     // walks back and forth between its two goals
constexpr uint32_t BOT_RUN = 1u << 2;        // runs where others walk
constexpr uint32_t kBotFlagsKnown = BOT_NO_SEARCH | BOT_PATROL | BOT_RUN;
// Aggression triggers of the templates ("agressive_on").
enum BotAggression : int32_t {
  BOT_AGGRESSIVE_NONE = 0,
  BOT_AGGRESSIVE_SHOT = 1,       // when the player shoots it
  BOT_AGGRESSIVE_NEAR_SHOT = 2,  // when the player shoots near it
  BOT_AGGRESSIVE_VISIBLE = 3,    // when it sees the player
  BOT_AGGRESSIVE_IN_ZONE = 4,    // when the player comes within its detection distance
};

// Paces (units per second) and times of the AI.
constexpr float kBotWalkSpeed = 100.0f;
constexpr float kBotRunSpeed = 220.0f;
constexpr float kBotCarSpeed = 400.0f;
constexpr float kBotForgetTime = 5.0f;  // seconds out of reach before an engagement ends
constexpr float kBotGiveUpTime = 2.0f;  // seconds without headway before a walker takes a new goal
constexpr float kBotCarPatience = 20.0f;  // seconds a car waits for people before it turns about
constexpr float kBotHeadway = 8.0f;       // units closer to its goal that count as headway
constexpr float kBotFleeHeadway = 32.0f;  // units from where it last made headway, for one fleeing
constexpr float kBotMinDistDefault = 96.0f;

// The AI state of a character, kept in its object.
struct BotState {
  int32_t engaged;  // BotEngaged: non-zero while the character is busy with a fight or a flight
  uint32_t acfFlags;
  int32_t setUp;  // bot_Setup gave the object its state
  char script[kBotScriptSize];
  vec3 goals[2];         // where the character heads, then where it goes after
  int32_t civilianArea;  // area of the civilian set it stands in, -1 none
  int32_t carArea;       // area of the car set, -1 none
  int32_t walk;          // BotWalk
  uint32_t aiFlags;      // BOT_NO_SEARCH ...
  int32_t fromArea;      // the area it came from (not taken back at once), -1 none
  int32_t aggression;    // BotAggression of its template
  float detectFov;       // degrees, the whole cone
  float detectDist;      // units
  float minDist;         // an engaged character stops this far from the player
  uint32_t target;       // id of the object it is engaged with, 0 none
  float lastSeen;        // game time the target was last within reach
  float blockedTime;     // seconds it has made no headway
  int32_t team;          // row of the team table + 1, 0 none, -1 none for want of a row (this run only)
  // This run only (not kept in saved games): how headway is measured.
  vec3 headwayAt;     // walking: the goal of the mark below; fleeing: where it stood at its last headway
  float headwayLeft;  // walking: its least distance to that goal since its last headway
  int32_t fleeWay;    // fleeing over the areas to goals[0], running straight away having been held up
};

// Street props: one model per kind, placed over a grid of 500-unit cells.
constexpr int kPropNameSize = 256;  // names of up to 255 characters
constexpr float kPropCellSize = 500.0f;

struct StreetProp {
  float x, y, z;
  float yaw;  // radians
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

// Navigation areas: convex or concave polygons over vertices (x and y matter, z is kept), joined
// along shared segments.
struct NavSegment {
  int32_t v0, v1;
  int32_t areaA, areaB;  // the area on each side, -1 none
};
struct NavEdge {
  int32_t segment;
  int32_t side;  // 0: the area walks the segment from v0 to v1; 1: from v1 to v0
};
struct NavArea {
  int32_t firstEdge, edgeCount;
  vec3 centre;
};
struct AreaSet {
  std::vector<vec3> vertices;
  std::vector<NavSegment> segments;
  std::vector<NavEdge> edges;
  std::vector<NavArea> areas;
};
enum NavSetKind { NAV_CIVILIAN = 0, NAV_CARS = 1, kNavSets = 2 };
constexpr int kNavTemplateSize = 256;
constexpr int kNavTemplates = 64;
enum NavTemplateList { NAV_TEMPLATE_CARS = 0, NAV_TEMPLATE_DAY = 1, NAV_TEMPLATE_NIGHT = 2, kNavTemplateLists = 3 };
struct NavLevel {
  AreaSet sets[kNavSets];
  char templates[kNavTemplateLists][kNavTemplates][kNavTemplateSize];
  int32_t templateCounts[kNavTemplateLists];
  int32_t caps[3];  // cars, day civilians, night civilians
  uint32_t generation;  // counts releases: anything derived from the sets is stale once it moves
};
extern NavLevel Nav_Level;

// Loads "<path>.nav": the areas, templates, caps and street props. A file with an index out of
// range is refused whole (nothing kept); an unknown key, a bad number or an over-long name is
// logged and skipped. Returns 1 when the file was taken.
int LoadAreas(const char* path);
// The same from a file's text (`name` for log lines).
int Nav_ReadText(const char* text, size_t size, const char* name);
// The number of areas of each set (civilian, car) that LoadAreas would give for "<path>.nav",
// read without touching the loaded level: 1 when the file was found, 0 (and no areas) when not.
int Nav_CountAreas(const char* path, int32_t counts[kNavSets]);
// Releases the areas and the street props.
void ai_FreeAreas();
void Props_Free();
// The level's civilian area set; null while the level has no areas.
extern AreaSet* ai_CivilianAreas;
// The area of the set containing the point (x, y, z; seen from above), trying `hint` first; -1
// for none. A point on a segment two areas share belongs to exactly one of them.
int ai_FindAreaAtPoint(const AreaSet* set, const float point[3], int hint);

struct GameObject;
struct FileHandle;
// The character leaves its team before its object is released.
void ai_UnregisterObject(GameObject* obj);
// Once after every clearing of the object list, at the first tick.
void ai_StartLevel();
// The AI's step of every tick: for the living characters of the tick's near list, walking to
// their goals and engagement with the player.
void ai_Tick();
// The AI block is not set up (a level was released).
void ai_Invalidate();
// A new game: every AI memory is dropped at the next step.
void ai_RequestFullReset();
// Non-zero while deathmatch respawns are on: the level's switch while its AI runs (from the
// "ai_dmrespawns" setting at its start, or from a loaded AI block), else the setting.
int ai_GetDmRespawns();
// Every living member of a hostile team dies through its Damage operation (a developer key);
// unteamed characters and car characters are spared.
void ai_KillAllEnemies();
// Sets up a character's AI from a script ("*" = the default): it stands, with the template
// defaults, and joins its team when the level's AI runs.
void bot_Setup(GameObject* obj, const char* script);
// The values of a character's template that its AI reads. A distance or angle out of range (or
// not a number) is refused with a log line and the default kept. Returns 1 when all were taken.
int bot_SetTemplate(GameObject* obj, int32_t aggression, float detectFov, float detectDist, float minDist);
// Makes the character walk: over the civilian areas, along the car lanes, or between goals.
void bot_SetWalk(GameObject* obj, int32_t walk);
// The character was hurt by `attacker`: when the attacker is the player or a shot of the
// player's, it engages the player (an unnamed civilian runs away instead).
void bot_Hurt(GameObject* obj, GameObject* attacker);
// The team table: teams built by ai_StartLevel from the characters' team names.
constexpr int kAiTeams = 64;
int ai_TeamCount();
// The team's name and members (null and 0 for a row out of range).
const char* ai_TeamName(int team);
int ai_TeamMembers(int team, GameObject* const** members);
// The row of the player's own team, -1 when the player has none.
int ai_PlayerTeam();
// A member of a named team other than the player's.
bool ai_IsHostile(const GameObject* obj);
// Registers the AI's settings ("ai_dmrespawns").
void ai_RegisterVars();
// 1 while the level's AI runs (between ai_StartLevel, or a loaded AI block, and ai_Invalidate).
int ai_IsSetUp();
// The AI block of a saved game: written after everything else, read back to the end of the file.
// Loading checks the whole block (its mark, version, length, check word and that every object it
// names exists) before it changes anything. Both return 1 on success.
int ai_SaveBlock(FileHandle* file);
int ai_LoadBlock(FileHandle* file);
// The block as bytes, and applied from bytes (the same checks as ai_LoadBlock).
std::vector<uint8_t> ai_BlockBytes();
int ai_ApplyBlock(const uint8_t* bytes, size_t size);
// The length of the block that starts at `bytes` as its count tells it; 0 when that runs past
// `size`.
size_t ai_BlockLength(const uint8_t* bytes, size_t size);
// The version word of the block at `bytes` (1: written before characters kept their walking
// state, their solid and visible words), 0 when it is too short.
uint32_t ai_BlockVersion(const uint8_t* bytes, size_t size);
// The checks of ai_ApplyBlock against the object ids a saved game is about to bring and the
// area counts (civilian, car) of the level it is about to load (null: areas not checked): 1 when
// the block may be applied.
int ai_CheckBlock(const uint8_t* bytes, size_t size, const uint32_t* ids, size_t idCount,
                  const int32_t areaCounts[kNavSets]);
