#include "scene/model_kernels.h"

#include <cmath>
#include <cstring>
#include <strings.h>

#include "foundation/var.h"
#include "scene/model.h"
#include "scene/mp.h"
#include "world/level.h"

int Model_BlendFromName(const char* name, int fallback) {
  if (!name) return fallback;
  size_t n = std::strlen(name);
  auto ends = [&](const char* suffix) {
    size_t k = std::strlen(suffix);
    return n > k && strcasecmp(name + n - k, suffix) == 0;
  };
  int mode = fallback;
  if (ends("_ADD")) mode = 1;
  if (ends("_MUL")) mode = 2;
  if (ends("_MUL2")) mode = 4;
  if (ends("_ALPHA")) mode = 5;
  return mode;
}

void Model_BlendKeys(const MaylKey* keys, int count, float start, float end, double time, MaylKey* out) {
  *out = keys[0];
  if (count <= 1 || !(end > start)) return;
  double t = (time - double(start)) / (double(end) - double(start));
  if (!std::isfinite(t)) return;
  double f = double(count - 1) * (t - std::floor(t));
  int i = int(std::floor(f));
  if (i < 0) i = 0;
  if (i > count - 2) i = count - 2;
  double w = f - i;
  const MaylKey& a = keys[i];
  *out = a;
  if (w == 0.0) return;
  const MaylKey& b = keys[i + 1];
  for (int k = 0; k < 9; k++) out->rot[k] = float(a.rot[k] + w * (double(b.rot[k]) - a.rot[k]));
  for (int k = 0; k < 3; k++) out->t[k] = float(a.t[k] + w * (double(b.t[k]) - a.t[k]));
  for (int k = 0; k < 6; k++) out->bounds[k] = float(a.bounds[k] + w * (double(b.bounds[k]) - a.bounds[k]));
}

void Model_KeyTransform(const MaylKey* key, const float* p, float* out) {
  float r[3];
  for (int row = 0; row < 3; row++)
    r[row] = float(double(key->rot[row * 3]) * p[0] + double(key->rot[row * 3 + 1]) * p[1] +
                   double(key->rot[row * 3 + 2]) * p[2] + key->t[row]);
  out[0] = r[0];
  out[1] = r[1];
  out[2] = r[2];
}

void Model_TrimObjectName(char* name) {
  size_t n = std::strlen(name);
  if (n == 0) return;
  if (name[n - 1] == '_') {
    name[n - 1] = 0;
    return;
  }
  size_t i = n;
  while (i > 0 && name[i - 1] >= '0' && name[i - 1] <= '9') i--;
  if (i < n && i > 0 && name[i - 1] == '_') name[i - 1] = 0;
}

float Model_FadeAlpha(float distance) {
  const double D = 2400.0;
  double a = 1.0 - (double(distance) - 0.8 * D) / (0.95 * D - 0.8 * D);
  if (!(a < 1.0)) return 1.0f;
  return a < 0.0 ? 0.0f : float(a);
}

namespace {

// Accumulates weight x (v rotated by the frame + frame position) and weight x rotated normal.
inline void AddInfluence(const MpFrame& f, float w, const vec3& p, const vec3& n, float* pos, float* nor) {
  for (int k = 0; k < 3; k++) {
    pos[k] += w * (p.x * f.rot.m[0][k] + p.y * f.rot.m[1][k] + p.z * f.rot.m[2][k] + (&f.pos.x)[k]);
    nor[k] += w * (n.x * f.rot.m[0][k] + n.y * f.rot.m[1][k] + n.z * f.rot.m[2][k]);
  }
}

inline void PutVertex(uint8_t* out, const float* pos, const float* nor, float u, float v) {
  float vtx[8] = {pos[0], pos[1], pos[2], nor[0], nor[1], nor[2], u, v};
  std::memcpy(out, vtx, sizeof vtx);
}

}  // namespace

void Model_SkinVertices(const MpWeightedVertex* in, int count, const MpFrame* frames, uint8_t* out) {
  for (int i = 0; i < count; i++, out += kMpDrawVertexSize) {
    const MpWeightedVertex& v = in[i];
    float pos[3] = {0, 0, 0}, nor[3] = {0, 0, 0};
    for (int k = 0; k < v.influenceCount; k++)
      AddInfluence(frames[v.influences[k].frame], v.influences[k].weight, v.pos, v.normal, pos, nor);
    PutVertex(out, pos, nor, v.u, v.v);
  }
}

void Model_MorphVertices(const MpMorphVertex* in, int count, const float* weights, const MpFrame* frames,
                         int skin, uint8_t* out) {
  for (int i = 0; i < count; i++, out += kMpDrawVertexSize) {
    const MpMorphVertex& v = in[i];
    vec3 p = v.shapes[0].pos, n = v.shapes[0].normal;
    for (int s = 1; s < v.shapeCount; s++) {
      float w = weights[s];
      if (w == 0.0f) continue;
      p.x += w * v.shapes[s].pos.x;
      p.y += w * v.shapes[s].pos.y;
      p.z += w * v.shapes[s].pos.z;
      n.x += w * v.shapes[s].normal.x;
      n.y += w * v.shapes[s].normal.y;
      n.z += w * v.shapes[s].normal.z;
    }
    if (skin && v.influenceCount > 0) {
      float pos[3] = {0, 0, 0}, nor[3] = {0, 0, 0};
      for (int k = 0; k < v.influenceCount; k++)
        AddInfluence(frames[v.influences[k].frame], v.influences[k].weight, p, n, pos, nor);
      PutVertex(out, pos, nor, v.u, v.v);
    } else {
      float pos[3] = {p.x, p.y, p.z}, nor[3] = {n.x, n.y, n.z};
      PutVertex(out, pos, nor, v.u, v.v);
    }
  }
}

void Model_LoadingTick() { Level_DrawLoadingProgress(); }

int Model_PrecacheTextures() { return model_precache_textures.value != 0.0f; }
