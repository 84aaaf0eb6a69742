// The NV register-combiner set-ups of the NV20 lighting passes (BU models and DU levels): six fixed
// tables, modes 6 to 11, loaded by a small interpreter. The only run-time input is the light's
// colour. The GL calls are made only while the extension they belong to is present.
#pragma once
#include <cstdint>

#include "foundation/vecmath.h"

struct ViewLight;

// Combiner registers as the tables name them. kNvZero is GL_ZERO; with the invert mapping it is 1.
enum NvReg : uint8_t {
  kNvZero, kNvTex0, kNvTex1, kNvTex2, kNvTex3, kNvPrimary, kNvSecondary, kNvSpare0, kNvSpare1,
  kNvConst0, kNvConst1, kNvEtimesF, kNvDiscard
};
enum NvUse : uint8_t { kNvRgb, kNvAlpha, kNvBlue };
enum NvMap : uint8_t { kNvIdentity, kNvInvert, kNvExpand, kNvSigned, kNvHalfBias, kNvNegate };

struct NvInput {
  uint8_t reg = kNvZero;
  uint8_t use = kNvRgb;
  uint8_t map = kNvIdentity;
};
// One general-combiner portion: inputs A..D and the outputs AB, CD, sum.
struct NvPortion {
  uint8_t stage;
  uint8_t alpha;  // 0 the RGB portion, 1 the alpha portion
  NvInput in[4];
  uint8_t ab = kNvDiscard, cd = kNvDiscard, sum = kNvDiscard;
  uint8_t abDot = 0, cdDot = 0, mux = 0, scale4 = 0;
};
// The final combiner: A..G, `set` bit i when input i is loaded.
struct NvFinal {
  NvInput in[7];
  uint8_t set;
};
struct NvSetup {
  int mode;
  int generalCount;
  int constants;  // 0 none, 1 colour 0 (the light, alpha 1), 2 also colour 1 (1, 1, 1, 0.75)
  int portionCount;
  NvPortion portions[8];
  NvFinal final;
  int textureShader;  // units 3, 2, 1, 0 as pass-through and 2D, and the texture shaders on
};

// The set-up of a mode, null outside 6..11.
const NvSetup* Bump_NvSetup(int mode);
// Loads the set-up of mode 6..11 with the light's colour (black for a null light); nothing for any
// other mode.
void Bump_SetNvState(int mode, const ViewLight* light);
inline void Bump_SetCombiners(int mode, const ViewLight* light) { Bump_SetNvState(mode, light); }
// Switches the combiners off after a pass of mode 1..11, and for mode 11 the texture shaders too.
void Bump_DisableNvState(int mode);

// The attenuation pass's texture matrices for a light at L (the drawn geometry's space) of that
// radius: two lookups of "textures\attenuation_dst" through units 0 and 1 sum to the squared
// distance over the squared radius. Tracked into c[88] to c[95]; the reset puts back identity and
// repeat wrapping on both units.
void Bump_SetAttenuationMatrices(const vec3& L, float radius);
void Bump_ResetAttenuationMatrices();
// Tracks the modelview-projection matrix into c[0] to c[3] and its inverse into c[4] to c[7].
void Bump_TrackViewMatrices();

