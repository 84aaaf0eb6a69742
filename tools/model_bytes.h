// What the model and level writers add to ByteWriter: 16-bit words, float runs, text fields that
// always keep a terminating zero, and the bytes as a vector.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/bytereader.h"

inline void Bytes_U16(ByteWriter& w, uint32_t v) {
  const char b[2] = {char(v), char(v >> 8)};
  w.Put(b, 2);
}
inline void Bytes_Floats(ByteWriter& w, const float* f, size_t n) {
  for (size_t i = 0; i < n; ++i) w.F32(f[i]);
}
// A text in a field of `size` bytes, cut to size - 1 characters, the rest zero.
inline void Bytes_Name(ByteWriter& w, const std::string& s, size_t size) {
  size_t n = s.size() < size ? s.size() : size - 1;
  w.Put(s.data(), n);
  w.Zeros(size - n);
}
inline std::vector<uint8_t> Bytes_Vector(const ByteWriter& w) {
  return std::vector<uint8_t>(w.bytes.begin(), w.bytes.end());
}
