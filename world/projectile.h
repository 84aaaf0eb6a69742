// Projectiles (class PULKA) and shell casings (class GILZA).
#pragma once
#include <cstdint>

#include "world/object.h"

struct TraceResult;

constexpr float kShotGravity = 800.0f;  // units per second squared

// A flying shot of the weapon (0..35) from the owner's muzzle; null for a weapon out of range or
// when no object can be had. Starts the weapon's looping flight sound.
GameObject* Pulka_Spawn(const char* name, const float viewBox[6], int32_t, const char* text, uint32_t owner,
                        const vec3* origin, int32_t, const vec3* velocity, const vec3* angles, int32_t weapon);

// The nearest physics body box (half extents times 16) that the segment enters, stopped 1/32
// unit before its face: the fraction (1.0 = none), the hit point and normal in `out`, the body's
// row in *body (-1 = none).
float Pulka_TraceBodies(const vec3* start, const vec3* end, TraceResult* out, int* body);

// Whether a near character other than the shot and the player, and not one the AI keeps from
// mines, stands within the radius (the cell grid of the last tick).
bool Pulka_SomethingNear(GameObject* shot, float radius);

// The damage factor of the hero's skill for a weapon's skill class (0..5): 1.0 outside single
// play, for another owner, or for a class out of range.
float Pulka_SkillFactor(const GameObject* owner, int skillClass);

void Pulka_Draw(GameObject*, ViewParams*);
void Pulka_Think(GameObject*);
void Pulka_Info(GameObject*, const void*, void*);
void Gilza_Draw(GameObject*, ViewParams*);
void Gilza_Think(GameObject*);
void Gilza_Contact(GameObject*, PhysicsContact*);
// The casing's bounce off a trace hit: half its speed, spinning unless it came to rest.
void Gilza_Bounce(GameObject*, const TraceResult* hit);
void Gilza_Info(GameObject*, const void*, void*);
