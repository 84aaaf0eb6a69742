// Shared by the ".may" level's own files.
#pragma once
#include "scene/may.h"

// The surface number of a shader name: the 0-based position in the surface list of the first id
// equal to it (any case), 0 when none is.
int Maya_SurfaceType(const char* name);
// Reads "<name>.hmp" and, when it is there, fills the tree's triangles and builds or loads it.
void Maya_BuildTree(MaylLevel* level, const char* name);
void Maya_FreeTree(MaylLevel* level);
