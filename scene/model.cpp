// The model registry: loader table, model cache, surface list and drawing switches.
#include "scene/model.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/namehash.h"
#include "foundation/partoken.h"
#include "foundation/var.h"
#include "scene/cache.h"
#include "scene/skeleton.h"
#include "scene/view.h"
#include "world/fx.h"
#include "world/level.h"

#include "scene/mp.h"
#include "scene/may.h"
#include "scene/du.h"
#include "scene/bu.h"

namespace {
constexpr uint32_t kNumSaved = VAR_NUMERIC | VAR_SETTABLE | VAR_ALWAYS;
constexpr uint32_t kTextSaved = VAR_SETTABLE | VAR_ALWAYS;

ModelLoader g_loaders[kModelLoaderMax];
int g_loaderCount;
ModelCache g_models;
std::vector<std::string> g_missing;  // names Model_Find asked for that no loader took
}  // namespace

VarRecord model_draw_lightmap = {"model_draw_lightmap", 0, kNumSaved, 1, "1", 0, nullptr};
VarRecord model_draw_dinamiclightmap = {"model_draw_dinamiclightmap", 0, kNumSaved, 0, "0", 0, nullptr};
VarRecord model_draw_shadowslightmap = {"model_draw_shadowslightmap", 0, kNumSaved, 0, "0", 0, nullptr};
VarRecord model_draw_freezlightmap = {"model_draw_freezlightmap", 0, kNumSaved, 0, "0", 0, nullptr};
VarRecord model_draw_detail = {"model_draw_detail", 0, kNumSaved, 1, "1", 0, nullptr};
VarRecord model_draw_color = {"model_draw_color", 0, kNumSaved, 1, "1", 0, nullptr};
VarRecord model_draw_light = {"model_draw_light", 0, kNumSaved, 0, "0", 0, nullptr};
VarRecord model_precache_textures = {"model_precache_textures", 0, kNumSaved, 0, "0", 0, nullptr};
VarRecord copy_directory = {"copy_directory", 0, kTextSaved, 0, "", 0, nullptr};

SurfaceType Model_Surfaces[kSurfaceTableSize];
int Model_SurfaceCount;

void Model_NoQuery(ModelObject*, ModelDrawParams*, const void*, void*) {}
void Model_NoDraw(ModelObject*, ModelDrawParams*, ViewParams*) {}
void Model_NoTrace(ModelObject*, ModelDrawParams*, TraceRequest*) {}
void Model_NoFree(ModelObject**) {}

// ---- Caches ---------------------------------------------------------------------------------------

void* Cache_Get(ModelCache* cache, const char* name, void* (*load)(const char*), const char* who) {
  if (!name || !*name) return nullptr;
  size_t length = std::strlen(name);
  if (length >= kModelNameSize) {
    Log_Printf("%s: name too long (%zu characters): %.40s...\n", who, length, name);
    return nullptr;
  }
  uint32_t hash = Name_Hash(name, length, kNameHashSeed);
  for (int i = 0; i < cache->count; ++i) {
    ModelCacheEntry& e = cache->entries[i];
    if (e.hash == hash && strcasecmp(e.name, name) == 0) {
      ++e.refCount;
      return e.object;
    }
  }
  if (cache->count >= kModelCacheSize) return nullptr;
  void* object = load(name);
  if (!object) return nullptr;
  ModelCacheEntry& e = cache->entries[cache->count++];
  std::memcpy(e.name, name, length + 1);
  e.hash = hash;
  e.object = object;
  e.refCount = 1;
  return object;
}

// ---- Registry -------------------------------------------------------------------------------------

static void* Model_LoadAny(const char* name) {
  for (int i = 0; i < g_loaderCount; ++i)
    if (ModelObject* m = g_loaders[i](name)) return m;
  return nullptr;
}

ModelObject* Model_Get(const char* name) {
  return static_cast<ModelObject*>(Cache_Get(&g_models, name, Model_LoadAny, "Model_Get"));
}

ModelObject* Model_Find(const char* name) {
  if (!name || !*name) return nullptr;
  for (const std::string& m : g_missing)
    if (!strcasecmp(m.c_str(), name)) return nullptr;
  ModelObject* model = Model_Get(name);
  if (!model) g_missing.emplace_back(name);
  return model;
}

void Model_AddLoader(ModelLoader loader) {
  if (loader && g_loaderCount < kModelLoaderMax) g_loaders[g_loaderCount++] = loader;
  g_missing.clear();
}

void Model_FreeAll() {
  Light_Count = 0;
  while (g_models.count > 0) {
    ModelCacheEntry& e = g_models.entries[g_models.count - 1];
    ModelObject* local = static_cast<ModelObject*>(e.object);
    if (local && local->Free) local->Free(&local);
    e.object = nullptr;
    --g_models.count;
  }
  Skel_FreeAll();
  Anim_FreeAll();
  Fx_Reset();
  g_missing.clear();
}

void Model_Reset() {
  Model_FreeAll();
  g_loaderCount = 0;
}

void Model_Release(ModelObject** handle) {
  if (handle) *handle = nullptr;
}
void Model_Release(Skeleton** handle) {
  if (handle) *handle = nullptr;
}
void Model_Release(Animation** handle) {
  if (handle) *handle = nullptr;
}

int Model_CacheCount() { return g_models.count; }
const ModelCacheEntry* Model_CacheEntries() { return g_models.entries; }

void Model_Init(int stage) {
  if (stage == 0) {
    VarRecord* vars[] = {&model_draw_lightmap, &model_draw_dinamiclightmap, &model_draw_shadowslightmap,
                         &model_draw_freezlightmap, &model_draw_detail, &model_draw_color,
                         &model_draw_light, &model_precache_textures, &copy_directory};
    for (VarRecord* v : vars) Var_Register(v);
    return;
  }
  if (stage != 1) return;
  Model_LoadSurfaceList();
  Model_Reset();
  Model_AddLoader(mp_CreateModel);
  Model_AddLoader(mayb_CreateModel);
  Model_AddLoader(du_CreateModel);
  Model_AddLoader(bu_CreateModel);
}

// ---- Surface list ---------------------------------------------------------------------------------

static void Model_CopyField(char* dst, const char* value) {
  std::snprintf(dst, kSurfaceTextSize, "%s", value);
}

void Model_LoadSurfaceList() {
  Model_SurfaceCount = 0;
  std::memset(Model_Surfaces, 0, sizeof(Model_Surfaces));
  uint32_t size = 0;
  char* text = static_cast<char*>(File_LoadWhole("scripts\\surfaces\\list", &size, "text"));
  if (text) {
    char key[64];
    char value[kSurfaceTextSize];
    const char* p = text;
    while (p && Par_NextBracketTokenTo(p, &p, key, sizeof(key))) {
      SurfaceType& s = Model_Surfaces[Model_SurfaceCount];
      enum { kNone, kText, kFloat } kind = kNone;
      char* textField = nullptr;
      float* floatField = nullptr;
      if (!strcasecmp(key, "id")) {
        kind = kText;
      } else if (!strcasecmp(key, "sound_step")) {
        kind = kText, textField = s.soundStep;
      } else if (!strcasecmp(key, "sound_shot")) {
        kind = kText, textField = s.soundShot;
      } else if (!strcasecmp(key, "sound_ricochet")) {
        kind = kText, textField = s.soundRicochet;
      } else if (!strcasecmp(key, "ricochet")) {
        kind = kFloat, floatField = &s.ricochet;
      } else if (!strcasecmp(key, "soft")) {
        kind = kFloat, floatField = &s.soft;
      } else if (!strcasecmp(key, "glass")) {
        kind = kFloat, floatField = &s.glass;
      }
      if (kind == kNone) continue;
      if (!p || !Par_NextBracketTokenTo(p, &p, value, sizeof(value))) break;
      if (!strcasecmp(key, "id")) {
        if (Model_SurfaceCount < kSurfaceMaxCount) ++Model_SurfaceCount;
        Model_CopyField(Model_Surfaces[Model_SurfaceCount].id, value);
      } else if (kind == kText) {
        Model_CopyField(textField, value);
      } else {
        float f = 0;
        if (std::sscanf(value, "%f", &f) == 1) *floatField = f;
      }
    }
    Global_Free(text);
  }
  Log_Printf("maxsurfaces=%i\n", Model_SurfaceCount);
}
