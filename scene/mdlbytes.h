// Helpers over the bounds-checked reader for the model and level loaders.
#pragma once
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "foundation/bytereader.h"
#include "foundation/mem.h"

// True when `count` records of `recordSize` bytes are still there (64-bit arithmetic, count >= 0).
inline bool MdlReader_Holds(const ByteReader* r, int64_t count, size_t recordSize) {
  return count >= 0 && uint64_t(count) <= r->Left() / recordSize;
}
// A zero-filled array of `count` records (tag `tag`) in *out; nothing for a count of 0 or less.
// False when the allocation fails.
template <typename T>
bool MdlReader_Alloc(T** out, int32_t count, const char* tag) {
  if (count <= 0) return true;
  *out = static_cast<T*>(Global_MallocZero(sizeof(T) * size_t(count), tag));
  return *out != nullptr;
}
// The next n bytes in place, or null (and `ok` cleared) when the file ends first.
inline const uint8_t* MdlReader_Take(ByteReader* r, size_t n) {
  if (!r->ok || r->Left() < n) {
    r->ok = false;
    return nullptr;
  }
  const uint8_t* p = r->data + r->pos;
  r->pos += n;
  return p;
}
inline uint16_t MdlReader_U16(ByteReader* r) {
  const uint8_t* p = MdlReader_Take(r, 2);
  return p ? uint16_t(p[0] | (p[1] << 8)) : 0;
}
// Reads floats; false when one of them is not finite.
inline bool MdlReader_Floats(ByteReader* r, float* out, int n) {
  bool finite = true;
  for (int i = 0; i < n; i++) {
    out[i] = r->F32();
    if (!std::isfinite(out[i])) finite = false;
  }
  return finite;
}
// A text field of `field` bytes copied into out (field + 1 bytes); false when no zero byte ends it
// inside the field.
inline bool MdlReader_Name(ByteReader* r, char* out, size_t field) {
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
