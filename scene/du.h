// DU levels: per-pixel-lit levels of shaders, models made of surfaces, portals, a node tree and
// areas, in one file (name + ".du") with an optional ".hmp" text that asks for a triangle tree
// for traces. The loader checks every count, size and index and refuses a bad file with one
// "du_Load: ..." line; the level then reaches the registry as a ModelObject.
#pragma once
#include <cstdint>

struct ModelObject;
struct ModelDrawParams;
struct ViewParams;
struct TraceRequest;
struct TriTree;
struct DuLightInteraction;

constexpr uint32_t kDuMagic = 0x18181818;
constexpr uint32_t kDuVersion = 1;
constexpr int kDuShaderSlots = 6;
// Levels with this many vertices or more keep surface-relative indices: 16-bit level-wide
// indices would wrap. Their surfaces draw from vertex copies of their own.
constexpr int kDuLevelWideVertexLimit = 65536;

// File sizes of the records.
constexpr int kDuHeaderSize = 120;
constexpr int kDuShaderSize = 824;
constexpr int kDuModelSize = 148;
constexpr int kDuSurfaceSize = 72;
constexpr int kDuVertexSize = 64;
constexpr int kDuPortalSize = 40;
constexpr int kDuNodeSize = 24;
constexpr int kDuAreaSize = 12;

struct DuTextureSlot {
  char name[64];         // empty: no texture
  int32_t settings[3];   // read by the light passes
  int32_t material;      // material index, set by du_LoadShaderTextures
};

struct DuShader {
  uint8_t data[264];  // the renderer's own bytes; the first 64 hold the shader's name
  DuTextureSlot slots[kDuShaderSlots];  // 0 colour, 1 specular, 3 normal map
  uint8_t tail[80];   // read by the renderer
};

struct DuVertex {
  float position[3];
  float frame[9];  // three lighting-frame vectors
  float uv0[2];
  float uv1[2];
};

struct DuSurface {
  int32_t shader;  // outside 0 .. shader count - 1: no shader
  int32_t vertexCount;
  int32_t indexCount;
  DuVertex* vertices;
  uint16_t* indices;  // level-wide after the load, unless the level keeps surface-relative ones
  void* gpuVertices;  // the surface's own copy in levels of kDuLevelWideVertexLimit or more
  uint32_t gpuGeneration;
  uint32_t atiVertexObject;  // its ATI vertex object in such levels (0 none)
  int32_t firstVertex;  // in the level-wide vertex array
  int32_t firstIndex;   // in the level-wide index array
  float bounds[6];
  int32_t visibleStamp;
  int32_t rendererWord;
  DuLightInteraction* interactions;  // chain of the lights' interactions with this surface
};

struct DuModel {
  uint8_t data[128];
  int32_t surfaceCount;
  DuSurface* surfaces;
  int32_t rendererWord136;
  int32_t visibleStamp;
  int32_t rendererWord144;
};

struct DuPortal {
  int32_t pointCount;  // at least 3
  int32_t areas[2];
  float* points;       // 3 floats per point
  float plane[4];      // normal (not normalised) and distance
  int32_t eyeSide;
  int32_t visited;
};

// A child above 0 is a node; 0 or below is the leaf of area -1 - child (0: no area).
struct DuNode {
  float normal[3];
  float term;
  int32_t children[2];  // positive side, negative side
};

struct DuArea {
  int32_t model;  // -1: none
  int32_t visibleStamp;
  int32_t rendererWord;
};

struct DuHeader {
  uint32_t magic;
  uint32_t version;
  uint8_t unread8[32];
  char textureFolder[32];
  int32_t shaderCount;
  DuShader* shaders;
  int32_t modelCount;
  DuModel* models;
  int32_t portalCount;
  DuPortal* portals;
  int32_t nodeCount;
  DuNode* nodes;
  int32_t areaCount;
  DuArea* areas;
  uint8_t unread112[8];
};

// The lights' interactions with a level (scene/du_lighting.h), one slot per light id.
constexpr int kDuLightSlots = 512;
struct DuLightSlot {
  int32_t key;  // the light's key the slot was built for; 0 empty
  DuLightInteraction** interactions;  // one entry per surface of the level
  int32_t interactionCount;
  int32_t wholeSurface;
  float position[3];
  float radius;
  float colour[3];
  float positionBlock[4];  // position, 1 / radius
  float colourBlock[4];    // colour, 1
  DuLightInteraction* drawList;  // visible interactions of the frame
  int32_t listStamp;             // the frame stamp of the view that held this slot's light
  // The light's static shadow volume: nothing computes one, so it stays empty.
  uint32_t volumeBuffer;
  float* volumeVertices;  // 4 floats a vertex
  int32_t volumeVertexCount;
  uint16_t* volumeIndices;
  int32_t volumeIndexCount;
};

struct DuLevel {
  DuHeader* header;
  TriTree* tree;  // null without a ".hmp" file
  int32_t uploadNeeded;
  uint32_t loggedVarGeneration;  // a failed carve is logged once per vertex-array generation
  int32_t loggedVar;
  int32_t texturesNeeded;
  uint32_t textureGeneration;
  int32_t triangleTotal;
  int32_t vertexTotal;
  void* gpuVertices;
  uint32_t gpuGeneration;
  int32_t indexTotal;
  int32_t surfaceRelative;  // 1: indices were not rebased (kDuLevelWideVertexLimit or more)
  int32_t lightPath;        // 0 until the level lighting chooses one
  uint64_t programs;        // the lighting programs this level counts as a user of
  // GPU copies (0: none).
  uint32_t atiVertexObject;
  uint32_t atiIndexObject;
  uint32_t vertexBuffer;
  uint32_t indexBuffer;
  uint32_t dynamicIndexBuffer;  // the lights' index lists
  int32_t lightIndexFill;       // u16 indices written into it so far
  // Visibility.
  int32_t frameStamp;
  int32_t cameraArea;           // -1 none
  int32_t floodLogged;          // the flood's budget ran out once (logged once)
  int32_t nvRefused;            // the NV paths refused the level (logged once)
  DuLightSlot lightSlots[kDuLightSlots];
};

// The lighting path of DU levels (0 none until the level lighting is built).
extern int32_t DuLightPath;

DuLevel* du_Load(const char* name);
// Releases the level and everything it holds; tolerates a level that failed half-way.
void du_FreeLevel(DuLevel* level);
// normal = (p1 - p0) x (p2 - p0), not normalised; distance = normal . p0.
void du_PlaneFromPoints(const float points[9], float plane[4]);
// Fills the tree's triangles from the surfaces (indices still surface-relative) and builds it.
void du_InitHeightmap(DuLevel* level, const char* name, float maxBoxSize, int maxTriangles);
// Rebases every surface's indices to the level-wide vertex array and records each surface's
// first vertex and first index; levels of kDuLevelWideVertexLimit vertices or more keep
// surface-relative indices; then chooses the lighting path, takes its programs and makes the GPU
// buffers (scene/du_lighting.h).
void du_InitShaders(DuLevel* level);

// The triangle tree of a level with a ".hmp" text: made by du_Load (its failures are logged and
// leave the level without a tree), released with the level.
void du_CreateTree(DuLevel* level, const char* name, float maxBoxSize, int maxTriangles);
void du_FreeTree(DuLevel* level);

// Moves the trace into the instance's frame and runs it against the tree; the hit normal comes
// back in world space, also for a turned instance.
void du_TraceLocal(DuLevel* level, const ModelDrawParams* params, TraceRequest* request);
// Loads the materials of the shaders' texture slots (folder text + slot name) after a load and
// whenever the texture table has been emptied since.
void du_LoadShaderTextures(DuLevel* level);

// The registry's loader and the object's slots.
ModelObject* du_CreateModel(const char* name);
void du_Draw(ModelObject* model, ModelDrawParams* params, ViewParams* view);
void du_Trace(ModelObject* model, ModelDrawParams* params, TraceRequest* request);
void du_Free(ModelObject** model);
