// Models the benchmarks build with the project's writers.
#pragma once
#include <cmath>
#include <cstdint>

#include "tools/bu_writer.h"

// One BU object: a closed torus of n x m quads (2 n m triangles, every edge shared by two), radii
// 100 and 30 about the origin. No shaders; the object uses shader 0.
inline BuToolObject BenchModel_Torus(int n, int m) {
  BuToolObject obj;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < m; ++j) {
      double a = 2 * M_PI * i / n, b = 2 * M_PI * j / m;
      BuToolVertex v;
      v.position[0] = float((100 + 30 * std::cos(b)) * std::cos(a));
      v.position[1] = float((100 + 30 * std::cos(b)) * std::sin(a));
      v.position[2] = float(30 * std::sin(b));
      obj.vertices.push_back(v);
    }
  auto at = [&](int i, int j) { return uint16_t((i % n) * m + j % m); };
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < m; ++j)
      for (uint16_t k : {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j), at(i + 1, j + 1), at(i, j + 1)})
        obj.indices.push_back(k);
  return obj;
}
