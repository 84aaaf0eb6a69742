// The model registry: every model and level format behind one handle, cached by name for the
// level, plus the surface list and the model drawing switches.
//
// Model_Init stage 1 appends the loaders in the fixed order ".mp", ".may", ".du", ".bu":
//   ".mp"  scene/mp.h   mp_CreateModel       ".may" scene/may.h  mayb_CreateModel
//   ".du"  scene/du.h   du_CreateModel       ".bu"  scene/bu.h   bu_CreateModel
// Tests and tools may build their own table with Model_Reset and Model_AddLoader.
#pragma once
#include <cstdint>

#include "foundation/vecmath.h"

struct ModelObject;
struct ModelDrawParams;
struct ViewParams;
struct TraceRequest;
struct Skeleton;
struct Animation;
struct BonePose;

// Query(model, draw parameters, request, answer): request kind 1 = i32 1 then a zero-terminated
// name; answer = i32 found flag then six floats (minimum x, y, z, maximum x, y, z).
using ModelQueryFn = void (*)(ModelObject* model, ModelDrawParams* params, const void* request,
                              void* answer);
using ModelDrawFn = void (*)(ModelObject* model, ModelDrawParams* params, ViewParams* view);
using ModelTraceFn = void (*)(ModelObject* model, ModelDrawParams* params, TraceRequest* request);
// Free(&pointer): releases the format data and the handle and clears *pointer.
using ModelFreeFn = void (*)(ModelObject** model);

// The four operations; every slot is always callable (a format with nothing to do puts the
// typed no-op of that slot there).
struct ModelCallbacks {
  ModelQueryFn Query;
  ModelDrawFn Draw;
  ModelTraceFn Trace;
  ModelFreeFn Free;
};

// The handle of one loaded model or level: the callbacks, then the format's own data (owned by
// the handle). Allocated zero-filled with the format's tag ("MPL", "MAYL", "DUS", "BUS").
struct ModelObject {
  ModelQueryFn Query;
  ModelDrawFn Draw;
  ModelTraceFn Trace;
  ModelFreeFn Free;
  void* data;
};

// The typed empty operations.
void Model_NoQuery(ModelObject*, ModelDrawParams*, const void*, void*);
void Model_NoDraw(ModelObject*, ModelDrawParams*, ViewParams*);
void Model_NoTrace(ModelObject*, ModelDrawParams*, TraceRequest*);
void Model_NoFree(ModelObject**);

// A format loader: the name without extension -> a handle, or null (having logged why and
// released what it built).
using ModelLoader = ModelObject* (*)(const char* name);

// The format loaders (each defined by its own format module, see the seam above).
ModelObject* mp_CreateModel(const char* name);
ModelObject* mayb_CreateModel(const char* name);
ModelObject* du_CreateModel(const char* name);
ModelObject* bu_CreateModel(const char* name);

constexpr int kModelLoaderMax = 4;
constexpr int kModelCacheSize = 1024;
constexpr int kModelNameSize = 128;  // a cached name has at most 127 characters

// One record of the model cache; the skeleton and animation caches use the same record.
struct ModelCacheEntry {
  char name[kModelNameSize];
  uint32_t hash;
  void* object;
  int32_t refCount;
};

// One record of the surface list ("scripts\surfaces\list").
constexpr int kSurfaceTableSize = 128;
constexpr int kSurfaceMaxCount = 127;
constexpr int kSurfaceTextSize = 64;
struct SurfaceType {
  char id[kSurfaceTextSize];
  char soundStep[kSurfaceTextSize];
  char soundShot[kSurfaceTextSize];
  char soundRicochet[kSurfaceTextSize];
  float ricochet;
  float soft;
  float glass;
};
// Record 0 catches values that stand before the first "id"; records 1..count hold the surfaces
// in file order. A level surface's number n refers to record n + 1 (use it when 1 <= n < count).
extern SurfaceType Model_Surfaces[kSurfaceTableSize];
extern int Model_SurfaceCount;

// Stage 0 registers the settings; stage 1 reads the surface list, resets the registry and
// appends the loaders of the formats that exist; other stages do nothing.
void Model_Init(int stage);
// The handle of a name (cached, or loaded by the first loader that accepts it), null when none
// does, the name is empty or 128 characters long or more (logged once), or the cache is full.
// The handle stays valid until Model_FreeAll.
ModelObject* Model_Get(const char* name);
// Model_Get for callers that ask every frame: a name that no loader took since the last
// Model_FreeAll (or the last Model_AddLoader) gives null at once, so its loaders try and log it
// once a level, not once a frame.
ModelObject* Model_Find(const char* name);
// Releases every cached model (last to first), the skeletons, animations, the effects pool and
// the light count.
void Model_FreeAll();
// Model_FreeAll, then an empty loader table.
void Model_Reset();
// Appends a loader to the table (ignored when the table is full).
void Model_AddLoader(ModelLoader loader);
void Model_LoadSurfaceList();
// Clears the caller's handle; nothing is released (the caches keep everything until
// Model_FreeAll).
void Model_Release(ModelObject** handle);
void Model_Release(Skeleton** handle);
void Model_Release(Animation** handle);

// The model cache, for inspection.
int Model_CacheCount();
const ModelCacheEntry* Model_CacheEntries();

// The drawing switches (registered at stage 0, read by the format draws).
struct VarRecord;
extern VarRecord model_draw_lightmap, model_draw_dinamiclightmap, model_draw_shadowslightmap,
    model_draw_freezlightmap, model_draw_detail, model_draw_color, model_draw_light,
    model_precache_textures, copy_directory;

// The per-instance record every Query, Draw and Trace slot receives with its handle. The caller
// owns and fills it; the slots only read it, except for the bone matrices, which the model draws
// fill in pass 0 (so callers keep the record across a frame's passes).
constexpr int kModelMaxBones = 150;
constexpr int kModelMorphWeights = 16;
constexpr int kModelTexSubstitutions = 16;
struct ModelTexSubstitution {
  uint32_t hash;     // Name_Hash of the texture path
  int32_t material;  // the material drawn in its place
};
struct ModelInstance {
  mat3 rotation;
  vec3 origin;
};
struct ModelDrawParams {
  Skeleton* skeleton;                      // null for a rigid instance
  uint8_t callerBlock[9600];               // the caller's own; the slots do not read it
  BonePose* poseA;
  BonePose* poseB;
  mat3 boneRotations[kModelMaxBones];      // model space, filled by Skel_BuildMatrices
  vec3 bonePositions[kModelMaxBones];
  vec3 position;
  vec3 angles;                             // yaw, pitch, roll in radians
  vec3 scale;
  vec3 offset;                             // a translation applied after the rotation
  int32_t lightingMode;                    // 0 unlit, 1 camera light relative to the instance,
                                           // 2 camera light, 3 (levels) point light at the camera
  float drawValues[kModelMorphWeights];    // morph weights: 1 then fifteen 0 by default
  float farDistance;                       // 0 = the view's far distance
  ModelTexSubstitution texSubstitutions[kModelTexSubstitutions];
  int32_t texSubstitutionCount;
  const ModelInstance* instances;          // 0 instances draw once at the own position
  int32_t instanceCount;
};
