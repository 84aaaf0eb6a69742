// Pure pieces of the model and level formats: blend suffixes, key blending, the frustum box test,
// object-name trimming, the distance fade, skinning and morphing.
#pragma once
#include <cstdint>

struct MpFrame;
struct MpWeightedVertex;
struct MpMorphVertex;

// Blend mode from a shader name's suffix: "_ADD" 1, "_MUL" 2, "_MUL2" 4, "_ALPHA" 5 (any case,
// the name longer than the suffix; later tests win), else `fallback`.
int Model_BlendFromName(const char* name, int fallback);

// first .. first + count - 1 lies inside 0 .. total - 1 (count 0 fits anywhere from 0 to total).
inline bool Model_RangeFits(int64_t first, int64_t count, int64_t total) {
  return first >= 0 && count >= 0 && first + count <= total;
}

// A key of a rigid motion: rotation applied to a column vector (x' = row 0 . v + t.x), translation,
// and the bounds of the geometry it moves.
struct MaylKey {
  float rot[9];
  float t[3];
  float bounds[6];
};
// The key at `time` of a motion of `count` keys from start to end seconds: the two keys around
// the phase blended linearly (rotation, translation and bounds; not re-orthonormalised). A count
// of 1 or less, end <= start, or a non-finite phase rest at the first key.
void Model_BlendKeys(const MaylKey* keys, int count, float start, float end, double time, MaylKey* out);
// p' = rot p + t (the column-vector convention of keys).
void Model_KeyTransform(const MaylKey* key, const float* p, float* out);

// An object name that ends in '_' and decimal digits loses them from the '_' ("door_12" ->
// "door"); a trailing '_' goes ("wall_" -> "wall"); anything else stays. In place.
void Model_TrimObjectName(char* name);

// Distance fade of models: 1 up to 0.8 x 2400 units, 0 from 0.95 x 2400 on, linear between.
float Model_FadeAlpha(float distance);

// Weighted vertices into 32-byte drawing vertices (position, normal, u, v): position = sum of
// weight x (position rotated by the frame + frame position), normal = sum of weight x rotated
// normal (frame rotations act on row vectors).
void Model_SkinVertices(const MpWeightedVertex* in, int count, const MpFrame* frames, uint8_t* out);
// Morph vertices: shape 0 plus the other shapes scaled by their weights, then, when `skin` is set,
// weighted over their frames like Model_SkinVertices.
void Model_MorphVertices(const MpMorphVertex* in, int count, const float* weights, const MpFrame* frames,
                         int skin, uint8_t* out);

// The loading screen's progress tick.
void Model_LoadingTick();
// "model_precache_textures" is non-zero.
int Model_PrecacheTextures();
