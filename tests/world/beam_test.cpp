// Beams and the lightning bolt: scrolling coordinates, the ends that give no beam at all, the
// bolt's points, waves, steps and drawn triangles.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "foundation/random.h"
#include "world/beam.h"

namespace {

float Dist(const vec3& a, const vec3& b) {
  vec3 d{a.x - b.x, a.y - b.y, a.z - b.z};
  return float(Vec_Length(&d));
}

std::unique_ptr<BeamRecord> Beam(bool tube, vec3 end, vec3 up = {0, 0, 1}) {
  auto b = std::make_unique<BeamRecord>();
  const vec3 start{0, 0, 0};
  Beam_Aim(b.get(), &start, &end, &up);
  tube ? Beam_StartTube(b.get(), 10.0f) : Beam_StartLaser(b.get(), 10.0f);
  return b;
}

TEST(Beams, AimingKeepsTheScrollingCoordinatesSmallAndEndsThatGiveNoBeamDrawNothing) {
  auto b = Beam(true, {0, 50, 0});
  Beam_Update(b.get(), 10.25f);
  // Coordinates count modulo whole textures.
  auto frac = [](double x) { return x - std::floor(x); };
  const float v = b->planes[0][1][0].v;
  EXPECT_NEAR(frac(v), frac(-0.19 - 0.25 * 0.04), 1e-5);
  EXPECT_NEAR(frac(b->tubeRings[0][0][1].u), frac(1 / 16.0 + 0.25 * 0.1), 1e-5);
  const vec3 start{5, 0, 0}, end{5, 0, 80}, up{0, 1, 0};
  Beam_Aim(b.get(), &start, &end, &up);
  EXPECT_EQ(b->planes[0][1][0].v, v);
  EXPECT_NEAR(b->planes[0][3][0].position.z, 80, 1e-4);
  // A long-lived beam keeps scrolling without its coordinates growing.
  b->lifetime = b->planeFadeTime = 1e9f;
  for (int i = 1; i <= 2000; i++) Beam_Update(b.get(), 10.25f + i * 1.0f);
  EXPECT_LT(std::fabs(b->planes[0][0][0].v), 1.0f);
  EXPECT_LT(std::fabs(b->tubeRings[0][0][0].v), 1.0f);
  EXPECT_NEAR(b->planes[0][1][0].v - b->planes[0][0][0].v, 0.01f, 1e-4);  // the shape of the strip stays
  // Ends that give no beam build and draw nothing.
  struct Case {
    vec3 end, up;
  } cases[] = {{{0, 0, 0}, {0, 0, 1}}, {{0, 0.0005f, 0}, {0, 0, 1}}, {{0, 0, 40}, {0, 0, 1}}, {{0, 50, 0}, {0, 0, 0}}};
  for (const Case& c : cases) {
    auto b = Beam(true, c.end, c.up);
    EXPECT_EQ(b->drawable, 0u);
    Beam_Render(b.get());  // no renderer needed: nothing is drawn
  }
}

// The three planes and the tube: vertex places, texture coordinates along and across, alphas
// of the caps; the tube is 100 units long whatever the beam.
TEST(Beams, PlanesAndTubeHaveTheirShapesCoordinatesAndAlphas) {
  auto b = Beam(true, {0, 50, 0}, {0, 0, 5});  // the up vector's length does not matter
  ASSERT_EQ(b->drawable, 1u);
  const float rows[4] = {0, 2, 48, 50}, alpha[4] = {0, 1, 1, 0};
  const float v0[4] = {-0.2f, -0.19f, 0.04f, 0.05f};  // caps 2/200, body 46/200 of a texture
  for (int k = 0; k < kBeamPlanes; k++)
    for (int r = 0; r < kBeamPlaneRows; r++)
      for (int e = 0; e < 2; e++) {
        const BeamVertex& v = b->planes[k][r][e];
        const double angle = k * M_PI / 3;
        const float side = e ? 1.0f : -1.0f;  // half the plane width of 2
        EXPECT_NEAR(v.position.x, side * std::cos(angle), 1e-5) << k << r;
        EXPECT_NEAR(v.position.z, side * std::sin(angle), 1e-5) << k << r;
        EXPECT_NEAR(v.position.y, rows[r], 1e-5);
        EXPECT_EQ(v.u, float(e));
        EXPECT_NEAR(v.v, v0[r] + (k * 0.05f), 1e-5);
        EXPECT_EQ(v.alpha, alpha[r]);
      }
  // The tube: 100 units whatever the beam's length, caps of 2, coordinates along by length x 1.0.
  const float ends[3][2] = {{0, 2}, {2, 98}, {98, 100}}, alphas[3][2] = {{0, 1}, {1, 1}, {1, 0}};
  for (int p = 0; p < kBeamTubePieces; p++)
    for (int ring = 0; ring < 2; ring++)
      for (int s = 0; s < kBeamTubeRing; s++) {
        const BeamVertex& v = b->tubeRings[p][ring][s];
        EXPECT_NEAR(v.position.y, ends[p][ring], 1e-4);
        EXPECT_NEAR(std::hypot(v.position.x, v.position.z), 0.5, 1e-5);
        EXPECT_FLOAT_EQ(v.u, s / 16.0f);
        EXPECT_FLOAT_EQ(v.v, ends[p][ring]);
        EXPECT_EQ(v.alpha, alphas[p][ring]);
      }
  // The seam repeats.
  EXPECT_NEAR(Dist(b->tubeRings[1][0][0].position, b->tubeRings[1][0][16].position), 0, 1e-5);
}

// Both looks: the planes fade along 1 - sqrt, the tube likewise over its life, and the beam ends
// with its life.
TEST(Beams, FadeAndLifeOfBothLooks) {
  struct Case {
    bool tube;
    float fade, life, width;
  } looks[] = {{true, 0.3f, 0.7f, 2.0f}, {false, 1.2f, 1.4f, 5.5f}};
  for (const Case& c : looks) {
    auto b = Beam(c.tube, {0, 50, 0});
    EXPECT_EQ(b->planeWidth, c.width);
    EXPECT_EQ(b->tubeTexture != nullptr, c.tube);
    EXPECT_FLOAT_EQ(Beam_PlaneBrightness(b.get(), 0), 1);
    EXPECT_NEAR(Beam_PlaneBrightness(b.get(), c.fade / 2), 1 - std::sqrt(0.5), 1e-5);
    EXPECT_NEAR(Beam_PlaneBrightness(b.get(), c.fade), 0, 1e-6);
    EXPECT_EQ(Beam_PlaneBrightness(b.get(), c.fade + 0.01f), 0);
    EXPECT_NEAR(Beam_TubeBrightness(b.get(), c.life / 2), 1 - std::sqrt(0.5), 1e-5);
    Beam_Update(b.get(), 10.0f + c.life - 0.01f);
    EXPECT_EQ(b->active, 1u);
    Beam_Update(b.get(), 10.0f + c.life + 0.01f);
    EXPECT_EQ(b->active, 0u);
  }
}

// ---- The bolt ----

std::unique_ptr<LightningRecord> Bolt(vec3 end, float time = 100.0f) {
  auto b = std::make_unique<LightningRecord>();
  const vec3 start{0, 0, 0}, up{0, 0, 1};
  Ltn_SetEnds(b.get(), &start, &end, &up);
  Ltn_Start(b.get(), time);
  return b;
}

TEST(Bolt, PointsEveryFourUnitsAndTrianglesCoverTheBuiltQuads) {
  struct Case {
    float length;
    int count;
    float segment;
  } cases[] = {{10, 3, 4}, {8, 2, 4}, {8000, 2000, 4}, {100000, 2000, 50}};
  for (const Case& c : cases) {
    auto b = Bolt({c.length, 0, 0});
    ASSERT_EQ(b->count, c.count) << c.length;
    EXPECT_FLOAT_EQ(b->segmentUsed, c.segment);
    EXPECT_NEAR(b->points[c.count / 2].line.x, (c.count / 2) * c.segment, 1e-2);
    // The last quads end at the end point, faded out there.
    const LtnVertex* last = b->points[c.count - 1].quads[0];
    EXPECT_NEAR((last[2].position.x + last[3].position.x) / 2, c.length, 1e-2);
    EXPECT_EQ(last[2].weight, 0.0f);
    EXPECT_EQ(last[0].weight, 1.0f);
    EXPECT_FLOAT_EQ(last[2].v, 0.4f * c.count);
  }
  auto none = Bolt({0, 0, 0});
  EXPECT_EQ(none->count, 0);
  // The triangles cover the built quads, scroll and fade at the end.
  auto b = Bolt({0, 10, 0});
  b->timeOrigin = 100.0 - 0.005;  // young: 0.005 s x 300 = one segment grown
  EXPECT_EQ(Ltn_DrawnSegments(b.get()), 1);
  b->timeOrigin = 100.0 - 1.3;  // T = 1.3: scrolls 1.3 x 5/3, 10/3 and 5/6
  Ltn_Update(b.get(), 100.0f);
  ASSERT_EQ(Ltn_DrawnSegments(b.get()), 3);
  std::vector<ImmVertex> v(size_t(3 * kLtnRibbons * 6));
  ASSERT_EQ(Ltn_FillTriangles(b.get(), v.data()), 54);
  const double T = 1.3;
  const double rates[3] = {5.0 / 3, 10.0 / 3, 5.0 / 6};
  for (int k = 0; k < 3; k++) {
    const ImmVertex& first = v[size_t(k * 18)];  // segment 0, near corner, v = 0
    EXPECT_NEAR(first.v, -(T * rates[k] - std::floor(T * rates[k])), 1e-4) << k;
    EXPECT_EQ(first.r, 127);
    const ImmVertex& farEnd = v[size_t(k * 18 + 12 + 2)];  // last segment, far corner
    EXPECT_EQ(farEnd.r, 0);
  }
}

TEST(Bolt, WavesStepAtMostAHundredTimesASecondAndFollowNewEnds) {
  Crt_Srand(7);
  const int randIndex = Math_RandGetIndex();
  auto b = Bolt({0, 200, 0}, 50.0f);
  Crt_Srand(7);
  EXPECT_DOUBLE_EQ(b->timeOrigin, 50.0 - Crt_Rand());  // the runtime generator's draw
  EXPECT_EQ(Math_RandGetIndex(), randIndex);            // not the shared table's
  Ltn_Update(b.get(), 51.0f);
  auto shape = std::make_unique<LightningRecord>(*b);
  Ltn_Update(b.get(), 51.004f);  // within the step: the same shape
  for (int i = 0; i < b->count; i++) EXPECT_EQ(Dist(b->points[i].displaced, shape->points[i].displaced), 0.0f);
  Ltn_Update(b.get(), 51.02f);
  EXPECT_GT(Dist(b->points[40].displaced, shape->points[40].displaced), 0.0f);
  // New ends straighten the line at once; inside, the points move only across the new line.
  const vec3 start{0, 0, 0}, end{100, 0, 0}, up{0, 0, 1};
  Ltn_SetEnds(b.get(), &start, &end, &up);
  Ltn_Update(b.get(), 51.021f);
  EXPECT_EQ(b->count, 25);
  for (int i = 1; i + 1 < b->count; i++) EXPECT_NEAR(b->points[i].displaced.x, i * 4.0f, 1e-3);
  // A very late update takes its steps at once.
  Ltn_Update(b.get(), 3.0e6f);
  EXPECT_GE(b->stepTime, 3.0e6 - 0.0100001);
  EXPECT_LE(b->stepTime, 3.0e6 + 1e-3);
}

// The pinning ramps over the first and last thirty points hold the ends near the straight line,
// also for a bolt of fewer than thirty points, where both ramps apply to every point.
TEST(Bolt, EndsEaseIntoTheStraightLine) {
  const float reach = std::hypot((1.11f + 0.65f + 0.34f) * 4, (0.92f + 0.43f + 0.27f) * 4);
  for (float length : {40.0f, 400.0f}) {
    auto b = Bolt({0, length, 0});
    const int n = b->count;
    float middle = 0;
    for (int i = 0; i < n; i++) {
      float s = i < 30 ? std::fmin(std::sin((i + 1) * M_PI / 60), 1.0) : 1.0f;
      float e = i > n - 30 ? std::fmin(std::sin((n - i + 1) * M_PI / 60), 1.0) : 1.0f;
      float moved = Dist(b->points[i].displaced, b->points[i].line);
      EXPECT_LE(moved, std::fmin(s, e) * reach + 1e-3) << length << " " << i;
      if (i > 30 && i < n - 30) middle = std::fmax(middle, moved);
    }
    if (n > 60) {
      EXPECT_GT(middle, 1.0f);
    }
  }
}

// Switching the bolt off: it stays off through later updates and draws nothing.
TEST(Bolt, SetTimeSwitchesTheBoltOff) {
  auto b = Bolt({0, 200, 0}, 50.0f);
  Ltn_Update(b.get(), 51.0f);
  ASSERT_GT(Ltn_DrawnSegments(b.get()), 0);
  Ltn_SetTime(b.get(), 123.0f);
  EXPECT_EQ(b->active, 0u);
  EXPECT_EQ(Ltn_DrawnSegments(b.get()), 0);
  Ltn_Update(b.get(), 52.0f);
  EXPECT_EQ(b->active, 0u);
  EXPECT_EQ(Ltn_DrawnSegments(b.get()), 0);
}

}  // namespace
