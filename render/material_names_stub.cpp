// Placeholder until the material table exists.
#include "render/render.h"

void Material_ReleaseNameTable() {}
