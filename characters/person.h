// The person block of every object (characters, players, props) and the person operations:
// pickups, splash damage, finding by name and id, the box and the car exit.
#pragma once
#include <cstdint>
#include <string>
#include <type_traits>

#include "characters/defs.h"
#include "foundation/vecmath.h"

struct GameObject;

constexpr int kPersonNameSize = 64;
constexpr int kPersonCueSize = 64;
constexpr int kPersonTextSize = 256;
constexpr int kInvCarried = 256;
constexpr int kInvStash = 80;
constexpr int kPersonSkills = 6;
constexpr int kNpcLodBands = 4;
constexpr int kPersonVoices = 3;

// Inventory kinds (tattoos are kind 5 in the carried list and the stash alike).
enum InvKind : int32_t { INV_NONE = 0, INV_WEAPON = 1, INV_ARMOR = 2, INV_ITEM = 3,
                         INV_TRANS = 4, INV_TATU = 5, INV_GOOD = 6 };
struct InvPair {
  int32_t kind;   // InvKind; 0 = empty place
  int32_t index;  // row of the kind's definition table
};

// Animation kinds of characters.
enum PersonAnim : int32_t { ANIM_IDLE, ANIM_WALK, ANIM_RUN, ANIM_JUMP, ANIM_CROUCH, ANIM_DEAD, kPersonAnims };

// The person block: the part of a `GameObject` that global personages copy whole between levels.
// Plain data only, so it can be copied and stored byte for byte; all fields after the clock are
// 4-byte words, so the saved image is the record's own layout.
struct PersonStats {
  char name[kPersonNameSize];     // empty for unnamed objects (disposable crowd)
  double clock;                   // the object's own clock, seconds; the tick advances the player's
  int32_t state;                  // 1 alive, 2 dead
  float health;
  int32_t money;
  char dialogueCue[kPersonCueSize];
  int32_t carIndex;
  int32_t equippedKind;           // first equipped pair: 1 = a weapon
  int32_t equippedIndex;          // with a weapon: its row of Def_Weapons
  int32_t actionState;            // 2 while the weapon's kick runs
  float lastShotTime;             // game time of the last shot, seconds
  int32_t cameraState;            // 2 forces a 60-degree field of view
  float stealthLevel;             // 0..1
  float slowMotionLevel;          // 0..1

  float maxHealth;
  int32_t equipped2Kind;          // second equipped pair (armour)
  int32_t equipped2Index;
  int32_t ammo[kAmmoKinds];       // reserves by ammunition kind
  int32_t magazine[kAmmoKinds];   // rounds in the loaded magazine by ammunition kind
  InvPair items[kInvCarried];     // carried pairs, empty places have kind 0
  InvPair stash[kInvStash];       // the second list (stored items)
  int32_t team;
  int32_t carReentry;             // may enter its car again
  int32_t parked;                 // its car is parked
  int32_t moveMode[2];            // 0 walk, 1 crouch; second word: 1 while running
  float thinkStamp;               // game time of the last two-second think
  float skills[kPersonSkills];
  uint32_t groundId;              // id of the object stood on, 0 = none or the level
  float eye[3];                   // eye position, world units
  int32_t vehicleState;           // non-zero while driving
  float velocity[3];              // units per second
  int32_t onGround;
  int32_t crouched;
  int32_t jumpHeld;               // the jump command was held last tick
  int32_t anim;                   // PersonAnim shown
  float animTime;                 // seconds in that animation
  float respawnTime;              // pickups: seconds hidden after being taken, 0 = gone for good
  float hiddenUntil;              // pickups: game time it shows again
  uint32_t voices[kPersonVoices]; // sound voices of this run (stored as zero)
  char itemText[kPersonTextSize]; // bracketed pairs of what the object carries or gives
  // Non-player characters.
  char skelName[kPersonNameSize];
  char animName[kPersonNameSize];      // "anim": loops while standing
  char deathAnimName[kPersonNameSize]; // "anim1": played once at death
  char deadName[kPersonNameSize];      // model left behind after the death animation
  char lodModels[kNpcLodBands][kPersonNameSize];
  float lodMin[kNpcLodBands], lodMax[kNpcLodBands];
  float speedFrame;               // seconds of one loop of "anim"
  float deathSpeedFrame;          // seconds of "anim1"
  char soundPain[kPersonNameSize];
  char soundDead[kPersonNameSize];
  int32_t aiState;                // AI start state; 12 "CAR", 13 "BOT"
  int32_t ctfRole;                // capture the flag: CTF_FLAG or CTF_BASE, with `team`
  // The character's growth. A body starts with 100 energy of 100, experience and level 0, the
  // three further statistics at 100, both factors 1.0 and both attribute triples 5 5 5. Saved
  // games made before these fields were kept hold 0 in all of them (the bytes were reserved).
  float energy;
  float maxEnergy;
  int32_t experience;
  int32_t level;
  float furtherStats[3];
  float factors[2];
  int32_t attributeTriples[2][3];
  int32_t noBlood;                // non-player characters: a hit shows a flash, never blood
  int32_t group;                  // non-player characters: the "group" number of the entity
  uint32_t heldCommands;          // the player: command bits of the last tick (weapon keys act on a press)
};
static_assert(std::is_trivially_copyable_v<PersonStats> && std::is_standard_layout_v<PersonStats>,
              "PersonStats is copied byte for byte");
static_assert(sizeof(PersonStats) <= 5904, "the person block has 5,904 bytes in saved images");

// The game's time-scale factor, 1.0 in normal play.
extern float TimeScale;

// Applies a pickup object's item text to the user (healing and the rest through
// Person_CollectPickup) and hides the pickup for its respawn time (for good without one).
void Person_ApplyPickup(GameObject* pickup, GameObject* user);
// Adds what the item text copied into the person names: weapons (with a magazine), armour,
// items, tattoos, transports, health up to the maximum, money and ammunition.
void Person_CollectPickup(GameObject* person);
// The message line of a pickup's item text: "You got" (text "consol\You got") and what it gives,
// each pair's visible name (text "items\<text key>", else its definition name) and "<n> <kind>"
// for ammunition, "<n> money", "<n> health"; the rounds of a kind once, where it first comes, with
// a weapon's magazine among them; empty when it names nothing known.
std::u16string Person_PickupLine(const char* itemText);
// Shows again the pickups whose respawn time has passed.
void Person_RespawnPickups();
// The active object of that name (any case; "player" gives the player), else null.
GameObject* Person_FindByName(const char* name);
// Pushes the object's body (none: nothing) with the impulse at the point, but no lower than seven
// eighths up the box that holds the body as it lies now: a standing body tips over rather than slides.
void Person_PushBodyHigh(GameObject* o, const vec3& impulse, vec3 at);
// Every active object within the radius whose centre a clear ray reaches takes
// (1 - distance / radius) x damage through its Damage operation; then its body, if it has one
// (a body the damage just made too), is pushed away from the blast with the weapon's "physics"
// impulse by the same share. Nothing for a radius <= 0.
void Person_SplashDamage(GameObject* source, float damage, float radius, int weapon);
// Stops the person's three voices.
void Person_StopSounds(GameObject* person);
// Box from the crouch state: 32 x 32 wide, 64 high standing, 40 crouched.
void Person_UpdateBBox(GameObject* obj);
// Puts the player on a free spot beside the place (a car's position): right, left, behind, front.
void Player_PlaceOutsideCar(GameObject* player, const vec3* place);
GameObject* Obj_FindActiveById(uint32_t id);
// In a multiplayer capture-the-flag game: "ctfflag" or "ctfbase" and a team name in the item
// text give the object its role and team. Otherwise nothing.
void World_SetCtfRole(GameObject* obj);
// Capture-the-flag roles.
constexpr int32_t CTF_FLAG = 1;
constexpr int32_t CTF_BASE = 2;
// The game type of a multiplayer game: 2 = capture the flag.
extern int32_t Game_NetGameType;

// A clear ray between two points (no solid world object in between).
bool Person_ClearLine(const vec3* from, const vec3* to, const GameObject* ignore);
