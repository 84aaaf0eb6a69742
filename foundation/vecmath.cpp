#include "foundation/vecmath.h"

#include <cmath>

void Vec_Set(vec3* out, float x, float y, float z) {
  out->x = x;
  out->y = y;
  out->z = z;
}

void Vec_Add(const vec3* a, const vec3* b, vec3* out) {
  double x = double(a->x) + b->x, y = double(a->y) + b->y, z = double(a->z) + b->z;
  Vec_Set(out, float(x), float(y), float(z));
}

void Vec_Subtract(const vec3* a, const vec3* b, vec3* out) {
  double x = double(a->x) - b->x, y = double(a->y) - b->y, z = double(a->z) - b->z;
  Vec_Set(out, float(x), float(y), float(z));
}

double Vec_Dot(const vec3* a, const vec3* b) {
  return double(a->x) * b->x + double(a->y) * b->y + double(a->z) * b->z;
}

const vec3* Vec_Scale(const vec3* v, double s, vec3* out) {
  Vec_Set(out, float(s * v->x), float(s * v->y), float(s * v->z));
  return v;
}

void Vec_Cross(const vec3* a, const vec3* b, vec3* out) {
  double x = double(a->y) * b->z - double(a->z) * b->y;
  double y = double(a->z) * b->x - double(a->x) * b->z;
  double z = double(a->x) * b->y - double(a->y) * b->x;
  Vec_Set(out, float(x), float(y), float(z));
}

double Vec_Length(const vec3* v) { return std::sqrt(Vec_Dot(v, v)); }

double Vec_Normalize(vec3* v) {
  double length = Vec_Length(v);
  if (length == 0.0) return 0.0;
  double inv = 1.0 / length;
  Vec_Set(v, float(v->x * inv), float(v->y * inv), float(v->z * inv));
  return length;
}

vec3* Vec_Rotate(const vec3* v, const mat3* m, vec3* out) {
  double r[3];
  for (int j = 0; j < 3; j++)
    r[j] = double(v->x) * m->m[0][j] + double(v->y) * m->m[1][j] + double(v->z) * m->m[2][j];
  Vec_Set(out, float(r[0]), float(r[1]), float(r[2]));
  return out;
}

void Vec_Transform(const vec3* v, const mat3* m, const vec3* origin, vec3* out) {
  double r[3];
  const float o[3] = {origin->x, origin->y, origin->z};
  for (int j = 0; j < 3; j++)
    r[j] = double(v->x) * m->m[0][j] + double(v->y) * m->m[1][j] + double(v->z) * m->m[2][j] + o[j];
  Vec_Set(out, float(r[0]), float(r[1]), float(r[2]));
}

void Mat_Identity(mat3* out) {
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) out->m[i][j] = i == j ? 1.0f : 0.0f;
}

void Mat_Multiply(const mat3* a, const mat3* b, mat3* out) {
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) {
      double s = 0.0;
      for (int k = 0; k < 3; k++) s += double(a->m[i][k]) * b->m[k][j];
      out->m[i][j] = float(s);
    }
}

void Mat_FromAxisAngle(const vec3* u, double t, mat3* out) {
  double c = std::cos(t), s = std::sin(t), k = 1.0 - c;
  double x = u->x, y = u->y, z = u->z;
  out->m[0][0] = float(x * x * k + c);
  out->m[0][1] = float(x * y * k + s * z);
  out->m[0][2] = float(x * z * k - s * y);
  out->m[1][0] = float(x * y * k - s * z);
  out->m[1][1] = float(y * y * k + c);
  out->m[1][2] = float(y * z * k + s * x);
  out->m[2][0] = float(x * z * k + s * y);
  out->m[2][1] = float(y * z * k - s * x);
  out->m[2][2] = float(z * z * k + c);
}

void Mat_FromAngles(mat3* out, const vec3* angles) {
  double cy = std::cos(double(angles->x)), sy = std::sin(double(angles->x));
  double cp = std::cos(double(angles->y)), sp = std::sin(double(angles->y));
  double cr = std::cos(double(angles->z)), sr = std::sin(double(angles->z));
  out->m[0][0] = float(cr * cy - sr * sp * sy);
  out->m[0][1] = float(-cr * sy - sr * sp * cy);
  out->m[0][2] = float(sr * cp);
  out->m[1][0] = float(cp * sy);
  out->m[1][1] = float(cp * cy);
  out->m[1][2] = float(sp);
  out->m[2][0] = float(-sr * cy - cr * sp * sy);
  out->m[2][1] = float(sr * sy - cr * sp * cy);
  out->m[2][2] = float(cr * cp);
}

void Mat_ToAngles(const mat3* m, vec3* angles) {
  double yaw = std::atan2(double(m->m[1][0]), double(m->m[1][1]));
  double a = m->m[0][2], b = m->m[2][2];
  double pitch = std::atan2(double(m->m[1][2]), std::sqrt(a * a + b * b));
  double roll = std::atan2(a, b);
  Vec_Set(angles, float(yaw), float(pitch), float(roll));
}

void Mat_AxesFromAngles(const vec3* angles, vec3* forward, vec3* right, vec3* up) {
  mat3 m;
  Mat_FromAngles(&m, angles);
  if (forward) Vec_Set(forward, m.m[1][0], m.m[1][1], m.m[1][2]);
  if (right) Vec_Set(right, m.m[0][0], m.m[0][1], m.m[0][2]);
  if (up) Vec_Set(up, m.m[2][0], m.m[2][1], m.m[2][2]);
}

void Mat_Inverse(const mat3* m, mat3* out) {
  const float(*a)[3] = m->m;
  double c[3][3];
  c[0][0] = double(a[1][1]) * a[2][2] - double(a[1][2]) * a[2][1];
  c[0][1] = double(a[0][2]) * a[2][1] - double(a[0][1]) * a[2][2];
  c[0][2] = double(a[0][1]) * a[1][2] - double(a[0][2]) * a[1][1];
  c[1][0] = double(a[1][2]) * a[2][0] - double(a[1][0]) * a[2][2];
  c[1][1] = double(a[0][0]) * a[2][2] - double(a[0][2]) * a[2][0];
  c[1][2] = double(a[0][2]) * a[1][0] - double(a[0][0]) * a[1][2];
  c[2][0] = double(a[1][0]) * a[2][1] - double(a[1][1]) * a[2][0];
  c[2][1] = double(a[0][1]) * a[2][0] - double(a[0][0]) * a[2][1];
  c[2][2] = double(a[0][0]) * a[1][1] - double(a[0][1]) * a[1][0];
  double det = double(a[0][0]) * c[0][0] + double(a[0][1]) * c[1][0] + double(a[0][2]) * c[2][0];
  // 1/determinant is taken once, as a float; a zero determinant gives infinities and NaNs.
  float inv = float(1.0 / det);
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) out->m[i][j] = float(c[i][j] * inv);
}

void Mat_InvertTransform(const mat3* m, const vec3* origin, mat3* outM, vec3* outOrigin) {
  vec3 negated;
  Vec_Set(&negated, -origin->x, -origin->y, -origin->z);
  Mat_Inverse(m, outM);
  Vec_Rotate(&negated, outM, outOrigin);
}

void Vec_ToAngles(const vec3* dir, vec3* angles) {
  double x = dir->x, y = dir->y, z = dir->z;
  double yaw = std::atan2(x, y);
  double pitch = std::atan2(z, std::sqrt(x * x + y * y));
  Vec_Set(angles, float(yaw), float(pitch), 0.0f);
}

void Vec_AnglesTo(const vec3* from, const vec3* to, vec3* angles) {
  vec3 d;
  Vec_Subtract(to, from, &d);
  Vec_ToAngles(&d, angles);
}

void Math_LerpAngle(float from, float to, float t, float* out) {
  // An angle that is infinite or NaN (a damaged save or network message, a physics blow-up)
  // counts as 0, so that the wrapping below always ends.
  double f = std::isfinite(from) ? double(from) : 0.0;
  double d = (std::isfinite(to) ? double(to) : 0.0) - f;
  const double pi = double(kMathPi), twoPi = 2.0 * double(kMathPi);
  // A huge difference is reduced in one step; ordinary ones take the plain loop below.
  if (d > 64.0 * pi || d < -64.0 * pi) d = std::fmod(d, twoPi);
  while (d >= pi) d -= twoPi;
  while (d < -pi) d += twoPi;
  *out = float(f + d * double(t));
}

int Math_SolveQuadratic(double a, double b, double c, double roots[2]) {
  if (a == 0) {
    if (b == 0) return 0;
    roots[0] = -c / b;
    return 1;
  }
  double disc = b * b - 4 * a * c;
  if (disc < 0) return 0;  // also NaN: no root
  if (disc == 0) {
    roots[0] = -b / (2 * a);
    return 1;
  }
  double s = std::sqrt(disc);
  roots[0] = (s - b) / (2 * a);
  roots[1] = (-b - s) / (2 * a);
  return 2;
}

int Math_SegmentSphere(const vec3* p0, const vec3* p1, const vec3* centre, float radius, float out[2]) {
  double dx = double(p1->x) - p0->x, dy = double(p1->y) - p0->y, dz = double(p1->z) - p0->z;
  double ox = double(p0->x) - centre->x, oy = double(p0->y) - centre->y, oz = double(p0->z) - centre->z;
  double roots[2];
  int n = Math_SolveQuadratic(dx * dx + dy * dy + dz * dz, 2 * (dx * ox + dy * oy + dz * oz),
                              ox * ox + oy * oy + oz * oz - double(radius) * radius, roots);
  int kept = 0;
  for (int i = 0; i < n; i++)
    if (roots[i] > 0 && roots[i] < 1) out[kept++] = float(roots[i]);
  return kept;
}
