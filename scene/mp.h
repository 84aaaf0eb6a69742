// ".mp" models: pieces that ride on the bones of a skeleton, rigidly on one frame or weighted over
// up to eight frames, and morphing meshes that blend up to sixteen shapes.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/vecmath.h"

struct ModelObject;
struct ModelDrawParams;
struct ViewParams;

constexpr uint32_t kMpMagic = 0x18181818u;
constexpr int32_t kMpVersion = 5;
constexpr int kMpMaxInfluences = 8;
constexpr int kMpMaxShapes = 16;
// Record sizes in the file.
constexpr size_t kMpHeaderSize = 96, kMpShaderSize = 512, kMpFrameSize = 164, kMpObjectSize = 84,
                 kMpWeightedVertexSize = 128, kMpMorphVertexSize = 492, kMpPieSize = 88;
// The drawing vertex: position, normal, u, v.
constexpr size_t kMpDrawVertexSize = 32;

struct MpSlot {
  char name[49];
  uint32_t hash;      // Name_Hash of "textures\" + name, 0 for an empty slot
  int32_t clampU, clampV;
  int32_t material;
};

struct MpShader {
  char name[57];
  int32_t twoSided;
  int32_t blend;  // from the name's suffix
  MpSlot slots[4];  // 0 diffuse, 2 reflection (sphere-mapped); 1 and 3 loaded, not drawn
};

struct MpFrame {
  char bone[65];
  int32_t boneIndex;  // -2 not yet resolved, -1 no such bone
  mat3 rot;           // current, rebuilt at each draw
  vec3 pos;
  mat3 relRot;        // relative to the bone
  vec3 relPos;
};

struct MpInfluence {
  int32_t frame;
  float weight;
};

struct MpWeightedVertex {
  vec3 pos, normal;
  int32_t influenceCount;
  MpInfluence influences[kMpMaxInfluences];
  float u, v;
};

struct MpShape {
  vec3 pos, normal;
};

struct MpMorphVertex {
  int32_t shapeCount;
  MpShape shapes[kMpMaxShapes];
  int32_t influenceCount;
  MpInfluence influences[kMpMaxInfluences];
  float u, v;
};

struct MpPie {
  int32_t kind;   // 1 rides on one frame, 2 and 3 weighted over frames
  int32_t frame;  // kind 1
  int32_t morphs;
  int32_t firstVertex, vertexCount;
  int32_t firstIndex, indexCount;
  int32_t firstStrip, stripCount;
};

struct MpObject {
  int32_t shader;  // outside the shader range: drawn untextured
  int32_t kind;    // 0 weighted vertices, else morph vertices
  int32_t pieCount, vertexCount, indexCount, stripCount;
  MpWeightedVertex* vertices;
  MpMorphVertex* morphVertices;
  MpPie* pies;
  uint16_t* indices;
  uint16_t* strips;
  uint32_t d3dVertexBuffer, d3dIndexBuffer;
  uint8_t* varCopy;       // drawing vertices: vertex-array memory, or the object's own block
  uint8_t* ownCopy;       // the object's own block when the carve failed
  uint32_t varGeneration;
};

struct MpModel {
  char name[65];
  int32_t shaderCount, frameCount, objectCount;
  MpShader* shaders;
  MpFrame* frames;
  MpObject* objects;
  int32_t drawDetail, drawColor, drawLight;  // setting copies of the last draw
  int32_t uploadPending, texturesPending;
  uint32_t textureGeneration;
  uint32_t* staticBuffers;    // per object, OpenGL buffer names (0 = none)
  uint32_t* streamBuffers;
  float morphWeights[kMpMaxShapes];
  int32_t morphing;
  int32_t skeletonNumber;     // skeleton the frames were last resolved against
  uint32_t loggedVarGeneration;  // a failed carve is logged once per generation
  int32_t loggedVar;
};

ModelObject* mp_CreateModel(const char* name);
MpModel* mp_Load(const char* name);
// The loader's work on a file's bytes; `fileName` names the file in messages.
MpModel* mp_LoadBytes(const uint8_t* data, size_t size, const char* fileName);
void mp_Draw(ModelObject* model, ModelDrawParams* params, ViewParams* view);
void mp_Free(ModelObject** model);
void mp_FreeModel(MpModel* m);
// Loads every slot's material (when pending or when the texture generation moved).
void mp_LoadTextures(MpModel* m);

#include "scene/model_kernels.h"
