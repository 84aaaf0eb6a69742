// Bounds-checked little-endian reading of a whole model or level file held in memory. A read past
// the end returns zero and clears `ok`, so a loader checks once after a run of reads.
#pragma once
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

struct MdlReader {
  const uint8_t* data;
  size_t size;
  size_t pos;
  bool ok;
};

inline MdlReader MdlReader_Make(const void* data, size_t size) {
  return MdlReader{static_cast<const uint8_t*>(data), size, 0, true};
}
inline size_t MdlReader_Left(const MdlReader* r) { return r->pos <= r->size ? r->size - r->pos : 0; }
// True when `count` records of `recordSize` bytes are still there (64-bit arithmetic, count >= 0).
inline bool MdlReader_Holds(const MdlReader* r, int64_t count, size_t recordSize) {
  return count >= 0 && uint64_t(count) <= MdlReader_Left(r) / recordSize;
}
inline const uint8_t* MdlReader_Take(MdlReader* r, size_t n) {
  if (!r->ok || MdlReader_Left(r) < n) {
    r->ok = false;
    return nullptr;
  }
  const uint8_t* p = r->data + r->pos;
  r->pos += n;
  return p;
}
inline uint32_t MdlReader_U32(MdlReader* r) {
  const uint8_t* p = MdlReader_Take(r, 4);
  if (!p) return 0;
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline int32_t MdlReader_I32(MdlReader* r) { return int32_t(MdlReader_U32(r)); }
inline float MdlReader_F32(MdlReader* r) {
  uint32_t u = MdlReader_U32(r);
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}
inline uint16_t MdlReader_U16(MdlReader* r) {
  const uint8_t* p = MdlReader_Take(r, 2);
  return p ? uint16_t(p[0] | (p[1] << 8)) : 0;
}
inline void MdlReader_Skip(MdlReader* r, size_t n) { MdlReader_Take(r, n); }
// Reads floats; false (and `ok` untouched) when one of them is not finite.
inline bool MdlReader_Floats(MdlReader* r, float* out, int n) {
  bool finite = true;
  for (int i = 0; i < n; i++) {
    out[i] = MdlReader_F32(r);
    if (!std::isfinite(out[i])) finite = false;
  }
  return finite;
}
// A text field of `field` bytes copied into out (field + 1 bytes); false when no zero byte ends it
// inside the field.
inline bool MdlReader_Name(MdlReader* r, char* out, size_t field) {
  const uint8_t* p = MdlReader_Take(r, field);
  if (!p) {
    out[0] = 0;
    return true;
  }
  size_t n = strnlen(reinterpret_cast<const char*>(p), field);
  std::memcpy(out, p, n);
  out[n] = 0;
  return n < field;
}
