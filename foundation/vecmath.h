// Vectors, 3 x 3 rotation matrices and Euler angles.
//
// Game units, Z up, forward +Y. A matrix's rows are the right, forward and up axes; vectors are
// rows multiplied on the left (v' = v.x row0 + v.y row1 + v.z row2). Angles are radians:
// [0] yaw about Z, [1] pitch, [2] roll; positive yaw turns forward from +Y toward +X.
// Arithmetic is done in double precision and stored as float. Outputs may alias inputs unless
// a function says otherwise.
#pragma once

struct vec3 {
  float x, y, z;
};

struct mat3 {
  float m[3][3];  // m[0] right, m[1] forward, m[2] up
};

// pi as the float value 3.1415927, the constant of angle wrapping.
constexpr float kMathPi = 3.14159265358979323846f;

void Vec_Set(vec3* out, float x, float y, float z);
void Vec_Add(const vec3* a, const vec3* b, vec3* out);
void Vec_Subtract(const vec3* a, const vec3* b, vec3* out);
double Vec_Dot(const vec3* a, const vec3* b);
// out = s x v; returns v (the same storage as out when scaling in place).
const vec3* Vec_Scale(const vec3* v, double s, vec3* out);
void Vec_Cross(const vec3* a, const vec3* b, vec3* out);
double Vec_Length(const vec3* v);
// Divides v by its length and returns the former length; a zero vector stays zero and gives 0.
double Vec_Normalize(vec3* v);
// out = v.x row0 + v.y row1 + v.z row2; returns out.
vec3* Vec_Rotate(const vec3* v, const mat3* m, vec3* out);
// out = Vec_Rotate(v, m) + origin.
void Vec_Transform(const vec3* v, const mat3* m, const vec3* origin, vec3* out);

void Mat_Identity(mat3* out);
// out = a b. out must not be a or b.
void Mat_Multiply(const mat3* a, const mat3* b, mat3* out);
// Rotation by angle t about the unit axis u, counter-clockwise under Vec_Rotate (right-hand rule).
void Mat_FromAxisAngle(const vec3* u, double t, mat3* out);
void Mat_FromAngles(mat3* out, const vec3* angles);
void Mat_ToAngles(const mat3* m, vec3* angles);
// The rows of Mat_FromAngles: forward = row1, right = row0, up = row2. Any output may be null.
void Mat_AxesFromAngles(const vec3* angles, vec3* forward, vec3* right, vec3* up);
// Cofactor inverse over the determinant. A singular matrix gives non-finite values.
void Mat_Inverse(const mat3* m, mat3* out);
// outM = inverse of m; outOrigin = -origin rotated by outM.
void Mat_InvertTransform(const mat3* m, const vec3* origin, mat3* outM, vec3* outOrigin);

// yaw = atan2(x, y), pitch = atan2(z, length of (x, y)), roll = 0.
void Vec_ToAngles(const vec3* dir, vec3* angles);
void Vec_AnglesTo(const vec3* from, const vec3* to, vec3* angles);
// out = from + d t, d = to - from wrapped into [-pi, pi): the shorter arc. A non-finite angle
// counts as 0.
void Math_LerpAngle(float from, float to, float t, float* out);

// Real roots of a t^2 + b t + c = 0 into roots[0..1]; returns their count. With a non-zero: two
// roots ((sqrt(disc) - b) / 2a first, then (-b - sqrt(disc)) / 2a) for a positive discriminant,
// one (-b / 2a) for zero, none for negative. With a zero: -c / b when b is non-zero, else none.
int Math_SolveQuadratic(double a, double b, double c, double roots[2]);
// The parameters t, strictly between 0 and 1, of the points p0 + t (p1 - p0) at `radius` from
// the centre, in the order Math_SolveQuadratic gives them; returns their count (0..2).
int Math_SegmentSphere(const vec3* p0, const vec3* p1, const vec3* centre, float radius, float out[2]);
