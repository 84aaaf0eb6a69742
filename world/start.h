// The player-controlled bodies, the start positions and the level's pickups.
#pragma once
#include <cstdint>

#include "foundation/vecmath.h"

struct GameObject;

// The heroes of the new-game menu; the chosen one names the player.
constexpr int kHeroIdSize = 64;
extern const char Game_HeroIds[2][kHeroIdSize];
extern int32_t Game_HeroChoice;  // 0 or 1
extern int32_t Game_LocalTeam;   // the local player's team: 0 red, 1 blue

// The place a pending level change puts the player (set before the level loads).
struct LevelChange {
  int32_t active;
  vec3 origin, angles;
};
extern LevelChange Level_PendingChange;

GameObject* Player_Spawn(const char* name, const float viewBox[6], float viewFar, const char* dialog,
                         const vec3* origin, const vec3* velocity, const vec3* angles, int32_t solid,
                         int32_t visible, int32_t team);
// Clears the world and makes the chosen hero the player; null (logged) when no object can be had.
GameObject* Player_CreateForLevel();
// The body of another player of a network game.
GameObject* NetPlayer_Spawn(const char* name, int32_t netId, int32_t team, const char* playerName,
                            const vec3* origin, const vec3* velocity, const vec3* angles);
constexpr int kNetPlayerNameSize = 64;

// Pickups: world objects whose item text names a weapon, armor, item, ammunition or medical kit.
enum PickupKind : int32_t { PICKUP_WEAPON = 1, PICKUP_ARMOR = 2, PICKUP_ITEM = 3, PICKUP_MEDIC = 7, PICKUP_AMMO = 9 };
constexpr int kPickupRecords = 1024;
struct PickupRecord {
  GameObject* object;  // resolve through objectId: the object may be gone
  uint32_t objectId;
  int32_t kind;
  int32_t index;  // definition row, ammunition kind 1..11, or the medical amount
  int32_t area;   // -1 none
  vec3 origin;
};
extern PickupRecord Level_Pickups[kPickupRecords];
extern int32_t Level_PickupCount;
extern const char* const Pickup_AmmoNames[12];  // 1..11
// The live object of a pickup record, or null when it has been deleted.
GameObject* Pickup_Object(const PickupRecord* record);

// Puts the player (and in deathmatch set-ups the AI-driven characters) on their starts and
// rebuilds the pickup table.
void Level_SetupStartsAndPickups();
