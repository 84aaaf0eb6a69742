// Bounds-checked little-endian reading and writing of file bytes, field by field.
//
// A read past the end sets `ok` to false and yields zeros; check `ok` once after a run of reads.
#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

struct ByteReader {
  const uint8_t* data;
  size_t size;
  size_t pos = 0;
  bool ok = true;

  ByteReader(const void* bytes, size_t length) : data(static_cast<const uint8_t*>(bytes)), size(length) {}
  size_t Left() const { return pos <= size ? size - pos : 0; }
  bool Take(void* out, size_t n) {
    if (!ok || n > Left()) {
      ok = false;
      if (out && n) std::memset(out, 0, n);
      return false;
    }
    if (out && n) std::memcpy(out, data + pos, n);
    pos += n;
    return true;
  }
  bool Skip(size_t n) { return Take(nullptr, n); }
  uint32_t U32() {
    uint8_t b[4];
    Take(b, 4);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  float F32() {
    uint32_t u = U32();
    float f;
    std::memcpy(&f, &u, 4);
    return f;
  }
  void F32s(float* out, size_t n) {
    for (size_t i = 0; i < n; ++i) out[i] = F32();
  }
  // n little-endian 32-bit words into out (ints or floats, or records made only of them).
  void Words(void* out, size_t n) {
    if (n > Left() / 4) {
      Take(out, Left() + 1);  // fails: zeros and not ok
      return;
    }
    if constexpr (std::endian::native == std::endian::little) {
      Take(out, n * 4);
    } else {
      auto* w = static_cast<uint32_t*>(out);
      for (size_t i = 0; i < n; ++i) w[i] = U32();
    }
  }
};

struct ByteWriter {
  std::string bytes;
  void Put(const void* p, size_t n) { bytes.append(static_cast<const char*>(p), n); }
  void U32(uint32_t v) {
    const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    bytes.append(b, 4);
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void F32(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    U32(u);
  }
  void Zeros(size_t n) { bytes.append(n, '\0'); }
  // A text in a fixed field of n bytes (cut to n, padded with zeros).
  void Text(const char* s, size_t n) {
    const void* end = s ? std::memchr(s, 0, n) : nullptr;
    size_t len = !s ? 0 : end ? size_t(static_cast<const char*>(end) - s) : n;
    Put(s, len);
    Zeros(n - len);
  }
};
