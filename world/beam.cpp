#include "world/beam.h"

// The beam and lightning effects arrive later; no records until then.
void Beam_CreateAll() {}
void Beam_FreeAll() {}
