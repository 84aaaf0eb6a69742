// Placeholder until the texture table exists: every index is the empty texture.
#include "render/render.h"

int Tex_GetBindInfo(int, uint32_t* handle, int32_t* fromDds) {
  if (handle) *handle = 0;
  if (fromDds) *fromDds = 0;
  return 0;
}
