// The sun of an outdoor level (class AREOL): its direction follows the player's clock, it fades in
// and out with the line of sight from the player's eye, and it draws lens flares and a glare.
// Also the Init shared by effects, projectiles and casings, and the Info reply of scenery classes.
#pragma once
#include <cstdint>

#include "world/object.h"

void Areol_Draw(GameObject*, ViewParams*);
void Areol_Think(GameObject*);
void Areol_Info(GameObject*, const void*, void*);
void Effect_Init(GameObject*);

// The flares: picture size in 2D-layer units and place along the sun-to-centre line (1 at the
// sun, 0 at the screen's centre).
constexpr int kAreolFlares = 9;
struct AreolFlare {
  float size;
  float position;
};
extern const AreolFlare Areol_Flares[kAreolFlares];

// The sun's direction (length 100) at the clock for a day of `dayLength` seconds.
vec3 Areol_SunDirection(double clock, float dayLength);
// The glare's strength (0..0.4) for the sun at camera-space v with screen factors sx, sy.
float Areol_GlareStrength(const vec3& v, float sx, float sy);
// Forgets the flare and glare pictures (their materials are released with the level).
void Areol_ForgetPictures();

