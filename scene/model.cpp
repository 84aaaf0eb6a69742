// The model registry's entries. No model or level format is registered yet, so the cache
// stays empty and releasing it has nothing to do.
#include "scene/model.h"
void Model_Init(int) {}
void Model_Reset() {}
void Model_FreeAll() {}
