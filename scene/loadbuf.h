// Whole-file reading for the model and level loaders, and the reads ByteReader leaves to them.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/bytereader.h"

// The whole file in a Global_Malloc block of size + 1 bytes (tag `tag`), read with File_Size and
// File_Read. Null when it cannot be opened (*missing = 1) or read completely (*missing = 0).
uint8_t* Scene_ReadWholeFile(const char* path, const char* tag, uint32_t* size, int* missing);

inline uint16_t Reader_U16(ByteReader& r) {
  uint8_t b[2];
  r.Take(b, 2);
  return uint16_t(b[0] | b[1] << 8);
}

// A text field of `size` bytes; its last byte is forced to NUL.
inline void Reader_Name(ByteReader& r, char* out, size_t size) {
  r.Take(out, size);
  out[size - 1] = 0;
}

// True when `count` records of `recordSize` bytes are not negative in number and fit in the bytes
// left.
inline bool Reader_Fits(const ByteReader& r, int64_t count, size_t recordSize) {
  return count >= 0 && uint64_t(count) * recordSize <= r.Left();
}
