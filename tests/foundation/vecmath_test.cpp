// Vectors, matrices and angles: the engine's axis conventions and golden values.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "foundation/vecmath.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

void ExpectVec(const vec3& v, double x, double y, double z, double eps = 1e-6) {
  EXPECT_NEAR(v.x, x, eps);
  EXPECT_NEAR(v.y, y, eps);
  EXPECT_NEAR(v.z, z, eps);
}

void ExpectIdentity(const mat3& m, double eps) {
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) EXPECT_NEAR(m.m[i][j], i == j ? 1.0 : 0.0, eps) << i << "," << j;
}

}  // namespace

TEST(VecMath, AnglesToMatrixConventions) {
  mat3 m;
  vec3 a{0, 0, 0};
  Mat_FromAngles(&m, &a);
  ExpectIdentity(m, 0);
  // Positive yaw turns forward from +Y toward +X.
  a = {float(kPi / 2), 0, 0};
  vec3 forward, right, up;
  Mat_AxesFromAngles(&a, &forward, &right, &up);
  ExpectVec(forward, 1, 0, 0);
  ExpectVec(right, 0, -1, 0);
  ExpectVec(up, 0, 0, 1);
  // Forward = (sin yaw cos pitch, cos yaw cos pitch, sin pitch).
  a = {0.3f, 0.4f, 0.5f};
  Mat_AxesFromAngles(&a, &forward, nullptr, nullptr);
  ExpectVec(forward, std::sin(0.3) * std::cos(0.4), std::cos(0.3) * std::cos(0.4), std::sin(0.4));
  // A local offset (right, forward, up) turns into world axes.
  a = {float(kPi / 2), 0, 0};
  Mat_FromAngles(&m, &a);
  vec3 local{0, 10, 0}, world;
  Vec_Rotate(&local, &m, &world);
  ExpectVec(world, 10, 0, 0, 1e-5);
}

TEST(VecMath, DirectionToAngles) {
  vec3 d{0, 1, 0}, a;
  Vec_ToAngles(&d, &a);
  ExpectVec(a, 0, 0, 0);
  d = {1, 0, 0};
  Vec_ToAngles(&d, &a);
  EXPECT_NEAR(a.x, kPi / 2, 1e-6);
  d = {0, 0, 1};
  Vec_ToAngles(&d, &a);
  EXPECT_NEAR(a.y, kPi / 2, 1e-6);
  vec3 from{1, 1, 1}, to{1, 2, 1};
  Vec_AnglesTo(&from, &to, &a);
  ExpectVec(a, 0, 0, 0);
}

TEST(VecMath, AnglesRoundTrip) {
  const float yaws[] = {-3.0f, -1.0f, 0.0f, 0.7f, 2.5f};
  const float pitches[] = {-1.4f, -0.3f, 0.0f, 0.9f, 1.5f};
  const float rolls[] = {-2.0f, 0.0f, 0.25f, 3.0f};
  for (float y : yaws)
    for (float p : pitches)
      for (float r : rolls) {
        vec3 a{y, p, r}, back;
        mat3 m;
        Mat_FromAngles(&m, &a);
        Mat_ToAngles(&m, &back);
        ExpectVec(back, y, p, r, 2e-4);
        // The forward row gives the same yaw and pitch.
        vec3 forward{m.m[1][0], m.m[1][1], m.m[1][2]};
        Vec_ToAngles(&forward, &back);
        EXPECT_NEAR(back.x, y, 2e-4);
        EXPECT_NEAR(back.y, p, 2e-4);
      }
}

TEST(VecMath, NormalizeCrossScaleLength) {
  vec3 z{0, 0, 0};
  EXPECT_EQ(Vec_Normalize(&z), 0.0);
  ExpectVec(z, 0, 0, 0, 0);
  vec3 v{3, 4, 0};
  EXPECT_DOUBLE_EQ(Vec_Normalize(&v), 5.0);
  ExpectVec(v, 0.6, 0.8, 0);
  vec3 x{1, 0, 0}, y{0, 1, 0}, c;
  Vec_Cross(&x, &y, &c);
  ExpectVec(c, 0, 0, 1, 0);
  Vec_Cross(&x, &y, &x);  // output aliasing an input
  ExpectVec(x, 0, 0, 1, 0);
  vec3 s{1, 2, 3}, t;
  EXPECT_EQ(Vec_Scale(&s, 2.0, &t), &s);
  ExpectVec(t, 2, 4, 6, 0);
  Vec_Scale(&s, 2.0, &s);
  ExpectVec(s, 2, 4, 6, 0);
  EXPECT_NEAR(Vec_Length(&s), std::sqrt(56.0), 1e-6);
}

TEST(VecMath, AxisAngleIsCounterClockwise) {
  vec3 axis{0, 0, 1}, v{1, 0, 0}, out;
  mat3 m;
  Mat_FromAxisAngle(&axis, kPi / 2, &m);
  Vec_Rotate(&v, &m, &out);
  ExpectVec(out, 0, 1, 0);
  // A yaw of t is a rotation of -t about +Z (yaw turns clockwise seen from above).
  vec3 angles{0.8f, 0, 0};
  mat3 fromAngles;
  Mat_FromAngles(&fromAngles, &angles);
  Mat_FromAxisAngle(&axis, -0.8, &m);
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) EXPECT_NEAR(m.m[i][j], fromAngles.m[i][j], 1e-6);
}

TEST(VecMath, MultiplyInverseAndTransformRoundTrip) {
  vec3 a1{0.5f, -0.2f, 1.1f}, a2{-2.0f, 0.7f, 0.3f};
  mat3 m1, m2, prod, inv;
  Mat_FromAngles(&m1, &a1);
  Mat_FromAngles(&m2, &a2);
  Mat_Multiply(&m1, &m2, &prod);
  // Row vectors: v (m1 m2) = (v m1) m2.
  vec3 v{1, 2, 3}, r1, r2, r3;
  Vec_Rotate(&v, &m1, &r1);
  Vec_Rotate(&r1, &m2, &r2);
  Vec_Rotate(&v, &prod, &r3);
  ExpectVec(r3, r2.x, r2.y, r2.z, 1e-5);
  // The inverse of a rotation is its transpose; in place works.
  Mat_Inverse(&m1, &inv);
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) EXPECT_NEAR(inv.m[i][j], m1.m[j][i], 1e-6);
  mat3 same = m1;
  Mat_Inverse(&same, &same);
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) EXPECT_FLOAT_EQ(same.m[i][j], inv.m[i][j]);
  mat3 id;
  Mat_Multiply(&m1, &inv, &id);
  ExpectIdentity(id, 1e-6);

  vec3 origin{100, -50, 25}, p{3, 4, 5}, world, back, invOrigin;
  mat3 invM;
  Vec_Transform(&p, &m1, &origin, &world);
  Mat_InvertTransform(&m1, &origin, &invM, &invOrigin);
  Vec_Transform(&world, &invM, &invOrigin, &back);
  ExpectVec(back, 3, 4, 5, 1e-4);
  // In place as well.
  mat3 m = m1;
  vec3 o = origin;
  Mat_InvertTransform(&m, &o, &m, &o);
  Vec_Transform(&world, &m, &o, &back);
  ExpectVec(back, 3, 4, 5, 1e-4);
}

TEST(VecMath, SingularInverseIsNotFinite) {
  mat3 s = {{{1, 2, 3}, {2, 4, 6}, {0, 0, 1}}}, out;
  Mat_Inverse(&s, &out);
  bool anyNonFinite = false;
  for (auto& row : out.m)
    for (float f : row) anyNonFinite |= !std::isfinite(f);
  EXPECT_TRUE(anyNonFinite);
}

TEST(VecMath, LerpAngleTakesShorterArc) {
  float out;
  Math_LerpAngle(3.0f, -3.0f, 0.5f, &out);
  EXPECT_NEAR(out, 3.1416, 1e-3);
  Math_LerpAngle(0.5f, 1.5f, 0.5f, &out);
  EXPECT_FLOAT_EQ(out, 1.0f);
  Math_LerpAngle(-3.0f, 3.0f, 1.0f, &out);  // not wrapped again
  EXPECT_NEAR(out, -3.0 - (2 * kPi - 6.0), 1e-5);
  // d = pi exactly (as the float pi) wraps to -pi.
  Math_LerpAngle(0.0f, kMathPi, 1.0f, &out);
  EXPECT_FLOAT_EQ(out, -kMathPi);
  Math_LerpAngle(0.0f, 20.0f, 1.0f, &out);
  EXPECT_NEAR(out, 20.0 - 6 * double(kMathPi), 1e-5);
}

// The plain wrapping loop, for comparison with the bounded one.
static float LoopLerp(float from, float to, float t) {
  double d = double(to) - from, pi = double(kMathPi);
  while (d >= pi) d -= 2 * pi;
  while (d < -pi) d += 2 * pi;
  return float(from + d * t);
}

TEST(VecMath, LerpAngleAlwaysEnds) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  float out = 99;
  Math_LerpAngle(1.0f, inf, 0.5f, &out);
  EXPECT_FLOAT_EQ(out, LoopLerp(1.0f, 0.0f, 0.5f));
  Math_LerpAngle(nan, 1.0f, 1.0f, &out);
  EXPECT_FLOAT_EQ(out, 1.0f);
  Math_LerpAngle(-inf, inf, 0.5f, &out);
  EXPECT_EQ(out, 0.0f);
  Math_LerpAngle(0.0f, 3.0e38f, 0.25f, &out);
  EXPECT_TRUE(std::isfinite(out));
  EXPECT_LE(std::fabs(out), kMathPi / 4 + 1e-6);
  Math_LerpAngle(1.0e20f, -1.0e20f, 1.0f, &out);
  EXPECT_TRUE(std::isfinite(out));
  // Ordinary inputs match the loop exactly.
  for (float from = -40.0f; from <= 40.0f; from += 3.7f)
    for (float to = -40.0f; to <= 40.0f; to += 2.9f) {
      Math_LerpAngle(from, to, 0.3f, &out);
      EXPECT_EQ(out, LoopLerp(from, to, 0.3f)) << from << " " << to;
    }
}
