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

void ExpectMat(const mat3& m, const mat3& want, double eps) {
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) EXPECT_NEAR(m.m[i][j], want.m[i][j], eps) << i << "," << j;
}
const mat3 kIdentity = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

}  // namespace

TEST(VecMath, AnglesToMatrixConventionsAndBackAndTheBlendTakesTheShorterArc) {
  // Positive yaw turns forward from +Y toward +X.
  vec3 a = {float(kPi / 2), 0, 0};
  vec3 forward, right, up;
  Mat_AxesFromAngles(&a, &forward, &right, &up);
  ExpectVec(forward, 1, 0, 0);
  ExpectVec(right, 0, -1, 0);
  ExpectVec(up, 0, 0, 1);
  // Pitch raises forward toward +Z.
  a = {0, float(kPi / 2), 0};
  Mat_AxesFromAngles(&a, &forward, nullptr, nullptr);
  ExpectVec(forward, 0, 0, 1, 1e-6);
  // A yaw of t is a rotation of -t about +Z (yaw turns clockwise seen from above).
  vec3 axis{0, 0, 1};
  mat3 m, byAxis;
  a = {0.8f, 0, 0};
  Mat_FromAngles(&m, &a);
  Mat_FromAxisAngle(&axis, -0.8, &byAxis);
  ExpectMat(byAxis, m, 1e-6);
  // Angles through a matrix and back; the forward row gives the same yaw and pitch.
  for (float y : {-3.0f, -1.0f, 0.0f, 0.7f, 2.5f})
    for (float p : {-1.4f, -0.3f, 0.0f, 0.9f, 1.5f})
      for (float r : {-2.0f, 0.0f, 0.25f, 3.0f}) {
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
  // The angle blend takes the shorter arc and always ends.
  float out;
  Math_LerpAngle(3.0f, -3.0f, 0.5f, &out);
  EXPECT_NEAR(out, 3.1416, 1e-3);
  Math_LerpAngle(0.0f, kMathPi, 1.0f, &out);  // d = pi exactly (as the float pi) wraps to -pi
  EXPECT_FLOAT_EQ(out, -kMathPi);
  Math_LerpAngle(0.0f, 20.0f, 1.0f, &out);
  EXPECT_NEAR(out, 20.0 - 6 * double(kMathPi), 1e-5);
  // Endless and huge angles still end.
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  Math_LerpAngle(1.0f, inf, 0.5f, &out);
  EXPECT_FLOAT_EQ(out, 0.5f);
  Math_LerpAngle(nan, 1.0f, 1.0f, &out);
  EXPECT_FLOAT_EQ(out, 1.0f);
  Math_LerpAngle(0.0f, 3.0e38f, 0.25f, &out);
  EXPECT_LE(std::fabs(out), kMathPi / 4 + 1e-6);  // finite and within a quarter turn
}

TEST(VecMath, MultiplyInverseAndTransformRoundTrip) {
  vec3 a1{0.5f, -0.2f, 1.1f}, a2{-2.0f, 0.7f, 0.3f};
  mat3 m1, m2, prod, inv, id;
  Mat_FromAngles(&m1, &a1);
  Mat_FromAngles(&m2, &a2);
  Mat_Multiply(&m1, &m2, &prod);
  // Row vectors: v (m1 m2) = (v m1) m2.
  vec3 v{1, 2, 3}, r1, r2, r3;
  Vec_Rotate(&v, &m1, &r1);
  Vec_Rotate(&r1, &m2, &r2);
  Vec_Rotate(&v, &prod, &r3);
  ExpectVec(r3, r2.x, r2.y, r2.z, 1e-5);
  inv = m1;
  Mat_Inverse(&inv, &inv);  // in place
  Mat_Multiply(&m1, &inv, &id);
  ExpectMat(id, kIdentity, 1e-6);
  // A transform and its inverse, in place, bring a point back.
  vec3 origin{100, -50, 25}, p{3, 4, 5}, world, back;
  Vec_Transform(&p, &m1, &origin, &world);
  Mat_InvertTransform(&m1, &origin, &m1, &origin);
  Vec_Transform(&world, &m1, &origin, &back);
  ExpectVec(back, 3, 4, 5, 1e-4);
  // Normalizing zero, and outputs aliasing their inputs.
  vec3 z{0, 0, 0}, x{1, 0, 0}, y{0, 1, 0}, s{1, 2, 3};
  EXPECT_EQ(Vec_Normalize(&z), 0.0);
  ExpectVec(z, 0, 0, 0, 0);
  Vec_Cross(&x, &y, &x);  // output aliasing an input
  ExpectVec(x, 0, 0, 1, 0);
  Vec_Scale(&s, 2.0, &s);
  ExpectVec(s, 2, 4, 6, 0);
}

// A direction's angles: yaw from +Y towards +X, pitch up towards +Z, no roll; the angles from one
// point to another are those of the difference.
TEST(VecMath, DirectionToAngles) {
  vec3 d{0, 1, 0}, a;
  Vec_ToAngles(&d, &a);
  ExpectVec(a, 0, 0, 0);
  d = {1, 0, 0};
  Vec_ToAngles(&d, &a);
  ExpectVec(a, kPi / 2, 0, 0);
  d = {0, 0, 1};
  Vec_ToAngles(&d, &a);
  ExpectVec(a, 0, kPi / 2, 0);
  d = {-1, -1, std::sqrt(2.0f)};
  Vec_ToAngles(&d, &a);
  ExpectVec(a, -3 * kPi / 4, kPi / 4, 0, 1e-5);
  vec3 from{1, 1, 1}, to{1, 2, 1};
  Vec_AnglesTo(&from, &to, &a);
  ExpectVec(a, 0, 0, 0);
  to = {2, 1, 1};
  Vec_AnglesTo(&from, &to, &a);
  ExpectVec(a, kPi / 2, 0, 0);
}
