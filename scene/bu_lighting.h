// Per-pixel lighting of BU models on the R200 and R300 paths: the path choice, the GPU vertex
// arrays, the depth pass with light gathering and facing masks, the light passes and the stencil
// shadow volumes. bu_Draw (scene/bu.h) runs one pass per call: 0 the depth pass, 4 + 2i the
// volume of light i, 5 + 2i its light pass.
#pragma once
#include <cstdint>

#include "scene/bu.h"
#include "scene/lighting.h"

struct ModelDrawParams;
struct ViewParams;

// The 96-byte lit-mesh vertex and the 48-byte volume vertex in vertex-array memory.
struct BuGpuVertex {
  float position[3];  // attribute 0
  float frame[9];     // attributes 1, 2, 3: tangent, binormal, normal
  float tex[4];       // attribute 4 (the first two)
  float bones[4];     // attribute 5: bone parameter numbers 3k + 16
  float weights[4];   // attribute 6
};
static_assert(sizeof(BuGpuVertex) == 96);
struct BuVolumeVertex {
  float position[4];  // w 0 in place, 1 moved away from the light
  float bones[4];     // attribute 5
  float weights[4];   // attribute 6
};
static_assert(sizeof(BuVolumeVertex) == 48);

// Lighting state of one instance (one ModelDrawParams) between its depth pass and its light and
// volume passes of the same frame.
struct BuInstanceState {
  const ModelDrawParams* params;
  uint32_t frame;                       // the model's frame of its last depth pass
  float box[6];                         // posed volume points, model space
  int32_t litCount;
  int32_t lit[kInstanceMaxLights];      // indices into the view's light list
  vec3 litPosition[kInstanceMaxLights]; // the lights in model space
  uint8_t* facing;                      // per volume triangle: bit i when it faces away from light i
  int32_t visible;
};

// The lighting path the extension flags and the five "render_bump_*" settings give.
int bu_ChooseLightingPath();
void bu_BuildGpuVertices(BuModel* model);
void bu_BuildGpuVerticesVbo(BuModel* model);
void bu_FreeLightingResources(BuModel* model);
// The instance's state for its depth pass: its own, else one no instance used in this frame, else
// a new one (the table grows). With a view, a new frame begins when the view's time moves on or an
// instance comes round again. Null for a null model or params, or when memory runs out.
BuInstanceState* bu_InstanceState(BuModel* model, const ModelDrawParams* params, const ViewParams* view = nullptr);
// The state the instance's depth pass left, or null: the light and volume passes only look.
BuInstanceState* bu_FindInstanceState(const BuModel* model, const ModelDrawParams* params);

void bu_DrawSurfaceARB(BuModel* model, int surface, ModelDrawParams* params, ViewParams* view);
void bu_DepthPassR200(BuModel* model, ModelDrawParams* params, ViewParams* view);
void bu_LightPassR200(BuModel* model, ModelDrawParams* params, ViewParams* view, ViewLight* light);
void bu_LightPassR200Fast(BuModel* model, ModelDrawParams* params, ViewParams* view, ViewLight* light);
void bu_LightPassR200Fastest(BuModel* model, ModelDrawParams* params, ViewParams* view, ViewLight* light);
void bu_LightPassR300(BuModel* model, ModelDrawParams* params, ViewParams* view, ViewLight* light);
void bu_DrawVolumeARB(BuModel* model, ModelDrawParams* params, ViewParams* view, int light);
void bu_StencilVolumeARB(BuModel* model, ModelDrawParams* params, ViewParams* view, int light);

// Pieces of the depth pass, for the passes of other paths and for tests.
// Poses the volume points with the bones' current transforms into the model's posed array (a
// point without bone references keeps its file position) and writes their box; a model without a
// volume mesh gets the box of its drawing vertices, posed alike.
void bu_PoseVolume(BuModel* model, float box[6]);
const float* bu_PosedVolumePoints(const BuModel* model);
// Appends the instance to the lights whose sphere touches its box (limits of 8 either way).
void bu_GatherLights(BuModel* model, ModelDrawParams* params, ViewParams* view, BuInstanceState* state);
void bu_ComputeFacing(BuModel* model, BuInstanceState* state);
int bu_InstanceVisible(const float box[6], const ModelDrawParams* params, const ViewParams* view);
// The CPU work of every depth pass: posing, gathering, facing masks (when "render_bump_shadows"
// is above 1) and the frustum test; returns the visible flag.
int bu_PrepareDepthPass(BuModel* model, ModelDrawParams* params, ViewParams* view, BuInstanceState* state);

// Shadow volume list of one object for light bit `bit`: z-fail caps (both cap triangles when the
// instance is visible, else the far one), then the silhouette quads. Returns the index count.
int bu_BuildVolumeList(const BuModel* model, int object, const uint8_t* facing, int bit, int zFail,
                       int visible, uint16_t* out);
// 1 when the volume may go without caps: light and eye at least 5 units behind the box's nearest
// corner along the view direction (all in model space).
int bu_VolumeZPass(const float box[6], const vec3* light, const vec3* eye, const vec3* forward);
// Room a volume list of this model needs (24 indices a triangle of its largest object).
int bu_VolumeListCapacity(const BuModel* model);

// ---- NV20 and NV30 paths (drivers with the NV extensions only) ---------------------------------
// Pass 0 of both paths; on the NV20 path the reflection pass of light 0 and the attenuation,
// diffuse, specular and one-pass (fast) light passes; on the NV30 path one pass per light.
void bu_DrawDepthNV(BuModel* model, ModelDrawParams* params, ViewParams* view);
void bu_DrawReflectNV20(BuModel* model, ModelDrawParams* params, ViewParams* view);
void bu_DrawAttenuationNV20(BuModel* model, ModelDrawParams* params, ViewParams* view, ViewLight* light);
void bu_DrawDiffuseNV20(BuModel* model, ModelDrawParams* params, ViewParams* view, ViewLight* light);
void bu_DrawSpecularNV20(BuModel* model, ModelDrawParams* params, ViewParams* view, ViewLight* light);
void bu_DrawFastNV20(BuModel* model, ModelDrawParams* params, ViewParams* view, ViewLight* light);
void bu_DrawLightNV30(BuModel* model, ModelDrawParams* params, ViewParams* view, ViewLight* light);
// Per-object draws: the depth and attenuation passes' (bone rows and the draw) and the companions
// that also bind the object's textures; each skips an object it has nothing to bind for.
void bu_DrawSurfaceNV(BuModel* model, int object, ModelDrawParams* params, ViewParams* view);
void bu_DrawObjectReflectNV20(BuModel* model, int object, ModelDrawParams* params, ViewParams* view);
void bu_DrawObjectDiffuseNV20(BuModel* model, int object, ModelDrawParams* params, ViewParams* view);
void bu_DrawObjectSpecularNV20(BuModel* model, int object, ModelDrawParams* params, ViewParams* view);
void bu_DrawObjectFastNV20(BuModel* model, int object, ModelDrawParams* params, ViewParams* view);
void bu_DrawObjectNV30(BuModel* model, int object, ModelDrawParams* params, ViewParams* view);
void bu_DrawVolumeNV(BuModel* model, ModelDrawParams* params, ViewParams* view, int light);
void bu_StencilVolumeNV(BuModel* model, ModelDrawParams* params, ViewParams* view, int light);

// Pieces shared by the ARB and NV passes.
vec3 bu_ToModel(const vec3& world, const ModelDrawParams* params);
int bu_ObjectDrawable(const BuModel* model, int object);
void bu_DrawObjectIndices(const BuModel* model, const BuObject& obj);
// The object's bone rows (three a bone, for parameters 16 + 3k upward); returns the row count.
int bu_BoneRows(const BuModel* model, const BuObject& obj, float rows[][4]);
// The bone rows through one glProgramParameters4fvNV.
void bu_LoadBoneRowsNV(const BuModel* model, const BuObject& obj);
// Rows k = 0, 1, 2 of the transform from the instance's model space into the light's own frame:
// the dot product of row k with (v, 1) is component k of the light-frame point.
void bu_LightFrameRows(const ModelDrawParams* params, const ViewLight* light, float rows[3][4]);

// Shows every instance's box as lines in the depth pass (tests only).
extern int bu_ShowBounds;
void bu_DrawBounds(BuModel* model, ModelDrawParams* params, ViewParams* view);
