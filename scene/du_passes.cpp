// The passes of a lit DU level: the base pass (depth, and colour when asked), the multiply layer,
// the NV10 colour pass, the light passes of the R200 and R300 paths, and du_Draw, which runs the
// pass the view asks for.
#include <cmath>
#include <cstring>

#include "foundation/input.h"
#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/material.h"
#include "render/render.h"
#include "render/texture.h"
#include "scene/bu.h"
#include "scene/du_lighting.h"
#include "scene/du_passes_internal.h"
#include "scene/model.h"
#include "scene/model_draw.h"
#include "scene/view.h"

namespace {

constexpr GLenum kRemapModeNV = 0x888F;   // GL_TEXTURE_UNSIGNED_REMAP_MODE_NV
constexpr GLenum kExpandNormalNV = 0x8538;  // GL_EXPAND_NORMAL_NV
constexpr int kRightCtrl = 0x9D;
constexpr int kCacheUnits = 8;

bool On(const VarRecord& v) { return v.value != 0.0f; }
bool Gl() { return RenderApi == RENDER_API_OPENGL; }

uint32_t g_boundTexture[kCacheUnits] = {~0u, ~0u, ~0u, ~0u, ~0u, ~0u, ~0u, ~0u};

void Param(int index, float x, float y, float z, float w) {
  const float v[4] = {x, y, z, w};
  gl.glProgramEnvParameter4fvARB(GL_VERTEX_PROGRAM_ARB, GLuint(index), v);
}
void Param(int index, const float v[4]) { Param(index, v[0], v[1], v[2], v[3]); }

// A surface the base and light passes draw: a valid shader with a colour or specular texture.
const DuShader* LitShader(const DuLevel* level, const DuSurface& s) {
  const DuHeader* h = level->header;
  if (s.shader < 0 || s.shader >= h->shaderCount) return nullptr;
  const DuShader& sh = h->shaders[s.shader];
  return sh.slots[0].material || sh.slots[1].material ? &sh : nullptr;
}

void Count(ViewParams* view, int indices) {
  view->statDrawCalls++;
  view->statTriangles += indices / 3;
}

// ---- Level vertex and index sources of the base and multiply passes --------------------------

struct Attrib {
  int index, size, offset;
};
const Attrib kBaseAttribs[] = {{0, 3, 0}, {4, 3, 0}};
const Attrib kMulAttribs[] = {{0, 3, 0}, {4, 2, 48}};
const Attrib kLightAttribs[] = {{0, 3, 0}, {1, 3, 12}, {2, 3, 24}, {3, 3, 36}, {4, 2, 48}};

void Point(const Attrib* attribs, int count, uint32_t atiObject, const void* base) {
  for (int i = 0; i < count; ++i) {
    const Attrib& a = attribs[i];
    if (atiObject)
      gl.glVertexAttribArrayObjectATI(GLuint(a.index), a.size, GL_FLOAT, GL_FALSE, kDuVertexSize, atiObject,
                                      GLuint(a.offset));
    else
      gl.glVertexAttribPointerARB(GLuint(a.index), a.size, GL_FLOAT, GL_FALSE, kDuVertexSize,
                                  static_cast<const uint8_t*>(base) + a.offset);
  }
}

void EnableAttribs(const Attrib* attribs, int count, bool on) {
  for (int i = 0; i < count; ++i) {
    if (on)
      gl.glEnableVertexAttribArrayARB(GLuint(attribs[i].index));
    else
      gl.glDisableVertexAttribArrayARB(GLuint(attribs[i].index));
  }
}

// Binds the level-wide vertices (levels under the limit) and the index source; false when a
// small level has no vertices to draw from yet.
bool BindLevelSource(const DuLevel* level, const Attrib* attribs, int count) {
  if (level->atiIndexObject) gl.glEnableClientState(GL_ELEMENT_ARRAY_ATI);
  if (level->indexBuffer) gl.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, level->indexBuffer);
  if (level->surfaceRelative) return true;
  if (level->atiVertexObject && level->gpuVertices) {
    Point(attribs, count, level->atiVertexObject, nullptr);
  } else if (level->vertexBuffer && level->gpuVertices) {
    gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, level->vertexBuffer);
    Point(attribs, count, 0, nullptr);
  } else if (level->gpuVertices) {
    Point(attribs, count, 0, level->gpuVertices);
  } else {
    return false;
  }
  return true;
}

void UnbindLevelSource(const DuLevel* level) {
  if (level->indexBuffer) gl.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
  if (level->atiIndexObject) gl.glDisableClientState(GL_ELEMENT_ARRAY_ATI);
  if (level->vertexBuffer) gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
}

// A large level's surface draws from its own copy; false when it has none yet.
bool BindSurfaceSource(const DuLevel* level, const DuSurface& s, const Attrib* attribs, int count) {
  if (!level->surfaceRelative) return true;
  if (!s.gpuVertices) return false;
  bool ati = GlExtFlags.ATI_vertex_attrib_array_object && s.atiVertexObject;
  Point(attribs, count, ati ? s.atiVertexObject : 0, s.gpuVertices);
  return true;
}

void DrawSurfaceElements(const DuLevel* level, const DuSurface& s, ViewParams* view) {
  if (s.indexCount <= 0) return;
  if (level->atiIndexObject) {
    gl.glArrayObjectATI(GL_ELEMENT_ARRAY_ATI, 1, GL_UNSIGNED_SHORT, 0, level->atiIndexObject, GLuint(s.firstIndex * 2));
    gl.glDrawElementArrayATI(GL_TRIANGLES, s.indexCount);
  } else {
    const void* at = level->indexBuffer ? reinterpret_cast<const void*>(size_t(s.firstIndex) * 2) : s.indices;
    gl.glDrawElements(GL_TRIANGLES, s.indexCount, GL_UNSIGNED_SHORT, at);
  }
  Count(view, s.indexCount);
}


int FlatMaterial() { return Material_Load("textures\\flat"); }

uint32_t TextureOf(int material, float time) {
  if (material <= 0 || material >= Material_Count) return 0;
  return Material_Table[material].frameTexture[Material_GetFrame(material, time)];
}

void BindCached(int unit, int material, float time, int expandNormal, bool cube) {
  if (unit < 0 || unit >= kCacheUnits || !Gl()) return;
  int texture = int(TextureOf(material, time));
  uint32_t handle = 0;
  int32_t dds = 0;
  Tex_GetBindInfo(texture, &handle, &dds);
  if (g_boundTexture[unit] == handle) return;
  if (cube)
    Tex_BindCube(unit, texture, 2);
  else
    Tex_Bind(unit, texture, 2);
  if (expandNormal) gl.glTexParameteri(cube ? GL_TEXTURE_CUBE_MAP_ARB : GL_TEXTURE_2D, kRemapModeNV, kExpandNormalNV);
  g_boundTexture[unit] = handle;
}

}  // namespace

// ---- Cached binds --------------------------------------------------------------------------

void du_BindTextureCached(int unit, int material, float time, int expandNormal) {
  BindCached(unit, material, time, expandNormal, false);
}
void du_BindCubeCached(int unit, int material, float time, int expandNormal) {
  BindCached(unit, material, time, expandNormal, true);
}
void du_ResetBindCache(int unit) {
  if (unit >= 0 && unit < kCacheUnits) g_boundTexture[unit] = ~0u;
}

// ---- Fixed-function state of the base and multiply passes ---------------------------------

void du_BeginBaseState() {
  Render_SetBlend(0);
  Render_SetCull(2);
  gl.glDisable(GL_ALPHA_TEST);
  Render_SetDepthWrite(1);
  for (int unit : {3, 2, 1, 0}) Lighting_SetTexTarget(unit, GL_TEXTURE_2D, false);
  const int c = On(render_bump_clear);
  Render_SetColorMask(c, c, c, 0);
}

void du_BeginMulLayerState() {
  Render_SetPolygonOffset(1);
  Render_SetCull(2);
  gl.glDisable(GL_ALPHA_TEST);
  Render_SetDepthWrite(0);
  Render_SetBlend(2);
  for (int unit : {3, 2, 1}) Lighting_SetTexTarget(unit, GL_TEXTURE_2D, false);
  Lighting_SetTexTarget(0, GL_TEXTURE_2D, true);
}

void du_RestoreBaseState() {
  Lighting_SetTexTarget(0, GL_TEXTURE_2D, true);
  Render_SetBlend(0);
  Render_SetCull(2);
  gl.glDisable(GL_ALPHA_TEST);
  Render_SetDepthWrite(1);
}

vec3 du_ToLevel(const vec3& world, const ModelDrawParams* params) {
  const vec3 origin = params ? params->position : vec3{0, 0, 0};
  const vec3 angles = params ? params->angles : vec3{0, 0, 0};
  mat3 r, inv;
  Mat_FromAngles(&r, &angles);
  Mat_Inverse(&r, &inv);
  vec3 rel, out;
  Vec_Subtract(&world, &origin, &rel);
  Vec_Rotate(&rel, &inv, &out);
  return out;
}

// ---- Base pass -----------------------------------------------------------------------------

void du_DrawSurfaceBaseR200(DuLevel* level, int model, int surface, ModelDrawParams*, ViewParams* view) {
  const DuSurface& s = level->header->models[model].surfaces[surface];
  if (!LitShader(level, s) || !BindSurfaceSource(level, s, kBaseAttribs, 2)) return;
  DrawSurfaceElements(level, s, view);
}

void du_DrawModelBaseR200(DuLevel* level, int model, ModelDrawParams* params, ViewParams* view) {
  du_ForStampedSurfaces(level, model, [&](int s) { du_DrawSurfaceBaseR200(level, model, s, params, view); });
}

void du_DrawBaseR200(DuLevel* level, ModelDrawParams* params, ViewParams* view) {
  du_BeginBaseState();
  EnableAttribs(kBaseAttribs, 2, true);
  OPENGL_BindVertexProgramARB(Lighting_Program(kProgR200Z));
  const float zero[4] = {0, 0, 0, 0};
  if (Lighting_AtiShader(kProgAtiZ)) gl.glSetFragmentShaderConstantATI(GL_CON_0_ATI, zero);
  ATIFS_Bind(Lighting_AtiShader(kProgAtiZ));
  if (BindLevelSource(level, kBaseAttribs, 2)) {
    du_ForStampedModels(level, [&](int m) { du_DrawModelBaseR200(level, m, params, view); });
  }
  UnbindLevelSource(level);
  ATIFS_Unbind();
  OPENGL_DisableVertexProgramARB();
  Render_SetColorMask(1, 1, 1, 0);
  EnableAttribs(kBaseAttribs, 2, false);
  du_RestoreBaseState();
}

// ---- Multiply layer ------------------------------------------------------------------------

void du_DrawSurfaceMulLayerR200(DuLevel* level, int model, int surface, ModelDrawParams*, ViewParams* view) {
  const DuHeader* h = level->header;
  const DuSurface& s = h->models[model].surfaces[surface];
  if (s.shader < 0 || s.shader >= h->shaderCount) return;
  const DuTextureSlot& layer = h->shaders[s.shader].slots[5];
  if (!layer.material || !BindSurfaceSource(level, s, kMulAttribs, 2)) return;
  Render_SetBlend(layer.settings[0] ? 3 : 2);
  Material_Bind(0, layer.material, view->time, 2);
  DrawSurfaceElements(level, s, view);
}

void du_DrawModelMulLayerR200(DuLevel* level, int model, ModelDrawParams* params, ViewParams* view) {
  du_ForStampedSurfaces(level, model, [&](int s) { du_DrawSurfaceMulLayerR200(level, model, s, params, view); });
}

void du_DrawMulLayerR200(DuLevel* level, ModelDrawParams* params, ViewParams* view) {
  du_BeginMulLayerState();
  EnableAttribs(kMulAttribs, 2, true);
  OPENGL_BindVertexProgramARB(Lighting_Program(kProgR200Mul));
  gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  if (BindLevelSource(level, kMulAttribs, 2)) {
    du_ForStampedModels(level, [&](int m) { du_DrawModelMulLayerR200(level, m, params, view); });
  }
  UnbindLevelSource(level);
  Render_SelectTexUnit(0);
  gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  OPENGL_DisableVertexProgramARB();
  EnableAttribs(kMulAttribs, 2, false);
  du_RestoreBaseState();
  Render_SetPolygonOffset(0);
}

// ---- NV10 colour pass ----------------------------------------------------------------------

void du_DrawSurfaceBaseNV10(DuLevel* level, int model, int surface, ViewParams* view) {
  const DuHeader* h = level->header;
  const DuSurface& s = h->models[model].surfaces[surface];
  if (s.shader < 0 || s.shader >= h->shaderCount || s.indexCount <= 0) return;
  int colour = h->shaders[s.shader].slots[0].material;
  if (!colour) return;
  const auto* base = static_cast<const uint8_t*>(level->surfaceRelative ? s.gpuVertices : level->gpuVertices);
  gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  Material_Bind(0, colour, view->time, 2);
  if (base) {
    gl.glVertexPointer(3, GL_FLOAT, kDuVertexSize, base);
    gl.glTexCoordPointer(2, GL_FLOAT, kDuVertexSize, base + 48);
    gl.glDrawElements(GL_TRIANGLES, s.indexCount, GL_UNSIGNED_SHORT, s.indices);
    Count(view, s.indexCount);
  }
  Render_SelectTexUnit(0);
  gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

void du_DrawModelBaseNV10(DuLevel* level, int model, ModelDrawParams*, ViewParams* view) {
  du_ForStampedSurfaces(level, model, [&](int s) { du_DrawSurfaceBaseNV10(level, model, s, view); });
}

void du_DrawBaseNV10(DuLevel* level, ModelDrawParams* params, ViewParams* view) {
  du_RestoreBaseState();
  Lighting_SetTexTarget(1, GL_TEXTURE_2D, false);
  Lighting_SetTexTarget(0, GL_TEXTURE_2D, true);
  Render_SelectClientTexUnit(0);
  gl.glEnableClientState(GL_VERTEX_ARRAY);
  gl.glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  Render_SetColorMask(1, 1, 1, 0);
  du_ForStampedModels(level, [&](int m) { du_DrawModelBaseNV10(level, m, params, view); });
  Render_SetColorMask(1, 1, 1, 0);
  gl.glDisableClientState(GL_VERTEX_ARRAY);
  gl.glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  Lighting_SetTexTarget(1, GL_TEXTURE_2D, false);
  du_RestoreBaseState();
}

// ---- Light passes --------------------------------------------------------------------------

DuScissor du_LightScissor(const vec3* centre, float radius, const vec3* eye, const vec3* angles, int width, int height,
                          float fov) {
  mat3 camera, inv;
  vec3 invOrigin, q;
  Mat_FromAngles(&camera, angles);
  Mat_InvertTransform(&camera, eye, &inv, &invOrigin);
  Vec_Transform(centre, &inv, &invOrigin, &q);
  const int hw = width / 2, hh = height / 2;
  if (!(q.y - radius >= 1.0f)) return {0, 0, width, height};
  const double P = hw / std::tan(double(fov) * kMathPi / 360.0);
  const double X = P * q.x / q.y, Z = P * q.z / q.y, R = P * radius / (q.y - radius);
  // Truncated towards zero first, as integers; far-off values clamp before the conversion.
  auto toInt = [](double v) { return int(std::fmax(-1e9, std::fmin(1e9, v))); };
  int x0 = toInt(hw + X - R), y0 = toInt(hh + Z - R), x1 = toInt(hw + R + X), y1 = toInt(hh + R + Z);
  if (x0 < 0) x0 = 0;
  if (y0 < 0) y0 = 0;
  if (x1 > width) x1 = width;
  if (y1 > height) y1 = height;
  if (x0 > x1 || y0 > y1) return {0, 0, 0, 0};
  return {x0, y0, x1 - x0, y1 - y0};
}

void du_BeginLightShadows(const DuLightSlot& slot, ViewLight& light, int lightIndex, ViewParams* view, float fov) {
  int vx = 0, vy = 0, W = 0, H = 0;
  Render_GetViewport(&vx, &vy, &W, &H);
  const vec3 c{slot.position[0], slot.position[1], slot.position[2]};
  DuScissor r = du_LightScissor(&c, slot.radius, &view->position, &view->angles, W, H, fov);
  Render_SetScissor(vx + r.x, vy + r.y, r.width, r.height);
  Render_ClearStencil(128);
  const int models = light.litCount < kLightMaxInstances ? light.litCount : kLightMaxInstances;
  for (int k = 0; k < models; ++k) {
    view->pass = 4 + 2 * lightIndex;
    bu_Draw(light.lit[k].model, light.lit[k].params, view);
  }
}

void du_DrawLitModels(ViewLight& light, int lightIndex, ViewParams* view, bool shadows, int blend) {
  const int models = light.litCount < kLightMaxInstances ? light.litCount : kLightMaxInstances;
  for (int k = 0; k < models; ++k) {
    view->pass = 5 + 2 * lightIndex;
    bu_Draw(light.lit[k].model, light.lit[k].params, view);
  }
  if (shadows) Lighting_BeginLitStencil();
  Render_SetBlend(blend);
  Render_SetCull(2);
  gl.glDisable(GL_ALPHA_TEST);
  Render_SetDepthWrite(0);
}

void du_EndLightPass(bool shadows) {
  Render_SetCull(2);
  gl.glEnable(GL_ALPHA_TEST);
  Render_SetDepthWrite(1);
  if (shadows) {
    int vx = 0, vy = 0, W = 0, H = 0;
    Render_GetViewport(&vx, &vy, &W, &H);
    gl.glDisable(GL_STENCIL_TEST);
    Render_SetScissor(vx, vy, W, H);
  }
}

namespace {

enum Variant { kFull, kFast, kFastest, kR300 };

struct Units {
  int normal, colour, specular;
  int cubes[2];          // normalization cube units (-1 none)
  int emptyCube;         // a cube unit switched on with nothing bound (-1 none)
  int lightCube;         // the light's projected cube (-1 none)
};
const Units kUnits[4] = {
    {0, 2, 3, {1, 4}, -1, -1},   // full
    {0, 1, 2, {4, -1}, 5, -1},   // fast
    {0, 1, 2, {-1, -1}, 4, -1},  // fastest
    {0, 1, 2, {3, -1}, -1, 4},   // R300
};

float ViewFov(const ViewParams* view) { return view->fov > 0.0f ? view->fov : render_fov.value; }

void SetLightConstants(Variant v, const DuLightSlot& slot, const ViewLight& light, ModelDrawParams* params,
                       const ViewParams* view) {
  const vec3& eye = view->position;
  if (v != kR300) {
    Param(8, slot.positionBlock);
    Param(9, eye.x, eye.y, eye.z, v == kFull ? 1.0f : 0.5f);
    if (v != kFastest) Param(10, slot.colourBlock);
    if (v == kFastest && Lighting_AtiShader(kProgAtiLightFastest)) {
      const float c0[4] = {slot.colour[0], slot.colour[1], slot.colour[2], 0.75f};
      gl.glSetFragmentShaderConstantATI(GL_CON_0_ATI, c0);
    }
    return;
  }
  const vec3 Lp = params ? params->position : vec3{0, 0, 0};
  const vec3 La = params ? params->angles : vec3{0, 0, 0};
  mat3 Lr, LrInv, Qr, QrInv, M;
  Mat_FromAngles(&Lr, &La);
  Mat_Inverse(&Lr, &LrInv);
  Mat_FromAngles(&Qr, &light.angles);
  Mat_Inverse(&Qr, &QrInv);
  vec3 rel, lightLocal, eyeLocal, t;
  Vec_Subtract(&light.position, &Lp, &rel);
  Vec_Rotate(&rel, &LrInv, &lightLocal);
  Vec_Subtract(&eye, &Lp, &rel);
  Vec_Rotate(&rel, &LrInv, &eyeLocal);
  Mat_Multiply(&Lr, &QrInv, &M);
  Vec_Subtract(&Lp, &light.position, &rel);
  Vec_Rotate(&rel, &QrInv, &t);
  const float tv[3] = {t.x, t.y, t.z};
  Param(8, lightLocal.x, lightLocal.y, lightLocal.z, 1.0f / light.radius);
  Param(9, eyeLocal.x, eyeLocal.y, eyeLocal.z, 1.0f);
  Param(10, light.colour[0], light.colour[1], light.colour[2], 1.0f);
  for (int k = 0; k < 3; ++k) Param(11 + k, M.m[0][k], M.m[1][k], M.m[2][k], tv[k]);
}

void DrawInteractions(DuLevel* level, const DuLightSlot& slot, const Units& u, ViewParams* view) {
  const float time = view->time;
  const int flat = FlatMaterial();
  const bool lightmap = On(model_draw_lightmap);
  du_DrawInteractionList(
      level, slot, view,
      [&](const DuLightInteraction* ia) {
        du_BindTextureCached(u.normal, ia->normalMap ? ia->normalMap : flat, time, 0);
        du_BindTextureCached(u.colour, lightmap ? ia->colour : flat, time, 0);
        du_BindTextureCached(u.specular, ia->specular, time, 0);
      },
      [](const void* vertices) { Point(kLightAttribs, 5, 0, vertices); });
}

void DrawLights(DuLevel* level, ModelDrawParams* params, ViewParams* view, Variant v) {
  if (!level || !level->header || !view || !view->lights) return;
  const Units& u = kUnits[v];
  const bool shadows = render_bump_shadows.value > 1.0f;
  const float time = view->time;
  const int flat = FlatMaterial();
  const int normalization = Material_Load("textures\\normalization");
  static const int kPrograms[4] = {kProgR200Light, kProgR200LightFast, kProgR200LightFastest, kProgR300Light};
  static const int kShaders[3] = {kProgAtiLight, kProgAtiLightFast, kProgAtiLightFastest};
  for (int i = 0; i < view->lightCount; ++i) {
    ViewLight& light = view->lights[i];
    if (!du_LightUsable(&light)) continue;
    const DuLightSlot& slot = level->lightSlots[light.slot];
    if (!du_FrameDrawList(level, slot)) continue;
    if (shadows) {
      du_BeginLightShadows(slot, light, i, view, ViewFov(view));
      if (render_bump_shadows.value == 3.0f) du_DrawLevelShadowVolumeR200(level, params, view, i);
    }
    du_DrawLitModels(light, i, view, shadows, !On(render_bump_attenuation) ? 1 : v == kR300 ? 7 : 6);
    OPENGL_BindVertexProgramARB(Lighting_Program(kPrograms[v]));
    if (v == kR300)
      OPENGL_BindFragmentProgramARB(Lighting_Program(kProgR300Fragment));
    else
      ATIFS_Bind(Lighting_AtiShader(kShaders[v]));
    SetLightConstants(v, slot, light, params, view);
    for (int unit : u.cubes)
      if (unit >= 0) {
        Material_BindCube(unit, normalization, time, 1);
        Lighting_SetTexTarget(unit, GL_TEXTURE_2D, false);
        Lighting_SetTexTarget(unit, GL_TEXTURE_CUBE_MAP_ARB, true);
      }
    for (int unit : {u.emptyCube, u.lightCube})
      if (unit >= 0) {
        Material_BindCube(unit, 0, 0, 2);
        Lighting_SetTexTarget(unit, GL_TEXTURE_2D, false);
        Lighting_SetTexTarget(unit, GL_TEXTURE_CUBE_MAP_ARB, true);
      }
    for (int unit : {u.specular, u.colour, u.normal}) {
      Material_Bind(unit, flat, time, 2);
      Lighting_SetTexTarget(unit, GL_TEXTURE_2D, true);
      du_ResetBindCache(unit);
    }
    if (u.lightCube >= 0) {
      du_ResetBindCache(u.lightCube);
      du_BindCubeCached(u.lightCube, light.cubeMaterial, time, 0);
    }
    EnableAttribs(kLightAttribs, 5, true);
    DrawInteractions(level, slot, u, view);
    Render_SetBlend(0);
    for (int unit : {u.cubes[0], u.cubes[1], u.emptyCube, u.lightCube})
      if (unit >= 0) {
        Lighting_SetTexTarget(unit, GL_TEXTURE_CUBE_MAP_ARB, false);
        Material_BindCube(unit, 0, 0, 2);
      }
    for (int unit : {u.specular, u.colour}) {
      Lighting_SetTexTarget(unit, GL_TEXTURE_2D, false);
      Material_Bind(unit, 0, 0, 2);
    }
    Lighting_SetTexTarget(0, GL_TEXTURE_2D, true);
    Material_Bind(0, 0, 0, 2);
    if (v == kR300)
      OPENGL_DisableFragmentProgramARB();
    else
      ATIFS_Unbind();
    OPENGL_DisableVertexProgramARB();
    EnableAttribs(kLightAttribs, 5, false);
    du_EndLightPass(shadows);
  }
  for (int unit = 0; unit < kCacheUnits; ++unit) du_ResetBindCache(unit);
}

}  // namespace

void du_DrawLightsR200(DuLevel* l, ModelDrawParams* p, ViewParams* v, ViewLight*) { DrawLights(l, p, v, kFull); }
void du_DrawLightsR200Fast(DuLevel* l, ModelDrawParams* p, ViewParams* v, ViewLight*) { DrawLights(l, p, v, kFast); }
void du_DrawLightsR200Fastest(DuLevel* l, ModelDrawParams* p, ViewParams* v, ViewLight*) {
  DrawLights(l, p, v, kFastest);
}
void du_DrawLightsR300(DuLevel* l, ModelDrawParams* p, ViewParams* v, ViewLight*) { DrawLights(l, p, v, kR300); }

void du_DrawLevelShadowVolumeR200(DuLevel* level, ModelDrawParams* params, ViewParams* view, int lightIndex) {
  if (!level || !view || lightIndex < 0 || lightIndex >= view->lightCount) return;
  const ViewLight& light = view->lights[lightIndex];
  if (!du_LightUsable(&light)) return;
  const DuLightSlot& slot = level->lightSlots[light.slot];
  const vec3 local = du_ToLevel(light.position, params);
  Param(8, local.x, local.y, local.z, 1.0f);
  Param(10, light.radius, light.radius, light.radius, 1.0f);
  Param(13, 0.0078125f, 0.0078125f, 0.0078125f, 1.0f);
  Lighting_SetTexTarget(1, GL_TEXTURE_2D, false);
  Lighting_SetTexTarget(0, GL_TEXTURE_2D, true);
  Render_SetBlend(0);
  Material_Bind(0, 0, 0, 2);
  static const Attrib kVolume[] = {{0, 4, 0}, {4, 4, 0}};
  EnableAttribs(kVolume, 2, true);
  OPENGL_BindVertexProgramARB(Lighting_Program(kProgR200Volume));
  Lighting_BeginVolumeStencil();
  const bool any = slot.volumeIndexCount > 0 && slot.volumeVertexCount > 0 && (slot.volumeBuffer || slot.volumeVertices);
  auto drawVolume = [&]() {
    if (!any) return;
    if (slot.volumeBuffer) gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, slot.volumeBuffer);
    for (const Attrib& a : kVolume)
      gl.glVertexAttribPointerARB(GLuint(a.index), 4, GL_FLOAT, GL_FALSE, 16, slot.volumeBuffer ? nullptr : slot.volumeVertices);
    gl.glDrawElements(GL_TRIANGLES, slot.volumeIndexCount, GL_UNSIGNED_SHORT, slot.volumeIndices);
    if (slot.volumeBuffer) gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    Count(view, slot.volumeIndexCount);
  };
  if (!GlExtFlags.ATI_separate_stencil) {
    Render_SetCull(2);
    gl.glStencilOp(GL_KEEP, GL_INCR_WRAP_EXT, GL_KEEP);
    drawVolume();
    Render_SetCull(1);
    gl.glStencilOp(GL_KEEP, GL_DECR_WRAP_EXT, GL_KEEP);
    drawVolume();
  } else {
    Render_SetCull(0);
    gl.glStencilOpSeparateATI(GL_BACK, GL_KEEP, GL_INCR_WRAP_EXT, GL_KEEP);
    gl.glStencilOpSeparateATI(GL_FRONT, GL_KEEP, GL_DECR_WRAP_EXT, GL_KEEP);
    gl.glStencilMask(~0u);
    gl.glStencilFunc(GL_ALWAYS, 0, ~0u);
    drawVolume();
  }
  Lighting_EndVolumeStencil();
  OPENGL_DisableVertexProgramARB();
  EnableAttribs(kVolume, 2, false);
  Lighting_SetTexTarget(1, GL_TEXTURE_2D, false);
  Lighting_SetTexTarget(0, GL_TEXTURE_2D, true);
  Render_SetCull(0);
}

// ---- The draw slot -------------------------------------------------------------------------

void du_Draw(ModelObject* m, ModelDrawParams* params, ViewParams* view) {
  if (!view || view->pass == 1 || view->pass == 3 || view->pass < 0) return;
  if (!view->lights || view->lightCount <= 0 || !Gl() || render_bump_shadows.value == 0.0f) return;
  DuLevel* level = m ? static_cast<DuLevel*>(m->data) : nullptr;
  if (!level || !level->header) return;
  const int path = level->lightPath;
  du_LoadShaderTextures(level);
  if (path >= kPathNV10 && path <= kPathNV30)
    du_UploadVerticesNV(level);
  else if (path >= kPathR200)
    du_UploadVerticesATI(level);
  gl.glMatrixMode(GL_MODELVIEW);
  if (params)
    Model_PushInstanceMatrix(params);
  else
    gl.glPushMatrix();
  uint32_t fog = RenderFogWanted;
  RenderFogWanted = 0;
  Render_SetBlend(1);
  Render_SetBlend(0);
  const bool ati = path == kPathR200 || path == kPathR300;
  const bool nv = path == kPathNV20 || path == kPathNV30;
  if (view->pass == 0) {
    level->cameraArea = du_FindArea(level, &view->position);
    du_MarkVisible(level, params, view);
    if (path == kPathNV10)
      du_DrawBaseNV10(level, params, view);
    else if (ati && render_bump_clear.value < 2.0f)
      du_DrawBaseR200(level, params, view);
    else if (nv && render_bump_clear.value < 2.0f)
      du_DrawBaseNV20(level, params, view);
  } else if (view->pass == 2) {
    if (ati && Input_KeyDown(kRightCtrl)) du_DrawMulLayerR200(level, params, view);
    if (nv && Input_KeyDown(kRightCtrl)) du_DrawMulLayerNV20(level, params, view);
  } else if (view->pass % 2 == 1) {
    const bool shadows = render_bump_shadows.value > 1.0f;
    if (shadows) Lighting_BeginLitStencil();
    const int i = (view->pass - 4) / 2;
    ViewLight* light = i < view->lightCount ? &view->lights[i] : nullptr;
    const float fast = render_bump_fast.value;
    // Paths 0 and 1 draw nothing. Path 2 without "render_bump_fast" lights only light i here and
    // leaves its BU models to the caller.
    if (path == kPathNV30)
      du_DrawLightsNV30(level, params, view, light);
    else if (path == kPathNV20 && fast != 0.0f)
      du_DrawLightsNV20Fast(level, params, view, light);
    else if (path == kPathNV20 && light) {
      if (On(render_bump_attenuation)) du_DrawAttenuationNV20(level, params, view, *light);
      if (On(render_bump_diffuse)) du_DrawDiffuseNV20(level, params, view, *light);
      if (On(render_bump_specular)) du_DrawSpecularNV20(level, params, view, *light);
    } else if (path == kPathR300)
      du_DrawLightsR300(level, params, view, light);
    else if (path == kPathR200 && fast == 2.0f)
      du_DrawLightsR200Fastest(level, params, view, light);
    else if (path == kPathR200 && fast == 1.0f)
      du_DrawLightsR200Fast(level, params, view, light);
    else if (path == kPathR200)
      du_DrawLightsR200(level, params, view, light);
    if (shadows) gl.glDisable(GL_STENCIL_TEST);
  }
  RenderFogWanted = fog;
  Render_SetBlend(1);
  Render_SetBlend(0);
  gl.glMatrixMode(GL_MODELVIEW);
  gl.glPopMatrix();
}
