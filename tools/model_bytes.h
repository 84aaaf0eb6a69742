// Little-endian byte output shared by the model and level writers.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct ToolBytes {
  std::vector<uint8_t> data;
  void U16(uint32_t v) {
    data.push_back(uint8_t(v));
    data.push_back(uint8_t(v >> 8));
  }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) data.push_back(uint8_t(v >> (8 * i)));
  }
  void I32(int32_t v) { U32(uint32_t(v)); }
  void F32(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    U32(u);
  }
  void Floats(const float* f, size_t n) {
    for (size_t i = 0; i < n; ++i) F32(f[i]);
  }
  void Zeros(size_t n) { data.insert(data.end(), n, 0); }
  // A text in a field of `size` bytes, cut to size - 1 characters, the rest zero.
  void Text(const std::string& s, size_t size) {
    size_t n = s.size() < size ? s.size() : size - 1;
    data.insert(data.end(), s.begin(), s.begin() + long(n));
    Zeros(size - n);
  }
  size_t Size() const { return data.size(); }
};
