// The person block of every object (characters, players, props) and the weapon definitions that
// the view reads.
#pragma once
#include <cstdint>
#include <type_traits>

constexpr int kPersonNameSize = 64;
constexpr int kPersonCueSize = 64;

// The person block: the part of a `GameObject` that global personages copy whole between levels.
// Plain data only, so it can be copied and stored byte for byte.
struct PersonStats {
  char name[kPersonNameSize];     // empty for unnamed objects (disposable crowd)
  double clock;                   // the object's own clock, seconds; the tick advances the player's
  int32_t state;                  // 1 alive, 2 dead (remote players)
  float health;
  int32_t money;
  char dialogueCue[kPersonCueSize];
  int32_t carIndex;
  int32_t equippedKind;           // 1 = a weapon
  int32_t equippedIndex;          // with a weapon: its row of Def_Weapons
  int32_t actionState;            // 2 while the weapon's kick runs
  float lastShotTime;             // game time of the last shot, seconds
  int32_t cameraState;            // 2 forces a 60-degree field of view
  float stealthLevel;             // 0..1
  float slowMotionLevel;          // 0..1
};
static_assert(std::is_trivially_copyable_v<PersonStats> && std::is_standard_layout_v<PersonStats>,
              "PersonStats is copied byte for byte");

// What the view reads of a weapon definition (degrees and seconds as loaded).
struct WeaponDef {
  float fovOffset;       // "fov_offset"
  float fovPeriod;       // "fov_period"
  float fovCycles;       // "fov_cycles"
  float fovDelta[3];     // "fov_delta"
  float fovDeltaTime;    // "fov_deltatime": the fall time
  float fovDelta2Time;   // "fov_delta2time": the rise time
};
constexpr int kWeaponDefs = 36;
extern WeaponDef Def_Weapons[kWeaponDefs];

// The game's time-scale factor, 1.0 in normal play.
extern float TimeScale;

// Drops the weapon definitions' cached models; they are fetched again by name when next needed.
void Weapon_ReleaseModels();
