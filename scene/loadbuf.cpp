#include "scene/loadbuf.h"

#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"

uint8_t* Reader_OpenFile(SceneReader* r, const char* tag) {
  FileHandle* f = File_Open(r->path, "rb");
  if (!f) {
    Log_Printf("%s: not found %s.\n", r->who, r->path);
    return nullptr;
  }
  uint32_t n = File_Size(f);
  if (!File_WholeSizeAllowed(r->who, r->path, n)) {
    File_Close(f);
    return nullptr;
  }
  auto* data = static_cast<uint8_t*>(Global_Malloc(size_t(n) + 1, tag));
  if (data && n && File_Read(data, 1, n, f) != n) {
    Global_Free(data);
    data = nullptr;
  }
  File_Close(f);
  if (!data) {
    Log_Printf("%s: cannot read %s.\n", r->who, r->path);
    return nullptr;
  }
  r->in = ByteReader(data, n);
  return data;
}

int Reader_Refuse(SceneReader* r, const char* what) {
  if (!r->in.ok)
    Log_Printf("%s: %s runs past the end of %s.\n", r->who, what, r->path);
  else
    Log_Printf("%s: bad %s in %s.\n", r->who, what, r->path);
  return 0;
}

int Reader_CheckCount(SceneReader* r, int32_t count, size_t recordSize, const char* what) {
  if (count < 0) return Reader_Refuse(r, what);
  if (!Reader_Fits(r->in, count, recordSize)) {
    r->in.ok = false;
    return Reader_Refuse(r, what);
  }
  return 1;
}

int Reader_AllocZero(SceneReader* r, void** out, size_t bytes, const char* tag) {
  *out = Global_MallocZero(bytes, tag);
  if (*out || bytes == 0) return 1;
  Log_Printf("%s: Global_Malloc in %s %s.\n", r->who, tag, r->path);
  return 0;
}
