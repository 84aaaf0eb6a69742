// Per-pixel lighting of DU levels: the path and GPU copies, the lights' interaction lists, the
// visibility of each frame (portal flood or frustum), the base, multiply-layer and light passes.
// du_Draw (scene/du.h) runs one pass per call: 0 visibility and the base pass, 2 the multiply
// layer while Right Ctrl is held, an odd pass from 5 every light of the view.
//
// Nothing in the running game fills a view's light list, so levels are lit only by the tests and
// benchmarks. A level stands at the origin with zero angles: the light slots take light
// positions as level coordinates, and the models the light passes draw sit in the level's frame.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/vecmath.h"
#include "scene/du.h"
#include "scene/lighting.h"

struct ModelDrawParams;
struct ViewParams;

// One light's lit triangles of one surface.
struct DuLightInteraction {
  uint32_t arrayBuffer;       // the level's ARB vertex buffer, 0 none
  uint32_t elementBuffer;     // the level's dynamic index buffer when the list was copied there
  size_t indexOffset;         // byte offset of the list in it
  const uint16_t* indices;    // the list when elementBuffer is 0
  int32_t indexCount;
  int32_t normalMap, colour, specular;  // materials of shader slots 3, 0, 1
  int32_t slot, model, surface;
  DuShader* shader;
  uint16_t* ownIndices;       // null for a whole-surface light
  float bounds[6];            // of the lit triangles
  DuLightInteraction* next;   // the surface's chain
  int32_t visibleStamp;
  DuLightInteraction* drawNext;
};

// Size of the dynamic index buffer, in u16 indices.
constexpr int kDuDynamicIndices = 2097152;
// Portal entries one frame's flood may make, and how deep it may go.
constexpr int kDuFloodBudget = 4096;
constexpr int kDuFloodDepth = 64;
constexpr int kDuWindowMax = 64;

// ---- Path, programs, GPU copies --------------------------------------------------------------
// The DU lighting path the extension flags and the "render_bump_*" settings give.
int du_ChooseLightingPath();
// The programs a DU level uses on a path (from the shared table).
LightProgramSet Lighting_DuPathPrograms(int path);
// The DU levels' programs: the set the last level loaded took, and its path.
struct DuShaderSet {
  LightProgramSet programs;
  int32_t path;
};
extern DuShaderSet DuShaders;
// Path, programs and buffers of a level whose indices are rebased (the rest of du_InitShaders).
void du_InitLighting(DuLevel* level);
void du_UploadVerticesNV(DuLevel* level);
void du_UploadVerticesATI(DuLevel* level);
void du_FreeShaders(DuLevel* level);
// Releases the light slots and the GPU resources (the level's Free runs it).
void du_FreeLighting(DuLevel* level);
// The GPU layout of a vertex: both v as 1 - v.
void du_GpuVertex(const DuVertex& in, DuVertex* out);

// ---- Light interaction lists -----------------------------------------------------------------
// A light the level can take: slot id 0..511, key not 0, radius above 0.
bool du_LightUsable(const ViewLight* light);
void du_RefreshLightSlot(DuLevel* level, const ViewLight* light);
void du_BuildLightSlot(DuLevel* level, const ViewLight* light);
void du_FreeLightSlot(DuLevel* level, int slotId);
DuLightInteraction* du_NewInteraction();
void du_FreeInteraction(DuLevel* level, DuLightInteraction* ia);
// The vertices an interaction draws from, resolved now: an offset of 0 into its array buffer, the
// level's vertex copy, or (large levels) the surface's own copy; null when there is none.
const void* du_InteractionVertices(const DuLevel* level, const DuLightInteraction* ia);

// ---- Visibility ------------------------------------------------------------------------------
int du_FindArea(const DuLevel* level, const vec3* point);
void du_MarkVisible(DuLevel* level, ModelDrawParams* params, ViewParams* view);
void du_FloodPortals(DuLevel* level, ModelDrawParams* params, ViewParams* view, vec3* window, int* windowCount,
                     int area);
// Keeps the part where normal . p - distance <= 0; never more than kDuWindowMax points.
void du_ClipPolygon(vec3* points, int* count, const float plane[4]);

// ---- Passes ----------------------------------------------------------------------------------
void du_DrawBaseR200(DuLevel* level, ModelDrawParams* params, ViewParams* view);
void du_DrawModelBaseR200(DuLevel* level, int model, ModelDrawParams* params, ViewParams* view);
void du_DrawSurfaceBaseR200(DuLevel* level, int model, int surface, ModelDrawParams* params, ViewParams* view);
void du_DrawMulLayerR200(DuLevel* level, ModelDrawParams* params, ViewParams* view);
void du_DrawModelMulLayerR200(DuLevel* level, int model, ModelDrawParams* params, ViewParams* view);
void du_DrawSurfaceMulLayerR200(DuLevel* level, int model, int surface, ModelDrawParams* params, ViewParams* view);
void du_DrawBaseNV10(DuLevel* level, ModelDrawParams* params, ViewParams* view);
void du_DrawModelBaseNV10(DuLevel* level, int model, ModelDrawParams* params, ViewParams* view);
void du_DrawSurfaceBaseNV10(DuLevel* level, int model, int surface, ViewParams* view);
// The NV20 and NV30 paths (drivers with the NV extensions only). They draw from the level's
// uploaded vertex memory with level-wide indices: a level of kDuLevelWideVertexLimit vertices or
// more is refused (logged once).
void du_DrawBaseNV20(DuLevel* level, ModelDrawParams* params, ViewParams* view);
void du_DrawModelBaseNV20(DuLevel* level, int model, ModelDrawParams* params, ViewParams* view);
void du_DrawSurfaceBaseNV20(DuLevel* level, int model, int surface, ModelDrawParams* params, ViewParams* view);
void du_DrawMulLayerNV20(DuLevel* level, ModelDrawParams* params, ViewParams* view);
void du_DrawModelMulLayerNV20(DuLevel* level, int model, ModelDrawParams* params, ViewParams* view);
void du_DrawSurfaceMulLayerNV20(DuLevel* level, int model, int surface, ModelDrawParams* params, ViewParams* view);
// One light's NV20 passes (without "render_bump_fast"): falloff into destination alpha, then
// diffuse and specular scaled by it.
void du_DrawAttenuationNV20(DuLevel* level, ModelDrawParams* params, ViewParams* view, ViewLight light);
void du_DrawDiffuseNV20(DuLevel* level, ModelDrawParams* params, ViewParams* view, ViewLight light);
void du_DrawSpecularNV20(DuLevel* level, ModelDrawParams* params, ViewParams* view, ViewLight light);
// Every light of the view with its BU models (the light argument is not used); the view's pass
// number keeps the last value they set.
void du_DrawLightsNV20Fast(DuLevel* level, ModelDrawParams* params, ViewParams* view, ViewLight* light);
void du_DrawLightsNV30(DuLevel* level, ModelDrawParams* params, ViewParams* view, ViewLight* light);
// Binds the material's current frame on the unit unless the unit's cache entry already holds
// that texture (entry -1: unknown). Callers reset the entries of their units first.
void du_BindTextureCached(int unit, int material, float time, int expandNormal);
void du_BindCubeCached(int unit, int material, float time, int expandNormal);
void du_ResetBindCache(int unit);
void du_DrawLightsR200(DuLevel* level, ModelDrawParams* params, ViewParams* view, ViewLight* light);
void du_DrawLightsR200Fast(DuLevel* level, ModelDrawParams* params, ViewParams* view, ViewLight* light);
void du_DrawLightsR200Fastest(DuLevel* level, ModelDrawParams* params, ViewParams* view, ViewLight* light);
void du_DrawLightsR300(DuLevel* level, ModelDrawParams* params, ViewParams* view, ViewLight* light);
void du_DrawLevelShadowVolumeR200(DuLevel* level, ModelDrawParams* params, ViewParams* view, int lightIndex);

// Screen rectangle (x, y, width, height) of a light's sphere for a camera: the whole screen when
// the sphere reaches within 1 unit of the eye plane (or the depth is not a number), all zero when
// it falls off the screen. Shared with the all-lights passes of the NV paths.
struct DuScissor {
  int x, y, width, height;
};
DuScissor du_LightScissor(const vec3* centre, float radius, const vec3* eye, const vec3* angles, int width,
                          int height, float fov);
