// Lightmapped ".may" levels: static world geometry cut into surfaces, shaders, named objects with
// lightmaps and key-framed motion, and sets (one draw each); traced through the triangle tree.
#pragma once
#include <cstddef>
#include <cstdint>

#include "scene/model_kernels.h"

struct ModelObject;
struct ModelDrawParams;
struct ViewParams;
struct TraceRequest;
struct TriTree;

constexpr uint32_t kMayMagic = 0x18181818u;
constexpr int32_t kMayVersion = 11;
constexpr int kMayMaxLayers = 7;
constexpr size_t kMayHeaderSize = 456, kMayShaderSize = 528, kMaySurfaceSize = 32, kMayVertexSize = 60,
                 kMayKeySize = 96, kMayObjectSize = 348, kMaySetSize = 68;
// The drawing vertex: the file's 60 bytes in a 64-byte slot.
constexpr size_t kMayDrawVertexSize = 64;

struct MaylSlot {
  char name[41];
  float stretchU, stretchV;
  float opacity;  // exactly 1.0: by the texture's alpha
  int32_t combine;  // 4 add, 6 modulate, else interpolate
  int32_t material;
};

struct MaylShader {
  char name[57];
  int32_t layerCount;   // 0 standard, 1..7 layered
  int32_t surfaceType;  // list record - 1 of the surface list (0 also for a name not in the list)
  MaylSlot slots[kMayMaxLayers];  // standard: 0 diffuse, 2 reflection, 3 bump, 4 detail
  int32_t twoSided;
  int32_t blend;
  int32_t firstSet, setCount;
};

struct MaylVertex {
  float pos[3];
  uint8_t color[4];
  float uv[4][2];
  float normal[3];
};
static_assert(sizeof(MaylVertex) == 60, "the drawing copy keeps the file's vertex layout");

struct MaylSurface {
  int32_t vertexCount, indexCount;
  MaylVertex* vertices;
  uint16_t* indices;
  uint8_t* varCopy;      // 64-byte drawing vertices in vertex-array memory, null when not carved
  uint32_t varGeneration;
  uint32_t buffer;       // OpenGL buffer name, or the Direct3D 8 vertex buffer
  uint32_t d3dIndexBuffer;
};

struct MaylObject {
  char name[257];    // trimmed at load ("door_12" -> "door"); also its lightmap's name
  int32_t lightmap;  // material
  int32_t visible;
  int32_t firstKey, keyCount;
  float start, end;
  float bounds[6];
};

struct MaylSet {
  int32_t shader, object;
  int32_t moving;
  float bounds[6];
  int32_t surface, firstIndex, indexCount;
};

struct MaylLevel {
  char folder[33];           // between "textures\" and every texture name
  char spotShader[225];
  char spotTexture[61];
  int32_t spotBlend, spotMaterial;
  int32_t spotFirstKey, spotKeyCount;
  float spotStart, spotEnd;
  float bounds[6];
  int32_t shaderCount, surfaceCount, keyCount, objectCount, setCount;
  MaylShader* shaders;
  MaylSurface* surfaces;
  MaylKey* keys;
  MaylObject* objects;
  MaylSet* sets;
  TriTree* tree;             // null without a ".hmp" file
  int32_t lightmapsOn, colorsOn;
  int32_t uploadPending, texturesPending;
  uint32_t textureGeneration;
  int32_t triangleCount;
  int32_t mainDraws, lastMainDraws;  // main-pass draws since the previous other pass
  uint32_t loggedVarGeneration;      // a failed carve is logged once per generation
  int32_t loggedVar;
};

ModelObject* mayb_CreateModel(const char* name);
MaylLevel* mayb_Load(const char* name);
// The loader's work on the ".may" bytes; `name` is the level name (for the ".hmp" files and
// messages). No tree is built when `withTree` is 0.
MaylLevel* mayb_LoadBytes(const uint8_t* data, size_t size, const char* name, int withTree);
// (Re)loads the level's textures when pending or when the texture generation moved.
void mayb_LoadTextures(MaylLevel* level);
void mayb_Query(ModelObject* model, ModelDrawParams* params, const void* request, void* answer);
void mayb_Trace(ModelObject* model, ModelDrawParams* params, TraceRequest* request);
void mayb_Draw(ModelObject* model, ModelDrawParams* params, ViewParams* view);
void mayb_Free(ModelObject** model);
void mayb_FreeLevel(MaylLevel* level);
