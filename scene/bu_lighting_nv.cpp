// BU models lit per pixel on the NV20 and NV30 paths: NV vertex programs, the register-combiner
// set-ups of scene/nv_combiners and, on the NV30 path, an NV fragment program. These run only on
// drivers with the NV extensions; the CPU work is the R200 path's.
#include <cstring>

#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/material.h"
#include "render/render.h"
#include "scene/bu_lighting.h"
#include "scene/model.h"
#include "scene/nv_combiners.h"
#include "scene/view.h"

namespace {

bool On(const VarRecord& v) { return v.value != 0.0f; }
int Skinned(const ModelDrawParams* params) { return params->skeleton != nullptr; }

void Params(int first, int count, const float* values) {
  gl.glProgramParameters4fvNV(GL_VERTEX_PROGRAM_NV, GLuint(first), count, values);
}

struct Attrib {
  int index, size, offset;
};
// Attributes 5 and 6 stand last: a rigid instance leaves them out.
const Attrib kLightAttribs[] = {{0, 3, 0}, {1, 3, 12}, {2, 3, 24}, {3, 3, 36}, {4, 2, 48}, {5, 4, 64}, {6, 4, 80}};
const Attrib kDepthAttribs[] = {{0, 3, 0}, {5, 4, 64}, {6, 4, 80}};
const Attrib kVolumeAttribs[] = {{0, 4, 0}, {5, 4, 16}, {6, 4, 32}};

// Points the attributes at the array (or its buffer) and enables them; nothing when the array is
// missing. Returns how many were enabled.
int BindArrays(const void* base, uint32_t vbo, int stride, const Attrib* attribs, int count) {
  if (!base) return 0;
  if (vbo) gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, vbo);
  for (int i = 0; i < count; ++i) {
    const Attrib& a = attribs[i];
    gl.glVertexAttribPointerNV(GLuint(a.index), a.size, GL_FLOAT, stride,
                               vbo ? reinterpret_cast<const void*>(size_t(a.offset)) : static_cast<const uint8_t*>(base) + a.offset);
    gl.glEnableClientState(GL_VERTEX_ATTRIB_ARRAY0_NV + a.index);
  }
  return count;
}

void DisableArrays(const Attrib* attribs, int count) {
  for (int i = 0; i < count; ++i) gl.glDisableClientState(GL_VERTEX_ATTRIB_ARRAY0_NV + attribs[i].index);
}

int BindLitMesh(BuModel* model, const ModelDrawParams* params, const Attrib* attribs, int count) {
  const BuHeader* h = model->header;
  int bound = BindArrays(h->objectCount > 0 ? h->objects[0].gpuVertices : nullptr, model->vertexBuffer, 96, attribs,
                         Skinned(params) ? count : count - 2);
  if (model->indexBuffer) gl.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, model->indexBuffer);
  return bound;
}

void UnbindLitMesh(BuModel* model, const Attrib* attribs, int bound) {
  if (model->indexBuffer) gl.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
  if (model->vertexBuffer) gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  DisableArrays(attribs, bound);
}

int Flat() { return Material_Load("textures\\flat"); }

// What a companion binds on units 0 to 3.
enum Content : int8_t { kNothing, kNormal, kDiffuse, kSpecular, kReflectCube };
struct Companion {
  Content units[4];
};
constexpr Companion kReflectUnits = {{kNormal, kNothing, kNothing, kReflectCube}};
constexpr Companion kDiffuseUnits = {{kNormal, kNothing, kDiffuse, kNothing}};
constexpr Companion kSpecularUnits = {{kNormal, kNothing, kSpecular, kNothing}};
constexpr Companion kFastUnits = {{kNormal, kDiffuse, kSpecular, kNothing}};

void DrawObject(BuModel* model, const BuObject& obj, ModelDrawParams* params, ViewParams* view) {
  if (Skinned(params)) bu_LoadBoneRowsNV(model, obj);
  bu_DrawObjectIndices(model, obj);
  view->statDrawCalls++;
  view->statTriangles += obj.indexCount / 3;
}

// Binds the object's textures (units 3 down to 0) and draws it; an object without a shader, with
// an excluded one, or with none of the companion's materials is skipped.
void DrawCompanion(BuModel* model, int object, ModelDrawParams* params, ViewParams* view, const Companion& c,
                   bool expandNormal = false) {
  const BuHeader* h = model->header;
  if (object < 0 || object >= h->objectCount) return;
  const BuObject& obj = h->objects[object];
  if (obj.shader < 0 || obj.shader >= h->shaderCount) return;
  const BuShader& sh = h->shaders[obj.shader];
  if (sh.blend) return;
  static const int kSlot[] = {-1, kBuSlotNormalMap, kBuSlotDiffuse, kBuSlotSpecular, kBuSlotReflectionCube};
  bool any = false;
  for (Content k : c.units)
    if (k != kNothing && k != kNormal && sh.slots[kSlot[k]].material) any = true;
  if (!any) return;
  const double t = view->time;
  for (int unit = 3; unit >= 0; --unit) {
    Content k = c.units[unit];
    if (k == kNothing) continue;
    int material = sh.slots[kSlot[k]].material;
    if (k == kReflectCube) {
      Material_BindCube(unit, material, t, 2);
      continue;
    }
    if ((k == kNormal && !material) || (k == kDiffuse && !On(model_draw_lightmap))) material = Flat();
    Material_Bind(unit, material, t, 2);
    if (k == kNormal && expandNormal && GlExtFlags.NV_texture_expand_normal)
      gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_UNSIGNED_REMAP_MODE_NV, GL_EXPAND_NORMAL_NV);
  }
  DrawObject(model, obj, params, view);
}

struct UnitUse {
  int unit;
  GLenum target;
};

// Targets off and material 0 on every unit a pass used; unit 0 keeps 2D texturing.
void UndoUnits(const UnitUse* uses, int count) {
  for (int i = count - 1; i >= 0; --i) {
    const UnitUse& u = uses[i];
    if (u.target == GL_TEXTURE_CUBE_MAP_ARB)
      Material_BindCube(u.unit, 0, 0, 2);
    else
      Material_Bind(u.unit, 0, 0, 2);
    if (u.unit != 0 || u.target != GL_TEXTURE_2D) Lighting_SetTexTarget(u.unit, u.target, false);
  }
  Lighting_SetTexTarget(0, GL_TEXTURE_2D, true);
}

void EnableUnits(const UnitUse* uses, int count) {
  for (int i = 0; i < count; ++i) Lighting_SetTexTarget(uses[i].unit, uses[i].target, true);
}

enum Kind { kReflect, kAttenuation, kDiffusePass, kSpecularPass, kFast };

struct PassSpec {
  int program;
  int mode;
  const Companion* companion;  // null: bu_DrawSurfaceNV
  UnitUse units[4];
  int unitCount;
};
const PassSpec kPasses[] = {
    {kProgNV20Reflect, 7, &kReflectUnits,
     {{0, GL_TEXTURE_2D}, {1, GL_TEXTURE_2D}, {2, GL_TEXTURE_2D}, {3, GL_TEXTURE_CUBE_MAP_ARB}}, 4},
    {kProgNV20Attenuation, 8, nullptr, {{0, GL_TEXTURE_2D}, {1, GL_TEXTURE_2D}}, 2},
    {kProgNV20Diffuse, 9, &kDiffuseUnits, {{0, GL_TEXTURE_2D}, {1, GL_TEXTURE_CUBE_MAP_ARB}, {2, GL_TEXTURE_2D}}, 3},
    {kProgNV20Specular, 10, &kSpecularUnits, {{0, GL_TEXTURE_2D}, {1, GL_TEXTURE_CUBE_MAP_ARB}, {2, GL_TEXTURE_2D}}, 3},
    {kProgNV20DiffuseSpecular, 11, &kFastUnits,
     {{0, GL_TEXTURE_2D}, {1, GL_TEXTURE_2D}, {2, GL_TEXTURE_2D}, {3, GL_TEXTURE_3D}}, 4},
};

void SetReflectShaders(bool on) {
  if (!GlExtFlags.NV_texture_shader) return;
  if (!on) {
    gl.glDisable(GL_TEXTURE_SHADER_NV);
    return;
  }
  for (int unit = 0; unit < 4; ++unit) {
    Render_SelectTexUnit(unit);
    GLenum op = unit == 0 ? GL_TEXTURE_2D : unit == 3 ? GL_DOT_PRODUCT_REFLECT_CUBE_MAP_NV : GL_DOT_PRODUCT_NV;
    gl.glTexEnvi(GL_TEXTURE_SHADER_NV, GL_SHADER_OPERATION_NV, op);
    if (unit == 0) continue;
    gl.glTexEnvi(GL_TEXTURE_SHADER_NV, GL_PREVIOUS_TEXTURE_INPUT_NV, GL_TEXTURE0_ARB);
    gl.glTexEnvi(GL_TEXTURE_SHADER_NV, GL_RGBA_UNSIGNED_DOT_PRODUCT_MAPPING_NV, GL_EXPAND_NORMAL_NV);
  }
  gl.glEnable(GL_TEXTURE_SHADER_NV);
}

void LightPass(BuModel* model, ModelDrawParams* params, ViewParams* view, const ViewLight* light, Kind kind) {
  if (!model || !model->header || !params || !light) return;
  if (kind != kReflect && !(light->radius > 0.0f)) return;
  // Only the one-pass member skips an instance its depth pass found out of view.
  const BuInstanceState* state = bu_FindInstanceState(model, params);
  if (kind == kFast && (!state || !state->visible)) return;
  const PassSpec& spec = kPasses[kind];
  BuHeader* h = model->header;
  Render_SetCull(2);
  gl.glDisable(GL_ALPHA_TEST);
  Render_SetDepthWrite(0);
  vec3 L = bu_ToModel(light->position, params), E = bu_ToModel(view->position, params);
  const float c[8] = {L.x, L.y, L.z, light->radius > 0.0f ? 1.0f / light->radius : 0.0f, E.x, E.y, E.z, 0.5f};
  Params(8, 2, c);
  Bump_TrackViewMatrices();
  OPENGL_BindVertexProgramNV(Lighting_Program(spec.program + Skinned(params)));
  int bound = BindLitMesh(model, params, kLightAttribs, 7);
  Bump_SetNvState(spec.mode, light);
  const double t = view->time;
  switch (kind) {
    case kReflect:
      Render_SetBlend(1);
      EnableUnits(spec.units, spec.unitCount);
      SetReflectShaders(true);
      break;
    case kAttenuation: {
      Render_SetBlend(0);
      Render_SetColorMask(0, 0, 0, 1);
      int attenuation = Material_Load("textures\\attenuation_dst");
      for (int unit : {0, 1}) {
        Material_Bind(unit, attenuation, t, 2);
        Render_SetTexWrap(unit, 0);
      }
      EnableUnits(spec.units, spec.unitCount);
      Bump_SetAttenuationMatrices(L, light->radius);
      break;
    }
    case kDiffusePass:
    case kSpecularPass:
      Render_SetBlend(1);
      // Light scaled by the attenuation the previous pass left in destination alpha.
      if (On(render_bump_attenuation)) gl.glBlendFunc(GL_DST_ALPHA, GL_ONE);
      Material_BindCube(1, Material_Load("textures\\normalization"), t, 1);
      Lighting_SetTexTarget(1, GL_TEXTURE_2D, false);
      EnableUnits(spec.units, spec.unitCount);
      break;
    case kFast:
      Render_SetBlend(On(render_bump_attenuation) ? 6 : 1);
      EnableUnits(spec.units, spec.unitCount);
      break;
  }
  for (int o = 0; o < h->objectCount; ++o) {
    if (spec.companion)
      DrawCompanion(model, o, params, view, *spec.companion);
    else
      bu_DrawSurfaceNV(model, o, params, view);
  }
  UnbindLitMesh(model, kLightAttribs, bound);
  if (kind == kReflect) SetReflectShaders(false);
  if (kind == kAttenuation) {
    Bump_ResetAttenuationMatrices();
    Render_SetColorMask(1, 1, 1, 0);
  }
  Render_SetBlend(0);
  UndoUnits(spec.units, spec.unitCount);
  Bump_DisableNvState(spec.mode);
  OPENGL_DisableVertexProgramNV();
  Render_SetCull(2);
  gl.glEnable(GL_ALPHA_TEST);
  Render_SetDepthWrite(1);
}

}  // namespace

void bu_LoadBoneRowsNV(const BuModel* model, const BuObject& obj) {
  float rows[3 * kBuMaxObjectBones][4];
  int n = bu_BoneRows(model, obj, rows);
  if (n > 0) Params(16, n, &rows[0][0]);
}

void bu_DrawSurfaceNV(BuModel* model, int object, ModelDrawParams* params, ViewParams* view) {
  if (!bu_ObjectDrawable(model, object)) return;
  DrawObject(model, model->header->objects[object], params, view);
}

void bu_DrawObjectReflectNV20(BuModel* m, int o, ModelDrawParams* p, ViewParams* v) { DrawCompanion(m, o, p, v, kReflectUnits); }
void bu_DrawObjectDiffuseNV20(BuModel* m, int o, ModelDrawParams* p, ViewParams* v) { DrawCompanion(m, o, p, v, kDiffuseUnits); }
void bu_DrawObjectSpecularNV20(BuModel* m, int o, ModelDrawParams* p, ViewParams* v) {
  DrawCompanion(m, o, p, v, kSpecularUnits);
}
void bu_DrawObjectFastNV20(BuModel* m, int o, ModelDrawParams* p, ViewParams* v) { DrawCompanion(m, o, p, v, kFastUnits); }
void bu_DrawObjectNV30(BuModel* m, int o, ModelDrawParams* p, ViewParams* v) { DrawCompanion(m, o, p, v, kFastUnits, true); }

void bu_DrawReflectNV20(BuModel* model, ModelDrawParams* params, ViewParams* view) {
  const ViewLight none{};
  LightPass(model, params, view, &none, kReflect);
}
void bu_DrawAttenuationNV20(BuModel* m, ModelDrawParams* p, ViewParams* v, ViewLight* l) { LightPass(m, p, v, l, kAttenuation); }
void bu_DrawDiffuseNV20(BuModel* m, ModelDrawParams* p, ViewParams* v, ViewLight* l) { LightPass(m, p, v, l, kDiffusePass); }
void bu_DrawSpecularNV20(BuModel* m, ModelDrawParams* p, ViewParams* v, ViewLight* l) { LightPass(m, p, v, l, kSpecularPass); }
void bu_DrawFastNV20(BuModel* m, ModelDrawParams* p, ViewParams* v, ViewLight* l) { LightPass(m, p, v, l, kFast); }

void bu_DrawDepthNV(BuModel* model, ModelDrawParams* params, ViewParams* view) {
  BuInstanceState* state = bu_InstanceState(model, params, view);
  if (!state || !bu_PrepareDepthPass(model, params, view, state)) return;
  Render_SetBlend(0);
  Render_SetCull(2);
  gl.glDisable(GL_ALPHA_TEST);
  Render_SetDepthWrite(1);
  for (int unit : {3, 2, 1, 0}) Lighting_SetTexTarget(unit, GL_TEXTURE_2D, false);
  int bound = BindLitMesh(model, params, kDepthAttribs, 3);
  int c = On(render_bump_clear);
  Render_SetColorMask(c, c, c, 0);
  OPENGL_BindVertexProgramNV(Lighting_Program(kProgNV20Z + Skinned(params)));
  const ViewLight black{};
  Bump_SetNvState(6, &black);
  gl.glTrackMatrixNV(GL_VERTEX_PROGRAM_NV, 0, GL_MODELVIEW_PROJECTION_NV, GL_IDENTITY_NV);
  for (int o = 0; o < model->header->objectCount; ++o) bu_DrawSurfaceNV(model, o, params, view);
  UnbindLitMesh(model, kDepthAttribs, bound);
  Bump_DisableNvState(6);
  OPENGL_DisableVertexProgramNV();
  Render_SetColorMask(1, 1, 1, 0);
  Lighting_SetTexTarget(0, GL_TEXTURE_2D, true);
  Render_SetBlend(0);
  Render_SetCull(2);
  gl.glDisable(GL_ALPHA_TEST);
  Render_SetDepthWrite(1);
}

void bu_DrawLightNV30(BuModel* model, ModelDrawParams* params, ViewParams* view, ViewLight* light) {
  BuInstanceState* state = bu_FindInstanceState(model, params);
  if (!state || !state->visible || !light || !(light->radius > 0.0f)) return;
  Render_SetCull(2);
  gl.glDisable(GL_ALPHA_TEST);
  Render_SetDepthWrite(0);
  int bound = BindLitMesh(model, params, kLightAttribs, 7);
  vec3 L = bu_ToModel(light->position, params), E = bu_ToModel(view->position, params);
  float c[6][4] = {{L.x, L.y, L.z, 1.0f / light->radius},
                   {E.x, E.y, E.z, 0.5f},
                   {light->colour[0], light->colour[1], light->colour[2], 1.0f}};
  bu_LightFrameRows(params, light, &c[3]);
  Params(8, 6, &c[0][0]);
  Bump_TrackViewMatrices();
  OPENGL_BindFragmentProgramNV(Lighting_Program(kProgNV30Fragment));
  OPENGL_BindVertexProgramNV(Lighting_Program(kProgNV30 + Skinned(params)));
  Render_SetBlend(On(render_bump_attenuation) ? 7 : 1);
  const double t = view->time;
  Material_BindCube(4, light->cubeMaterial, t, 2);
  Material_BindCube(3, Material_Load("textures\\normalization"), t, 1);
  const bool remap = GlExtFlags.NV_texture_expand_normal;
  if (remap) gl.glTexParameteri(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_UNSIGNED_REMAP_MODE_NV, GL_EXPAND_NORMAL_NV);
  static const UnitUse kUnits[] = {{0, GL_TEXTURE_2D}, {1, GL_TEXTURE_2D}, {2, GL_TEXTURE_2D},
                                   {3, GL_TEXTURE_CUBE_MAP_ARB}, {4, GL_TEXTURE_CUBE_MAP_ARB}};
  EnableUnits(kUnits, 5);
  for (int o = 0; o < model->header->objectCount; ++o) bu_DrawObjectNV30(model, o, params, view);
  UnbindLitMesh(model, kLightAttribs, bound);
  Render_SetBlend(0);
  if (remap) {
    Render_SelectTexUnit(3);
    gl.glTexParameteri(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_UNSIGNED_REMAP_MODE_NV, 0);
    Render_SelectTexUnit(0);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_UNSIGNED_REMAP_MODE_NV, 0);
  }
  UndoUnits(kUnits, 5);
  OPENGL_DisableFragmentProgramNV();
  OPENGL_DisableVertexProgramNV();
  Render_SetCull(2);
  gl.glEnable(GL_ALPHA_TEST);
  Render_SetDepthWrite(1);
}

void bu_DrawVolumeNV(BuModel* model, ModelDrawParams* params, ViewParams* view, int light) {
  if (render_bump_shadows.value < 2.0f || light < 0 || light >= view->lightCount) return;
  const ViewLight& l = view->lights[light];
  if (!(l.radius > 0.0f)) return;
  vec3 L = bu_ToModel(l.position, params);
  const float c[7][4] = {{L.x, L.y, L.z, 1.0f}, {}, {l.radius, l.radius, l.radius, 1.0f}, {}, {}, 
                         {0.0078125f, 0.0078125f, 0.0078125f, 1.0f}, {0.0f, 0.0f, 0.01f, 0.0f}};
  Lighting_SetTexTarget(1, GL_TEXTURE_2D, false);
  Lighting_SetTexTarget(0, GL_TEXTURE_2D, true);
  Material_Bind(0, 0, 0, 2);
  Render_SetBlend(0);
  BuVolume* vol = model->header->volume;
  const void* base = vol ? vol->drawVertices : nullptr;
  int bound = BindArrays(base, model->volumeBuffer, 48, kVolumeAttribs, Skinned(params) ? 3 : 1);
  Params(8, 1, c[0]);
  Params(10, 1, c[2]);
  Params(13, 2, c[5]);
  OPENGL_BindVertexProgramNV(Lighting_Program(kProgNV20Volume + Skinned(params)));
  if (base) bu_StencilVolumeNV(model, params, view, light);
  if (model->volumeBuffer) gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  OPENGL_DisableVertexProgramNV();
  DisableArrays(kVolumeAttribs, bound);
  Lighting_SetTexTarget(1, GL_TEXTURE_2D, false);
  Lighting_SetTexTarget(0, GL_TEXTURE_2D, true);
  Render_SetCull(0);
}
