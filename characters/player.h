// The local player (class MACHINEPLAYER): movement, collision, camera, use targets, damage and
// death, its animation and drawing; the frame's command record.
#pragma once
#include <cstdint>

#include "world/object.h"
#include "world/trace.h"

void Player_Animate(GameObject*);
void Player_Draw(GameObject*, ViewParams*);
void Player_Clip(GameObject*, TraceRequest*);
void Player_Free(GameObject*);
void Player_Think(GameObject*);
void Player_Damage(GameObject*, GameObject*, float, float, const vec3*, int32_t, int32_t);
void Player_Contact(GameObject*, PhysicsContact*);
void Player_Info(GameObject*, const void*, void*);
void Player_Init(GameObject*);
void Player_PostLoad(GameObject*);

// The one collision query of characters: the box (mins, maxs relative to the moving point)
// swept from start to end against the clip model of every active, traceable WORLD object but
// `ignore`. Fills out (fraction 1.0 = clear) and returns 1.
int Player_TraceMove(const vec3* start, const vec3* end, const vec3* mins, const vec3* maxs,
                     const GameObject* ignore, TraceResult* out);

// Slow motion ("Galahaste"): the time scale while it lasts, and how long (seconds of game time).
constexpr float kSlowMotionScale = 0.5f;
constexpr double kSlowMotionTime = 4.0;
// Ends slow motion: the time scale back to 1.0 and the player's slow-motion level to 0.
void Player_EndSlowMotion(GameObject* player);

// The opening camera sequence of a new game: camera mode 2 (the play screen shows only the black
// bars) and the camera sequence flag set; for its seconds of game time the hero stands while the
// camera swings round him from in front, out at the given distance, to its place behind him. It
// ends by itself, when the flag is cleared (the camera sequence key, a level release or a load),
// and ending clears the flag.
constexpr double kCameraSequenceTime = 6.0;
constexpr float kCameraSequenceBack = 240.0f;
void Player_StartCameraSequence(GameObject* player);

// The frame's record: the command word of Game_CurrentFrame (bit 14 use, bit 21 leave the car;
// the demo bits 30 and 31 stay clear). The play input's mouse look fills the turn and pitch.
void Player_BuildCommand();
// Zeroes every action flag, the mouse deltas, the current record, the step and both ring
// indices. Returns 0.
int Player_ClearInput();

// The equipped weapon's shot when its "shottime" has passed since the last: projectiles of kinds
// 1, 2, 4 and 5 from the eye along the view, one round from the magazine of its ammunition kind.
// An empty magazine fires nothing and, when the trigger was just pulled, clicks. Sets the action
// state 2 and the time of the last shot (the view's weapon kick). Returns 1 when it fired.
int Player_FireWeapon(GameObject* player, int pulled);
// Fills the equipped weapon's magazine from the reserve of its ammunition kind; returns the
// rounds moved (0: nothing to load, or a weapon without ammunition).
int Player_ReloadWeapon(GameObject* player);
// Equips the next (step > 0) or previous carried weapon in definition order, wrapping; the one
// put away stays carried. Returns 1 when the weapon changed.
int Player_SelectWeapon(GameObject* player, int step);
constexpr const char* kPlayerEmptySound = "sound\\weapon_empty";
constexpr const char* kPlayerReloadSound = "sound\\weapon_reload";
constexpr const char* kPlayerSwitchSound = "sound\\weapon_switch";

// The damage flash value: raised by each hit's damage up to its full strength, fading by
// kDamageFlashFade a second (the play screen shows "sprites\damage" while it is above 1).
constexpr float kDamageFlashFull = 30.0f;
constexpr float kDamageFlashFade = 20.0f;

// Movement constants.
constexpr float kPlayerStepHeight = 18.0f;
constexpr float kPlayerUseRange = 100.0f;
constexpr float kPlayerCameraBack = 80.0f;
constexpr float kPlayerCameraUp = 64.0f;
constexpr float kPlayerCarCameraBack = 200.0f;  // camera mode 1: behind the car
constexpr float kPlayerCarCameraUp = 100.0f;
// How far below the player's place the hero is drawn sitting in a car.
constexpr float kPlayerCarSeatDrop = 8.0f;
// The height the player's view follows (kept near the origin's height by the movement).
extern float Player_ViewHeight;
