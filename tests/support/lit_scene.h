// The lit-scene driver: draws BU instances with a filled light list through the lighting passes
// (depth pass, then per light a stencil cleared to 128, its volume pass and its light pass) and
// reads back colour and stencil. Shared by the lighting tests and benchmarks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene/lighting.h"
#include "scene/model.h"
#include "scene/view.h"

namespace tw_test {

struct LitInstance {
  ModelObject* model;
  ModelDrawParams* params;
};

struct LitScene {
  vec3 eye{};
  vec3 angles{};               // yaw, pitch, roll (radians)
  float fov = 90.0f;
  float clear[3] = {0, 0, 0};  // background colour
  std::vector<ViewLight> lights;
  std::vector<LitInstance> instances;
  // A DU level, when set, makes the frame: its pass 0, pass 0 of each instance, its pass 2 and
  // one odd pass, 5, in which it lights itself and the instances light by light.
  LitInstance level{};
  ViewParams view{};           // as the last frame left it
};

// Colour (R, G, B, A) and stencil of the lower-left width x height pixels, bottom row first.
struct LitImage {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
  std::vector<uint8_t> stencil;
  const uint8_t* At(int x, int y) const { return &rgba[4 * (size_t(y) * width + x)]; }
  uint8_t StencilAt(int x, int y) const { return stencil[size_t(y) * width + x]; }
};

// One frame on the lower-left width x height pixels of the window.
LitImage LitScene_Draw(LitScene* scene, int width, int height);

// A rigid-instance draw record at a position (angles 0, scale 1, no skeleton); owned by the caller.
ModelDrawParams* LitScene_NewParams(float x, float y, float z);
void LitScene_FreeParams(ModelDrawParams* params);

// "render_bump_*" settings changed for one test and put back afterwards.
class BumpSettings {
 public:
  BumpSettings();
  ~BumpSettings();

 private:
  float saved_[8];
  char varType_[260];
};

}  // namespace tw_test
