// Whole-file reading for the model and level loaders, and the reads ByteReader leaves to them.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/bytereader.h"

// A loader's reading state: the file's bytes, its name and the loader's name for log lines.
struct SceneReader {
  ByteReader in{nullptr, 0};
  const char* who = "";
  const char* path = "";
};

// Reads r->path whole (File_Size, File_Read) into a Global_Malloc block of size + 1 bytes (tag
// `tag`) and points r->in at it. Null, logged "<who>: not found", "<who>: <path> is too large
// (<size> bytes)" (over 256 MiB, the limit of every whole-file read) or "<who>: cannot read", when
// the file cannot be opened, is too large or cannot be read completely. The caller frees the block once reading is done.
uint8_t* Reader_OpenFile(SceneReader* r, const char* tag);

// Logs the first fault in the file; always 0 so callers can return it.
int Reader_Refuse(SceneReader* r, const char* what);

// A count from the file that must not be negative and whose records must fit in the bytes left.
int Reader_CheckCount(SceneReader* r, int32_t count, size_t recordSize, const char* what);

// A zero-filled block of `bytes`; a failed allocation is logged and refuses the file.
int Reader_AllocZero(SceneReader* r, void** out, size_t bytes, const char* tag);

template <typename T>
int Reader_Alloc(SceneReader* r, T** out, int64_t count, const char* tag) {
  void* block = nullptr;
  int ok = Reader_AllocZero(r, &block, size_t(count) * sizeof(T), tag);
  *out = static_cast<T*>(block);
  return ok;
}

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
