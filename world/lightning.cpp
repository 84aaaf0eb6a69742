// The lightning bolt: a line of short segments pushed sideways by six travelling waves, smoothed,
// eased into the straight line at both ends and drawn as three crossed ribbons.
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "foundation/random.h"
#include "render/material.h"
#include "world/beam.h"

LightningRecord* Ltn_Record;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kStep = 0.01;     // the waves are evaluated at most this often (seconds)
constexpr int kPinPoints = 30;     // points over which each end eases into the straight line
constexpr float kVPerSegment = 0.4f;
constexpr double kScrollRates[kLtnRibbons] = {5.0 / 3.0, 10.0 / 3.0, 5.0 / 6.0};

uint8_t Byte(float v) {
  if (!(v > 0)) return 0;
  return v >= 255 ? 255 : uint8_t(v);
}

vec3 Mix(const vec3& a, const vec3& b, float s, const vec3& c, float t) {
  return vec3{a.x + b.x * s + c.x * t, a.y + b.y * s + c.y * t, a.z + b.z * s + c.z * t};
}

double Frac(double x) { return x - std::floor(x); }

// Points on the straight line: one every segment length from the start while short of the end,
// never more than the record holds (a longer bolt takes longer segments).
void BuildLine(LightningRecord* b) {
  b->count = 0;
  b->lineBuilt = 1;
  b->stepBuilt = 0;
  vec3 d;
  Vec_Subtract(&b->end, &b->start, &d);
  double length = Vec_Length(&d);
  b->length = float(length);
  if (!(length >= 0.001) || !std::isfinite(length) || !(b->segmentLength > 0)) return;
  Vec_Scale(&d, 1.0 / length, &b->direction);
  Vec_Cross(&b->direction, &b->up, &b->side);
  double sideLength = Vec_Length(&b->side);
  if (!(sideLength > 1e-6 * Vec_Length(&b->up))) return;
  Vec_Scale(&b->side, 1.0 / sideLength, &b->side);
  Vec_Cross(&b->side, &b->direction, &b->upAxis);
  Vec_Normalize(&b->upAxis);
  double segment = b->segmentLength;
  double n = std::ceil(length / segment);
  if (n > kLtnPoints) {
    n = kLtnPoints;
    segment = length / kLtnPoints;
  }
  b->segmentUsed = float(segment);
  b->count = int(n);
  for (int i = 0; i < b->count; i++) b->points[i].line = Mix(b->start, b->direction, float(i * segment), b->direction, 0);
}

float Pin(int i, int n) {
  double s = i < kPinPoints ? std::fmin(std::sin((i + 1) * kPi / 60), 1.0) : 1.0;
  double e = i > n - kPinPoints ? std::fmin(std::sin((n - i + 1) * kPi / 60), 1.0) : 1.0;
  return float(std::fmin(s, e));
}

void BuildStep(LightningRecord* b) {
  const int n = b->count;
  const double T = b->lastUpdate - b->timeOrigin;
  const float spread = b->displaceScale - b->displaceBase;
  static vec3 wave[kLtnPoints];
  for (int i = 0; i < n; i++) {
    double p = T * b->waveSpeed - 0.1 * i;
    double d[kLtnWaves];
    for (int k = 0; k < kLtnWaves; k++) d[k] = b->waves[k][1] * std::sin(p * b->waves[k][0]);
    float a = float(d[0] + d[1] + d[2]) * spread + b->displaceBase;
    float c = float(d[3] + d[4] + d[5]) * spread + b->displaceBase;
    wave[i] = Mix(b->points[i].line, b->side, a, b->upAxis, c);
  }
  for (int i = 0; i < n; i++) {
    vec3 sum = wave[i];
    int taps = 1;
    for (int j : {i - 1, i + 1}) {
      if (j < 0 || j >= n) continue;
      Vec_Add(&sum, &wave[j], &sum);
      taps++;
    }
    Vec_Scale(&sum, 1.0 / taps, &sum);
    float w = Pin(i, n);
    const vec3& line = b->points[i].line;
    b->points[i].displaced = vec3{w * sum.x + (1 - w) * line.x, w * sum.y + (1 - w) * line.y, w * sum.z + (1 - w) * line.z};
  }
  const float hw = b->halfWidth;
  for (int i = 0; i < n; i++) {
    const vec3& p = b->points[i].displaced;
    const vec3& q = i + 1 < n ? b->points[i + 1].displaced : b->end;
    const float v0 = kVPerSegment * i, v1 = kVPerSegment * (i + 1);
    const float farWeight = i + 1 < n ? 1.0f : 0.0f;  // the bolt fades out at its end
    for (int k = 0; k < kLtnRibbons; k++) {
      double r = kPi / 3 * k;
      vec3 across = Mix(vec3{}, b->side, float(std::cos(r)), b->upAxis, float(std::sin(r)));
      LtnVertex* quad = b->points[i].quads[k];
      quad[0] = LtnVertex{Mix(p, across, -hw, across, 0), 0, v0, 1};
      quad[1] = LtnVertex{Mix(p, across, hw, across, 0), 1, v0, 1};
      quad[2] = LtnVertex{Mix(q, across, hw, across, 0), 1, v1, farWeight};
      quad[3] = LtnVertex{Mix(q, across, -hw, across, 0), 0, v1, farWeight};
    }
  }
  b->stepBuilt = 1;
}

void Build(LightningRecord* b) {
  if (!b->lineBuilt) BuildLine(b);
  if (!b->stepBuilt && b->count > 0) BuildStep(b);
}

}  // namespace

void Ltn_Start(LightningRecord* b, float time) {
  if (!b) return;
  b->color = vec3{0.5f, 0.5f, 0.5f};
  b->halfWidth = 4.0f;
  b->displaceBase = 0.0f;
  b->displaceScale = 4.0f;
  b->texture = "uitextures/lightning";
  static const float kWaves[kLtnWaves][2] = {{3.6f, 1.11f}, {6.5f, -0.65f}, {11.0f, -0.34f},
                                             {4.0f, -0.92f}, {7.0f, 0.43f},  {13.0f, -0.27f}};
  std::memcpy(b->waves, kWaves, sizeof kWaves);
  b->segmentLength = 4.0f;
  b->waveSpeed = 2.8f;
  b->active = 1;
  b->stepBuilt = 0;
  b->lineBuilt = 0;
  // The runtime generator, not the shared table: the bolt is drawn, never simulated.
  b->timeOrigin = double(time) - Crt_Rand();
  b->stepTime = time;
  b->lastUpdate = time;
  Build(b);
}

void Ltn_SetEnds(LightningRecord* b, const vec3* start, const vec3* end, const vec3* up) {
  if (!b || !start || !end || !up) return;
  b->start = *start;
  b->end = *end;
  b->up = *up;
  b->lineBuilt = 0;
  b->stepBuilt = 0;
}

void Ltn_SetTime(LightningRecord* b, float) {
  if (b) b->active = 0;
}

void Ltn_Update(LightningRecord* b, float time) {
  if (!b || !b->active) return;
  b->lastUpdate = time;
  const double due = double(time) - kStep;
  if (b->stepTime < due) {
    // Whole steps at once, however long the gap.
    b->stepTime += std::ceil((due - b->stepTime) / kStep) * kStep;
    b->stepBuilt = 0;
  }
  Build(b);
}

int Ltn_DrawnSegments(const LightningRecord* b) {
  if (!b->active || !b->stepBuilt) return 0;
  double grown = std::trunc((b->lastUpdate - b->timeOrigin) * 300);
  if (!(grown > 0)) return 0;
  return grown < b->count ? int(grown) : b->count;
}

int Ltn_FillTriangles(const LightningRecord* b, ImmVertex* out) {
  const int segments = Ltn_DrawnSegments(b);
  const double T = b->lastUpdate - b->timeOrigin;
  int n = 0;
  static const int kCorners[6] = {0, 1, 2, 0, 2, 3};
  for (int k = 0; k < kLtnRibbons; k++) {
    const float shift = -float(Frac(T * kScrollRates[k]));
    for (int i = 0; i < segments; i++) {
      const LtnVertex* quad = b->points[i].quads[k];
      for (int c : kCorners) {
        const LtnVertex& s = quad[c];
        ImmVertex& o = out[n++];
        o.x = s.position.x;
        o.y = s.position.y;
        o.z = s.position.z;
        o.u = s.u;
        o.v = s.v + shift;
        o.r = Byte(b->color.x * s.weight * 255);
        o.g = Byte(b->color.y * s.weight * 255);
        o.b = Byte(b->color.z * s.weight * 255);
        o.a = 255;
      }
    }
  }
  return n;
}

void Ltn_Render(LightningRecord* b) {
  if (!b || !b->active || Ltn_DrawnSegments(b) == 0) return;
  static ImmVertex triangles[kLtnPoints * kLtnRibbons * 6];
  int n = Ltn_FillTriangles(b, triangles);
  FxDraw_Begin();
  int material = Material_Load(b->texture);
  Material_Bind(0, material, 0.0, 2);
  Render_SetTexWrap(0, 1);
  FxDraw_Arrays(triangles, n, 0);
  FxDraw_End();
}
