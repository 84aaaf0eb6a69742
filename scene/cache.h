// The by-name cache shared by the model, skeleton and animation registries.
#pragma once
#include "scene/model.h"

struct ModelCache {
  ModelCacheEntry entries[kModelCacheSize];
  int count;
};

// The cached object of a name (letter case ignored; its count raised), else load(name) appended
// with count 1. Null for a null or empty name, a name of 128 characters or more (one log line
// naming `who`), a full cache or a failed load (nothing cached).
void* Cache_Get(ModelCache* cache, const char* name, void* (*load)(const char*), const char* who);
