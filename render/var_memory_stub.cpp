// Placeholder until the vertex-array memory exists.
#include "render/render.h"

void OPENGL_ResetDynamicVar() {}
