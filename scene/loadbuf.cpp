#include "scene/loadbuf.h"

#include "foundation/file.h"
#include "foundation/mem.h"

uint8_t* Scene_ReadWholeFile(const char* path, const char* tag, uint32_t* size, int* missing) {
  *size = 0;
  *missing = 0;
  FileHandle* f = File_Open(path, "rb");
  if (!f) {
    *missing = 1;
    return nullptr;
  }
  uint32_t n = File_Size(f);
  auto* data = static_cast<uint8_t*>(Global_Malloc(size_t(n) + 1, tag));
  if (data && n && File_Read(data, 1, n, f) != n) {
    Global_Free(data);
    data = nullptr;
  }
  File_Close(f);
  if (data) *size = n;
  return data;
}
