// The sample game's models and levels: the street block with its baked lightmaps and triangle
// tree cache, the first hero with its skeleton and animations, props, the clip cube and the sky.
// sample/README.md lists every name, size and place.
#pragma once
#include <string>

#include "foundation/vecmath.h"

// Writes every asset below `stage` (a folder that becomes the archive's root). The level is
// loaded back by the engine's own loader there, which writes "maps/street/street.hmp_cache",
// and its tree gives the lightmaps their shadows. False (with a message on stderr) on failure.
bool SampleAssets_Write(const std::string& stage);

// Places of the street block that tests look at.
struct SampleStreetPlaces {
  vec3 start;         // the player's start, in the middle of the clear area
  float clearRadius;  // nothing stands within this distance of the start
  vec3 camera;        // a camera on the road
  vec3 shadowPoint;   // on the road, in the shadow of the house "house_ne"
  vec3 litPoint;      // on the road, in the sun
  vec3 sunDirection;  // towards the sun, unit length
};
extern const SampleStreetPlaces kSampleStreet;
