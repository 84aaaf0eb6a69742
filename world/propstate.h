// The part of a game object that scenery (world props, animated props, doors, sun halos) keeps:
// model names, the pose block and the values their entity block gave.
#pragma once
#include <cstdint>

#include "foundation/vecmath.h"

constexpr int kPropAnims = 32;
constexpr int kPropDoorPoints = 8;

struct PropState {
  // Pose block: what the model is drawn and traced with.
  vec3 poseOrigin, poseAngles, poseScale, poseOffset;
  float spawnTime;  // game time
  float lifetime;   // seconds
  int32_t solid;    // "blocked": 0 not solid
  int32_t visible;  // "drawed"
  char modelName[64], clipName[64], clip2Name[64];  // "name", "solid", "shot"
  char physicsName[64];
  char sound[64];
  char stepSound[256];
  float friction, damageOnTouch;
  char projectMap[256];
  vec3 projectOrigin;
  int32_t dynamicLight;
  uint8_t fogColor[2][3];
  float fogStart[2], fogEnd[2];
  char drawOn[512], drawOff[512];
  char triggerCommand[256], triggerCommandText[256];
  // Animated props.
  char skelName[64];
  char anims[kPropAnims][64];
  float speedFrames[kPropAnims];
  float phase;
  char particlesTexture[64], particlesParent[64];
  vec3 particlesOrigin;
  float particlesScale;
  int32_t particlesFade;
  float particlesColor[4];
  float lastEmission;
  // Doors: points 0..7 of table A, 100..107 of table B.
  vec3 doorA[kPropDoorPoints], doorB[kPropDoorPoints];
  int32_t point, nextPoint, targetPoint;
  float t, wait, pause, pauseTimer;
  int32_t drawMove;
  char killog[64];
  char conditions[256];
  char command[256];
  char sound2[64];
  vec3 soundOrigin;
  float minDist;
  double lastRefusal;
  // The local player: its current action and when it started (game time).
  int32_t action;
  double actionStart;
  // Network player bodies.
  int32_t netId;
  char playerName[64];
  double receiptTime;
  float lastClock;   // the sender's frame clock of the last state taken
  float fireTime;    // game time of its last shot
  int32_t fireWeapon;
  vec3 prevAngles;   // the angles of the last animate
  float prevPhase;   // run-cycle phase of the animate before (the phase itself is `phase`)
  int32_t backwards; // the run cycle moves toward -y: the body is drawn turned about
  // Sun halos.
  char lens[256], glare[256];
  // Projectiles and casings.
  vec3 acceleration;     // units per second squared
  vec3 angularVelocity;  // radians per second
  vec3 launchAngles;
  vec3 effectOffset;     // added to the origin where smoke is left
  double hitTime;        // game time of the impact
  int32_t weapon;        // row of the weapon definitions, 0..35
  uint32_t soundHandle;  // the flight sound, 0 = none
  float soundMinDist;
};
