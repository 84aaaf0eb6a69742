// BU models: per-pixel-lit models skinned to a skeleton (up to four bone influences per vertex)
// that carry a welded mesh for stencil shadow volumes, in one file (name + ".bu"). The loader
// checks every count, size and index and refuses a bad file with one "bu_Load: ..." line; a
// volume mesh that does not match the drawing mesh is dropped and the model loads without
// shadows.
#pragma once
#include <cstdint>

struct ModelObject;
struct ModelDrawParams;
struct ViewParams;
struct TraceRequest;

constexpr uint32_t kBuMagic = 0x18181818;
constexpr uint32_t kBuVersion = 8;
constexpr int kBuMaxObjectBones = 20;
// Volume indices 2v + 1 are 16-bit, so a model may have at most this many drawing vertices.
constexpr int kBuMaxVertices = 32768;

// File sizes of the records.
constexpr int kBuHeaderSize = 132;
constexpr int kBuShaderSize = 512;
constexpr int kBuBoneSize = 164;
constexpr int kBuObjectSize = 160;
constexpr int kBuVertexSize = 152;       // BuVertex
constexpr int kBuBlendVertexSize = 876;  // BuBlendVertex

// Texture slots of a shader.
enum : int { kBuSlotDiffuse = 0, kBuSlotSpecular = 1, kBuSlotReflectionCube = 2, kBuSlotNormalMap = 3 };

struct BuTextureSlot {
  char name[60];     // empty: no texture
  int32_t material;  // set by bu_RefreshMaterials
};

struct BuShader {
  char name[60];
  // From the name's ending (bu_ParseShaderBlend). Non-zero keeps the objects of this shader out of
  // the depth and light passes.
  int32_t blend;
  BuTextureSlot slots[4];
  uint8_t passData[192];
};

// Binding of the model to one skeleton bone.
struct BuBone {
  char name[64];      // compared exactly with the skeleton's bone names, at most 64 bytes
  int32_t skelBone;   // -2 not yet bound, -1 no such bone
  float rotation[9];  // current, set at each draw: bind x the posed bone (row vectors)
  float position[3];
  float bindRotation[9];  // bind: from the model's bind-pose space into the bone's own
  float bindPosition[3];
};

struct BuInfluence {
  int32_t slot;  // into the object's bone list
  float weight;
};

// One drawing vertex, from either file record (BuVertex or BuBlendVertex: the object's flag says
// which); the bytes no drawing reads are not kept.
struct BuVertex {
  float position[3];
  float frame[9];  // three lighting-frame vectors
  BuInfluence influences[4];
  float uv[4];     // two texture coordinate pairs
};

struct BuObject {
  uint8_t passData[12];
  int32_t quadCount;      // shadow-volume side quads, one per edge kept
  int32_t firstEdge;
  int32_t firstTriangle;  // in the model
  int32_t firstStrip;
  int32_t firstVertex;
  int32_t shader;         // negative or not below the shader count: no shader
  int32_t blendVertices;  // non-zero: the file held BuBlendVertex records
  int32_t vertexCount;
  BuVertex* vertices;
  int32_t indexCount;     // three per triangle; model-wide once prepared
  uint16_t* indices;
  int32_t stripCount;     // non-zero: drawn as one strip
  uint16_t* strips;
  void* gpuVertices;      // first object only: the model's copy in vertex-array memory
  uint32_t gpuGeneration;
  int32_t boneCount;      // at most kBuMaxObjectBones
  int32_t bones[kBuMaxObjectBones];
};

struct BuEdge {
  int32_t triangle;
  int32_t neighbour;  // -1: open edge
};

// The shadow-volume mesh made at load. Every drawing vertex v stands twice in the index list:
// 2v in place and 2v + 1 pushed away from the light.
struct BuVolume {
  int32_t triangleCount;
  uint16_t* caps;        // 3 per triangle, filled by the volume passes
  int32_t* neighbours;   // 4 per triangle: across edges 0, 1, 2 (-1 open), one spare
  uint16_t* indices;     // 24 per triangle: per object its caps, then its side quads
  int32_t edgeCount;
  BuEdge* edges;         // room for 3 per triangle
  int32_t vertexCount;
  float* work;           // 4 floats per vertex, for the volume passes
  void* drawVertices;    // 96 bytes per vertex, made by the lighting paths
  uint32_t drawGeneration;
  float bounds[6];
};

struct BuHeader {
  uint32_t magic;
  uint32_t version;
  uint8_t unread8[28];
  BuVolume* volume;  // null when the model has no usable volume mesh
  char textureFolder[32];
  int32_t shaderCount;
  BuShader* shaders;
  int32_t boneCount;
  BuBone* bones;
  int32_t objectCount;
  BuObject* objects;
  float* volumeWeights;  // 4 floats per bone reference: {w p, w}
  int32_t volumeWeightCount;
  int32_t* volumeRefs;   // runs of bone indices, one run per volume vertex, each ended by -1
  int32_t volumeRefCount;
  BuBone** volumeRefBones;  // the references as bones (null for -1), made by bu_PrepareMeshes
  uint32_t* volumeIndices;  // 3 per triangle, into the volume vertices
  int32_t volumeIndexCount;
  float* volumeVertices;    // 4 floats per vertex from the file, room for twice the count
  int32_t volumeVertexCount;
  float* volumePlanes;      // 4 floats per volume triangle
};

struct BuModel {
  ModelObject* owner;
  BuHeader* header;
  int32_t uploadNeeded;
  uint32_t loggedVarGeneration;  // a failed carve is logged once per vertex-array generation
  int32_t loggedVar;
  int32_t texturesNeeded;
  uint32_t textureGeneration;
  uint32_t vertexBuffer;  // GPU buffers of the lighting path, 0 = none
  uint32_t indexBuffer;
  uint32_t volumeBuffer;
  float drawValues[16];
  int32_t drawValuesDiffer;
  int32_t skeletonId;
  float instanceBounds[6];
  int32_t litCount;
  int32_t lit[8];
  uint8_t* frontFacing;  // one byte per volume triangle
  int32_t visible;
  int32_t vertexTotal;
  int32_t triangleTotal;
  // Lighting resources and per-instance state (scene/bu_lighting.h).
  int32_t lightingPath;      // the path the model's resources were made for
  uint64_t programs;         // the programs the model holds a count of
  uint32_t atiVertexBuffer;  // ATI object buffers, 0 = none
  uint32_t atiVolumeBuffer;
  uint32_t atiIndexBuffer;
  struct BuInstanceState* instances;  // grows as a frame needs more
  int32_t instanceCount;
  int32_t instanceCapacity;
  uint32_t instanceFrame;  // counts the frames of depth passes; states of earlier ones are free
  float instanceTime;      // the view time of the current one
  uint16_t* volumeList;
};

// The lighting path of BU models, written at every BU load (0 until the model lighting is built).
extern int32_t BuLightingPath;

BuModel* bu_Load(const char* name);
// Releases the model record and everything it holds; tolerates a model that failed half-way.
void bu_FreeModel(BuModel* model);

// Blend kind from a shader name's ending: "_ADD" 1, "_MUL" 2, "_MUL2" 4, "_ALPHA" 5, else 0,
// without regard to case; the name must be longer than the ending.
int bu_ShaderBlendFromName(const char* name);
void bu_ParseShaderBlend(BuModel* model);
// Chooses the lighting path (BuLightingPath), counts the model as a user of its programs and
// makes its GPU buffers (scene/bu_lighting.cpp).
void bu_SelectLightingPath(BuModel* model);
// Volume references as bones; each object's first vertex, triangle and strip index; object
// indices and strip indices made model-wide.
void bu_PrepareMeshes(BuModel* model);
// Builds the model's BuVolume (replacing one it has) with hash maps over the directed edges.
void bu_BuildShadowVolume(BuModel* model);
// The same result by the exhaustive scans over every triangle and edge: the reference the fast
// build is checked against.
void bu_BuildShadowVolumeQuadratic(BuModel* model);
void bu_FreeShadowVolume(BuModel* model);
struct Skeleton;
// Binds the bones to the skeleton by name (exact, case-sensitive, at most 64 bytes compared) when
// the skeleton differs from the one bound last or a bone is not yet bound; a name the skeleton
// lacks gets -1.
void bu_BindBones(BuModel* model, const Skeleton* skeleton);
// Loads the shaders' materials ("textures\" + folder + slot name) after a load and whenever the
// texture table has been emptied since.
void bu_RefreshMaterials(BuModel* model);

// The registry's loader and the object's slots.
ModelObject* bu_CreateModel(const char* name);
void bu_Draw(ModelObject* model, ModelDrawParams* params, ViewParams* view);
void bu_Free(ModelObject** model);
