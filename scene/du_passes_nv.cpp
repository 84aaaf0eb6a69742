// DU levels on the NV20 and NV30 paths: the depth and multiply-layer passes, the NV20 attenuation,
// diffuse and specular passes of one light, and the all-lights passes (one-pass NV20, NV30) that
// also run the BU models each light reaches. They draw from the level's uploaded vertex memory
// with level-wide indices, so a level of kDuLevelWideVertexLimit vertices or more is not drawn.
#include "foundation/log.h"
#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/material.h"
#include "render/render.h"
#include "scene/bu.h"
#include "scene/bu_lighting.h"
#include "scene/du_lighting.h"
#include "scene/du_passes_internal.h"
#include "scene/model.h"
#include "scene/nv_combiners.h"
#include "scene/view.h"

namespace {

bool On(const VarRecord& v) { return v.value != 0.0f; }

void Param(int index, float x, float y, float z, float w) {
  const float v[4] = {x, y, z, w};
  gl.glProgramParameters4fvNV(GL_VERTEX_PROGRAM_NV, GLuint(index), 1, v);
}

struct Attrib {
  int index, size, offset;
};
const Attrib kZAttribs[] = {{0, 3, 0}};
const Attrib kMulAttribs[] = {{0, 3, 0}, {4, 2, 48}};
const Attrib kLightAttribs[] = {{0, 3, 0}, {1, 3, 12}, {2, 3, 24}, {3, 3, 36}, {4, 2, 48}};

void Point(const Attrib* attribs, int count, const void* base) {
  for (int i = 0; i < count; ++i)
    gl.glVertexAttribPointerNV(GLuint(attribs[i].index), attribs[i].size, GL_FLOAT, kDuVertexSize,
                               static_cast<const uint8_t*>(base) + attribs[i].offset);
}

void EnableAttribs(const Attrib* attribs, int count, bool on) {
  for (int i = 0; i < count; ++i) {
    if (on)
      gl.glEnableClientState(GL_VERTEX_ATTRIB_ARRAY0_NV + attribs[i].index);
    else
      gl.glDisableClientState(GL_VERTEX_ATTRIB_ARRAY0_NV + attribs[i].index);
  }
}

// False (logged once per level) for a level these paths cannot draw.
bool Drawable(DuLevel* level) {
  if (!level || !level->header) return false;
  if (!level->surfaceRelative) return true;
  if (!level->nvRefused) {
    Log_Printf("du_Draw: a level of %d vertices has no vertex source on the NV paths; not drawn\n", level->vertexTotal);
    level->nvRefused = 1;
  }
  return false;
}

// Points the attributes at the level's vertices (its buffer or its vertex memory) and binds its
// index buffer; false when nothing is uploaded yet.
bool BindLevel(const DuLevel* level, const Attrib* attribs, int count) {
  if (!level->gpuVertices) return false;
  if (level->vertexBuffer) gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, level->vertexBuffer);
  Point(attribs, count, level->vertexBuffer ? nullptr : level->gpuVertices);
  if (level->indexBuffer) gl.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, level->indexBuffer);
  EnableAttribs(attribs, count, true);
  return true;
}

void UnbindLevel(const DuLevel* level, const Attrib* attribs, int count) {
  if (level->indexBuffer) gl.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
  if (level->vertexBuffer) gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  EnableAttribs(attribs, count, false);
}

void DrawSurface(const DuLevel* level, const DuSurface& s, ViewParams* view) {
  if (s.indexCount <= 0) return;
  const void* at = level->indexBuffer ? reinterpret_cast<const void*>(size_t(s.firstIndex) * 2) : s.indices;
  gl.glDrawElements(GL_TRIANGLES, s.indexCount, GL_UNSIGNED_SHORT, at);
  view->statDrawCalls++;
  view->statTriangles += s.indexCount / 3;
}

const DuShader* ShaderOf(const DuLevel* level, const DuSurface& s) {
  const DuHeader* h = level->header;
  return s.shader >= 0 && s.shader < h->shaderCount ? &h->shaders[s.shader] : nullptr;
}

// Calls draw(model, surface) for every stamped surface of every stamped model.
template <typename F>
void ForStamped(DuLevel* level, F draw) {
  du_ForStampedModels(level, [&](int m) { du_ForStampedSurfaces(level, m, [&](int s) { draw(m, s); }); });
}

int Flat() { return Material_Load("textures\\flat"); }

}  // namespace

// ---- Depth and multiply layer --------------------------------------------------------------

void du_DrawSurfaceBaseNV20(DuLevel* level, int model, int surface, ModelDrawParams*, ViewParams* view) {
  const DuSurface& s = level->header->models[model].surfaces[surface];
  const DuShader* sh = ShaderOf(level, s);
  if (sh && (sh->slots[0].material || sh->slots[1].material)) DrawSurface(level, s, view);
}

void du_DrawModelBaseNV20(DuLevel* level, int model, ModelDrawParams* params, ViewParams* view) {
  du_ForStampedSurfaces(level, model, [&](int s) { du_DrawSurfaceBaseNV20(level, model, s, params, view); });
}

void du_DrawBaseNV20(DuLevel* level, ModelDrawParams* params, ViewParams* view) {
  if (!Drawable(level)) return;
  du_BeginBaseState();
  OPENGL_BindVertexProgramNV(Lighting_Program(kProgNV20Z));
  const ViewLight black{};
  Bump_SetNvState(6, &black);
  Bump_TrackViewMatrices();
  if (BindLevel(level, kZAttribs, 1)) {
    du_ForStampedModels(level, [&](int m) { du_DrawModelBaseNV20(level, m, params, view); });
  }
  UnbindLevel(level, kZAttribs, 1);
  Bump_DisableNvState(6);
  OPENGL_DisableVertexProgramNV();
  Render_SetColorMask(1, 1, 1, 0);
  du_RestoreBaseState();
}

void du_DrawSurfaceMulLayerNV20(DuLevel* level, int model, int surface, ModelDrawParams*, ViewParams* view) {
  const DuSurface& s = level->header->models[model].surfaces[surface];
  const DuShader* sh = ShaderOf(level, s);
  if (!sh || !sh->slots[5].material) return;
  Render_SetBlend(sh->slots[5].settings[0] ? 3 : 2);
  Material_Bind(0, sh->slots[5].material, view->time, 2);
  DrawSurface(level, s, view);
}

void du_DrawModelMulLayerNV20(DuLevel* level, int model, ModelDrawParams* params, ViewParams* view) {
  du_ForStampedSurfaces(level, model, [&](int s) { du_DrawSurfaceMulLayerNV20(level, model, s, params, view); });
}

void du_DrawMulLayerNV20(DuLevel* level, ModelDrawParams* params, ViewParams* view) {
  if (!Drawable(level)) return;
  du_BeginMulLayerState();
  OPENGL_BindVertexProgramNV(Lighting_Program(kProgNV20Mul));
  Bump_TrackViewMatrices();
  gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  if (BindLevel(level, kMulAttribs, 2)) {
    du_ForStampedModels(level, [&](int m) { du_DrawModelMulLayerNV20(level, m, params, view); });
  }
  UnbindLevel(level, kMulAttribs, 2);
  gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  OPENGL_DisableVertexProgramNV();
  du_RestoreBaseState();
  Render_SetPolygonOffset(0);
}

// ---- NV20 passes of one light --------------------------------------------------------------

namespace {

enum Kind { kAttenuation, kDiffuse, kSpecular };

void LightPass(DuLevel* level, ModelDrawParams* params, ViewParams* view, const ViewLight& light, Kind kind) {
  if (!Drawable(level) || !(light.radius > 0.0f)) return;
  static const int kPrograms[3] = {kProgNV20Attenuation, kProgNV20Diffuse, kProgNV20Specular};
  const int mode = 8 + kind;
  if (kind == kAttenuation) Render_SetBlend(0);
  Render_SetCull(2);
  gl.glDisable(GL_ALPHA_TEST);
  Render_SetDepthWrite(0);
  const vec3 L = du_ToLevel(light.position, params), E = du_ToLevel(view->position, params);
  Bump_TrackViewMatrices();
  Param(8, L.x, L.y, L.z, 1.0f / light.radius);
  Param(9, E.x, E.y, E.z, 0.5f);
  OPENGL_BindVertexProgramNV(Lighting_Program(kPrograms[kind]));
  Bump_SetNvState(mode, &light);
  const double t = view->time;
  if (kind == kAttenuation) {
    Render_SetColorMask(0, 0, 0, 1);
    const int attenuation = Material_Load("textures\\attenuation_dst");
    for (int unit : {0, 1}) {
      Material_Bind(unit, attenuation, t, 2);
      Lighting_SetTexTarget(unit, GL_TEXTURE_2D, true);
      Render_SetTexWrap(unit, 0);
    }
    Bump_SetAttenuationMatrices(L, light.radius);
  } else {
    Render_SetBlend(1);
    // Light scaled by the attenuation the previous pass left in destination alpha.
    if (On(render_bump_attenuation)) gl.glBlendFunc(GL_DST_ALPHA, GL_ONE);
    Material_BindCube(1, Material_Load("textures\\normalization"), t, 1);
    Lighting_SetTexTarget(1, GL_TEXTURE_2D, false);
    Lighting_SetTexTarget(1, GL_TEXTURE_CUBE_MAP_ARB, true);
    Lighting_SetTexTarget(2, GL_TEXTURE_2D, true);
    Lighting_SetTexTarget(0, GL_TEXTURE_2D, true);
  }
  if (BindLevel(level, kLightAttribs, 5)) {
    const int flat = Flat();
    const bool lightmap = On(model_draw_lightmap);
    ForStamped(level, [&](int m, int s) {
      const DuSurface& surface = level->header->models[m].surfaces[s];
      const DuShader* sh = ShaderOf(level, surface);
      if (!sh) return;
      const int colour = sh->slots[0].material, specular = sh->slots[1].material, normal = sh->slots[3].material;
      if (kind == kAttenuation ? !(colour || specular) : kind == kDiffuse ? !colour : !specular) return;
      if (kind != kAttenuation) {
        Material_Bind(0, normal ? normal : flat, t, 2);
        Material_Bind(2, kind == kSpecular ? specular : lightmap ? colour : flat, t, 2);
      }
      DrawSurface(level, surface, view);
    });
  }
  UnbindLevel(level, kLightAttribs, 5);
  if (kind == kAttenuation) {
    Bump_ResetAttenuationMatrices();
    Render_SetColorMask(1, 1, 1, 0);
    Material_Bind(1, 0, 0, 2);
    Lighting_SetTexTarget(1, GL_TEXTURE_2D, false);
  } else {
    Render_SetBlend(0);
    Material_BindCube(1, 0, 0, 2);
    Lighting_SetTexTarget(1, GL_TEXTURE_CUBE_MAP_ARB, false);
    Material_Bind(2, 0, 0, 2);
    Lighting_SetTexTarget(2, GL_TEXTURE_2D, false);
  }
  Lighting_SetTexTarget(0, GL_TEXTURE_2D, true);
  Material_Bind(0, 0, 0, 2);
  Bump_DisableNvState(mode);
  OPENGL_DisableVertexProgramNV();
  Render_SetCull(2);
  gl.glEnable(GL_ALPHA_TEST);
  Render_SetDepthWrite(1);
}

}  // namespace

void du_DrawAttenuationNV20(DuLevel* l, ModelDrawParams* p, ViewParams* v, ViewLight light) { LightPass(l, p, v, light, kAttenuation); }
void du_DrawDiffuseNV20(DuLevel* l, ModelDrawParams* p, ViewParams* v, ViewLight light) { LightPass(l, p, v, light, kDiffuse); }
void du_DrawSpecularNV20(DuLevel* l, ModelDrawParams* p, ViewParams* v, ViewLight light) { LightPass(l, p, v, light, kSpecular); }

// ---- All-lights passes ---------------------------------------------------------------------

namespace {

void DrawInteractionsNV(DuLevel* level, const DuLightSlot& slot, ViewParams* view, bool expandNormal) {
  const float time = view->time;
  const int flat = Flat();
  const bool lightmap = On(model_draw_lightmap);
  du_DrawInteractionList(
      level, slot, view,
      [&](const DuLightInteraction* ia) {
        du_BindTextureCached(2, ia->specular ? ia->specular : flat, time, 0);
        du_BindTextureCached(1, lightmap && ia->colour ? ia->colour : flat, time, 0);
        du_BindTextureCached(0, ia->normalMap ? ia->normalMap : flat, time, expandNormal);
      },
      [](const void* vertices) { Point(kLightAttribs, 5, vertices); });
}

void DrawLightsNV(DuLevel* level, ModelDrawParams* params, ViewParams* view, bool nv30) {
  if (!Drawable(level) || !view || !view->lights) return;
  const bool shadows = render_bump_shadows.value > 1.0f;
  const double time = view->time;
  const int flat = Flat();
  const bool remap = GlExtFlags.NV_texture_expand_normal;
  for (int i = 0; i < view->lightCount; ++i) {
    ViewLight& light = view->lights[i];
    if (!du_LightUsable(&light)) continue;
    const DuLightSlot& slot = level->lightSlots[light.slot];
    if (!du_FrameDrawList(level, slot)) continue;
    if (shadows) du_BeginLightShadows(slot, light, i, view, view->fov > 0.0f ? view->fov : render_fov.value);
    du_DrawLitModels(light, i, view, shadows, !On(render_bump_attenuation) ? 1 : nv30 ? 7 : 6);
    Bump_TrackViewMatrices();
    if (nv30) {
      OPENGL_BindFragmentProgramNV(Lighting_Program(kProgNV30Fragment));
      OPENGL_BindVertexProgramNV(Lighting_Program(kProgNV30));
      const vec3 L = du_ToLevel(light.position, params), E = du_ToLevel(view->position, params);
      ModelDrawParams origin{};
      if (params) origin.position = params->position, origin.angles = params->angles;
      float rows[3][4];
      bu_LightFrameRows(&origin, &light, rows);
      Param(8, L.x, L.y, L.z, 1.0f / light.radius);
      Param(9, E.x, E.y, E.z, 1.0f);
      Param(10, light.colour[0], light.colour[1], light.colour[2], 1.0f);
      for (int k = 0; k < 3; ++k) Param(11 + k, rows[k][0], rows[k][1], rows[k][2], rows[k][3]);
      Material_BindCube(4, light.cubeMaterial, time, 2);
      Material_BindCube(3, Material_Load("textures\\normalization"), time, 1);
      if (remap) gl.glTexParameteri(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_UNSIGNED_REMAP_MODE_NV, GL_EXPAND_NORMAL_NV);
      for (int unit : {4, 3}) {
        Lighting_SetTexTarget(unit, GL_TEXTURE_2D, false);
        Lighting_SetTexTarget(unit, GL_TEXTURE_CUBE_MAP_ARB, true);
      }
    } else {
      ViewLight slotLight = light;
      for (int k = 0; k < 3; ++k) slotLight.colour[k] = slot.colourBlock[k];
      Bump_SetNvState(11, &slotLight);
      OPENGL_BindVertexProgramNV(Lighting_Program(kProgNV20DiffuseSpecular));
      Param(9, view->position.x, view->position.y, view->position.z, 0.5f);
      Param(8, slot.positionBlock[0], slot.positionBlock[1], slot.positionBlock[2], slot.positionBlock[3]);
      Lighting_SetTexTarget(3, GL_TEXTURE_3D, true);
    }
    for (int unit : {2, 1, 0}) {
      Material_Bind(unit, flat, time, 2);
      Lighting_SetTexTarget(unit, GL_TEXTURE_2D, true);
      du_ResetBindCache(unit);
    }
    EnableAttribs(kLightAttribs, 5, true);
    DrawInteractionsNV(level, slot, view, nv30 && remap);
    Render_SetBlend(0);
    if (nv30) {
      for (int unit : {4, 3}) {
        Lighting_SetTexTarget(unit, GL_TEXTURE_CUBE_MAP_ARB, false);
        Material_BindCube(unit, 0, 0, 2);
      }
      if (remap) gl.glTexParameteri(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_UNSIGNED_REMAP_MODE_NV, 0);
    } else {
      Lighting_SetTexTarget(3, GL_TEXTURE_3D, false);
      Material_Bind(3, 0, 0, 2);
    }
    for (int unit : {2, 1}) {
      Lighting_SetTexTarget(unit, GL_TEXTURE_2D, false);
      Material_Bind(unit, 0, 0, 2);
    }
    Lighting_SetTexTarget(0, GL_TEXTURE_2D, true);
    if (nv30 && remap) gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_UNSIGNED_REMAP_MODE_NV, 0);
    Material_Bind(0, 0, 0, 2);
    if (nv30) OPENGL_DisableFragmentProgramNV();
    OPENGL_DisableVertexProgramNV();
    if (!nv30) Bump_DisableNvState(11);
    EnableAttribs(kLightAttribs, 5, false);
    du_EndLightPass(shadows);
    for (int unit : {0, 1, 2}) du_ResetBindCache(unit);
  }
}

}  // namespace

void du_DrawLightsNV20Fast(DuLevel* l, ModelDrawParams* p, ViewParams* v, ViewLight*) { DrawLightsNV(l, p, v, false); }
void du_DrawLightsNV30(DuLevel* l, ModelDrawParams* p, ViewParams* v, ViewLight*) { DrawLightsNV(l, p, v, true); }
