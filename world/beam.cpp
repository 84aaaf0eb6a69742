#include "world/beam.h"

#include <cmath>
#include <cstring>

#include "foundation/mem.h"
#include "platform/gl_dispatch.h"
#include "render/material.h"

BeamRecord* Beam_Records[kBeamRecords];

namespace {

constexpr float kPi = 3.14159265358979323846f;
constexpr float kMinLength = 0.001f;

uint8_t Byte(float v) {
  if (!(v > 0)) return 0;
  return v >= 255 ? 255 : uint8_t(v);
}

float Clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

vec3 Along(const vec3& p, const vec3& d, float s) { return vec3{p.x + d.x * s, p.y + d.y * s, p.z + d.z * s}; }

// The unit side vector (direction x up) and the unit up square to both; false when the up vector
// lies along the direction.
bool SideAxes(const vec3& direction, const vec3& up, vec3* side, vec3* upAxis) {
  Vec_Cross(&direction, &up, side);
  double len = Vec_Length(side);
  if (!(len > 1e-6 * Vec_Length(&up))) return false;
  Vec_Scale(side, 1.0 / len, side);
  Vec_Cross(side, &direction, upAxis);
  Vec_Normalize(upAxis);
  return true;
}

// cos(angle) x a + sin(angle) x b
vec3 Turn(const vec3& a, const vec3& b, float degrees) {
  double r = double(degrees) * kPi / 180.0;
  float c = float(std::cos(r)), s = float(std::sin(r));
  return vec3{a.x * c + b.x * s, a.y * c + b.y * s, a.z * c + b.z * s};
}

void SetImm(ImmVertex* out, const vec3& p, float u, float v, float r, float g, float b, float a) {
  out->x = p.x;
  out->y = p.y;
  out->z = p.z;
  out->u = u;
  out->v = v;
  out->r = Byte(r * 255);
  out->g = Byte(g * 255);
  out->b = Byte(b * 255);
  out->a = Byte(a * 255);
}

}  // namespace

// ---- Drawing -------------------------------------------------------------------------------------

void FxDraw_Arrays(const ImmVertex* v, int count, int strip) {
  if (count < 3) return;
  if (RenderApi == RENDER_API_OPENGL) {
    if (gl.glBindBufferARB) gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    constexpr int stride = int(sizeof(ImmVertex));
    gl.glEnableClientState(GL_VERTEX_ARRAY);
    gl.glEnableClientState(GL_COLOR_ARRAY);
    gl.glDisableClientState(GL_NORMAL_ARRAY);
    Render_SelectClientTexUnit(0);
    gl.glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    gl.glVertexPointer(3, GL_FLOAT, stride, &v->x);
    gl.glColorPointer(4, GL_UNSIGNED_BYTE, stride, &v->r);
    gl.glTexCoordPointer(2, GL_FLOAT, stride, &v->u);
    gl.glDrawArrays(strip ? GL_TRIANGLE_STRIP : GL_TRIANGLES, 0, count);
    gl.glDisableClientState(GL_COLOR_ARRAY);
    gl.glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    gl.glDisableClientState(GL_VERTEX_ARRAY);
    return;
  }
  if (strip) {
    for (int i = 2; i < count; i++) {
      if (i & 1)
        Render_DrawTriangle(&v[i - 1], &v[i - 2], &v[i]);
      else
        Render_DrawTriangle(&v[i - 2], &v[i - 1], &v[i]);
    }
  } else {
    for (int i = 0; i + 2 < count; i += 3) Render_DrawTriangle(&v[i], &v[i + 1], &v[i + 2]);
  }
}

void FxDraw_Begin() {
  Render_SetBlend(1);
  Render_SetDepthWrite(0);
  Render_SetCull(0);
  Render_SetLighting(0);
}

void FxDraw_End() {
  Render_SetCull(2);
  Render_SetBlend(0);
  Render_SetDepthWrite(1);
}

static void BindTexture(const char* name) {
  int material = name ? Material_Load(name) : 0;
  Material_Bind(0, material, 0.0, 2);
  Render_SetTexWrap(0, 1);
}

// ---- Laser beams ---------------------------------------------------------------------------------

// Positions and alphas from the ends (texture coordinates too when `withTexture`).
static void Beam_Build(BeamRecord* b, bool withTexture) {
  vec3 d;
  Vec_Subtract(&b->end, &b->start, &d);
  float length = float(Vec_Length(&d));
  vec3 side, upAxis;
  b->drawable = 0;
  if (!(length >= kMinLength) || !std::isfinite(length)) return;
  b->length = length;
  Vec_Scale(&d, 1.0 / length, &b->direction);
  if (!SideAxes(b->direction, b->up, &side, &upAxis)) return;
  b->drawable = 1;

  // Planes: caps at both ends, never longer than half the beam.
  const float cap = std::fmin(b->capLength, length / 2);
  const float rows[kBeamPlaneRows] = {0, cap, length - cap, length};
  const float alpha[kBeamPlaneRows] = {0, 1, 1, 0};
  const float texUnit = b->texLengthScale * b->planeWidth;
  const float step[kBeamPlaneRows] = {0, cap / texUnit, (length - 2 * cap) / texUnit, cap / texUnit};
  const float half = b->planeWidth / 2;
  for (int k = 0; k < kBeamPlanes; k++) {
    vec3 w = Turn(side, upAxis, 60.0f * k);
    float v = b->planeTexOffset[k];
    for (int r = 0; r < kBeamPlaneRows; r++) {
      vec3 centre = Along(b->start, b->direction, rows[r]);
      v += step[r];
      for (int e = 0; e < 2; e++) {
        BeamVertex& out = b->planes[k][r][e];
        out.position = Along(centre, w, e ? half : -half);
        out.alpha = alpha[r];
        if (withTexture) {
          out.u = float(e);
          out.v = v;
        }
      }
    }
  }

  // The tube: start cap, body and end cap along the direction for the tube's own length.
  const float tcap = std::fmin(b->tubeCapLength, b->tubeLength / 2);
  const float ends[kBeamTubePieces][2] = {{0, tcap}, {tcap, b->tubeLength - tcap}, {b->tubeLength - tcap, b->tubeLength}};
  const float alphas[kBeamTubePieces][2] = {{0, 1}, {1, 1}, {1, 0}};
  float v = 0;
  for (int p = 0; p < kBeamTubePieces; p++) {
    for (int ring = 0; ring < 2; ring++) {
      vec3 centre = Along(b->start, b->direction, ends[p][ring]);
      if (ring) v += (ends[p][1] - ends[p][0]) * b->tubeTexFactor[1];
      for (int s = 0; s < kBeamTubeRing; s++) {
        BeamVertex& out = b->tubeRings[p][ring][s];
        out.position = Along(centre, Turn(side, upAxis, 360.0f * s / kBeamTubeSides), b->tubeRadius);
        out.alpha = alphas[p][ring];
        if (withTexture) {
          out.u = float(s) / kBeamTubeSides;
          out.v = v;
        }
      }
    }
  }
}

static void Beam_Start(BeamRecord* b, float time, bool tube) {
  b->planeColor = tube ? vec3{0.2f, 0.5f, 1.0f} : vec3{0.1f, 0.5f, 0.1f};
  b->tubeColor = vec3{0.0f, 0.1f, 0.3f};
  b->planeWidth = tube ? 2.0f : 5.5f;
  b->fadeInTime = 0;
  b->planeFadeTime = tube ? 0.3f : 1.2f;
  b->capLength = 2.0f;
  b->texLengthScale = 100.0f;
  const float offsets[kBeamPlanes] = {-0.2f, -0.15f, -0.1f}, speeds[kBeamPlanes] = {0.04f, 0.03f, 0.02f};
  std::memcpy(b->planeTexOffset, offsets, sizeof offsets);
  std::memcpy(b->planeScroll, speeds, sizeof speeds);
  b->tubeRadius = 0.5f;
  b->tubeLength = 100.0f;
  b->tubeCapLength = 2.0f;
  b->lifetime = tube ? 0.7f : 1.4f;
  b->tubeScroll[0] = 0.2f;
  b->tubeScroll[1] = -0.1f;
  b->tubeTexFactor[0] = 0.7f;
  b->tubeTexFactor[1] = 1.0f;
  b->planeTexture = "uitextures/laser";
  b->tubeTexture = tube ? "uitextures/lasertube" : nullptr;
  b->startTime = time;
  b->lastUpdate = time;
  b->active = 1;
  b->tube = tube ? 1 : 0;
  Beam_Build(b, true);
  b->built = 1;
}

void Beam_StartTube(BeamRecord* b, float time) {
  if (b) Beam_Start(b, time, true);
}

void Beam_StartLaser(BeamRecord* b, float time) {
  if (b) Beam_Start(b, time, false);
}

void Beam_Aim(BeamRecord* b, const vec3* start, const vec3* end, const vec3* up) {
  if (!b || !start || !end || !up) return;
  b->start = *start;
  b->end = *end;
  b->up = *up;
  Beam_Build(b, !b->built);
}

// Moves the vertices' coordinates by (du, dv) and takes whole units off, so they stay small.
static void Scroll(BeamVertex* v, int count, float du, float dv) {
  for (int i = 0; i < count; i++) {
    v[i].u += du;
    v[i].v += dv;
  }
  float wu = std::floor(v[0].u), wv = std::floor(v[0].v);
  if (!std::isfinite(wu) || !std::isfinite(wv)) return;
  for (int i = 0; i < count; i++) {
    v[i].u -= wu;
    v[i].v -= wv;
  }
}

void Beam_Update(BeamRecord* b, float time) {
  if (!b || !b->active) return;
  float age = time - b->startTime;
  float dt = time - b->lastUpdate;
  b->lastUpdate = time;
  if (age > b->planeFadeTime && age > b->lifetime) {
    b->active = 0;
    return;
  }
  for (int k = 0; k < kBeamPlanes; k++) Scroll(&b->planes[k][0][0], kBeamPlaneRows * 2, 0, -dt * b->planeScroll[k]);
  Scroll(&b->tubeRings[0][0][0], kBeamTubePieces * 2 * kBeamTubeRing, -dt * b->tubeScroll[1], -dt * b->tubeScroll[0]);
}

void Beam_Stop(BeamRecord* b) {
  if (b) b->active = 0;
}

static float FadeCurve(float a, float span) {
  if (!(span > 0) || a > span) return 0;
  return Clamp01(1 - std::sin(a / span * kPi / 2));
}

float Beam_PlaneBrightness(const BeamRecord* b, float a) { return FadeCurve(a, b->planeFadeTime); }
float Beam_TubeBrightness(const BeamRecord* b, float a) { return FadeCurve(a, b->lifetime); }

void Beam_Render(BeamRecord* b) {
  if (!b || !b->active || !b->drawable) return;
  const float a = b->lastUpdate - b->startTime - b->fadeInTime;
  const bool planes = a <= b->planeFadeTime;
  const bool tube = b->tube && b->tubeTexture && a <= b->lifetime;
  if (!planes && !tube) return;
  FxDraw_Begin();
  ImmVertex v[kBeamTubeRing * 2];
  if (planes) {
    const float br = Beam_PlaneBrightness(b, a);
    const vec3& c = b->planeColor;
    BindTexture(b->planeTexture);
    for (int k = 0; k < kBeamPlanes; k++) {
      int n = 0;
      for (int r = 0; r < kBeamPlaneRows; r++)
        for (int e = 0; e < 2; e++) {
          const BeamVertex& s = b->planes[k][r][e];
          // Added light: the cap's fade darkens the colour itself.
          float f = br * s.alpha;
          SetImm(&v[n++], s.position, s.u, s.v, c.x * f, c.y * f, c.z * f, s.alpha);
        }
      FxDraw_Arrays(v, n, 1);
    }
  }
  if (tube) {
    const float br = Beam_TubeBrightness(b, a);
    const vec3& c = b->tubeColor;
    BindTexture(b->tubeTexture);
    for (int layer = 0; layer < 2; layer++) {
      // The second layer shows the texture at the first tube factor's scale.
      const float scale = layer ? b->tubeTexFactor[0] : 1.0f;
      for (int p = 0; p < kBeamTubePieces; p++) {
        int n = 0;
        for (int s = 0; s < kBeamTubeRing; s++)
          for (int ring = 0; ring < 2; ring++) {
            const BeamVertex& t = b->tubeRings[p][ring][s];
            float f = br * t.alpha;
            SetImm(&v[n++], t.position, t.u * scale, t.v * scale, c.x * f, c.y * f, c.z * f, t.alpha);
          }
        FxDraw_Arrays(v, n, 1);
      }
    }
  }
  FxDraw_End();
}

// ---- Records -------------------------------------------------------------------------------------

void Beam_CreateAll() {
  for (BeamRecord*& b : Beam_Records)
    if (!b) b = static_cast<BeamRecord*>(Global_MallocZero(sizeof(BeamRecord), "bea_all"));
  if (!Ltn_Record) Ltn_Record = static_cast<LightningRecord*>(Global_MallocZero(sizeof(LightningRecord), "ltn_all"));
}

void Beam_FreeAll() {
  for (BeamRecord*& b : Beam_Records) {
    Global_Free(b);
    b = nullptr;
  }
  Global_Free(Ltn_Record);
  Ltn_Record = nullptr;
}

void Beam_StopAll() {
  for (BeamRecord* b : Beam_Records) Beam_Stop(b);
  if (Ltn_Record) Ltn_SetTime(Ltn_Record, 0);
}
